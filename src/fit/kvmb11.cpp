/// The generalized inverse by Householder transformations with row and
/// column pivoting, in place and in single precision.
#include <cmath>
#include <utility>

#include "fit/numeric.h"

namespace karvel {

int kvmb11(int m, int n, float* a, int ia, float* w) {
    if (m < 1) return 0;
    if (m > n) return m + 1;  // more rows than columns cannot have full row rank
    // 1-based access: A(i, j) and W(i).
    auto A = [a, ia](int i, int j) -> float& { return a[(i - 1) + static_cast<long>(j - 1) * ia]; };
    auto W = [w](int i) -> float& { return w[i - 1]; };

    for (int i = 1; i <= m; ++i) W(m + i) = static_cast<float>(i) + 0.5f;
    for (int j = 1; j <= n; ++j) W(2 * m + j) = static_cast<float>(j) + 0.5f;

    for (int k = 1; k <= m; ++k) {
        // Row pivot: the largest remaining sum of squares, the first on a tie.
        float rmax = 0.0f;
        int ir = k;
        for (int i = k; i <= m; ++i) {
            float sum = 0.0f;
            for (int j = k; j <= n; ++j) sum = sum + A(i, j) * A(i, j);
            if (rmax < sum) {
                rmax = sum;
                ir = i;
            }
        }
        if (ir > k) {
            std::swap(W(m + k), W(m + ir));
            for (int j = 1; j <= n; ++j) std::swap(A(k, j), A(ir, j));
        }

        // Column pivot: the largest magnitude in the pivot row.
        rmax = 0.0f;
        float sum = 0.0f;
        ir = k;
        for (int j = k; j <= n; ++j) {
            sum = sum + A(k, j) * A(k, j);
            if (rmax < std::fabs(A(k, j))) {
                rmax = std::fabs(A(k, j));
                ir = j;
            }
        }
        if (ir > k) {
            std::swap(W(2 * m + k), W(2 * m + ir));
            for (int i = 1; i <= m; ++i) std::swap(A(i, k), A(i, ir));
        }

        // Elementary transformation.
        const float sigma = std::sqrt(sum);
        if (!(sigma > 0.0f)) return k;
        const float akk = A(k, k);
        const float b = std::sqrt(sum + sigma * std::fabs(akk));
        const float wk = (std::fabs(akk) + sigma) / b;
        W(k) = akk >= 0.0f ? wk : -wk;
        A(k, k) = akk >= 0.0f ? -sigma : sigma;
        if (k == n) break;
        for (int j = k + 1; j <= n; ++j) A(k, j) = A(k, j) / b;
        if (k == m) break;
        for (int i = k + 1; i <= m; ++i) {
            float s = W(k) * A(i, k);
            for (int j = k + 1; j <= n; ++j) s = s + A(k, j) * A(i, j);
            A(i, k) = A(i, k) - s * W(k);
            for (int j = k + 1; j <= n; ++j) A(i, j) = A(i, j) - s * A(k, j);
        }
    }

    // Back-substitution, last row first.
    {
        const float s = W(m) / A(m, m);
        for (int j = m + 1; j <= n; ++j) A(m, j) = -s * A(m, j);
        A(m, m) = 1.0f / A(m, m) - s * W(m);
    }
    for (int l = m - 1; l >= 1; --l) {
        const int k = l + 1;
        for (int i = k; i <= m; ++i) {
            float s = 0.0f;
            for (int j = k; j <= n; ++j) s = s + A(l, j) * A(i, j);
            for (int j = k; j <= n; ++j) A(i, j) = A(i, j) - s * A(l, j);
            W(i) = -s * W(l);
        }
        for (int j = k; j <= n; ++j) {
            float s = -W(l) * A(l, j);
            for (int i = k; i <= m; ++i) s = s - A(i, l) * A(i, j);
            A(l, j) = s / A(l, l);
        }
        float s = 1.0f - W(l) * W(l);
        for (int i = k; i <= m; ++i) {
            s = s - A(i, l) * W(i);
            A(i, l) = W(i);
        }
        A(l, l) = s / A(l, l);
    }

    // Undo the interchanges.
    for (int i = 1; i <= m; ++i) {
        for (;;) {
            const int ir = static_cast<int>(W(m + i));
            if (ir <= i) break;
            std::swap(W(m + i), W(m + ir));
            for (int j = 1; j <= n; ++j) std::swap(A(i, j), A(ir, j));
        }
    }
    for (int j = 1; j <= n; ++j) {
        for (;;) {
            const int ir = static_cast<int>(W(2 * m + j));
            if (ir <= j) break;
            std::swap(W(2 * m + j), W(2 * m + ir));
            for (int i = 1; i <= m; ++i) std::swap(A(i, j), A(i, ir));
        }
    }
    return 0;
}

}  // namespace karvel
