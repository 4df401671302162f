/// The minimiser, the generalized inverse and the standard errors come in
/// two sets of machine code from one source: one for every x86-64
/// processor, one for those with AVX2, whose wider vectors run twice the
/// rows of the sums over a row's entries at once. Both sets do the same
/// operations in the same order, with no fused multiply-add, so they give
/// the same results to the bit; kvva05, kvmb11 and kvserr (numeric.h) take
/// the faster set the processor can run.
#pragma once

#include "fit/numeric.h"

// The set a source file of the kernels defines; the AVX2 copies set it
// before including the kernels' sources.
#ifndef KARVEL_KERNEL_SET
#define KARVEL_KERNEL_SET kernels_baseline
#endif

namespace karvel {

// The routines of each set. kvmb11_rows is kvmb11 for a matrix of at most
// eight rows handed over row by row in rows (leading dimension n), which it
// works in: the result goes to a, column by column as from kvmb11.
// kvva05_any_width is kvva05 with its code for any number of variables even
// where one for a fixed number exists: the two give the same bits, which the
// tests check.
#define KARVEL_KERNEL_ROUTINES                                                                     \
    int kvmb11(int m, int n, float* a, int ia, float* w);                                          \
    int kvmb11_rows(int m, int n, float* rows, float* a, int ia, float* w);                        \
    void kvserr(int m, int n, const float* f, const float* x, const float* g, float& ss, float* v, \
                float* sigma);                                                                     \
    MinimiserSummary kvva05(int m, int n, float* f, float* x, float dstep, float dmax, float acc,  \
                            int maxfun, int iprint, float* w, const Residuals& calfun);            \
    MinimiserSummary kvva05_any_width(int m, int n, float* f, float* x, float dstep, float dmax,   \
                                      float acc, int maxfun, int iprint, float* w,                 \
                                      const Residuals& calfun);

namespace kernels_baseline {
KARVEL_KERNEL_ROUTINES
}  // namespace kernels_baseline

namespace kernels_avx2 {
KARVEL_KERNEL_ROUTINES
}  // namespace kernels_avx2

#undef KARVEL_KERNEL_ROUTINES

/// The processor runs the AVX2 set (decided once).
bool avx2_kernels();

}  // namespace karvel
