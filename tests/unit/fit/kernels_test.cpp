/// The two sets of kernels give the same bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "fit/kernels.h"

namespace karvel {
namespace {

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(Kernels, InverseSameBitsInBothSets) {
    if (!avx2_kernels()) GTEST_SKIP() << "the processor has no AVX2";
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (const auto& [m, n] : {std::pair{1, 9}, {5, 105}, {13, 40}, {40, 140}}) {
        std::vector<float> a(static_cast<std::size_t>(m) * n);
        for (float& v : a) v = u(gen);
        std::vector<float> b = a, wa(2 * m + n), wb(2 * m + n);
        EXPECT_EQ(kernels_baseline::kvmb11(m, n, a.data(), m, wa.data()),
                  kernels_avx2::kvmb11(m, n, b.data(), m, wb.data()));
        EXPECT_TRUE(same_bits(a, b)) << m << " x " << n;
    }
}

TEST(Kernels, InverseFromRowsSameBits) {
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (const auto& [m, n] : {std::pair{5, 41}, {10, 30}}) {  // rows held, and too many to hold
        std::vector<float> a(static_cast<std::size_t>(m) * n), rows(a.size());
        for (float& v : a) v = u(gen);
        for (int j = 0; j < n; ++j)
            for (int r = 0; r < m; ++r) rows[r * n + j] = a[j * m + r];
        std::vector<float> b(a.size(), -1.0f), wa(2 * m + n), wb(2 * m + n);
        EXPECT_EQ(kernels_baseline::kvmb11(m, n, a.data(), m, wa.data()),
                  kernels_baseline::kvmb11_rows(m, n, rows.data(), b.data(), m, wb.data()));
        EXPECT_TRUE(same_bits(a, b)) << m << " x " << n;
    }
}

/// A peak on a sloping background, fitted from a start away from the
/// optimum with a line (a level when n = 1) and n - 2 bumps of fixed place
/// and width.
struct Fitted {
    MinimiserSummary summary{};
    std::vector<float> x, f, w;
};

/// With zeros, the slope falls through zero on the way, every fifth
/// residual is a zero whose sign follows the slope's, and the last of three
/// or more variables changes nothing. An accuracy of 0 leaves the damping 0.
template <class Minimiser>
Fitted fit(Minimiser minimiser, int m, int n, bool zeros = false, float acc = 1e-9f) {
    Fitted r;
    r.x.assign(n, 0.5f);
    r.f.assign(m, 0.0f);
    r.w.assign(kvva05_work_size(m, n), 0.0f);
    const float slope = zeros ? -0.4f : 0.1f;
    auto model = [n, slope, zeros](int mm, int, float* f, float* x) {
        for (int i = 0; i < mm; ++i) {
            const float t = static_cast<float>(i) / mm;
            float y = 0.3f + slope * t + std::exp(-(t - 0.4f) * (t - 0.4f) * 20.0f);
            float c = n > 1 ? x[0] + x[1] * t : x[0];
            for (int k = 2; k < n - (zeros ? 1 : 0); ++k) c = c + x[k] * std::exp(-(t - 0.1f * k) * (t - 0.1f * k) * 20.0f);
            f[i] = zeros && i % 5 == 0 ? x[n > 1 ? 1 : 0] * -0.0f : c - y;
        }
    };
    r.summary = minimiser(m, n, r.f.data(), r.x.data(), 0.001f, 10.0f, acc, 200, 0, r.w.data(), model);
    return r;
}

/// The same summary, x, f and work space; all but the last `scratch`
/// entries of the work space.
void expect_same(const Fitted& a, const Fitted& b, int m, int n, std::size_t scratch = 0) {
    EXPECT_EQ(a.summary.calls, b.summary.calls) << m << " x " << n;
    EXPECT_EQ(a.summary.outcome, b.summary.outcome);
    const std::size_t kept = a.w.size() - scratch;
    EXPECT_TRUE(same_bits(a.x, b.x) && same_bits(a.f, b.f) && a.w.size() == b.w.size() &&
                std::memcmp(a.w.data(), b.w.data(), kept * sizeof(float)) == 0)
        << m << " x " << n;
}

TEST(Kernels, MinimiserSameBitsInBothSets) {
    if (!avx2_kernels()) GTEST_SKIP() << "the processor has no AVX2";
    for (const auto& [m, n] : {std::pair{40, 3}, {300, 5}, {300, 8}, {200, 11}}) {
        expect_same(fit(kernels_baseline::kvva05, m, n), fit(kernels_avx2::kvva05, m, n), m, n);
    }
}

// The code for a fixed number of variables (lanes, blocks of eight points)
// against the code for any number, whose sums are plain loops.
TEST(Kernels, FixedWidthsSameBitsAsAnyWidth) {
    for (const auto& [m, n] : {std::pair{70, 1}, {131, 2}, {200, 3}, {300, 5}, {157, 7}, {300, 8}}) {
        // The work space ends in three vectors of n, which the code for any
        // width works in where the other keeps registers.
        const std::size_t scratch = 3 * static_cast<std::size_t>(n);
        for (const auto& [zeros, acc] : {std::pair{false, 1e-9f}, {true, 1e-9f}, {true, 0.0f}}) {
            const Fitted plain = fit(kernels_baseline::kvva05_any_width, m, n, zeros, acc);
            expect_same(plain, fit(kernels_baseline::kvva05, m, n, zeros, acc), m, n, scratch);
            if (avx2_kernels()) expect_same(plain, fit(kernels_avx2::kvva05, m, n, zeros, acc), m, n, scratch);
        }
    }
}

}  // namespace
}  // namespace karvel
