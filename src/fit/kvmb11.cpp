/// The generalized inverse by Householder transformations with row and
/// column pivoting, in place and in single precision.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "fit/kernels.h"
#include "fit/lanes.h"
#include "fit/numeric.h"

namespace karvel {

namespace {

/// The widest block of rows whose sums run side by side in registers.
constexpr int kBlock = 16;

/// For the B rows i0, ..., i0 + B - 1 of the matrix a (column by column,
/// leading dimension ia, 0-based here): s[r] = s[r] + a(p, j) * a(i0 + r, j)
/// for j = j0, ..., j1 - 1 in that order, where p is the row itself when
/// Self, else the row p. Each column holds the B entries side by side.
template <int B, bool Self>
void row_products(const float* a, long ia, int p, int i0, int j0, int j1, float* s) {
    using L = Lanes<B>;
    L acc = L::load(s, B);
    for (long j = j0; j < j1; ++j) {
        const float* col = a + j * ia;
        const L v = L::load(col + i0, B);
        if constexpr (Self) {
            acc.add_products(v, v);
        } else {
            acc.add_product(v, col[p]);
        }
    }
    acc.store(s);
}

/// For the B rows i0, ..., i0 + B - 1: a(i0 + r, j) = a(i0 + r, j) - s[r] * a(p, j)
/// for j = j0, ..., j1 - 1; when Squares, with each new entry also
/// q[r] = q[r] + a(i0 + r, j)^2, in that order: the sums of squares the next
/// stage pivots on.
template <int B, bool Squares>
void update_rows(float* a, long ia, int p, int i0, int j0, int j1, const float* s, float* q) {
    using L = Lanes<B>;
    const L sr = L::load(s, B);
    L acc = Squares ? L::load(q, B) : L::zero(q, B);
    for (long j = j0; j < j1; ++j) {
        float* col = a + j * ia;
        L v = L::load(col + i0, B);
        v.subtract_product(sr, col[p]);
        v.store(col + i0);
        if constexpr (Squares) acc.add_products(v, v);
    }
    if constexpr (Squares) acc.store(q);
}

/// The back-substitution of row l in the B columns j0, ..., j0 + B - 1 side
/// by side: in each column j the sum -wl * a(l, j) - a(i0, l) * a(i0, j) - ...
/// - a(i1 - 1, l) * a(i1 - 1, j), in that order, divided by all, replaces a(l, j).
template <int B>
void back_columns(float* a, long ia, int l, int i0, int i1, int j0, float wl, float all) {
    float s[B];
    float* const base = a + j0 * ia;
#pragma GCC unroll 16
    for (int c = 0; c < B; ++c) s[c] = -wl * base[c * ia + l];
    const float* coll = a + static_cast<long>(l) * ia;
    for (long i = i0; i < i1; ++i) {
        const float ail = coll[i];
        const float* ai = base + i;
#pragma GCC unroll 16
        for (int c = 0; c < B; ++c) s[c] = s[c] - ail * ai[c * ia];
    }
#pragma GCC unroll 16
    for (int c = 0; c < B; ++c) base[c * ia + l] = s[c] / all;
}

/// kernel.template operator()<B>(i, r) for the block of the last B <= Max
/// rows, len of them.
template <int Max, typename Kernel>
void last_block(int len, int i, int r, const Kernel& kernel) {
    if constexpr (Max > 1) {
        if (len < Max) return last_block<Max - 1>(len, i, r, kernel);
    }
    kernel.template operator()<Max>(i, r);
}

/// Runs kernel.template operator()<B>(i, r) for the rows (or columns)
/// i0, ..., i1 - 1 in blocks of B <= kBlock, block i, i + 1, ..., i + B - 1
/// being the r-th on.
template <typename Kernel>
void in_blocks(int i0, int i1, const Kernel& kernel) {
    int i = i0;
    for (; i + kBlock <= i1; i += kBlock) kernel.template operator()<kBlock>(i, i - i0);
    if (i < i1) last_block<kBlock>(i1 - i, i, i - i0, kernel);
}

/// row_products for the rows i0, ..., i1 - 1; s holds one sum per row.
template <bool Self>
void rows_products(const float* a, long ia, int p, int i0, int i1, int j0, int j1, float* s) {
    in_blocks(i0, i1, [&]<int B>(int i, int r) { row_products<B, Self>(a, ia, p, i, j0, j1, s + r); });
}

}  // namespace

namespace KARVEL_KERNEL_SET {

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
        in_blocks(k, m, [&]<int B>(int i, int r) { update_rows<B, true>(a, ia, k - 1, i, k, n, s + r, q + r); });
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
        in_blocks(k - 1, m, [&]<int B>(int i, int r) {
            update_rows<B, false>(a, ia, l - 1, i, k - 1, n, t + r, nullptr);
        });
        for (int i = k; i <= m; ++i) W(i) = -t[i - k] * W(l);
        const float wl = W(l);
        const float all = A(l, l);
        in_blocks(k - 1, n, [&]<int B>(int j, int) { back_columns<B>(a, ia, l - 1, k - 1, m, j, wl, all); });
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

}  // namespace KARVEL_KERNEL_SET

}  // namespace karvel
