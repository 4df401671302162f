/// Tests of the fit engine on its own: the parameter map, the hooks of a
/// fit, and the injected trouble of the probability routines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/channels.h"
#include "fit/fit.h"
#include "fit/numeric.h"

using namespace karvel;

namespace {

TEST(ParameterMap, TiesFollowOnlyEarlierFittedParameters) {
    // 1 fitted; 2 tied to 1; 3 tied to a held 4; 4 held; 5 out of range;
    // 6 a step between -1 and 0; 7 fitted; 8 tied to 7; 9 tied to a tied 3;
    // 10 tied to itself; 11 tied to a later fitted 12; 12 fitted; 13 NaN.
    const std::vector<float> steps{1.0f, -1.0f, -4.0f, 0.0f, -50.0f, -0.5f, 2.0f,
                                   -7.0f, -3.0f, -10.0f, -12.0f, 0.5f, NAN};
    const ParameterMap map(steps);
    std::vector<int> fitted, variable, scaled_by;
    for (int i = 1; i <= map.np(); ++i) {
        fitted.push_back(map.fitted(i));
        variable.push_back(map.variable(i));
        scaled_by.push_back(map.scaled_by(i));
    }
    EXPECT_EQ(map.nfit(), 3);
    EXPECT_EQ(fitted, (std::vector<int>{1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0}));
    EXPECT_EQ(variable, (std::vector<int>{1, 1, 0, 0, 0, 0, 2, 2, 0, 0, 0, 3, 0}));
    EXPECT_EQ(scaled_by, (std::vector<int>{1, 1, 0, 0, 0, 0, 7, 7, 0, 0, 0, 12, 0}));
}

// A straight line p1 + p2 x.
void line(const int&, const float* p, const int& n, const float* x, const float* y, const float*,
          float* yc, float* r) {
    for (int i = 0; i < n; ++i) {
        yc[i] = p[0] + p[1] * x[i];
        r[i] = yc[i] - y[i];
    }
}

struct Recorder : FitProgress {
    std::string events;
    void started() override { events += 'S'; }
    void evaluated(int call, int, const float*, const float*, const float*) override {
        if (call == static_cast<int>(events.size())) events += 'E';
        else events += '?';
    }
    void minimised(int outcome) override { events += 'M' + std::to_string(outcome); }
};

// One fit's problem on its own storage.
struct Line {
    std::vector<float> x{1, 2, 3, 4, 5, 6}, y{3, 5, 7, 9, 11, 13}, e{0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    std::vector<float> yc = std::vector<float>(6), r = std::vector<float>(6);
    std::vector<float> p{1.5f, 1.5f}, s{1.0f, 1.0f}, xv = std::vector<float>(2),
                       dev = std::vector<float>(2), sigma = std::vector<float>(2),
                       cov = std::vector<float>(4), work;
    Chichi stats;
    FitProblem problem() {
        FitProblem pb;
        pb.model = line;
        pb.x = x, pb.y = y, pb.e = e, pb.yc = yc, pb.r = r, pb.p = p, pb.s = s;
        pb.xv = xv, pb.dev = dev, pb.sigma = sigma, pb.cov = cov;
        pb.work = &work;
        pb.statistics = &stats;
        return pb;
    }
};

TEST(FitEngine, FitsWithoutTerminalAndReportsInOrder) {
    std::FILE* out = std::tmpfile();
    io::redirect_terminal(nullptr, out);
    Line fit;
    FitOptions options;
    options.evaluations = 100;
    Recorder progress;
    const FitResult result = fit_engine(fit.problem(), options, &progress);

    EXPECT_EQ(result.status, FitStatus::Fitted);
    EXPECT_EQ(result.outcome, 0);
    EXPECT_TRUE(result.chi_squared_finite);
    EXPECT_EQ(progress.events, "S" + std::string(static_cast<std::size_t>(result.calls), 'E') + "M0");
    EXPECT_NEAR(fit.p[0], 1.0f, 1e-3f);
    EXPECT_NEAR(fit.p[1], 2.0f, 1e-3f);
    EXPECT_EQ(fit.stats.fitno, 1);
    EXPECT_EQ(fit.stats.ndf, 4);

    // The refusals change neither values nor statistics, and start no minimiser.
    Line none;
    none.s = {0.0f, 0.0f};
    Recorder quiet;
    EXPECT_EQ(fit_engine(none.problem(), options, &quiet).status, FitStatus::NoSteps);
    Line few;
    few.x.resize(2), few.y.resize(2), few.e.resize(2);
    const FitResult refused = fit_engine(few.problem(), options, &quiet);
    EXPECT_EQ(refused.status, FitStatus::TooFewPoints);
    EXPECT_EQ(refused.map.nfit(), 2);
    EXPECT_EQ(quiet.events, "");
    EXPECT_EQ(few.p, (std::vector<float>{1.5f, 1.5f}));
    EXPECT_EQ(few.stats.fitno, 0);

    io::flusht(6);
    io::redirect_terminal(nullptr, nullptr);
    EXPECT_EQ(std::ftell(out), 0L);
    std::fclose(out);
}

TEST(ProbabilityTrouble, ReportedToTheCallerWhoseReturnGoesOn) {
    // nu = -2: a = -1, x = -1: bad arguments, then the series with x < 0.
    std::vector<std::string> messages;
    float p = -1.0f;
    kvprob(p, -2, 1.0f, [&](std::string_view m) { messages.emplace_back(m); });
    EXPECT_EQ(messages, (std::vector<std::string>{"bad arguments in kvgamq", "x < 0 in gser"}));
    EXPECT_EQ(p, 1.0f);
    // Without a caller to tell, the routines go on the same way.
    float q = -1.0f;
    kvprob(q, -2, 1.0f);
    EXPECT_EQ(q, 1.0f);
}

}  // namespace
