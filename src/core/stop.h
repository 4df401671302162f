/// The ways the program stops or pauses.
#pragma once

#include <string_view>

namespace karvel {

/// Ends the program: "STOP " and the message and " statement executed" on
/// the error stream, exit status 0.
[[noreturn]] void stop(std::string_view message);
/// Halts the computation with the message until the user types go; any
/// other answer, or end of input, ends the program.
void pause_run(std::string_view message);

}  // namespace karvel
