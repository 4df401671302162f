/// The problem of kvst: a Gaussian peak on a sloping background, its
/// parameter names, axis titles and version.
#include <cmath>

#include "kvst.h"

namespace karvel {

void gauss(const int&, const float* p, const int& n, const float* x, const float* y, const float*, float* yc,
           float* r) {
    for (int i = 0; i < n; ++i) {
        // The residual may share storage with y, so y is read first.
        const float yi = y[i];
        const float t = (x[i] - p[0]) / p[1];
        const float arg = -(t * t * 0.5f);
        const float g = static_cast<float>(std::exp(static_cast<double>(arg)));
        yc[i] = (g * p[4] + p[2]) + p[3] * x[i];
        r[i] = yc[i] - yi;
    }
}

void kvst_records() {
    titlep.npar = 5;
    titles.name[0] = "CENTRE";
    titles.name[1] = "SIGMA";
    titles.name[2] = "FLAT";
    titles.name[3] = "BAKSLOPE";
    titles.name[4] = "HEIGHT";
    titles.x = "CHANNEL";
    titles.y = "COUNTS";
    version.host = 2.0f;
}

}  // namespace karvel
