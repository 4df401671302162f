/// The commands of the screen and the host: Z clears the screen, T sets the
/// manual title of the graphs, J calls the host's special routine.
#include "karvel/karvel.h"
#include "plot/plot.h"
#include "core/channels.h"
#include "core/format.h"
#include "session/commands/commands.h"
#include "session/session.h"

namespace karvel {

Next command_clear() {
    // ZZ: the line starts with a second Z.
    if (tinc.line.at(1) == 'Z') {
        fmt::write(io::kTerminalOut, "(' JAVA enabled - Karvel ',A,' - type RETURN to continue : ',$)",
                   {Text<4>(kPackageVersionText)});
        io::flusht(tin.out);
        fmt::read(tin.in, "(1X)");
    } else {
        terase();
    }
    return Next::Prompt;
}

Next command_title() {
    titlex.assign(tinc.line.view().substr(0, 50));
    titlei = 1;
    return Next::Prompt;
}

Next command_jump() {
    kvextp();
    return Next::Prompt;
}

}  // namespace karvel
