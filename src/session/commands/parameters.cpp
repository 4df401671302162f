/// The commands of the parameter table: V lists or sets it, S saves it to
/// the parameter file, and E leaves the session, asking whether to save it.
#include "params/params.h"
#include "report/report.h"
#include "plot/plot.h"
#include "core/channels.h"
#include "core/format.h"
#include "session/commands/commands.h"
#include "session/session.h"

namespace karvel {

namespace {

void save_parameters() {
    kvsave(functn.np, functn.p.data(), functn.s.data(), sess.nunit, sess.parfll);
}

}  // namespace

Next command_values() {
    kvvals(functn.np, functc.name, functn.p.data(), functn.s.data(), functn.xv.data(), sess.old.data(), tin.v(1),
           tin.v(2), tin.v(3));
    return Next::Prompt;
}

Next command_save() {
    save_parameters();
    flags(kNoPlot) = 0;
    return Next::Prompt;
}

Next command_exit() {
    if (fclose.close == 0) return Next::Leave;
    fmt::write(tin.out, "(' DO YOU WISH TO SAVE THE CURRENT PARAMETER VALUES (Y/N)[N] : ')");
    io::flusht(tin.out);
    Text<1> answer("N");
    if (fmt::read(tin.in, "(A1)", {answer}) != 0) answer = "N";
    if (answer.at(1) == 'Y' || answer.at(1) == 'y') save_parameters();
    lpendf();
    pgnend(2);
    pgnend(1);
    return Next::Leave;
}

}  // namespace karvel
