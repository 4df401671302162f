/// The fitting engine: a fit of the model to the selected points, from the
/// start sum through the minimiser to the errors, the correlations and the
/// statistics. It works on what it is handed and writes nothing on the
/// terminal; what it has to report goes through FitProgress and FitResult.
///
/// Use without terminal or drawing:
///
///     FitProblem problem;             // views of the caller's arrays
///     problem.model = model;
///     problem.x = x; problem.y = y; problem.e = e;          // m points
///     problem.yc = yc; problem.r = r;                       // m each
///     problem.p = p; problem.s = s;                         // np each
///     problem.xv = xv; problem.dev = dev;                   // np each
///     problem.sigma = sigma; problem.cov = cov;             // np, np * np
///     problem.work = &work; problem.statistics = &stats;
///     FitOptions options;
///     options.evaluations = 200;
///     const FitResult result = fit_engine(problem, options, nullptr);
#pragma once

#include <span>
#include <vector>

#include "core/records.h"
#include "fit/numeric.h"
#include "karvel/karvel.h"

namespace karvel {

/// How the parameters enter a fit, built once from their steps. A positive
/// step makes a parameter a variable of the minimiser of its own (numbered
/// in parameter order); a step of 0 holds it; a negative step -j ties it to
/// parameter j, which moves it by the same factor as j, when j is fitted and
/// comes before it. Any other negative step holds the parameter.
class ParameterMap {
public:
    ParameterMap() = default;
    /// The map of np = steps.size() parameters.
    explicit ParameterMap(std::span<const float> steps);

    int np() const { return np_; }
    /// Number of variables of the minimiser.
    int nfit() const { return nfit_; }
    /// The variable 1..nfit of parameter i (1..np) when it is fitted, else 0.
    int fitted(int i) const { return fitted_[i - 1]; }
    /// The variable that moves parameter i, its own or that of the parameter
    /// it is tied to; 0 when the parameter is held.
    int variable(int i) const { return variable_[i - 1]; }
    /// The parameter whose step scales that variable for parameter i: i
    /// itself when fitted, the parameter it is tied to when tied.
    int scaled_by(int i) const { return scaled_by_[i - 1]; }

private:
    int np_ = 0;
    int nfit_ = 0;
    std::vector<int> fitted_, variable_, scaled_by_;
};

/// A fit's problem: the model, the selected points, the parameters, and the
/// caller's storage where the fit leaves its results. Every view is the
/// caller's; the fit keeps none of them after it returns.
struct FitProblem {
    Model model = nullptr;
    // The m selected points.
    std::span<const float> x, y, e;
    // The model's values and residuals at the points (m each); left at the
    // fitted parameters.
    std::span<float> yc, r;
    // The np parameter values (replaced by the fitted ones) and their steps.
    std::span<float> p;
    std::span<const float> s;
    // Room for np: the minimiser's variables, the percentage standard
    // deviation of each parameter and the relative standard error of each
    // variable.
    std::span<float> xv, dev, sigma;
    // Room for np * np: the percentage correlations of the variables,
    // nfit x nfit, column by column, leading dimension nfit.
    std::span<float> cov;
    // The minimiser's work space, resized to the fit.
    std::vector<float>* work = nullptr;
    // R-factor, chi-squared and probability, updated after the fit; its
    // values before it move to the "old" fields and its fit counter goes up.
    Chichi* statistics = nullptr;
};

/// What a fit is asked to do.
struct FitOptions {
    int evaluations = 0;       // the most evaluations the minimiser may make (> 0)
    int print = 0;             // the minimiser's print control (printout on the listing channel)
    float accuracy = 0.01f;    // the accuracy asked for, per mille of the start sum of squares
    float substep = 0.01f;     // the minimiser's difference step
    float maxstep = 100.0f;    // and its largest step
    ProbabilityTrouble trouble;  // told of trouble in the probability routines; may be empty
};

/// What a running fit reports, in the order it happens. Every hook does
/// nothing unless a caller overrides it.
class FitProgress {
public:
    virtual ~FitProgress() = default;
    /// The start sum is known; the minimiser is about to begin.
    virtual void started() {}
    /// Evaluation number `call` (from 1) has filled yc and r for the m points x.
    virtual void evaluated(int call, int m, const float* x, const float* yc, const float* r) {
        (void)call, (void)m, (void)x, (void)yc, (void)r;
    }
    /// The minimiser has returned; outcome as in FitResult.
    virtual void minimised(int outcome) { (void)outcome; }
};

enum class FitStatus {
    Fitted = 0,    // the minimiser ran; errors and statistics are set
    NoSteps,       // no parameter has a positive step: nothing was done
    TooFewPoints,  // at least as many variables as points: nothing was done
};

struct FitResult {
    FitStatus status = FitStatus::Fitted;
    ParameterMap map;  // set however the fit ended
    int calls = 0;     // evaluations of the model by the minimiser
    /// How the minimiser ended: 0 converged, 1 no longer decreasing, 2 call
    /// limit reached; -1 when it did not run.
    int outcome = -1;
    /// False when the chi-squared after the fit is not finite (its
    /// probability was then not calculated).
    bool chi_squared_finite = true;
};

/// Fits the m selected points: builds the parameter map and the variables
/// 1/step, refuses a fit without variables or without more points than
/// variables, then evaluates the start sum, runs the minimiser, sets the
/// parameters, their deviations, the correlations and the statistics, and
/// leaves yc and r at the fitted parameters. progress may be null.
FitResult fit_engine(const FitProblem& problem, const FitOptions& options, FitProgress* progress);

}  // namespace karvel
