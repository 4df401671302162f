/// Fuzz target: the format-string parser with the formatted writer, and a
/// written record read back.
///
/// Odd first byte: the first line of the rest is a format string, the bytes
/// after it give the values. The parser either refuses the string
/// (std::invalid_argument, nothing else) or the writer makes its records, and
/// reading them back with the same format must not fail in any other way.
///
/// Even first byte: the rest builds a format of I, F, E, G, A, X, literal and
/// slash items with values to match. The records written are read back with
/// the same format: integers and texts come back as written; a real comes
/// back within the rounding of its edit descriptor, and writing and reading
/// that value again gives it exactly (a number that rounds beyond the range
/// of single precision needs saturating input: strict).
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "core/format.h"

namespace fmt = karvel::fmt;

namespace {

constexpr int kTextLen = 32;

/// A bound on the work a format can ask for: the product of all its numbers.
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

void raw_mode(fuzz::Bytes in) {
    std::string_view rest = in.rest();
    const std::size_t nl = rest.find('\n');
    const std::string format(rest.substr(0, nl));
    if (format.size() > 80 || !modest(format)) return;
    fuzz::Bytes vb(reinterpret_cast<const std::uint8_t*>(rest.data()) + (nl == std::string_view::npos ? rest.size() : nl + 1),
                   nl == std::string_view::npos ? 0 : rest.size() - nl - 1);

    fmt::Values values;
    std::vector<int> ints(8);
    std::vector<float> reals(8);
    std::vector<std::vector<char>> texts(8, std::vector<char>(kTextLen, ' '));
    fmt::Targets targets;
    for (int k = 0; k < 8 && !vb.empty(); ++k) {
        switch (vb.byte() % 3) {
            case 0:
                values.emplace_back(static_cast<int>(vb.u32()));
                targets.emplace_back(ints[k]);
                break;
            case 1:
                values.emplace_back(vb.real());
                targets.emplace_back(reals[k]);
                break;
            default: {
                std::string t;
                const int len = vb.byte() % 12;
                for (int j = 0; j < len; ++j) t.push_back(static_cast<char>(vb.byte()));
                values.emplace_back(t);
                targets.emplace_back(karvel::TextRef(texts[k].data(), kTextLen));
            }
        }
    }
    std::vector<std::string> records;
    try {
        bool open_end = false;
        records = fmt::format_records(format, values, &open_end);
    } catch (const std::invalid_argument&) {
        return;
    }
    FUZZ_CHECK(!records.empty(), "no record for '" + format + "'");
    std::size_t used = 0;
    const int status = fmt::read_records(records, format, targets, &used);
    FUZZ_CHECK(status >= -1 && status <= 1, "status " + std::to_string(status));
    FUZZ_CHECK(used <= records.size(), "more records used than there are");
}

enum class Kind { Int, Fixed, Exp, Gen, Alpha, Skip, Literal, Slash };

struct Field {
    Kind kind = Kind::Int;
    int w = 0;
    int d = 0;
    std::string item;  // the edit descriptor alone
    int i = 0;
    float r = 0.0f;
    std::string t;
    std::size_t target = 0;
};

bool all_stars(const std::string& s) { return !s.empty() && s.find_first_not_of('*') == std::string::npos; }

std::string one_field(const std::string& item, float v) {
    return fmt::format_records("(" + item + ")", {v}).front();
}

float read_back(const std::string& item, const std::string& text, int& status) {
    float r = 0.0f;
    status = fmt::read_records({text}, "(" + item + ")", {r});
    return r;
}

/// The largest error of a value written with the descriptor and read back.
double tolerance(const Field& f, float v) {
    const double a = std::fabs(static_cast<double>(v));
    const double ulp = a * std::ldexp(1.0, -23) + 1.5e-45;
    if (f.kind == Kind::Fixed) return 0.5000001 * std::pow(10.0, -f.d) + ulp;
    return 5.000001 * std::pow(10.0, -f.d) * a + ulp;
}

void check_real(const Field& f, float v, float r1) {
    const std::string label = f.item + " of " + std::to_string(v);
    if (!std::isfinite(r1)) {
        FUZZ_CHECK(!fuzz::kStrict, label + " read back as " + std::to_string(r1));
        return;
    }
    const double err = std::fabs(static_cast<double>(r1) - static_cast<double>(v));
    const bool clipped = std::fabs(r1) == FLT_MAX;  // rounded up beyond the range and saturated
    FUZZ_CHECK(clipped || err <= tolerance(f, v), label + " read back as " + std::to_string(r1));

    const std::string again = one_field(f.item, r1);
    if (all_stars(again)) return;
    int status = 0;
    const float r2 = read_back(f.item, again, status);
    FUZZ_CHECK(status == 0, label + ": '" + again + "' does not read back");
    FUZZ_CHECK(fuzz::same_float(r1, r2), label + ": " + std::to_string(r1) + " written as '" + again +
                                             "' reads back as " + std::to_string(r2));
}

void round_trip_mode(fuzz::Bytes in) {
    std::vector<Field> fields;
    const int count = 1 + in.byte() % 8;
    for (int k = 0; k < count; ++k) {
        Field f;
        f.kind = static_cast<Kind>(in.byte() % 8);
        f.w = 1 + in.byte() % 30;
        f.d = in.byte() % (f.w + 1);
        switch (f.kind) {
            case Kind::Int: f.item = "I" + std::to_string(f.w); f.i = static_cast<int>(in.u32()); break;
            case Kind::Fixed: f.item = "F" + std::to_string(f.w) + "." + std::to_string(f.d); break;
            case Kind::Exp: f.item = "E" + std::to_string(f.w) + "." + std::to_string(f.d); break;
            case Kind::Gen: f.item = "G" + std::to_string(f.w) + "." + std::to_string(f.d); break;
            case Kind::Alpha: {
                f.item = "A" + std::to_string(f.w);
                const int len = in.byte() % 12;
                for (int j = 0; j < len; ++j) f.t.push_back(static_cast<char>(' ' + in.byte() % 95));
                break;
            }
            case Kind::Skip: f.item = std::to_string(f.w) + "X"; break;
            case Kind::Literal: f.item = "'" + std::string(static_cast<std::size_t>(f.w % 5 + 1), 'q') + "'"; break;
            case Kind::Slash: f.item = "/"; break;
        }
        if (f.kind == Kind::Fixed || f.kind == Kind::Exp || f.kind == Kind::Gen) {
            f.r = in.real();
            if (!std::isfinite(f.r)) f.r = 0.0f;
        }
        fields.push_back(f);
    }

    std::string format = "(";
    fmt::Values values;
    for (Field& f : fields) {
        if (format.size() > 1) format += ",";
        format += f.item;
        switch (f.kind) {
            case Kind::Int: f.target = values.size(); values.emplace_back(f.i); break;
            case Kind::Fixed:
            case Kind::Exp:
            case Kind::Gen: f.target = values.size(); values.emplace_back(f.r); break;
            case Kind::Alpha: f.target = values.size(); values.emplace_back(f.t); break;
            default: break;
        }
    }
    format += ")";

    const std::vector<std::string> records = fmt::format_records(format, values);

    std::vector<int> ints(values.size());
    std::vector<float> reals(values.size());
    std::vector<std::vector<char>> texts(values.size());
    fmt::Targets targets;
    for (const Field& f : fields) {
        const std::size_t k = f.target;
        switch (f.kind) {
            case Kind::Int: targets.emplace_back(ints[k]); break;
            case Kind::Fixed:
            case Kind::Exp:
            case Kind::Gen: targets.emplace_back(reals[k]); break;
            case Kind::Alpha:
                texts[k].assign(static_cast<std::size_t>(f.w), ' ');
                targets.emplace_back(karvel::TextRef(texts[k].data(), f.w));
                break;
            default: break;
        }
    }

    // Read back only when no field overflowed into asterisks, which read as
    // a malformed field.
    for (const Field& f : fields) {
        if (f.kind == Kind::Int && all_stars(fmt::edit_i(f.i, f.w))) return;
        if (f.kind == Kind::Fixed || f.kind == Kind::Exp || f.kind == Kind::Gen) {
            const std::string text = one_field(f.item, f.r);
            if (all_stars(text)) return;
        }
    }
    const int status = fmt::read_records(records, format, targets);
    FUZZ_CHECK(status == 0, format + " does not read back its own records, status " + std::to_string(status));

    for (const Field& f : fields) {
        const std::size_t k = f.target;
        switch (f.kind) {
            case Kind::Int:
                FUZZ_CHECK(ints[k] == f.i, f.item + " of " + std::to_string(f.i) + " read back as " +
                                               std::to_string(ints[k]));
                break;
            case Kind::Alpha: {
                const std::size_t w = static_cast<std::size_t>(f.w);
                const std::string want =
                    f.t.size() >= w ? f.t.substr(0, w) : std::string(w - f.t.size(), ' ') + f.t;
                FUZZ_CHECK(std::string(texts[k].data(), w) == want, f.item + " of '" + f.t + "'");
                break;
            }
            case Kind::Fixed:
            case Kind::Exp:
            case Kind::Gen: check_real(f, f.r, reals[k]); break;
            default: break;
        }
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
        raw_mode(in);
    } else {
        round_trip_mode(in);
    }
    return 0;
}
