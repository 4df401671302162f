/// I/O channels: the terminal on channels 5 and 6, files on the others,
/// record by record; the flush routine and the date text.
#include "core/strings.h"
#include "core/channels.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

#include "core/line_editor.h"

namespace karvel::io {
namespace {

/// An open file channel. Records are read from the start; the first write
/// cuts the file where the next record would have been read.
struct FileChannel {
    std::FILE* f = nullptr;
    bool writing = false;
    long next_record = 0;  // byte offset of the next record to read
    bool record_open = false;
    bool failed = false;  // a write did not reach the file
    bool streamed = false; // read by characters: the next record starts where reading stopped
};

std::FILE* term_in = nullptr;  // nullptr: stdin
std::FILE* term_out = nullptr; // nullptr: stdout

std::FILE* terminal_in() { return term_in ? term_in : stdin; }
std::FILE* terminal_out() { return term_out ? term_out : stdout; }

/// Terminal lines are edited only when both standard input and standard
/// output are a terminal and no test has put streams in their place.
bool editing() {
    static const bool tty = ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
    return tty && !term_in && !term_out;
}

// What the terminal output has shown since its last newline, while lines
// are edited: the prompt that the line editor redraws. Only its last
// kMaxRecord characters are kept, more than any screen line holds.
std::string term_line;

void note_terminal_output(std::string_view text) {
    if (!editing()) return;
    const auto nl = text.rfind('\n');
    if (nl != std::string_view::npos) {
        term_line.assign(text.substr(nl + 1));
    } else {
        term_line.append(text);
    }
    if (term_line.size() > kMaxRecord) term_line.erase(0, term_line.size() - kMaxRecord);
}

/// The table of open file channels. It is never destroyed, so that the exit
/// handler can still close the files.
std::map<int, FileChannel>& files() {
    static auto* table = new std::map<int, FileChannel>;
    return *table;
}

void close_all_at_exit() {
    auto& table = files();
    while (!table.empty()) close(table.begin()->first);
    std::fflush(stdout);
}

const bool exit_handler_registered = (std::atexit(close_all_at_exit), true);

std::string trimmed_name(std::string_view name) { return std::string(without_trailing_blanks(name)); }

/// One line of the stream without its newline (and without a carriage
/// return before it); a last line without a newline counts too. Only the
/// first kMaxRecord characters are kept; the rest of the line is skipped.
std::optional<std::string> read_line(std::FILE* f) {
    std::string s;
    bool any = false;
    int c;
    while ((c = std::getc(f)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (s.size() < kMaxRecord) s.push_back(static_cast<char>(c));
    }
    if (!any) return std::nullopt;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    return s;
}

FileChannel* find(int channel) {
    auto it = files().find(channel);
    return it == files().end() ? nullptr : &it->second;
}

/// Switches a file channel to writing: the file is cut at the position of
/// the next record and written from there.
bool start_writing(FileChannel& ch) {
    if (ch.writing) return true;
    if (ch.streamed) ch.next_record = std::ftell(ch.f);
    if (ch.next_record < 0 || std::fseek(ch.f, ch.next_record, SEEK_SET) != 0) return false;
    if (ftruncate(fileno(ch.f), ch.next_record) != 0) {
        // Devices and pipes cannot be cut; only a regular file must be.
        struct stat st {};
        if (fstat(fileno(ch.f), &st) != 0 || S_ISREG(st.st_mode)) return false;
    }
    ch.writing = true;
    return true;
}

bool file_put(int channel, std::string_view text, bool newline) {
    FileChannel* ch = find(channel);
    if (!ch) return false;
    if (!start_writing(*ch)) {
        ch->failed = true;
        return false;
    }
    bool ok = text.empty() || std::fwrite(text.data(), 1, text.size(), ch->f) == text.size();
    if (newline) {
        ok = std::fputc('\n', ch->f) != EOF && ok;
        ch->record_open = false;
    } else {
        ch->record_open = true;
    }
    if (!ok) ch->failed = true;
    return ok;
}

/// Opens an existing file for reading and, where allowed, writing. Anything
/// but a regular file (a folder, a FIFO, a device) is refused; the check is
/// made on the opened file without blocking, so a FIFO cannot hold it up.
std::FILE* open_existing(const std::string& name) {
    bool writable = true;
    int fd = ::open(name.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        writable = false;  // read-only: writes fail
        fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    }
    if (fd < 0) return nullptr;
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, writable ? "r+" : "r");
    if (!f) ::close(fd);
    return f;
}

}  // namespace

int open(int channel, std::string_view name, Status status) {
    (void)exit_handler_registered;
    if (channel == kTerminalIn || channel == kTerminalOut) return 1;
    close(channel);
    const std::string n = trimmed_name(name);
    if (n.empty()) return 1;
    const bool exists = file_exists(n);
    std::FILE* f = nullptr;
    switch (status) {
        case Status::Old:
            if (!exists) return 1;
            [[fallthrough]];
        case Status::Unknown:
            if (exists) {
                f = open_existing(n);
            } else {
                f = std::fopen(n.c_str(), "w+");
            }
            break;
        case Status::New:
            if (exists) return 1;
            f = std::fopen(n.c_str(), "w+x");
            break;
    }
    if (!f) return 1;
    files()[channel] = FileChannel{f};
    return 0;
}

bool close(int channel) {
    if (channel == kTerminalOut) return std::fflush(terminal_out()) == 0;
    FileChannel* ch = find(channel);
    if (!ch) return true;
    bool ok = !ch->failed;
    if (ch->writing && ch->record_open) ok = std::fputc('\n', ch->f) != EOF && ok;
    ok = std::fclose(ch->f) == 0 && ok;
    files().erase(channel);
    return ok;
}

bool is_open(int channel) {
    return channel == kTerminalIn || channel == kTerminalOut || find(channel) != nullptr;
}

std::optional<std::string> read_record(int channel) {
    if (channel == kTerminalIn) {
        std::fflush(terminal_out());
        if (!editing()) return read_line(terminal_in());
        auto line = line_editor::read_line(term_line);
        if (!line) return line;
        term_line.clear();  // the typed line ended with a newline
        if (line->size() > kMaxRecord) line->resize(kMaxRecord);
        return line;
    }
    FileChannel* ch = find(channel);
    if (!ch || ch->writing) return std::nullopt;
    auto line = read_line(ch->f);
    if (line) {
        ch->next_record = std::ftell(ch->f);
        ch->streamed = false;
    }
    return line;
}

int get_char(int channel) {
    FileChannel* ch = find(channel);
    if (!ch || ch->writing) return EOF;
    ch->streamed = true;
    return std::getc(ch->f);
}

bool put(int channel, std::string_view text) {
    if (channel == kTerminalOut) {
        note_terminal_output(text);
        return text.empty() ||
               std::fwrite(text.data(), 1, text.size(), terminal_out()) == text.size();
    }
    return file_put(channel, text, false);
}

bool end_record(int channel) {
    if (channel == kTerminalOut) {
        term_line.clear();
        return std::fputc('\n', terminal_out()) != EOF;
    }
    return file_put(channel, {}, true);
}

void flusht(int channel) {
    if (channel == kTerminalOut) {
        std::fflush(terminal_out());
        return;
    }
    if (FileChannel* ch = find(channel)) std::fflush(ch->f);
}

bool good(int channel) {
    if (channel == kTerminalOut) return std::fflush(terminal_out()) == 0;
    FileChannel* ch = find(channel);
    if (!ch) return false;
    return std::fflush(ch->f) == 0 && std::ferror(ch->f) == 0 && !ch->failed;
}

bool file_exists(std::string_view name) {
    const std::string n = trimmed_name(name);
    struct stat st {};
    return !n.empty() && ::stat(n.c_str(), &st) == 0;
}

void redirect_terminal(std::FILE* in, std::FILE* out) {
    std::fflush(terminal_out());
    term_in = in;
    term_out = out;
}

}  // namespace karvel::io

namespace karvel {

namespace {

/// The time to show: SOURCE_DATE_EPOCH when it holds a whole number of
/// seconds, otherwise the clock.
std::time_t current_time() {
    if (const char* env = std::getenv("SOURCE_DATE_EPOCH"); env && *env) {
        errno = 0;
        char* end = nullptr;
        const long long v = std::strtoll(env, &end, 10);
        if (errno == 0 && end && *end == '\0') return static_cast<std::time_t>(v);
    }
    return std::time(nullptr);
}

}  // namespace

void dayt(TextRef text) {
    const std::time_t t = current_time();
    // "Tue Dec  8 14:05:09 2026\n": day at 8, month at 4, time at 11, year at 20.
    const char* c = std::ctime(&t);
    if (!c || std::strlen(c) != 25) {
        text.assign("");  // a year beyond four digits: no date to show
        return;
    }
    std::string s;
    s.append(c + 8, 2).append("-").append(c + 4, 3).append("-").append(c + 20, 4);
    s.append(" ").append(c + 11, 8);
    text.assign(s);
}

}  // namespace karvel
