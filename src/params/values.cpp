/// The V command: lists the parameter table, or sets a value and step, or a fit-control value;
/// and the parameter table's row that V and L share.
#include "params/params.h"
#include "plot/plot.h"
#include "core/format.h"
#include "core/numeric.h"
#include "core/records.h"

namespace karvel {

std::string parameter_table_format(std::string_view heading) {
    return "(" + std::string(heading) + "," + std::string(kParameterRow) + ")";
}

void add_parameter_rows(fmt::Values& values, int first, int last, const Text<8>* names, const float* p,
                        const float* old, const float* s, const float* dev) {
    for (int i = first; i <= last; ++i) {
        values.emplace_back(i);
        values.emplace_back(names[i - 1]);
        values.emplace_back(p[i - 1]);
        values.emplace_back(old[i - 1]);
        values.emplace_back(s[i - 1]);
        values.emplace_back(dev[i - 1]);
    }
}

void kvvals(int n, Text<8>* names, float* p, float* s, float*, float* old, float number, float v,
            float step) {
    prompt = 0;
    flags(kParametersSet) = 1;
    const int k = trunc_int(number);
    const int out = tin.out;

    if (k < 1) {
        terase();
        fmt::write(out, "(' KARVEL ',A4,' TITLE:',A)", {fitcon.vers, pltlic.title});
        fmt::Values table{pltlic.y, pltlic.x};
        add_parameter_rows(table, 1, n, names, p, old, s, errorc.dev.data());
        static const std::string format = parameter_table_format(
            "' FITTING Y : ',A,'   VERSUS X : ',A,/,"
            "' NUMBER  PARAMETER   VALUE    (  OLD VALUE )     STEP    ',' % DEVIATION ',/");
        fmt::write(out, format, table);
        fmt::write(out,
                   "(1X,' 100',5X,'MAXIMUM STEP ',G12.4,'   300  SUBSTEP',F10.5,/,"
                   "'  200',5X,'ACCURACY    ',G12.4)",
                   {fitcon.maxstep, fitcon.substep, fitcon.acc});
        fmt::Values ranges{fitlim.m};
        for (int i = 1; i <= 6; ++i) ranges.emplace_back(fitlim.bound(i));
        fmt::write(out,
                   "(' THERE ARE ',I4,' POINTS IN THE CURRENT',' RANGE SET BY \"ONLY\" COMMAND.',/,"
                   "' CURRENT LIMITS (IF RANGE IS NON-ZERO) ARE : ',/,3(1X,G10.3,' TO',G10.3))",
                   ranges);
        return;
    }

    if (k <= n) {
        // A run of V commands goes without option lines between them.
        prompt = 1;
        p[k - 1] = v;
        if (step < -static_cast<float>(n)) {
            fmt::write(out, "(' ONLY ',I3,' PARAMETERS TO CONSTRAIN - NEGATIVE',' STEP INPUT IGNORED')", {n});
        } else {
            s[k - 1] = step;
        }
        return;
    }

    // The fit-control values; other numbers and non-positive values are ignored.
    if (!(v > 0.0f)) return;
    if (k == 100) {
        fitcon.maxstep = v;
    } else if (k == 200) {
        fitcon.acc = v;
    } else if (k == 300) {
        fitcon.substep = v;
    }
}

}  // namespace karvel
