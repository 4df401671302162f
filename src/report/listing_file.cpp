/// The numbered listing file: opened on first use, numbered through the
/// counter file "sequ.seq", closed when the user leaves.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "report/report.h"
#include "core/channels.h"
#include "core/files.h"
#include "core/records.h"
#include "core/strings.h"

namespace karvel {

namespace {

/// The listing number after the last one used: 1 after 999, and 1 when
/// the counter held no number or one below 1.
int next_listing_number(int last) {
    const int next = last + 1;  // at most five digits were read
    return next <= 0 || next > 999 ? 1 : next;
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

    // The counter is advanced before the listing file is made. A counter
    // that cannot be read starts the numbering again at 1; whatever went
    // wrong with it, the listing file is still opened.
    const int number = io::advance_counter(channel, next_listing_number);

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
    bool written = io::good(lpoutcc);
    fmt::write(io::kTerminalOut, "(' Closing listing file ',A)", {lpoutch});
    written = io::close(lpoutcc) && written;
    lpoutc = 0;
    written = io::on_disk(lpoutch.trimmed()) && written;
    if (!written) cannot_write(lpoutch.trimmed());
}

}  // namespace karvel
