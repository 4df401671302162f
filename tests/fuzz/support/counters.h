/// The coverage counters of the whole program (the inline 8-bit counters).
#pragma once

#include <cstdint>

namespace fuzz {

std::uint8_t* counters_begin();
std::uint8_t* counters_end();

}  // namespace fuzz
