/// Tests of the fit driver and residual evaluation on the shared records.
#include <gtest/gtest.h>

#include <cpgplot.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "fit/fit.h"
#include "fit/kvcalf.h"
#include "core/channels.h"
#include "session/commands/commands.h"
#include "session/commands/fit.h"
#include "session/session.h"

using namespace karvel;

namespace {

// The test host's model: a Gaussian peak on a sloping background.
void peak(const int&, const float* p, const int& n, const float* x, const float* y, const float*,
          float* yc, float* r) {
    for (int i = 0; i < n; ++i) {
        const float t = (x[i] - p[0]) / p[1];
        const float g = static_cast<float>(std::exp(-static_cast<double>(t * t * 0.5f)));
        yc[i] = (g * p[4] + p[2]) + p[3] * x[i];
        r[i] = yc[i] - y[i];
    }
}

// A model that records the parameters of its last call.
std::vector<float> last_call;
void recorder(const int& np, const float* p, const int& n, const float*, const float* y,
              const float*, float* yc, float* r) {
    last_call.assign(p, p + np);
    for (int i = 0; i < n; ++i) {
        yc[i] = p[0];
        r[i] = yc[i] - y[i];
    }
}

// A deterministic generator of standard normal deviates.
struct Normal {
    std::uint64_t s = 0x9E3779B97F4A7C15ull;
    double uniform() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return (static_cast<double>(s >> 11) + 0.5) / 9007199254740992.0;
    }
    double next() {
        const double u1 = uniform(), u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }
};

class FitDriver : public ::testing::Test {
protected:
    void SetUp() override {
        device_ = cpgopen("/NULL");
        ASSERT_GT(device_, 0);
        out_ = std::tmpfile();
        io::redirect_terminal(nullptr, out_);
        reset_records();
        tin.in = io::kTerminalIn;
        tin.out = io::kTerminalOut;
        // What the session's entry sets before the first command.
        flags(kDataRead) = 1;
        flags(kParametersSet) = 1;
        pltlim(kPlotXMin) = 0.0f;
        pltlim(kPlotXMax) = 30.0f;
        pltlim(kPlotYMin) = 0.0f;
        pltlim(kPlotYMax) = 300.0f;
    }
    void TearDown() override {
        io::flusht(6);
        io::redirect_terminal(nullptr, nullptr);
        std::fclose(out_);
        cpgclos();
    }
    std::string output() {
        io::flusht(6);
        std::rewind(out_);
        std::string s;
        char buf[512];
        while (std::fgets(buf, sizeof buf, out_)) s += buf;
        return s;
    }
    void set_points(const std::vector<float>& x, const std::vector<float>& y, const std::vector<float>& e) {
        const int n = static_cast<int>(x.size());
        for (int i = 1; i <= n; ++i) {
            reditc.x(i) = obsdat.x(i) = x[i - 1];
            reditc.y(i) = obsdat.y(i) = y[i - 1];
            reditc.e(i) = obsdat.e(i) = e[i - 1];
        }
        reditc.n = obsdat.n = n;
        fitlim.m = n;
        fitlim.first = 1;
        fitlim.last = n;
    }
    void set_params(std::initializer_list<std::pair<float, float>> ps) {
        functn.np = static_cast<int>(ps.size());
        int i = 1;
        for (auto [p, s] : ps) {
            functn.p(i) = p;
            functn.s(i) = s;
            functn.xv(i) = 1.0f;
            ++i;
        }
    }
    void fit(float n, Model model) {
        tin.v(1) = n;
        sess.model = model;
        command_fit();
    }
    int device_ = 0;
    std::FILE* out_ = nullptr;
};

}  // namespace

