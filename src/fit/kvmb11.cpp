/// The generalized inverse by Householder transformations with row and
/// column pivoting, in place and in single precision.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
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

// Whether this copy is the AVX2 set's (its source defines KARVEL_KERNEL_SET
// as kernels_avx2 before including this file): there a vector of eight is
// one register, in the baseline set two of four.
#define KARVEL_KVMB11_WIDE_kernels_avx2 1
#define KARVEL_KVMB11_PASTE(a, b) a##b
#define KARVEL_KVMB11_WIDE(set) KARVEL_KVMB11_PASTE(KARVEL_KVMB11_WIDE_, set)
#if KARVEL_KVMB11_WIDE(KARVEL_KERNEL_SET)
constexpr bool kWide = true;
#else
constexpr bool kWide = false;
#endif


inline Vec4 low4(Vec8 v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3); }
inline Vec4 high4(Vec8 v) { return __builtin_shufflevector(v, v, 4, 5, 6, 7); }
inline Vec8 join8(Vec4 lo, Vec4 hi) { return __builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7); }

/// Whether a and b are equal in any lane, made on the halves without AVX.
inline bool any_equal8(Vec8 a, Vec8 b) {
    if constexpr (kWide) {
        using Quarters = unsigned long long __attribute__((vector_size(32)));
        const Quarters h = reinterpret_cast<Quarters>(a == b);
        return ((h[0] | h[1]) | (h[2] | h[3])) != 0;
    } else {
        using Halves = unsigned long long __attribute__((vector_size(16)));
        const Halves h = reinterpret_cast<Halves>((low4(a) == low4(b)) | (high4(a) == high4(b)));
        return (h[0] | h[1]) != 0;
    }
}

/// Eight values as two vectors of four: a vector of eight without AVX, where
/// the compiler would join two halves into one through memory.
struct Pair4 {
    Vec4 lo, hi;

    friend Pair4 operator+(Pair4 a, Pair4 b) { return {a.lo + b.lo, a.hi + b.hi}; }
    float operator[](int q) const { return q < 4 ? lo[q] : hi[q - 4]; }
};

/// Eight values kept from one tile to the next: a vector of eight, or
/// without AVX two of four.
using Eight = std::conditional_t<kWide, Vec8, Pair4>;

/// keep = y > keep ? y : keep lane by lane: y only where it is larger, so
/// never a NaN.
inline void keep_larger(Vec8& keep, Vec8 y) { keep = y > keep ? y : keep; }
inline void keep_larger(Pair4& keep, Vec8 y) {
    const Vec4 lo = low4(y), hi = high4(y);
    keep.lo = lo > keep.lo ? lo : keep.lo;
    keep.hi = hi > keep.hi ? hi : keep.hi;
}

/// One value for each of B rows, side by side in the lanes of one vector,
/// of four or of eight (the lanes past B hold zero or whatever the work
/// left there).
template <int B>
struct Across {
    static constexpr int kLanes = B <= 4 ? 4 : 8;
    using Vec = std::conditional_t<kLanes == 4, Vec4, std::conditional_t<kWide, Vec8, Pair4>>;
    Vec v;

    static Across of(const float* x) {
        float lanes[kLanes];
        for (int q = 0; q < kLanes; ++q) lanes[q] = q < B ? x[q] : 0.0f;
        Across r;
        std::memcpy(&r.v, lanes, sizeof lanes);
        return r;
    }
    static Across zero() { return {Vec{}}; }
    float operator[](int r) const { return v[r]; }
    /// Lane r in all eight lanes of a vector of eight, r = 0, ..., B - 1
    /// (without AVX from a vector of four, as shuffles of eight lanes would
    /// be made lane by lane).
    void splat(Vec8 (&to)[B]) const {
        [&]<int... R>(std::integer_sequence<int, R...>) {
            if constexpr (kWide) {
                ((to[R] = __builtin_shufflevector(v, v, R, R, R, R, R, R, R, R)), ...);
            } else {
                auto lane = [&]<int Q>() {
                    Vec4 h;
                    if constexpr (kLanes == 4) {
                        h = v;
                    } else {
                        h = Q < 4 ? v.lo : v.hi;
                    }
                    const Vec4 x = __builtin_shufflevector(h, h, Q % 4, Q % 4, Q % 4, Q % 4);
                    return join8(x, x);
                };
                ((to[R] = lane.template operator()<R>()), ...);
            }
        }(std::make_integer_sequence<int, B>{});
    }
    void store(float* x) const {
        for (int r = 0; r < B; ++r) x[r] = v[r];
    }
};

