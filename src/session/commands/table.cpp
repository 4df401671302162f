/// The texts the command table drives: the option line and the help list;
/// and the H command that writes the help list.
#include <algorithm>
#include <vector>

#include "plot/plot.h"
#include "core/format.h"
#include "session/commands/table.h"
#include "session/session.h"

namespace karvel {

namespace {

/// The rows ordered by one of their places.
std::vector<const Command*> ordered(std::span<const Command> commands, int Command::*place) {
    std::vector<const Command*> rows;
    for (const Command& c : commands) rows.push_back(&c);
    std::sort(rows.begin(), rows.end(), [place](const Command* a, const Command* b) { return a->*place < b->*place; });
    return rows;
}

/// A text as a quoted literal of a format, its quotes doubled.
std::string quoted(std::string_view text) {
    std::string q = "'";
    for (const char c : text) {
        q += c;
        if (c == '\'') q += '\'';
    }
    q += '\'';
    return q;
}

}  // namespace

std::string option_line_format(std::span<const Command> commands) {
    std::string letters = " TYPE HELP OR OPTION: ";
    bool first = true;
    for (const Command* c : ordered(commands, &Command::option_place)) {
        if (!first) letters += ',';
        letters += c->letter;
        first = false;
    }
    return "(" + quoted(letters) + ")";
}

std::string help_list_format(std::span<const Command> commands, bool in_sequence) {
    std::string format = "(/," + quoted(" Basic fitting and control commands");
    for (const Command* c : ordered(commands, &Command::help_place)) {
        std::string_view lines = in_sequence && !c->sequence_help.empty() ? c->sequence_help : c->help;
        for (;;) {
            const std::size_t end = lines.find('\n');
            format += ",/," + quoted(" " + std::string(lines.substr(0, end)));
            if (end == std::string_view::npos) break;
            lines.remove_prefix(end + 1);
        }
    }
    return format + ")";
}

void kvhelp(int, int out, const Text<4>& name) {
    Text<20> now;
    dayt(now);
    fmt::write(out, "(1X,A4,' Version',F5.1,' (using KARVEL-',F3.1,')',3X,A)",
               {name, version.host, version.package, now});
    kvxhlp(out);
    fmt::write(out, help_list_format(kCommands, seqctr.e1 != 0));
}

Next command_help() {
    terase();
    flags(kNoPlot) = 0;
    kvhelp(tin.in, tin.out, sess.pnam);
    return Next::Prompt;
}

}  // namespace karvel
