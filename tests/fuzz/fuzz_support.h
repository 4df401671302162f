/// Shared set-up of the fuzz targets: a scratch folder, the environment of a
/// session without devices, the terminal streams, and the checks.
#pragma once

#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/channels.h"

// KARVEL_FUZZ_STRICT turns on the checks that need a saturating number
// decoder and formatted input (every value stored is finite) and a fit that
// goes on when its chi-squared is not finite (a session always reaches the
// save question). Without it those checks are skipped.
#ifndef KARVEL_FUZZ_STRICT
#define KARVEL_FUZZ_STRICT 0
#endif

// The graphics library's font set-up keeps what it allocates for the life
// of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

// A smaller quarantine lets freed memory be used again sooner: fresh pages
// for every allocation made the targets slow on a virtual machine. A target
// may add options of its own (ASAN_OPTIONS in the environment still wins).
#ifndef FUZZ_ASAN_OPTIONS
#define FUZZ_ASAN_OPTIONS "quarantine_size_mb=16"
#endif
extern "C" const char* __asan_default_options() { return FUZZ_ASAN_OPTIONS; }

namespace fuzz {

inline constexpr bool kStrict = KARVEL_FUZZ_STRICT != 0;

/// The error stream as it was at start-up: libFuzzer may close fd 2 for the
/// targets (-close_fd_mask), but a failed check must still be reported.
inline int& error_fd() {
    static int fd = 2;
    return fd;
}

inline void say(const std::string& text) {
    const std::string line = text + "\n";
    ssize_t ignored = ::write(error_fd(), line.data(), line.size());
    (void)ignored;
}

/// A failed check: the message, then abort, which libFuzzer reports as a
/// crash and saves the input.
[[noreturn]] inline void fail(const std::string& what) {
    say("==fuzz check failed== " + what);
    std::abort();
}

#define FUZZ_CHECK(cond, what)                                       \
    do {                                                             \
        if (!(cond)) ::fuzz::fail(std::string(#cond ": ") + (what)); \
    } while (0)

inline std::string& scratch() {
    static std::string dir;
    return dir;
}

inline int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
    return ::remove(path);
}

/// Removes a folder and everything below it.
inline void remove_tree(const std::string& path) {
    ::nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

inline bool write_file(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

inline std::string read_file(const std::string& path) {
    std::string s;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return s;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

/// The environment of a session without devices: every plot unit on the
/// null device, no X display, no print command, a fixed clock.
inline void quiet_environment() {
    for (int u = 1; u <= 8; ++u) {
        const std::string var = "PGPLOT_ZOV_DEV_" + std::to_string(u);
        ::setenv(var.c_str(), "/NULL", 1);
    }
    ::unsetenv("DISPLAY");
    ::unsetenv("PGPLOT_ZOV_PRINT_CMD");
    ::unsetenv("PGPLOT_ZOV_PGRUNFIGDISP");
    ::unsetenv("PGPLOT_ZOV_PPAGE");
    ::setenv("SOURCE_DATE_EPOCH", "1796738709", 1);
    ::setenv("TZ", "UTC", 1);
}

/// Start-up of every target: keeps the error stream, makes the scratch
/// folder, and makes crash files land where libFuzzer was started even when
/// a target works inside the scratch folder (an absolute -artifact_prefix,
/// unless one was given).
inline void initialise(int* argc, char*** argv) {
    error_fd() = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (error_fd() < 0) error_fd() = 2;

    char tmpl[] = "/tmp/karvel-fuzz-XXXXXX";
    if (!::mkdtemp(tmpl)) fail("cannot make a scratch folder");
    scratch() = tmpl;
    std::atexit([] { remove_tree(scratch()); });
    quiet_environment();

    bool has_prefix = false;
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp((*argv)[i], "-artifact_prefix=", 17) == 0) has_prefix = true;
    }
    if (!has_prefix) {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd)) {
            static std::string flag = std::string("-artifact_prefix=") + cwd + "/";
            static std::vector<char*> args;
            args.assign(*argv, *argv + *argc);
            args.insert(args.begin() + 1, flag.data());
            args.push_back(nullptr);
            *argc += 1;
            *argv = args.data();
        }
    }
}

/// The terminal of the package, pointed at in-memory input and a sink.
class Terminal {
public:
    explicit Terminal(std::string_view input) : text_(input) {
        in_ = text_.empty() ? std::fopen("/dev/null", "r")
                            : ::fmemopen(text_.data(), text_.size(), "r");
        out_ = std::fopen("/dev/null", "w");
        if (!in_ || !out_) fail("cannot open the terminal streams");
        karvel::io::redirect_terminal(in_, out_);
    }
    ~Terminal() {
        karvel::io::redirect_terminal(nullptr, nullptr);
        std::fclose(in_);
        std::fclose(out_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

private:
    std::string text_;
    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
};

/// Splits bytes into records as a file channel reads them: at newlines, a
/// carriage return before the newline dropped, a last line without a newline
/// counted too.
inline std::vector<std::string> split_records(std::string_view bytes) {
    std::vector<std::string> recs;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t nl = bytes.find('\n', start);
        const std::size_t end = nl == std::string_view::npos ? bytes.size() : nl;
        std::string r(bytes.substr(start, end - start));
        if (!r.empty() && r.back() == '\r') r.pop_back();
        recs.push_back(std::move(r));
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
    return recs;
}

/// Takes bytes off the front of the input.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}
    std::uint8_t byte() {
        if (n_ == 0) return 0;
        --n_;
        return *p_++;
    }
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
        return v;
    }
    float real() {
        const std::uint32_t bits = u32();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    bool empty() const { return n_ == 0; }
    std::string_view rest() const { return {reinterpret_cast<const char*>(p_), n_}; }

private:
    const std::uint8_t* p_;
    std::size_t n_;
};

inline bool same_float(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || (a == 0.0f && b == 0.0f); }

}  // namespace fuzz
