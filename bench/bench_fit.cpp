/// Benchmarks of the generalized inverse and of whole minimiser runs.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "fit/numeric.h"

namespace {

using karvel::kvmb11;
using karvel::kvva05;
using karvel::kvva05_work_size;

/// The inverse of an n x (m + n) augmented Jacobian, as the minimiser forms it.
void BM_Kvmb11(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int m = static_cast<int>(state.range(1));
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> a0(static_cast<std::size_t>(n) * (m + n));
    for (float& v : a0) v = u(gen);
    std::vector<float> a(a0.size()), w(3 * n + m);
    for (auto _ : state) {
        a = a0;
        benchmark::DoNotOptimize(kvmb11(n, m + n, a.data(), n, w.data()));
    }
}
BENCHMARK(BM_Kvmb11)->Args({5, 500})->Args({40, 2100})->Unit(benchmark::kMicrosecond);

/// A sum of Gaussian peaks on a background: n / 3 peaks of three variables
/// each (n = 5 gives one peak, a flat level and a slope).
struct Peaks {
    int n;
    std::vector<float> t, y;
    Peaks(int n_, int m) : n(n_), t(m), y(m) {
        for (int i = 0; i < m; ++i) t[i] = static_cast<float>(i) / static_cast<float>(m);
        std::vector<float> truth(n, 1.0f);
        for (int k = 0; k < n; ++k) truth[k] = 1.0f + 0.1f * std::sin(1.0f + k);
        eval(truth.data(), y.data(), nullptr);
    }
    void eval(const float* x, float* out, const float* minus) const {
        const int m = static_cast<int>(t.size());
        const int peaks = n / 3;
        for (int i = 0; i < m; ++i) {
            float v = 0.0f;
            for (int p = 0; p < peaks; ++p) {
                const float c = (p + 0.5f) / peaks * x[3 * p];
                const float s = 0.3f / peaks * x[3 * p + 1];
                const float d = (t[i] - c) / s;
                v = v + 10.0f * x[3 * p + 2] * std::exp(-0.5f * d * d);
            }
            for (int k = 3 * peaks; k < n; ++k) v = v + x[k] * std::pow(t[i], static_cast<float>(k - 3 * peaks));
            out[i] = minus ? v - minus[i] : v;
        }
    }
};

void fit(benchmark::State& state, int n, int m) {
    const Peaks model(n, m);
    std::vector<float> x(n), f(m), w(kvva05_work_size(m, n));
    int evaluations = 0;
    for (auto _ : state) {
        for (int k = 0; k < n; ++k) x[k] = 1.0f + 0.05f * ((k % 3) - 1);
        int iprint = 0;
        kvva05(m, n, f.data(), x.data(), 0.01f, 100.0f, 1e-6f, 1000, iprint, w.data(),
               [&](int, int, float* ff, float* xx) {
                   ++evaluations;
                   model.eval(xx, ff, model.y.data());
               });
        benchmark::DoNotOptimize(x.data());
    }
    state.counters["evaluations"] =
        benchmark::Counter(evaluations, benchmark::Counter::kAvgIterations);
}

void BM_FitModerate(benchmark::State& state) { fit(state, 5, 500); }
BENCHMARK(BM_FitModerate)->Unit(benchmark::kMillisecond);

void BM_FitLargest(benchmark::State& state) { fit(state, 40, 2100); }
BENCHMARK(BM_FitLargest)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
