/// The derivative-free least-squares minimiser: a difference Jacobian kept
/// up to date by rank-one corrections, and steps that blend steepest descent
/// with a damped Gauss-Newton step inside a trust radius.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "fit/lanes.h"
#include "fit/numeric.h"
#include "core/channels.h"
#include "core/format.h"
#include "fit/kernels.h"

namespace karvel {

namespace {

constexpr int kChannel = io::kListing;

constexpr const char* kHeading =
    "(1H1,4X,'THE FOLLOWING OUTPUT IS PROVIDED BY SUBROUTINE',' VA05A',/,/)";
constexpr const char* kCallLine = "(/,/,/,5X,'AT THE',I5,' TH CALL OF KVCALF WE HAVE')";
constexpr const char* kXTable =
    "(/,/,4X,'I',7X,'X(I)',10X,'I',7X,'X(I)',10X,'I',7X,'X(I)',10X,'I',7X,'X(I)',10X,'I',7X,"
    "'X(I)',/,/,5(I5,E17.8))";
constexpr const char* kFTable =
    "(/,/,4X,'I',7X,'F(I)',10X,'I',7X,'F(I)',10X,'I',7X,'F(I)',10X,'I',7X,'F(I)',10X,'I',7X,"
    "'F(I)',/,/,5(I5,E17.8))";
constexpr const char* kSumLine = "(/,5X,'THE SUM OF SQUARES IS',E17.8)";
constexpr const char* kBestLine = "(/,/,/,5X,'THE BEST ESTIMATE AFTER',I5,' CALLS OF KVCALF IS')";
constexpr const char* kFinalLine =
    "(/,/,/,5X,'THE FINAL SOLUTION CALCULATED BY VA05A REQUIRED',I5,' CALLS OF KVCALF, AND IS')";
constexpr const char* kLimitLine =
    "(/,/,/,5X,'ERROR RETURN FROM VA05A BECAUSE THERE HAVE BEEN',I5,' CALLS OF KVCALF')";
constexpr const char* kNoProgressLine =
    "(/,/,/,5X,'ERROR RETURN FROM VA05A BECAUSE F(X) NO LONGER',' DECREASES',/,/,5X,'THIS MAY BE "
    "DUE TO THE VALUES OF DSTEP',' AND ACC, OR TO LOSS OF RANK IN THE JACOBIAN MATRIX')";

/// Writes a table of (index, value) pairs under the given heading format.
void print_table(const char* format, const float* v, int len) {
    fmt::Values values;
    values.reserve(2 * static_cast<std::size_t>(len));
    for (int i = 0; i < len; ++i) {
        values.emplace_back(i + 1);
        values.emplace_back(v[i]);
    }
    fmt::write(kChannel, format, values);
}


/// The values of lanes a as lanes of another kind (N > 0).
template <class To, class From>
To convert(const From& a) {
    float values[8] = {};
    a.store(values);
    return To::load(values, 8);
}

/// Sums over points side by side in the lanes of one vector of four, each
/// lane one chain: lane 0 takes a[0], ..., a[7] in that order, lane 1 b[0],
/// ..., b[7] (lanes 2 and 3 take what comes along).
inline void add_pairs(Vec4& chains, Vec8 a, Vec8 b) {
    // Points 0, 1, 4 and 5, and 2, 3, 6 and 7, their two terms each.
    Vec8 p0, p1;
    interleave_pairs(a, b, p0, p1);
    const Vec4 pairs[4] = {__builtin_shufflevector(p0, p0, 0, 1, 2, 3), __builtin_shufflevector(p1, p1, 0, 1, 2, 3),
                           __builtin_shufflevector(p0, p0, 4, 5, 6, 7), __builtin_shufflevector(p1, p1, 4, 5, 6, 7)};
    for (const Vec4& pair : pairs) {
        chains = chains + pair;
        chains = chains + __builtin_shufflevector(pair, pair, 2, 3, 2, 3);
    }
}

/// As add_pairs for four chains: lane 0 takes a[0], ..., a[7], lane 1 b,
/// lane 2 c, lane 3 d.
inline void add_quads(Vec4& chains, Vec8 a, Vec8 b, Vec8 c, Vec8 d) {
    // Points 0 and 4, 1 and 5, 2 and 6, 3 and 7, their four terms each.
    Vec8 q[4];
    interleave_quads(a, b, c, d, q);
    for (const Vec8& v : q) chains = chains + __builtin_shufflevector(v, v, 0, 1, 2, 3);
    for (const Vec8& v : q) chains = chains + __builtin_shufflevector(v, v, 4, 5, 6, 7);
}

/// A copy of n values, in registers when their number N is fixed.
template <int N>
struct Vals {
    float s[N];
    explicit Vals(const float* v) { std::copy(v, v + N, s); }
    const float* data() const { return s; }
};
template <>
struct Vals<0> {
    const float* s;
    explicit Vals(const float* v) : s(v) {}
    const float* data() const { return s; }
};

/// The minimiser's state and work-space partitions; one object per call.
/// N is the number of variables when it is at most kFixedWidths, else 0.
template <int N>
class Minimiser {
public:
    Minimiser(int m, int n, float* f, float* x, float dstep, float dmax, float acc, int maxfun,
              int iprint, float* w, const Residuals& calfun)
        : m_(m), n_(n), f_(f), x_(x), dstep_(dstep), dmax_(dmax), acc_(acc), maxfun_(maxfun),
          print_(iprint), calfun_(calfun) {
        const long ln = n, lm = m;
        jac_ = w;
        ginv_ = jac_ + lm * ln;
        xbest_ = ginv_ + (lm + ln) * ln;
        fbest_ = xbest_ + ln;
        ages_ = fbest_ + lm;
        dirs_ = ages_ + ln;
        scratch_ = dirs_ + ln * ln;
        phi_ = scratch_;          // m: predicted residuals of the last step
        v1_ = scratch_ + lm;      // n
        v2_ = v1_ + ln;           // n
        v3_ = v2_ + ln;           // n
        h2_ = dstep * dstep;
        dmax2_ = dmax * dmax;
        longstep_ = 10.0f * dmax2_;
        wmin_ = std::sqrt(acc) / dmax;
        tlimit_ = n + 2;
        agelim_ = static_cast<float>(2 * n) - 0.5f;
    }

