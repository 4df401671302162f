/// A temporary working folder and a captured terminal for the report tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "report/report.h"
#include "core/channels.h"
#include "core/records.h"

namespace karvel::test {

inline std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

inline std::string read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_file(const std::string& name, const std::string& text) {
    std::ofstream out(name, std::ios::binary);
    out << text;
}

inline std::string pad(std::string s, std::size_t n) {
    s.resize(n, ' ');
    return s;
}

/// While it lives, no file of the process may grow beyond the given size: a
/// write past it fails (the signal it would raise is ignored). Keep the
/// terminal output of the scope below the limit.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*old_handler_)(int) = SIG_DFL;
};

/// Runs each test in a fresh folder with the terminal read from a given
/// text and written to a temporary file.
class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SOURCE_DATE_EPOCH", "1796738709", 1);
        setenv("TZ", "UTC", 1);
        tzset();
        start_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() /
               ("karvel_report_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
        reset_records();
        tin.in = io::kTerminalIn;
        tin.out = io::kTerminalOut;
        terminal("");
    }
    void TearDown() override {
        io::close(16);
        io::close(2);
        lpoutc = 0;
        io::redirect_terminal(nullptr, nullptr);
        if (in_ != nullptr) std::fclose(in_);
        if (out_ != nullptr) std::fclose(out_);
        in_ = out_ = nullptr;
        std::filesystem::current_path(start_);
        std::filesystem::remove_all(dir_);
    }

    /// Replaces the terminal: input from the text, output captured afresh.
    void terminal(const std::string& input) {
        io::redirect_terminal(nullptr, nullptr);
        if (in_ != nullptr) std::fclose(in_);
        if (out_ != nullptr) std::fclose(out_);
        in_ = std::tmpfile();
        out_ = std::tmpfile();
        std::fputs(input.c_str(), in_);
        std::rewind(in_);
        io::redirect_terminal(in_, out_);
    }

    /// Runs fn with the terminal output on a pipe, which no file-size limit
    /// touches, and returns its lines (a few kB at most).
    std::vector<std::string> piped(const std::function<void()>& fn) {
        int fds[2];
        if (::pipe(fds) != 0) return {"no pipe"};
        std::FILE* out = ::fdopen(fds[1], "w");
        io::redirect_terminal(in_, out);
        fn();
        io::redirect_terminal(in_, out_);
        std::fclose(out);
        std::string text;
        char buf[4096];
        ssize_t got;
        while ((got = ::read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(got));
        ::close(fds[0]);
        return split_lines(text);
    }

    /// The terminal output so far, line by line.
    std::vector<std::string> screen() {
        flusht(6);
        std::fflush(out_);
        std::rewind(out_);
        std::string text;
        char buf[4096];
        std::size_t got;
        while ((got = std::fread(buf, 1, sizeof buf, out_)) > 0) text.append(buf, got);
        std::fseek(out_, 0, SEEK_END);
        return split_lines(text);
    }

    std::filesystem::path start_;
    std::filesystem::path dir_;
    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
};

}  // namespace karvel::test
