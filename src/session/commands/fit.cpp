/// The F command and the fit it shares with P: moves the records into the
/// fit engine and back, reports on the terminal and draws.
#include "session/commands/fit.h"

#include <span>

#include "core/format.h"
#include "core/records.h"
#include "core/strings.h"
#include "fit/fit.h"
#include "plot/fit_progress.h"
#include "plot/pictures.h"
#include "report/report.h"
#include "session/commands/commands.h"
#include "session/session.h"

namespace karvel {

namespace {

// The terminal's part of a running fit, and the live display unless the
// no-plot flag is set.
class SessionFitProgress : public FitProgress {
public:
    SessionFitProgress(int evaluations, int print, FitProgress* display)
        : evaluations_(evaluations), print_(print), display_(display) {}
    void started() override {
        if (quiet == 0) fmt::write(tin.out, "($,' FITTING.....')");
    }
    void evaluated(int call, int m, const float* x, const float* yc, const float* r) override {
        if (display_ != nullptr) display_->evaluated(call, m, x, yc, r);
    }
    void minimised(int outcome) override {
        if (quiet == 0) fmt::write(tin.out, "(/,/,' .....ENDED')");
        if (print_ == 0 && quiet == 0) {
            if (outcome == 1) fmt::write(tin.out, "('  NO MINIMUM FOUND')");
            if (outcome == 2) fmt::write(tin.out, "(' LIMIT OF',I3,' ITERATIONS REACHED.')", {evaluations_});
        }
    }

private:
    int evaluations_;
    int print_;
    FitProgress* display_;
};

}  // namespace

void kvffff(Model model, int np, float* p, float* s, float* xv, int m, float* x, float* y, float* e,
            float* yc, float* r, std::vector<float>& w, int evaluations, int print) {
    if (evaluations <= 0) {
        model(np, p, m, x, y, e, yc, r);
        draw_current_curve(m, x, yc, r, pltlic.x.view(), pltlic.y.view(), pltlic.title.view());
        return;
    }

    const auto points = static_cast<std::size_t>(m);
    const auto params = static_cast<std::size_t>(np);
    FitProblem problem;
    problem.model = model;
    problem.x = {x, points};
    problem.y = {y, points};
    problem.e = {e, points};
    problem.yc = {yc, points};
    problem.r = {r, points};
    problem.p = {p, params};
    problem.s = {s, params};
    problem.xv = {xv, params};
    problem.dev = std::span<float>(errorc.dev.data(), params);
    problem.sigma = std::span<float>(errorc.sigma.data(), params);
    problem.cov = std::span<float>(errorc.cov.data(), params * params);
    problem.work = &w;
    problem.statistics = &chichi;

    FitOptions options;
    options.evaluations = evaluations;
    options.print = print;
    options.accuracy = fitcon.acc;
    options.substep = fitcon.substep;
    options.maxstep = fitcon.maxstep;
    options.trouble = pause_run;

    FitDisplay display(fitlim.first, fitlim.last, pltlic.x.view(), pltlic.y.view(),
                       pltlic.title.view());
    SessionFitProgress progress(evaluations, print, flags(kNoPlot) == 0 ? &display : nullptr);
    const FitResult result = fit_engine(problem, options, &progress);

    for (int i = 1; i <= np; ++i) cnstrn(i) = result.map.fitted(i);
    errorc.nfit = result.map.nfit();
    caldat.ncall = caldat.ncall + result.calls;
    switch (result.status) {
        case FitStatus::NoSteps:
            fmt::write(tin.out, "(' NO STEPS HAVE BEEN SET FOR ANY VARIABLE !')");
            return;
        case FitStatus::TooFewPoints:
            fmt::write(tin.out, "(' ERROR- TRYING TOFIT',I5,' POINTS WITH',I5,' PARAMETERS')",
                       {m, errorc.nfit});
            return;
        case FitStatus::Fitted:
            break;
    }
    fitrep = print != 0 ? print : result.outcome;
    if (!result.chi_squared_finite)
        fmt::write(tin.out, "(' CHI-SQUARED NOT FINITE: PROBABILITY NOT CALCULATED')");
}

Next command_fit() {
    const Model model = sess.model;
    flags(kNoPlot) = 0;
    spltc(kCursorRequest) = 0.0f;
    if (tin.v(1) != 0.0f) {
        for (int i = 1; i <= 80; ++i) {
            const char ch = tinc.line.at(i);
            if (ch == 'N' || ch == 'n') flags(kNoPlot) = 1;
        }
    }
    if (flags(kDataRead) == 0 || flags(kParametersSet) == 0) {
        fmt::write(tin.out, kNotInitialised);
        return Next::Prompt;
    }
    if (flags(kNoPlot) == 0) draw_frame_data_title();
    caldat.ncall = 0;
    if (tin.v(3) != 0.0f) lpout(sess.pnam, io::kListing);
    if (tin.v(1) != 0.0f) {
        for (int i = 1; i <= functn.np; ++i) sess.old(i) = functn.p(i);
    }
    kvffff(model, functn.np, functn.p.data(), functn.s.data(), functn.xv.data(), fitlim.m,
           obsdat.x.data(), obsdat.y.data(), obsdat.e.data(), caldat.yc.data(), caldat.r.data(),
           work, trunc_int(tin.v(1)), trunc_int(tin.v(3)));
    flags(kNoPlot) = 0;
    draw_fit_results(model, tin.v(1));
    return Next::Prompt;
}

}  // namespace karvel
