/// Plot composition drawn on the real graphics library into PostScript files:
/// frames, markers, error bars, polylines, the limit check and page erase.
#include <algorithm>
#include <cmath>
#include <limits>

#include "plot_fixture.h"

namespace {

using karvel::rsplt;
using karvel::spltc;
using enum karvel::SpltcEntry;
using plottest::has_plus_at;
using plottest::has_segment;
using plottest::Page;
using plottest::query_frame;
using plottest::segments_in;

const karvel::Text<20> kXTitle("CHANNEL");
const karvel::Text<20> kYTitle("COUNTS");
const karvel::Text<50> kTitle("MY TITLE");

void frame(const float* x, const float* y, int n, int mode) {
    rsplt(x, y, y, n, mode, 0, kXTitle.view(), kYTitle.view(), kTitle.view());
}
void draw(const float* x, const float* y, const float* e, int n, int mode, int bars) {
    rsplt(x, y, e, n, mode, bars, kXTitle.view(), kYTitle.view(), kTitle.view());
}

bool has_text(const Page& p, const std::string& t) {
    return std::find(p.texts.begin(), p.texts.end(), t) != p.texts.end();
}

/// Segments inside the emblem's box at the lower right corner of the page.
int emblem_segments(const plottest::PsFile& f, const Page& p) {
    return segments_in(p, 0.858 * f.width, 0.968 * f.width, (1.0 - 0.105) * f.height, f.height);
}

using PlotCompose = plottest::PlotFile;

TEST_F(PlotCompose, ModeZeroFramesTheLimitsOrTheDataExactly) {
    open("frame.ps");
    const float x[2] = {2.0f, 7.0f};
    const float y[2] = {-1.0f, 3.0f};
    frame(x, y, 2, 0);

    float win[4];
    float vp[4];
    query_frame(win, vp);
    EXPECT_EQ(win[0], 2.0f);
    EXPECT_EQ(win[1], 7.0f);
    EXPECT_EQ(win[2], -1.0f);
    EXPECT_EQ(win[3], 3.0f);
    EXPECT_NEAR(vp[0], 0.15f, 1e-6);
    EXPECT_NEAR(vp[1], 0.85f, 1e-6);
    EXPECT_NEAR(vp[2], 0.10f, 1e-6);
    EXPECT_NEAR(vp[3], 0.80f, 1e-6);
    EXPECT_EQ(spltc(kFrameXLow), 2.0f);
    EXPECT_EQ(spltc(kFrameXHigh), 7.0f);
    EXPECT_EQ(spltc(kFrameYLow), -1.0f);
    EXPECT_EQ(spltc(kFrameYHigh), 3.0f);
    EXPECT_EQ(spltc(kFrameXScale), 0.2f);
    EXPECT_EQ(spltc(kFrameYScale), 0.25f);
    // The emblem leaves colour index 1 and outline fill.
    int ci = 0;
    int fs = 0;
    cpgqci(&ci);
    cpgqfs(&fs);
    EXPECT_EQ(ci, 1);
    EXPECT_EQ(fs, 2);

    // With more than two points mode 0 frames the extremes of the data.
    const float x3[3] = {5.0f, 1.0f, 3.0f};
    const float y3[3] = {0.0f, 9.0f, 4.0f};
    frame(x3, y3, 3, 0);
    query_frame(win, vp);
    EXPECT_EQ(win[0], 1.0f);
    EXPECT_EQ(win[1], 5.0f);
    EXPECT_EQ(win[2], 0.0f);
    EXPECT_EQ(win[3], 9.0f);

    const auto file = close_and_read();
    ASSERT_EQ(file.pages.size(), 2u);
    const Page& p = file.pages[0];
    const plottest::Frame f{2, 7, -1, 3, 0.15, 0.85, 0.1, 0.8, file.width, file.height};
    // Frame edges on the viewport, and the axis line through y = 0.
    EXPECT_TRUE(has_segment(p, f.px(2), f.py(-1), f.px(7), f.py(-1)));
    EXPECT_TRUE(has_segment(p, f.px(2), f.py(3), f.px(7), f.py(3)));
    EXPECT_TRUE(has_segment(p, f.px(2), f.py(-1), f.px(2), f.py(3)));
    EXPECT_TRUE(has_segment(p, f.px(2), f.py(0), f.px(7), f.py(0)));
    // Titles without their padding, and the emblem in its corner.
    EXPECT_TRUE(has_text(p, "MY TITLE"));
    EXPECT_TRUE(has_text(p, "CHANNEL"));
    EXPECT_TRUE(has_text(p, "COUNTS"));
    EXPECT_GT(emblem_segments(file, p), 10);
    EXPECT_TRUE(terminal().empty());
}

TEST_F(PlotCompose, PositiveModeErasesFramesTheDataAndDrawsItsMarkers) {
    open("mode2.ps");
    float x[10];
    float y[10];
    for (int i = 0; i < 10; ++i) {
        x[i] = 1.5f * static_cast<float>(i) - 3.0f;           // -3 .. 10.5
        y[i] = static_cast<float>((i * 7) % 10) + 2.0f;       // 2 .. 11, unordered
    }
    draw(x, y, y, 10, 2, 0);

    float win[4];
    float vp[4];
    query_frame(win, vp);
    EXPECT_EQ(win[0], -3.0f);
    EXPECT_EQ(win[1], 10.5f);
    EXPECT_EQ(win[2], 2.0f);
    EXPECT_EQ(win[3], 11.0f);

    const auto file = close_and_read();
    ASSERT_EQ(file.pages.size(), 1u);
    const auto f = current_frame(file, win, vp);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(has_plus_at(file.pages[0], f.px(x[i]), f.py(y[i]))) << "point " << i;
}

TEST_F(PlotCompose, PolylineUsesTheStyleOfItsCodeAndRestoresTheOldOne) {
    open("lines.ps");
    const float lim[2] = {0.0f, 10.0f};
    frame(lim, lim, 2, 0);
    const float x[3] = {1.0f, 4.0f, 8.0f};
    const float y[3] = {1.0f, 6.0f, 2.0f};
    const float y2[3] = {3.0f, 8.0f, 4.0f};
    const float y3[3] = {5.0f, 9.0f, 6.0f};

    cpgsls(3);
    draw(x, y, y, 3, -250, 0);
    int ls = 0;
    cpgqls(&ls);
    EXPECT_EQ(ls, 3);
    draw(x, y2, y2, 3, -199, 0);
    cpgqls(&ls);
    EXPECT_EQ(ls, 3);

    // The library's own dashed line of style 2, and style 3, for comparison.
    const float rx[2] = {0.5f, 9.5f};
    const float r2[2] = {9.5f, 9.5f};
    const float r3[2] = {9.8f, 9.8f};
    cpgsls(2);
    cpgline(2, rx, r2);
    cpgsls(3);
    cpgline(2, rx, r3);
    draw(x, y3, y3, 3, 100, 0);  // a positive code erases and draws the same way
    cpgqls(&ls);
    EXPECT_EQ(ls, 3);

    float win[4];
    float vp[4];
    query_frame(win, vp);
    const auto file = close_and_read();
    ASSERT_EQ(file.pages.size(), 2u);
    const Page& p = file.pages[0];
    const plottest::Frame f{0, 10, 0, 10, 0.15, 0.85, 0.1, 0.8, file.width, file.height};

    auto dash_of = [&](double x1, double y1, double x2, double y2) -> std::string {
        for (const auto& s : p.segments)
            if (plottest::near(s.x1, x1) && plottest::near(s.y1, y1) && plottest::near(s.x2, x2) &&
                plottest::near(s.y2, y2))
                return s.dash;
        ADD_FAILURE() << "no segment from " << x1 << "," << y1;
        return "?";
    };
    const std::string style2 = dash_of(f.px(0.5), f.py(9.5), f.px(9.5), f.py(9.5));
    const std::string style3 = dash_of(f.px(0.5), f.py(9.8), f.px(9.5), f.py(9.8));
    ASSERT_FALSE(style2.empty());
    ASSERT_NE(style2, style3);
    EXPECT_EQ(dash_of(f.px(1), f.py(1), f.px(4), f.py(6)), style2);
    EXPECT_EQ(dash_of(f.px(4), f.py(6), f.px(8), f.py(2)), style2);
    EXPECT_EQ(dash_of(f.px(1), f.py(3), f.px(4), f.py(8)), "");
    EXPECT_EQ(dash_of(f.px(4), f.py(8), f.px(8), f.py(4)), "");

    // Mode 100 framed its own three points on a new page, in a full line.
    const auto g = current_frame(file, win, vp);
    EXPECT_EQ(win[0], 1.0f);
    EXPECT_EQ(win[3], 9.0f);
    bool found = false;
    for (const auto& s : file.pages[1].segments)
        if (plottest::near(s.x1, g.px(1)) && plottest::near(s.y1, g.py(5)) &&
            plottest::near(s.x2, g.px(4)) && plottest::near(s.y2, g.py(9))) {
            found = true;
            EXPECT_EQ(s.dash, "");
        }
    EXPECT_TRUE(found);
}

TEST_F(PlotCompose, ErrorBarsAreVerticalWithoutEndMarks) {
    open("bars.ps");
    const float lim[2] = {0.0f, 10.0f};
    frame(lim, lim, 2, 0);
    const float x[2] = {5.0f, 2.0f};
    const float y[2] = {5.0f, 7.0f};
    const float e[2] = {2.0f, 0.5f};
    draw(x, y, e, 2, -2, 1);
    // The same points without the flag on a page of their own.
    frame(lim, lim, 2, 0);
    draw(x, y, e, 2, -2, 0);

    const auto file = close_and_read();
    ASSERT_EQ(file.pages.size(), 2u);
    const plottest::Frame f{0, 10, 0, 10, 0.15, 0.85, 0.1, 0.8, file.width, file.height};
    const Page& with = file.pages[0];
    const Page& without = file.pages[1];
    EXPECT_TRUE(has_plus_at(with, f.px(5), f.py(5)));
    EXPECT_TRUE(has_plus_at(with, f.px(2), f.py(7)));
    EXPECT_TRUE(has_segment(with, f.px(5), f.py(3), f.px(5), f.py(7)));
    EXPECT_TRUE(has_segment(with, f.px(2), f.py(6.5), f.px(2), f.py(7.5)));
    EXPECT_FALSE(has_segment(without, f.px(5), f.py(3), f.px(5), f.py(7)));
    // No horizontal stroke at either end of a bar.
    for (const auto& s : with.segments) {
        const bool horizontal = plottest::near(s.y1, s.y2, 1e-3) && std::fabs(s.x1 - s.x2) > 0.01;
        if (!horizontal) continue;
        EXPECT_FALSE(plottest::near(s.y1, f.py(3)) && plottest::near((s.x1 + s.x2) / 2, f.px(5)));
        EXPECT_FALSE(plottest::near(s.y1, f.py(7)) && plottest::near((s.x1 + s.x2) / 2, f.px(5)));
    }
}

TEST_F(PlotCompose, NonFiniteCoordinatesAreSkippedAndBreakPolylines) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    open("nonfinite.ps");
    // The frame from data ignores points that cannot be drawn.
    const float x[5] = {2.0f, nan, 6.0f, 8.0f, 9.0f};
    const float y[5] = {2.0f, 4.0f, inf, 8.0f, 3.0f};
    const float e[5] = {1.0f, 1.0f, 1.0f, nan, 1.0f};
    draw(x, y, e, 5, 2, 1);
    float win[4];
    float vp[4];
    query_frame(win, vp);
    EXPECT_EQ(win[0], 2.0f);
    EXPECT_EQ(win[1], 9.0f);
    EXPECT_EQ(win[2], 2.0f);
    EXPECT_EQ(win[3], 8.0f);

