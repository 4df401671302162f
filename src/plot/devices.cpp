/// The plot device manager: eight logical plot units on the graphics
/// library, numbered hardcopy files and their print command.
#include <cpgplot.h>

#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "plot/plot.h"
#include "plot/xwatch.h"
#include "core/channels.h"
#include "core/files.h"
#include "core/format.h"

namespace karvel {

namespace {

constexpr int kUnits = 8;

/// Module state shared by the six operations; all units start closed.
struct DeviceState {
    int icur = 0;                          // unit selected in the library, 0 = none
    std::array<int, kUnits + 1> irdev{};   // library identifier by unit, 0 = none
    // Units open on the null device. Such a unit shows nothing, and it has no
    // library device (irdev 0) until a check that can write on the terminal
    // needs one (see plot_library_device). Set when the unit is opened,
    // cleared when it is closed.
    std::array<bool, kUnits + 1> null_device{};
    std::array<int, kUnits + 1> iitype{};  // device-type code by unit
    std::array<Text<30>, kUnits + 1> ffname{};
    std::array<Text<8>, kUnits + 1> defdev{};
    Text<8> defscr{"/GW"};

    DeviceState() {
        defdev[1] = "/GW";
        defdev[2] = "/CPS";
        for (int u = 3; u <= kUnits; ++u) defdev[u] = "?";
    }
};

DeviceState& state() {
    static DeviceState s;
    return s;
}

/// File-name extension and its counted length, by hardcopy type code.
struct Extension {
    std::string_view text;
    int counted;
};
constexpr std::array<Extension, 10> kHcext = {{
    {".ps", 3}, {"#.gif", 5}, {".hjp", 4}, {".ljp", 4}, {".tex", 4},
    {"", 0}, {".pdf", 4}, {".png", 4}, {".svg", 4}, {"", 0},
}};

/// One row of the device-type table. A row marked first_only matches on the
/// first character of the type only.
struct TypeRow {
    std::string_view key;
    int code;
    bool first_only;
};
constexpr std::array<TypeRow, 20> kTypes = {{
    {"PS", 1, false},  {"GI", 2, false},  {"HJ", 3, false},  {"LJ", 4, false},
    {"LA", 5, false},  {"NU", 6, false},  {"PD", 7, false},  {"PN", 8, false},
    {"SV", 9, false},  {"XD", 11, false}, {"XS", 12, false}, {"XW", 13, false},
    {"W", 14, true},   {"GW", 15, false}, {"CGW", 23, false}, {"TEK", 21, false},
    {"TK4", 21, false}, {"KR", 21, false}, {"XTK", 21, false}, {"MS", 22, false},
}};

/// Classifies an upper-case type (at most 8 characters); the last match wins.
int classify(std::string_view type) {
    int code = 0;
    for (const TypeRow& row : kTypes) {
        const bool found = row.first_only ? type.substr(0, row.key.size()) == row.key
                                          : type.find(row.key) != std::string_view::npos;
        if (found) code = row.code;
    }
    return code;
}

bool in_range(int unit) { return unit >= 1 && unit <= kUnits; }

/// Whether the unit is open: on a library device or on the null device.
bool is_open(int unit) {
    const DeviceState& st = state();
    return in_range(unit) && (st.irdev[unit] != 0 || st.null_device[unit]);
}

/// Position of the first blank (1-based), or 0 when there is none.
int first_blank(std::string_view s) {
    const std::size_t p = s.find(' ');
    return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

std::string cut(std::string s, std::size_t n) {
    if (s.size() > n) s.resize(n);
    return s;
}

bool ends_with_nocase(std::string_view s, std::string_view tail) {
    if (tail.empty() || s.size() < tail.size()) return false;
    return grtoup(s.substr(s.size() - tail.size())) == grtoup(tail);
}

/// Plots per hardcopy page from PGPLOT_ZOV_PPAGE: a whole number of at
/// least 1 (its first item, blanks or a comma ending it); anything else
/// keeps one plot per page.
int plots_per_page() {
    Text<10> value;
    if (grgenv("ZOV_PPAGE", value) <= 0) return 1;
    std::string_view v = value.view();
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    const std::size_t end = v.find_first_of(" ,");
    if (end != std::string_view::npos) v = v.substr(0, end);
    bool negative = false;
    if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
        negative = v.front() == '-';
        v.remove_prefix(1);
    }
    if (v.empty()) return 1;
    long long p = 0;
    for (char c : v) {
        if (c < '0' || c > '9') return 1;
        p = p * 10 + (c - '0');  // at most 9 digits fit in the field
    }
    if (negative || p < 1) return 1;
    return p > INT_MAX ? INT_MAX : static_cast<int>(p);
}

/// Draws the next hardcopy number from the counter file and writes it back:
/// one more than the last, modulo 1000 (so 000 follows 999). A counter file
/// that holds no number, or cannot be read, gives 001; a failure is reported
/// and the open goes on with the number.
int next_hardcopy_number() {
    const int channel = grglun();
    // The field holds at most five digits, so last + 1 cannot overflow.
    const int m = io::advance_counter(channel, [](int last) { return ((last + 1) % 1000 + 1000) % 1000; });
    if (channel >= 0) grflun(channel);
    return m;
}

/// Whether the screen types served by the X window device can be shown.
bool have_display() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != '\0';
}

/// The extension the library gives files of the device type (upper case).
std::string_view library_extension(std::string_view type) {
    if (type.find("PDF") != std::string_view::npos) return ".pdf";
    if (type.find("PNG") != std::string_view::npos) return ".png";
    if (type.find("SVG") != std::string_view::npos) return ".svg";
    if (type.find("EPS") != std::string_view::npos) return ".eps";
    if (type.find("PS") != std::string_view::npos) return ".ps";
    return "";
}

/// Whether the file exists and was written at or after the given time
/// (whole seconds), so that a file left from an earlier run is not taken
/// for the one just written.
bool written_since(const std::string& name, std::time_t since) {
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0) return false;
    return info.st_mtime >= since;
}

