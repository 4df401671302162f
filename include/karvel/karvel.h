/// The host interface: the records a host sets, the entry routine and the hooks.
#pragma once

#include <cstdint>

#include "karvel/text.h"

namespace karvel {

static_assert(sizeof(int) == 4, "integers of the records are 32-bit");

constexpr int kMaxPar = 40;     // parameters
constexpr int kMaxPts = 2100;   // data points
constexpr int kMaxMarks = 200;  // extrapolation marks and model samples

/// Reads one data set for the R command: the number of points, x, y, their
/// error estimates (entries 1..n stored at x[0..n-1]) and the data title.
using Reader = void (*)(int& n, float* x, float* y, float* e, TextRef title);

/// Computes the model value yc and the residual r of each of the n points for
/// the np parameter values p. The residual may share storage with y: read
/// y[i] before writing r[i].
using Model = void (*)(const int& np, const float* p, const int& n, const float* x, const float* y,
                       const float* e, float* yc, float* r);

// ---- Records the host sets ------------------------------------------------

struct Titles {
    Text<8> name[kMaxPar];  // parameter names; a blank name means none
    Text<20> x;             // x-axis title
    Text<20> y;             // y-axis title
};
extern Titles titles;

struct Titlep {
    int npar = 0;  // number of parameters, 1..40
};
extern Titlep titlep;

struct Version {
    float host = 0.0f;     // host program version (<= 0 is shown as 1.0)
    float package = 0.0f;  // package version, set to 6.6 at start-up
};
extern Version version;

struct Fclose {
    int close = 1;        // entry 1: leaving the loop asks the save question and closes
    int initialised = 0;  // entry 2: initialisation done; later calls skip it
};
extern Fclose fclose;

struct Seqctr {
    int e1 = 0;  // chooses the wording of the E line of the help list
};
extern Seqctr seqctr;

struct Stopcy {
    int e1 = 0;  // non-zero at the top of the command loop ends it as if E was typed
};
extern Stopcy stopcy;

/// The argument text of the most recent R command, for the host's reader.
extern Text<80> redinc;

// ---- Entry routines ---------------------------------------------------------

/// Runs the whole terminal dialogue for one problem; returns when the user
/// leaves. NAME is the 4-character program name.
void karvel(const Text<4>& name, Reader reader, Model model);
/// The same entry under its second name.
void kvfuns(const Text<4>& name, Reader reader, Model model);

// ---- Hooks: the package has defaults; a host replaces one by defining a
// function of the same name and signature. ------------------------------------

/// Called once at start-up with the parameter-file stem.
void iniwin(const Text<4>& name);
/// Called once at start-up with the program name and the usage-log file name.
void userlog(const Text<4>& name, const Text<10>& logfile);
/// Called by the help list between its version line and the command list.
void kvxhlp(int& out);
/// The J command.
void kvextp();

}  // namespace karvel
