/// The S command: writes the parameter file NAME.kvn.
#include <string>
#include <vector>

#include "params/params.h"
#include "core/channels.h"
#include "core/files.h"
#include "core/format.h"
#include "core/records.h"

namespace karvel {

namespace {

/// Appends the records of one formatted write.
void add(std::vector<std::string>& lines, std::string_view format, const fmt::Values& values) {
    std::vector<std::string> recs = fmt::format_records(format, values);
    for (std::string& r : recs) lines.push_back(std::move(r));
}

}  // namespace

void kvsave(int n, const float* p, const float* s, int channel, const Text<20>& name) {
    Text<20> when;
    dayt(when);

    std::vector<std::string> lines;
    add(lines, "(A4,' V',F4.1,' using KARVEL V',F4.1,3X,A)", {tinc.name, version.host, version.package, when});
    add(lines, "(1X,2G12.4,' H(Substep), ACC')", {fitcon.substep, fitcon.acc});
    fmt::Values bounds;
    for (int i = 1; i <= 6; ++i) bounds.emplace_back(fitlim.bound(i));
    add(lines, "(1X,2G12.4,' FITTING LIMITS')", bounds);
    add(lines, "(1X,2G12.4,' X PLOTTING LIMITS')", {pltlim(kPlotXMin), pltlim(kPlotXMax)});
    add(lines, "(1X,2G12.4,' Y PLOTTING LIMITS')", {pltlim(kPlotYMin), pltlim(kPlotYMax)});
    if (n > kMaxPar) n = kMaxPar;
    if (n > 0) {
        fmt::Values params;
        for (int k = 1; k <= n; ++k) {
            params.emplace_back(p[k - 1]);
            params.emplace_back(s[k - 1]);
            params.emplace_back(functc.name[k - 1]);
        }
        add(lines, "(1X,2G12.4,5X,A8)", params);
    }

    // The old file is replaced only when the whole new one is on the disk.
    const std::string file(name.trimmed());
    switch (io::replace_file(channel, file, lines)) {
        case io::Replaced::Done:
            break;
        case io::Replaced::CannotOpen:
            fmt::write(io::kTerminalOut, "(' CANNOT OPEN FILE ',A)", {file});
            break;
        case io::Replaced::CannotWrite:
            fmt::write(io::kTerminalOut, "(' CANNOT WRITE FILE ',A)", {file});
            break;
    }
}

}  // namespace karvel
