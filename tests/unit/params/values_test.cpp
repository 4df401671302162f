/// The V command: the listing layout, setting values and steps, ties and the fit-control values.
#include <gtest/gtest.h>

#include <cmath>

#include "params/params.h"
#include "core/records.h"
#include "session/session.h"
#include "support/terminal.h"

namespace karvel {
namespace {

using test::blanks;

class VCommand : public ::testing::Test {
protected:
    void SetUp() override {
        reset_records();
        tin.out = io::kTerminalOut;
        functn.np = 5;
        old.fill(0.0f);
        const char* names[] = {"CENTRE", "SIGMA", "FLAT", "BAKSLOPE", "HEIGHT"};
        for (int i = 0; i < 5; ++i) functc.name[i] = names[i];
    }

    std::string v(float a, float b = 0.0f, float c = 0.0f) {
        return test::terminal([&] {
            kvvals(functn.np, functc.name, functn.p.data(), functn.s.data(), functn.xv.data(), old.data(), a, b, c);
        });
    }

    Arr<float, kMaxPar> old;
};

TEST_F(VCommand, ListingLayout) {
    functn.np = 2;
    pltlic.title = "TEST DATA";
    pltlic.x = "CHANNEL";
    pltlic.y = "COUNTS";
    functn.p(1) = 1.5f;
    old(1) = 0.0f;
    functn.s(1) = 1.0f;
    errorc.dev(1) = 1.0e7f;  // too wide for F10.2
    functn.p(2) = -2.0f;
    old(2) = 123.0f;
    functn.s(2) = 0.0f;
    errorc.dev(2) = 12.5f;
    fitlim.m = 3;
    fitlim.bound.fill(0.0f);
    fitlim.bound(1) = 10.0f;
    fitlim.bound(2) = 20.0f;
    prompt = 1;

    const auto lines = test::lines_of(v(0.0f));
    const std::vector<std::string> want = {
        " KARVEL 6.6  TITLE:TEST DATA" + blanks(41),
        " FITTING Y : COUNTS" + blanks(14) + "   VERSUS X : CHANNEL" + blanks(13),
        " NUMBER  PARAMETER   VALUE    (  OLD VALUE )     STEP     % DEVIATION ",
        "    1   " + std::string("CENTRE  ") + "  " + "   1.500    " + "(" + "   0.000    " + ")" +
            "   1.000    " + "**********",
        "    2   " + std::string("SIGMA   ") + "  " + "  -2.000    " + "(" + "   123.0    " + ")" +
            "   0.000    " + "     12.50",
        " " + std::string(" 100") + "     " + "MAXIMUM STEP " + "   100.0    " + "   300  SUBSTEP" + "   0.01000",
        "  200" + std::string("     ") + "ACCURACY    " + "  0.1000E-01",
        " THERE ARE    3 POINTS IN THE CURRENT RANGE SET BY \"ONLY\" COMMAND.",
        " CURRENT LIMITS (IF RANGE IS NON-ZERO) ARE : ",
        " " + std::string("  10.0    ") + " TO" + "  20.0    " + " " + "  0.00    " + " TO" + "  0.00    " + " " +
            "  0.00    " + " TO" + "  0.00    ",
    };
    EXPECT_EQ(lines, want);
    EXPECT_EQ(prompt, 0);  // the option list comes back after a listing
    EXPECT_EQ(flags(kParametersSet), 1);
}

TEST_F(VCommand, FirstNumberBelowOneLists) {
    for (float a : {0.0f, -3.0f, 0.9f, -0.5f, NAN, -3.0e9f}) {
        const std::string out = v(a, 7.0f, 1.0f);
        EXPECT_EQ(out.rfind(" KARVEL 6.6  TITLE:", 0), 0u) << a;
        EXPECT_EQ(test::lines_of(out).size(), 8u + 5u) << a;
    }
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(functn.p(i), 0.0f);
}

TEST_F(VCommand, SetsValueAndStep) {
    functn.s(2) = 3.0f;
    EXPECT_EQ(v(2.7f, 5.0f), "");  // truncated to parameter 2, step left out: fixed
    EXPECT_EQ(functn.p(2), 5.0f);
    EXPECT_EQ(functn.s(2), 0.0f);
    EXPECT_EQ(prompt, 1);
    EXPECT_EQ(flags(kParametersSet), 1);

    EXPECT_EQ(v(5.0f, -2.5f, 0.8f), "");
    EXPECT_EQ(functn.p(5), -2.5f);
    EXPECT_EQ(functn.s(5), 0.8f);

    // A tie to a later parameter is accepted; only a number above n is refused.
    EXPECT_EQ(v(3.0f, 1.0f, -5.0f), "");
    EXPECT_EQ(functn.s(3), -5.0f);
    EXPECT_EQ(v(3.0f, 2.0f, -5.5f), " ONLY   5 PARAMETERS TO CONSTRAIN - NEGATIVE STEP INPUT IGNORED\n");
    EXPECT_EQ(functn.p(3), 2.0f);
    EXPECT_EQ(functn.s(3), -5.0f);

    // A step between -1 and 0 is stored as typed.
    EXPECT_EQ(v(1.0f, 4.0f, -0.5f), "");
    EXPECT_EQ(functn.s(1), -0.5f);
}

TEST_F(VCommand, FitControlValues) {
    EXPECT_EQ(v(100.0f, 50.0f), "");
    EXPECT_EQ(fitcon.maxstep, 50.0f);
    v(100.0f, 0.0f);
    v(100.0f, -1.0f);
    v(100.0f, NAN);
    EXPECT_EQ(fitcon.maxstep, 50.0f);
    v(200.0f, 0.5f);
    EXPECT_EQ(fitcon.acc, 0.5f);
    v(300.0f, 2.0f);  // no upper limit here
    EXPECT_EQ(fitcon.substep, 2.0f);
    EXPECT_EQ(prompt, 0);  // only a parameter number suppresses the option list
}

TEST_F(VCommand, OtherNumbersAboveNChangeNothing) {
    const Functn before = functn;
    const Fitcon fc = fitcon;
    for (float a : {41.0f, 6.0f, 150.0f, 299.9f, 3.0e9f, INFINITY}) {
        EXPECT_EQ(v(a, 3.0f, 1.0f), "") << a;
    }
    for (int i = 1; i <= kMaxPar; ++i) {
        EXPECT_EQ(functn.p(i), before.p(i));
        EXPECT_EQ(functn.s(i), before.s(i));
    }
    EXPECT_EQ(fitcon.maxstep, fc.maxstep);
    EXPECT_EQ(fitcon.acc, fc.acc);
    EXPECT_EQ(fitcon.substep, fc.substep);
}

}  // namespace
}  // namespace karvel
