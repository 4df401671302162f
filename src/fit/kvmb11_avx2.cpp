/// The generalized inverse compiled for processors with AVX2 (see kernels.h).
// Every header of kvmb11.cpp comes first, so that only the kernel's own
// routines take the target below: an inline routine of a header compiled
// for AVX2 could stand in for the baseline's copy of it at link time. A
// header added there belongs here too; the build test
// avx2_kernels_shared_code finds one left out.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>
#include "fit/kernels.h"
#include "fit/lanes.h"
#include "fit/numeric.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#pragma GCC target("avx2")
#endif
#undef KARVEL_KERNEL_SET
#define KARVEL_KERNEL_SET kernels_avx2
#include "fit/kvmb11.cpp"
