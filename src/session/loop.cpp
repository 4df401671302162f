/// The command loop: reads command lines, dispatches on the command letter,
/// and leaves the session through the exit path.
#include <string>

#include "fit/fit.h"
#include "params/params.h"
#include "plot/plot.h"
#include "report/report.h"
#include "core/channels.h"
#include "core/format.h"
#include "core/strings.h"
#include "session/session.h"

namespace karvel {

namespace {

constexpr const char* kTable = "HVXFRPSYCEDOLWJZT";

bool initialised() { return flags(1) != 0 && flags(2) != 0; }

void save_parameters() {
    kvsave(functn.np, functn.p.data(), functn.s.data(), sess.nunit, sess.parfll);
}

void read_sequence() {
    redinc.assign(tinc.line.view().substr(0, 80));
    terase();
    kvdatn(reditc.n, reditc.x.data(), reditc.y.data(), reditc.e.data(), sess.reader);
    obsdat.n = reditc.n;
    kvlimt(reditc.x.data(), reditc.y.data(), reditc.e.data(), obsdat.n, obsdat.x.data(),
           obsdat.y.data(), obsdat.e.data(), fitlim.m);
    flags(4) = 0;
}

void hardcopy_sequence() {
    if (!initialised()) {
        fmt::write(tin.out, kNotInitialised);
        return;
    }
    int status = 0;
    pgnsel(2, sess.lastp, status);
    if (status != -1) {
        draw_frame_data_title();
        caldat.ncall = 0;
        // As for F: a print control sends the minimiser's printout to the
        // listing file, which must be open before the fit writes to it.
        if (tin.v(3) != 0.0f) lpout(sess.pnam, io::kListing);
        kvffff(sess.model, functn.np, functn.p.data(), functn.s.data(), functn.xv.data(), fitlim.m,
               obsdat.x.data(), obsdat.y.data(), obsdat.e.data(), caldat.yc.data(), caldat.r.data(),
               work);
        draw_fit_results(sess.model, tin.v(1));
    }
    int other = 0;
    pgnsel(sess.lastp, other, status);
}

void display_command() {
    if (flags(1) == 0) {
        fmt::write(tin.out, "(' NO DATA TO PLOT')");
        return;
    }
    draw_frame_data_title();
    flags(4) = 1;
}

void clear_command() {
    if (tinc.line.at(1) == 'Z') {
        fmt::write(io::kTerminalOut, "(' JAVA enabled - Karvel ',A,' - type RETURN to continue : ',$)",
                   {Text<4>(kPackageVersionText)});
        io::flusht(tin.out);
        fmt::read(tin.in, "(1X)");
    } else {
        terase();
    }
}

void exit_path() {
    if (fclose.close == 0) return;
    fmt::write(tin.out, "(' DO YOU WISH TO SAVE THE CURRENT PARAMETER VALUES (Y/N)[N] : ')");
    io::flusht(tin.out);
    Text<1> answer("N");
    if (fmt::read(tin.in, "(A1)", {answer}) != 0) answer = "N";
    if (answer.at(1) == 'Y' || answer.at(1) == 'y') save_parameters();
    lpendf();
    pgnend(2);
    pgnend(1);
}

}  // namespace

void draw_fit_results(Model model) { draw_fit_results(model, tin.v(1)); }

void kvhelp(int, int out, const Text<4>& name) {
    Text<20> now;
    dayt(now);
    fmt::write(out, "(1X,A4,' Version',F5.1,' (using KARVEL-',F3.1,')',3X,A)",
               {name, version.host, version.package, now});
    kvxhlp(out);
    fmt::write(out,
               "(/,' Basic fitting and control commands',"
               "/,' H              type this list',"
               "/,' R              read in fresh data',"
               "/,' D              display data',"
               "/,' X min max      change current x-scale to min<x<max',"
               "/,'                if min and max are 0, show current limits',"
               "/,' Y min max      change current y-scale to min<y<max  etc.',"
               "/,' V n v s        change parameter number n to v',"
               "/,'                with associated step s (about 1.0) if',"
               "/,'                this is to be fitted.',"
               "/,'                if s is negative parameter n is tied',"
               "/,'                to preceding parameter #-s',"
               "/,' V              (no parameters) list current values',"
               "/,' F n (N)        fit n iterations (0 to show current curve)',"
               "/,'                N (optional) for no plot while fitting',"
               "/,' O a b c d e f  only fit spectrum between range of a<x<b',"
               "/,'                and c<x<d etc. (ignored if both are zero)',"
               "/,' P              plot fit and data on hardcopy',"
               "/,' W flnme        write fit and data onto output file flname.kpl',"
               "/,' L (F)          list last fit (F for full listing)',"
               "/,' S              save current parameters',"
               "/,' C              enable/disable cursor(in next plot)',"
               "/,' Z              clear screen',"
               "/,' T extra text   set manual title for graphs',"
               "/,' J              jump to special routine')");
    if (seqctr.e1 == 0) {
        fmt::write(out, "(' E              EXIT from program.')");
    } else {
        fmt::write(out, "(' E              EXIT from manual fit and do sequences')");
    }
}

void command_loop() {
    for (;;) {
        if (stopcy.e1 != 0) break;
        const int k = ikvcmd(17, kTable);
        if (k < 1) break;
        spltc(1) = sess.tvars1;

        const char letter = kTable[k - 1];
        switch (letter) {
            case 'H':
                terase();
                flags(4) = 0;
                kvhelp(tin.in, tin.out, sess.pnam);
                break;
            case 'V':
                kvvals(functn.np, functc.name, functn.p.data(), functn.s.data(),
                       functn.xv.data(), sess.old.data());
                break;
            case 'X':
                kvxset(pltlic.x);
                flags(4) = 0;
                break;
            case 'F':
                fit_command(sess.model);
                break;
            case 'R':
                read_sequence();
                break;
            case 'P':
                hardcopy_sequence();
                break;
            case 'S':
                save_parameters();
                flags(4) = 0;
                break;
            case 'Y':
                kvyset(pltlic.y);
                flags(4) = 0;
                break;
            case 'C':
                sess.tvars1 = sess.tvars1 == 0.0f ? 1.0f : 0.0f;
                flags(4) = 0;
                break;
            case 'E':
                exit_path();
                return;
            case 'D':
                display_command();
                break;
            case 'O':
                range_command();
                break;
            case 'L':
                if (flags(2) == 0 || flags(1) == 0) {
                    fmt::write(tin.out, "(' NO FIT ATTEMPTS AVAILABLE FOR LISTING.')");
                } else {
                    lpout(sess.pnam, io::kListing);
                    kvlist(sess.old.data());
                }
                break;
            case 'W':
                write_command(sess.model);
                break;
            case 'J':
                kvextp();
                break;
            case 'Z':
                clear_command();
                break;
            case 'T':
                titlex.assign(tinc.line.view().substr(0, 50));
                titlei = 1;
                break;
            default:
                break;
        }
    }
    exit_path();
}

}  // namespace karvel
