/// The data input of the R command: calls the host's reader and records the extent of what it read.
#include "core/records.h"
#include "session/session.h"

namespace karvel {

void kvdatn(int& n, float* x, float* y, float* e, Reader reader) {
    reader(n, x, y, e, TextRef(pltlic.title));

    // A reader that delivers nothing leaves the session's data as they were:
    // the flags, the extents, the plot window and the fit figures.
    if (n < 1) return;
    // The data records hold no more than their capacity; a reader that claims
    // more is taken at the capacity so that nothing is read past the arrays.
    if (n > kMaxPts) n = kMaxPts;

    flags(kDataRead) = 1;
    flags(kDataReadToo) = 1;

    float xmin = x[0];
    float xmax = x[0];
    float ymin = y[0];
    float ymax = y[0];
    for (int i = 1; i < n; ++i) {
        if (x[i] < xmin) xmin = x[i];
        if (x[i] > xmax) xmax = x[i];
        if (y[i] < ymin) ymin = y[i];
        if (y[i] > ymax) ymax = y[i];
    }
    pltlim(kDataXMin) = xmin;
    pltlim(kDataXMax) = xmax;
    pltlim(kDataYMin) = ymin;
    pltlim(kDataYMax) = ymax;

    // An unset plot window (either axis with max <= min) takes the extents.
    if (pltlim(kPlotXMax) <= pltlim(kPlotXMin) || pltlim(kPlotYMax) <= pltlim(kPlotYMin)) {
        pltlim(kPlotXMin) = xmin;
        pltlim(kPlotXMax) = xmax;
        pltlim(kPlotYMin) = ymin;
        pltlim(kPlotYMax) = ymax;
    }

    // New data: the figures of the last fit become the previous ones.
    chichi.rfacold = chichi.rfac;
    chichi.chisqold = chichi.chisq;
    chichi.rfac = 0.0f;
    chichi.chisq = 0.0f;
}

}  // namespace karvel
