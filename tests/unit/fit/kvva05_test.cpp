/// Tests of the least-squares minimiser: outcomes, solutions and printout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fit/numeric.h"
#include "core/channels.h"

namespace karvel {
namespace {

/// One minimisation with its own work space and a count of evaluations.
struct Trial {
    int calls = 0;
    MinimiserSummary summary{};
    std::vector<float> x, f, w;

    template <class Model>
    void fit(int m, std::vector<float> start, float dstep, float dmax, float acc, int maxfun,
             Model model, int print = 0) {
        const int n = static_cast<int>(start.size());
        x = std::move(start);
        f.assign(m, 0.0f);
        w.assign(kvva05_work_size(m, n), 0.0f);
        calls = 0;
        summary = kvva05(m, n, f.data(), x.data(), dstep, dmax, acc, maxfun, print, w.data(),
                         [&](int mm, int nn, float* ff, float* xx) {
                             ++calls;
                             model(mm, nn, ff, xx);
                         });
        EXPECT_EQ(summary.calls, calls);
    }
};

/// f = (x - 1, x - 3): the minimum is x = 2 with sum of squares 2.
void two_points(int, int, float* f, float* x) {
    f[0] = x[0] - 1.0f;
    f[1] = x[0] - 3.0f;
}

TEST(Kvva05, StartAtAccuracyEndsAfterTheJacobian) {
    Trial r;
    // S = 1 at the start, equal to ACC: n + 1 = 3 evaluations, normal return.
    auto model = [](int, int, float* f, float* x) {
        f[0] = x[0] + x[1];
        f[1] = 1.0f;
        f[2] = 2.0f * x[1];
    };
    r.fit(3, {0.0f, 0.0f}, 0.1f, 10.0f, 1.0f, 100, model);
    EXPECT_EQ(r.calls, 3);
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::Converged);
    EXPECT_EQ(r.x[0], 0.0f);
    EXPECT_EQ(r.x[1], 0.0f);
    EXPECT_EQ(r.f[1], 1.0f);
}

// Three residuals of two variables, least at x = (10, 20).
void three_residuals(int, int, float* f, float* x) {
    f[0] = x[0] - 10.0f;
    f[1] = x[1] - 20.0f;
    f[2] = x[0] + x[1] - 30.0f;
}

TEST(Kvva05, CallLimitBelowTheJacobianCount) {
    Trial r;
    r.fit(3, {0.0f, 0.0f}, 0.5f, 100.0f, 1e-6f, 1, three_residuals);
    EXPECT_EQ(r.calls, 3);
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::CallLimitReached);
    // The best point of the Jacobian stage: both perturbations helped.
    EXPECT_EQ(r.x[0], 0.5f);
    EXPECT_EQ(r.x[1], 0.5f);
    EXPECT_EQ(r.f[2], -29.0f);
}

TEST(Kvva05, LinearLeastSquares) {
    // y = 2 + 3 t with a fixed pattern of deviations; compare with the
    // normal equations solved in double precision.
    const int m = 20;
    std::vector<double> t(m), y(m);
    for (int i = 0; i < m; ++i) {
        t[i] = 0.25 * i;
        y[i] = 2.0 + 3.0 * t[i] + 0.3 * std::sin(7.0 * i);
    }
    double st = 0, sy = 0, stt = 0, sty = 0;
    for (int i = 0; i < m; ++i) {
        st += t[i];
        sy += y[i];
        stt += t[i] * t[i];
        sty += t[i] * y[i];
    }
    const double slope = (m * sty - st * sy) / (m * stt - st * st);
    const double icpt = (sy - slope * st) / m;
    Trial r;
    auto model = [&](int mm, int, float* f, float* x) {
        for (int i = 0; i < mm; ++i) f[i] = x[0] + x[1] * float(t[i]) - float(y[i]);
    };
    r.fit(m, {0.0f, 0.0f}, 0.01f, 100.0f, 1e-6f, 500, model);
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::Converged);
    EXPECT_NEAR(r.x[0], icpt, 2e-3);
    EXPECT_NEAR(r.x[1], slope, 1e-3);
    EXPECT_LT(r.calls, 100);
}

TEST(Kvva05, NoProgressOnAKink) {
    // |x| + 1 in both residuals: from x = 0 the difference Jacobian sees the
    // slope 1, the step to x = -1 is worse while the radius is at DSTEP^2.
    Trial r;
    auto model = [](int, int, float* f, float* x) {
        f[0] = std::fabs(x[0]) + 1.0f;
        f[1] = std::fabs(x[0]) + 1.0f;
    };
    r.fit(2, {0.0f}, 1.0f, 100.0f, 0.01f, 100, model);
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::NoLongerDecreasing);
    EXPECT_EQ(r.calls, 3);
    EXPECT_EQ(r.x[0], 0.0f);
    EXPECT_EQ(r.f[0], 1.0f);
}

