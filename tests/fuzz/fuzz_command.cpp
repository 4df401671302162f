/// Fuzz target: the command reader and the number decoder.
///
/// The first byte chooses the mode. Mode 0: the rest are lines typed at the
/// terminal; the reader takes them one command at a time and each command's
/// ten numbers must be finite (strict). Modes 1 and 2: each line goes
/// straight to the decoder, without and with the report of an illegal
/// character; the flag stays in range and the numbers are finite (strict).
/// Mode 3: the rest chooses up to ten whole numbers below 10^7 in magnitude
/// and the separators between them; the decoder must give exactly those
/// numbers.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "core/records.h"
#include "session/commands/table.h"
#include "session/session.h"

namespace {

void check_finite(const float* v, int n, const std::string& line) {
    if (!fuzz::kStrict) return;
    for (int k = 0; k < n; ++k) {
        FUZZ_CHECK(std::isfinite(v[k]), "number " + std::to_string(k + 1) + " of '" + line + "'");
    }
}

void reader_mode(std::string_view input) {
    fuzz::Terminal term(input);
    karvel::tin.in = karvel::io::kTerminalIn;
    karvel::tin.out = karvel::io::kTerminalOut;
    karvel::tinc.name = "fuzz";
    karvel::prompt = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        const int k = karvel::ikvcmd(karvel::kCommands);
        if (k == -1) return;
        FUZZ_CHECK(k >= 1 && k <= static_cast<int>(karvel::kCommands.size()), "command position " + std::to_string(k));
        if (karvel::kCommands[static_cast<std::size_t>(k - 1)].argument == karvel::Argument::Numbers) {
            check_finite(karvel::tin.v.data(), 10, std::string(karvel::tinc.line.view()));
        }
    }
    fuzz::fail("the reader did not reach the end of its input");
}

void decoder_mode(std::string_view input, int report) {
    for (const std::string& rec : fuzz::split_records(input)) {
        char line[81];
        std::memset(line, ' ', sizeof line);
        std::memcpy(line, rec.data(), rec.size() < 80 ? rec.size() : 80);
        float v[10];
        int iflag = report;
        karvel::kvfdcd(v, 10, line, 80, iflag);
        FUZZ_CHECK(iflag <= 0 && iflag >= -80, "iflag " + std::to_string(iflag));
        check_finite(v, 10, rec);
    }
}

void exact_mode(fuzz::Bytes in) {
    const char separators[] = {' ', ',', '\t'};
    const int count = 1 + in.byte() % 10;
    float want[10] = {};
    std::string line;
    for (int k = 0; k < count; ++k) {
        const int gap = 1 + in.byte() % 3;
        const char sep = separators[in.byte() % 3];
        // A comma or tab alone separates two numbers; blanks may add to it.
        if (k > 0 || gap > 1) line.append(static_cast<std::size_t>(gap - 1), ' ');
        if (k > 0) line.push_back(sep);
        const std::int32_t value = static_cast<std::int32_t>(in.u32() % 19999999u) - 9999999;
        const char plus = in.byte() % 4 == 0 ? '+' : '\0';
        if (value >= 0 && plus) line.push_back(plus);
        line += std::to_string(value);
        want[k] = static_cast<float>(value);
    }
    if (line.size() > 80) return;
    char buf[81];
    std::memset(buf, ' ', sizeof buf);
    std::memcpy(buf, line.data(), line.size());
    float v[10];
    int iflag = 1;
    karvel::kvfdcd(v, 10, buf, 80, iflag);
    FUZZ_CHECK(iflag == 0, "'" + line + "' gave iflag " + std::to_string(iflag));
    for (int k = 0; k < 10; ++k) {
        FUZZ_CHECK(v[k] == want[k], "number " + std::to_string(k + 1) + " of '" + line + "' read as " +
                                        std::to_string(v[k]));
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
    switch (data[0] % 4) {
        case 0: reader_mode(in.rest()); break;
        case 1: decoder_mode(in.rest(), 0); break;
        case 2: {
            fuzz::Terminal term("");  // the report of an illegal character goes nowhere
            decoder_mode(in.rest(), 1);
            break;
        }
        default: exact_mode(in); break;
    }
    return 0;
}
