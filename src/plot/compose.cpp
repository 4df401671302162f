/// Plot composition: the frame, the points and curves drawn into it, the
/// axis-limit check and the page-erase routines.
#include <cpgplot.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "plot/plot.h"
#include "core/channels.h"
#include "core/format.h"
#include "core/records.h"

namespace karvel {

namespace {

// Plot devices whose last frame failed the limit check, by the graphics
// library's device identifier (minus the unit number for a unit on the null
// device that has none). Drawing into such a frame would use whatever
// window the device had before, so points, curves and the cursor read-out
// wait for the next frame that succeeds.
std::vector<int> failed_devices;

int current_device() {
    const int unit = unit_without_library_device();
    if (unit != 0) return -unit;
    int id = 0;
    cpgqid(&id);
    return id;
}

/// Whether the last frame on the current device succeeded.
bool frame_valid() {
    const int id = current_device();
    for (int f : failed_devices)
        if (f == id) return false;
    return true;
}

void set_frame_valid(bool valid) {
    const int id = current_device();
    std::erase(failed_devices, id);
    if (!valid) failed_devices.push_back(id);
}

bool finite_point(float x, float y) { return std::isfinite(x) && std::isfinite(y); }

/// The text without trailing blanks, as the library's C interface wants it.
std::string trimmed(std::string_view t) {
    std::size_t n = t.size();
    while (n > 0 && (t[n - 1] == ' ' || t[n - 1] == '\0')) --n;
    std::string s(t.substr(0, n));
    // An embedded NUL would end the text early; show it as a blank instead.
    for (char& c : s)
        if (c == '\0') c = ' ';
    return s;
}

/// Draws a new frame; returns false when the limit check fails.
bool draw_frame(const float* x, const float* y, int n, int mode, std::string_view t1,
                std::string_view t2, std::string_view t3) {
    erase();

    float xlo = 1.0e20f;
    float ylo = 1.0e20f;
    float xhi = -1.0e20f;
    float yhi = -1.0e20f;
    if (mode == 0 && n <= 2) {
        // The two entries are the limits themselves.
        xlo = x[0];
        xhi = x[1];
        ylo = y[0];
        yhi = y[1];
    } else {
        for (int i = 0; i < n; ++i) {
            // A point that cannot be drawn does not widen the frame.
            if (!finite_point(x[i], y[i])) continue;
            xlo = std::fmin(xlo, x[i]);
            xhi = std::fmax(xhi, x[i]);
            ylo = std::fmin(ylo, y[i]);
            yhi = std::fmax(yhi, y[i]);
        }
    }
    spltc(kFrameXLow) = xlo;
    spltc(kFrameXHigh) = xhi;
    spltc(kFrameYLow) = ylo;
    spltc(kFrameYHigh) = yhi;

    if (!tdlmr(xlo, xhi, 800.0f)) return false;
    if (!tdlmr(ylo, yhi, 500.0f)) return false;

    spltc(kFrameXScale) = 1.0f / (xhi - xlo);
    spltc(kFrameYScale) = 1.0f / (yhi - ylo);

    if (unit_shows_nothing()) {
        // Nothing is drawn, but the library checks a viewport taken from the
        // plot record and reports a degenerate one on the terminal.
        const bool own_viewport = !(spltc(kViewportLeft) == 0.0f && spltc(kViewportRight) == 0.0f);
        if (own_viewport && plot_library_device())
            cpgsvp(spltc(kViewportLeft), spltc(kViewportRight), spltc(kViewportBottom), spltc(kViewportTop));
        return true;
    }

    if (spltc(kViewportLeft) == 0.0f && spltc(kViewportRight) == 0.0f) {
        // The emblem sits in a small box at the lower right corner of the page.
        cpgsvp(0.858f, 0.968f, 0.0f, 0.105f);
        cpgswin(0.0f, 1.0f, 0.0f, 1.0f);
        cpgwnad(0.0f, 1.0f, 0.0f, 1.0f);
        pubess(0.95f, 1);
        cpgsvp(0.15f, 0.85f, 0.1f, 0.8f);
    } else {
        cpgsvp(spltc(kViewportLeft), spltc(kViewportRight), spltc(kViewportBottom), spltc(kViewportTop));
    }
    cpgswin(xlo, xhi, ylo, yhi);
    cpgbox("ABCTNS", 0.0f, 4, "ABCTNSV", 0.0f, 4);

    if (spltc(kTitleSwitch) != 2.0f) {
        cpgbbuf();
        cpgmtxt("T", 1.5f, 0.5f, 0.5f, trimmed(t3).c_str());
        cpgmtxt("B", 3.2f, 0.5f, 0.5f, trimmed(t1).c_str());
        cpgmtxt("L", 5.0f, 0.5f, 0.5f, trimmed(t2).c_str());
        cpgebuf();
    }
    return true;
}

/// Markers at the points whose coordinates are finite.
void draw_markers(const float* x, const float* y, int n, int symbol) {
    std::vector<float> xs;
    std::vector<float> ys;
    xs.reserve(static_cast<std::size_t>(n));
    ys.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        if (!finite_point(x[i], y[i])) continue;
        xs.push_back(x[i]);
        ys.push_back(y[i]);
    }
    if (xs.empty()) return;
    cpgbbuf();
    cpgpt(static_cast<int>(xs.size()), xs.data(), ys.data(), symbol);
    cpgebuf();
}

/// One vertical bar from Y - E to Y + E without end marks at every point
/// where both ends are finite.
void draw_error_bars(const float* x, const float* y, const float* e, int n) {
    for (int i = 0; i < n; ++i) {
        const float top = y[i] + e[i];
        const float bottom = y[i] - e[i];
        if (!std::isfinite(x[i]) || !std::isfinite(top) || !std::isfinite(bottom)) continue;
        cpgerry(1, &x[i], &top, &bottom, 0.0f);
    }
}

/// A polyline in the given style, broken at points that are not finite.
void draw_polyline(const float* x, const float* y, int n, int style) {
    int saved = 1;
    cpgqls(&saved);
    cpgsls(style);
    cpgbbuf();
    int i = 0;
    while (i < n) {
        while (i < n && !finite_point(x[i], y[i])) ++i;
        const int start = i;
        while (i < n && finite_point(x[i], y[i])) ++i;
        if (i - start >= 2) cpgline(i - start, x + start, y + start);
    }
    cpgebuf();
    cpgsls(saved);
}

}  // namespace