/// The library appends its own extension to a file name that does not end
/// in it, and the image devices write one file per page (name_0000.png,
/// name_0001.png, ...: the name without the extension, an underscore, the
/// page number in four digits, the extension) when there is more than one.
/// After closing, the single file the library wrote under its own name is
/// renamed to the kept name, replacing any file of that name; the pages of
/// a multi-page image keep their numbered names. Returns the name of the
/// file the user now has: the kept name, or the first page's file.
std::string settle_file(const std::string& kept, std::string_view type, std::time_t opened) {
    const std::string_view ext = library_extension(type);
    if (ext.empty()) return kept;
    const std::string full = ends_with_nocase(kept, ext) ? kept : kept + std::string(ext);
    if (full != kept && written_since(full, opened)) {
        if (std::rename(full.c_str(), kept.c_str()) == 0) return kept;
        return full;
    }
    const std::string first_page =
        full.substr(0, full.size() - ext.size()) + "_0000" + std::string(ext);
    if (!written_since(kept, opened) && written_since(first_page, opened)) return first_page;
    return kept;
}

/// A file name as one word of a shell command: unchanged when it holds only
/// harmless characters, otherwise in single quotes.
std::string shell_word(const std::string& name) {
    bool plain = !name.empty() && name.front() != '#' && name.front() != '~';
    for (char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || std::string_view("._/+-,=:@%#").find(c) !=
                                                      std::string_view::npos;
        if (!ok) plain = false;
    }
    if (plain) return name;
    std::string quoted = "'";
    for (char c : name) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

/// Library types of the file names recorded for each unit and the time of
/// their opening, kept so that the written file can be found on closing.
std::array<std::string, kUnits + 1>& library_types() {
    static std::array<std::string, kUnits + 1> types;
    return types;
}
std::array<std::time_t, kUnits + 1>& opening_times() {
    static std::array<std::time_t, kUnits + 1> times{};
    return times;
}

/// Opens a device on the library. A specification beginning with "?" makes
/// the library ask for the device on its own, and its question repeats for
/// ever once the input has ended, so such a specification is refused here.
int library_open(const std::string& spec) {
    if (!spec.empty() && spec.front() == '?') return 0;
    return cpgopen(spec.c_str());
}

/// Whether the library takes the device string for its null device: the
/// type after the last slash, without trailing blanks, is NULL in any case.
bool names_null_device(std::string_view spec) {
    const std::size_t slash = spec.rfind('/');
    if (slash == std::string_view::npos) return false;
    std::string_view type = spec.substr(slash + 1);
    while (!type.empty() && type.back() == ' ') type.remove_suffix(1);
    return grtoup(type) == "NULL";
}

/// A device opened for a unit: a library identifier (0 or less when the open
/// failed), or the null device, which needs none. The null device draws
/// nothing, writes no file and has no cursor, and opening it costs the
/// library its whole font set-up, so it is not opened at all.
struct Device {
    int id = 0;
    bool null = false;
    bool opened() const { return null || id > 0; }
};

Device open_device(const std::string& spec) {
    if (names_null_device(spec)) return Device{0, true};
    return Device{library_open(spec), false};
}

/// Asks the user for the device of a unit whose specification is "?": one
/// question, one answer read from the terminal. False at end of input and
/// for a blank answer.
bool ask_device(const std::string& digit, std::string& answer) {
    fmt::write(io::kTerminalOut, "(' %PGPLOT, Graphics device/type for PGPLOT_ZOV_DEV_',A,' : ',$)",
               {digit});
    flusht(io::kTerminalOut);
    Text<30> typed;
    if (fmt::read(io::kTerminalIn, "(A)", {typed}) != 0) return false;
    std::string_view t = typed.view();
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (t.empty()) return false;
    answer = std::string(t);
    return true;
}

/// What reopens a screen unit whose window was lost, and the window
/// watched (0 when none is: not an X device, or the window was not found).
struct Screen {
    std::string spec;
    bool colours = false;
    xwatch::Window window = 0;
};
std::array<Screen, kUnits + 1>& screens() {
    static std::array<Screen, kUnits + 1> s;
    return s;
}

/// Whether the library device is one of its X window devices.
bool is_x_device(const std::string& spec) {
    const std::string u = grtoup(spec);
    return u.find("/XW") != std::string::npos || u.find("/XS") != std::string::npos;
}

/// Opens a screen device, sets its colours when asked, shows an empty page
/// and finds its window.
Device open_screen(const std::string& spec, bool colours, xwatch::Window& window) {
    window = 0;
    const bool x = is_x_device(spec);
    std::vector<xwatch::Window> before;
    if (x) before = xwatch::library_windows();
    const Device device = open_device(spec);
    if (device.null || device.id <= 0) return device;
    if (colours) {
        cpgscr(0, 1.0f, 1.0f, 1.0f);
        cpgscr(1, 0.0f, 0.0f, 0.0f);
    }
    cpgask(0);
    cpgpage();
    if (x) window = xwatch::new_window(before);
    return device;
}

}  // namespace

