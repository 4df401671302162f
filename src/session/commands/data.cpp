/// The commands of the data and its window: R reads fresh data, D displays
/// it, X and Y set the plot window, O the fitting ranges, C asks for the
/// cursor in the next plot.
#include "params/params.h"
#include "plot/pictures.h"
#include "plot/plot.h"
#include "core/format.h"
#include "session/commands/commands.h"
#include "session/session.h"

namespace karvel {

Next command_read() {
    redinc.assign(tinc.line.view().substr(0, 80));
    terase();
    kvdatn(reditc.n, reditc.x.data(), reditc.y.data(), reditc.e.data(), sess.reader);
    obsdat.n = reditc.n;
    kvlimt(reditc.x.data(), reditc.y.data(), reditc.e.data(), obsdat.n, obsdat.x.data(), obsdat.y.data(),
           obsdat.e.data(), fitlim.m);
    flags(kNoPlot) = 0;
    return Next::Prompt;
}

Next command_display() {
    if (flags(kDataRead) == 0) {
        fmt::write(tin.out, "(' NO DATA TO PLOT')");
        return Next::Prompt;
    }
    draw_frame_data_title();
    flags(kNoPlot) = 1;
    return Next::Prompt;
}

Next command_xscale() {
    kvxset(pltlic.x, tin.v(1), tin.v(2));
    flags(kNoPlot) = 0;
    return Next::Prompt;
}

Next command_yscale() {
    kvyset(pltlic.y, tin.v(1), tin.v(2));
    flags(kNoPlot) = 0;
    return Next::Prompt;
}

Next command_range() {
    set_fitting_ranges(tin.v.data());
    return Next::Prompt;
}

Next command_cursor() {
    sess.tvars1 = sess.tvars1 == 0.0f ? 1.0f : 0.0f;
    flags(kNoPlot) = 0;
    return Next::Prompt;
}

}  // namespace karvel
