/// Tests of the generalized inverse.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "fit/numeric.h"

namespace karvel {
namespace {

/// Runs the routine on a copy of the m x n matrix (leading dimension ia)
/// and checks that both interchange records are back in identity order.
std::vector<float> invert(int m, int n, int ia, std::vector<float> a, int* code = nullptr) {
    std::vector<float> w(2 * m + n, -7.0f);
    const int rc = kvmb11(m, n, a.data(), ia, w.data());
    if (code) *code = rc;
    if (rc == 0) {
        for (int i = 1; i <= m; ++i) EXPECT_EQ(w[m + i - 1], i + 0.5f) << "row record " << i;
        for (int j = 1; j <= n; ++j) EXPECT_EQ(w[2 * m + j - 1], j + 0.5f) << "column record " << j;
    }
    return a;
}

/// Max |A * R^T - I| for the input A and the returned R (both m x n).
double residual(int m, int n, int ia, const std::vector<float>& a, const std::vector<float>& r) {
    double worst = 0.0;
    for (int i = 0; i < m; ++i)
        for (int k = 0; k < m; ++k) {
            double s = 0.0;
            for (int j = 0; j < n; ++j) s += double(a[i + j * ia]) * double(r[k + j * ia]);
            worst = std::max(worst, std::fabs(s - (i == k ? 1.0 : 0.0)));
        }
    return worst;
}

TEST(Kvmb11, OneByOneIsTheReciprocal) {
    EXPECT_FLOAT_EQ(invert(1, 1, 1, {4.0f})[0], 0.25f);
    EXPECT_FLOAT_EQ(invert(1, 1, 1, {-0.5f})[0], -2.0f);
}

TEST(Kvmb11, IdentityGivesIdentity) {
    const int n = 4;
    std::vector<float> a(n * n, 0.0f);
    for (int i = 0; i < n; ++i) a[i + i * n] = 1.0f;
    const auto r = invert(n, n, n, a);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) EXPECT_NEAR(r[i + j * n], i == j ? 1.0f : 0.0f, 1e-6f);
}

TEST(Kvmb11, SingleRowIsScaledByItsSquaredLength) {
    // G = a^T / |a|^2 for one row; the transpose is the row itself scaled.
    const auto r = invert(1, 3, 1, {1.0f, 2.0f, 2.0f});
    EXPECT_NEAR(r[0], 1.0f / 9.0f, 1e-7f);
    EXPECT_NEAR(r[1], 2.0f / 9.0f, 1e-7f);
    EXPECT_NEAR(r[2], 2.0f / 9.0f, 1e-7f);
}

TEST(Kvmb11, TiesInRowAndColumnPivoting) {
    // Rows of equal sums of squares and pivot rows whose largest magnitudes
    // repeat, including a permutation matrix that needs both interchanges.
    const std::vector<std::vector<float>> cases = {
        {1.0f, 1.0f, 1.0f, -1.0f},               // 2x2, all ties
        {0.0f, 1.0f, 1.0f, 0.0f},                // permutation
        {3.0f, 4.0f, 4.0f, 3.0f},                // equal rows sums, swapped maxima
        {2.0f, -2.0f, 1.0f, 1.0f, 1.0f, -1.0f},  // 2x3, equal rows, equal columns
    };
    const int ns[] = {2, 2, 2, 3};
    for (std::size_t c = 0; c < cases.size(); ++c) {
        const int n = ns[c];
        const auto r = invert(2, n, 2, cases[c]);
        EXPECT_LT(residual(2, n, 2, cases[c], r), 1e-6) << "case " << c;
    }
    // The permutation matrix is its own inverse transposed.
    const auto r = invert(2, 2, 2, {0.0f, 1.0f, 1.0f, 0.0f});
    EXPECT_NEAR(r[0], 0.0f, 1e-7f);
    EXPECT_NEAR(r[1], 1.0f, 1e-6f);
    EXPECT_NEAR(r[2], 1.0f, 1e-6f);
    EXPECT_NEAR(r[3], 0.0f, 1e-7f);
}

TEST(Kvmb11, RandomFullRowRankMatrices) {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    const int shapes[][3] = {{1, 5, 1}, {2, 2, 3}, {3, 7, 3}, {5, 5, 8}, {6, 14, 6}, {10, 30, 12}};
    for (const auto& s : shapes) {
        const int m = s[0], n = s[1], ia = s[2];
        for (int rep = 0; rep < 5; ++rep) {
            std::vector<float> a(ia * n, 99.0f);  // rows beyond m must stay untouched
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < m; ++i) a[i + j * ia] = u(gen);
            const auto r = invert(m, n, ia, a);
            EXPECT_LT(residual(m, n, ia, a, r), 2e-4) << m << "x" << n << " rep " << rep;
            for (int j = 0; j < n; ++j)
                for (int i = m; i < ia; ++i) EXPECT_EQ(r[i + j * ia], 99.0f);
        }
    }
}

TEST(Kvmb11, ResultIsTheMinimumNormInverse) {
    // For A = [1 1 0; 0 0 1], G = A^T (A A^T)^-1 = [0.5 0; 0.5 0; 0 1].
    const auto r = invert(2, 3, 2, {1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f});
    const float expect[6] = {0.5f, 0.0f, 0.5f, 0.0f, 0.0f, 1.0f};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(r[i], expect[i], 1e-6f) << i;
}

TEST(Kvmb11, ZeroPivotIsReported) {
    int code = 0;
    // Rows (1, 0) and (2, 0): after the first stage nothing is left of the
    // second column.
    auto r = invert(2, 2, 2, {1.0f, 2.0f, 0.0f, 0.0f}, &code);
    EXPECT_EQ(code, 2);
    for (float v : r) EXPECT_TRUE(std::isfinite(v));
    invert(1, 3, 1, {0.0f, 0.0f, 0.0f}, &code);
    EXPECT_EQ(code, 1);
    invert(3, 2, 3, {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f}, &code);
    EXPECT_NE(code, 0);  // more rows than columns
}

