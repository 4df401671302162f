/// The live display of a fit: the trial curve and the residual figures
/// beside the frame, and the display of the current curve.
#pragma once

#include <string_view>

#include "fit/fit.h"

namespace karvel {

/// Draws each trial curve of a fit over the frame and writes its residual
/// figure, the root of the sum of squares of the residuals of the points
/// first..last over last - first, down the right-hand edge.
class FitDisplay : public FitProgress {
public:
    /// The axis and plot titles must outlive the display.
    FitDisplay(int first, int last, std::string_view xtitle, std::string_view ytitle,
               std::string_view title)
        : first_(first), last_(last), xtitle_(xtitle), ytitle_(ytitle), title_(title) {}
    void evaluated(int call, int m, const float* x, const float* yc, const float* r) override;

private:
    int first_, last_;
    std::string_view xtitle_, ytitle_, title_;
};

/// The current curve of the m points with its residual figure, the root of
/// the sum of squares of all residuals over m.
void draw_current_curve(int m, const float* x, const float* yc, const float* r,
                        std::string_view xtitle, std::string_view ytitle, std::string_view title);

/// Writes a residual figure down the right-hand edge of the viewport.
void show_residual_figure(float r, float coord);

}  // namespace karvel
