/// Times whole fits of the program's fit engine against cminpack's lmdif1
/// (forward differences, double precision) on the same problems, interleaved
/// in one process, and prints the medians.
///
///   bench_compare [--repeats N] [--starts S] [--size M]
///                                     the comparison (N fits of each kind a size)
///                                     and the evaluation counts from S other starts;
///                                     with --size only the gauss problem of M points
///                                     (M = 40 the 40-parameter problem), for profiling
///   bench_compare --write-data DIR    writes the 1600-point gauss problem for
///                                     bench/session.sh: gauss1600.dat (the test
///                                     host's format), gauss1600.xye (columns
///                                     x y e) and gauss1600.start (start values)
#include <cminpack.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/records.h"
#include "fit/fit.h"
#include "fit/kernels.h"
#include "fit/kvcalf.h"
#include "fit/numeric.h"
#include "kvst.h"
#include "problems.h"

namespace {

using namespace karvel;
using Clock = std::chrono::steady_clock;

/// The problem of a fit of the selected points on the records.
FitProblem problem_on_records(Model model) {
    const auto np = static_cast<std::size_t>(functn.np);
    const auto m = static_cast<std::size_t>(fitlim.m);
    FitProblem problem;
    problem.model = model;
    problem.x = {obsdat.x.data(), m};
    problem.y = {obsdat.y.data(), m};
    problem.e = {obsdat.e.data(), m};
    problem.yc = {caldat.yc.data(), m};
    problem.r = {caldat.r.data(), m};
    problem.p = {functn.p.data(), np};
    problem.s = {functn.s.data(), np};
    problem.xv = {functn.xv.data(), np};
    problem.dev = {errorc.dev.data(), np};
    problem.sigma = {errorc.sigma.data(), np};
    problem.cov = {errorc.cov.data(), np * np};
    problem.work = &work;
    problem.statistics = &chichi;
    return problem;
}

/// Everything the F command does numerically for a fit of at most maxfun
/// residual evaluations, and nothing it draws or prints: the fitted variables
/// xv = 1/s, the start sum of squares and the accuracy, the minimiser, the
/// standard errors, the parameters scaled back, the correlations and the
/// statistics: the fit engine with no progress display, on the records.
/// Returns the number of evaluations.
int run_project_fit(Model model, int maxfun) {
    const FitProblem problem = problem_on_records(model);
    FitOptions options;
    options.evaluations = maxfun;
    options.accuracy = fitcon.acc;
    options.substep = fitcon.substep;
    options.maxstep = fitcon.maxstep;
    return fit_engine(problem, options, nullptr).calls;
}

// ---- The 40-parameter model: bump heights over a table made once. ----------

std::vector<float> bump_table;    // 2100 x 40, point by point
std::vector<double> bump_table_d;

void make_bump_table(const bench::Problem& pb) {
    bump_table.clear();
    bump_table_d.clear();
    for (int i = 0; i < pb.m(); ++i) {
        for (int k = 1; k <= pb.n; ++k) {
            const double b = bench::bump(k, static_cast<double>(pb.x[i]));
            bump_table.push_back(static_cast<float>(b));
            bump_table_d.push_back(b);
        }
    }
}

void bumps(const int& np, const float* p, const int& n, const float*, const float* y, const float*,
           float* yc, float* r) {
    for (int i = 0; i < n; ++i) {
        const float yi = y[i];
        const float* b = bump_table.data() + static_cast<std::size_t>(i) * np;
        float sum = 0.0f;
        for (int k = 0; k < np; ++k) sum = sum + p[k] * b[k];
        yc[i] = sum;
        r[i] = yc[i] - yi;
    }
}

// ---- Timing -------------------------------------------------------------------

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t h = v.size() / 2;
    return v.size() % 2 ? v[h] : 0.5 * (v[h - 1] + v[h]);
}

double elapsed_us(Clock::time_point t0) {
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}

// ---- The peer: lmdif1 on the same problem in double precision. --------------

/// lmdif1 with its work space, made once for a problem.
class Peer {
public:
    explicit Peer(const bench::Problem& pb)
        : pb_(pb), x_(pb.x.begin(), pb.x.end()), y_(pb.y.begin(), pb.y.end()), f_(pb.m()),
          iwa_(pb.n), wa_(static_cast<std::size_t>(pb.m()) * pb.n + 5 * pb.n + pb.m()) {}

    /// One whole fit from the problem's start; returns the microseconds taken.
    double fit() {
        p_.assign(pb_.start.begin(), pb_.start.end());
        evals_ = 0;
        const double tol = std::sqrt(__cminpack_func__(dpmpar)(1));
        const auto t0 = Clock::now();
        info_ = __cminpack_func__(lmdif1)(residuals, this, pb_.m(), pb_.n, p_.data(), f_.data(), tol,
                                          iwa_.data(), wa_.data(), static_cast<int>(wa_.size()));
        return elapsed_us(t0);
    }

