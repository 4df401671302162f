/// The choice between the two sets of kernels.
#include "fit/kernels.h"

namespace karvel {

bool avx2_kernels() {
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
    static const bool yes = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return yes;
#else
    return false;  // the second set is the first compiled again
#endif
}

int kvmb11(int m, int n, float* a, int ia, float* w) {
    return avx2_kernels() ? kernels_avx2::kvmb11(m, n, a, ia, w) : kernels_baseline::kvmb11(m, n, a, ia, w);
}

void kvserr(int m, int n, const float* f, const float* x, const float* g, float& ss, float* v, float* sigma) {
    if (avx2_kernels()) {
        kernels_avx2::kvserr(m, n, f, x, g, ss, v, sigma);
    } else {
        kernels_baseline::kvserr(m, n, f, x, g, ss, v, sigma);
    }
}

MinimiserSummary kvva05(int m, int n, float* f, float* x, float dstep, float dmax, float acc, int maxfun,
                        int iprint, float* w, const Residuals& calfun) {
    return avx2_kernels() ? kernels_avx2::kvva05(m, n, f, x, dstep, dmax, acc, maxfun, iprint, w, calfun)
                          : kernels_baseline::kvva05(m, n, f, x, dstep, dmax, acc, maxfun, iprint, w, calfun);
}

}  // namespace karvel
