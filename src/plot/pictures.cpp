/// The pictures the commands compose for D, F and P.
#include <cpgplot.h>

#include <string>

#include "plot/pictures.h"
#include "plot/plot.h"
#include "core/format.h"
#include "core/records.h"
#include "core/strings.h"

namespace karvel {

void plot_mtxt(const char* side, float disp, float coord, float fjust, std::string_view text) {
    if (!plot_draws()) return;  // nothing beside a failed frame, nor on the null device
    // The library counts trailing blanks when it centres a text.
    const std::string t(without_trailing_blanks(text));
    cpgbbuf();
    cpgmtxt(side, disp, coord, fjust, t.c_str());
    cpgebuf();
}

void draw_frame_data_title() {
    const float xs[2] = {pltlim(kPlotXMin), pltlim(kPlotXMax)};
    const float ys[2] = {pltlim(kPlotYMin), pltlim(kPlotYMax)};
    rsplt(xs, ys, ys, 2, 0, 0, pltlic.x.view(), pltlic.y.view(), pltlic.title.view());
    rsplt(reditc.x.data(), reditc.y.data(), reditc.y.data(), obsdat.n, -2, 0, pltlic.x.view(),
          pltlic.y.view(), pltlic.title.view());
    if (titlei != 0) plot_mtxt("T", 3.0f, 0.5f, 0.5f, titlex.view());
}

void draw_fit_results(Model model, float first_number) {
    if (chichi.rfac != 0.0f) {
        Text<8> label;
        fmt::write_text(label, "('FIT #',I3)", {chichi.fitno});
        plot_mtxt("B", 3.0f, 0.0f, 0.0f, label.view());
    }

    // The residual trace is drawn at four fifths of the plot's height.
    const float offset = pltlim(kPlotYMin) + 0.8f * (pltlim(kPlotYMax) - pltlim(kPlotYMin));
    const int m = fitlim.m;
    static Arr<float, kMaxPts> trace;
    for (int i = 1; i <= m; ++i) trace(i) = offset + caldat.yc(i) - obsdat.y(i);
    rsplt(obsdat.x.data(), trace.data(), trace.data(), m, -100, 0, pltlic.x.view(),
          pltlic.y.view(), pltlic.title.view());

    if (extplt.n >= 1 && first_number <= 1.0f) {
        for (int i = 1; i <= extplt.n; ++i) {
            extplt.yobs(i) = 0.0f;
            extplt.e(i) = 1.0f;
            extplt.yc(i) = 0.0f;
            extplt.r(i) = 0.0f;
        }
        model(functn.np, functn.p.data(), extplt.n, extplt.x.data(), extplt.yobs.data(),
              extplt.e.data(), extplt.yc.data(), extplt.r.data());
        rsplt(extplt.x.data(), extplt.yc.data(), extplt.yc.data(), extplt.n, -1, 0, pltlic.x.view(),
              pltlic.y.view(), pltlic.title.view());
    }
}

}  // namespace karvel