    /// One evaluation of the model at the start; returns the microseconds taken.
    double evaluate_start(int calls) {
        std::vector<double> p(pb_.start.begin(), pb_.start.end());
        const auto t0 = Clock::now();
        for (int k = 0; k < calls; ++k) residuals(this, pb_.m(), pb_.n, p.data(), f_.data(), 1);
        return elapsed_us(t0) / calls;
    }

    int evals() const { return evals_; }
    int info() const { return info_; }
    /// The sum of squares at the end of the last fit.
    double sum_of_squares() const {
        double sum = 0.0;
        for (double v : f_) sum = sum + v * v;
        return sum;
    }

private:
    static int residuals(void* data, int m, int n, const double* p, double* f, int) {
        Peer& peer = *static_cast<Peer*>(data);
        peer.evals_ = peer.evals_ + 1;
        if (peer.pb_.name == "gauss") {
            for (int i = 0; i < m; ++i) f[i] = bench::gauss_value(p, peer.x_[i]) - peer.y_[i];
        } else {
            for (int i = 0; i < m; ++i) {
                const double* b = bump_table_d.data() + static_cast<std::size_t>(i) * n;
                double sum = 0.0;
                for (int k = 0; k < n; ++k) sum = sum + p[k] * b[k];
                f[i] = sum - peer.y_[i];
            }
        }
        return 0;
    }

    const bench::Problem& pb_;
    std::vector<double> x_, y_, f_;
    std::vector<int> iwa_;
    std::vector<double> wa_, p_;
    int evals_ = 0;
    int info_ = 0;
};

// ---- The program's side -------------------------------------------------------

struct Case {
    bench::Problem pb;
    Model model;
    int maxfun;  // the first number of the F command
};

/// Puts the problem and its start into the records, as R and V would.
void load(const Case& c) {
    const bench::Problem& pb = c.pb;
    functn.np = pb.n;
    for (int k = 1; k <= pb.n; ++k) {
        functn.p(k) = pb.start[k - 1];
        functn.s(k) = 1.0f;
    }
    const int m = pb.m();
    for (int i = 1; i <= m; ++i) {
        obsdat.x(i) = pb.x[i - 1];
        obsdat.y(i) = pb.y[i - 1];
        obsdat.e(i) = pb.e[i - 1];
    }
    obsdat.n = m;
    fitlim.m = m;
    fitlim.first = 1;
    fitlim.last = m;
    fitcon = Fitcon{};
}

/// One whole fit from the problem's start; returns the microseconds taken.
double project_fit(const Case& c, int& evals) {
    load(c);
    const auto t0 = Clock::now();
    evals = run_project_fit(c.model, c.maxfun);
    return elapsed_us(t0);
}

/// One residual evaluation of the fit at the start, as the minimiser asks
/// for it; returns the microseconds taken.
double project_evaluate_start(const Case& c, int calls) {
    load(c);
    const int n = c.pb.n;
    const auto np = static_cast<std::size_t>(n);
    const auto m = static_cast<std::size_t>(c.pb.m());
    const FitProblem problem = problem_on_records(c.model);
    const ParameterMap map(problem.s);
    std::vector<float> values(np), f(m), x(np, 1.0f);
    int counted = 0;
    const Evaluation ev{problem, map, values, counted, nullptr};
    const auto t0 = Clock::now();
    for (int k = 0; k < calls; ++k) kvcalf(c.pb.m(), n, f.data(), x.data(), ev);
    return elapsed_us(t0) / calls;
}

float project_sum_of_squares(int m) {
    float sum = 0.0f;
    for (int i = 1; i <= m; ++i) sum = sum + caldat.r(i) * caldat.r(i);
    return sum;
}

// ---- The comparison -------------------------------------------------------------

