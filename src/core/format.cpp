/// The format engine: parsing of format strings, output and input editing,
/// reversion, and the record handling of formatted and list-directed I/O.
#include "core/format.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#include <unordered_map>

#include "core/channels.h"
#include "core/numeric.h"

namespace karvel::fmt {
namespace {

// ---------------------------------------------------------------------------
// Parsed formats

enum class Op { Literal, Skip, Slash, Dollar, Int, Fixed, Exp, Gen, Alpha, Group };

/// One item of a format list. `repeat` is the repeat count of data items,
/// groups and slashes; `w` is the width (the count of nX, 0 for a bare A);
/// `d` the decimals of F, E, G or the minimum digits of I (-1 when absent).
struct Item {
    explicit Item(Op o) : op(o) {}
    Op op;
    int repeat = 1;
    int w = 0;
    int d = -1;
    std::string text;
    std::vector<Item> group;
};

struct Format {
    std::vector<Item> items;
    /// Where processing resumes when values remain at the end of the format:
    /// the last top-level group, or the start.
    std::size_t reversion = 0;
};

[[noreturn]] void bad_format(std::string_view format, const char* why) {
    throw std::invalid_argument(std::string("bad format string \"") + std::string(format) +
                                "\": " + why);
}

/// Recursive-descent parser of one format string.
class Parser {
public:
    explicit Parser(std::string_view s) : s_(s) {}

    Format parse() {
        Format f;
        skip_blanks();
        if (pos_ < s_.size() && s_[pos_] == '(') {
            ++pos_;
            f.items = parse_list(true);
            skip_blanks();
            if (pos_ != s_.size()) bad_format(s_, "text after the closing parenthesis");
        } else {
            f.items = parse_list(false);
        }
        for (std::size_t i = 0; i < f.items.size(); ++i) {
            if (f.items[i].op == Op::Group) f.reversion = i;
        }
        return f;
    }

private:
    void skip_blanks() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
    }

