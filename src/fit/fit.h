/// The fitting engine: the F command, residual evaluation, the minimiser,
/// the generalized inverse and the fit statistics.
#pragma once

#include <vector>

#include "karvel/karvel.h"

namespace karvel {

/// The F command as the command loop runs it.
void fit_command(Model model);

/// The fit driver: fits the m selected points, or with a first number of 0
/// shows the current curve. Reads the counts from the decoded numbers.
void kvffff(Model model, int np, float* p, float* s, float* xv, int m, float* x, float* y, float* e,
            float* yc, float* r, std::vector<float>& w);

}  // namespace karvel
