/// The default hooks. Each is a weak definition, so that a host that defines
/// a function of the same name and signature replaces it.
#include "karvel/karvel.h"
#include "core/channels.h"
#include "core/format.h"

namespace karvel {

__attribute__((weak)) void iniwin(const Text<4>&) {}

__attribute__((weak)) void userlog(const Text<4>&, const Text<10>&) {}

__attribute__((weak)) void kvxhlp(int&) {}

__attribute__((weak)) void kvextp() {
    fmt::write(io::kTerminalOut, "(' CALL MADE TO DUMMY ROUTINE \"KVEXTP\"',/,' RETURNING TO KARVEL')");
}

}  // namespace karvel