/// A tile of B rows' entries in eight columns, r[q] the eight entries of row
/// q, as its eight columns: c[l] holds column l, the rows side by side.
template <int B>
[[gnu::always_inline]] inline void transpose(const Vec8 (&r)[B], Across<B> (&c)[8]) {
    auto row = [&](int q) { return q < B ? r[q] : Vec8{}; };
    constexpr int kGroups = (B + 3) / 4;
    if constexpr (kWide) {
        // The entries pair up within each half of the vectors, which then
        // hold columns l and l + 4 of the four rows.
        Vec8 h[2][4];
        for (int g = 0; g < kGroups; ++g) interleave_quads(row(4 * g), row(4 * g + 1), row(4 * g + 2), row(4 * g + 3), h[g]);
        for (int l = 0; l < 4; ++l) {
            if constexpr (B <= 4) {
                c[l].v = low4(h[0][l]);
                c[l + 4].v = high4(h[0][l]);
            } else {
                // The halves of the two groups of four rows side by side.
                c[l].v = __builtin_shufflevector(h[0][l], h[1][l], 0, 1, 2, 3, 8, 9, 10, 11);
                c[l + 4].v = __builtin_shufflevector(h[0][l], h[1][l], 4, 5, 6, 7, 12, 13, 14, 15);
            }
        }
    } else {
        // Without AVX the compiler takes shuffles of eight lanes apart lane by
        // lane: each half of four rows is turned as four vectors of four.
        Vec4 col[2][8];  // column l of each group of four rows
        for (int g = 0; g < kGroups; ++g)
            for (int half = 0; half < 2; ++half) {
                auto part = [&](int q) { return half == 0 ? low4(row(4 * g + q)) : high4(row(4 * g + q)); };
                const Vec4 t0 = __builtin_shufflevector(part(0), part(1), 0, 4, 1, 5);
                const Vec4 t1 = __builtin_shufflevector(part(0), part(1), 2, 6, 3, 7);
                const Vec4 t2 = __builtin_shufflevector(part(2), part(3), 0, 4, 1, 5);
                const Vec4 t3 = __builtin_shufflevector(part(2), part(3), 2, 6, 3, 7);
                Vec4* out = col[g] + 4 * half;
                out[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
                out[1] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
                out[2] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
                out[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
            }
        for (int l = 0; l < 8; ++l) {
            if constexpr (B <= 4) {
                c[l].v = col[0][l];
            } else {
                c[l].v = Pair4{col[0][l], col[1][l]};
            }
        }
    }
}

/// s = s + c[cols.from] + ... + c[7], lane by lane in that order.
template <int B, typename Cols>
[[gnu::always_inline]] inline void add_columns(Across<B>& s, const Across<B> (&c)[8], Cols cols) {
    for (int l = 0; l < 8; ++l)
        if (l >= cols.from) s.v = s.v + c[l].v;
}

/// The first of the columns k, ..., n - 1 of the row x with the largest
/// magnitude; k when all are zero.
int largest_in_row(const float* x, int k, long n) {
    // Eight scans side by side, each over every eighth entry, each keeping
    // its largest magnitude and the first place of it (taken only when
    // larger, so a NaN never is); then the first place of the largest of
    // all: the place the scan in order keeps.
    using Index8 = int __attribute__((vector_size(32)));
    Vec8 largest{};
    Index8 place = Index8{} + k;
    Index8 at = Index8{0, 1, 2, 3, 4, 5, 6, 7} + k;
    long j = k;
    for (; j + 8 <= n; j += 8, at += 8) {
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
    for (; j < n; ++j) {
        if (rmax < std::fabs(x[j])) {
            rmax = std::fabs(x[j]);
            ir = static_cast<int>(j);
        }
    }
    return ir;
}

/// largest_in_row, given the largest square of the columns k, ..., n - 1
/// of the row. Where squares are normal numbers, a larger magnitude has a
/// larger square (the squares of two neighbouring numbers lie more than a
/// unit of the last place apart), so the first column whose square is the
/// largest is the first of the largest magnitude, found without comparing
/// the others; otherwise (zero, very small or very large entries) the
/// magnitudes are compared.
int place_of_largest(const float* x, int k, long n, float square) {
    if (!(square >= 0x1p-126f && square <= 0x1.fffffep127f)) return largest_in_row(x, k, n);
    const Vec8 sv = splat8(square);
    long j = k;
    for (; j + 8 <= n; j += 8) {
        const Vec8 v = load8(x + j);
        if (any_equal8(v * v, sv))
            for (int l = 0;; ++l)
                if (x[j + l] * x[j + l] == square) return static_cast<int>(j) + l;
    }
    for (; j < n; ++j)
        if (x[j] * x[j] == square) return static_cast<int>(j);
    return largest_in_row(x, k, n);
}

/// Each of B rows' sum of squares, column by column in order, and its
/// largest square: what the next stage's pivots are chosen by.
template <int B>
struct Squares {
    Across<B> sums = Across<B>::zero();
    Eight largest[B];  // of each row's every eighth column, eight side by side

    Squares() {
        // One store a row: a loop of them becomes a block fill, slow to start.
        [&]<int... R>(std::integer_sequence<int, R...>) {
            ((largest[R] = Eight{}), ...);
        }(std::make_integer_sequence<int, B>{});
    }

    /// The tile v of the B rows, the columns cols of it. The squares are
    /// formed row by row, then turned. The largest square takes all eight
    /// columns: those of a last tile that the tile before already had, or
    /// the zeros that fill a short row's tile, change nothing; never a NaN.
    template <typename Cols>
    [[gnu::always_inline]] void add(const Vec8 (&v)[B], Cols cols) {
        Vec8 squares[B];
        for (int r = 0; r < B; ++r) {
            squares[r] = v[r] * v[r];
            keep_larger(largest[r], squares[r]);
        }
        Across<B> c[8];
        transpose(squares, c);
        add_columns(sums, c, cols);
    }
    void store(float* sums_to, float* largest_to) const {
        sums.store(sums_to);
        for (int r = 0; r < B; ++r) {
            float x = 0.0f;
            for (int l = 0; l < 8; ++l) x = largest[r][l] > x ? largest[r][l] : x;
            largest_to[r] = x;
        }
    }
};

/// The columns of a tile that join the sums: from, ..., 7.
struct Part {
    int from;
};

/// Runs tile(at, cols) for the columns j0, ..., n - 1 of the Count rows
/// eight at a time: at[r] points to row r's eight entries, cols says which
/// of them join the sums. When the columns do not fill the last tile, it
/// holds the rows' last eight entries as they were before the pass: the
/// columns that the tile before it did come out the same, and only the
/// others join the sums (for a row shorter than a tile, the entries at the
/// end of a tile of zeros).
template <int Count, typename Tile>
[[gnu::always_inline]] inline void by_tiles(float* const (&rows)[Count], long j0, long n, Tile&& tile) {
    const long len = n - j0;
    const int left = static_cast<int>(len < 8 ? len : len % 8);
    float last[Count][8];
    if (left != 0) {
        for (int r = 0; r < Count; ++r) {
            if (len >= 8) {
                store8(last[r], load8(rows[r] + n - 8));
            } else {
                for (int c = 0; c < 8; ++c) last[r][c] = c < 8 - left ? 0.0f : rows[r][n - 8 + c];
            }
        }
    }
    const long whole = len / 8;
    const long tiles = whole + (left != 0 ? 1 : 0);
    for (long t = 0; t < tiles; ++t) {
        float* at[Count];
        const bool part = t == whole;
        for (int r = 0; r < Count; ++r) at[r] = part ? last[r] : rows[r] + j0 + 8 * t;
        tile(at, Part{part ? 8 - left : 0});
    }
    if (left != 0) {
        for (int r = 0; r < Count; ++r) {
            if (len >= 8) {
                store8(rows[r] + n - 8, load8(last[r]));
            } else {
                for (int c = 8 - left; c < 8; ++c) rows[r][n - 8 + c] = last[r][c];
            }
        }
    }
}

/// body.template operator()<B>() with B = count, 1 <= count <= Max.
template <int Max, typename Body>
void with_rows(int count, Body&& body) {
    if constexpr (Max > 1) {
        if (count < Max) return with_rows<Max - 1>(count, body);
    }
    body.template operator()<Max>();
}

/// Of count sums of squares, the place of the largest, the first on a tie
/// (0 when none is above zero): the row pivot.
inline int largest_sum(const float* squares, int count) {
    float rmax = 0.0f;
    int at = 0;
    for (int i = 0; i < count; ++i) {
        if (rmax < squares[i]) {
            rmax = squares[i];
            at = i;
        }
    }
    return at;
}

/// A stage's elementary transformation, from its pivot row's sum of squares
/// and its pivot akk: b, which the row is divided by, W(k) and the new
/// pivot. False, and nothing set, when the sum is not above zero.
struct Transformation {
    float b, wk, pivot;
};
inline bool transformation(float sum, float akk, Transformation& t) {
    const float sigma = std::sqrt(sum);
    if (!(sigma > 0.0f)) return false;
    t.b = std::sqrt(sum + sigma * std::fabs(akk));
    const float wk = (std::fabs(akk) + sigma) / t.b;
    t.wk = akk >= 0.0f ? wk : -wk;
    t.pivot = akk >= 0.0f ? -sigma : sigma;
    return true;
}

/// record[j] = j + 1.5 for j = 0, ..., count - 1: an interchange record in
/// its first order, eight at a time.
inline void numbered(float* record, long count) {
    using Int8 = int __attribute__((vector_size(32)));
    long j = 0;
    for (; j + 8 <= count; j += 8) {
        const Int8 k = Int8{1, 2, 3, 4, 5, 6, 7, 8} + static_cast<int>(j);
        store8(record + j, __builtin_convertvector(k, Vec8) + 0.5f);
    }
    for (; j < count; ++j) record[j] = static_cast<float>(j + 1) + 0.5f;
}

/// A matrix of at most kRowsHeld rows held row by row, each row's entries
/// side by side (leading dimension n), the rows reached through pointers,
/// so that a row interchange swaps two pointers. The sums over a row's
/// entries run for the rows of a stage in the lanes of one vector (of eight
/// for more than four rows; without AVX two of four): a tile of eight
/// columns is loaded row by row, worked on across its columns, and turned
/// in registers so that one vector addition takes the next term of every
/// row's sum. Each sum stays one chain in the order of its terms; what else
/// a stage does runs eight columns at a time beside the chains.
class FewRows {
public:
    FewRows(float* rows, int m, int n) : m_(m), n_(n) {
        for (int i = 0; i < m; ++i) x_[i] = rows + static_cast<long>(i) * n;
    }

    /// The generalized inverse; the result to a (column by column, leading
    /// dimension ia). Returns 0, or the stage whose pivot is zero.
    int invert(float* a, int ia, float* w);

private:
    /// Rows 0, ..., m - 1 over all columns: their sums of squares and
    /// largest squares, for the first stage.
    template <int B>
    void first_squares(float* sq, float* big) {
        float* rows[B];
        for (int r = 0; r < B; ++r) rows[r] = x_[r];
        Squares<B> p;
        by_tiles(rows, 0, n_, [&](float* const* at, auto cols) __attribute__((always_inline)) {
            Vec8 v[B];
            for (int r = 0; r < B; ++r) v[r] = load8(at[r]);
            p.add(v, cols);
        });
        p.store(sq, big);
    }

    /// Stage k after its elementary transformation: the pivot row divided
    /// by b, the B = m - k - 1 rows below against it, and their sums of
    /// squares and largest squares for stage k + 1.
    template <int B>
    void reduce(int k, float b, float wk, float* sq, float* big) {
        float* rows[B + 1];
        for (int r = 0; r <= B; ++r) rows[r] = x_[k + r];
        // s = W(k) A(i, k) + the row's products with the pivot row.
        float first[B];
        for (int r = 0; r < B; ++r) first[r] = wk * rows[r + 1][k];
        Across<B> s = Across<B>::of(first);
        const Vec8 bv = splat8(b);
        by_tiles(rows, k + 1, n_, [&](float* const* at, auto cols) __attribute__((always_inline)) {
            const Vec8 p = load8(at[0]) / bv;
            store8(at[0], p);
            Vec8 v[B];
            for (int r = 0; r < B; ++r) v[r] = load8(at[r + 1]) * p;
            Across<B> c[8];
            transpose(v, c);
            add_columns(s, c, cols);
        });
        Vec8 sv[B];
        s.splat(sv);
        for (int r = 0; r < B; ++r) rows[r + 1][k] = rows[r + 1][k] - s[r] * wk;
        Squares<B> next;
        by_tiles(rows, k + 1, n_, [&](float* const* at, auto cols) __attribute__((always_inline)) {
            const Vec8 p = load8(at[0]);
            Vec8 v[B];
            for (int r = 0; r < B; ++r) {
                v[r] = load8(at[r + 1]) - sv[r] * p;
                store8(at[r + 1], v[r]);
            }
            next.add(v, cols);
        });
        next.store(sq + k + 1, big + k + 1);
    }

    /// The last row of the back-substitution, its entries past the diagonal
    /// first divided by b (the last stage's division); then, when there is a
    /// row above it, that row's products with it for the next step into t.
    template <bool Next>
    void back_last(const float* w, float b, float* t) {
        const int l = m_ - 1;
        float* rows[Next ? 2 : 1];
        rows[0] = x_[l];
        if constexpr (Next) rows[1] = x_[l - 1];
        const float s = w[l] / rows[0][l];
        rows[0][l] = 1.0f / rows[0][l] - s * w[l];
        Across<1> sum = Across<1>::zero();
        if constexpr (Next) sum.v = sum.v + splat4(rows[1][l] * rows[0][l]);
        const Vec8 sv = splat8(-s);
        const Vec8 bv = splat8(b);
        by_tiles(rows, l + 1, n_, [&](float* const* at, auto cols) __attribute__((always_inline)) {
            const Vec8 v[1] = {sv * (load8(at[0]) / bv)};
            store8(at[0], v[0]);
            if constexpr (Next) {
                Vec8 pr[1] = {v[0] * load8(at[1])};
                Across<1> c[8];
                transpose(pr, c);
                add_columns(sum, c, cols);
            }
        });
        if constexpr (Next) t[0] = sum[0];
    }

    /// Row l of the back-substitution, the B = m - l - 1 rows below against
    /// it with the sums t, given the new column l (their W(i)) and the new
    /// A(l, l); then, for l > 0, row l - 1's products with rows l, ..., m - 1
    /// for the next step into t_next, which may be t (read before).
    template <int B, bool Next>
    void back_row(int l, const float* t, float wl, float all, const float* ail, float* t_next) {
        constexpr int P = B + 1;  // rows l, ..., m - 1
        float* rows[Next ? P + 1 : P];
        for (int r = 0; r < P; ++r) rows[r] = x_[l + r];
        Across<P> sum = Across<P>::zero();
        if constexpr (Next) {
            rows[P] = x_[l - 1];
            float first[P];
            for (int r = 0; r < P; ++r) first[r] = rows[P][l] * rows[r][l];
            const Across<P> f = Across<P>::of(first);
            sum.v = sum.v + f.v;
        }
        Vec8 tv[B], av[B];
        for (int r = 0; r < B; ++r) {
            tv[r] = splat8(t[r]);
            av[r] = splat8(ail[r]);
        }
        const Vec8 wv = splat8(-wl);
        const Vec8 allv = splat8(all);
        by_tiles(rows, l + 1, n_, [&](float* const* at, auto cols) __attribute__((always_inline)) {
            const Vec8 pl = load8(at[0]);
            Vec8 s = wv * pl;
            Vec8 v[P];
            for (int r = 0; r < B; ++r) {
                const Vec8 x = load8(at[r + 1]) - tv[r] * pl;
                store8(at[r + 1], x);
                s = s - av[r] * x;
                v[r + 1] = x;
            }
            v[0] = s / allv;
            store8(at[0], v[0]);
            if constexpr (Next) {
                const Vec8 pn = load8(at[P]);
                for (int r = 0; r < P; ++r) v[r] = v[r] * pn;
                Across<P> c[8];
                transpose(v, c);
                add_columns(sum, c, cols);
            }
        });
        if constexpr (Next) sum.store(t_next);
    }

    /// The rows, positions as interchanged, into a column by column (leading
    /// dimension ia), row i to row to[i]: eight columns at a time, turned in
    /// registers. The tiles start at column from, where the last pass over
    /// the rows started its own, so that each load meets the store it
    /// follows whole; the columns before come one by one.
    template <int M>
    void copy_out(float* a, long ia, const int* to, long from) const {
        const float* rows[M];
        for (int i = 0; i < M; ++i) rows[to[i]] = x_[i];
        auto column = [&](long j) {
            for (int r = 0; r < M; ++r) a[j * ia + r] = rows[r][j];
        };
        if (n_ - from < 8) {
            for (long j = 0; j < n_; ++j) column(j);
            return;
        }
        // Four rows at a time, turned into columns of four; one row left over
        // is copied entry by entry.
        auto tile = [&](long j) __attribute__((always_inline)) {
            for (int g = 0; g < M / 4 * 4 + (M % 4 > 1 ? 4 : 0); g += 4) {
                Vec8 v[4];
                for (int r = 0; r < 4; ++r) v[r] = g + r < M ? load8(rows[g + r] + j) : Vec8{};
                Across<4> c[8];
                transpose(v, c);
                const int len = std::min(4, M - g);
                for (int l = 0; l < 8; ++l) std::memcpy(a + (j + l) * ia + g, &c[l].v, len * sizeof(float));
            }
            if constexpr (M % 4 == 1)
                for (int l = 0; l < 8; ++l) a[(j + l) * ia + M - 1] = rows[M - 1][j + l];
        };
        long j = from;
        for (; j + 8 <= n_; j += 8) tile(j);
        if (j < n_) tile(n_ - 8);  // some columns again, with the same values
        for (j = 0; j < from; ++j) column(j);
    }

    static Vec4 splat4(float x) { return Vec4{x, x, x, x}; }

    float* x_[kRowsHeld];
    int m_;
    long n_;
};

int FewRows::invert(float* a, int ia, float* w) {
    const int m = m_;
    const long n = n_;
    numbered(w + m, m);
    numbered(w + 2 * m, n);

    // Each row's sum of squares and largest square over the columns from
    // the stage's on.
    float sq[kRowsHeld], big[kRowsHeld];
    with_rows<kRowsHeld>(m, [&]<int B>() { first_squares<B>(sq, big); });
    // The columns the column pivots interchanged; the others keep their places.
    int moved[2 * kRowsHeld];
    int nmoved = 0;
    float b = 1.0f;

    for (int k = 0; k < m; ++k) {
        // Row pivot: the largest remaining sum of squares, the first on a tie.
        const int ir = k + largest_sum(sq + k, m - k);
        const float sum = sq[ir];
        const float largest = big[ir];
        if (ir > k) {
            std::swap(w[m + k], w[m + ir]);
            std::swap(x_[k], x_[ir]);
        }
        // Column pivot: the largest magnitude in the pivot row, which is the
        // pivot; read before the interchange, whose stores the compiler would
        // have it wait for.
        float* xk = x_[k];
        const int jc = place_of_largest(xk, k, n, largest);
        const float akk = xk[jc];
        if (jc > k) {
            std::swap(w[2 * m + k], w[2 * m + jc]);
            for (int i = 0; i < m; ++i) std::swap(x_[i][k], x_[i][jc]);
            moved[nmoved++] = k;
            moved[nmoved++] = jc;
        }

        // Elementary transformation.
        Transformation t;
        if (!transformation(sum, akk, t)) {
            int same[kRowsHeld];
            for (int i = 0; i < m; ++i) same[i] = i;
            with_rows<kRowsHeld>(m, [&]<int M>() { copy_out<M>(a, ia, same, 0); });
            return k + 1;
        }
        b = t.b;
        w[k] = t.wk;
        xk[k] = t.pivot;
        // The last stage's division by b (none when it is the last column)
        // is made with the back-substitution's first step.
        if (k == m - 1) break;
        with_rows<kRowsHeld - 1>(m - k - 1, [&]<int B>() { reduce<B>(k, b, w[k], sq, big); });
    }

    // Back-substitution, last row first; each step forms the sums of the
    // next.
    float t[kRowsHeld];
    if (m > 1) {
        back_last<true>(w, b, t);
    } else {
        back_last<false>(w, b, t);
    }
    for (int l = m - 2; l >= 0; --l) {
        const int k = l + 1;
        const float wl = w[l];
        const float all = x_[l][l];
        float ail[kRowsHeld];
        for (int i = k; i < m; ++i) {
            ail[i - k] = x_[i][l];
            w[i] = -t[i - k] * wl;
        }
        float s = 1.0f - wl * wl;
        for (int i = k; i < m; ++i) {
            s = s - x_[i][l] * w[i];
            x_[i][l] = w[i];
        }
        x_[l][l] = s / all;
        if (l > 0) {
            with_rows<kRowsHeld - 2>(m - l - 1, [&]<int B>() { back_row<B, true>(l, t, wl, all, ail, t); });
        } else {
            with_rows<kRowsHeld - 1>(m - 1, [&]<int B>() { back_row<B, false>(0, t, wl, all, ail, t); });
        }
    }

    // Undo the interchanges: row i and column j of the work go to the row
    // and the column their records name, which is where undoing the
    // interchanges one by one would bring them. The last pass started its
    // tiles at column 1.
    int to[kRowsHeld];
    for (int i = 0; i < m; ++i) to[i] = static_cast<int>(w[m + i]) - 1;
    with_rows<kRowsHeld>(m, [&]<int M>() { copy_out<M>(a, ia, to, 1); });
    // Only the columns interchanged can be out of place, and they are
    // interchanged among themselves: theirs are copied again, each to its
    // own place.
    for (int q = 0; q < nmoved; ++q) {
        const long j = moved[q];
        const long c = static_cast<long>(w[2 * m + j]) - 1;
        for (int i = 0; i < m; ++i) a[c * ia + to[i]] = x_[i][j];
    }
    numbered(w + m, m);
    for (int q = 0; q < nmoved; ++q) w[2 * m + moved[q]] = static_cast<float>(moved[q] + 1) + 0.5f;
    return 0;
}

/// The generalized inverse of the m x n matrix A held column by column
/// (ByColumns: more than kRowsHeld rows).
template <class Matrix>
int invert(Matrix& A, int m, int n, float* w) {
    auto W = [w](int i) -> float& { return w[i - 1]; };

    // One running sum per row, the rows of a stage side by side; and the
    // sums of squares of the rows of a stage, from the update before it.
    std::vector<float> sums(static_cast<std::size_t>(m));
    std::vector<float> squares(static_cast<std::size_t>(m));
    // The columns the column pivots interchanged; the others keep their places.
    std::vector<int> moved;

    numbered(w + m, m);
    numbered(w + 2 * m, n);

    for (int k = 1; k <= m; ++k) {
        // Row pivot: the largest remaining sum of squares, the first on a tie.
        if (k == 1) {
            std::fill(squares.begin(), squares.end(), 0.0f);
            A.row_squares(squares.data());
        }
        int ir = k + largest_sum(squares.data(), m - k + 1);
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
        Transformation t;
        if (!transformation(sum, A(k, k), t)) return k;
        W(k) = t.wk;
        A(k, k) = t.pivot;
        if (k == n) break;
        A.divide_row(k, t.b);
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
        std::vector<float> rows(static_cast<std::size_t>(m) * n);
        for (long j = 0; j < n; ++j)
            for (long r = 0; r < m; ++r) rows[r * n + j] = a[j * ia + r];
        return FewRows(rows.data(), m, n).invert(a, ia, w);
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
    return FewRows(rows, m, n).invert(a, ia, w);
}

}  // namespace KARVEL_KERNEL_SET

}  // namespace karvel