bool plot_frame_valid() {
    // A screen that replaces a lost window has no frame to draw into yet.
    if (pgnchk()) set_frame_valid(false);
    return frame_valid();
}

bool plot_draws() { return plot_frame_valid() && !unit_shows_nothing(); }

bool tdlmr(float low, float high, float dimension) {
    if (high > low && dimension > 0.0f && std::isfinite(high - low)) return true;
    fmt::write(io::kTerminalOut, "(/,/,/,10X,'SMI =',E13.5,5X,'SMA =',E13.5,10X,'DIMENSION =',E13.5)",
               {low, high, dimension});
    return false;
}

void rsplt(const float* x, const float* y, const float* e, int n, int mode, int bars,
           std::string_view t1, std::string_view t2, std::string_view t3) {
    if (n < 0) n = 0;
    if (mode >= 0) {
        const bool ok = draw_frame(x, y, n, mode, t1, t2, t3);
        set_frame_valid(ok);
        if (!ok || mode == 0) return;
    } else if (!plot_frame_valid()) {
        return;
    }

    // |mode| without overflow for the most negative code.
    const long long a = std::llabs(static_cast<long long>(mode));
    if (unit_shows_nothing()) {
        // Nothing is drawn on the null device.
    } else if (a <= 99) {
        draw_markers(x, y, n, static_cast<int>(a));
        if (bars != 0) draw_error_bars(x, y, e, n);
    } else {
        draw_polyline(x, y, n, static_cast<int>(a / 100));
    }

    if (spltc(kCursorRequest) != 0.0f) poscur();
}

void erase() {
    pgnchk();
    if (unit_shows_nothing()) return;
    cpgask(0);
    cpgpage();
}

void terase() {
    if (tekenv != 0) {
        erase();
        flags(kNoPlot) = 0;
    }
}

}  // namespace karvel