TEST_F(FitDriver, RecoversKnownPeakWithinThreeStandardErrors) {
    const float truth[5] = {12.0f, 2.0f, 40.0f, 1.5f, 250.0f};
    std::vector<float> x, y, e;
    Normal normal;
    for (int i = 1; i <= 300; ++i) {
        const float xi = static_cast<float>(i) * 0.1f;
        const double t = (xi - truth[0]) / truth[1];
        const double mean = truth[4] * std::exp(-0.5 * t * t) + truth[2] + truth[3] * xi;
        const double sd = std::sqrt(mean);
        x.push_back(xi);
        y.push_back(static_cast<float>(mean + sd * normal.next()));
        e.push_back(static_cast<float>(sd));
    }
    set_points(x, y, e);
    set_params({{13.5f, 1.0f}, {2.4f, 1.0f}, {33.0f, 1.0f}, {1.2f, 1.0f}, {210.0f, 1.0f}});

    for (int round = 0; round < 6; ++round) fit(200.0f, peak);

    ASSERT_EQ(errorc.nfit, 5);
    for (int i = 1; i <= 5; ++i) {
        // The deviation is the standard error as a percentage of the value before the fit.
        const float se = errorc.dev(i) / 100.0f * std::fabs(sess.old(i));
        ASSERT_GT(se, 0.0f) << "parameter " << i;
        EXPECT_LT(std::fabs(functn.p(i) - truth[i - 1]), 3.0f * se) << "parameter " << i;
    }
    const int nu = 300 - 5;
    EXPECT_EQ(chichi.ndf, nu);
    EXPECT_LT(std::fabs(chichi.chisq - 1.0f), 3.0f * std::sqrt(2.0f / nu));
    EXPECT_GT(chichi.prob, 0.001f);
    EXPECT_LT(chichi.prob, 0.999f);
    EXPECT_EQ(chichi.fitno, 6);
    // Every fit announces itself and its end.
    const std::string out = output();
    EXPECT_NE(out.find(" FITTING.....\n\n .....ENDED\n"), std::string::npos);
}

TEST_F(FitDriver, TiesFollowOnlyLowerFittedParameters) {
    std::vector<float> x, y, e;
    for (int i = 1; i <= 10; ++i) {
        x.push_back(static_cast<float>(i));
        y.push_back(5.0f);
        e.push_back(1.0f);
    }
    set_points(x, y, e);
    // p1 fitted; p2 tied to p1; p3 tied to p4 (higher); p4 fixed; p5 tied out of range;
    // p6 tied with a step between -1 and 0.
    set_params({{2.0f, 1.0f}, {3.0f, -1.0f}, {7.0f, -4.0f}, {9.0f, 0.0f}, {11.0f, -50.0f},
                {13.0f, -0.5f}});
    fit(50.0f, recorder);
    EXPECT_NEAR(functn.p(1), 5.0f, 1e-3f);
    EXPECT_NEAR(functn.p(2) / functn.p(1), 1.5f, 1e-5f);
    EXPECT_EQ(functn.p(3), 7.0f);
    EXPECT_EQ(functn.p(4), 9.0f);
    EXPECT_EQ(functn.p(5), 11.0f);
    EXPECT_EQ(functn.p(6), 13.0f);
    EXPECT_EQ(errorc.dev(3), 0.0f);
    EXPECT_EQ(errorc.dev(5), 0.0f);
    EXPECT_EQ(errorc.nfit, 1);
    EXPECT_EQ(cnstrn(1), 1);
    EXPECT_EQ(cnstrn(2), 0);
    // The model saw the tie during the fit: p2 moved with p1.
    ASSERT_EQ(last_call.size(), 6u);
    EXPECT_NEAR(last_call[1] / last_call[0], 1.5f, 1e-5f);
}

TEST_F(FitDriver, FittedParameterAtZeroStaysZero) {
    std::vector<float> x, y, e;
    for (int i = 1; i <= 8; ++i) {
        x.push_back(static_cast<float>(i));
        y.push_back(4.0f);
        e.push_back(0.5f);
    }
    set_points(x, y, e);
    set_params({{0.0f, 1.0f}, {1.0f, 1.0f}});
    fit(30.0f, recorder);
    EXPECT_EQ(functn.p(1), 0.0f);
    EXPECT_TRUE(std::isfinite(errorc.dev(1)));
    EXPECT_TRUE(std::isfinite(errorc.cov(1)));
}

TEST_F(FitDriver, RefusalsLeaveTheTableAlone) {
    std::vector<float> x{1, 2, 3, 4, 5}, y{1, 2, 3, 4, 5}, e{1, 1, 1, 1, 1};
    set_points(x, y, e);
    set_params({{1.0f, 0.0f}, {2.0f, 0.0f}});
    fit(10.0f, peak);
    set_params({{1.0f, 1.0f}, {2.0f, 1.0f}, {3.0f, 1.0f}, {4.0f, 1.0f}, {5.0f, 1.0f}});
    fit(10.0f, peak);
    EXPECT_EQ(output(),
              " NO STEPS HAVE BEEN SET FOR ANY VARIABLE !\n"
              " ERROR- TRYING TOFIT    5 POINTS WITH    5 PARAMETERS\n");
    EXPECT_EQ(functn.p(5), 5.0f);
    EXPECT_EQ(chichi.fitno, 0);

    flags(kDataRead) = 0;
    fit(10.0f, peak);
    EXPECT_NE(output().find(" DATA AND/OR FUNCTION PARAMETERS NOT INITIALISED\n"), std::string::npos);
}

