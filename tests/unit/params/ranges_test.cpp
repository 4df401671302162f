/// Fitting ranges, point selection, extrapolation marks and the X and Y commands.
#include <gtest/gtest.h>

#include <cmath>

#include "params/params.h"
#include "core/records.h"
#include "support/terminal.h"

namespace karvel {
namespace {

class Ranges : public ::testing::Test {
protected:
    void SetUp() override {
        reset_records();
        tin.out = io::kTerminalOut;
        // Twenty points at x = -7 .. 12.
        reditc.n = 20;
        for (int i = 1; i <= 20; ++i) {
            reditc.x(i) = static_cast<float>(i - 8);
            reditc.y(i) = 100.0f + static_cast<float>(i);
            reditc.e(i) = 0.5f * static_cast<float>(i);
        }
        obsdat.n = 20;
        pltlim(kDataXMin) = -7.0f;
        pltlim(kDataXMax) = 12.0f;
        pltlim(kPlotXMin) = -10.0f;
        pltlim(kPlotXMax) = 20.0f;
    }

    std::string o(std::initializer_list<float> nums) {
        float bounds[6] = {};
        int i = 0;
        for (float f : nums) bounds[i++] = f;
        return test::terminal([&] { set_fitting_ranges(bounds); });
    }

    static std::string count_line(int m) {
        char buf[80];
        std::snprintf(buf, sizeof buf, " THERE ARE %4d DATA POINTS IN CURRENT FITTING RANGE\n", m);
        return buf;
    }
};

TEST_F(Ranges, OnlySelectsInsideInclusiveBounds) {
    EXPECT_EQ(o({0, 0, 5, 10}), count_line(6));
    EXPECT_EQ(fitlim.nactive, 1);
    EXPECT_EQ(fitlim.bound(3), 5.0f);
    EXPECT_EQ(fitlim.bound(4), 10.0f);
    EXPECT_EQ(fitlim.m, 6);
    EXPECT_EQ(fitlim.first, 1);
    EXPECT_EQ(fitlim.last, 6);
    for (int k = 1; k <= 6; ++k) {
        EXPECT_EQ(obsdat.x(k), static_cast<float>(4 + k));  // 5..10, compacted from entry 1
        EXPECT_EQ(obsdat.y(k), reditc.y(k + 12));
        EXPECT_EQ(obsdat.e(k), reditc.e(k + 12));
    }

    EXPECT_EQ(o({-5, 0}), count_line(6));  // -5..0 is a valid range
    EXPECT_EQ(obsdat.x(1), -5.0f);
    EXPECT_EQ(obsdat.x(6), 0.0f);

    EXPECT_EQ(o({-7, -6, 0, 0, 11, 30}), count_line(4));
    EXPECT_EQ(fitlim.nactive, 2);
    EXPECT_EQ(obsdat.x(3), 11.0f);

    EXPECT_EQ(o({100, 200}), count_line(0));  // a range with no point in it
    EXPECT_EQ(fitlim.m, 0);

    EXPECT_EQ(o({}), count_line(20));  // O alone clears every range
    EXPECT_EQ(fitlim.nactive, 0);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(fitlim.bound(i), 0.0f);
    EXPECT_EQ(obsdat.x(20), 12.0f);
}

TEST_F(Ranges, BadPairRefusesTheWholeLine) {
    o({0, 0, 5, 10});
    flags(kNoPlot) = 1;
    const std::string refused = " RANGE MUST BE SET IN INCREASING ORDER\n";
    EXPECT_EQ(o({10, 5}), refused);
    EXPECT_EQ(flags(kNoPlot), 0);
    EXPECT_EQ(o({1, 2, 7, 7}), refused);  // the good first pair is not applied either
    EXPECT_EQ(o({1, 2, 0, 0, 0, -3}), refused);
    EXPECT_EQ(o({NAN, 2}), refused);
    EXPECT_EQ(fitlim.nactive, 1);
    EXPECT_EQ(fitlim.bound(1), 0.0f);
    EXPECT_EQ(fitlim.bound(3), 5.0f);
    EXPECT_EQ(fitlim.bound(4), 10.0f);
    EXPECT_EQ(fitlim.m, 6);
    EXPECT_EQ(obsdat.x(1), 5.0f);
}

TEST_F(Ranges, QuietSelectionPrintsNothing) {
    quiet = 1;
    EXPECT_EQ(o({0, 0, 5, 10}), "");
    EXPECT_EQ(fitlim.m, 6);
}

TEST_F(Ranges, MarksBeyondTheData) {
    // Data from 10 to 90 in a window from 0 to 100, no range.
    pltlim(kDataXMin) = 10.0f;
    pltlim(kDataXMax) = 90.0f;
    pltlim(kPlotXMin) = 0.0f;
    pltlim(kPlotXMax) = 100.0f;
    kvmark();
    ASSERT_EQ(extplt.n, 39);
    const double d = 100.0 / 202.0;
    EXPECT_NEAR(extplt.x(1), d, 1e-5);
    EXPECT_NEAR(extplt.x(20), 20 * d, 1e-4);  // the last one below 10
    EXPECT_LT(extplt.x(20), 10.0f);
    EXPECT_NEAR(extplt.x(21), 182 * d, 1e-3);  // the first one above 90
    EXPECT_NEAR(extplt.x(39), 99.0099, 1e-3);

    // With the range 20..30 the positions between the data and the range,
    // and beyond it, are marked too: all but the 20 inside it.
    fitlim.nactive = 1;
    fitlim.bound(1) = 20.0f;
    fitlim.bound(2) = 30.0f;
    kvmark();
    EXPECT_EQ(extplt.n, 180);
    for (int k = 1; k <= extplt.n; ++k) {
        EXPECT_FALSE(extplt.x(k) >= 20.0f && extplt.x(k) <= 30.0f) << k;
    }
}

class Limits : public Ranges {
protected:
    std::string x(float a, float b) {
        return test::terminal([&] { kvxset(pltlic.x, a, b); });
    }
    std::string y(float a, float b) {
        return test::terminal([&] { kvyset(pltlic.y, a, b); });
    }
};

TEST_F(Limits, XShowsSetsOrRefuses) {
    pltlic.x = "CHANNEL";
    pltlim(kDataXMin) = 10.0f;
    pltlim(kDataXMax) = 90.0f;
    pltlim(kPlotXMin) = 0.0f;
    pltlim(kPlotXMax) = 100.0f;
    const std::string shown =
        " CURRENT DATA LIMITS:  X = CHANNEL             \n"
        "    XMIN =    10.00        XMAX =    90.00    \n"
        "\n"
        " PLOT LIMITS:\n"
        "    XMIN =    0.000        XMAX =    100.0    \n";
    extplt.n = -1;
    EXPECT_EQ(x(0, 0), shown);
    EXPECT_EQ(extplt.n, 39);  // the display recomputes the marks
    extplt.n = -1;
    EXPECT_EQ(x(3, 3), shown);
    EXPECT_EQ(extplt.n, 39);

    EXPECT_EQ(x(1, 100), "");
    EXPECT_EQ(pltlim(kPlotXMin), 1.0f);
    EXPECT_EQ(pltlim(kPlotXMax), 100.0f);
    EXPECT_EQ(extplt.n, 39);  // still the marks of the previous window
    EXPECT_NEAR(extplt.x(1), 100.0 / 202.0, 1e-5);

    EXPECT_EQ(x(100, 1), " ILLEGAL LIMITS (MIN => MAX)\n");
    EXPECT_EQ(x(NAN, 1), " ILLEGAL LIMITS (MIN => MAX)\n");
    EXPECT_EQ(pltlim(kPlotXMin), 1.0f);
    EXPECT_EQ(pltlim(kPlotXMax), 100.0f);
}

TEST_F(Limits, YShowsSetsOrRefusesAndLeavesTheMarks) {
    pltlic.y = "COUNTS";
    pltlim(kDataYMin) = -2.5f;
    pltlim(kDataYMax) = 1234.0f;
    extplt.n = 7;
    EXPECT_EQ(y(5, 50), "");
    EXPECT_EQ(pltlim(kPlotYMin), 5.0f);
    EXPECT_EQ(pltlim(kPlotYMax), 50.0f);
    EXPECT_EQ(pltlim(kPlotXMin), -10.0f);  // the x window is not touched
    EXPECT_EQ(y(0, 0),
              " CURRENT DATA LIMITS:  Y = COUNTS              \n"
              "    YMIN =   -2.500        YMAX =    1234.    \n"
              "\n"
              " PLOT LIMITS:\n"
              "    YMIN =    5.000        YMAX =    50.00    \n");
    EXPECT_EQ(y(9, -9), " ILLEGAL LIMITS (MIN => MAX)\n");
    EXPECT_EQ(pltlim(kPlotYMin), 5.0f);
    EXPECT_EQ(extplt.n, 7);
}

}  // namespace
}  // namespace karvel