void pgnopn(int unit, std::string_view name, int& status) {
    DeviceState& st = state();
    if (!in_range(unit)) {
        grwarn(fmt::to_text(60, "(' invalid device(',I3,') for PGPLOT_ZOV_DEV_')", {unit}));
        status = -1;
        return;
    }
    st.defdev[1] = st.defscr;
    status = 0;
    if (is_open(unit)) {
        grwarn("PGNOPN Device already open");
        status = -1;
        return;
    }

    const std::string digit = fmt::to_text(1, "(I1)", {unit});
    Text<30> s;
    int l = grgenv("ZOV_DEV_" + digit, s);
    if (l == 0) {
        s = st.defdev[unit].view();
        l = first_blank(s.view()) - 1;
        if (l < 0) l = Text<8>::size();
    }
    const std::string spec(s.view().substr(0, static_cast<std::size_t>(l)));

    auto fail = [&] {
        grwarn(cut("invalid PGPLOT_ZOV_DEV_" + digit + "  " + spec, 56));
        status = -1;
    };

    // The device to give the library in a plain open, and whether to set
    // the screen colours afterwards.
    std::string plain(s.view());
    bool colours = false;

    if (s == "?") {
        // The user names the device; it is given to the library as typed.
        if (!ask_device(digit, plain)) {
            fail();
            return;
        }
    } else {
        const std::string u = grtoup(s.view());
        const int pages = plots_per_page();
        const std::size_t slash = u.substr(0, static_cast<std::size_t>(l)).find('/');
        if (slash == std::string::npos) {
            fail();
            return;
        }
        const int k = static_cast<int>(slash) + 1;
        const std::string type = cut(u.substr(slash + 1, static_cast<std::size_t>(l - k)), 8);
        const int code = classify(type);
        st.iitype[unit] = code;
        if (code == 0) {
            fail();
            return;
        }

        if (code <= 10) {
            std::string f;
            if (k == 1) {
                const int blank = first_blank(name);
                f = std::string(name.substr(0, blank > 0 ? static_cast<std::size_t>(blank - 1)
                                                         : name.size()));
                f = cut(f, 30);
                if (f.empty()) f = "pgplot";
            } else {
                f = spec.substr(0, slash);
            }
            if (f.find('.') == std::string::npos) {
                if (f.find('#') != std::string::npos) {
                    const int m = next_hardcopy_number();
                    f = fmt::to_text(static_cast<int>(f.size()) + 2, "(A,I3.3)",
                                     {f.substr(0, f.size() - 1), m});
                }
                const Extension& ext = kHcext[static_cast<std::size_t>(code - 1)];
                f += ext.text.substr(0, static_cast<std::size_t>(ext.counted));
            }

            // The library has no VCPS device; its plain PostScript one serves.
            std::string library_type = u.substr(slash, static_cast<std::size_t>(l - k + 1));
            if (library_type == "/VCPS") library_type = "/VPS";
            const std::string library_spec = f + library_type;

            // A composed specification longer than a device field is refused.
            opening_times()[unit] = std::time(nullptr);
            const Device device = library_spec.size() <= 30 ? open_device(library_spec) : Device{};
            if (device.opened()) {
                if (!device.null) {
                    cpgsubp(1, pages);
                    if (code == 2) {
                        cpgscr(0, 1.0f, 1.0f, 1.0f);
                        cpgscr(1, 0.0f, 0.0f, 0.0f);
                    }
                }
                st.irdev[unit] = device.id;
                st.null_device[unit] = device.null;
                screens()[unit].window = 0;
                st.ffname[unit] = f;
                library_types()[unit] = library_type;
                st.icur = unit;
                return;
            }
            grwarn(cut("Filename is " + library_spec, 42));
            fail();
            return;
        }

        colours = code <= 20;
        if (code == 11) {
            pgrunx(spec.substr(0, slash), status);
            if (status != 0) {
                fail();
                return;
            }
        }
        if (code == 15 || code == 23) {
            // The window-service screens are shown on the X window device,
            // or not at all where there is no display.
            if (have_display()) {
                plain = "/XW";
            } else {
                plain = "/NULL";
                grwarn("no X display: screen plots are not shown");
            }
        }
    }

    Screen& screen = screens()[unit];
    const Device device = open_screen(plain, colours, screen.window);
    if (!device.opened()) {
        fail();
        return;
    }
    screen.spec = plain;
    screen.colours = colours;
    st.irdev[unit] = device.id;
    st.null_device[unit] = device.null;
    st.ffname[unit].blank();
    library_types()[unit].clear();
    status = 0;
    st.icur = unit;
}