    bool at_digit() const { return pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9'; }

    int number() {
        if (!at_digit()) bad_format(s_, "a number is missing");
        long v = 0;
        while (at_digit()) {
            v = v * 10 + (s_[pos_] - '0');
            if (v > 100000) bad_format(s_, "number too large");
            ++pos_;
        }
        return static_cast<int>(v);
    }

    std::string quoted() {
        std::string text;
        ++pos_;  // opening apostrophe
        for (;;) {
            if (pos_ >= s_.size()) bad_format(s_, "unterminated literal text");
            const char c = s_[pos_++];
            if (c == '\'') {
                if (pos_ < s_.size() && s_[pos_] == '\'') {
                    text.push_back('\'');
                    ++pos_;
                    continue;
                }
                return text;
            }
            text.push_back(c);
        }
    }

    std::vector<Item> parse_list(bool nested) {
        std::vector<Item> items;
        for (;;) {
            skip_blanks();
            if (pos_ >= s_.size()) {
                if (nested) bad_format(s_, "missing closing parenthesis");
                return items;
            }
            const char c = s_[pos_];
            if (c == ')') {
                if (!nested) bad_format(s_, "unbalanced closing parenthesis");
                ++pos_;
                return items;
            }
            if (c == ',') {
                ++pos_;
                continue;
            }
            if (c == '/' || c == '$') {
                ++pos_;
                items.push_back(Item{c == '/' ? Op::Slash : Op::Dollar});
                continue;
            }
            if (c == '\'') {
                Item it{Op::Literal};
                it.text = quoted();
                items.push_back(std::move(it));
                continue;
            }
            int n = -1;
            if (at_digit()) {
                n = number();
                if (n == 0) bad_format(s_, "zero count");
            }
            skip_blanks();
            if (pos_ >= s_.size()) bad_format(s_, "count without an item");
            const char letter = static_cast<char>(s_[pos_] & ~0x20);  // upper case
            const int count = n < 0 ? 1 : n;
            if (s_[pos_] == '(') {
                ++pos_;
                Item it{Op::Group};
                it.repeat = count;
                it.group = parse_list(true);
                items.push_back(std::move(it));
            } else if (s_[pos_] == '/') {
                ++pos_;
                Item it{Op::Slash};
                it.repeat = count;
                items.push_back(std::move(it));
            } else if (letter == 'X') {
                ++pos_;
                Item it{Op::Skip};
                it.w = count;
                items.push_back(std::move(it));
            } else if (letter == 'H') {
                if (n < 0) bad_format(s_, "H without a count");
                ++pos_;
                if (s_.size() - pos_ < static_cast<std::size_t>(n)) bad_format(s_, "H text too short");
                Item it{Op::Literal};
                it.text = std::string(s_.substr(pos_, static_cast<std::size_t>(n)));
                pos_ += static_cast<std::size_t>(n);
                items.push_back(std::move(it));
            } else if (letter == 'A') {
                ++pos_;
                Item it{Op::Alpha};
                it.repeat = count;
                if (at_digit()) {
                    it.w = number();
                    if (it.w == 0) bad_format(s_, "zero width");
                }
                items.push_back(std::move(it));
            } else if (letter == 'I' || letter == 'F' || letter == 'E' || letter == 'D' ||
                       letter == 'G') {
                ++pos_;
                Item it(letter == 'I'   ? Op::Int
                        : letter == 'F' ? Op::Fixed
                        : letter == 'G' ? Op::Gen
                                        : Op::Exp);
                it.repeat = count;
                it.w = number();
                if (it.w == 0) bad_format(s_, "zero width");
                if (pos_ < s_.size() && s_[pos_] == '.') {
                    ++pos_;
                    it.d = number();
                } else if (it.op != Op::Int) {
                    bad_format(s_, "decimals missing");
                }
                items.push_back(std::move(it));
            } else {
                bad_format(s_, "unknown item");
            }
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

/// The parsed form of a format string, parsed on first use and kept.
const Format& parsed(std::string_view format) {
    static auto* cache = new std::unordered_map<std::string, Format, StringHash, std::equal_to<>>;
    auto it = cache->find(format);
    if (it == cache->end()) {
        it = cache->emplace(std::string(format), Parser(format).parse()).first;
    }
    return it->second;
}

// ---------------------------------------------------------------------------
// Output editing

std::string stars(int w) { return std::string(static_cast<std::size_t>(std::max(w, 0)), '*'); }

/// Right-justifies the text in w characters, or asterisks when it is wider.
std::string right(const std::string& s, int w) {
    if (w < 0) return {};
    if (s.size() > static_cast<std::size_t>(w)) return stars(w);
    return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

std::string nonfinite(double v, int w) {
    if (std::isnan(v)) return right("NaN", w);
    if (v > 0) return right(w >= 8 ? "Infinity" : "Inf", w);
    return right(w >= 9 ? "-Infinity" : "-Inf", w);
}

template <typename... Args>
std::string print(const char* form, Args... args) {
    const int n = std::snprintf(nullptr, 0, form, args...);
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(s.data(), s.size(), form, args...);
    s.resize(static_cast<std::size_t>(n));
    return s;
}

std::string edit_f_double(double v, int w, int d) {
    if (!std::isfinite(v)) return nonfinite(v, w);
    d = std::max(d, 0);
    std::string s = print("%.*f", d, v);
    if (s[0] == '-' && s.find_first_of("123456789") == std::string::npos) s.erase(0, 1);
    if (d == 0) s.push_back('.');
    // The zero before the point is optional only when digits follow it.
    if (w >= 0 && d > 0 && s.size() == static_cast<std::size_t>(w) + 1) {
        if (s.starts_with("0.")) {
            s.erase(0, 1);
        } else if (s.starts_with("-0.")) {
            s.erase(1, 1);
        }
    }
    return right(s, w);
}

double power_of_ten(int n) {
    double p = 1.0;
    for (int i = 0; i < n; ++i) p *= 10.0;
    return p;
}

std::string edit_g_double(double v, int w, int d) {
    if (!std::isfinite(v)) return nonfinite(v, w);
    const double a = std::fabs(v);
    if (d < 0 || w < 0) return stars(w);
    if (a == 0.0 || (a >= 0.1 && a < power_of_ten(d))) {
        int k = 1;
        if (a != 0.0) {
            k = 0;
            while (k < d && a >= power_of_ten(k)) ++k;
        }
        if (w <= 4) return stars(w);
        const std::string f = edit_f_double(v, w - 4, d - k);
        if (f == stars(w - 4)) return stars(w);
        return f + "    ";
    }
    return edit_e_double(v, w, d);
}

/// Edits one value for one data item of a write.
std::string edit_value(const Item& it, const Value& v) {
    const auto as_real = [&]() -> std::optional<double> {
        if (v.kind == Value::Kind::Real) return static_cast<double>(v.r);
        if (v.kind == Value::Kind::Int) return static_cast<double>(static_cast<float>(v.i));
        return std::nullopt;
    };
    switch (it.op) {
        case Op::Int:
            if (v.kind != Value::Kind::Int) return stars(it.w);
            return edit_i(v.i, it.w, it.d);
        case Op::Fixed:
            if (auto r = as_real()) return edit_f_double(*r, it.w, it.d);
            return stars(it.w);
        case Op::Exp:
            if (auto r = as_real()) return edit_e_double(*r, it.w, it.d);
            return stars(it.w);
        case Op::Gen:
            if (auto r = as_real()) return edit_g_double(*r, it.w, it.d);
            return stars(it.w);
        case Op::Alpha: {
            if (v.kind != Value::Kind::Text) return stars(it.w > 0 ? it.w : 4);
            if (it.w == 0) return v.t;
            const auto w = static_cast<std::size_t>(it.w);
            if (v.t.size() >= w) return v.t.substr(0, w);
            return std::string(w - v.t.size(), ' ') + v.t;
        }
        default:
            return {};
    }
}

/// Runs a write: values against the items of a parsed format.
class Writer {
public:
    Writer(const Format& f, const Values& values) : f_(f), values_(values) {}

    std::vector<std::string> run(bool* open_end) {
        walk(f_.items, 0);
        while (!stopped_ && next_ < values_.size()) {
            const std::size_t before = next_;
            end_record();
            walk(f_.items, f_.reversion);
            if (next_ == before) break;  // no data item: the values cannot be used
        }
        records_.push_back(std::move(rec_));
        if (open_end) *open_end = dollar_;
        return std::move(records_);
    }

private:
    void end_record() {
        records_.push_back(std::move(rec_));
        rec_.clear();
        dollar_ = false;
    }

    void walk(const std::vector<Item>& items, std::size_t from) {
        for (std::size_t i = from; i < items.size() && !stopped_; ++i) {
            const Item& it = items[i];
            switch (it.op) {
                case Op::Literal: rec_ += it.text; break;
                case Op::Skip: rec_.append(static_cast<std::size_t>(it.w), ' '); break;
                case Op::Slash:
                    for (int r = 0; r < it.repeat; ++r) end_record();
                    break;
                case Op::Dollar: dollar_ = true; break;
                case Op::Group:
                    for (int r = 0; r < it.repeat && !stopped_; ++r) walk(it.group, 0);
                    break;
                default:
                    for (int r = 0; r < it.repeat; ++r) {
                        if (next_ >= values_.size()) {
                            stopped_ = true;
                            return;
                        }
                        rec_ += edit_value(it, values_[next_++]);
                    }
            }
        }
    }

    const Format& f_;
    const Values& values_;
    std::size_t next_ = 0;
    std::vector<std::string> records_;
    std::string rec_;
    bool dollar_ = false;
    bool stopped_ = false;
};

// ---------------------------------------------------------------------------
// Input editing

/// Converts digits (no point) times 10^exp10 to the nearest float.
float decimal_to_float(bool negative, const std::string& digits, long long exp10) {
    const std::size_t first = digits.find_first_not_of('0');
    float out = 0.0f;
    if (first != std::string::npos) {
        const std::string t = digits.substr(first) + "e" + std::to_string(exp10);
        const auto r = std::from_chars(t.data(), t.data() + t.size(), out);
        if (r.ec != std::errc{}) {
            double dv = 0.0;
            const auto rd = std::from_chars(t.data(), t.data() + t.size(), dv);
            if (rd.ec == std::errc{}) {
                out = static_cast<float>(dv);
            } else {
                const long long order = static_cast<long long>(digits.size() - first) + exp10;
                out = order > 0 ? INFINITY : 0.0f;
            }
        }
    }
    return negative ? -out : out;
}

/// A formatted field without its blanks: only blanks are ignored, so a tab
/// stays and makes a numeric field malformed.
std::string without_blanks(std::string_view in) {
    std::string s;
    for (char c : in) {
        if (c != ' ') s.push_back(c);
    }
    return s;
}

/// Takes a leading sign at position i; true for a minus.
bool take_sign(const std::string& s, std::size_t& i) {
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) return s[i++] == '-';
    return false;
}

/// Scans a real: [sign] digits [. digits] [exponent]. `field` selects the
/// rules of a formatted field (blanks, and only blanks, ignored; empty or a
/// lone sign reads 0; an exponent may be a bare sign; `implied` decimals
/// without a point; a value beyond single precision reads as the largest
/// float of its sign, which is what G12.4 wrote for it); otherwise the
/// strict token rules of parse_real apply.
bool scan_real(std::string_view in, bool field, int implied, float& out) {
    const std::string s = field ? without_blanks(in) : std::string(in);
    std::size_t i = 0;
    const bool negative = take_sign(s, i);
    if (field && i == s.size()) {
        out = 0.0f;
        return true;
    }
    std::string digits;
    bool point = false;
    long long fraction = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            digits.push_back(c);
            if (point) ++fraction;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits.empty()) return false;
    long long exponent = 0;
    if (i < s.size()) {
        const char c = s[i];
        const bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd';
        if (!letter && !(field && (c == '+' || c == '-'))) return false;
        if (letter) ++i;
        bool eneg = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) eneg = s[i++] == '-';
        if (i == s.size()) return false;
        for (; i < s.size(); ++i) {
            if (s[i] < '0' || s[i] > '9') return false;
            if (exponent < 1000000) exponent = exponent * 10 + (s[i] - '0');
        }
        if (eneg) exponent = -exponent;
    }
    if (!point && field) fraction = implied;
    out = decimal_to_float(negative, digits, exponent - fraction);
    if (field && std::isinf(out)) out = std::copysign(FLT_MAX, out);
    return true;
}

/// Scans an integer: [sign] digits, saturating at the 32-bit range. With
/// `field`, blanks (and only blanks) are ignored and an empty field or a
/// lone sign reads 0.
bool scan_int(std::string_view in, bool field, int& out) {
    const std::string s = field ? without_blanks(in) : std::string(in);
    std::size_t i = 0;
    const bool negative = take_sign(s, i);
    if (i == s.size()) {
        if (!field) return false;
        out = 0;
        return true;
    }
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        if (v <= INT_MAX) v = v * 10 + (s[i] - '0');
    }
    if (negative) v = -v;
    out = static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
    return true;
}

void store_text(const Target& t, std::string_view s) {
    if (t.len <= 0) return;
    TextRef(t.t, t.len).assign(s);
}

using RecordSource = std::function<std::optional<std::string>()>;

/// Runs a formatted read: records from the source against the targets.
class Reader {
public:
    Reader(const Format& f, const Targets& targets, RecordSource source)
        : f_(f), targets_(targets), source_(std::move(source)) {}