TEST_F(FitDriver, CallLimitAndOptionLetters) {
    std::vector<float> x, y, e;
    for (int i = 1; i <= 20; ++i) {
        x.push_back(static_cast<float>(i));
        y.push_back(3.0f + 0.01f * static_cast<float>(i * i));
        e.push_back(1.0f);
    }
    set_points(x, y, e);
    set_params({{1.0f, 1.0f}});
    // One evaluation allowed: the Jacobian's two are made, then the call limit.
    tinc.line.assign("1 none");
    fit(1.0f, recorder);
    EXPECT_EQ(caldat.ncall, 2);
    EXPECT_NE(output().find(" LIMIT OF  1 ITERATIONS REACHED.\n"), std::string::npos);
    // The N option set the no-plot flag for the fit; F clears it afterwards.
    EXPECT_EQ(flags(kNoPlot), 0);
    // F 0 changes nothing and does not save the old values.
    const float before = functn.p(1);
    sess.old(1) = -99.0f;
    fit(0.0f, recorder);
    EXPECT_EQ(functn.p(1), before);
    EXPECT_EQ(sess.old(1), -99.0f);
}

TEST_F(FitDriver, ResidualEvaluationMapsTheVariables) {
    std::vector<float> x{1, 2, 3}, y{0, 0, 0}, e{1, 1, 1};
    set_points(x, y, e);
    set_params({{2.0f, 0.5f}, {3.0f, 0.0f}, {4.0f, -1.0f}});
    cnstrn(1) = 1;
    cnstrn(2) = 0;
    cnstrn(3) = 0;
    flags(kNoPlot) = 1;
    caldat.ncall = 0;
    float xv[1] = {3.0f};
    FitProblem problem;
    problem.model = recorder;
    problem.x = {obsdat.x.data(), 3};
    problem.y = {obsdat.y.data(), 3};
    problem.e = {obsdat.e.data(), 3};
    problem.yc = {caldat.yc.data(), 3};
    problem.r = {caldat.r.data(), 3};
    problem.p = {functn.p.data(), 3};
    problem.s = {functn.s.data(), 3};
    const ParameterMap map(problem.s);
    float values[3];
    kvcalf(3, 1, caldat.r.data(), xv, Evaluation{problem, map, values, caldat.ncall, nullptr});
    EXPECT_EQ(caldat.ncall, 1);
    ASSERT_EQ(last_call.size(), 3u);
    EXPECT_EQ(last_call[0], 2.0f * 3.0f * 0.5f);
    EXPECT_EQ(last_call[1], 3.0f);
    EXPECT_EQ(last_call[2], 4.0f * 3.0f * 0.5f);  // the step of the parameter tied to
    EXPECT_EQ(caldat.r(1), 3.0f);
}

namespace {

float bump(int k, float x) {
    const float t = (x - 0.5f * static_cast<float>(k)) / 0.6f;
    return std::exp(-(t * t));
}

void bumps(const int& np, const float* p, const int& n, const float* x, const float* y, const float*,
           float* yc, float* r) {
    for (int i = 0; i < n; ++i) {
        float sum = 0.0f;
        for (int k = 1; k <= np; ++k) sum += p[k - 1] * bump(k, x[i]);
        yc[i] = sum;
        r[i] = yc[i] - y[i];
    }
}

}  // namespace

TEST_F(FitDriver, FortyParametersOnTwoThousandOneHundredPoints) {
    std::vector<float> x, y, e;
    for (int i = 1; i <= kMaxPts; ++i) {
        const float xi = static_cast<float>(i) * 0.01f;
        float sum = 0.0f;
        for (int k = 1; k <= kMaxPar; ++k) sum += (1.0f + 0.05f * static_cast<float>(k)) * bump(k, xi);
        x.push_back(xi);
        y.push_back(sum);
        e.push_back(1.0f);
    }
    set_points(x, y, e);
    functn.np = kMaxPar;
    for (int k = 1; k <= kMaxPar; ++k) {
        functn.p(k) = 1.2f;
        functn.s(k) = 1.0f;
    }
    flags(kNoPlot) = 0;
    tinc.line.assign("400 N");
    fit(400.0f, bumps);
    EXPECT_EQ(errorc.nfit, kMaxPar);
    // The work space was sized for this fit, beyond the old fixed 100000 reals.
    EXPECT_GE(work.size(), static_cast<std::size_t>(2 * 2100 * 40 + 2 * 40 * 40 + 5 * 40 + 2 * 2100));
    for (int k = 1; k <= kMaxPar; ++k) {
        EXPECT_NEAR(functn.p(k), 1.0f + 0.05f * static_cast<float>(k), 0.02f) << "parameter " << k;
    }
}