    const float lx[6] = {3.0f, 4.0f, 5.0f, nan, 7.0f, 8.0f};
    const float ly[6] = {3.0f, 5.0f, 4.0f, 6.0f, 7.0f, -inf};
    draw(lx, ly, ly, 6, -100, 0);
    const float mx[2] = {4.0f, nan};
    const float my[2] = {4.0f, 4.0f};
    draw(mx, my, my, 2, -150, 0);  // nothing left to join

    // Data that are all non-finite give no frame, and nothing hangs.
    const float bad[3] = {nan, inf, -inf};
    draw(bad, bad, bad, 3, 2, 1);
    EXPECT_FALSE(karvel::plot_frame_valid());

    const auto file = close_and_read();
    ASSERT_EQ(file.pages.size(), 2u);
    const Page& p = file.pages[0];
    const auto f = current_frame(file, win, vp);
    EXPECT_TRUE(has_plus_at(p, f.px(2), f.py(2)));
    EXPECT_TRUE(has_plus_at(p, f.px(8), f.py(8)));
    EXPECT_TRUE(has_plus_at(p, f.px(9), f.py(3)));
    EXPECT_TRUE(has_segment(p, f.px(2), f.py(1), f.px(2), f.py(3)));  // bar of point 1
    EXPECT_TRUE(has_segment(p, f.px(9), f.py(2), f.px(9), f.py(4)));  // bar of point 5
    // The polyline: 1-2-3, then a break; point 5 alone is not joined to anything.
    EXPECT_TRUE(has_segment(p, f.px(3), f.py(3), f.px(4), f.py(5)));
    EXPECT_TRUE(has_segment(p, f.px(4), f.py(5), f.px(5), f.py(4)));
    for (const auto& s : p.segments) {
        EXPECT_TRUE(std::isfinite(s.x1) && std::isfinite(s.y1) && std::isfinite(s.x2) &&
                    std::isfinite(s.y2));
        EXPECT_FALSE(plottest::near(s.x1, f.px(7)) && plottest::near(s.y1, f.py(7)));
        EXPECT_FALSE(plottest::near(s.x2, f.px(7)) && plottest::near(s.y2, f.py(7)));
        EXPECT_FALSE(plottest::near(s.x1, f.px(4)) && plottest::near(s.y1, f.py(4)) &&
                     std::fabs(s.y1 - s.y2) < 1e-3 && std::fabs(s.x1 - s.x2) > 10.0);
    }
    // The failed frame's page stays blank.
    EXPECT_TRUE(file.pages[1].segments.empty());
}

