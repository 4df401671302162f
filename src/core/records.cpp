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

void reset_records() {
    titles = Titles{};
    titlep = Titlep{};
    version = Version{};
    fclose = Fclose{};
    seqctr = Seqctr{};
    stopcy = Stopcy{};
    redinc = Text<80>{};
    functc = Functc{};
    pltlic = Pltlic{};
    extplt = Extplt{};
    spltc = {};
    tinc = Tinc{};
    tin = Tin{};
    prompt = 0;
    flags = {};
    functn = Functn{};
    cnstrn = {};
    caldat = Caldat{};
    errorc = Errorc{};
    reditc = Reditc{};
    obsdat = Obsdat{};
    fitlim = Fitlim{};
    pltlim = {};
    fitcon = Fitcon{};
    chichi = Chichi{};
    titlex = Text<50>{};
    titlei = 0;
    tekenv = 0;
    limitf = Limitf{};
    quiet = 0;
    pltfle = Text<10>{};
    pltfild = Pltfild{};
    work.clear();
    fitrep = 0;
    lpoutc = 0;
    lpoutch = Text<11>{};
    lpoutcc = 0;
    cursorc = Cursorc{};
}

}  // namespace karvel
