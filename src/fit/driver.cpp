/// The F command and the fit driver.
#include <cmath>

#include "fit/fit.h"
#include "fit/kvcalf.h"
#include "fit/numeric.h"
#include "plot/plot.h"
#include "report/report.h"
#include "core/format.h"
#include "core/strings.h"
#include "session/session.h"

namespace karvel {

namespace {

// Shows the current model curve and its residual figure.
void show_current_curve(Model model, int np, float* p, int m, float* x, float* y, float* e, float* yc,
                        float* r) {
    model(np, p, m, x, y, e, yc, r);
    float sum = 0.0f;
    for (int i = 0; i < m; ++i) sum = sum + r[i] * r[i];
    const float figure = m > 0 ? std::sqrt(sum) / static_cast<float>(m) : 0.0f;
    rsplt(x, yc, yc, m, -100, 0, pltlic.x.view(), pltlic.y.view(), pltlic.title.view());
    plot_mtxt("RV", 1.0f, 1.0f, 0.0f, "RESIDUAL");
    show_residual_figure(figure, 0.94f);
}

}  // namespace

void kvffff(Model model, int np, float* p, float* s, float* xv, int m, float* x, float* y, float* e,
            float* yc, float* r, std::vector<float>& w) {
    const int n = trunc_int(tin.v(1));
    if (n <= 0) {
        show_current_curve(model, np, p, m, x, y, e, yc, r);
        return;
    }

    int nfit = 0;
    for (int i = 1; i <= np; ++i) {
        cnstrn(i) = 0;
        if (s[i - 1] > 0.0f) {
            nfit = nfit + 1;
            xv[nfit - 1] = 1.0f / s[i - 1];
            cnstrn(i) = nfit;
        }
    }
    errorc.nfit = nfit;
    if (nfit == 0) {
        fmt::write(tin.out, "(' NO STEPS HAVE BEEN SET FOR ANY VARIABLE !')");
        return;
    }
    if (nfit >= m) {
        fmt::write(tin.out, "(' ERROR- TRYING TOFIT',I5,' POINTS WITH',I5,' PARAMETERS')", {m, nfit});
        return;
    }

    model(np, p, m, x, y, e, yc, r);
    float s0 = 0.0f;
    for (int i = 0; i < m; ++i) s0 = s0 + r[i] * r[i];
    const float acc = s0 * fitcon.acc * 0.001f;

    const int print = tin.v(3) != 0.0f ? trunc_int(tin.v(3)) : 0;
    fitrep = print;
    if (quiet == 0) fmt::write(tin.out, "($,' FITTING.....')");

    w.assign(static_cast<std::size_t>(kvva05_work_size(m, nfit)), 0.0f);
    const MinimiserSummary summary =
        kvva05(m, nfit, r, xv, fitcon.substep, fitcon.maxstep, acc, n, print, w.data(),
               [model](int mm, int nn, float* f, float* xx) { kvcalf(mm, nn, f, xx, model); });
    if (print == 0) fitrep = static_cast<int>(summary.outcome);

    if (quiet == 0) fmt::write(tin.out, "(/,/,' .....ENDED')");

    float ss = 0.0f;
    kvserr(m, nfit, r, xv, kvva05_inverse(m, nfit, w.data()), ss, errorc.cov.data(), errorc.sigma.data());

    if (print == 0 && quiet == 0) {
        if (fitrep == 1) fmt::write(tin.out, "('  NO MINIMUM FOUND')");
        if (fitrep == 2) fmt::write(tin.out, "(' LIMIT OF',I3,' ITERATIONS REACHED.')", {n});
    }

    int c = 0;
    for (int i = 1; i <= np; ++i) {
        errorc.dev(i) = 0.0f;
        const float si = s[i - 1];
        if (si == 0.0f) continue;
        if (si > 0.0f) {
            c = c + 1;
            const int k = cnstrn(i);
            p[i - 1] = p[i - 1] * si * xv[k - 1];
            errorc.dev(i) = 100.0f * si * xv[k - 1] * errorc.sigma(k);
        } else {
            const int k = tied_index(si, np);
            if (k >= 1 && k <= c) {
                const float sj = s[trunc_int(std::fabs(si)) - 1];
                p[i - 1] = p[i - 1] * sj * xv[k - 1];
                errorc.dev(i) = 100.0f * sj * xv[k - 1] * errorc.sigma(k);
            }
        }
    }

    covnor(errorc.cov.data(), nfit);
    model(np, p, m, x, y, e, yc, r);
    kvchsq(x, y, e, yc, m, nfit);
}

void fit_command(Model model) {
    flags(4) = 0;
    spltc(1) = 0.0f;
    if (tin.v(1) != 0.0f) {
        for (int i = 1; i <= 80; ++i) {
            const char ch = tinc.line.at(i);
            if (ch == 'N' || ch == 'n') flags(4) = 1;
        }
    }
    if (flags(1) == 0 || flags(2) == 0) {
        fmt::write(tin.out, kNotInitialised);
        return;
    }
    if (flags(4) == 0) draw_frame_data_title();
    caldat.ncall = 0;
    if (tin.v(3) != 0.0f) lpout(sess.pnam, io::kListing);
    if (tin.v(1) != 0.0f) {
        for (int i = 1; i <= functn.np; ++i) sess.old(i) = functn.p(i);
    }
    kvffff(model, functn.np, functn.p.data(), functn.s.data(), functn.xv.data(), fitlim.m,
           obsdat.x.data(), obsdat.y.data(), obsdat.e.data(), caldat.yc.data(), caldat.r.data(),
           work);
    flags(4) = 0;
    draw_fit_results(model);
}

}  // namespace karvel
