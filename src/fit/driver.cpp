/// The fit driver: the parameter map, and a fit from the start sum to the
/// statistics.
#include <cmath>

#include "core/numeric.h"
#include "fit/fit.h"
#include "fit/kvcalf.h"
#include "fit/numeric.h"

namespace karvel {

ParameterMap::ParameterMap(std::span<const float> steps) {
    np_ = static_cast<int>(steps.size());
    fitted_.assign(steps.size(), 0);
    variable_.assign(steps.size(), 0);
    scaled_by_.assign(steps.size(), 0);
    for (int i = 1; i <= np_; ++i) {
        if (steps[i - 1] > 0.0f) {
            nfit_ = nfit_ + 1;
            fitted_[i - 1] = nfit_;
        }
    }
    // c counts the fitted parameters up to i: a tie holds only when the
    // parameter tied to is one of them.
    int c = 0;
    for (int i = 1; i <= np_; ++i) {
        const float s = steps[i - 1];
        if (s == 0.0f) continue;
        if (s > 0.0f) {
            c = c + 1;
            variable_[i - 1] = fitted_[i - 1];
            scaled_by_[i - 1] = i;
        } else {
            const int j = trunc_int(std::fabs(s));
            const int k = (j >= 1 && j <= np_) ? fitted_[j - 1] : 0;
            if (k >= 1 && k <= c) {
                variable_[i - 1] = k;
                scaled_by_[i - 1] = j;
            }
        }
    }
}

namespace {

struct MinimiserRun {
    int outcome = -1;  // as FitResult::outcome
    float ss = 0.0f;   // sum of squares at the end
};

// The one call of the minimiser and of the standard errors from its inverse.
MinimiserRun minimise(int m, int n, float* f, float* x, float acc, const FitOptions& options,
                      std::vector<float>& w, const Residuals& calfun, float* cov, float* sigma) {
    MinimiserRun run;
    w.assign(static_cast<std::size_t>(kvva05_work_size(m, n)), 0.0f);
    const MinimiserSummary summary = kvva05(m, n, f, x, options.substep, options.maxstep, acc,
                                            options.evaluations, options.print, w.data(), calfun);
    run.outcome = static_cast<int>(summary.outcome);
    kvserr(m, n, f, x, kvva05_inverse(m, n, w.data()), run.ss, cov, sigma);
    return run;
}

}  // namespace

FitResult fit_engine(const FitProblem& pb, const FitOptions& options, FitProgress* progress) {
    FitResult result;
    result.map = ParameterMap(pb.s);
    const ParameterMap& map = result.map;
    const int np = map.np();
    const int m = static_cast<int>(pb.x.size());
    const int nfit = map.nfit();
    for (int i = 1; i <= np; ++i) {
        if (map.fitted(i) != 0) pb.xv[map.fitted(i) - 1] = 1.0f / pb.s[i - 1];
    }
    if (nfit == 0) {
        result.status = FitStatus::NoSteps;
        return result;
    }
    if (nfit >= m) {
        result.status = FitStatus::TooFewPoints;
        return result;
    }

    float* const p = pb.p.data();
    float* const r = pb.r.data();
    pb.model(np, p, m, pb.x.data(), pb.y.data(), pb.e.data(), pb.yc.data(), r);
    float s0 = 0.0f;
    for (int i = 0; i < m; ++i) s0 = s0 + r[i] * r[i];
    const float acc = s0 * options.accuracy * 0.001f;

    if (progress != nullptr) progress->started();
    std::vector<float> values(static_cast<std::size_t>(np));
    const Evaluation ev{pb, map, values, result.calls, progress};
    const MinimiserRun run =
        minimise(m, nfit, r, pb.xv.data(), acc, options, *pb.work,
                 [&ev](int mm, int nn, float* f, float* xx) { kvcalf(mm, nn, f, xx, ev); },
                 pb.cov.data(), pb.sigma.data());
    result.outcome = run.outcome;
    if (progress != nullptr) progress->minimised(result.outcome);

    const float* const xv = pb.xv.data();
    for (int i = 1; i <= np; ++i) {
        pb.dev[i - 1] = 0.0f;
        const int k = map.variable(i);
        if (k == 0) continue;
        const float si = pb.s[map.scaled_by(i) - 1];
        p[i - 1] = p[i - 1] * si * xv[k - 1];
        pb.dev[i - 1] = 100.0f * si * xv[k - 1] * pb.sigma[k - 1];
    }

    covnor(pb.cov.data(), nfit);
    pb.model(np, p, m, pb.x.data(), pb.y.data(), pb.e.data(), pb.yc.data(), r);
    result.chi_squared_finite =
        kvchsq(pb.y.data(), pb.e.data(), pb.yc.data(), m, nfit, *pb.statistics, options.trouble);
    return result;
}

}  // namespace karvel
