/// The numbered listing file: opened on first use, numbered through the
/// counter file "sequ.seq", closed when the user leaves.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "report/report.h"
#include "session/channels.h"
#include "session/records.h"

namespace karvel {

namespace {

constexpr std::string_view kCounterFile = "sequ.seq";

bool is_letter_or_digit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

/// Reads the last number used from the counter file and returns the next
/// one, 1 when the file is empty or does not hold a number. Returns 0 when
/// the file cannot be opened.
int next_sequence_number(int channel) {
    if (io::open(channel, kCounterFile, io::Status::Unknown) != 0) return 0;
    int last = 0;
    int next = 1;
    if (fmt::read(channel, "(1X,I5)", {last}) == 0) next = last + 1;
    io::close(channel);
    if (next <= 0 || next > 999) next = 1;
    return next;
}

}  // namespace

bool open_for_writing(int channel, std::string_view name, io::Status status) {
    // The channel layer falls back to reading for a file it cannot write,
    // and a folder opens that way too; neither can take a listing.
    const std::string path(name);
    if (::access(path.c_str(), F_OK) == 0) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), W_OK) != 0) {
            return false;
        }
    }
    return io::open(channel, name, status) == 0;
}

void cannot_open(std::string_view name) { fmt::write(tin.out, "(' CANNOT OPEN FILE ',A)", {name}); }

void cannot_write(std::string_view name) { fmt::write(tin.out, "(' CANNOT WRITE FILE ',A)", {name}); }

void lpout(const Text<4>& name, int channel) {
    if (lpoutc > 0) return;

    // The counter file is advanced before the listing file is made. When it
    // cannot be read or written no listing file is opened, so that a later
    // call tries again from the start.
    const int number = next_sequence_number(channel);
    if (number == 0) {
        cannot_open(kCounterFile);
        return;
    }
    if (!open_for_writing(channel, kCounterFile, io::Status::Unknown)) {
        cannot_open(kCounterFile);
        return;
    }
    bool written = fmt::write(channel, "(1X,I5)", {number});
    written = io::good(channel) && written;
    io::close(channel);
    if (!written) {
        cannot_write(kCounterFile);
        return;
    }

    Text<4> prefix("xxxx");
    for (int i = 1; i <= 4; ++i) {
        if (is_letter_or_digit(name.at(i))) prefix.at(i) = name.at(i);
    }
    fmt::write_text(lpoutch, "(A4,I3.3,'.lis')", {prefix, number});

    if (!open_for_writing(channel, lpoutch.trimmed(), io::Status::Unknown)) {
        cannot_open(lpoutch.trimmed());
        return;
    }
    lpoutc = number;
    lpoutcc = channel;
}

void lpendf() {
    if (lpoutc == 0) return;
    // Whatever was still buffered reaches the file now; a failure there is
    // the last chance to say that the listing is incomplete.
    const bool written = io::good(lpoutcc);
    fmt::write(6, "(' Closing listing file ',A)", {lpoutch});
    io::close(lpoutcc);
    lpoutc = 0;
    if (!written) cannot_write(lpoutch.trimmed());
}

}  // namespace karvel
