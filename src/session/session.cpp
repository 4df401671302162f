/// Storage of the entry routine's session variables.
#include "session/session.h"

namespace karvel {

Session sess;

}  // namespace karvel
