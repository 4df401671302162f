/// Residual evaluation of a fit.
#pragma once

#include <span>

#include "fit/fit.h"

namespace karvel {

/// What the residual routine of a fit works with.
struct Evaluation {
    const FitProblem& problem;  // the model, the points, the values and steps; yc and r receive
    const ParameterMap& map;    // how the variables move the parameters
    std::span<float> values;    // room for np: the parameters of the trial
    int& calls;                 // counted up by each evaluation
    FitProgress* progress;      // told of each evaluation; may be null
};

/// The minimiser's residual routine: the parameters for the variables
/// x(1..n) through the map, the model at the points into the problem's yc
/// and r, and f(1..m) = r.
void kvcalf(int m, int n, float* f, float* x, const Evaluation& ev);

}  // namespace karvel
