/// The F command, and the fit that F and P share.
#pragma once

#include <vector>

#include "karvel/karvel.h"

namespace karvel {

/// F n (N) with its print control as third number: fits the selected points
/// with at most n evaluations, or with n = 0 shows the current curve; N on
/// the line draws nothing while fitting.
void command_fit(Model model);

/// The same; the command loop's name of it.
void fit_command(Model model);

/// The fit of F and P on the session's records: with evaluations <= 0 shows
/// the current curve; otherwise fits the m selected points with the given
/// print control, reporting on the terminal and, unless the no-plot flag is
/// set, drawing each trial curve.
void kvffff(Model model, int np, float* p, float* s, float* xv, int m, float* x, float* y, float* e,
            float* yc, float* r, std::vector<float>& w, int evaluations, int print);

}  // namespace karvel
