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
void block_products(const float* a, long ia, int p, int i0, int j0, int j1, float* s) {
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
void block_update(float* a, long ia, int p, int i0, int j0, int j1, const float* s, float* q) {
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
void block_back_columns(float* a, long ia, int l, int i0, int i1, int j0, float wl, float all) {
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

/// The matrix as the caller holds it, column by column: the rows of a
/// block sit side by side in vector lanes, so that a block's sums over the
/// columns run together. Rows and columns count from 1 in operator() and
/// in the pivot searches, from 0 in the sums (rows i0, ..., i1 - 1,
/// columns j0, ..., n - 1, against row p).
class ByColumns {
public:
    ByColumns(float* a, int ia, int m, int n) : a_(a), ia_(ia), m_(m), n_(n) {}

    float& operator()(int i, int j) { return a_[(i - 1) + (j - 1) * ia_]; }

    void swap_rows(int i, int r) {
        for (int j = 1; j <= n_; ++j) std::swap((*this)(i, j), (*this)(r, j));
    }
    void swap_columns(int j, int r) {
        for (int i = 1; i <= m_; ++i) std::swap((*this)(i, j), (*this)(i, r));
    }
    /// q[r] = q[r] + A(r, 0)^2 + ... + A(r, n - 1)^2 for every row.
    void row_squares(float* q) {
        in_blocks(0, m_, [&]<int B>(int i, int r) { block_products<B, true>(a_, ia_, 0, i, 0, n_, q + r); });
    }
    /// The first j = k, ..., n with the largest |A(k, j)|; k when all are zero.
    int largest_in_row(int k) {
        float rmax = 0.0f;
        int ir = k;
        for (int j = k; j <= n_; ++j) {
            if (rmax < std::fabs((*this)(k, j))) {
                rmax = std::fabs((*this)(k, j));
                ir = j;
            }
        }
        return ir;
    }
    /// A(k, j) = A(k, j) / b for j = k + 1, ..., n.
    void divide_row(int k, float b) {
        for (int j = k + 1; j <= n_; ++j) (*this)(k, j) = (*this)(k, j) / b;
    }
    /// s[r] = s[r] + A(p, j) A(i0 + r, j) over the columns in order.
    void row_products(int p, int i0, int i1, int j0, float* s) {
        in_blocks(i0, i1, [&]<int B>(int i, int r) { block_products<B, false>(a_, ia_, p, i, j0, n_, s + r); });
    }
    /// A(i0 + r, j) = A(i0 + r, j) - s[r] A(p, j); unless q is null, with
    /// q[r] = q[r] + A(i0 + r, j)^2 of the new entries in order.
    void update_rows(int p, int i0, int i1, int j0, const float* s, float* q) {
        if (q != nullptr) {
            in_blocks(i0, i1, [&]<int B>(int i, int r) { block_update<B, true>(a_, ia_, p, i, j0, n_, s + r, q + r); });
        } else {
            in_blocks(i0, i1,
                      [&]<int B>(int i, int r) { block_update<B, false>(a_, ia_, p, i, j0, n_, s + r, nullptr); });
        }
    }
    /// Row l of the back-substitution in the columns j0, ..., n - 1: the
    /// rows i0, ..., i1 - 1 against it (update_rows with the sums t), then
    /// its new entries from them.
    void back_substitute(int l, int i0, int i1, int j0, const float* t, float wl, float all) {
        update_rows(l, i0, i1, j0, t, nullptr);
        in_blocks(j0, n_, [&]<int B>(int j, int) { block_back_columns<B>(a_, ia_, l, i0, i1, j, wl, all); });
    }

private:
    float* a_;
    long ia_;
    int m_, n_;
};

/// The most rows a matrix may have to be held row by row.
constexpr int kRowsHeld = 8;

/// A matrix of at most kRowsHeld rows, copied row by row for the work and
/// back to the caller's columns when done: the entries of a row then lie
/// side by side, and every operation on whole rows (the row updates, the
/// interchanges, the pivot search, the back-substitution's quotients) runs
/// across eight columns at once. The sums over a row's entries stay one
/// ordered chain each, the rows of a block side by side.
class ByRows {
public:
    /// The caller's matrix a, copied into rows of its own.
    ByRows(float* a, int ia, int m, int n)
        : a_(a), ia_(ia), m_(m), n_(n), own_(static_cast<std::size_t>(m) * n), t_(own_.data()) {
        copy<true>();
    }
    /// The matrix given row by row in rows, worked there, the result into a.
    ByRows(float* rows, float* a, int ia, int m, int n) : a_(a), ia_(ia), m_(m), n_(n), t_(rows) {}
    ~ByRows() { copy<false>(); }
    ByRows(const ByRows&) = delete;
    ByRows& operator=(const ByRows&) = delete;

    float& operator()(int i, int j) { return t_[(i - 1) * n_ + (j - 1)]; }

    void swap_rows(int i, int r) { std::swap_ranges(row(i - 1), row(i - 1) + n_, row(r - 1)); }
    void swap_columns(int j, int r) {
        for (int i = 1; i <= m_; ++i) std::swap((*this)(i, j), (*this)(i, r));
    }
    void row_squares(float* q) {
        last_block<kRowsHeld>(m_, 0, 0, [&]<int B>(int, int) { products<B, true>(0, 0, 0, q); });
    }
    int largest_in_row(int k) {
        // Eight scans side by side, each over every eighth entry, each
        // keeping its largest magnitude and the first place of it (taken
        // only when larger, so a NaN never is); then the first place of the
        // largest of all: the place the scan in order keeps.
        const float* x = row(k - 1);
        using Index8 = int __attribute__((vector_size(32)));
        Vec8 largest{};
        Index8 place = Index8{} + k;
        Index8 at = Index8{0, 1, 2, 3, 4, 5, 6, 7} + k;  // 1-based places of the eight entries
        long j = k - 1;
        for (; j + 8 <= n_; j += 8, at += 8) {
            const Vec8 v = abs8(load8(x + j));
            const Index8 larger = v > largest;
            largest = larger ? v : largest;
            place = larger ? at : place;
        }
        float rmax = 0.0f;
        int ir = k;
        for (int l = 0; l < 8; ++l) {
            if (rmax < largest[l] || (rmax == largest[l] && rmax > 0.0f && place[l] < ir)) {
                rmax = largest[l];
                ir = place[l];
            }
        }
        for (; j < n_; ++j) {
            if (rmax < std::fabs(x[j])) {
                rmax = std::fabs(x[j]);
                ir = static_cast<int>(j) + 1;
            }
        }
        return ir;
    }
    void divide_row(int k, float b) {
        float* x = row(k - 1);
        for (long j = k; j < n_; ++j) x[j] = x[j] / b;
    }
    void row_products(int p, int i0, int i1, int j0, float* s) {
        last_block<kRowsHeld>(i1 - i0, i0, 0, [&]<int B>(int i, int) { products<B, false>(p, i, j0, s); });
    }
    void update_rows(int p, int i0, int i1, int j0, const float* s, float* q) {
        last_block<kRowsHeld>(i1 - i0, i0, 0, [&]<int B>(int i, int) { update_block<B>(p, i, j0, s, q); });
    }
    /// The rows' update and row l's new entries, eight columns at a time.
    void back_substitute(int l, int i0, int i1, int j0, const float* t, float wl, float all) {
        float* xl = row(l);
        const int rows = i1 - i0;
        float ail[kRowsHeld];
        float* xr[kRowsHeld];
        Vec8 tv[kRowsHeld], av[kRowsHeld];
        for (int r = 0; r < rows; ++r) {
            ail[r] = (*this)(i0 + r + 1, l + 1);
            xr[r] = row(i0 + r);
            tv[r] = splat8(t[r]);
            av[r] = splat8(ail[r]);
        }
        const Vec8 wv = splat8(-wl);
        const Vec8 allv = splat8(all);
        long j = j0;
        for (; j + 8 <= n_; j += 8) {
            const Vec8 pl = load8(xl + j);
            Vec8 s = wv * pl;
            for (int r = 0; r < rows; ++r) {
                const Vec8 v = load8(xr[r] + j) - tv[r] * pl;
                store8(xr[r] + j, v);
                s = s - av[r] * v;
            }
            store8(xl + j, s / allv);
        }
        for (; j < n_; ++j) {
            float s = -wl * xl[j];
            for (int r = 0; r < rows; ++r) {
                float* xi = row(i0 + r) + j;
                *xi = *xi - t[r] * xl[j];
                s = s - ail[r] * *xi;
            }
            xl[j] = s / all;
        }
    }

private:
    float* row(long i) { return t_ + i * n_; }

    /// The caller's columns into the rows when In, else back.
    template <bool In>
    void copy() {
        last_block<kRowsHeld>(static_cast<int>(m_), 0, 0, [&]<int M>(int, int) {
            float* t = t_;
            for (long j = 0; j < n_; ++j) {
                float* col = a_ + j * ia_;
#pragma GCC unroll 8
                for (int r = 0; r < M; ++r) {
                    if constexpr (In) {
                        t[r * n_ + j] = col[r];
                    } else {
                        col[r] = t[r * n_ + j];
                    }
                }
            }
        });
    }

    /// A(i0 + r, j) = A(i0 + r, j) - s[r] A(p, j) for the B rows and
    /// j = j0, ..., n - 1; unless q is null, with q[r] = q[r] + A(i0 + r, j)^2
    /// of the new entries in order, the B rows side by side.
    template <int B>
    void update_block(int p, int i0, int j0, const float* s, float* q) {
        const float* xp = row(p);
        float* x[B];
        Vec8 sr[B];
        float acc[B];
        for (int r = 0; r < B; ++r) {
            x[r] = row(i0 + r);
            sr[r] = splat8(s[r]);
            acc[r] = q != nullptr ? q[r] : 0.0f;
        }
        long j = j0;
        for (; j + 8 <= n_; j += 8) {
            const Vec8 pj = load8(xp + j);
            Vec8 squares[B];
            for (int r = 0; r < B; ++r) {
                const Vec8 v = load8(x[r] + j) - sr[r] * pj;
                store8(x[r] + j, v);
                squares[r] = v * v;
            }
            if (q != nullptr)
                for (int l = 0; l < 8; ++l)
                    for (int r = 0; r < B; ++r) acc[r] = acc[r] + squares[r][l];
        }
        for (; j < n_; ++j) {
            for (int r = 0; r < B; ++r) {
                const float v = x[r][j] - s[r] * xp[j];
                x[r][j] = v;
                if (q != nullptr) acc[r] = acc[r] + v * v;
            }
        }
        if (q != nullptr)
            for (int r = 0; r < B; ++r) q[r] = acc[r];
    }

    /// s[r] = s[r] + A(p, j) A(i0 + r, j) (A(i0 + r, j)^2 when Self) for
    /// j = j0, ..., n - 1 in order, the B rows side by side.
    template <int B, bool Self>
    void products(int p, int i0, int j0, float* s) {
        float acc[B];
        const float* x[B];
        for (int r = 0; r < B; ++r) {
            acc[r] = s[r];
            x[r] = row(i0 + r);
        }
        const float* xp = row(p);
        for (long j = j0; j < n_; ++j) {
            const float pj = xp[j];
#pragma GCC unroll 8
            for (int r = 0; r < B; ++r) {
                const float v = x[r][j];
                acc[r] = acc[r] + (Self ? v * v : v * pj);
            }
        }
        for (int r = 0; r < B; ++r) s[r] = acc[r];
    }

    float* a_;
    long ia_;
    long m_, n_;
    std::vector<float> own_;
    float* t_;
};

/// The generalized inverse of the m x n matrix A, however it is held.
template <class Matrix>
int invert(Matrix& A, int m, int n, float* w) {
    auto W = [w](int i) -> float& { return w[i - 1]; };

    // One running sum per row, the rows of a stage side by side; and the
    // sums of squares of the rows of a stage, from the update before it.
    std::vector<float> sums(static_cast<std::size_t>(m));
    std::vector<float> squares(static_cast<std::size_t>(m));
    // The columns the column pivots interchanged; the others keep their places.
    std::vector<int> moved;

    for (int i = 1; i <= m; ++i) W(m + i) = static_cast<float>(i) + 0.5f;
    for (int j = 1; j <= n; ++j) W(2 * m + j) = static_cast<float>(j) + 0.5f;

    for (int k = 1; k <= m; ++k) {
        // Row pivot: the largest remaining sum of squares, the first on a tie.
        float rmax = 0.0f;
        int ir = k;
        if (k == 1) {
            std::fill(squares.begin(), squares.end(), 0.0f);
            A.row_squares(squares.data());
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
            A.swap_rows(k, ir);
        }

        // Column pivot: the largest magnitude in the pivot row.
        ir = A.largest_in_row(k);
        if (ir > k) {
            std::swap(W(2 * m + k), W(2 * m + ir));
            A.swap_columns(k, ir);
            moved.push_back(k);
            moved.push_back(ir);
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
        A.divide_row(k, b);
        if (k == m) break;
        // Rows k + 1, ..., m against the pivot row, which they leave as it is.
        float* s = sums.data();
        for (int i = k + 1; i <= m; ++i) s[i - k - 1] = W(k) * A(i, k);
        A.row_products(k - 1, k, m, k, s);
        for (int i = k + 1; i <= m; ++i) A(i, k) = A(i, k) - s[i - k - 1] * W(k);
        float* q = squares.data();
        std::fill(q, q + (m - k), 0.0f);
        A.update_rows(k - 1, k, m, k, s, q);
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
        A.row_products(l - 1, k - 1, m, k - 1, t);
        A.back_substitute(l - 1, k - 1, m, k - 1, t, W(l), A(l, l));
        for (int i = k; i <= m; ++i) W(i) = -t[i - k] * W(l);
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
            A.swap_rows(i, ir);
        }
    }
    // Only the columns interchanged can be out of place, and each
    // interchange below is between two of them: taking them in increasing
    // order does what the pass over every column would.
    std::sort(moved.begin(), moved.end());
    moved.erase(std::unique(moved.begin(), moved.end()), moved.end());
    for (const int j : moved) {
        for (;;) {
            const int ir = static_cast<int>(W(2 * m + j));
            if (ir <= j) break;
            std::swap(W(2 * m + j), W(2 * m + ir));
            A.swap_columns(j, ir);
        }
    }
    return 0;
}

}  // namespace

namespace KARVEL_KERNEL_SET {

int kvmb11(int m, int n, float* a, int ia, float* w) {
    if (m < 1) return 0;
    if (m > n) return m + 1;  // more rows than columns cannot have full row rank
    if (m <= kRowsHeld) {
        ByRows rows(a, ia, m, n);
        return invert(rows, m, n, w);
    }
    ByColumns columns(a, ia, m, n);
    return invert(columns, m, n, w);
}

int kvmb11_rows(int m, int n, float* rows, float* a, int ia, float* w) {
    if (m > kRowsHeld) {  // not for rows held: the columns as usual
        for (long j = 0; j < n; ++j)
            for (long r = 0; r < m; ++r) a[j * ia + r] = rows[r * n + j];
        return kvmb11(m, n, a, ia, w);
    }
    if (m < 1) return 0;
    if (m > n) return m + 1;
    ByRows held(rows, a, ia, m, n);
    return invert(held, m, n, w);
}

}  // namespace KARVEL_KERNEL_SET

}  // namespace karvel