TEST(Kvva05, LossOfRankWithoutDampingStopsCleanly) {
    // ACC = 0 gives no damping; the second variable has no effect, so the
    // inverse cannot be formed. The best point is kept, the inverse is 0.
    Trial r;
    auto model = [](int, int, float* f, float* x) {
        f[0] = x[0] - 1.0f;
        f[1] = x[0] - 3.0f;
    };
    r.fit(2, {0.0f, 5.0f}, 0.5f, 100.0f, 0.0f, 100, model);
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::NoLongerDecreasing);
    EXPECT_EQ(r.calls, 3);
    EXPECT_EQ(r.x[0], 0.5f);
    EXPECT_EQ(r.x[1], 5.0f);
    float ss = 0, v[4], sigma[2];
    kvserr(2, 2, r.f.data(), r.x.data(), kvva05_inverse(2, 2, r.w.data()), ss, v, sigma);
    EXPECT_EQ(ss, 6.5f);
    EXPECT_EQ(sigma[0], 0.0f);
    EXPECT_EQ(sigma[1], 0.0f);
}

TEST(Kvva05, ExponentialDecayWithManyPoints) {
    const int m = 200;
    std::vector<float> t(m), y(m);
    for (int i = 0; i < m; ++i) {
        t[i] = 0.05f * i;
        y[i] = 5.0f * std::exp(-0.7f * t[i]) + 1.0f;
    }
    auto model = [&](int, int, float* f, float* x) {
        for (int i = 0; i < m; ++i) f[i] = 4.0f * x[0] * std::exp(-(0.5f * x[1]) * t[i]) + 1.2f * x[2] - y[i];
    };
    Trial r;
    r.fit(m, {1.0f, 1.0f, 1.0f}, 0.01f, 100.0f, 1e-8f, 1000, model);
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::Converged);
    EXPECT_NEAR(4.0f * r.x[0], 5.0f, 1e-3f);
    EXPECT_NEAR(0.5f * r.x[1], 0.7f, 1e-3f);
    EXPECT_NEAR(1.2f * r.x[2], 1.0f, 1e-3f);
}

TEST(Kvva05, EvaluationOrderOfTheUpdates) {
    // f_i = c_i + a_i1 x1 + a_i2 x2 + a_i3 x3 + b_i x_k^2 (k = i, and x1 for
    // i = 4), from x = 0 with DSTEP 0.1, maximum step 1, ACC 1e-3. Each
    // "a - sum" (predicted residuals, Broyden correction, both parts of the
    // vector v, the numerator of xi) runs from a, term by term in index
    // order; the damping times its sum forms the sum first. Worked through
    // step by step in single precision: evaluations 1-4 are the difference
    // Jacobian, each perturbation better than the last (S = 5.66, 5.10,
    // 4.56, 4.30); evaluation 5 is the Cauchy step from (0.1, 0.1, 0.1),
    // S = 2.58518314; 6-8 follow rank-one updates of the inverse, S =
    // 1.76962292, 2.29645491 (worse), 1.36255395. Summing first changes the
    // rounding: the Broyden correction changes X at evaluation 6, the
    // predicted residuals, the first part of v and xi at 7, the damping part
    // of v at 8.
    static const float a[4][3] = {{0.2f, 1.6f, -1.8f}, {-1.2f, -0.4f, 0.6f}, {-1.5f, -0.3f, 0.3f}, {-1.7f, -0.7f, -1.8f}};
    static const float b[4] = {0.8f, -1.0f, -0.7f, 0.2f};
    static const float c[4] = {-1.1f, 0.3f, -0.6f, 2.0f};
    std::vector<std::uint32_t> seen;
    auto model = [&](int, int, float* f, float* x) {
        for (int j = 0; j < 3; ++j) {
            std::uint32_t u;
            std::memcpy(&u, &x[j], sizeof u);
            seen.push_back(u);
        }
        for (int i = 0; i < 4; ++i) {
            float s = c[i];
            for (int j = 0; j < 3; ++j) s = s + a[i][j] * x[j];
            const float q = x[i % 3];
            f[i] = s + b[i] * (q * q);
        }
    };
    Trial r;
    r.fit(4, {0.0f, 0.0f, 0.0f}, 0.1f, 1.0f, 1e-3f, 8, model);
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::CallLimitReached);
    const std::vector<std::uint32_t> want = {
        0x00000000, 0x00000000, 0x00000000,  // 0, 0, 0
        0x3dcccccd, 0x00000000, 0x00000000,  // 0.1, 0, 0
        0x3dcccccd, 0x3dcccccd, 0x00000000,  // 0.1, 0.1, 0
        0x3dcccccd, 0x3dcccccd, 0x3dcccccd,  // 0.1, 0.1, 0.1
        0x3ecf4da5, 0x3f00f3f5, 0x3e757590,  // 0.404889256, 0.503722489, 0.239706278
        0xbcd66640, 0x3f386166, 0x3ee49f5d,  // -0.0261718035, 0.720236182, 0.446528345
        0xbebc748e, 0x3fb286c0, 0x3f39b976,  // -0.368076742, 1.39473724, 0.725486159
        0xbe5448b0, 0x3f7c79da, 0x3f1a9f05,  // -0.207308531, 0.986234307, 0.603988945
    };
    EXPECT_EQ(seen, want);
}

