/// Fuzz target: the test host's data reader.
///
/// Odd first byte: the rest is the data file as it is. Even first byte: the
/// rest chooses a title, numbers and how each is written (%g, %e with E, e,
/// D or d, 9 or 17 digits) and the separators between them; the reader must
/// give exactly those numbers.
///
/// Either way the reader either keeps everything as it was (a file it cannot
/// read) or takes whole groups of five points, at most 1600, each y and e
/// finite (a number beyond single precision is malformed), x of point j at
/// j*0.1-2.0, and the first line as the title when it took any point.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "kvst.h"
#include "core/records.h"

namespace {

constexpr int kMax = karvel::kMaxPts;

struct Result {
    int n = -1;
    std::vector<float> x = std::vector<float>(kMax, -7.0f);
    std::vector<float> y = std::vector<float>(kMax, -7.0f);
    std::vector<float> e = std::vector<float>(kMax, -7.0f);
    char title[50];
};

Result read_file(std::string_view content) {
    const std::string name = fuzz::scratch() + "/data.dat";
    FUZZ_CHECK(fuzz::write_file(name, content), "cannot write " + name);
    Result r;
    std::memset(r.title, '#', sizeof r.title);
    fuzz::Terminal term(name + "\n");
    karvel::myread(r.n, r.x.data(), r.y.data(), r.e.data(), karvel::TextRef(r.title, 50));
    return r;
}

void check_common(const Result& r, std::string_view content) {
    if (r.n == -1) {
        FUZZ_CHECK(std::string(r.title, 50) == std::string(50, '#'), "the title changed on a failed read");
        return;
    }
    FUZZ_CHECK(r.n >= 0 && r.n <= 1600 && r.n % 5 == 0, "n = " + std::to_string(r.n));
    for (int j = 0; j < r.n; ++j) {
        FUZZ_CHECK(std::isfinite(r.y[j]) && std::isfinite(r.e[j]), "point " + std::to_string(j + 1));
        FUZZ_CHECK(r.x[j] == static_cast<float>(j + 1) * 0.1f - 2.0f, "x of point " + std::to_string(j + 1));
    }
    for (int j = r.n; j < kMax; ++j) {
        FUZZ_CHECK(r.y[j] == -7.0f && r.e[j] == -7.0f && r.x[j] == -7.0f, "point " + std::to_string(j + 1) + " written");
    }
    if (r.n > 0) {
        const std::vector<std::string> recs = fuzz::split_records(content);
        std::string want = recs.empty() ? std::string() : recs.front();
        want.resize(50, ' ');
        FUZZ_CHECK(std::string(r.title, 50) == want, "title '" + std::string(r.title, 50) + "'");
    }
}

void exact_mode(fuzz::Bytes in) {
    std::string file = "title " + std::to_string(in.byte()) + "\nskipped\nskipped\n";
    const char* seps[] = {" ", ",", "\t", "  ", " , ", "\r"};
    const int groups = in.byte() % 4;
    std::vector<float> numbers;
    std::string line;
    for (int g = 0; g < groups * 10 + in.byte() % 10; ++g) {
        float v = in.real();
        if (!std::isfinite(v)) v = 0.0f;
        const std::uint8_t style = in.byte();
        char buf[64];
        std::snprintf(buf, sizeof buf, style & 1 ? "%.17g" : "%.9g", static_cast<double>(v));
        std::string text = buf;
        if (style & 2) {
            std::snprintf(buf, sizeof buf, style & 1 ? "%.16e" : "%.8e", static_cast<double>(v));
            text = buf;
            const char letters[] = {'e', 'E', 'd', 'D'};
            text[text.find('e')] = letters[(style >> 2) % 4];
        }
        numbers.push_back(v);
        if (!line.empty()) line += seps[in.byte() % 6];
        line += text;
        if (in.byte() % 4 == 0) {
            file += line + (in.byte() % 2 ? "\r\n" : "\n");
            line.clear();
        }
    }
    if (!line.empty()) file += line + "\n";

    const Result r = read_file(file);
    check_common(r, file);
    const int want = static_cast<int>(numbers.size()) / 10 * 5;
    FUZZ_CHECK(r.n == want, "read " + std::to_string(r.n) + " points of " + std::to_string(want));
    for (int j = 0; j < r.n; ++j) {
        FUZZ_CHECK(fuzz::same_float(r.y[j], numbers[2 * j]) && fuzz::same_float(r.e[j], numbers[2 * j + 1]),
                   "point " + std::to_string(j + 1) + " of\n" + file);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    fuzz::Bytes in(data + 1, size - 1);
    if (data[0] & 1) {
        const Result r = read_file(in.rest());
        check_common(r, in.rest());
    } else {
        exact_mode(in);
    }
    return 0;
}
