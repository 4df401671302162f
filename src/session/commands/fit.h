/// The fit that F and P share.
#pragma once

#include <vector>

#include "karvel/karvel.h"

namespace karvel {

/// The fit of F and P on the session's records: with evaluations <= 0 shows
/// the current curve; otherwise fits the m selected points with the given
/// print control, reporting on the terminal and, unless the no-plot flag is
/// set, drawing each trial curve.
void kvffff(Model model, int np, float* p, float* s, float* xv, int m, float* x, float* y, float* e,
            float* yc, float* r, std::vector<float>& w, int evaluations, int print);

}  // namespace karvel