// Printout on channel 16. The tiny problem f = (x - 1, x - 3) from x = 0
// with DSTEP 0.5 takes exactly three evaluations: x = 0 (S = 10), x = 0.5
// (S = 6.5, the best after the Jacobian, J = (1, 1)), and the Cauchy step
// 0.5 * 3 = 1.5 to x = 2 (S = 2); then the gradient is 0 and the predicted
// reduction is below ACC.

class Printout : public ::testing::Test {
protected:
    std::string path;
    void SetUp() override {
        path = ::testing::TempDir() + "kvva05_print_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".lis";
        std::remove(path.c_str());
        ASSERT_EQ(io::open(16, path), 0);
    }
    void TearDown() override {
        io::close(16);
        std::remove(path.c_str());
    }
    std::vector<std::string> lines() {
        io::close(16);
        std::ifstream in(path);
        std::vector<std::string> out;
        std::string s;
        while (std::getline(in, s)) out.push_back(s);
        return out;
    }

    static std::string head(const std::string& name) {
        std::string h = std::string(4, ' ') + "I" + std::string(7, ' ') + name;
        for (int k = 0; k < 4; ++k) h += std::string(10, ' ') + "I" + std::string(7, ' ') + name;
        return h;
    }
    static void table(std::vector<std::string>& v, const std::string& name, const std::string& data) {
        v.insert(v.end(), {"", "", head(name), "", data});
    }
    static void sum(std::vector<std::string>& v, const std::string& value) {
        v.insert(v.end(), {"", "     THE SUM OF SQUARES IS" + value});
    }
    static void heading(std::vector<std::string>& v) {
        v.insert(v.end(), {"1    THE FOLLOWING OUTPUT IS PROVIDED BY SUBROUTINE VA05A", "", ""});
    }
    static void final_block(std::vector<std::string>& v, int calls) {
        v.insert(v.end(), {"", "", "",
                           "     THE FINAL SOLUTION CALCULATED BY VA05A REQUIRED    " + std::to_string(calls) +
                               " CALLS OF KVCALF, AND IS"});
        table(v, "X(I)", "    1   0.20000000E+01");
        table(v, "F(I)", "    1   0.10000000E+01    2  -0.10000000E+01");
        sum(v, "   0.20000000E+01");
    }
};

TEST_F(Printout, SilentWithPrintControlZero) {
    // With print control 0 neither error return writes anything to the open
    // channel; the outcome is still reported.
    Trial r;
    r.fit(3, {0.0f, 0.0f}, 0.5f, 100.0f, 1e-6f, 1, three_residuals);
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::CallLimitReached);
    r.fit(2, {0.0f}, 1.0f, 100.0f, 0.01f, 100, [](int, int, float* f, float* x) {
        f[0] = std::fabs(x[0]) + 1.0f;
        f[1] = std::fabs(x[0]) + 1.0f;
    });
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::NoLongerDecreasing);
    EXPECT_EQ(lines(), std::vector<std::string>{});
}