TEST_F(PlotCompose, DegenerateFrameIsReportedAndSkipsDrawingUntilTheNextGoodFrame) {
    // Three empty lines and 10 + 5 + 13 + 5 + 5 + 13 + 10 + 11 + 13 characters.
    constexpr std::size_t kReport = 3 + 85 + 1;
    open("degenerate.ps");
    spltc(kCursorRequest) = 1.0f;  // cursor read-out requested
    const float x[2] = {4.0f, 4.0f};
    const float y[2] = {0.0f, 1.0f};
    frame(x, y, 2, 0);
    EXPECT_FALSE(karvel::plot_frame_valid());
    EXPECT_EQ(terminal(),
              "\n\n\n          SMI =  0.40000E+01     SMA =  0.40000E+01"
              "          DIMENSION =  0.80000E+03\n");
    EXPECT_EQ(spltc(kFrameXLow), 4.0f);
    EXPECT_EQ(spltc(kFrameXHigh), 4.0f);

    // Neither markers nor curves nor the cursor prompt follow.
    const float fx[2] = {1.0f, 3.0f};
    const float fy[2] = {3.0f, 1.0f};
    draw(fx, fy, fy, 2, -2, 1);
    draw(fx, fy, fy, 2, -100, 0);
    const float px[1] = {2.0f};
    EXPECT_EQ(terminal().size(), kReport);

    // The y axis is checked once the x axis passes; reversed limits fail too.
    const float gx[2] = {0.0f, 1.0f};
    const float gy[2] = {3.0f, -3.0f};
    frame(gx, gy, 2, 0);
    EXPECT_EQ(terminal().substr(kReport),
              "\n\n\n          SMI =  0.30000E+01     SMA = -0.30000E+01"
              "          DIMENSION =  0.50000E+03\n");
    // A frame from no data at all.
    draw(px, px, px, 0, 2, 0);
    EXPECT_EQ(terminal().substr(2 * kReport),
              "\n\n\n          SMI =  0.10000E+21     SMA = -0.10000E+21"
              "          DIMENSION =  0.80000E+03\n");

    // A good frame puts drawing back on, the cursor prompt included.
    const float ok[2] = {0.0f, 4.0f};
    frame(ok, ok, 2, 0);
    EXPECT_TRUE(karvel::plot_frame_valid());
    EXPECT_EQ(spltc(kFrameXScale), 0.25f);
    draw(px, px, px, 1, -2, 0);
    EXPECT_EQ(terminal().substr(3 * kReport),
              " LEFT MOUSE OR TYPE SPACE FOR X,Y OR RETURN TO CONTINUE\n");

    // Each frame erased its page; only the last one holds a drawing (the
    // library does not keep blank pages between others).
    const auto file = close_and_read();
    ASSERT_GE(file.pages.size(), 1u);
    for (std::size_t i = 0; i + 1 < file.pages.size(); ++i)
        EXPECT_TRUE(file.pages[i].segments.empty()) << "page " << i;
    const Page& last = file.pages.back();
    const plottest::Frame f{0, 4, 0, 4, 0.15, 0.85, 0.1, 0.8, file.width, file.height};
    EXPECT_TRUE(has_plus_at(last, f.px(2), f.py(2)));
    EXPECT_FALSE(has_plus_at(last, f.px(1), f.py(3)));
    EXPECT_FALSE(has_plus_at(last, f.px(3), f.py(1)));
    EXPECT_FALSE(has_segment(last, f.px(1), f.py(3), f.px(3), f.py(1)));
}

