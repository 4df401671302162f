/// Residual evaluation: maps the minimiser's variables onto the parameters,
/// calls the host's model and reports the evaluation.
#include "fit/kvcalf.h"

namespace karvel {

void kvcalf(int m, int n, float* f, float* x, const Evaluation& ev) {
    (void)n;
    ev.calls = ev.calls + 1;

    const FitProblem& pb = ev.problem;
    const int np = ev.map.np();
    float* pv = ev.values.data();
    for (int i = 1; i <= np; ++i) {
        const float p = pb.p[i - 1];
        pv[i - 1] = p;
        const int k = ev.map.variable(i);
        if (k != 0) pv[i - 1] = p * x[k - 1] * pb.s[ev.map.scaled_by(i) - 1];
    }

    pb.model(np, pv, m, pb.x.data(), pb.y.data(), pb.e.data(), pb.yc.data(), pb.r.data());
    if (f != pb.r.data()) {
        for (int i = 1; i <= m; ++i) f[i - 1] = pb.r[i - 1];
    }
    if (ev.progress != nullptr) ev.progress->evaluated(ev.calls, m, pb.x.data(), pb.yc.data(), pb.r.data());
}

}  // namespace karvel
