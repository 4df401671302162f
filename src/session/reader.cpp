/// The command reader, the line splitter and the number decoder.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/channels.h"
#include "core/format.h"
#include "session/commands/table.h"
#include "session/session.h"

namespace karvel {

namespace {

constexpr int kLine = 80;

// Ten raised to the integer power e in single precision, by repeated squaring
// with the exponent's bits taken lowest first.
float power_of_ten(int e) {
    float result = 1.0f;
    float base = e < 0 ? 1.0f / 10.0f : 10.0f;
    std::int64_t k = e < 0 ? -static_cast<std::int64_t>(e) : e;
    while (k != 0) {
        if (k & 1) result = result * base;
        base = base * base;
        k >>= 1;
    }
    return result;
}

// Every decoded number is finite: beyond single precision it is the largest
// float of its sign; a NaN (an overflowing mantissa times an underflowing
// power of ten) is 0.
float finite_value(float v) {
    if (std::isnan(v)) return 0.0f;
    if (std::isinf(v)) return std::copysign(FLT_MAX, v);
    return v;
}

enum CharClass { kBlank = 10, kPoint = 11, kPlus = 12, kMinus = 13, kExpFirst = 14, kExpLast = 17 };

int classify(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    switch (c) {
        case ' ': return kBlank;
        case '.': return kPoint;
        case '+': return kPlus;
        case '-': return kMinus;
        case 'D': return 14;
        case 'E': return 15;
        case 'd': return 16;
        case 'e': return 17;
        default: return -1;
    }
}

}  // namespace

void kvfdcd(float* v, int nv, char* line, int len, int& iflag) {
    const int mode = iflag;
    iflag = 0;
    for (int k = 0; k < nv; ++k) v[k] = 0.0f;
    const int n = len < kLine ? len : kLine;

    int cls[kLine];
    for (int p = 1; p <= n; ++p) {
        char& c = line[p - 1];
        if (c == ',' || c == '\t') c = ' ';
        int k = classify(c);
        if (k < 0) {
            iflag = -p;
            if (mode > 0) {
                fmt::write(io::kTerminalOut, "(1X,I2,'TH. CHARACTER (',A1,') NOT ALLOWED - RETYPE LINE')",
                           {p, std::string(1, c)});
                return;
            }
            k = kBlank;
        }
        cls[p - 1] = k;
    }

    int pos = 0;
    for (int k = 1; k <= nv; ++k) {
        bool started = false;
        float sign[2] = {1.0f, 1.0f};  // mantissa, exponent
        float part[2] = {0.0f, 0.0f};
        int cur = 0;
        bool fraction = false;
        float scale = 1.0f;
        for (;;) {
            ++pos;
            if (pos > n) break;
            const int c = cls[pos - 1];
            if (!started) {
                if (c == kBlank || (c >= kExpFirst && c <= kExpLast)) continue;
                started = true;
            }
            if (c <= 9) {
                if (!fraction) {
                    part[cur] = part[cur] * 10.0f + static_cast<float>(c);
                } else {
                    scale = scale * 0.1f;
                    part[cur] = part[cur] + static_cast<float>(c) * scale;
                }
            } else if (c == kPoint) {
                fraction = true;
            } else if (c == kPlus) {
            } else if (c == kMinus) {
                sign[cur] = -1.0f;
            } else if (c >= kExpFirst && c <= kExpLast) {
                cur = 1;
                fraction = false;
                scale = 1.0f;
            } else {
                break;  // a blank ends the number
            }
        }
        const float mantissa = sign[0] * part[0];
        if (mantissa == 0.0f) {
            v[k - 1] = 0.0f;
        } else {
            const int e = trunc_int(sign[1] * part[1]);
            v[k - 1] = finite_value(mantissa * power_of_ten(e));
        }
    }
}

void kvgech(char& ch) {
    char* c = tinc.line.data();  // positions 1..80 and the spare 81
    int k = 1;
    while (k <= kLine && c[k - 1] == ' ') ++k;
    if (k > kLine) {
        ch = ' ';
        return;
    }
    if (c[k - 1] == ',') c[k - 1] = ' ';
    ch = c[k - 1];
    while (k <= kLine && c[k - 1] != ' ' && c[k - 1] != ',') {
        c[k - 1] = ' ';
        ++k;
    }
    c[k - 1] = ' ';
    int from = k + 1;
    while (from <= kLine && c[from - 1] == ' ') ++from;
    int to = 1;
    for (; from <= kLine; ++from, ++to) c[to - 1] = c[from - 1];
    for (; to <= kLine + 1; ++to) c[to - 1] = ' ';
}

int ikvcmd(std::span<const Command> commands) {
    const int in = tin.in;
    for (;;) {
        if (prompt == 0) fmt::write(tin.out, option_line_format(commands));
        prompt = 0;
        fmt::write(tin.out, "(' ',A4,'>',$)", {tinc.name});
        tinc.line.blank();
        io::flusht(tin.out);
        const auto record = io::read_record(in);
        if (!record) return -1;
        tinc.line.assign(std::string_view(*record).substr(0, kLine));
        tinc.line.at(kLine + 1) = ' ';

        char ch = ' ';
        kvgech(ch);
        if (ch == ' ' || ch == ';') continue;
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');

        for (std::size_t i = 0; i < commands.size(); ++i) {
            if (commands[i].letter != ch) continue;
            if (commands[i].argument == Argument::Numbers) {
                int iflag = 0;
                kvfdcd(tin.v.data(), 10, tinc.line.data(), kLine, iflag);
            }
            return static_cast<int>(i) + 1;
        }
        fmt::write(tin.out, "(' COMMAND NOT KNOWN - TYPE H<RETURN> FOR HELP')");
    }
}

}  // namespace karvel