bool pgnchk() {
    DeviceState& st = state();
    const int unit = st.icur;
    if (!is_open(unit)) return false;
    Screen& screen = screens()[unit];
    if (screen.window == 0 || xwatch::alive(screen.window)) return false;
    // The library's device of the lost window is left as it is: closing it
    // would draw on a window, or talk over a connection, that is gone.
    Device device = open_screen(screen.spec, screen.colours, screen.window);
    if (device.opened()) {
        grwarn("screen window lost: a new one is opened");
    } else {
        screen.spec = "/NULL";
        screen.colours = false;
        device = open_screen(screen.spec, screen.colours, screen.window);
        grwarn("screen window lost: screen plots are not shown");
    }
    st.irdev[unit] = device.id > 0 ? device.id : 0;
    st.null_device[unit] = device.null;
    if (!device.opened()) st.icur = 0;
    return true;
}

void pgnsel(int unit, int& previous, int& status) {
    DeviceState& st = state();
    status = 0;
    previous = st.icur;
    auto refuse = [&] {
        grwarn(fmt::to_text(60, "('PGNSEL - trying to select unopened unit',I4)", {unit}));
        status = -1;
    };
    if (!is_open(unit)) {
        refuse();
        return;
    }
    if (unit == st.icur) return;
    if (st.irdev[unit] == 0) {
        // A unit on the null device has nothing to select in the library.
        st.icur = unit;
        return;
    }
    // The library keeps reporting a closed device as current, so success is
    // judged by the identifier now current being the unit's own.
    cpgslct(st.irdev[unit]);
    int now = 0;
    cpgqid(&now);
    if (now != st.irdev[unit]) {
        refuse();
        return;
    }
    st.icur = unit;
}

