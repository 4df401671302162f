/// The generalized inverse by Householder transformations with row and
/// column pivoting, in place and in single precision.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "fit/numeric.h"

namespace karvel {

namespace {

/// The widest block of rows whose sums run side by side in registers.
constexpr int kBlock = 8;

/// For the B rows i0, ..., i0 + B - 1 of the matrix a (column by column,
/// leading dimension ia, 0-based here): s[r] = s[r] + a(p, j) * a(i0 + r, j)
/// for j = j0, ..., j1 - 1 in that order, where p is the row itself when
/// Self, else the row p. Each column holds the B entries side by side.
template <int B, bool Self>
void row_products(const float* a, long ia, int p, int i0, int j0, int j1, float* s) {
    float acc[B];
    std::copy(s, s + B, acc);
    for (long j = j0; j < j1; ++j) {
        const float* col = a + j * ia;
#pragma GCC unroll 8
        for (int r = 0; r < B; ++r) acc[r] = acc[r] + (Self ? col[i0 + r] : col[p]) * col[i0 + r];
    }
    std::copy(acc, acc + B, s);
}

/// For the B rows i0, ..., i0 + B - 1: a(i0 + r, j) = a(i0 + r, j) - s[r] * a(p, j)
/// for j = j0, ..., j1 - 1, and with each new entry q[r] = q[r] + a(i0 + r, j)^2,
/// in that order: the sums of squares the next stage pivots on.
template <int B>
void update_rows(float* a, long ia, int p, int i0, int j0, int j1, const float* s, float* q) {
    float sr[B];
    float acc[B];
    std::copy(s, s + B, sr);
    std::copy(q, q + B, acc);
    for (long j = j0; j < j1; ++j) {
        float* col = a + j * ia;
        const float apj = col[p];
#pragma GCC unroll 8
        for (int r = 0; r < B; ++r) {
            const float v = col[i0 + r] - sr[r] * apj;
            col[i0 + r] = v;
            acc[r] = acc[r] + v * v;
        }
    }
    std::copy(acc, acc + B, q);
}

/// Runs kernel.template operator()<B>(i, r) for the rows i0, ..., i1 - 1 in
/// blocks of B <= kBlock rows, block i, i + 1, ..., i + B - 1 being the r-th
/// row on.
template <typename Kernel>
void in_blocks(int i0, int i1, const Kernel& kernel) {
    for (int i = i0; i < i1; i += kBlock) {
        const int r = i - i0;
        switch (std::min(kBlock, i1 - i)) {
        case 8: kernel.template operator()<8>(i, r); break;
        case 7: kernel.template operator()<7>(i, r); break;
        case 6: kernel.template operator()<6>(i, r); break;
        case 5: kernel.template operator()<5>(i, r); break;
        case 4: kernel.template operator()<4>(i, r); break;
        case 3: kernel.template operator()<3>(i, r); break;
        case 2: kernel.template operator()<2>(i, r); break;
        default: kernel.template operator()<1>(i, r); break;
        }
    }
}

/// row_products for the rows i0, ..., i1 - 1; s holds one sum per row.
template <bool Self>
void rows_products(const float* a, long ia, int p, int i0, int i1, int j0, int j1, float* s) {
    in_blocks(i0, i1, [&]<int B>(int i, int r) { row_products<B, Self>(a, ia, p, i, j0, j1, s + r); });
}

}  // namespace

int kvmb11(int m, int n, float* a, int ia, float* w) {
    if (m < 1) return 0;
    if (m > n) return m + 1;  // more rows than columns cannot have full row rank
    // 1-based access: A(i, j) and W(i).
    auto A = [a, ia](int i, int j) -> float& { return a[(i - 1) + static_cast<long>(j - 1) * ia]; };
    auto W = [w](int i) -> float& { return w[i - 1]; };

    // One running sum per row, the rows of a stage side by side; and the
    // sums of squares of the rows of a stage, from the update before it.
    std::vector<float> sums(static_cast<std::size_t>(m));
    std::vector<float> squares(static_cast<std::size_t>(m));

    for (int i = 1; i <= m; ++i) W(m + i) = static_cast<float>(i) + 0.5f;
    for (int j = 1; j <= n; ++j) W(2 * m + j) = static_cast<float>(j) + 0.5f;

    for (int k = 1; k <= m; ++k) {
        // Row pivot: the largest remaining sum of squares, the first on a tie.
        float rmax = 0.0f;
        int ir = k;
        if (k == 1) {
            std::fill(squares.begin(), squares.end(), 0.0f);
            rows_products<true>(a, ia, 0, 0, m, 0, n, squares.data());
        }
        for (int i = k; i <= m; ++i) {
            const float sum = squares[i - k];
            if (rmax < sum) {
                rmax = sum;
                ir = i;
            }
        }
        // The pivot row's sum of squares over columns k, ..., n.
        const float sum = squares[ir - k];
        if (ir > k) {
            std::swap(W(m + k), W(m + ir));
            for (int j = 1; j <= n; ++j) std::swap(A(k, j), A(ir, j));
        }

        // Column pivot: the largest magnitude in the pivot row.
        rmax = 0.0f;
        ir = k;
        for (int j = k; j <= n; ++j) {
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
        // Rows k + 1, ..., m against the pivot row, which they leave as it is.
        float* s = sums.data();
        for (int i = k + 1; i <= m; ++i) s[i - k - 1] = W(k) * A(i, k);
        rows_products<false>(a, ia, k - 1, k, m, k, n, s);
        for (int i = k + 1; i <= m; ++i) A(i, k) = A(i, k) - s[i - k - 1] * W(k);
        float* q = squares.data();
        std::fill(q, q + (m - k), 0.0f);
        in_blocks(k, m, [&]<int B>(int i, int r) { update_rows<B>(a, ia, k - 1, i, k, n, s + r, q + r); });
    }

    // Back-substitution, last row first.
    {
        const float s = W(m) / A(m, m);
        for (int j = m + 1; j <= n; ++j) A(m, j) = -s * A(m, j);
        A(m, m) = 1.0f / A(m, m) - s * W(m);
    }
    for (int l = m - 1; l >= 1; --l) {
        const int k = l + 1;
        // Rows k, ..., m against row l, which they leave as it is.
        float* t = sums.data();
        std::fill(t, t + (m - k + 1), 0.0f);
        rows_products<false>(a, ia, l - 1, k - 1, m, k - 1, n, t);
        for (int j = k; j <= n; ++j) {
            const float alj = A(l, j);
            for (int i = k; i <= m; ++i) A(i, j) = A(i, j) - t[i - k] * alj;
        }
        for (int i = k; i <= m; ++i) W(i) = -t[i - k] * W(l);
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