    MinimiserSummary run();

private:
    /// The steps of an iteration, in the order they usually follow.
    enum class Step {
        LeastDamping,        // the Marquardt parameter back to its least value
        NewInverse,          // the inverse formed afresh for the current damping
        MarquardtStep,       // gradient, Marquardt and Cauchy steps at the best point
        TrustRegionStep,     // a step that fits the trust radius, or a change of damping
        OldestDirection,     // a short step along the oldest direction instead
        NewDirections,       // the direction set turned towards the step
        TryPoint,            // evaluate the trial point and correct the inverse
    };

    /// What the point being evaluated is.
    enum class Stage {
        DifferenceJacobian,  // a point of the difference Jacobian
        PredictedStep,       // a step whose reduction the Jacobian predicts: it sets the radius
        PlainStep,           // a step kept only if it is better
        ShortStep,           // a Marquardt step shorter than the difference step
    };

    /// The number of variables, a constant when N is fixed.
    int width() const { return N > 0 ? N : n_; }

    // 1-based views of the partitions.
    // The Jacobian is held column by column (the m rows of a column side by
    // side), so that the sums over k of a row run for many rows at once.
    float& J(int i, int k) { return jac_[static_cast<long>(k - 1) * m_ + (i - 1)]; }
    float* jcol(int k) { return jac_ + static_cast<long>(k) * m_; }  // column k + 1
    // The Jacobian's rows as well (the n entries of a row side by side), for
    // the sums over i of its columns.
    float* jrow(long i) { return jrows_.data() + i * width(); }  // row i + 1
    float& G(int k, int i) { return ginv_[(k - 1) + static_cast<long>(i - 1) * width()]; }
    // The columns of G of the points in whole blocks of eight once more
    // (N fixed), the eight points of a block side by side entry by entry, so
    // that the sums over a point's entries run for eight points in one
    // vector: entry k + 1 of the block's points at gblock(i) + 8 k, for i a
    // multiple of eight.
    float* gblock(long i) { return gblocks_.data() + i * width(); }
    void copy_gblocks();
    float& dir(int k, int j) { return dirs_[static_cast<long>(k - 1) * width() + (j - 1)]; }

    // Stop rules.
    /// The best sum of squares is down to the accuracy asked for.
    bool reached_accuracy() const { return sbest_ <= acc_; }
    bool small_predicted_reduction(float e, float pi) const;
    /// The permitted evaluations are used up; the difference Jacobian's
    /// n + 1 are always made.
    bool call_limit_reached() const { return stage_ != Stage::DifferenceJacobian && calls_ >= maxfun_; }
    bool no_longer_decreasing();
    /// A zero pivot in the inverse: a normal end if the accuracy is reached.
    MinimiserOutcome lost_rank() const {
        return reached_accuracy() ? MinimiserOutcome::Converged : MinimiserOutcome::NoLongerDecreasing;
    }

    // The passes over the points stay routines of their own rather than
    // parts of the step loop, so that each has the registers to itself.
    [[gnu::noinline]] std::optional<MinimiserOutcome> evaluate();
    template <bool Predicted>
    int sums_with_partial(float* sums);
    void print_evaluation();
    MinimiserSummary stop(MinimiserOutcome outcome);
    [[gnu::noinline]] bool form_inverse();
    void refresh_setup();
    [[gnu::noinline]] Step new_directions(const float* delta);
    [[gnu::noinline]] void update_inverse();
    template <bool Correct>
    [[gnu::noinline]] void gradient_pass(float* g, float* d);
    void correct_columns(long i0, long i1);
    void apply_pending_columns();

    int m_, n_;
    float* f_;
    float* x_;
    float dstep_, dmax_, acc_;
    int maxfun_;
    const int print_;   // the print control: decides every printout
    const Residuals& calfun_;

    float* jac_;
    float* ginv_;
    float* xbest_;
    float* fbest_;
    float* ages_;
    float* dirs_;
    float* scratch_;
    float* phi_;
    float* v1_;
    float* v2_;
    float* v3_;

    float h2_, dmax2_, longstep_, wmin_, agelim_;
    int tlimit_;

