/// Small text helpers of the whole package.
#pragma once

#include <string_view>

namespace karvel {

/// The text without its trailing blanks.
constexpr std::string_view without_trailing_blanks(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

/// An ASCII letter or digit.
constexpr bool is_letter_or_digit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

/// The message of a command that needs data and parameters before it can run.
constexpr const char* kNotInitialised = "(' DATA AND/OR FUNCTION PARAMETERS NOT INITIALISED')";

}  // namespace karvel
