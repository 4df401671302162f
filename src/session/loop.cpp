/// The command loop: reads command lines, runs the command of each from the
/// command table, and leaves the session through the exit path.
#include "session/commands/table.h"
#include "session/session.h"

namespace karvel {

void command_loop() {
    while (stopcy.e1 == 0) {
        const int k = ikvcmd(kCommands);
        if (k < 1) break;
        spltc(kCursorRequest) = sess.tvars1;
        if (kCommands[static_cast<std::size_t>(k - 1)].run() == Next::Leave) return;
    }
    // The end of the input, or a stop asked for by the host, leaves as E does.
    command_exit();
}

}  // namespace karvel
