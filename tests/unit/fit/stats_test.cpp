/// Tests of the statistics after a fit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "fit/kernels.h"
#include "fit/numeric.h"
#include "core/records.h"

namespace karvel {
namespace {

// Every fit counts one more in the record, whatever it held before.

TEST(Chisq, PerfectFitGivesZerosAndProbabilityOne) {
    const float y[3] = {5, 6, 7}, e[3] = {2, 2, 2};
    const int fits = chichi.fitno;
    kvchsq(y, e, y, 3, 1, chichi);
    EXPECT_EQ(chichi.rfac, 0.0f);
    EXPECT_EQ(chichi.chisq, 0.0f);
    EXPECT_EQ(chichi.ndf, 2);
    EXPECT_EQ(chichi.prob, 1.0f);
    EXPECT_EQ(chichi.fitno, fits + 1);
}

TEST(Chisq, PointsLeftOutOfTheSumsStillCount) {
    // Point 1: YC = 0, no R-factor term. Point 2: Y/YC = 10000, no term.
    // Point 3: |(4 - 3)/4| = 0.25. Point 4: |(2 - 1)/2| = 0.5.
    // R-factor = 100 * 0.75 / 4 = 18.75.
    // Chi-squared: E = 0 and E = 1 are left out; point 3 (E = 2) adds
    // 1/4, point 4 (E = 0.5) adds 4; 4.25 / (4 - 2) = 2.125.
    const float y[4] = {1, 10000, 3, 1};
    const float yc[4] = {0, 1, 4, 2};
    const float e[4] = {0, 1, 2, 0.5f};
    kvchsq(y, e, yc, 4, 2, chichi);
    EXPECT_FLOAT_EQ(chichi.rfac, 18.75f);
    EXPECT_FLOAT_EQ(chichi.chisq, 2.125f);
    EXPECT_EQ(chichi.ndf, 2);
    // Q(1, 2.125) = exp(-2.125) for two degrees of freedom.
    EXPECT_NEAR(chichi.prob, std::exp(-2.125), 1e-7);

    // Just below the ratio limit the point is counted.
    const float y2[1] = {9999}, yc2[1] = {1}, e2[1] = {0};
    kvchsq(y2, e2, yc2, 1, 1, chichi);
    EXPECT_FLOAT_EQ(chichi.rfac, 999800.0f);
    EXPECT_EQ(chichi.chisq, 0.0f);
    EXPECT_EQ(chichi.prob, 0.0f);  // no degrees of freedom
    EXPECT_EQ(chichi.ndf, 0);
}

TEST(Chisq, SecondFitShiftsTheOldValues) {
    const float y[2] = {1, 1}, yc[2] = {2, 2}, e[2] = {2, 2};
    const int fits = chichi.fitno;
    kvchsq(y, e, yc, 2, 1, chichi);  // R = 50, chi2 = 0.5
    const float yc2[2] = {1, 3};
    kvchsq(y, e, yc2, 2, 1, chichi);  // R = 100 * (2/3) / 2, chi2 = 4/4 / 1 = 1
    EXPECT_FLOAT_EQ(chichi.rfacold, 50.0f);
    EXPECT_FLOAT_EQ(chichi.chisqold, 0.5f);
    EXPECT_FLOAT_EQ(chichi.rfac, 100.0f / 3.0f);
    EXPECT_FLOAT_EQ(chichi.chisq, 1.0f);
    EXPECT_EQ(chichi.fitno, fits + 2);
}

// Eight points at a time and the rest one by one: the sums of a plain loop,
// bit for bit, with points left out of either sum (a zero model value, a
// ratio of 10000 or more, an error of 0 or 1) in every place of a vector.
TEST(Chisq, SameBitsAsThePlainSums) {
    const int m = 29;
    std::vector<float> y(m), e(m), yc(m);
    for (int i = 0; i < m; ++i) {
        y[i] = 5.0f + std::sin(0.7f * static_cast<float>(i)) * 4.0f;
        yc[i] = i % 5 == 3 ? 0.0f : i % 7 == 2 ? y[i] / 20000.0f : y[i] + std::cos(1.3f * static_cast<float>(i));
        e[i] = i % 6 == 1 ? 1.0f : i % 9 == 4 ? 0.0f : 0.5f + 0.1f * static_cast<float>(i);
    }
    float rsum = 0.0f, csum = 0.0f;
    for (int i = 0; i < m; ++i) {
        if (yc[i] != 0.0f && y[i] / yc[i] < 10000.0f) rsum = rsum + std::fabs((yc[i] - y[i]) / yc[i]);
        if (e[i] != 0.0f && e[i] != 1.0f) csum = csum + (yc[i] - y[i]) * (yc[i] - y[i]) / (e[i] * e[i]);
    }
    kvchsq(y.data(), e.data(), yc.data(), m, 2, chichi);
    EXPECT_EQ(chichi.rfac, 100.0f * rsum / static_cast<float>(m));
    EXPECT_EQ(chichi.chisq, csum / static_cast<float>(m - 2));
}

TEST(Chisq, NotFiniteSkipsTheProbability) {
    // (1e30 - 0)^2 overflows to infinity; a NaN model value gives NaN.
    const float y[3] = {1e30f, 1e30f, 1e30f}, e[3] = {2, 2, 2};
    const float yc[3] = {0, 0, 0}, ycnan[3] = {0, NAN, 0};
    const int fits = chichi.fitno;
    EXPECT_FALSE(kvchsq(y, e, yc, 3, 1, chichi));
    EXPECT_EQ(chichi.chisq, INFINITY);
    EXPECT_EQ(chichi.prob, 0.0f);
    EXPECT_FALSE(kvchsq(y, e, ycnan, 3, 1, chichi));
    EXPECT_TRUE(std::isnan(chichi.chisq));
    EXPECT_EQ(chichi.prob, 0.0f);
    EXPECT_EQ(chichi.fitno, fits + 2);
}

TEST(Gamma, LogGammaAtKnownPoints) {
    EXPECT_NEAR(kvgaln(1.0), 0.0, 1e-10);
    EXPECT_NEAR(kvgaln(5.0), std::log(24.0), 1e-10);
    EXPECT_NEAR(kvgaln(0.5), 0.5 * std::log(M_PI), 1e-10);
    EXPECT_NEAR(kvgaln(150.0), std::lgamma(150.0), 1e-9);
}

TEST(Gamma, IncompleteGammaBothBranches) {
    EXPECT_EQ(kvgamq(1.0, 0.0), 1.0);
    // x >= a + 1: the continued fraction; Q(1, x) = exp(-x).
    EXPECT_NEAR(kvgamq(1.0, 2.0), std::exp(-2.0), 1e-15);
    EXPECT_NEAR(kvgamq(1.0, 10.0), std::exp(-10.0), 1e-18);
    // Q(1/2, x) = erfc(sqrt(x)), on both sides of x = a + 1.
    EXPECT_NEAR(kvgamq(0.5, 0.3), std::erfc(std::sqrt(0.3)), 1e-12);
    EXPECT_NEAR(kvgamq(0.5, 4.0), std::erfc(2.0), 1e-12);
    // Q(2, x) = (1 + x) exp(-x), series branch.
    EXPECT_NEAR(kvgamq(2.0, 1.5), 2.5 * std::exp(-1.5), 1e-12);
}

TEST(Gamma, ManyDegreesOfFreedomConvergeWithoutPausing) {
    // 300 degrees of freedom, reduced chi-squared exactly 1: a = 150,
    // x = 150, the series branch with well over a hundred terms.
    float p = 0.0f;
    kvprob(p, 300, 1.0f);
    EXPECT_NEAR(p, 0.4891f, 1e-4f);
    // The largest count the point capacity allows, and the other branch.
    kvprob(p, 2099, 1.0f);
    EXPECT_NEAR(p, 0.4959f, 1e-3f);
    kvprob(p, 2099, 1.5f);
    EXPECT_LT(p, 1e-30f);
    kvprob(p, 2, 0.0f);
    EXPECT_EQ(p, 1.0f);
}

TEST(Covnor, CorrelationsWithAZeroVarianceVariable) {
    // Column by column, leading dimension 3; variable 3 has variance 0.
    std::vector<float> v = {4, 2, 1, 2, 9, 3, 1, 3, 0};
    covnor(v.data(), 3);
    const float expect[9] = {100, 100.0f / 3, 50, 100.0f / 3, 100, 100, 50, 100, 0};
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(v[i], expect[i], 1e-4f) << i;
}

// The sums of every width, side by side or not, in both sets of kernels,
// give the bits of a plain sum over the points in their order; G holds just
// the m columns read.
TEST(Kvserr, SameBitsAsThePlainSums) {
    for (auto* serr : {&kernels_baseline::kvserr, &kernels_avx2::kvserr}) {
        if (serr == &kernels_avx2::kvserr && !avx2_kernels()) continue;
        for (int n : {1, 3, 5, 8, 11}) {
            const int m = 203;
            std::vector<float> g(static_cast<std::size_t>(m) * n), f(m, 0.5f), x(n);
            for (std::size_t j = 0; j < g.size(); ++j) g[j] = std::sin(0.37f * static_cast<float>(j)) * 3.0f;
            for (int k = 0; k < n; ++k) x[k] = 0.25f + 0.5f * static_cast<float>(k);
            std::vector<float> v(static_cast<std::size_t>(n) * n), sigma(n);
            float ss = 0.0f;
            for (int i = 0; i < m; ++i) f[i] = std::cos(0.21f * static_cast<float>(i));
            serr(m, n, f.data(), x.data(), g.data(), ss, v.data(), sigma.data());
            float plain = 0.0f;
            for (int i = 0; i < m; ++i) plain = plain + f[i] * f[i];
            EXPECT_EQ(ss, plain) << n;
            for (int k1 = 0; k1 < n; ++k1)
                for (int k2 = 0; k2 < n; ++k2) {
                    float s = 0.0f;
                    for (int i = 0; i < m; ++i) s = s + g[k1 + i * n] * g[k2 + i * n];
                    EXPECT_EQ(v[k1 + k2 * n], s / (x[k1] * x[k2])) << n << ": " << k1 << "," << k2;
                }
        }
    }
}

TEST(Kvserr, ErrorsFromTheMinimisersInverse) {
    const int m = 3, n = 2;
    std::vector<float> g((m + n) * n, 0.0f);
    auto G = [&](int k, int i) -> float& { return g[(k - 1) + (i - 1) * n]; };
    G(1, 1) = 1; G(1, 3) = 1;
    G(2, 2) = 2; G(2, 3) = 1;
    G(1, 4) = 50; G(2, 5) = 50;  // the damping columns are not part of it
    const float f[3] = {1, 1, 1};
    float ss = 0, v[4], sigma[2];

    const float x[2] = {2, 0.5f};
    kvserr(m, n, f, x, g.data(), ss, v, sigma);
    EXPECT_EQ(ss, 3.0f);
    EXPECT_FLOAT_EQ(v[0], 2.0f / 4.0f);   // (1 + 1) / (2 * 2)
    EXPECT_FLOAT_EQ(v[1], 1.0f);          // 1 / (2 * 0.5)
    EXPECT_FLOAT_EQ(v[2], 1.0f);
    EXPECT_FLOAT_EQ(v[3], 20.0f);         // (4 + 1) / 0.25
    EXPECT_FLOAT_EQ(sigma[0], std::sqrt(1.5f));
    EXPECT_FLOAT_EQ(sigma[1], std::sqrt(60.0f));

    // A variable that ended at exactly 0: its row, column and error are 0.
    const float x0[2] = {2, 0};
    kvserr(m, n, f, x0, g.data(), ss, v, sigma);
    EXPECT_FLOAT_EQ(v[0], 0.5f);
    EXPECT_EQ(v[1], 0.0f);
    EXPECT_EQ(v[2], 0.0f);
    EXPECT_EQ(v[3], 0.0f);
    EXPECT_EQ(sigma[1], 0.0f);
    covnor(v, 2);
    EXPECT_FLOAT_EQ(v[0], 100.0f);
    EXPECT_EQ(v[1], 0.0f);
    EXPECT_EQ(v[3], 0.0f);
}

}  // namespace
}  // namespace karvel
