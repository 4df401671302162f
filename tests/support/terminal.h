/// Test support: runs code with the terminal channels on temporary files and returns what it wrote.
#pragma once

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/channels.h"

namespace karvel::test {

/// Runs fn with `input` as the terminal input; returns the terminal output.
inline std::string terminal(const std::function<void()>& fn, const std::string& input = "") {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::fputs(input.c_str(), in);
    std::rewind(in);
    io::redirect_terminal(in, out);
    fn();
    io::flusht(io::kTerminalOut);
    io::redirect_terminal(nullptr, nullptr);
    std::string text;
    std::rewind(out);
    char buf[4096];
    std::size_t got = 0;
    while ((got = std::fread(buf, 1, sizeof buf, out)) > 0) text.append(buf, got);
    std::fclose(in);
    std::fclose(out);
    return text;
}

/// The lines of a text, without their newlines.
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream is(text);
    for (std::string line; std::getline(is, line);) lines.push_back(line);
    return lines;
}

inline std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

}  // namespace karvel::test
