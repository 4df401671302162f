/// The standard pictures of the D, F and P commands.
#pragma once

#include <string_view>

#include "karvel/karvel.h"

namespace karvel {

/// Frame from the plot limits, the data as read, and the manual title.
void draw_frame_data_title();
/// After a fit or a current-curve display: the fit label, the residual trace
/// and, when the command's first number is at most 1, the model at the
/// extrapolation marks.
void draw_fit_results(Model model, float first_number);
/// Writes a text beside the current viewport between the library's output
/// buffering calls.
void plot_mtxt(const char* side, float disp, float coord, float fjust, std::string_view text);

}  // namespace karvel
