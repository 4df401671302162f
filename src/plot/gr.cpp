/// The small support layer that the graphics library leaves to its users:
/// environment values, warnings, upper case and free I/O channels.
#include <cstdlib>
#include <set>
#include <string>

#include "plot/plot.h"
#include "core/channels.h"
#include "core/format.h"
#include "core/strings.h"

namespace karvel {

namespace {

/// Channels handed out by grglun and not yet given back.
std::set<int>& lent_channels() {
    static std::set<int> lent;
    return lent;
}

}  // namespace

int grgenv(std::string_view name, TextRef value) {
    const std::string variable = "PGPLOT_" + std::string(without_trailing_blanks(name));
    const char* found = std::getenv(variable.c_str());
    value.assign(found ? std::string_view(found) : std::string_view(""));
    return static_cast<int>(without_trailing_blanks(value.view()).size());
}

void grwarn(std::string_view text) {
    const std::string_view t = without_trailing_blanks(text);
    if (t.empty()) return;
    fmt::write(io::kTerminalOut, "(A)", {" %PGPLOT, " + std::string(t)});
}

std::string grtoup(std::string_view text) {
    std::string up(text);
    for (char& c : up) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return up;
}

int grglun() {
    // Highest numbers first, well away from the package's fixed channels.
    for (int channel = 99; channel >= 10; --channel) {
        if (channel == io::kListing) continue;
        if (io::is_open(channel) || lent_channels().count(channel) != 0) continue;
        lent_channels().insert(channel);
        return channel;
    }
    grwarn("GRGLUN: out of units");
    return -1;
}

void grflun(int channel) { lent_channels().erase(channel); }

}  // namespace karvel
