/// Start-up of every call of the entry routine: defaults, plot units and the
/// parameter file of the previous run.
#include <string>

#include "plot/plot.h"
#include "core/channels.h"
#include "core/format.h"
#include "session/session.h"

namespace karvel {

namespace {

// Reads the parameter file: control values, ranges, plot limits, values and
// steps, up to the first line that is missing or unreadable. A file that
// ends early is fine (a new empty file, one written for fewer parameters);
// a line that cannot be read is reported, and what was read before stays.
void read_parameter_file() {
    const int ch = sess.nunit;
    const std::string name(sess.parfll.trimmed());
    if (io::open(ch, name, io::Status::Unknown) != 0) {
        fmt::write(tin.out, "(' CANNOT OPEN FILE ',A)", {name});
        return;
    }
    const int status = [&] {
        int st = fmt::read(ch, "(/,1X,2G12.4)", {fitcon.substep, fitcon.acc});
        // A substep read before a malformed field is reset like any other.
        if (fitcon.substep >= 1.0f) fitcon.substep = 0.05f;
        if (st != 0) return st;
        if (fitcon.acc == 0.0f) fitcon.acc = 0.01f;
        st = fmt::read(ch, "(1X,2G12.4)",
                       {fitlim.bound(1), fitlim.bound(2), fitlim.bound(3), fitlim.bound(4),
                        fitlim.bound(5), fitlim.bound(6)});
        if (st != 0) return st;
        st = fmt::read(ch, "(1X,2G12.4)", {pltlim(kPlotXMin), pltlim(kPlotXMax)});
        if (st != 0) return st;
        st = fmt::read(ch, "(1X,2G12.4)", {pltlim(kPlotYMin), pltlim(kPlotYMax)});
        if (st != 0) return st;
        for (int i = 1; i <= titlep.npar; ++i) {
            st = fmt::read(ch, "(1X,2G12.4)", {functn.p(i), functn.s(i)});
            if (st != 0) return st;
        }
        return 0;
    }();
    io::close(ch);
    if (status > 0) fmt::write(tin.out, "(' ERROR READING FILE ',A)", {name});
}

void initialise(const Text<4>& name) {
    const int npar = titlep.npar;
    if (npar < 1) stop("NO PARAMETERS SET");
    if (npar > kMaxPar) stop("TOO MANY PARAMETERS");

    functn.np = npar;
    sess.parfl = name.is_blank() ? Text<4>("FFFF") : name;
    iniwin(sess.parfl);
    sess.parfll.assign(std::string(sess.parfl.view()) + ".kvn");

    for (int i = 1; i <= kMaxPar; ++i) {
        errorc.dev(i) = 0.0f;
        if (!titles.name[i - 1].is_blank()) functc.name[i - 1] = titles.name[i - 1];
    }
    if (!titles.x.is_blank()) pltlic.x = titles.x;
    if (!titles.y.is_blank()) pltlic.y = titles.y;

    titlex.blank();
    titlei = 0;
    sess.pnam = name;
    tinc.name = name;
    sess.logfil = "kvfuns.use";
    sess.vershn = kPackageVersionText;

    version.package = kPackageVersion;
    limitf.version = kPackageVersion;
    if (version.host <= 0.0f) version.host = 1.0f;
    fitcon.vers = sess.vershn;

    sess.nunit = io::kParameterFile;
    sess.nunit2 = io::kDataFile;
    tin.in = io::kTerminalIn;
    tin.out = io::kTerminalOut;

    for (int i = 1; i <= 4; ++i) flags(i) = 0;
    chichi = Chichi{};
    for (int i = 5; i <= 8; ++i) pltlim(i) = 0.0f;
    sess.tvars1 = 0.0f;

    fitcon.substep = 0.01f;
    fitcon.maxstep = 100.0f;
    fitcon.acc = 0.01f;
    fitcon.fourth = 100.0f;
    fitlim.m = 0;

    userlog(name, sess.logfil);

    int status = 0;
    pgnopn(1, " ", status);
    if (status != 0) stop("FAILED TO OPEN PLOTTING ON ZOV_DEV_1");
    pgnopn(2, std::string(name.view()) + "#", status);
    if (status != 0) stop("FAILED TO OPEN PLOTTING ON ZOV_DEV_2");
    int previous = 0;
    pgnsel(1, previous, status);
    if (status != 0) stop("FAILED TO RE-FIND DISPLAY DEVICE");
    int flag = 0;
    pgtktr(1, flag);
    tekenv = flag;

    for (int i = 1; i <= npar; ++i) {
        functn.p(i) = 0.0f;
        functn.s(i) = 0.0f;
        functn.xv(i) = 1.0f;
    }

    read_parameter_file();

    fitlim.nactive = 0;
    for (int k = 1; k <= 3; ++k) {
        if (fitlim.bound(2 * k) > fitlim.bound(2 * k - 1)) ++fitlim.nactive;
    }
    for (int i = 1; i <= npar; ++i) sess.old(i) = functn.p(i);
    spltc.fill(0.0f);
    fclose.initialised = 1;
}

}  // namespace

void startup(const Text<4>& name) {
    quiet = 0;
    limitf.maxpts = kMaxPts;
    limitf.maxpar = kMaxPar;
    if (fclose.initialised == 0) initialise(name);
    flags(kParametersSet) = 1;
    terase();
    fmt::write(tin.out, "(1X,A4,15X,'version',F5.1)", {name, version.host});
}

}  // namespace karvel
