/// Residual evaluation of a fit.
#pragma once

#include "karvel/karvel.h"

namespace karvel {

/// The minimiser's residual routine: f(1..m) for the variables x(1..n).
void kvcalf(int m, int n, float* f, float* x, Model model);

/// The fitted index of the parameter a negative step ties to, or 0 when the
/// step names no parameter 1..np.
int tied_index(float step, int np);

/// Writes a residual figure down the right-hand edge of the viewport.
void show_residual_figure(float r, float coord);

}  // namespace karvel