    int calls_ = 0;
    float s_ = 0.0f;       // sum of squares of the last evaluation
    float sbest_ = -1.0f;  // best sum of squares
    float r2_ = 0.0f;      // trust radius squared
    float w_ = 0.0f;       // Marquardt parameter
    float p_ = 0.0f;       // its square
    float tau_ = 1.0f;     // increase factor of the radius
    int t_ = 0;            // no-progress counter
    Stage stage_ = Stage::DifferenceJacobian;
    int kd_ = 0;           // difference index of the Jacobian stage
    int q_ = 0;            // consecutive long Marquardt steps
    float qmin_ = 0.0f;    // their least length squared
    long countdown_ = 0;
    float spred_ = 0.0f;   // predicted sum of squares of the last step
    float alpha_ = 0.0f;   // sum of |(f - phi) f| at a predicted step
    float beta_ = 0.0f;    // sum of (f - phi)^2 at a predicted step
    bool inverse_ok_ = true;
    // The last rank-one correction G + xi v' is still to be added: the pass
    // for the next gradient adds it column by column as it reads G.
    bool correction_pending_ = false;
    // The numerators of xi: the work space has no room left for them beside
    // u, v, G u and y; nor for the Jacobian's rows.
    // Broyden's update of the Jacobian's columns, when it waits for the
    // pass of the Marquardt sums: the rows' coefficients and dx.
    bool columns_pending_ = false;
    std::vector<float> coef_ = std::vector<float>(m_);
    std::vector<float> broyden_dx_ = std::vector<float>(n_);
    // Both with room for Wide<N> to read eight values at the last entries.
    std::vector<float> xi_ = std::vector<float>(n_ + 8);
    std::vector<float> jrows_ = std::vector<float>(static_cast<std::size_t>(m_) * n_ + 8);
    // The transposed matrix row by row for the generalized inverse.
    std::vector<float> rows_;
    // The part of the next correction formed with the evaluation (N fixed):
    // u of the points in whole blocks in scratch_, |u|^2, G u and y over
    // them, for the pair from the best point to the trial point; to be
    // turned when the trial point is taken.
    bool partial_ready_ = false;
    bool partial_turned_ = false;
    float partial_omega_ = 0.0f;
    alignas(32) float partial_gu_[8] = {};
    alignas(32) float partial_y_[8] = {};
    // See gblock; empty when N is not fixed.
    std::vector<float> gblocks_ = std::vector<float>(N > 0 ? static_cast<std::size_t>(m_ / 8 * 8) * N : 0);
};

/// The largest reduction a step of at most the maximum length could bring,
/// from the Marquardt step of length squared e and its predicted
/// reduction pi, is no more than the accuracy.
template <int N>
bool Minimiser<N>::small_predicted_reduction(float e, float pi) const {
    if (e <= dmax2_) {
        const float len = std::sqrt(e);
        return pi + 2.0f * p_ * len * (dmax_ - len) - acc_ <= 0.0f;
    }
    return pi + p_ * (dmax2_ - e) - acc_ <= 0.0f;
}

/// Counts the evaluations of a step or a short trial that bring no
/// improvement while the radius is down to the difference step; true once
/// n + 2 of them follow one another. Any improvement resets the count.
template <int N>
bool Minimiser<N>::no_longer_decreasing() {
    if (stage_ != Stage::PredictedStep && stage_ != Stage::ShortStep) return false;
    if (s_ < sbest_) {
        t_ = tlimit_;
    } else if (r2_ <= h2_) {
        --t_;
        if (t_ <= 0) return true;
    }
    return false;
}

/// One evaluation at X, with its printout; an outcome when a stop rule holds.
template <int N>
std::optional<MinimiserOutcome> Minimiser<N>::evaluate() {
    if (call_limit_reached()) return MinimiserOutcome::CallLimitReached;
    ++calls_;
    calfun_(m_, n_, f_, x_);
    // The sum of squares; at a predicted step also the two sums the radius
    // is set from when the step is a success, and the predicted sum of
    // squares: they cost nothing beside it. For a step that a correction
    // of the inverse follows, the points in whole blocks go with a part of
    // the correction.
    const bool predicted = stage_ == Stage::PredictedStep;
    float sums[4] = {};  // s, alpha, beta, the predicted sum
    int i = 0;
    if constexpr (N > 0) {
        if (predicted) {
            i = sums_with_partial<true>(sums);
        } else if (stage_ == Stage::PlainStep) {
            i = sums_with_partial<false>(sums);
        }
    }
    float s = sums[0];
    if (predicted) {
        float alpha = sums[1];
        float beta = sums[2];
        float sp = sums[3];
        for (; i < m_; ++i) {
            const float fi = f_[i];
            const float phi = phi_[i];
            s = s + fi * fi;
            alpha = alpha + std::fabs((fi - phi) * fi);
            beta = beta + (fi - phi) * (fi - phi);
            sp = sp + phi * phi;
        }
        alpha_ = alpha;
        beta_ = beta;
        spred_ = sp;
    } else if (stage_ == Stage::DifferenceJacobian && kd_ >= 1) {
        // A difference column: beside the sum's chain, column kd of J and,
        // for a fixed number of variables, its entries of the rows (else
        // the rows are copied from the columns once they are all formed).
        const int k = kd_ - 1;
        float* const col = jcol(k);
        const Vec8 h = splat8(dstep_);
        for (; i + 8 <= m_; i += 8) {
            const Vec8 fv = load8(f_ + i);
            const Vec8 squares = fv * fv;
            const Vec8 c = (fv - load8(fbest_ + i)) / h;
            store8(col + i, c);
            for (int l = 0; l < 8; ++l) {
                s = s + squares[l];
                if constexpr (N > 0) jrow(i + l)[k] = c[l];
            }
        }
        for (; i < m_; ++i) {
            s = s + f_[i] * f_[i];
            col[i] = (f_[i] - fbest_[i]) / dstep_;
            if constexpr (N > 0) jrow(i)[k] = col[i];
        }
    } else {
        for (; i < m_; ++i) s = s + f_[i] * f_[i];
    }
    s_ = s;
    if (no_longer_decreasing()) return MinimiserOutcome::NoLongerDecreasing;
    print_evaluation();
    return std::nullopt;
}

/// The sums of an evaluation (N fixed) over the points in whole blocks of
/// eight, in their order, into sums: s, and when Predicted alpha, beta and
/// the predicted sum too. Beside their chains runs the first part of the
/// next correction of the inverse, for the pair dx = X - XBEST, df = F -
/// FBEST: u = G' dx of the blocks' points into scratch_ (over the predicted
/// residuals, each block read first), |u|^2, G u and y = p dx + J' df over
/// them. Taking the trial point changes only the signs of dx and df, and
/// the correction then turns these (see update_inverse). Returns the number
/// of points done.
template <int N>
template <bool Predicted>
int Minimiser<N>::sums_with_partial(float* sums) {
    using W = Wide<N>;
    Vec8 dxk[N];
    float y0[8] = {};
    for (int k = 0; k < N; ++k) {
        const float dxr = x_[k] - xbest_[k];
        dxk[k] = splat8(dxr);
        y0[k] = p_ * dxr;
    }
    float* const u = scratch_;
    // s, alpha, beta and the predicted sum of a predicted step, else s and
    // |u|^2, side by side.
    Vec4 chains{};
    float omega = 0.0f;
    W gu = W::zero(partial_gu_, N);
    W y = W::load(y0, N);
    int b = 0;
    for (; b + 8 <= m_; b += 8) {
        const Vec8 fv = load8(f_ + b);
        const float* gb = gblock(b);
        Vec8 uv{};
        for (int k = 0; k < N; ++k) uv = uv + load8(gb + 8 * k) * dxk[k];
        const Vec8 squares = uv * uv;
        if constexpr (Predicted) {
            const Vec8 ph = load8(phi_ + b);
            const Vec8 d = fv - ph;
            add_quads(chains, fv * fv, abs8(d * fv), d * d, ph * ph);
            alignas(32) float sq[8];
            store8(sq, squares);
            for (int l = 0; l < 8; ++l) omega = omega + sq[l];
        } else {
            add_pairs(chains, fv * fv, squares);
        }
        // u replaces the predicted residuals of the block only now.
        store8(u + b, uv);
        alignas(32) float df[8];
        store8(df, fv - load8(fbest_ + b));
        for (int l = 0; l < 8; ++l) {
            gu.add_product(W::load(ginv_ + static_cast<long>(b + l) * N, N), u[b + l]);
            y.add_product(W::load(jrow(b + l), N), df[l]);
        }
    }
    sums[0] = chains[0];
    if constexpr (Predicted) {
        for (int k = 1; k < 4; ++k) sums[k] = chains[k];
    } else {
        omega = chains[1];
    }
    partial_omega_ = omega;
    gu.store(partial_gu_);
    y.store(partial_y_);
    partial_ready_ = true;
    return b;
}

template <int N>
void Minimiser<N>::print_evaluation() {
    const int p = print_;
    if (p == 0) return;
    const long ap = p < 0 ? -static_cast<long>(p) : p;
    if (ap == 1) {
        fmt::write(kChannel, kCallLine, {calls_});
        print_table(kXTable, x_, n_);
        fmt::write(kChannel, kSumLine, {s_});
        if (p > 0) print_table(kFTable, f_, m_);
        return;
    }
    --countdown_;
    if (countdown_ > 0) return;
    fmt::write(kChannel, kBestLine, {calls_});
    countdown_ = ap;
    if (s_ < sbest_ || sbest_ < 0.0f) {
        print_table(kXTable, x_, n_);
        fmt::write(kChannel, kSumLine, {s_});
        if (p > 0) print_table(kFTable, f_, m_);
    } else {
        print_table(kXTable, xbest_, n_);
        fmt::write(kChannel, kSumLine, {sbest_});
        if (p > 0) print_table(kFTable, fbest_, m_);
    }
}

/// Every return: the error message if any, the best point into X and F,
/// and the final block.
template <int N>
MinimiserSummary Minimiser<N>::stop(MinimiserOutcome outcome) {
    if (correction_pending_) {  // the inverse is handed back
        correct_columns(0, static_cast<long>(m_) + n_);
        correction_pending_ = false;
    }
    apply_pending_columns();  // and the Jacobian, in the work space
    if (print_ != 0) {
        if (outcome == MinimiserOutcome::NoLongerDecreasing) fmt::write(kChannel, kNoProgressLine);
        if (outcome == MinimiserOutcome::CallLimitReached) fmt::write(kChannel, kLimitLine, {calls_});
    }
    std::copy(xbest_, xbest_ + n_, x_);
    std::copy(fbest_, fbest_ + m_, f_);
    if (print_ != 0) {
        fmt::write(kChannel, kFinalLine, {calls_});
        print_table(kXTable, xbest_, n_);
        print_table(kFTable, fbest_, m_);
        fmt::write(kChannel, kSumLine, {sbest_});
    }
    return {outcome, calls_};
}

/// Lays out the transposed augmented matrix and inverts it. A zero pivot
/// (possible only without damping) leaves the inverse zero and returns false.
template <int N>
bool Minimiser<N>::form_inverse() {
    apply_pending_columns();
    const long ln = n_, lm = m_;
    int rc = 0;
    if constexpr (N > 0) {
        // Few rows: the transposed matrix goes to the inverse row by row,
        // and the Jacobian's columns are its rows.
        const long row_length = lm + ln;
        rows_.resize(static_cast<std::size_t>(ln * row_length));
        for (int k = 0; k < n_; ++k) {
            float* row = rows_.data() + k * row_length;
            std::copy(jcol(k), jcol(k) + m_, row);
            for (int j = 0; j < n_; ++j) row[m_ + j] = j == k ? w_ : 0.0f;
        }
        rc = KARVEL_KERNEL_SET::kvmb11_rows(n_, m_ + n_, rows_.data(), ginv_, n_, scratch_);
        if (rc == 0) copy_gblocks();
    } else {
        std::copy(jrows_.data(), jrows_.data() + lm * ln, ginv_);
        for (int k = 1; k <= n_; ++k)
            for (int j = 1; j <= n_; ++j) G(j, m_ + k) = j == k ? w_ : 0.0f;
        rc = kvmb11(n_, m_ + n_, ginv_, n_, scratch_);
    }
    if (rc == 0) return true;
    std::fill(ginv_, ginv_ + (lm + ln) * ln, 0.0f);
    return false;
}

/// The columns of G of the points in whole blocks into gblocks_.
template <int N>
void Minimiser<N>::copy_gblocks() {
    if constexpr (N > 0) {
        const long points = static_cast<long>(m_) / 8 * 8;
        for (long i = 0; i < points; i += 8) {
            float* gb = gblock(i);
            for (int k = 0; k < N; ++k)
                for (int l = 0; l < 8; ++l) gb[8 * k + l] = ginv_[(i + l) * N + k];
        }
    }
}

/// Broyden's update of the Jacobian's columns, when it still waits for the
/// pass of the Marquardt sums.
template <int N>
void Minimiser<N>::apply_pending_columns() {
    if (!columns_pending_) return;
    for (int k = 0; k < n_; ++k)
        for (long i = 0; i < m_; ++i) jcol(k)[i] = jcol(k)[i] + coef_[i] * broyden_dx_[k];
    columns_pending_ = false;
}

/// A step along the oldest direction; the directions and ages rotate.
template <int N>
void Minimiser<N>::refresh_setup() {
    const int n = width();
    for (int j = 1; j <= n; ++j) x_[j - 1] = xbest_[j - 1] + dstep_ * dir(1, j);
    for (int k = 1; k <= n - 1; ++k) ages_[k - 1] = ages_[k] + 1.0f;
    ages_[n - 1] = 1.0f;
    std::copy(dirs_, dirs_ + n, v3_);
    std::copy(dirs_ + n, dirs_ + static_cast<long>(n) * n, dirs_);
    std::copy(v3_, v3_ + n, dirs_ + static_cast<long>(n - 1) * n);
}

/// New direction set from the step delta (held in X on entry), the
/// predicted residuals, and X set to the trial point.
template <int N>
typename Minimiser<N>::Step Minimiser<N>::new_directions(const float* delta) {
    const int n = width();
    float* c = v3_;
    float e = 0.0f;
    for (int j = 0; j < n; ++j) e = e + delta[j] * delta[j];
    const float a = 0.25f * e;
    for (int k = 1; k <= n; ++k) {
        float s = 0.0f;
        for (int j = 1; j <= n; ++j) s = s + delta[j - 1] * dir(k, j);
        c[k - 1] = s;
    }
    int l = 0;
    float run = 0.0f;
    for (int k = 1; k <= n; ++k) {
        run = run + c[k - 1] * c[k - 1];
        if (run > a) {
            l = k;
            break;
        }
        ages_[k - 1] = ages_[k - 1] + 1.0f;
    }
    if (l > 0) {
        for (int k = l; k <= n - 1; ++k) ages_[k - 1] = ages_[k] + 1.0f;
        ages_[n - 1] = 1.0f;
        stage_ = Stage::PredictedStep;
        // Direction l to the front, its components likewise.
        float* tmp = v2_;
        std::copy(dirs_ + static_cast<long>(l - 1) * n, dirs_ + static_cast<long>(l) * n, tmp);
        std::copy_backward(dirs_, dirs_ + static_cast<long>(l - 1) * n, dirs_ + static_cast<long>(l) * n);
        std::copy(tmp, tmp + n, dirs_);
        const float cl = c[l - 1];
        for (int k = l; k >= 2; --k) c[k - 1] = c[k - 2];
        c[0] = cl;
        // Re-orthonormalise so that the last direction is the step.
        float* z = v1_;
        std::fill(z, z + n, 0.0f);
        float sig = c[0] * c[0];
        for (int k = 2; k <= n; ++k) {
            // The factors once for the row (the stores below could be taken
            // to change c).
            const float ck = c[k - 1], cprev = c[k - 2];
            const float rho = std::sqrt((sig + ck * ck) * sig);
            const float a1 = sig / rho, a2 = ck / rho;
            for (int j = 1; j <= n; ++j) z[j - 1] = z[j - 1] + cprev * dir(k - 1, j);
            for (int j = 1; j <= n; ++j) dir(k - 1, j) = a1 * dir(k, j) - a2 * z[j - 1];
            sig = sig + ck * ck;
        }
        const float len = std::sqrt(e);
        for (int j = 1; j <= n; ++j) dir(n, j) = delta[j - 1] / len;
    }
    // A zero step finds no leading direction; the set is then kept.

    // The predicted residuals, which only a predicted step uses; the
    // evaluation of the step sums their squares.
    if (stage_ == Stage::PredictedStep) {
        const Vals<N> dv(delta);
        const float* dl = dv.data();
        float* const ph = phi_;
        const long m = m_;
        long i = 0;
        for (; i + 8 <= m; i += 8) {
            Vec8 p = load8(fbest_ + i);
            for (int k = 0; k < n; ++k) p = p + load8(jcol(k) + i) * dl[k];
            store8(ph + i, p);
        }
        for (; i < m; ++i) {
            float p = fbest_[i];
            for (int k = 0; k < n; ++k) p = p + jcol(k)[i] * dl[k];
            ph[i] = p;
        }
    }
    for (int j = 0; j < n; ++j) x_[j] = xbest_[j] + delta[j];
    return Step::TryPoint;
}

/// Rank-one corrections of the inverse and the Jacobian from the last pair
/// of points; X and F hold the other point of the pair on entry, and its
/// differences from the best one (dx, df) after it. Each pass over the
/// columns of G or the rows of J runs the n sums over i, which are
/// independent of one another, side by side in vector lanes, each in its own
/// order of terms; a sum over k of a single column or row stays one ordered
/// chain, run for eight columns at once where gblocks_ holds them.
template <int N>
void Minimiser<N>::update_inverse() {
    using L = Lanes<N>;
    const int n = width();
    const long m = m_, mn = m_ + n;
    // For a fixed number of variables the evaluation of the step formed u,
    // |u|^2, G u and y of the points in whole blocks (sums_with_partial), for
    // the pair as X holds it now unless the trial point was taken. y turns
    // with the pair like the others when its first terms p dx do; else (a
    // product p dx that is zero) it is formed again.
    bool y_ready = true;
    if constexpr (N > 0) {
        if (!partial_ready_) {
            float unused[4];
            sums_with_partial<false>(unused);
            partial_turned_ = false;
        }
        partial_ready_ = false;
        for (int k = 0; k < N && partial_turned_; ++k) {
            const float now = p_ * (x_[k] - xbest_[k]);
            const float turned = 0.0f - p_ * (xbest_[k] - x_[k]);
            y_ready = y_ready && std::memcmp(&now, &turned, sizeof now) == 0;
        }
    }
    float* dx = x_;
    float* df = f_;
    for (int j = 0; j < n; ++j) dx[j] = x_[j] - xbest_[j];

    float theta = 0.0f;
    for (int j = 0; j < n; ++j) theta = theta + dx[j] * dx[j];
    if (theta == 0.0f) return;  // the trial point fell back onto the best one
    const L dxv = L::load(dx, n);

    // u = G' dx and omega = |u|^2, and G u; then y = p dx + J' df with the
    // Jacobian before its update.
    float* u = scratch_;  // m + n entries
    L gu = L::zero(v2_, n);
    float omega = 0.0f;
    long blocked = 0;
    if constexpr (N > 0) {
        // When the trial point was taken, dx changed sign, and so did each
        // term and sum of u and of G u: 0 - x is that change, zero staying
        // +0 as the sums that start from +0 make it. u of the blocks turns
        // below.
        blocked = m / 8 * 8;
        omega = partial_omega_;
        if (partial_turned_)
            for (int k = 0; k < N; ++k) partial_gu_[k] = 0.0f - partial_gu_[k];
        gu = L::load(partial_gu_, N);
    }
    const long blocked_points = blocked;
    for (long i = blocked; i < mn; ++i) {  // the other points, then the damping columns
        const L g = L::load(ginv_ + i * n, n);  // G(., i + 1)
        const float s = L::dot_from(0.0f, g, dxv);
        u[i] = s;
        omega = omega + s * s;
        gu.add_product(g, s);
    }
    if (omega == 0.0f) return;

    // Broyden's coefficients (df - J dx) / theta of the rows i + 1, ...,
    // i + 8 from their df; dxk(k) is dx(k + 1) in all eight lanes.
    const Vec8 th = splat8(theta);
    auto coefficients = [&](long i, Vec8 c, auto dxk) {
        for (int k = 0; k < n; ++k) c = c - load8(jcol(k) + i) * dxk(k);
        return c / th;
    };

    for (int k = 0; k < n; ++k) v3_[k] = p_ * dx[k];
    L y = L::load(v3_, n);
    if constexpr (N > 0) {
        if (y_ready) {
            if (partial_turned_)
                for (int k = 0; k < N; ++k) partial_y_[k] = 0.0f - partial_y_[k];
            y = L::load(partial_y_, N);
        }
        // Eight points at a time: df and Broyden's coefficients (df - J dx)
        // / theta, and unless y came with the evaluation the terms of y
        // point by point.
        using W = Wide<N>;
        Vec8 dxk[N];
        for (int k = 0; k < N; ++k) dxk[k] = splat8(dx[k]);
        float* const coef = coef_.data();
        W yw = convert<W>(y);
        for (long b = 0; b < blocked_points; b += 8) {
            const Vec8 dfv = load8(df + b) - load8(fbest_ + b);
            store8(df + b, dfv);
            if (partial_turned_) store8(u + b, Vec8{} - load8(u + b));
            store8(coef + b, coefficients(b, dfv, [&](int k) { return dxk[k]; }));
            if (!y_ready)
                for (int l = 0; l < 8; ++l) yw.add_product(W::load(jrow(b + l), N), df[b + l]);
        }
        if (!y_ready) y = convert<L>(yw);
    }
    for (long i = blocked_points; i < m; ++i) {
        df[i] = f_[i] - fbest_[i];
        y.add_product(L::load(jrow(i), n), df[i]);
    }

    // The rank-one correction G - (G u) u' / omega, column by column; with
    // each corrected column its part of v = (df, w dx) - G' y, of eta and
    // zeta, and of the numerators of xi, dx - G df.
    float* v = scratch_;  // m + n entries; each u(i) is used before v(i) replaces it
    float* xi = xi_.data();
    std::copy(dx, dx + n, xi);
    L xis = L::load(xi, n);
    float eta = 0.0f;
    float zeta = 0.0f;
    blocked = 0;
    if constexpr (N > 0) {
        // Eight points at a time: the corrected columns of G and the
        // products of G df; the same correction in gblocks_, and from it v
        // and the terms of eta and zeta; the rows of Broyden's update. The
        // sums of a block run point by point while the next block is formed.
        using O = Octet<N>;
        using W = Wide<N>;
        W xiw = convert<W>(xis);
        float values[N];
        gu.store(values);
        const O gue = O::per_entry(values);
        Vec8 guk[N];
        for (int k = 0; k < N; ++k) guk[k] = splat8(values[k]);
        y.store(values);
        Vec8 yk[N];
        for (int k = 0; k < N; ++k) yk[k] = splat8(values[k]);
        const Vec8 om = splat8(omega);
        const O dxe = O::per_entry(dx);
        // The products of G df of two blocks: the sums of one block read
        // them from memory while the next block's are formed.
        alignas(32) float gdf[2][8 * N + 8];
        Vec8 eta_terms{}, zeta_terms{};
        auto sums = [&](const float* products) {
            for (int l = 0; l < 8; ++l) {
                eta = eta + eta_terms[l];
                zeta = zeta + zeta_terms[l];
                xiw.subtract(W::load(products + l * N, N));
            }
        };
        for (; blocked + 8 <= m; blocked += 8) {
            const long b = blocked;
            float* gcols = ginv_ + b * N;
            O g = O::load(gcols);
            const Vec8 uv = load8(u + b);
            const Vec8 dfv = load8(df + b);
            const O ue = O::per_point(uv);
            const O dfe = O::per_point(dfv);
            O t;
            for (int q = 0; q < N; ++q) {
                g.v[q] = g.v[q] - gue.v[q] * ue.v[q] / om;
                t.v[q] = g.v[q] * dfe.v[q];
            }
            g.store(gcols);
            t.store(gdf[b / 8 % 2]);
            float* gb = gblock(b);
            Vec8 s = dfv;
            for (int k = 0; k < N; ++k) {
                const Vec8 gk = load8(gb + 8 * k) - guk[k] * uv / om;
                store8(gb + 8 * k, gk);
                s = s - gk * yk[k];
            }
            store8(v + b, s);
            // Broyden's update of the eight rows, J + c dx'.
            const O ce = O::per_point(load8(coef_.data() + b));
            O r = O::load(jrow(b));
            for (int q = 0; q < N; ++q) r.v[q] = r.v[q] + dxe.v[q] * ce.v[q];
            r.store(jrow(b));
            if (b > 0) sums(gdf[(b / 8 + 1) % 2]);
            eta_terms = dfv * s;
            zeta_terms = s * s;
        }
        if (blocked > 0) sums(gdf[(blocked / 8 + 1) % 2]);
        xis = convert<L>(xiw);
    }
    for (long i = blocked; i < m; ++i) {
        float* gcol = ginv_ + i * n;
        L g = L::load(gcol, n);
        g.subtract_quotient(gu, u[i], omega);
        g.store(gcol);
        const float dfi = df[i];
        const float s = L::dot_down_from(dfi, g, y);
        v[i] = s;
        eta = eta + dfi * s;
        zeta = zeta + s * s;
        xis.subtract_product(g, dfi);
    }
    for (int k = 0; k < n; ++k) {
        float* gcol = ginv_ + (m + k) * n;  // the damping columns
        L g = L::load(gcol, n);
        g.subtract_quotient(gu, u[m + k], omega);
        g.store(gcol);
        v[m + k] = L::dot_down_from(w_ * dx[k], g, y);
    }
    for (int k = 0; k < n; ++k) eta = eta + w_ * dx[k] * v[m + k];
    for (int k = 0; k < n; ++k) zeta = zeta + v[m + k] * v[m + k];

    // Broyden's update of the Jacobian: the rows' coefficients
    // c = (df - J dx) / theta, then the rows J + c dx'. For a fixed number of
    // variables the rows of whole blocks of eight had their coefficients
    // formed in the first pass and were updated in the second; the others
    // are updated here. The columns' update waits, with the
    // coefficients in coef_, for the pass of the Marquardt sums, which reads
    // the columns anyway (or for the inverse formed afresh, or the stop).
    columns_pending_ = true;
    float* coef = coef_.data();
    std::copy(dx, dx + n, broyden_dx_.data());
    long i = 0;
    if constexpr (N > 0) {
        i = blocked_points;
    } else {
        for (; i + 8 <= m; i += 8) {
            const Vec8 c = coefficients(i, load8(df + i), [&](int k) { return splat8(dx[k]); });
            store8(coef + i, c);
            for (int l = 0; l < 8; ++l) {
                L r = L::load(jrow(i + l), n);
                r.add_product(dxv, c[l]);
                r.store(jrow(i + l));
            }
        }
    }
    for (; i < m; ++i) {
        float c = df[i];
        for (int k = 0; k < n; ++k) c = c - jcol(k)[i] * dx[k];
        c = c / theta;
        coef[i] = c;
        L r = L::load(jrow(i), n);
        r.add_product(dxv, c);
        r.store(jrow(i));
    }

    if (0.01f * zeta <= std::fabs(eta - zeta)) {
        inverse_ok_ = form_inverse();
        return;
    }
    xis.store(xi);
    for (int k = 1; k <= n; ++k) {
        float s2 = 0.0f;
        for (int j = 1; j <= n; ++j) s2 = s2 + G(k, m_ + j) * dx[j - 1];
        xi[k - 1] = (xi[k - 1] - w_ * s2) / eta;
    }
    correction_pending_ = true;
}

/// The gradient g = -J' f and the Marquardt step d = -G f at the best point,
/// in one pass; when Correct, each column of G first takes its part of the
/// pending correction G + xi v', and the damping columns after it.
template <int N>
template <bool Correct>
void Minimiser<N>::gradient_pass(float* g, float* d) {
    const int n = width();
    const long m = m_;
    const float* v = scratch_;
    // One vector a point: the rows of J and the columns of G (m + n of
    // them) have room to read eight values at each of the m points.
    using W = Wide<N>;
    const W xi = W::load(xi_.data(), n);
    if constexpr (Correct) correct_columns(m, m + n);  // the damping columns
    W sg = W::zero(g, n);
    W sd = W::zero(d, n);
    for (long i = 0; i < m; ++i) {
        const float fi = fbest_[i];
        sg.subtract_product(W::load(jrow(i), n), fi);
        float* gcol = ginv_ + i * n;  // G(., i + 1)
        W gi = W::load(gcol, n);
        if constexpr (Correct) {
            gi.add_product(xi, v[i]);
            gi.store(gcol);
        }
        sd.subtract_product(gi, fi);
    }
    if constexpr (Correct && N > 0) {
        // The same correction in gblocks_.
        Vec8 xik[N];
        for (int k = 0; k < N; ++k) xik[k] = splat8(xi_[k]);
        for (long i = 0; i + 8 <= m; i += 8) {
            float* gb = gblock(i);
            const Vec8 vi = load8(v + i);
            for (int k = 0; k < N; ++k) store8(gb + 8 * k, load8(gb + 8 * k) + xik[k] * vi);
        }
    }
    sg.store(g);  // over v(m + 1), ..., v(m + n), which are used by now
    sd.store(d);
    if constexpr (Correct) correction_pending_ = false;
}

/// The pending correction G + xi v' in the columns i0 + 1, ..., i1 of G.
template <int N>
void Minimiser<N>::correct_columns(long i0, long i1) {
    using L = Lanes<N>;
    const int n = width();
    const float* v = scratch_;
    const L xi = L::load(xi_.data(), n);
    for (long i = i0; i < i1; ++i) {
        float* gcol = ginv_ + i * n;
        L gi = L::load(gcol, n);
        gi.add_product(xi, v[i]);
        gi.store(gcol);
    }
}

template <int N>
MinimiserSummary Minimiser<N>::run() {
    if (m_ < 1 || n_ < 1) return {MinimiserOutcome::Converged, 0};
    if (print_ != 0) fmt::write(kChannel, kHeading);

    // Difference Jacobian; a better point met on the way is taken over. No
    // stop rule applies to these evaluations.
    stage_ = Stage::DifferenceJacobian;
    kd_ = 0;
    evaluate();
    std::copy(x_, x_ + n_, xbest_);
    std::copy(f_, f_ + m_, fbest_);
    sbest_ = s_;
    for (kd_ = 1; kd_ <= n_; ++kd_) {
        x_[kd_ - 1] = xbest_[kd_ - 1] + dstep_;
        evaluate();  // also column kd of J
        if (s_ < sbest_) {
            xbest_[kd_ - 1] = x_[kd_ - 1];
            std::copy(f_, f_ + m_, fbest_);
            sbest_ = s_;
        } else {
            x_[kd_ - 1] = xbest_[kd_ - 1];
        }
    }
    if constexpr (N == 0) {
        for (long i = 0; i < m_; ++i)
            for (int k = 1; k <= n_; ++k) jrow(i)[k - 1] = J(static_cast<int>(i) + 1, k);
    }

    // Unit directions, ages n, n-1, ..., 1.
    for (int k = 1; k <= n_; ++k) {
        for (int j = 1; j <= n_; ++j) dir(k, j) = j == k ? 1.0f : 0.0f;
        ages_[k - 1] = static_cast<float>(n_ - k + 1);
    }

    float* g = v1_;
    float* d = v2_;
    float a = 0.0f, e = 0.0f, sgd = 0.0f, pi = 0.0f, lambda = 0.0f;

    Step next = Step::LeastDamping;
    for (;;) {
        switch (next) {
        case Step::LeastDamping:
            w_ = wmin_;
            [[fallthrough]];
        case Step::NewInverse:
            p_ = w_ * w_;
            q_ = 0;
            if (!form_inverse()) return stop(lost_rank());
            [[fallthrough]];
        case Step::MarquardtStep: {
            if (reached_accuracy()) return stop(MinimiserOutcome::Converged);
            // Gradient and Marquardt step at the best point, in one pass.
            const int n = width();
            if (correction_pending_) {
                gradient_pass<true>(g, d);
            } else {
                gradient_pass<false>(g, d);
            }
            a = 0.0f;
            e = 0.0f;
            sgd = 0.0f;
            for (int k = 0; k < n_; ++k) a = a + g[k] * g[k];
            for (int k = 0; k < n_; ++k) e = e + d[k] * d[k];
            for (int k = 0; k < n_; ++k) sgd = sgd + g[k] * d[k];
            // |J d|^2 and |J g|^2, eight rows at a time, with Broyden's
            // update of the columns when it waits.
            float jd2 = 0.0f;
            float gamma = 0.0f;
            {
                const long m = m_;
                const bool update = columns_pending_;
                const float* coef = coef_.data();
                const float* bdx = broyden_dx_.data();
                Vec4 chains{};  // |J d|^2 and |J g|^2 over the blocks
                long i = 0;
                for (; i + 8 <= m; i += 8) {
                    Vec8 jd{};
                    Vec8 jg{};
                    const Vec8 c = update ? load8(coef + i) : Vec8{};
                    for (int k = 0; k < n; ++k) {
                        Vec8 col = load8(jcol(k) + i);
                        if (update) {
                            col = col + c * bdx[k];
                            store8(jcol(k) + i, col);
                        }
                        jd = jd + col * d[k];
                        jg = jg + col * g[k];
                    }
                    add_pairs(chains, jd * jd, jg * jg);
                }
                jd2 = chains[0];
                gamma = chains[1];
                for (; i < m; ++i) {
                    float jd = 0.0f;
                    float jg = 0.0f;
                    for (int k = 0; k < n; ++k) {
                        if (update) jcol(k)[i] = jcol(k)[i] + coef[i] * bdx[k];
                        jd = jd + jcol(k)[i] * d[k];
                        jg = jg + jcol(k)[i] * g[k];
                    }
                    jd2 = jd2 + jd * jd;
                    gamma = gamma + jg * jg;
                }
                columns_pending_ = false;
            }
            pi = 2.0f * sgd - jd2;
            if (small_predicted_reduction(e, pi)) return stop(MinimiserOutcome::Converged);
            // Cauchy step.
            lambda = a / gamma;
            a = a * (lambda * lambda);
            stage_ = Stage::PlainStep;
            next = Step::TrustRegionStep;
            break;
        }
        case Step::TrustRegionStep: {
            if (e <= r2_) {
                if (w_ > wmin_) {
                    next = Step::LeastDamping;
                    break;
                }
                r2_ = std::max(e, h2_);
                a = 0.25f * e;
                tau_ = 1.0f;
                if (e >= h2_) {
                    std::copy(d, d + n_, x_);
                    next = Step::NewDirections;
                    break;
                }
                stage_ = Stage::ShortStep;
                for (int j = 0; j < n_; ++j) x_[j] = xbest_[j] + d[j];
                next = Step::TryPoint;
                break;
            }
            if (e <= longstep_) {
                q_ = 0;
            } else if (q_ <= 0) {
                q_ = 1;
                qmin_ = e;
            } else {
                q_ = q_ + 1;
                qmin_ = std::min(qmin_, e);
                if (q_ >= n_ + 2) {
                    w_ = w_ * powf(qmin_ / dmax2_, 0.25f);
                    if (6.0f * r2_ < dmax2_) {
                        const float psi = std::sqrt(pi / e);
                        if (psi > w_) w_ = std::min(w_ * powf(dmax2_ / (6.0f * r2_), 0.25f), psi);
                    }
                    next = Step::NewInverse;
                    break;
                }
            }
            // Dogleg between the Cauchy point and the Marquardt step.
            if (a >= r2_) {
                if (r2_ <= 0.0f) {
                    r2_ = std::min(dmax2_, a);
                    if (r2_ < h2_) {
                        r2_ = h2_;
                        next = Step::TrustRegionStep;
                        break;
                    }
                }
                const float scale = lambda * std::sqrt(r2_ / a);
                for (int j = 0; j < n_; ++j) x_[j] = scale * g[j];
            } else {
                const float sp = lambda * sgd;
                const float dd = sp - r2_;
                const float mu = (r2_ - a) / ((sp - a) + std::sqrt(dd * dd + (r2_ - a) * (e - r2_)));
                for (int j = 0; j < n_; ++j) x_[j] = lambda * (1.0f - mu) * g[j] + mu * d[j];
            }
            e = 0.0f;
            float s1 = 0.0f;
            for (int j = 0; j < n_; ++j) e = e + x_[j] * x_[j];
            for (int j = 1; j <= n_; ++j) s1 = s1 + x_[j - 1] * dir(1, j);
            a = 0.25f * e;
            next = ages_[0] > agelim_ && s1 * s1 < a ? Step::OldestDirection : Step::NewDirections;
            break;
        }
        case Step::OldestDirection:
            refresh_setup();
            next = Step::TryPoint;
            break;
        case Step::NewDirections:
            next = new_directions(x_);
            break;
        case Step::TryPoint: {
            if (const auto outcome = evaluate()) return stop(*outcome);
            bool accept = false;
            if (stage_ == Stage::PredictedStep) {
                const float thr = 0.9f * sbest_ + 0.1f * spred_;
                if (s_ <= thr) {
                    const float v = thr - s_;
                    const float alpha = alpha_;
                    const float beta = beta_;
                    const float nu = 1.0f + v / (alpha + std::sqrt(alpha * alpha + v * beta));
                    const float kappa = std::min(nu, std::min(tau_, 4.0f));
                    tau_ = nu / kappa;
                    r2_ = std::min(kappa * r2_, dmax2_);
                    accept = true;
                } else {
                    r2_ = std::max(0.25f * r2_, h2_);
                    tau_ = 1.0f;
                    accept = s_ < sbest_;
                }
            } else {
                accept = s_ < sbest_;
            }
            if (accept) {
                sbest_ = s_;
                std::swap_ranges(x_, x_ + n_, xbest_);
                std::swap_ranges(f_, f_ + m_, fbest_);
            }
            partial_turned_ = accept;
            if (stage_ == Stage::ShortStep) {
                stage_ = Stage::PlainStep;
                if (reached_accuracy()) return stop(MinimiserOutcome::Converged);
                next = Step::OldestDirection;
                break;
            }
            update_inverse();
            if (!inverse_ok_) return stop(lost_rank());
            next = Step::MarquardtStep;
            break;
        }
        }
    }
}

}  // namespace

namespace KARVEL_KERNEL_SET {

MinimiserSummary kvva05(int m, int n, float* f, float* x, float dstep, float dmax, float acc,
                        int maxfun, int iprint, float* w, const Residuals& calfun) {
    return with_width(n, [&]<int N>() {
        return Minimiser<N>(m, n, f, x, dstep, dmax, acc, maxfun, iprint, w, calfun).run();
    });
}

MinimiserSummary kvva05_any_width(int m, int n, float* f, float* x, float dstep, float dmax, float acc,
                                  int maxfun, int iprint, float* w, const Residuals& calfun) {
    return Minimiser<0>(m, n, f, x, dstep, dmax, acc, maxfun, iprint, w, calfun).run();
}

}  // namespace KARVEL_KERNEL_SET

}  // namespace karvel
