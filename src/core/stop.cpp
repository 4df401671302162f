/// How the program stops or pauses, and the saturating truncation of reals.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "core/stop.h"

#include "core/channels.h"
#include "core/numeric.h"

namespace karvel {

int trunc_int(float v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0f) return std::numeric_limits<int>::max();
    if (v <= -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

void stop(std::string_view message) {
    io::flusht(io::kTerminalOut);
    std::string line = "STOP " + std::string(message) + " statement executed\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    std::exit(0);
}

void pause_run(std::string_view message) {
    io::flusht(io::kTerminalOut);
    std::string text = std::string(message) +
                       "\nTo resume execution, type go.  Other input will terminate the job.\n";
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    const auto answer = io::read_record(io::kTerminalIn);
    if (answer) {
        std::string_view a = *answer;
        while (!a.empty() && (a.back() == ' ' || a.back() == '\r')) a.remove_suffix(1);
        while (!a.empty() && a.front() == ' ') a.remove_prefix(1);
        if (a == "go") return;
    }
    std::exit(0);
}

}  // namespace karvel
