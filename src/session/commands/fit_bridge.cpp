/// The F command's row: the fit command of the fit driver, until the command
/// routine of F joins the others here.
#include "fit/fit.h"
#include "session/commands/commands.h"
#include "session/session.h"

namespace karvel {

Next command_fit() {
    fit_command(sess.model);
    return Next::Prompt;
}

}  // namespace karvel
