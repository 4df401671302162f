/// Line editing and history through libedit's readline-compatible interface
/// (BSD licence), for the lines typed at a terminal.
#include "core/line_editor.h"

#include "core/strings.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <editline/readline.h>

namespace karvel::line_editor {
namespace {

std::string program;        // the program name, for the history file and ~/.editrc
std::string history_path;   // the file the history is kept in; empty: none
std::string loaded_path;    // the file the history in memory came from
bool started = false;       // the editor has been set up
bool ended = false;         // end of input was met
std::string last_added;     // the newest history line
std::string editor_name;    // the name libedit knows the program by

void start() {
    if (!started) {
        started = true;
        editor_name = program.empty() ? "karvel" : program;
        rl_readline_name = editor_name.c_str();
        rl_instream = stdin;
        rl_outstream = stdout;
        using_history();
        stifle_history(kHistoryLines);
    }
    if (loaded_path != history_path) {
        clear_history();
        last_added.clear();
        if (!history_path.empty()) read_history(history_path.c_str());
        loaded_path = history_path;
    }
}

/// The width of the terminal in columns, 0 when it is not known.
int columns() {
    winsize ws{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0) return 0;
    return ws.ws_col;
}

void remember(const std::string& line) {
    if (line.find_first_not_of(' ') == std::string::npos || line == last_added) return;
    add_history(line.c_str());
    last_added = line;
    // Written at once, so that the lines survive however the run ends.
    if (!history_path.empty()) write_history(history_path.c_str());
}

}  // namespace

void set_program_name(std::string_view name) {
    name = without_trailing_blanks(name);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    program = std::string(name);
    history_path.clear();
    const char* home = std::getenv("HOME");
    if (program.empty() || program.find('/') != std::string::npos || !home || !*home) return;
    history_path = std::string(home) + "/." + program + "_history";
}

std::optional<std::string> read_line(const std::string& shown) {
    if (ended) return std::nullopt;
    start();
    // The editor draws its prompt from the start of the line: hand it the text
    // already there, unless that text fills the line, where a redraw from the
    // start could not reach it; then the editor works after it.
    const int width = columns();
    const bool as_prompt = width == 0 || shown.size() < static_cast<std::size_t>(width);
    if (as_prompt && !shown.empty()) std::fputc('\r', stdout);
    std::fflush(stdout);
    char* typed = readline(as_prompt ? shown.c_str() : "");
    if (!typed) {
        ended = true;
        return std::nullopt;
    }
    std::string line(typed);
    std::free(typed);
    remember(line);
    return line;
}

}  // namespace karvel::line_editor
