/// The numerical core of the fitting engine: the generalized inverse, the
/// least-squares minimiser and the statistics derived after a fit.
#pragma once

#include <functional>
#include <string_view>

namespace karvel {

struct Chichi;

/// The residual routine the minimiser calls: fills f(1..m) for the
/// variables x(1..n).
using Residuals = std::function<void(int m, int n, float* f, float* x)>;

/// Replaces the m x n matrix a (column by column, leading dimension ia,
/// m <= n, full row rank) by the transpose of its generalized inverse.
/// w needs 2m + n entries. Returns 0, or the stage at which a zero pivot
/// stopped the work (m + 1 when m > n); the matrix is then left unfinished.
int kvmb11(int m, int n, float* a, int ia, float* w);

/// Work space the minimiser needs for m residuals and n variables.
constexpr long kvva05_work_size(int m, int n) {
    return 2L * m * n + 2L * n * n + 5L * n + 2L * m;
}

/// How a minimisation ended.
enum class MinimiserOutcome {
    Converged = 0,           ///< the accuracy was reached, or no reduction worth a step is left
    NoLongerDecreasing = 1,  ///< the sum of squares stopped falling, or the Jacobian lost rank
    CallLimitReached = 2,    ///< the permitted number of evaluations was used up
};

/// What the minimiser hands back: its outcome and the evaluations it made.
struct MinimiserSummary {
    MinimiserOutcome outcome;
    int calls;
};

/// Minimises f(1)^2 + ... + f(m)^2 over x(1..n) without derivatives.
/// On return x and f hold the best point and its residuals. iprint is the
/// print control (printout on the listing channel, none when 0): 1 or -1
/// every evaluation, k or -k the best estimate at every k-th; a negative control
/// leaves out the residuals. w needs kvva05_work_size(m, n) entries and
/// holds the minimiser's inverse afterwards (see kvva05_inverse).
MinimiserSummary kvva05(int m, int n, float* f, float* x, float dstep, float dmax, float acc,
                        int maxfun, int iprint, float* w, const Residuals& calfun);

/// The transpose of the generalized inverse the minimiser keeps in its work
/// space w after a run, n x (m + n), leading dimension n: G(k, i) is
/// g[(k-1) + (i-1)*n]; its first m columns belong to the residuals.
inline const float* kvva05_inverse(int m, int n, const float* w) { return w + static_cast<long>(m) * n; }

/// Standard errors after a fit: ss the sum of squares of f, v the n x n
/// relative covariance matrix (leading dimension n), sigma(1..n) the
/// relative standard errors, from the minimiser's inverse g (first m
/// columns used, see kvva05_inverse).
void kvserr(int m, int n, const float* f, const float* x, const float* g, float& ss, float* v,
            float* sigma);

/// Turns the covariance matrix v (n x n, leading dimension n) into
/// percentage correlations in place.
void covnor(float* v, int n);

/// Told when a probability routine meets arguments it cannot work with or a
/// sum that does not converge, with a message naming the routine; the
/// routine goes on when it returns. The session pauses the run there.
using ProbabilityTrouble = std::function<void(std::string_view message)>;

/// R-factor, reduced chi-squared, degrees of freedom, probability and the
/// fit counter of the statistics st, from the observed values y, the error
/// estimates e and the calculated values yc of m points, n of them fitted.
/// Returns false when the chi-squared is not finite: its probability is then
/// 0 and not calculated.
bool kvchsq(const float* y, const float* e, const float* yc, int m, int n, Chichi& st,
            const ProbabilityTrouble& trouble = {});

/// Probability that a chi-squared variable of nu degrees of freedom
/// exceeds nu times the reduced chi-squared chisq.
void kvprob(float& p, int nu, float chisq, const ProbabilityTrouble& trouble = {});

/// The incomplete gamma function Q(a, x) = Gamma(a, x) / Gamma(a).
double kvgamq(double a, double x, const ProbabilityTrouble& trouble = {});
/// Series for P(a, x); gln receives ln Gamma(a).
void kvgser(double& gamser, double a, double x, double& gln, const ProbabilityTrouble& trouble = {});
/// Continued fraction for Q(a, x); gln receives ln Gamma(a).
void kvgcf(double& gammcf, double a, double x, double& gln, const ProbabilityTrouble& trouble = {});
/// ln Gamma(a) for a > 0.
double kvgaln(double a);

}  // namespace karvel
