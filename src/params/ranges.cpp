/// Fitting ranges and plot limits: the O command's ranges, the point selection with its
/// extrapolation marks, and the X and Y commands.
#include "params/params.h"
#include "core/format.h"
#include "core/records.h"

namespace karvel {

namespace {

/// Whether x lies inside one of the pairs in use (low != 0 or high != 0).
bool in_pairs(float x) {
    for (int p = 1; p <= 3; ++p) {
        const float low = fitlim.bound(2 * p - 1);
        const float high = fitlim.bound(2 * p);
        if ((low != 0.0f || high != 0.0f) && low <= x && x <= high) return true;
    }
    return false;
}

/// Whether a point at x belongs to the fit.
bool selected(float x) { return fitlim.nactive == 0 || in_pairs(x); }

}  // namespace

void set_fitting_ranges(const float* bounds) {
    int counted = 0;
    for (int p = 1; p <= 3; ++p) {
        const float low = bounds[2 * p - 2];
        const float high = bounds[2 * p - 1];
        if (low != 0.0f || high != 0.0f) {
            // A pair that is not increasing (or not a number) refuses the line.
            if (!(high > low)) {
                fmt::write(tin.out, "(' RANGE MUST BE SET IN INCREASING ORDER')");
                flags(kNoPlot) = 0;
                return;
            }
            ++counted;
        }
    }
    fitlim.nactive = counted;
    for (int i = 1; i <= 6; ++i) fitlim.bound(i) = bounds[i - 1];
    kvlimt(reditc.x.data(), reditc.y.data(), reditc.e.data(), obsdat.n, obsdat.x.data(), obsdat.y.data(),
           obsdat.e.data(), fitlim.m);
}

void kvlimt(const float* x, const float* y, const float* e, int n, float* xs, float* ys, float* es,
            int& m) {
    if (n > kMaxPts) n = kMaxPts;
    int count = 0;
    for (int i = 0; i < n; ++i) {
        if (selected(x[i])) {
            xs[count] = x[i];
            ys[count] = y[i];
            es[count] = e[i];
            ++count;
        }
    }
    if (quiet == 0) fmt::write(tin.out, "(' THERE ARE ',I4,' DATA POINTS IN CURRENT FITTING RANGE')", {count});
    kvmark();
    fitlim.first = 1;
    fitlim.last = count;
    fitlim.m = count;
    m = count;
}

void kvmark() {
    const float d = (pltlim(kPlotXMax) - pltlim(kPlotXMin)) / 202.0f;
    float x = pltlim(kPlotXMin);
    int count = 0;
    for (int k = 0; k < kMaxMarks; ++k) {
        x = x + d;
        const bool outside_ranges = fitlim.nactive != 0 && !in_pairs(x);
        const bool beyond_data = x < pltlim(kDataXMin) || x > pltlim(kDataXMax);
        if (outside_ranges || beyond_data) {
            ++count;
            extplt.x(count) = x;
        }
    }
    extplt.n = count;
}

void kvxset(const Text<20>& xtitle, float a, float b) {
    if (a == b) {
        fmt::write(tin.out,
                   "(' CURRENT DATA LIMITS:  X = ',A,/,'    XMIN = ',G12.4,'    XMAX = ',G12.4,/,/,"
                   "' PLOT LIMITS:',/,'    XMIN = ',G12.4,'    XMAX = ',G12.4)",
                   {xtitle, pltlim(kDataXMin), pltlim(kDataXMax), pltlim(kPlotXMin), pltlim(kPlotXMax)});
        kvmark();
    } else if (a < b) {
        pltlim(kPlotXMin) = a;
        pltlim(kPlotXMax) = b;
    } else {
        fmt::write(tin.out, "(' ILLEGAL LIMITS (MIN => MAX)')");
    }
}

void kvyset(const Text<20>& ytitle, float a, float b) {
    if (a == b) {
        fmt::write(tin.out,
                   "(' CURRENT DATA LIMITS:  Y = ',A,/,'    YMIN = ',G12.4,'    YMAX = ',G12.4,/,/,"
                   "' PLOT LIMITS:',/,'    YMIN = ',G12.4,'    YMAX = ',G12.4)",
                   {ytitle, pltlim(kDataYMin), pltlim(kDataYMax), pltlim(kPlotYMin), pltlim(kPlotYMax)});
    } else if (a < b) {
        pltlim(kPlotYMin) = a;
        pltlim(kPlotYMax) = b;
    } else {
        fmt::write(tin.out, "(' ILLEGAL LIMITS (MIN => MAX)')");
    }
}

}  // namespace karvel
