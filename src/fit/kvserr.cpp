/// The standard errors after a fit, from the minimiser's inverse.
#include <algorithm>
#include <cmath>

#include "fit/kernels.h"
#include "fit/lanes.h"
#include "fit/numeric.h"

namespace karvel {

namespace {

/// ss = f(1)^2 + ... + f(m)^2 and v(k1, k2) = G(k1, 1) G(k2, 1) + ... +
/// G(k1, m) G(k2, m) for the n x n pairs (leading dimension n), G(k, i)
/// being g[(k - 1) + (i - 1) * n]: every sum in the order of i, the n sums
/// of a column of v side by side, all in one pass over the columns of G.
template <int N>
void sums(long m, int n, const float* f, const float* g, float& ss, float* v) {
    float s = 0.0f;
    if constexpr (N > 0) {
        // One vector a point; eight values are read where the next column
        // follows, the last column's five to eight one by one.
        using W = Wide<N>;
        W acc[N];
        for (W& a : acc) a = W::zero(nullptr, N);
        auto add = [&](const W& col, const float* gi) {
#pragma GCC unroll 8
            for (int k2 = 0; k2 < N; ++k2) acc[k2].add_product(col, gi[k2]);
        };
        long i = 0;
        for (; i + 1 < m; ++i) {
            s = s + f[i] * f[i];
            add(W::load(g + i * N, N), g + i * N);
        }
        for (; i < m; ++i) {
            s = s + f[i] * f[i];
            float last[8] = {};
            for (int k = 0; k < N; ++k) last[k] = g[i * N + k];
            add(W::load(last, N), g + i * N);
        }
        for (int k2 = 0; k2 < N; ++k2) acc[k2].store(v + k2 * N);
    } else {
        const long nn = static_cast<long>(n) * n;
        std::fill(v, v + nn, 0.0f);
        for (long i = 0; i < m; ++i) {
            s = s + f[i] * f[i];
            const float* gi = g + i * n;
            for (int k2 = 0; k2 < n; ++k2) {
                const float g2 = gi[k2];
                float* vk = v + static_cast<long>(k2) * n;
                for (int k1 = 0; k1 < n; ++k1) vk[k1] = vk[k1] + gi[k1] * g2;
            }
        }
    }
    ss = s;
}

}  // namespace

namespace KARVEL_KERNEL_SET {

void kvserr(int m, int n, const float* f, const float* x, const float* g, float& ss, float* v,
            float* sigma) {
    // V(k1, k2) = sum over i of G(k1, i) G(k2, i) / (x(k1) x(k2)).
    with_width(n, [&]<int N>() { sums<N>(m, n, f, g, ss, v); });
    for (int k2 = 1; k2 <= n; ++k2) {
        for (int k1 = 1; k1 <= n; ++k1) {
            float& vk = v[(k1 - 1) + (k2 - 1) * n];
            const float denom = x[k1 - 1] * x[k2 - 1];
            if (x[k1 - 1] == 0.0f || x[k2 - 1] == 0.0f) {
                // A variable that ended at zero has no relative error.
                vk = 0.0f;
                continue;
            }
            vk = vk / denom;
        }
    }
    for (int k = 1; k <= n; ++k) {
        if (m > n)
            sigma[k - 1] = std::sqrt(v[(k - 1) + (k - 1) * n] * ss / static_cast<float>(m - n));
        else
            sigma[k - 1] = 0.0f;
    }
}

}  // namespace KARVEL_KERNEL_SET

}  // namespace karvel
