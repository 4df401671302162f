/// The live display of a fit.
#include "plot/fit_progress.h"

#include <cpgplot.h>

#include <cmath>

#include "core/format.h"
#include "core/records.h"
#include "plot/pictures.h"
#include "plot/plot.h"

namespace karvel {

void show_residual_figure(float r, float coord) {
    if (!plot_draws()) return;  // nothing beside a failed frame, nor on the null device
    const std::string text = fmt::to_text(11, "(G11.4)", {r});
    float height = 1.0f;
    cpgqch(&height);
    cpgsch(0.8f * height);
    cpgmtxt("RV", 0.5f, coord, 0.0f, text.c_str());
    cpgsch(height);
}

void FitDisplay::evaluated(int call, int m, const float* x, const float* yc, const float* r) {
    float sum = 0.0f;
    for (int i = first_; i >= 1 && i <= last_ && i <= m; ++i) sum = sum + r[i - 1] * r[i - 1];
    const int span = last_ - first_;
    const float figure = span > 0 ? std::sqrt(sum) / static_cast<float>(span) : 0.0f;

    if (call == 1) plot_mtxt("RV", 1.0f, 1.0f, 0.0f, "RESIDUAL");
    const float coord = 1.0f - static_cast<float>(call + 1) * 0.03f;
    show_residual_figure(figure, coord);

    // The trial curves are drawn without the cursor read-out.
    const float cursor = spltc(kCursorRequest);
    spltc(kCursorRequest) = 0.0f;
    rsplt(x, yc, yc, m, -100, 0, xtitle_, ytitle_, title_);
    spltc(kCursorRequest) = cursor;
}

void draw_current_curve(int m, const float* x, const float* yc, const float* r,
                        std::string_view xtitle, std::string_view ytitle, std::string_view title) {
    float sum = 0.0f;
    for (int i = 0; i < m; ++i) sum = sum + r[i] * r[i];
    const float figure = m > 0 ? std::sqrt(sum) / static_cast<float>(m) : 0.0f;
    rsplt(x, yc, yc, m, -100, 0, xtitle, ytitle, title);
    plot_mtxt("RV", 1.0f, 1.0f, 0.0f, "RESIDUAL");
    show_residual_figure(figure, 0.94f);
}

}  // namespace karvel
