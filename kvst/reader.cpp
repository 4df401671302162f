/// The reader of kvst: a title line, two skipped lines and groups of ten numbers.
#include <cmath>
#include <string>
#include <vector>

#include "kvst.h"

#include "core/channels.h"
#include "core/format.h"

namespace karvel {

Text<100> infile;

namespace {

bool is_separator(char c) { return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n'; }

constexpr int kGroupNumbers = 10;   // the numbers of one group: five pairs y, e
constexpr int kMaxGroups = 320;     // the reader's capacity: 1600 points
constexpr int kMaxNumbers = kGroupNumbers * kMaxGroups;
constexpr std::size_t kMaxToken = 256;  // a longer word is no number

}  // namespace

void myread(int& n, float* x, float* y, float* e, TextRef title) {
    constexpr int kChannel = io::kDataFile;
    fmt::write(io::kTerminalOut, "(' Give input filename : ',$)");
    flusht(io::kTerminalOut);
    // End of input at the prompt counts as an empty name.
    if (fmt::read(io::kTerminalIn, "(A)", {infile}) != 0) infile.blank();
    const std::string name(infile.trimmed());

    if (name.empty() || io::open(kChannel, name, io::Status::Old) != 0) {
        fmt::write(io::kTerminalOut, "(' CANNOT OPEN FILE ',A)", {name});
        return;
    }

    // Everything is read into local storage first, so that a file that fails
    // half way leaves the session's data and title as they were.
    bool ok = true;
    std::string head;
    if (auto rec = io::read_record(kChannel)) {
        head = *rec;
    } else {
        ok = false;
    }
    for (int k = 0; ok && k < 2; ++k) {
        if (!io::read_record(kChannel)) ok = false;
    }

    // The numbers are streamed, a character at a time, so that a file
    // without line ends costs no more memory than the numbers it holds.
    std::vector<float> numbers;
    numbers.reserve(kMaxNumbers);
    std::string token;
    bool token_too_long = false;
    while (ok && static_cast<int>(numbers.size()) < kMaxNumbers) {
        const int c = io::get_char(kChannel);
        if (c != EOF && !is_separator(static_cast<char>(c))) {
            if (token.size() < kMaxToken) {
                token.push_back(static_cast<char>(c));
            } else {
                token_too_long = true;
            }
            continue;
        }
        if (!token.empty()) {
            float v = 0.0f;
            // A value beyond the range of single precision is an error too.
            if (token_too_long || !fmt::parse_real(token, v) || std::isinf(v)) {
                ok = false;
                break;
            }
            numbers.push_back(v);
            token.clear();
        }
        if (c == EOF) break;
    }
    io::close(kChannel);

    if (!ok) {
        fmt::write(io::kTerminalOut, "(' ERROR READING FILE ',A)", {name});
        return;
    }

    // Only complete groups count; every point of them is taken.
    const int groups = static_cast<int>(numbers.size()) / kGroupNumbers;
    const int count = 5 * groups;
    for (int i = 0; i < count; ++i) {
        y[i] = numbers[2 * static_cast<std::size_t>(i)];
        e[i] = numbers[2 * static_cast<std::size_t>(i) + 1];
        x[i] = static_cast<float>(i + 1) * 0.1f - 2.0f;
    }
    // The title line was read before any group, so it is taken even when
    // no group is complete.
    title.assign(head);
    n = count;
    fmt::write(io::kTerminalOut, "(I3,' lines have been read in')", {n});
}

}  // namespace karvel