void run_case(const Case& c, int repeats) {
    const bench::Problem& pb = c.pb;
    const int m = pb.m();
    const int n = pb.n;
    if (pb.name == "bumps") make_bump_table(pb);
    Peer peer(pb);

    int evals = 0;
    project_fit(c, evals);  // warm the caches
    peer.fit();
    const int levals = peer.evals();
    // Each round times one fit of each kind and, as many times as a fit
    // evaluates, the model alone at the start, so that all four see the
    // same state of a shared machine.
    std::vector<double> t_project, t_lmdif, t_model, t_peer_model;
    for (int k = 0; k < repeats; ++k) {
        if (k % 2 == 0) {
            t_project.push_back(project_fit(c, evals));
            t_lmdif.push_back(peer.fit());
        } else {
            t_lmdif.push_back(peer.fit());
            t_project.push_back(project_fit(c, evals));
        }
        t_model.push_back(project_evaluate_start(c, evals));
        t_peer_model.push_back(peer.evaluate_start(levals));
    }

    // Both fits must have found the same minimum, or the times mean nothing;
    // the program stops at its own accuracy, so the sums agree to about 0.1%.
    const double ss = project_sum_of_squares(m);
    const double lss = peer.sum_of_squares();
    if (std::fabs(ss - lss) > 1e-2 * lss || peer.info() < 1 || peer.info() > 3)
        std::printf("WARNING %s m=%d: the minima differ (sums of squares %.7g and %.7g, lmdif info %d)\n",
                    pb.name.c_str(), m, ss, lss, peer.info());

    const double us = median(t_project);
    const double lus = median(t_lmdif);
    const double model_us = median(t_model);
    const double peer_model_us = median(t_peer_model);
    std::printf("FIT m=%d n=%d evals=%d us=%.1f lmdif_evals=%d lmdif_us=%.1f ratio=%.3f\n", m, n, evals, us,
                levals, lus, us / lus);
    std::printf("EVAL m=%d n=%d model_us=%.2f minimiser_us=%.2f lmdif_model_us=%.2f lmdif_minimiser_us=%.2f\n", m,
                n, model_us, (us - evals * model_us) / evals, peer_model_us, (lus - levals * peer_model_us) / levals);
    std::fflush(stdout);
}

/// The evaluation counts of both fits over a spread of starts (no timing).
void run_spread(int m, int count) {
    std::vector<double> evals, levals;
    for (const bench::GaussStart& from : bench::spread_of_starts(count)) {
        const Case c{bench::make_gauss(m, from), gauss, 100};
        int e = 0;
        project_fit(c, e);
        Peer peer(c.pb);
        peer.fit();
        evals.push_back(e);
        levals.push_back(peer.evals());
    }
    auto range = [](const char* name, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        char text[96];
        std::snprintf(text, sizeof text, "%s_min=%g %s_median=%g %s_max=%g", name, v.front(), name, median(v), name,
                      v.back());
        return std::string(text);
    };
    std::printf("SPREAD m=%d n=5 starts=%d %s %s\n", m, count, range("evals", evals).c_str(),
                range("lmdif_evals", levals).c_str());
}

int write_data(const std::string& dir) {
    const bench::Problem pb = bench::make_gauss(1600);
    bool ok = bench::write_gauss_files(pb, dir + "/gauss1600.dat", dir + "/gauss1600.xye");
    std::FILE* s = std::fopen((dir + "/gauss1600.start").c_str(), "w");
    if (s == nullptr) return 1;
    for (float v : pb.start) std::fprintf(s, "%.9g\n", v);
    ok = std::fclose(s) == 0 && ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    int repeats = 51;
    int starts = 15;
    int size = 0;  // every problem
    for (int a = 1; a < argc; ++a) {
        if (std::strcmp(argv[a], "--write-data") == 0 && a + 1 < argc) return write_data(argv[a + 1]);
        if (std::strcmp(argv[a], "--repeats") == 0 && a + 1 < argc) {
            repeats = std::max(1, std::atoi(argv[++a]));
            continue;
        }
        if (std::strcmp(argv[a], "--starts") == 0 && a + 1 < argc) {
            starts = std::max(0, std::atoi(argv[++a]));
            continue;
        }
        if (std::strcmp(argv[a], "--size") == 0 && a + 1 < argc) {
            size = std::atoi(argv[++a]);
            continue;
        }
        std::fprintf(stderr, "usage: %s [--repeats N] [--starts N] [--size M] | --write-data DIR\n", argv[0]);
        return 2;
    }
    std::printf("# medians of %d interleaved fits; us: microseconds a whole fit; EVAL splits a fit into\n"
                "# one model evaluation and the rest per evaluation (minimiser, errors, statistics);\n"
                "# the minimiser and the inverse in their %s build\n",
                repeats, avx2_kernels() ? "AVX2" : "baseline");
    for (int m : {100, 400, 1600, 2100})
        if (size == 0 || size == m) run_case({bench::make_gauss(m), gauss, 100}, repeats);
    if (size == 0 || size == 40) run_case({bench::make_bumps(), bumps, 1000}, std::max(3, repeats / 4) | 1);
    if (starts > 0) {
        for (int m : {100, 400, 1600, 2100})
            if (size == 0 || size == m) run_spread(m, starts);
    }
    return 0;
}
