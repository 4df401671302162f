/// The package's emblem: a fitted peak through three measured points, drawn
/// in a small box of the frame's page.
#include <cpgplot.h>

#include "plot/plot.h"

namespace karvel {

namespace {

// The design lives on a square of 30 by 30 units whose centre is (15, 15).
// A peak curve of 13 points rises from a straight baseline; three open
// circles (the measured points) sit on its flanks and its top, each with two
// notches cut out by background rectangles so that they read as error marks.
constexpr int kCurvePoints = 13;
constexpr float kCurveX[kCurvePoints] = {3.0f,  5.0f,  7.0f,  9.0f,  11.0f, 13.0f, 15.0f,
                                         17.0f, 19.0f, 21.0f, 23.0f, 25.0f, 27.0f};
// 7 + 15 exp(-((x - 15) / 5)^2 / 2), rounded to two decimals.
constexpr float kCurveY[kCurvePoints] = {7.84f,  9.03f,  11.17f, 14.30f, 17.89f, 20.85f, 22.00f,
                                         20.85f, 17.89f, 14.30f, 11.17f, 9.03f,  7.84f};

struct Circle {
    float x, y, r;
};
constexpr Circle kCircles[3] = {{10.0f, 16.10f, 2.6f}, {15.0f, 22.0f, 2.6f}, {20.0f, 16.10f, 2.6f}};

}  // namespace

void pubess(float size, int ring) {
    const float s = size / 30.0f;
    for (const Circle& c : kCircles) {
        cpgsfs(2);
        cpgsci(1);
        cpgcirc(c.x * s, c.y * s, c.r * s);
        // Two notches, left and right, a third of the radius high.
        cpgsfs(1);
        cpgsci(0);
        const float h = c.r / 3.0f;
        cpgrect((c.x - c.r - 0.3f) * s, (c.x - c.r + 0.8f) * s, (c.y - h / 2.0f) * s,
                (c.y + h / 2.0f) * s);
        cpgrect((c.x + c.r - 0.8f) * s, (c.x + c.r + 0.3f) * s, (c.y - h / 2.0f) * s,
                (c.y + h / 2.0f) * s);
    }

    cpgsfs(2);
    cpgsci(1);
    if (ring == 1) cpgcirc(15.0f * s, 15.0f * s, 15.0f * s);

    float xs[kCurvePoints];
    float ys[kCurvePoints];
    for (int i = 0; i < kCurvePoints; ++i) {
        xs[i] = kCurveX[i] * s;
        ys[i] = kCurveY[i] * s;
    }
    cpgline(kCurvePoints, xs, ys);

    const float bx[2] = {3.0f * s, 27.0f * s};
    const float by[2] = {7.0f * s, 7.0f * s};
    cpgline(2, bx, by);
}

}  // namespace karvel
