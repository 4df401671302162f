/// Residual evaluation: maps the minimiser's variables onto the parameters,
/// calls the host's model and shows the progress of the fit.
#include "fit/kvcalf.h"

#include <cpgplot.h>

#include <cmath>

#include "plot/plot.h"
#include "core/format.h"
#include "session/session.h"

namespace karvel {

int tied_index(float step, int np) {
    const int j = trunc_int(std::fabs(step));
    return (j >= 1 && j <= np) ? cnstrn(j) : 0;
}

void show_residual_figure(float r, float coord) {
    if (!plot_draws()) return;
    const std::string text = fmt::to_text(11, "(G11.4)", {r});
    float height = 1.0f;
    cpgqch(&height);
    cpgsch(0.8f * height);
    cpgmtxt("RV", 0.5f, coord, 0.0f, text.c_str());
    cpgsch(height);
}

void kvcalf(int m, int n, float* f, float* x, Model model) {
    (void)n;
    caldat.ncall = caldat.ncall + 1;

    const int np = functn.np;
    float pv[kMaxPar];
    int c = 0;
    for (int i = 1; i <= np; ++i) {
        const float p = functn.p(i);
        const float s = functn.s(i);
        pv[i - 1] = p;
        if (s == 0.0f) continue;
        if (s > 0.0f) {
            c = c + 1;
            const int k = cnstrn(i);
            pv[i - 1] = p * x[k - 1] * s;
        } else {
            const int j = trunc_int(std::fabs(s));
            const int k = tied_index(s, np);
            if (k >= 1 && k <= c) pv[i - 1] = p * x[k - 1] * functn.s(j);
        }
    }

    model(np, pv, m, obsdat.x.data(), obsdat.y.data(), obsdat.e.data(), caldat.yc.data(),
          caldat.r.data());
    if (f != caldat.r.data()) {
        for (int i = 1; i <= m; ++i) f[i - 1] = caldat.r(i);
    }

    float sum = 0.0f;
    for (int i = fitlim.first; i >= 1 && i <= fitlim.last && i <= m; ++i) {
        sum = sum + caldat.r(i) * caldat.r(i);
    }
    const int span = fitlim.last - fitlim.first;
    const float r = span > 0 ? std::sqrt(sum) / static_cast<float>(span) : 0.0f;

    if (flags(4) != 0) return;
    if (caldat.ncall == 1) plot_mtxt("RV", 1.0f, 1.0f, 0.0f, "RESIDUAL");
    const float coord = 1.0f - static_cast<float>(caldat.ncall + 1) * 0.03f;
    show_residual_figure(r, coord);

    const float cursor = spltc(1);
    spltc(1) = 0.0f;
    rsplt(obsdat.x.data(), caldat.yc.data(), caldat.yc.data(), m, -100, 0, pltlic.x.view(),
          pltlic.y.view(), pltlic.title.view());
    spltc(1) = cursor;
}

}  // namespace karvel
