/// Fuzz target: formatted and list-directed reads.
///
/// The first byte chooses the kinds of up to eight variables; the first line
/// of the rest is a format string (an empty one means a list-directed read),
/// the lines after it are the records. The same read runs on the records in
/// memory and on a file channel holding them: both must give the same status
/// and the same values. Every real read by a formatted read is finite
/// (strict: formatted input saturates beyond the range of single precision).
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "core/format.h"

namespace fmt = karvel::fmt;

namespace {

constexpr int kVars = 8;
constexpr int kTextLen = 12;
constexpr int kChannel = 3;

bool modest(std::string_view format) {
    double product = 1.0;
    std::size_t i = 0;
    while (i < format.size()) {
        if (format[i] >= '0' && format[i] <= '9') {
            double n = 0.0;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
                n = n * 10.0 + (format[i] - '0');
                ++i;
            }
            product *= n < 1.0 ? 1.0 : n;
            if (product > 20000.0) return false;
        } else {
            ++i;
        }
    }
    return true;
}

/// The variables of one read, in a fixed layout chosen by the mode byte.
struct Vars {
    int kinds[kVars];
    int i[kVars] = {};
    float r[kVars] = {};
    char t[kVars][kTextLen];

    explicit Vars(std::uint8_t mode, int count) : count_(count) {
        for (int k = 0; k < kVars; ++k) {
            kinds[k] = (mode >> (k % 4 * 2)) % 3;  // 0 integer, 1 real, 2 text
            std::memset(t[k], ' ', kTextLen);
        }
    }
    fmt::Targets targets() {
        fmt::Targets ts;
        for (int k = 0; k < count_; ++k) {
            if (kinds[k] == 0) ts.emplace_back(i[k]);
            else if (kinds[k] == 1) ts.emplace_back(r[k]);
            else ts.emplace_back(karvel::TextRef(t[k], kTextLen));
        }
        return ts;
    }
    bool operator==(const Vars& o) const {
        for (int k = 0; k < count_; ++k) {
            if (i[k] != o.i[k] || !(fuzz::same_float(r[k], o.r[k]) || (std::isnan(r[k]) && std::isnan(o.r[k]))) ||
                std::memcmp(t[k], o.t[k], kTextLen) != 0)
                return false;
        }
        return true;
    }
    int count_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 4000) return 0;
    const std::uint8_t mode = data[0];
    const int count = 1 + data[1] % kVars;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::size_t nl = rest.find('\n');
    if (nl == std::string_view::npos) return 0;
    const std::string format(rest.substr(0, nl));
    if (format.size() > 80 || !modest(format)) return 0;
    const std::string_view body = rest.substr(nl + 1);
    const std::vector<std::string> records = fuzz::split_records(body);

    Vars mem(mode, count);
    Vars chan(mode, count);
    int status_mem = 0;
    int status_chan = 0;
    std::size_t used = 0;
    const bool list = format.empty();
    try {
        status_mem = list ? fmt::read_list_records(records, mem.targets(), &used)
                          : fmt::read_records(records, format, mem.targets(), &used);
    } catch (const std::invalid_argument&) {
        return 0;  // not a format
    }
    FUZZ_CHECK(status_mem >= -1 && status_mem <= 1, "status " + std::to_string(status_mem));
    FUZZ_CHECK(used <= records.size(), "more records used than there are");

    const std::string file = fuzz::scratch() + "/records";
    FUZZ_CHECK(fuzz::write_file(file, body), "cannot write " + file);
    FUZZ_CHECK(karvel::io::open(kChannel, file, karvel::io::Status::Old) == 0, "cannot open " + file);
    status_chan = list ? fmt::read_list(kChannel, chan.targets()) : fmt::read(kChannel, format, chan.targets());
    karvel::io::close(kChannel);
    FUZZ_CHECK(status_chan == status_mem, "the channel read gives status " + std::to_string(status_chan) +
                                              ", the read in memory " + std::to_string(status_mem));
    FUZZ_CHECK(chan == mem, "the channel read and the read in memory give different values");

    if (fuzz::kStrict && !list) {
        for (int k = 0; k < count; ++k) {
            if (mem.kinds[k] == 1) FUZZ_CHECK(std::isfinite(mem.r[k]), "real " + std::to_string(k + 1));
        }
    }
    return 0;
}
