/// Cursor read-out: the user picks positions in the last frame, each marked,
/// labelled with its coordinates and recorded in `cursorc`.
#include <cpgplot.h>

#include <string>

#include "plot/plot.h"
#include "core/channels.h"
#include "core/format.h"
#include "core/records.h"

namespace karvel {

namespace {

/// Whether the current plot device has a cursor. Asking the library for a
/// key on a device without one only earns a warning and no key.
bool device_has_cursor() {
    char value[8] = {};
    int len = static_cast<int>(sizeof value);
    cpgqinf("CURSOR", value, &len);
    return len >= 1 && (value[0] == 'Y' || value[0] == 'y');
}

bool is_pick(char ch) { return ch == ' ' || ch == 'A' || ch == 'a'; }

}  // namespace

void poscur() {
    fmt::write(io::kTerminalOut, "(' LEFT MOUSE OR TYPE SPACE FOR X,Y OR RETURN TO CONTINUE')");
    flusht(io::kTerminalOut);
    // A window closed since the drawing can give no key: the wait would never end.
    const bool lost = pgnchk();
    // The null device has no cursor.
    if (lost || unit_shows_nothing() || !device_has_cursor()) return;

    float left = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;
    float top = 0.0f;
    cpgqvp(0, &left, &right, &bottom, &top);
    float x = (left + right) / 2.0f;
    float y = (bottom + top) / 2.0f;

    for (;;) {
        char ch = '\0';
        cpgcurs(&x, &y, &ch);
        if (!is_pick(ch)) return;

        int saved = 1;
        cpgqci(&saved);
        cpgsci(1);
        cpgpt(1, &x, &y, 8);
        const std::string label = fmt::to_text(28, "(' X,Y',2G12.4)", {x, y});
        cpgtext(x, y, label.c_str());
        cpgsci(saved);

        if (cursorc.n < 100) {
            cursorc.n = cursorc.n + 1;
            cursorc.x(cursorc.n) = x;
            cursorc.y(cursorc.n) = y;
        }
    }
}

}  // namespace karvel
