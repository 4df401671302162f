/// Line editing and history for the lines typed at a terminal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace karvel::line_editor {

/// The most lines the history keeps, in memory and in its file.
constexpr int kHistoryLines = 500;

/// Names the program whose history file, ~/.NAME_history with NAME the name
/// without its surrounding blanks, keeps the typed lines from run to run.
/// Without a name, or when HOME is unset or empty, no file is kept.
void set_program_name(std::string_view name);

/// Reads one line from the terminal (standard input and output) with
/// editing and history. `shown` is the text the program has written on the
/// current screen line since its last newline: the editor shows it as its
/// prompt, so the screen keeps the same characters. Returns nothing at end
/// of input, and from then on at every later call.
std::optional<std::string> read_line(const std::string& shown);

}  // namespace karvel::line_editor
