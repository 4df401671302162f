/// The package's shared records: global, statically allocated state that
/// every routine addresses by name and that lives for the whole process.
#pragma once

#include <vector>

#include "karvel/karvel.h"

namespace karvel {

/// A fixed array addressed 1..N with operator(), as the algorithms count.
template <class T, int N>
struct Arr {
    T a[N]{};
    T& operator()(int i) { return a[i - 1]; }
    const T& operator()(int i) const { return a[i - 1]; }
    T* data() { return a; }
    const T* data() const { return a; }
    static constexpr int size() { return N; }
    void fill(const T& v) {
        for (T& x : a) x = v;
    }
};

constexpr float kPackageVersion = 6.6f;
constexpr const char* kPackageVersionText = "6.6 ";

/// Working parameter names (blank until start-up copies the host's).
struct Functc {
    Text<8> name[kMaxPar];
};
extern Functc functc;

/// Axis titles and the data title.
struct Pltlic {
    Text<20> x{"X"};
    Text<20> y{"Y"};
    Text<50> title;  // filled by the host's reader
};
extern Pltlic pltlic;

/// Extrapolation marks: positions outside the fitting ranges where F and P
/// draw the model, with work arrays for that model call.
struct Extplt {
    Arr<float, kMaxMarks> x;     // mark positions
    Arr<float, kMaxMarks> yc;    // model values
    Arr<float, kMaxMarks> e;     // error values (1.0)
    Arr<float, kMaxMarks> yobs;  // dummy observed values
    Arr<float, kMaxMarks> r;     // residuals
    int n = 0;                   // number of marks
    Extplt() { e.fill(1.0f); }
};
extern Extplt extplt;

/// Plot-control values; entry 1 is the cursor request.
extern Arr<float, 32> spltc;

/// The entries of spltc, by what they hold.
enum SpltcEntry : int {
    kCursorRequest = 1,  // nonzero: a cursor read-out after drawing
    kViewportLeft = 2,   // 2, 11, 3, 12: the frame viewport when 2 or 11 is set
    kViewportBottom = 3,
    kFrameXLow = 4,  // 4..7: the limits of the last frame
    kFrameXHigh = 5,
    kFrameYLow = 6,
    kFrameYHigh = 7,
    kFrameXScale = 8,  // 1 / (x high - x low)
    kFrameYScale = 9,  // 1 / (y high - y low)
    kViewportRight = 11,
    kViewportTop = 12,
    kTitleSwitch = 16,  // 2.0 suppresses the three titles
};

/// Program name and the command line (80 characters and one spare).
struct Tinc {
    Text<4> name;
    Text<81> line;
};
extern Tinc tinc;

/// Channels and the decoded numbers of the last command line.
struct Tin {
    int in = 0;   // input channel (5)
    int out = 0;  // output channel (6)
    int unused[2]{};
    Arr<float, 10> v;  // V1..V10
};
extern Tin tin;

/// When non-zero, the next prompt omits the option-list line.
extern int prompt;

/// Entry 1 data read; 2 parameters set; 3 set with 1; 4 no-plot flag.
extern Arr<int, 4> flags;

/// The entries of flags, by what they record.
enum FlagsEntry : int {
    kDataRead = 1,
    kParametersSet = 2,
    kDataReadToo = 3,  // set with entry 1 by the data input
    kNoPlot = 4,       // frame and data are on the screen: draw no new frame
};

/// The parameter table.
struct Functn {
    int np = 0;
    Arr<float, kMaxPar> p;   // values
    Arr<float, kMaxPar> s;   // steps: > 0 fitted, 0 fixed, < 0 tied
    Arr<float, kMaxPar> xv;  // the minimiser's variables
};
extern Functn functn;

/// Position of each parameter among the fitted variables (0: not fitted).
extern Arr<int, kMaxPar> cnstrn;

/// Model values and residuals at the selected points.
struct Caldat {
    Arr<float, kMaxPts> yc;
    Arr<float, kMaxPts> r;
    int ncall = 0;  // residual evaluations in the current fit
};
extern Caldat caldat;

/// Deviations, relative errors and the covariance of the fitted variables.
struct Errorc {
    Arr<float, kMaxPar> dev;               // percentage deviations
    Arr<float, kMaxPar> sigma;             // relative standard errors 1..n
    Arr<float, kMaxPar * kMaxPar> cov;     // n x n, column by column, leading dimension n
    int nfit = 0;                          // number of fitted parameters n
};
extern Errorc errorc;

/// The data as read.
struct Reditc {
    Arr<float, kMaxPts> x;
    Arr<float, kMaxPts> y;
    Arr<float, kMaxPts> e;
    int n = 0;
};
extern Reditc reditc;

/// The points inside the fitting ranges.
struct Obsdat {
    int n = 0;  // copy of the number of points read
    Arr<float, kMaxPts> x;
    Arr<float, kMaxPts> y;
    Arr<float, kMaxPts> e;
};
extern Obsdat obsdat;

/// Fitting ranges and the selection.
struct Fitlim {
    Arr<float, 6> bound;  // low 1, high 1, low 2, high 2, low 3, high 3
    int nactive = 0;      // entry 7
    int first = 0;        // entry 8
    int last = 0;         // entry 9
    int m = 0;            // entry 10: number of selected points
};
extern Fitlim fitlim;

/// Entries 1..4 data extents, 5..8 plot limits (x min, x max, y min, y max).
extern Arr<float, 8> pltlim;

/// The entries of pltlim, by what they hold.
enum PltlimEntry : int {
    kDataXMin = 1,
    kDataXMax = 2,
    kDataYMin = 3,
    kDataYMax = 4,
    kPlotXMin = 5,
    kPlotXMax = 6,
    kPlotYMin = 7,
    kPlotYMax = 8,
};

/// Fit-control values and the package version text.
struct Fitcon {
    float substep = 0.01f;
    float maxstep = 100.0f;
    float acc = 0.01f;
    float fourth = 100.0f;
    Text<4> vers{"6.6 "};
};
extern Fitcon fitcon;

/// Fit statistics.
struct Chichi {
    float rfac = 0.0f;      // 1: mean R-factor, per cent
    float rfacold = 0.0f;   // 2: before the last fit
    float chisq = 0.0f;     // 3: reduced chi-squared
    float chisqold = 0.0f;  // 4: before the last fit
    float prob = 0.0f;      // 5: chi-squared probability
    int ndf = 0;            // 6: degrees of freedom
    int fitno = 0;          // 7: number of completed fits
};
extern Chichi chichi;

/// The manual graph title and whether it has been set.
extern Text<50> titlex;
extern int titlei;

/// Non-zero when the screen device shares the text terminal.
extern int tekenv;

struct Limitf {
    float version = 0.0f;
    int maxpts = 0;
    int maxpar = 0;
};
extern Limitf limitf;

/// When non-zero, the fit driver and the point selection print nothing.
extern int quiet;

/// Name of the W output file and the model curve that W writes.
extern Text<10> pltfle;
struct Pltfild {
    Arr<float, kMaxMarks> x;
    Arr<float, kMaxMarks> y;
};
extern Pltfild pltfild;

/// Work space of the minimiser, sized for each fit.
extern std::vector<float> work;

/// Print control and result code of the minimiser.
extern int fitrep;

/// Listing-file state: its sequence number (0 while none is open), name and channel.
extern int lpoutc;
extern Text<11> lpoutch;
extern int lpoutcc;

/// Positions picked by the cursor read-out.
struct Cursorc {
    Arr<float, 100> x;
    Arr<float, 100> y;
    int n = 0;
};
extern Cursorc cursorc;

/// Every record back to the value the process starts with: for tests, which
/// run many sessions' worth of work in one process.
void reset_records();

}  // namespace karvel