    int run() {
        if (!fetch()) return status_;
        walk(f_.items, 0);
        while (status_ == kReadOk && !stopped_ && next_ < targets_.size()) {
            const std::size_t before = next_;
            ++pending_;
            walk(f_.items, f_.reversion);
            if (next_ == before) break;
        }
        if (status_ == kReadOk) {
            // Slashes after the last value still pass their records.
            while (pending_ > 0 && source_()) {
                --pending_;
                ++used_;
            }
        }
        return status_;
    }

    std::size_t used() const { return used_; }

private:
    bool fetch() {
        auto r = source_();
        if (!r) {
            status_ = kReadEnd;
            return false;
        }
        rec_ = std::move(*r);
        pos_ = 0;
        ++used_;
        return true;
    }

    bool ready() {
        while (pending_ > 0) {
            --pending_;
            if (!fetch()) return false;
        }
        return true;
    }

    std::string field(std::size_t w) {
        std::string f;
        if (pos_ < rec_.size()) f = rec_.substr(pos_, w);
        f.resize(w, ' ');
        pos_ += w;
        return f;
    }

    void walk(const std::vector<Item>& items, std::size_t from) {
        for (std::size_t i = from; i < items.size() && !stopped_ && status_ == kReadOk; ++i) {
            const Item& it = items[i];
            switch (it.op) {
                case Op::Literal:
                case Op::Skip:
                    if (!ready()) return;
                    pos_ += it.op == Op::Skip ? static_cast<std::size_t>(it.w) : it.text.size();
                    break;
                case Op::Slash: pending_ += it.repeat; break;
                case Op::Dollar: break;
                case Op::Group:
                    for (int r = 0; r < it.repeat && !stopped_ && status_ == kReadOk; ++r) {
                        walk(it.group, 0);
                    }
                    break;
                default:
                    for (int r = 0; r < it.repeat; ++r) {
                        if (next_ >= targets_.size()) {
                            stopped_ = true;
                            return;
                        }
                        if (!ready()) return;
                        if (!store(it, targets_[next_++])) {
                            status_ = kReadBadField;
                            return;
                        }
                    }
            }
        }
    }