TEST_F(PlotCompose, TitleSwitchAndViewportEntries) {
    open("layout.ps");
    const float lim[2] = {0.0f, 1.0f};
    spltc(kTitleSwitch) = 2.0f;
    frame(lim, lim, 2, 0);

    spltc(kTitleSwitch) = 0.0f;
    spltc(kViewportLeft) = 0.2f;
    spltc(kViewportRight) = 0.9f;
    spltc(kViewportBottom) = 0.3f;
    spltc(kViewportTop) = 0.7f;
    frame(lim, lim, 2, 0);
    float win[4];
    float vp[4];
    query_frame(win, vp);
    EXPECT_NEAR(vp[0], 0.2f, 1e-6);
    EXPECT_NEAR(vp[1], 0.9f, 1e-6);
    EXPECT_NEAR(vp[2], 0.3f, 1e-6);
    EXPECT_NEAR(vp[3], 0.7f, 1e-6);

    const auto file = close_and_read();
    ASSERT_EQ(file.pages.size(), 2u);
    EXPECT_FALSE(has_text(file.pages[0], "MY TITLE"));
    EXPECT_FALSE(has_text(file.pages[0], "CHANNEL"));
    EXPECT_FALSE(has_text(file.pages[0], "COUNTS"));
    EXPECT_GT(emblem_segments(file, file.pages[0]), 10);

    EXPECT_TRUE(has_text(file.pages[1], "MY TITLE"));
    EXPECT_EQ(emblem_segments(file, file.pages[1]), 0);
    const plottest::Frame f{0, 1, 0, 1, 0.2, 0.9, 0.3, 0.7, file.width, file.height};
    EXPECT_TRUE(has_segment(file.pages[1], f.px(0), f.py(0), f.px(1), f.py(0)));
}

TEST_F(PlotCompose, TeraseErasesOnlyASharedScreen) {
    open("terase.ps");
    const float lim[2] = {0.0f, 1.0f};
    frame(lim, lim, 2, 0);

    karvel::flags(karvel::kNoPlot) = 1;
    karvel::tekenv = 0;
    karvel::terase();
    EXPECT_EQ(karvel::flags(karvel::kNoPlot), 1);

    karvel::tekenv = 1;
    karvel::terase();
    EXPECT_EQ(karvel::flags(karvel::kNoPlot), 0);

    const auto file = close_and_read();
    ASSERT_EQ(file.pages.size(), 2u);
    EXPECT_FALSE(file.pages[0].segments.empty());
    EXPECT_TRUE(file.pages[1].segments.empty());
}

}  // namespace