/// The algorithm written out plainly, one loop per sum in the order of its
/// terms, for comparing bit by bit with the routine, whose sums run side by
/// side.
void plain_inverse(int m, int n, float* a, int ia, float* w) {
    auto A = [&](int i, int j) -> float& { return a[(i - 1) + static_cast<long>(j - 1) * ia]; };
    auto W = [&](int i) -> float& { return w[i - 1]; };
    for (int i = 1; i <= m; ++i) W(m + i) = i + 0.5f;
    for (int j = 1; j <= n; ++j) W(2 * m + j) = j + 0.5f;
    for (int k = 1; k <= m; ++k) {
        float rmax = 0.0f, sum = 0.0f;
        int ir = k;
        for (int i = k; i <= m; ++i) {
            float s = 0.0f;
            for (int j = k; j <= n; ++j) s = s + A(i, j) * A(i, j);
            if (rmax < s) rmax = s, ir = i;
        }
        std::swap(W(m + k), W(m + ir));
        for (int j = 1; j <= n; ++j) std::swap(A(k, j), A(ir, j));
        rmax = 0.0f;
        ir = k;
        for (int j = k; j <= n; ++j) {
            sum = sum + A(k, j) * A(k, j);
            if (rmax < std::fabs(A(k, j))) rmax = std::fabs(A(k, j)), ir = j;
        }
        std::swap(W(2 * m + k), W(2 * m + ir));
        for (int i = 1; i <= m; ++i) std::swap(A(i, k), A(i, ir));
        const float sigma = std::sqrt(sum), akk = A(k, k);
        const float b = std::sqrt(sum + sigma * std::fabs(akk));
        W(k) = akk >= 0.0f ? (std::fabs(akk) + sigma) / b : -((std::fabs(akk) + sigma) / b);
        A(k, k) = akk >= 0.0f ? -sigma : sigma;
        for (int j = k + 1; j <= n; ++j) A(k, j) = A(k, j) / b;
        for (int i = k + 1; i <= m; ++i) {
            float s = W(k) * A(i, k);
            for (int j = k + 1; j <= n; ++j) s = s + A(k, j) * A(i, j);
            A(i, k) = A(i, k) - s * W(k);
            for (int j = k + 1; j <= n; ++j) A(i, j) = A(i, j) - s * A(k, j);
        }
    }
    const float sm = W(m) / A(m, m);
    for (int j = m + 1; j <= n; ++j) A(m, j) = -sm * A(m, j);
    A(m, m) = 1.0f / A(m, m) - sm * W(m);
    for (int l = m - 1; l >= 1; --l) {
        for (int i = l + 1; i <= m; ++i) {
            float t = 0.0f;
            for (int j = l + 1; j <= n; ++j) t = t + A(l, j) * A(i, j);
            for (int j = l + 1; j <= n; ++j) A(i, j) = A(i, j) - t * A(l, j);
            W(i) = -t * W(l);
        }
        for (int j = l + 1; j <= n; ++j) {
            float s = -W(l) * A(l, j);
            for (int i = l + 1; i <= m; ++i) s = s - A(i, l) * A(i, j);
            A(l, j) = s / A(l, l);
        }
        float s = 1.0f - W(l) * W(l);
        for (int i = l + 1; i <= m; ++i) s = s - A(i, l) * W(i), A(i, l) = W(i);
        A(l, l) = s / A(l, l);
    }
    for (int i = 1; i <= m; ++i)
        for (int ir; (ir = static_cast<int>(W(m + i))) > i;) {
            std::swap(W(m + i), W(m + ir));
            for (int j = 1; j <= n; ++j) std::swap(A(i, j), A(ir, j));
        }
    for (int j = 1; j <= n; ++j)
        for (int ir; (ir = static_cast<int>(W(2 * m + j))) > j;) {
            std::swap(W(2 * m + j), W(2 * m + ir));
            for (int i = 1; i <= m; ++i) std::swap(A(i, j), A(i, ir));
        }
}

TEST(Kvmb11, SameBitsAsThePlainAlgorithm) {
    std::mt19937 gen(11);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    // Up to eight rows the matrix is worked on row by row, above that column
    // by column. Entries of a few whole values make ties in every pivot
    // search, at places in every position of a vector; entries near 2^-70
    // have squares too small to be normal numbers.
    std::uniform_int_distribution<int> few(-3, 3);
    const int shapes[][2] = {{1, 7}, {2, 19}, {5, 605}, {7, 9}, {8, 45}, {9, 40}, {12, 30}, {40, 140}};
    enum Kind { kPlain, kTies, kTiny };
    for (const Kind kind : {kPlain, kTies, kTiny}) {
        for (const auto& shape : shapes) {
            const int m = shape[0], n = shape[1];
            std::vector<float> a(static_cast<std::size_t>(m) * n);
            for (float& v : a)
                v = kind == kTies ? static_cast<float>(few(gen)) : kind == kTiny ? u(gen) * 0x1p-70f : u(gen);
            std::vector<float> want = a, w(2 * m + n);
            plain_inverse(m, n, want.data(), m, w.data());
            const auto got = invert(m, n, m, a);
            EXPECT_EQ(std::memcmp(got.data(), want.data(), a.size() * sizeof(float)), 0)
                << m << "x" << n << (kind == kTies ? " with ties" : kind == kTiny ? " tiny" : "");
        }
    }
}

}  // namespace
}  // namespace karvel