    bool store(const Item& it, const Target& t) {
        if (it.op == Op::Alpha) {
            if (t.kind != Target::Kind::Text) return false;
            const int w = it.w > 0 ? it.w : t.len;
            const std::string f = field(static_cast<std::size_t>(std::max(w, 0)));
            // A field wider than the variable gives its rightmost characters.
            store_text(t, w > t.len ? std::string_view(f).substr(static_cast<std::size_t>(w - t.len))
                                    : std::string_view(f));
            return true;
        }
        const std::string f = field(static_cast<std::size_t>(it.w));
        if (t.kind == Target::Kind::Text) return false;
        if (it.op == Op::Int) {
            int v = 0;
            if (!scan_int(f, true, v)) return false;
            if (t.kind == Target::Kind::Int) {
                *t.i = v;
            } else {
                *t.r = static_cast<float>(v);
            }
            return true;
        }
        float v = 0.0f;
        if (!scan_real(f, true, std::max(it.d, 0), v)) return false;
        if (t.kind == Target::Kind::Real) {
            *t.r = v;
        } else {
            *t.i = trunc_int(v);
        }
        return true;
    }

    const Format& f_;
    const Targets& targets_;
    RecordSource source_;
    std::size_t next_ = 0;
    std::string rec_;
    std::size_t pos_ = 0;
    int pending_ = 0;
    int status_ = kReadOk;
    bool stopped_ = false;
    std::size_t used_ = 0;
};

RecordSource channel_source(int channel) {
    return [channel] { return io::read_record(channel); };
}

RecordSource vector_source(const std::vector<std::string>& records) {
    return [&records, i = std::size_t{0}]() mutable -> std::optional<std::string> {
        if (i >= records.size()) return std::nullopt;
        return records[i++];
    };
}

bool readable(int channel) { return channel != io::kTerminalOut && io::is_open(channel); }

int list_read(const Targets& targets, const RecordSource& source, std::size_t* used) {
    std::size_t next = 0;
    std::size_t count = 0;
    int status = kReadOk;
    do {
        auto rec = source();
        if (!rec) {
            status = kReadEnd;
            break;
        }
        ++count;
        const std::string& s = *rec;
        std::size_t i = 0;
        while (next < targets.size()) {
            while (i < s.size() && (s[i] == ' ' || s[i] == ',' || s[i] == '\t' || s[i] == '\r')) ++i;
            if (i >= s.size()) break;
            const std::size_t start = i;
            while (i < s.size() && s[i] != ' ' && s[i] != ',' && s[i] != '\t' && s[i] != '\r') ++i;
            const std::string_view token = std::string_view(s).substr(start, i - start);
            const Target& t = targets[next];
            bool ok = true;
            switch (t.kind) {
                case Target::Kind::Int: ok = scan_int(token, false, *t.i); break;
                case Target::Kind::Real: ok = parse_real(token, *t.r); break;
                case Target::Kind::Text: store_text(t, token); break;
            }
            if (!ok) {
                status = kReadBadField;
                break;
            }
            ++next;
        }
    } while (status == kReadOk && next < targets.size());
    if (used) *used = count;
    return status;
}

}  // namespace

// ---------------------------------------------------------------------------
// Single edit descriptors

std::string edit_i(int v, int w, int m) {
    const long long value = v;
    const bool negative = value < 0;
    std::string digits = (m == 0 && v == 0) ? std::string() : std::to_string(negative ? -value : value);
    if (m > 0 && digits.size() < static_cast<std::size_t>(m)) {
        digits.insert(0, static_cast<std::size_t>(m) - digits.size(), '0');
    }
    if (negative) digits.insert(0, 1, '-');
    return right(digits, w);
}

std::string edit_f(float v, int w, int d) { return edit_f_double(v, w, d); }

std::string edit_e(float v, int w, int d) { return edit_e_double(v, w, d); }

std::string edit_g(float v, int w, int d) { return edit_g_double(v, w, d); }

std::string edit_e_double(double v, int w, int d) {
    if (!std::isfinite(v)) return nonfinite(v, w);
    if (d < 1 || w < 0) return stars(w);
    std::string digits(static_cast<std::size_t>(d), '0');
    int exponent = 0;
    if (v != 0.0) {
        // d significant digits d1.d2...dd e+XX; the mantissa 0.d1...dd has
        // an exponent one higher.
        const std::string s = print("%.*e", d - 1, std::fabs(v));
        const std::size_t e = s.find('e');
        digits.clear();
        for (std::size_t i = 0; i < e; ++i) {
            if (s[i] != '.') digits.push_back(s[i]);
        }
        exponent = std::atoi(s.c_str() + e + 1) + 1;
    }
    const int magnitude = std::abs(exponent);
    std::string tail = "." + digits;
    const char sign = exponent < 0 ? '-' : '+';
    if (magnitude <= 99) {
        tail += print("E%c%02d", sign, magnitude);
    } else if (magnitude <= 999) {
        tail += print("%c%03d", sign, magnitude);
    } else {
        return stars(w);
    }
    if (v < 0) tail.insert(0, 1, '-');
    if (tail.size() < static_cast<std::size_t>(w)) tail.insert(v < 0 ? 1 : 0, 1, '0');
    return right(tail, w);
}

// ---------------------------------------------------------------------------
// Writes

std::vector<std::string> format_records(std::string_view format, const Values& values,
                                        bool* open_end) {
    return Writer(parsed(format), values).run(open_end);
}

bool write(int channel, std::string_view format, const Values& values) {
    bool open_end = false;
    bool ok = true;
    const std::vector<std::string> records = format_records(format, values, &open_end);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!io::put(channel, records[i])) ok = false;
        if ((i + 1 < records.size() || !open_end) && !io::end_record(channel)) ok = false;
    }
    return ok;
}

