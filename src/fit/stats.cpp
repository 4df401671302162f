/// Statistics after a fit: correlations, R-factor, reduced chi-squared and
/// the chi-squared probability (the standard errors are in kvserr.cpp).
#include <algorithm>
#include <cmath>

#include "fit/lanes.h"
#include "fit/numeric.h"
#include "core/records.h"

namespace karvel {

namespace {
// The series and the continued fraction are given room enough to converge
// for every number of degrees of freedom the point capacity allows.
constexpr int kItmax = 100000;
constexpr double kEps = 3.0e-16;
constexpr double kFpmin = 1.0e-30;

}  // namespace

void covnor(float* v, int n) {
    auto V = [v, n](int i, int j) -> float& { return v[(i - 1) + (j - 1) * n]; };
    for (int k = 1; k <= n; ++k) {
        const float s = std::sqrt(V(k, k));
        if (s > 0.0f) {
            for (int j = 1; j <= n; ++j) V(k, j) = V(k, j) / s;
            for (int i = 1; i <= n; ++i) V(i, k) = V(i, k) / s;
        }
    }
    for (int i = 0; i < n * n; ++i) v[i] = v[i] * 100.0f;
}

bool kvchsq(const float* y, const float* e, const float* yc, int m, int n, Chichi& st,
                 const ProbabilityTrouble& trouble) {
    st.rfacold = st.rfac;
    st.chisqold = st.chisq;
    st.rfac = 0.0f;
    st.chisq = 0.0f;

    // The quotients of eight points at a time first (also where a point is
    // left out, whose quotients then go unused), then the sums in order.
    float rsum = 0.0f;
    float csum = 0.0f;
    auto add = [&](int i, float ratio, float relative, float weighted) {
        if (yc[i] != 0.0f && ratio < 10000.0f) rsum = rsum + std::fabs(relative);
        if (e[i] != 0.0f && e[i] != 1.0f) csum = csum + weighted;
    };
    int i = 0;
    for (; i + 8 <= m; i += 8) {
        const Vec8 vy = load8(y + i), vyc = load8(yc + i), ve = load8(e + i);
        const Vec8 d = vyc - vy;
        const Vec8 ratio = vy / vyc, relative = d / vyc, weighted = d * d / (ve * ve);
        for (int l = 0; l < 8; ++l) add(i + l, ratio[l], relative[l], weighted[l]);
    }
    for (; i < m; ++i) {
        const float d = yc[i] - y[i];
        add(i, y[i] / yc[i], d / yc[i], d * d / (e[i] * e[i]));
    }
    st.rfac = m > 0 ? 100.0f * rsum / static_cast<float>(m) : 0.0f;

    const int nu = m - n;
    st.ndf = nu;
    st.chisq = nu <= 0 ? 0.0f : csum / static_cast<float>(nu);
    st.prob = 0.0f;
    // A sum that overflowed or a model that gave NaN has no probability;
    // the incomplete gamma function would not converge on it.
    const bool finite = std::isfinite(st.chisq);
    if (finite && nu > 0) kvprob(st.prob, nu, st.chisq, trouble);
    st.fitno = st.fitno + 1;
    return finite;
}

void kvprob(float& p, int nu, float chisq, const ProbabilityTrouble& trouble) {
    const double a = 0.5 * nu;
    const double x = a * static_cast<double>(chisq);
    p = static_cast<float>(kvgamq(a, x, trouble));
}

double kvgamq(double a, double x, const ProbabilityTrouble& trouble) {
    if ((x < 0.0 || a <= 0.0) && trouble) trouble("bad arguments in kvgamq");
    double gln = 0.0;
    if (x < a + 1.0) {
        double gamser = 0.0;
        kvgser(gamser, a, x, gln, trouble);
        return 1.0 - gamser;
    }
    double gammcf = 0.0;
    kvgcf(gammcf, a, x, gln, trouble);
    return gammcf;
}

void kvgser(double& gamser, double a, double x, double& gln, const ProbabilityTrouble& trouble) {
    gln = kvgaln(a);
    if (x <= 0.0) {
        if (x < 0.0 && trouble) trouble("x < 0 in gser");
        gamser = 0.0;
        return;
    }
    double ap = a;
    double sum = 1.0 / a;
    double term = sum;
    bool converged = false;
    for (int n = 1; n <= kItmax; ++n) {
        ap = ap + 1.0;
        term = term * x / ap;
        sum = sum + term;
        if (std::fabs(term) < std::fabs(sum) * kEps) {
            converged = true;
            break;
        }
    }
    if (!converged && trouble) trouble("a too large, ITMAX too small in gser");
    gamser = sum * std::exp(-x + a * std::log(x) - gln);
}

void kvgcf(double& gammcf, double a, double x, double& gln, const ProbabilityTrouble& trouble) {
    gln = kvgaln(a);
    double b = x + 1.0 - a;
    double c = 1.0 / kFpmin;
    double d = 1.0 / b;
    double h = d;
    bool converged = false;
    for (int i = 1; i <= kItmax; ++i) {
        const double an = -i * (i - a);
        b = b + 2.0;
        d = an * d + b;
        if (std::fabs(d) < kFpmin) d = kFpmin;
        c = b + an / c;
        if (std::fabs(c) < kFpmin) c = kFpmin;
        d = 1.0 / d;
        const double del = d * c;
        h = h * del;
        if (std::fabs(del - 1.0) < kEps) {
            converged = true;
            break;
        }
    }
    if (!converged && trouble) trouble("a too large, ITMAX too small in gcf");
    gammcf = std::exp(-x + a * std::log(x) - gln) * h;
}

double kvgaln(double a) {
    static const double cof[6] = {76.18009172947146,     -86.50532032941678,
                                  24.01409824083091,     -1.231739572450155,
                                  0.001208650973866179, -0.000005395239384953};
    const double t = a + 5.5;
    double s = 1.000000000190015;
    for (int j = 1; j <= 6; ++j) s = s + cof[j - 1] / (a + j);
    return (a + 0.5) * std::log(t) - t + std::log(2.5066282746310007 * s / a);
}

}  // namespace karvel
