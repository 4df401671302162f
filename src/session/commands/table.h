/// The command table: one row per command, in the order the prompt matches
/// the letters. It drives the dispatch of the command loop, the option line
/// before the prompt, the help list and the decoder's rule for which commands
/// take their line as text. A new command is one row here and one routine.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "session/commands/commands.h"

namespace karvel {

/// What follows the command word on the line.
enum class Argument {
    Numbers,  // decoded into tin.v (the text stays in tinc.line)
    Text,     // kept as typed in tinc.line, not decoded
};

struct Command {
    char letter;           // upper case; the prompt takes either case
    Argument argument;
    int option_place;      // position 1.. of the letter in the option line
    int help_place;        // position 1.. of the help lines in the help list
    Next (*run)();
    std::string_view help;  // the help lines, '\n' between them
    /// Instead of help while sequences follow the manual fit (seqctr.e1 set).
    std::string_view sequence_help = {};
};

inline constexpr auto kCommands = std::to_array<Command>({
    {'H', Argument::Numbers, 1, 1, command_help, "H              type this list"},
    {'V', Argument::Numbers, 6, 6, command_values,
     "V n v s        change parameter number n to v\n"
     "               with associated step s (about 1.0) if\n"
     "               this is to be fitted.\n"
     "               if s is negative parameter n is tied\n"
     "               to preceding parameter #-s\n"
     "V              (no parameters) list current values"},
    {'X', Argument::Numbers, 4, 4, command_xscale,
     "X min max      change current x-scale to min<x<max\n"
     "               if min and max are 0, show current limits"},
    {'F', Argument::Numbers, 7, 7, command_fit,
     "F n (N)        fit n iterations (0 to show current curve)\n"
     "               N (optional) for no plot while fitting"},
    {'R', Argument::Text, 2, 2, command_read, "R              read in fresh data"},
    {'P', Argument::Numbers, 9, 9, command_hardcopy, "P              plot fit and data on hardcopy"},
    {'S', Argument::Numbers, 15, 12, command_save, "S              save current parameters"},
    {'Y', Argument::Numbers, 5, 5, command_yscale, "Y min max      change current y-scale to min<y<max  etc."},
    {'C', Argument::Numbers, 12, 13, command_cursor, "C              enable/disable cursor(in next plot)"},
    {'E', Argument::Numbers, 13, 17, command_exit, "E              EXIT from program.",
     "E              EXIT from manual fit and do sequences"},
    {'D', Argument::Numbers, 3, 3, command_display, "D              display data"},
    {'O', Argument::Numbers, 8, 8, command_range,
     "O a b c d e f  only fit spectrum between range of a<x<b\n"
     "               and c<x<d etc. (ignored if both are zero)"},
    {'L', Argument::Numbers, 10, 11, command_list, "L (F)          list last fit (F for full listing)"},
    {'W', Argument::Text, 11, 10, command_write, "W flnme        write fit and data onto output file flname.kpl"},
    {'J', Argument::Numbers, 14, 16, command_jump, "J              jump to special routine"},
    {'Z', Argument::Text, 17, 14, command_clear, "Z              clear screen"},
    {'T', Argument::Text, 16, 15, command_title, "T extra text   set manual title for graphs"},
});

/// The format of the option line written before the prompt.
std::string option_line_format(std::span<const Command> commands);
/// The format of the help list below its heading: the help lines in help
/// order, with the sequence texts when in_sequence is set.
std::string help_list_format(std::span<const Command> commands, bool in_sequence);

namespace command_table_checks {

/// Letters upper case and distinct; option and help places each 1..N once.
constexpr bool well_formed(std::span<const Command> commands) {
    const std::size_t n = commands.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Command& c = commands[i];
        if (c.letter < 'A' || c.letter > 'Z' || c.help.empty()) return false;
        if (c.option_place < 1 || static_cast<std::size_t>(c.option_place) > n) return false;
        if (c.help_place < 1 || static_cast<std::size_t>(c.help_place) > n) return false;
        for (std::size_t j = 0; j < i; ++j) {
            const Command& d = commands[j];
            if (d.letter == c.letter || d.option_place == c.option_place || d.help_place == c.help_place) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace command_table_checks

static_assert(command_table_checks::well_formed(kCommands),
              "each command needs its own letter, option place and help place");

}  // namespace karvel