void write_text(TextRef dest, std::string_view format, const Values& values) {
    const std::vector<std::string> records = format_records(format, values);
    dest.assign(records.front());
}

std::string to_text(int len, std::string_view format, const Values& values) {
    std::string s = format_records(format, values).front();
    s.resize(static_cast<std::size_t>(std::max(len, 0)), ' ');
    return s;
}

// ---------------------------------------------------------------------------
// Reads

int read(int channel, std::string_view format, const Targets& targets) {
    const Format& f = parsed(format);
    if (!readable(channel)) return kReadNotOpen;
    return Reader(f, targets, channel_source(channel)).run();
}

int read_records(const std::vector<std::string>& records, std::string_view format,
                 const Targets& targets, std::size_t* used) {
    Reader reader(parsed(format), targets, vector_source(records));
    const int status = reader.run();
    if (used) *used = reader.used();
    return status;
}

int read_list(int channel, const Targets& targets) {
    if (!readable(channel)) return kReadNotOpen;
    return list_read(targets, channel_source(channel), nullptr);
}

int read_list_records(const std::vector<std::string>& records, const Targets& targets,
                      std::size_t* used) {
    return list_read(targets, vector_source(records), used);
}

bool parse_real(std::string_view token, float& out) {
    float v = 0.0f;
    if (!scan_real(token, false, 0, v)) return false;
    out = v;
    return true;
}

}  // namespace karvel::fmt
