/// The coverage counters of the whole program, for a target that runs its
/// inputs in child processes and hands their counters back.
///
/// This file must be compiled without the fuzzer's instrumentation: in an
/// instrumented file the compiler makes its own section symbols, and naming
/// them here would leave the counters unregistered.
#include "counters.h"

extern "C" std::uint8_t __start___sancov_cntrs[] __attribute__((weak, visibility("hidden")));
extern "C" std::uint8_t __stop___sancov_cntrs[] __attribute__((weak, visibility("hidden")));

namespace fuzz {

std::uint8_t* counters_begin() { return __start___sancov_cntrs; }
std::uint8_t* counters_end() { return __stop___sancov_cntrs; }

}  // namespace fuzz