TEST_F(Printout, EveryThirdBestEstimate) {
    Trial r;
    r.fit(2, {0.0f}, 0.5f, 100.0f, 0.25f, 100, two_points, 3);
    EXPECT_EQ(r.calls, 3);
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::Converged);
    EXPECT_EQ(r.x[0], 2.0f);
    std::vector<std::string> want;
    heading(want);
    // Only the first evaluation falls on the countdown; no best point yet.
    want.insert(want.end(), {"", "", "", "     THE BEST ESTIMATE AFTER    1 CALLS OF KVCALF IS"});
    table(want, "X(I)", "    1   0.00000000E+00");
    sum(want, "   0.10000000E+02");
    table(want, "F(I)", "    1  -0.10000000E+01    2  -0.30000000E+01");
    final_block(want, 3);
    EXPECT_EQ(lines(), want);
}

TEST_F(Printout, EveryCallWithoutResiduals) {
    Trial r;
    r.fit(2, {0.0f}, 0.5f, 100.0f, 0.25f, 100, two_points, -1);
    EXPECT_EQ(r.calls, 3);
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::Converged);
    std::vector<std::string> want;
    heading(want);
    const char* xs[3] = {"0.00000000E+00", "0.50000000E+00", "0.20000000E+01"};
    const char* ss[3] = {"0.10000000E+02", "0.65000000E+01", "0.20000000E+01"};
    for (int c = 0; c < 3; ++c) {
        want.insert(want.end(), {"", "", "", "     AT THE    " + std::to_string(c + 1) + " TH CALL OF KVCALF WE HAVE"});
        table(want, "X(I)", std::string("    1   ") + xs[c]);
        sum(want, std::string("   ") + ss[c]);
    }
    final_block(want, 3);
    EXPECT_EQ(lines(), want);
}

TEST_F(Printout, ErrorReturnsAndWideTables) {
    // Six variables: the tables wrap after five pairs. Call limit 1 stops
    // at the first evaluation after the seven Jacobian evaluations.
    Trial r;
    auto model = [](int mm, int, float* f, float* x) {
        for (int i = 0; i < mm; ++i) f[i] = i < 6 ? x[i] - 2.0f : -1.0f;
    };
    r.fit(7, {0, 0, 0, 0, 0, 0}, 1.0f, 100.0f, 1e-6f, 1, model, 5);
    EXPECT_EQ(r.calls, 7);
    const auto got = lines();
    std::vector<std::string> tail = {"", "", "", "     ERROR RETURN FROM VA05A BECAUSE THERE HAVE BEEN    7 CALLS OF KVCALF",
                                     "", "", "", "     THE FINAL SOLUTION CALCULATED BY VA05A REQUIRED    7 CALLS OF KVCALF, AND IS",
                                     "", "", head("X(I)"), "",
                                     "    1   0.10000000E+01    2   0.10000000E+01    3   0.10000000E+01    4   0.10000000E+01    5   0.10000000E+01",
                                     "    6   0.10000000E+01",
                                     "", "", head("F(I)"), "",
                                     "    1  -0.10000000E+01    2  -0.10000000E+01    3  -0.10000000E+01    4  -0.10000000E+01    5  -0.10000000E+01",
                                     "    6  -0.10000000E+01    7  -0.10000000E+01"};
    sum(tail, "   0.70000000E+01");
    ASSERT_GE(got.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(got.end() - tail.size(), got.end()), tail);

    // No progress on the kink, with a nonzero print control.
    ASSERT_EQ(io::open(16, path), 0);
    auto kink = [](int, int, float* f, float* x) {
        f[0] = std::fabs(x[0]) + 1.0f;
        f[1] = std::fabs(x[0]) + 1.0f;
    };
    r.fit(2, {0.0f}, 1.0f, 100.0f, 0.01f, 100, kink, 1);
    EXPECT_EQ(r.summary.outcome, MinimiserOutcome::NoLongerDecreasing);
    const auto got2 = lines();
    // The failing third evaluation is not printed: two call blocks only.
    int callblocks = 0;
    for (const auto& s : got2) callblocks += s.find("TH CALL OF KVCALF") != std::string::npos;
    EXPECT_EQ(callblocks, 2);
    const std::vector<std::string> msg = {
        "", "", "", "     ERROR RETURN FROM VA05A BECAUSE F(X) NO LONGER DECREASES",
        "", "     THIS MAY BE DUE TO THE VALUES OF DSTEP AND ACC, OR TO LOSS OF RANK IN THE JACOBIAN MATRIX",
        "", "", "", "     THE FINAL SOLUTION CALCULATED BY VA05A REQUIRED    3 CALLS OF KVCALF, AND IS"};
    bool found = false;
    for (std::size_t i = 0; i + msg.size() <= got2.size(); ++i)
        found = found || std::equal(msg.begin(), msg.end(), got2.begin() + i);
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace karvel
