/// The format engine: formatted writes and reads driven by format strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "karvel/text.h"

namespace karvel::fmt {

/// One value handed to a formatted write.
struct Value {
    enum class Kind { Int, Real, Text } kind;
    int i = 0;
    float r = 0.0f;
    std::string t;

    Value(int v) : kind(Kind::Int), i(v) {}                       // NOLINT
    Value(float v) : kind(Kind::Real), r(v) {}                    // NOLINT
    /// A double is written as the float it rounds to.
    Value(double v) : kind(Kind::Real), r(static_cast<float>(v)) {}  // NOLINT
    Value(std::string_view v) : kind(Kind::Text), t(v) {}         // NOLINT
    Value(const char* v) : kind(Kind::Text), t(v) {}              // NOLINT
    Value(const std::string& v) : kind(Kind::Text), t(v) {}       // NOLINT
    template <int N>
    Value(const Text<N>& v) : kind(Kind::Text), t(v.view()) {}    // NOLINT
};
using Values = std::vector<Value>;

/// One variable filled by a formatted or list-directed read.
struct Target {
    enum class Kind { Int, Real, Text } kind;
    int* i = nullptr;
    float* r = nullptr;
    char* t = nullptr;
    int len = 0;

    Target(int& v) : kind(Kind::Int), i(&v) {}                        // NOLINT
    Target(float& v) : kind(Kind::Real), r(&v) {}                     // NOLINT
    Target(TextRef v) : kind(Kind::Text), t(v.p), len(v.len) {}       // NOLINT
    template <int N>
    Target(Text<N>& v) : kind(Kind::Text), t(v.c), len(N) {}          // NOLINT
};
using Targets = std::vector<Target>;

/// Formats the values into records (lines, without their newlines). A format
/// holding '$' leaves its last record open: `open_end` reports it.
/// Format strings are parsed once and kept; a malformed format string is a
/// programming error and throws std::invalid_argument.
std::vector<std::string> format_records(std::string_view format, const Values& values,
                                        bool* open_end = nullptr);

/// Formatted write of the values to an I/O channel. Tells whether every
/// record reached the channel.
bool write(int channel, std::string_view format, const Values& values = {});

/// Internal write: the first record goes into the text, filled from the left
/// and padded with blanks (longer output is cut).
void write_text(TextRef dest, std::string_view format, const Values& values = {});
std::string to_text(int len, std::string_view format, const Values& values = {});

/// Formatted read from an I/O channel. Returns 0 on success, a negative
/// status at end of file, a positive one for a malformed field or a channel
/// that is not open. Variables read before a failure keep their new values.
int read(int channel, std::string_view format, const Targets& targets = {});

/// Formatted read from the given records (an internal file).
int read_records(const std::vector<std::string>& records, std::string_view format,
                 const Targets& targets, std::size_t* used = nullptr);

/// List-directed read: numbers separated by blanks, commas or tabs, over as
/// many records as it takes to fill the targets. Each call starts at a new
/// record. Same status values as read().
int read_list(int channel, const Targets& targets);

/// List-directed read from the given records (an internal file).
int read_list_records(const std::vector<std::string>& records, const Targets& targets,
                      std::size_t* used = nullptr);

/// Reads a real written as an optional sign, digits with an optional decimal
/// point (at least one digit) and an optional exponent introduced by E, e, D
/// or d with an optional sign and at least one digit. Returns false, leaving
/// `out` unchanged, for anything else. Out-of-range values give infinity or 0.
bool parse_real(std::string_view token, float& out);

/// Read statuses.
constexpr int kReadOk = 0;
constexpr int kReadEnd = -1;
constexpr int kReadBadField = 1;
constexpr int kReadNotOpen = 2;

// Single edit descriptors, for tests and for callers that need one field.
std::string edit_i(int v, int w, int m = -1);
std::string edit_f(float v, int w, int d);
std::string edit_e(float v, int w, int d);
std::string edit_g(float v, int w, int d);
/// Ew.d of a double: float values never need a three-digit exponent, so this
/// is how that layout is reached.
std::string edit_e_double(double v, int w, int d);

}  // namespace karvel::fmt
