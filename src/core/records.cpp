/// Storage of the shared records and their initial values.
#include "core/records.h"

namespace karvel {

// Host records.
Titles titles;
Titlep titlep;
Version version;
Fclose fclose;
Seqctr seqctr;
Stopcy stopcy;
Text<80> redinc;

// Package records.
Functc functc;
Pltlic pltlic;
Extplt extplt;
Arr<float, 32> spltc;
Tinc tinc;
Tin tin;
int prompt = 0;
Arr<int, 4> flags;
Functn functn;
Arr<int, kMaxPar> cnstrn;
Caldat caldat;
Errorc errorc;
Reditc reditc;
Obsdat obsdat;
Fitlim fitlim;
Arr<float, 8> pltlim;
Fitcon fitcon;
Chichi chichi;
Text<50> titlex;
int titlei = 0;
int tekenv = 0;
Limitf limitf;
int quiet = 0;
Text<10> pltfle;
Pltfild pltfild;
std::vector<float> work;
int fitrep = 0;
int lpoutc = 0;
Text<11> lpoutch;
int lpoutcc = 0;
Cursorc cursorc;

}  // namespace karvel
