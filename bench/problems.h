/// The benchmark problems and their data generator.
///
/// gauss: a spectrum of counts, a Gaussian peak on a sloping background, on the
/// test host's channel grid x(i) = 0.1 i - 2, with the noise of counting made
/// by a fixed integer generator, so that every run and every machine gets the
/// same numbers. The counts are whole numbers and their error estimates are
/// written with nine digits, so a data file read back gives the same floats.
///
/// bumps: the largest problem the records hold, 40 heights of fixed bumps over
/// 2100 points, with a little noise; a model that is linear in its parameters.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

/// One problem: data, the true parameters and where the fits start.
struct Problem {
    std::string name;
    int n = 0;                    // parameters
    std::vector<float> x, y, e;   // m points
    std::vector<double> truth;    // n values
    std::vector<float> start;     // n values
    int m() const { return static_cast<int>(x.size()); }
};

/// A fixed generator of approximately normal deviates: the sum of twelve
/// uniforms of a 64-bit linear congruential sequence, less six.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : state_(seed) {}
    double normal() {
        double sum = 0.0;
        for (int k = 0; k < 12; ++k) {
            state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
            sum = sum + static_cast<double>(state_ >> 11) * 0x1.0p-53;
        }
        return sum - 6.0;
    }

private:
    std::uint64_t state_;
};

/// The test host's model in double precision: p centre, sigma, flat, slope, height.
inline double gauss_value(const double* p, double x) {
    const double t = (x - p[0]) / p[1];
    return std::exp(-(t * t * 0.5)) * p[4] + p[2] + p[3] * x;
}

/// Where a gauss fit starts: the centre moved by this many sigmas, the other
/// four parameters multiplied by these factors. The reference start is 16% to
/// 20% off in every parameter.
struct GaussStart {
    double centre = 0.4;
    double sigma = 1.2;
    double flat = 0.8;
    double slope = 1.2;
    double height = 0.84;
};

/// A spread of starts from a fixed sequence, to show how the evaluation
/// counts depend on the start: the centre within half a sigma of the peak, sigma 0.8 to 1.25 times its own,
/// the flat level and the height 0.75 to 1.25 times theirs and the slope 0.5
/// to 1.5 times its own.
inline std::vector<GaussStart> spread_of_starts(int count) {
    std::vector<GaussStart> starts;
    std::uint64_t state = 77u;
    auto uniform = [&state](double lo, double hi) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return lo + (hi - lo) * (static_cast<double>(state >> 11) * 0x1.0p-53);
    };
    for (int j = 0; j < count; ++j) {
        GaussStart s;
        s.centre = uniform(-0.5, 0.5);
        s.sigma = uniform(0.8, 1.25);
        s.flat = uniform(0.75, 1.25);
        s.slope = uniform(0.5, 1.5);
        s.height = uniform(0.75, 1.25);
        starts.push_back(s);
    }
    return starts;
}

/// A Gaussian peak on a sloping background over m channels. The peak sits at
/// 45% of the range with a sigma of 4% of it, on a background that rises
/// from 20 to 30 counts across the range, with a height of 500 counts.
inline Problem make_gauss(int m, const GaussStart& from = GaussStart{}) {
    Problem pb;
    pb.name = "gauss";
    pb.n = 5;
    const double width = 0.1 * m;
    const double centre = -2.0 + 0.45 * width;
    const double sigma = 0.04 * width;
    pb.truth = {centre, sigma, 20.0, 10.0 / width, 500.0};
    const double factor[] = {1.0, from.sigma, from.flat, from.slope, from.height};
    pb.start.push_back(static_cast<float>(centre + from.centre * sigma));
    for (int k = 1; k < pb.n; ++k) pb.start.push_back(static_cast<float>(factor[k] * pb.truth[k]));
    Noise noise(20240601u + static_cast<std::uint64_t>(m));
    for (int i = 0; i < m; ++i) {
        // The grid exactly as the test host's reader makes it.
        const float xi = static_cast<float>(i + 1) * 0.1f - 2.0f;
        const double mean = gauss_value(pb.truth.data(), xi);
        const double count = std::fmax(0.0, std::nearbyint(mean + std::sqrt(mean) * noise.normal()));
        pb.x.push_back(xi);
        pb.y.push_back(static_cast<float>(count));
        pb.e.push_back(std::sqrt(static_cast<float>(std::fmax(count, 1.0))));
    }
    return pb;
}

/// Bump k (1..40) of the 40-parameter problem at x.
inline double bump(int k, double x) {
    const double t = (x - 0.5 * k) / 0.6;
    return std::exp(-(t * t));
}

/// 40 bump heights 1 + 0.05 k over 2100 points x = 0.01 i, started at 1.2.
inline Problem make_bumps() {
    Problem pb;
    pb.name = "bumps";
    pb.n = 40;
    for (int k = 1; k <= pb.n; ++k) {
        pb.truth.push_back(1.0 + 0.05 * k);
        pb.start.push_back(1.2f);
    }
    Noise noise(4021u);
    for (int i = 1; i <= 2100; ++i) {
        const double xi = 0.01 * i;
        double sum = 0.0;
        for (int k = 1; k <= pb.n; ++k) sum = sum + pb.truth[k - 1] * bump(k, xi);
        pb.x.push_back(static_cast<float>(xi));
        pb.y.push_back(static_cast<float>(sum + 0.01 * noise.normal()));
        pb.e.push_back(0.01f);
    }
    return pb;
}

/// Writes a gauss problem as the test host reads it (a title, two lines it
/// skips, then y, e pairs five points a line) and as columns x y e for other
/// programs. Returns false when a file cannot be written.
inline bool write_gauss_files(const Problem& pb, const std::string& host_file, const std::string& columns_file) {
    std::FILE* h = std::fopen(host_file.c_str(), "w");
    std::FILE* c = std::fopen(columns_file.c_str(), "w");
    bool ok = h != nullptr && c != nullptr;
    if (ok) {
        std::fprintf(h, "GAUSSIAN ON A SLOPING BACKGROUND, %d POINTS\n", pb.m());
        std::fprintf(h, "made by bench_compare --write-data\n\n");
        for (int i = 0; i < pb.m(); ++i) {
            std::fprintf(h, "%.9g %.9g%c", pb.y[i], pb.e[i], (i % 5 == 4) ? '\n' : ' ');
            std::fprintf(c, "%.9g %.9g %.9g\n", pb.x[i], pb.y[i], pb.e[i]);
        }
        if (pb.m() % 5 != 0) std::fputc('\n', h);
    }
    if (h != nullptr && std::fclose(h) != 0) ok = false;
    if (c != nullptr && std::fclose(c) != 0) ok = false;
    return ok;
}

}  // namespace bench
