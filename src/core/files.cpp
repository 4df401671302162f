/// Files written whole through a temporary file beside them, and the
/// counter file of the listing and hardcopy numbering.
#include "core/strings.h"
#include "core/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "core/channels.h"
#include "core/format.h"

namespace karvel::io {

namespace {

std::string trimmed_name(std::string_view name) { return std::string(without_trailing_blanks(name)); }

/// Whether anything at all stands under the name (a link that leads
/// nowhere included).
bool present(const std::string& name) {
    struct stat st {};
    return ::lstat(name.c_str(), &st) == 0 || errno != ENOENT;
}

/// A name beside the file for its new contents, not in use yet; empty when
/// none is found.
std::string temporary_name(const std::string& file) {
    const std::string stem = file + "." + std::to_string(::getpid());
    for (int k = 0; k < 100; ++k) {
        std::string name = stem + (k == 0 ? "" : "-" + std::to_string(k)) + ".tmp";
        if (!present(name)) return name;
    }
    return {};
}

}  // namespace

Replaced replace_file(int channel, std::string_view name, const std::vector<std::string>& records) {
    std::string file = trimmed_name(name);
    if (file.empty()) return Replaced::CannotOpen;

    // The file to replace: what the name leads to, if anything is there.
    struct stat st {};
    bool existed = false;
    if (::lstat(file.c_str(), &st) == 0) {
        existed = true;
        if (S_ISLNK(st.st_mode)) {
            char* target = ::realpath(file.c_str(), nullptr);
            if (target == nullptr) return Replaced::CannotOpen;
            file = target;
            std::free(target);
            if (::stat(file.c_str(), &st) != 0) return Replaced::CannotOpen;
        }
        if (!S_ISREG(st.st_mode) || ::access(file.c_str(), W_OK) != 0) return Replaced::CannotOpen;
    } else if (errno != ENOENT) {
        return Replaced::CannotOpen;
    }

    const std::string temp = temporary_name(file);
    if (temp.empty() || io::open(channel, temp, Status::New) != 0) return Replaced::CannotOpen;
    bool ok = true;
    for (std::size_t i = 0; ok && i < records.size(); ++i) {
        ok = io::put(channel, records[i]) && io::end_record(channel);
    }
    ok = io::good(channel) && ok;
    ok = io::close(channel) && ok;
    ok = ok && on_disk(temp);
    // The new file keeps the permissions of the one it replaces.
    if (ok && existed) (void)::chmod(temp.c_str(), st.st_mode & 07777);
    ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return Replaced::CannotWrite;
    }
    return Replaced::Done;
}

bool on_disk(std::string_view name) {
    const std::string file = trimmed_name(name);
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

int advance_counter(int channel, int (*next)(int last)) {
    const std::string file(kCounterFile);
    int last = 0;
    bool usable = channel >= 0;
    if (usable) {
        if (io::open(channel, file, Status::Old) == 0) {
            // A file without a number in columns 2 to 6 starts afresh.
            if (fmt::read(channel, "(1X,I5)", {last}) != 0) last = 0;
            io::close(channel);
        } else if (present(file)) {
            usable = false;
        }
    }
    const int number = next(last);
    if (!usable) {
        // Whatever stands under the name could not be read, so it is not
        // replaced either.
        fmt::write(kTerminalOut, "(' CANNOT OPEN FILE ',A)", {file});
        return number;
    }
    if (replace_file(channel, file, fmt::format_records("(1X,I5)", {number})) != Replaced::Done) {
        fmt::write(kTerminalOut, "(' CANNOT WRITE FILE ',A)", {file});
    }
    return number;
}

}  // namespace karvel::io