void pgnend(int unit) {
    DeviceState& st = state();
    if (!is_open(unit)) return;
    Screen& screen = screens()[unit];
    // A screen whose window is gone is only forgotten (see pgnchk).
    const bool lost = screen.window != 0 && !xwatch::alive(screen.window);
    screen.window = 0;
    const std::string kept(st.ffname[unit].trimmed());
    if (!lost && st.irdev[unit] != 0) {
        if (unit != st.icur) cpgslct(st.irdev[unit]);
        cpgclos();
    }
    st.ffname[unit].blank();
    st.irdev[unit] = 0;
    st.null_device[unit] = false;
    if (st.icur != 0) {
        if (st.icur != unit && is_open(st.icur)) {
            if (st.irdev[st.icur] != 0) cpgslct(st.irdev[st.icur]);
        } else {
            st.icur = 0;
        }
    }
    if (kept.empty()) return;

    const std::string file = settle_file(kept, library_types()[unit], opening_times()[unit]);
    grwarn(" Closing file " + file);
    Text<60> command;
    const int l = grgenv("ZOV_PRINT_CMD", command);
    if (l == 0) return;
    if (!io::file_exists(file)) return;
    flusht(io::kTerminalOut);
    const std::string line(command.view().substr(0, static_cast<std::size_t>(l)));
    const int ignored = std::system((line + " " + shell_word(file)).c_str());
    (void)ignored;
    grwarn(" Printing " + file);
}

void pgtktr(int unit, int& flag) {
    const DeviceState& st = state();
    flag = in_range(unit) && st.iitype[unit] >= 20 && st.iitype[unit] <= 30 ? 1 : 0;
}

void pgqnop(int unit, int& flag) { flag = is_open(unit) ? 1 : 0; }

bool unit_shows_nothing() {
    const DeviceState& st = state();
    return in_range(st.icur) && st.null_device[st.icur];
}

int unit_without_library_device() {
    const DeviceState& st = state();
    return unit_shows_nothing() && st.irdev[st.icur] == 0 ? st.icur : 0;
}

bool plot_library_device() {
    DeviceState& st = state();
    if (!in_range(st.icur)) return false;
    if (st.irdev[st.icur] != 0) return true;
    if (!st.null_device[st.icur]) return false;
    const int id = library_open("/NULL");
    if (id <= 0) return false;
    cpgask(0);
    cpgpage();
    st.irdev[st.icur] = id;
    return true;
}

void pgrunx(std::string_view name, int& status) {
    status = -1;
    std::string option(10, ' ');
    if (!name.empty()) option = cut(" -id " + std::string(name) + " ", 10);
    option.resize(10, ' ');
    Text<100> command;
    const int l = grgenv("ZOV_PGRUNFIGDISP", command);
    if (l == 0) {
        grwarn("please setenv or DEFine PGPLOT_ZOV_PGRUNFIGDISP");
        return;
    }
    flusht(io::kTerminalOut);
    const std::string line(command.view().substr(0, static_cast<std::size_t>(l)));
    const int ignored = std::system((line + option + " &").c_str());
    (void)ignored;
    status = 0;
}

}  // namespace karvel
