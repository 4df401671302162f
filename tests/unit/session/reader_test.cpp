/// Tests of the line splitter and the number decoder.
#include <gtest/gtest.h>

#include <cfloat>

#include <cmath>
#include <cstdio>
#include <string>

#include "core/channels.h"
#include "session/session.h"

using namespace karvel;

namespace {

struct Decoded {
    float v[10];
    int iflag;
    std::string line;
};

Decoded decode(const std::string& text, int mode = 0) {
    Decoded d{};
    d.line = text;
    d.line.resize(80, ' ');
    d.iflag = mode;
    kvfdcd(d.v, 10, d.line.data(), 80, d.iflag);
    return d;
}

std::string split(const std::string& typed, char& ch) {
    tinc.line.assign(typed);
    kvgech(ch);
    return std::string(tinc.line.trimmed());
}

}  // namespace

TEST(Decoder, NumberForms) {
    EXPECT_EQ(decode("1.5E2").v[0], 150.0f);
    EXPECT_EQ(decode("1.5e2").v[0], 150.0f);
    EXPECT_EQ(decode("1.5D2").v[0], 150.0f);
    EXPECT_EQ(decode("E5").v[0], 5.0f);  // a leading exponent letter is skipped
    EXPECT_EQ(decode("-2.5").v[0], -2.5f);
    EXPECT_EQ(decode("2.5-").v[0], -2.5f);  // the minus may stand anywhere
    EXPECT_EQ(decode("1-2").v[0], -12.0f);
    EXPECT_EQ(decode(".5").v[0], 0.5f);
    EXPECT_FLOAT_EQ(decode("1.5.2").v[0], 1.52f);
    EXPECT_FLOAT_EQ(decode("1E-2").v[0], 0.01f);
    EXPECT_EQ(decode("--3").v[0], -3.0f);  // the sign is set, not toggled
    EXPECT_EQ(decode("+7").v[0], 7.0f);
}

TEST(Decoder, PowerOfTenBySquaringLowestBitFirst) {
    // 10^-3: result 1/10 (bit 0), base (1/10)^2, then result * (1/10)^2 (bit 1).
    const float tenth = 1.0f / 10.0f;
    const float expected = tenth * (tenth * tenth);
    EXPECT_EQ(decode("1E-3").v[0], expected);
    EXPECT_EQ(decode("2E6").v[0], 2.0e6f);
}

TEST(Decoder, SeveralValuesAndSeparators) {
    Decoded d = decode("10,20\t30  -4.5");
    EXPECT_EQ(d.v[0], 10.0f);
    EXPECT_EQ(d.v[1], 20.0f);
    EXPECT_EQ(d.v[2], 30.0f);
    EXPECT_EQ(d.v[3], -4.5f);
    for (int k = 4; k < 10; ++k) EXPECT_EQ(d.v[k], 0.0f);
    EXPECT_EQ(d.line.substr(0, 15), "10 20 30  -4.5 ");  // commas and tabs blanked in the line

    Decoded eleven = decode("1 2 3 4 5 6 7 8 9 10 11");
    EXPECT_EQ(eleven.v[9], 10.0f);

    Decoded none = decode("0 0");
    for (float v : none.v) EXPECT_EQ(v, 0.0f);
}

TEST(Decoder, OnlyEightyCharactersAreLookedAt) {
    std::string text(78, ' ');
    text += "12345";  // positions 79..83: only "12" is inside
    std::string line = text;
    float v[10];
    int iflag = 0;
    kvfdcd(v, 10, line.data(), static_cast<int>(line.size()), iflag);
    EXPECT_EQ(v[0], 12.0f);
}

TEST(Decoder, IllegalCharactersSilentAndReporting) {
    Decoded silent = decode("1O 2");
    EXPECT_EQ(silent.iflag, -2);
    EXPECT_EQ(silent.v[0], 1.0f);
    EXPECT_EQ(silent.v[1], 2.0f);

    std::FILE* out = std::tmpfile();
    io::redirect_terminal(nullptr, out);
    Decoded loud = decode("1O 2", 1);
    io::flusht(6);
    io::redirect_terminal(nullptr, nullptr);
    EXPECT_EQ(loud.iflag, -2);
    for (float v : loud.v) EXPECT_EQ(v, 0.0f);
    std::rewind(out);
    char buf[200] = {};
    ASSERT_NE(std::fgets(buf, sizeof buf, out), nullptr);
    EXPECT_STREQ(buf, "  2TH. CHARACTER (O) NOT ALLOWED - RETYPE LINE\n");
    std::fclose(out);

    // The F command's option letter is a separator in the silent mode.
    Decoded f = decode("10 N");
    EXPECT_EQ(f.v[0], 10.0f);
    EXPECT_EQ(f.v[1], 0.0f);
}

TEST(Decoder, NumbersBeyondSinglePrecisionStayFinite) {
    EXPECT_EQ(decode("0E99").v[0], 0.0f);
    EXPECT_EQ(decode("1E99").v[0], FLT_MAX);
    EXPECT_EQ(decode("-1E39").v[0], -FLT_MAX);
    EXPECT_EQ(decode("1E-99").v[0], 0.0f);
    EXPECT_EQ(decode("1E99999999999999").v[0], FLT_MAX);
    EXPECT_EQ(decode("5E-99999999999999").v[0], 0.0f);
    EXPECT_EQ(decode("0E-99999999999999").v[0], 0.0f);
    // A mantissa that overflows, times a power of ten that underflows.
    EXPECT_EQ(decode(std::string(45, '9') + "E-60").v[0], 0.0f);
    EXPECT_EQ(decode("-" + std::string(45, '9')).v[0], -FLT_MAX);
}

TEST(Splitter, CommandWordAndArgumentText) {
    char ch = '?';
    EXPECT_EQ(split("FIT 5", ch), "5");
    EXPECT_EQ(ch, 'F');
    EXPECT_EQ(split("X1 2", ch), "2");
    EXPECT_EQ(ch, 'X');
    EXPECT_EQ(split("   T  my   title ", ch), "my   title");
    EXPECT_EQ(ch, 'T');
    EXPECT_EQ(split("F,10,N", ch), "10,N");
    EXPECT_EQ(ch, 'F');
    EXPECT_EQ(split("  ,x", ch), "x");  // the line is ignored: ch is blank
    EXPECT_EQ(ch, ' ');
    EXPECT_EQ(split("", ch), "");
    EXPECT_EQ(ch, ' ');
    std::string full(80, 'W');
    EXPECT_EQ(split(full, ch), "");
    EXPECT_EQ(ch, 'W');
    EXPECT_EQ(tinc.line.at(81), ' ');
}

TEST(Truncation, SaturatesAndTreatsNaNAsZero) {
    EXPECT_EQ(trunc_int(2.9f), 2);
    EXPECT_EQ(trunc_int(-0.5f), 0);
    EXPECT_EQ(trunc_int(-2.9f), -2);
    EXPECT_EQ(trunc_int(NAN), 0);
    EXPECT_EQ(trunc_int(1e30f), 2147483647);
    EXPECT_EQ(trunc_int(-1e30f), -2147483647 - 1);
    EXPECT_EQ(trunc_int(INFINITY), 2147483647);
}
