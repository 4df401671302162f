/// Tests of the format engine: edit descriptors, format control and reads.
#include "core/format.h"

#include <gtest/gtest.h>

#include <cfloat>

#include <climits>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace karvel::fmt {
namespace {

using Records = std::vector<std::string>;

TEST(EditG, ChoosesFixedOrExponentOnTheUnroundedMagnitude) {
    EXPECT_EQ("   0.000    ", edit_g(0.0f, 12, 4));
    EXPECT_EQ("   1.500    ", edit_g(1.5f, 12, 4));
    EXPECT_EQ("   123.0    ", edit_g(123.0f, 12, 4));
    EXPECT_EQ("  0.1000    ", edit_g(0.1f, 12, 4));
    EXPECT_EQ("  0.1230E-01", edit_g(0.0123f, 12, 4));
    EXPECT_EQ("  0.9999E-01", edit_g(0.09999f, 12, 4));
    EXPECT_EQ("  0.1000E+06", edit_g(99999.0f, 12, 4));
    // 9999.5 is below 10^4 before rounding, so F8.0 is used and shows 10000.
    EXPECT_EQ("  10000.    ", edit_g(9999.5f, 12, 4));
    // Exact ties go to the even digit.
    EXPECT_EQ("   1234.    ", edit_g(1234.5f, 12, 4));
    EXPECT_EQ("  0.1234E+05", edit_g(12345.0f, 12, 4));
}

TEST(EditG, NegativeValuesAndNarrowFields) {
    EXPECT_EQ("  -1.500    ", edit_g(-1.5f, 12, 4));
    EXPECT_EQ(" -0.1230E-01", edit_g(-0.0123f, 12, 4));
    EXPECT_EQ("  -123.0    ", edit_g(-123.0f, 12, 4));
    // F2.3 cannot hold 1.500: the whole field is asterisks.
    EXPECT_EQ("******", edit_g(1.5f, 6, 4));
}

TEST(EditF, SignRoundingAndLeadingZero) {
    EXPECT_EQ("  0.0", edit_f(-0.04f, 5, 1));
    EXPECT_EQ(" -0.1", edit_f(-0.05f, 5, 1));  // -0.0500000007 rounds away from zero
    EXPECT_EQ("      5.", edit_f(5.0f, 8, 0));
    EXPECT_EQ("   0.", edit_f(-0.4f, 5, 0));
    EXPECT_EQ(" 0.12", edit_f(0.125f, 5, 2));  // exact tie, even digit
    EXPECT_EQ("  2.67", edit_f(2.675f, 6, 2));  // 2.67499995 in binary
    EXPECT_EQ(".500", edit_f(0.5f, 4, 3));
    EXPECT_EQ("-.500", edit_f(-0.5f, 5, 3));
    EXPECT_EQ("***", edit_f(0.5f, 3, 3));
    EXPECT_EQ("*", edit_f(0.3f, 1, 0));  // "." alone would hold no digit
    EXPECT_EQ("******", edit_f(1234.5f, 6, 2));
    EXPECT_EQ("  12.50", edit_f(12.5f, 7, 2));
}

TEST(EditI, WidthsMinimumDigitsAndOverflow) {
    EXPECT_EQ("***", edit_i(1000, 3));
    EXPECT_EQ("999", edit_i(999, 3));
    EXPECT_EQ("-99", edit_i(-99, 3));
    EXPECT_EQ("***", edit_i(-100, 3));
    EXPECT_EQ("   0", edit_i(0, 4));
    EXPECT_EQ("007", edit_i(7, 3, 3));
    EXPECT_EQ(" -007", edit_i(-7, 5, 3));
    EXPECT_EQ("-2147483648", edit_i(INT_MIN, 11));
}

TEST(EditE, MantissaExponentAndWidth) {
    EXPECT_EQ("  0.0000E+00", edit_e(0.0f, 12, 4));
    EXPECT_EQ("0.1500E+01", edit_e(1.5f, 10, 4));
    EXPECT_EQ(".1500E+01", edit_e(1.5f, 9, 4));
    EXPECT_EQ("-.1500E+01", edit_e(-1.5f, 10, 4));
    EXPECT_EQ("*********", edit_e(-1.5f, 9, 4));
    EXPECT_EQ(" -0.1500E+01", edit_e(-1.5f, 12, 4));
    EXPECT_EQ("  0.1000E+06", edit_e(99999.0f, 12, 4));  // rounding carries into the exponent
    EXPECT_EQ("  0.3000E+39", edit_e(3.0e38f, 12, 4));
    EXPECT_EQ("  0.1000E-39", edit_e(1.0e-40f, 12, 4));  // a subnormal float
    EXPECT_EQ("   0.12345679E+09", edit_e(123456789.0f, 17, 8));
    // Three-digit exponents lose the letter E.
    EXPECT_EQ("  0.10000-119", edit_e_double(1.0e-120, 13, 5));
    EXPECT_EQ("  0.1500+201", edit_e_double(1.5e200, 12, 4));
}

TEST(EditNonFinite, NamesRightJustifiedOrAsterisks) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ("     NaN", edit_f(nan, 8, 2));
    EXPECT_EQ("**", edit_f(nan, 2, 1));
    EXPECT_EQ("Infinity", edit_f(inf, 8, 2));
    EXPECT_EQ("    Inf", edit_f(inf, 7, 2));
    EXPECT_EQ("-Infinity", edit_f(-inf, 9, 2));
    EXPECT_EQ("    -Inf", edit_f(-inf, 8, 2));
    EXPECT_EQ("***", edit_f(-inf, 3, 1));
    EXPECT_EQ("         NaN", edit_e(nan, 12, 4));
    EXPECT_EQ("    Infinity", edit_g(inf, 12, 4));
    EXPECT_EQ("    -Inf", edit_g(-inf, 8, 4));
    EXPECT_EQ("***", edit_g(-inf, 3, 1));
}

TEST(WriteItems, TextHollerithAndLiterals) {
    EXPECT_EQ(Records{"AB  |"}, format_records("(A,'|')", {"AB  "}));
    EXPECT_EQ(Records{"PAR     |"}, format_records("(A,'|')", {Text<8>("PAR")}));
    EXPECT_EQ(Records{"ABC"}, format_records("(A3)", {"ABCDE"}));
    EXPECT_EQ(Records{"    AB"}, format_records("(A6)", {"AB"}));
    EXPECT_EQ(Records{"1X"}, format_records("(1H1,'X')", {}));
    EXPECT_EQ(Records{"  5"}, format_records("(1H ,I2)", {5}));
    EXPECT_EQ(Records{" RANGE SET BY \"ONLY\" COMMAND. IT'S"},
              format_records("(' RANGE SET BY \"ONLY\" COMMAND. IT''S')", {}));
    EXPECT_EQ(Records{"a,b(c)"}, format_records("(6Ha,b(c))", {}));
    EXPECT_EQ(Records{"   X"}, format_records("(3X,'X')", {}));
}

TEST(WriteItems, SlashesMakeEmptyRecords) {
    EXPECT_EQ((Records{"", ""}), format_records("(/)", {}));
    EXPECT_EQ((Records{"", " A", "", ""}), format_records("(/,' A',//)", {}));
    EXPECT_EQ((Records{" A", "", "", " B"}), format_records("(' A',3/,' B')", {}));
}

TEST(WriteControl, ReversionToTheStartOfAFormatWithoutGroups) {
    Values v;
    for (int i = 1; i <= 30; ++i) v.emplace_back(i);
    const Records expected = {
        " " "   1" "    2    3    4    5    6    7    8    9   10   11   12   13"
        "   14   15   16   17   18   19   20   21   22   23   24   25",
        " " "  26" "   27   28   29   30"};
    EXPECT_EQ(expected, format_records("(1X,I4,24I5)", v));
}

TEST(WriteControl, WriteEndsAtTheFirstDataItemWithoutValue) {
    EXPECT_EQ(Records{" "}, format_records("(1X,I4,24I5)", {}));
    EXPECT_EQ(Records{" THERE ARE   3 POINTS"}, format_records("(' THERE ARE ',I3,' POINTS')", {3}));
    EXPECT_EQ(Records{" 1 A"}, format_records("(I2,' A',I2,' B')", {1}));
    EXPECT_EQ(Records{" " "  1.00    " " TO" "  2.00    " " " " 0.500    " " TO" " 0.100E+04" " "},
              format_records("3(1X,G10.3,' TO',G10.3)", {1.0f, 2.0f, 0.5f, 1000.0f}));
    // An integer handed to a real item is written as a real.
    EXPECT_EQ(Records{"   2.000    "}, format_records("(G12.4)", {2}));
}

TEST(WriteControl, ReversionToTheLastTopLevelGroup) {
    EXPECT_EQ((Records{" A", " 1|", " 2|", " 3|"}), format_records("(' A',/,(I2),'|')", {1, 2, 3}));
    EXPECT_EQ((Records{"    1   1.500       1.500       1.500       1.500       1.500    ", "    2"}),
              format_records("((I5,5G12.4))", {1, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 2}));
    EXPECT_EQ(Records{"    3   0.10000000E+01    4  -0.20000000E+01"},
              format_records("5(I5,E17.8)", {3, 1.0f, 4, -2.0f}));
}

TEST(WriteControl, ParameterTable) {
    const char* format =
        "(' FITTING Y : ',A,'   VERSUS X : ',A,/,' NUMBER  PARAMETER   VALUE    (  OLD VALUE )"
        "     STEP    ',' % DEVIATION ',/,(1H ,I4,3X,A8,2X,G12.4,'(',G12.4,')',G12.4,F10.2))";
    const Values v = {"COUNTS", "CHANNEL",
                      1, Text<8>("CENTRE"), 10.5f, 10.0f, 0.1f, 5.0f,
                      2, Text<8>("SIGMA"), 2.25f, 2.0f, 0.05f, 12.5f};
    const Records expected = {
        " FITTING Y : COUNTS   VERSUS X : CHANNEL",
        " NUMBER  PARAMETER   VALUE    (  OLD VALUE )     STEP     % DEVIATION ",
        " " "   1" "   " "CENTRE  " "  " "   10.50    " "(" "   10.00    " ")" "  0.1000    "
        "      5.00",
        " " "   2" "   " "SIGMA   " "  " "   2.250    " "(" "   2.000    " ")" "  0.5000E-01"
        "     12.50"};
    EXPECT_EQ(expected, format_records(format, v));
}

TEST(WriteControl, DollarLeavesTheRecordOpen) {
    bool open = false;
    EXPECT_EQ(Records{" Give input filename : "},
              format_records("(' Give input filename : ',$)", {}, &open));
    EXPECT_TRUE(open);
    EXPECT_EQ(Records{" FITTING....."}, format_records("($,' FITTING.....')", {}, &open));
    EXPECT_TRUE(open);
    format_records("(' DONE')", {}, &open);
    EXPECT_FALSE(open);
    // A slash after the dollar starts a record of its own, which is closed.
    format_records("($,' A',/,' B')", {}, &open);
    EXPECT_FALSE(open);
}

TEST(WriteControl, MalformedFormatsAreRejected) {
    EXPECT_THROW(format_records("(I)", {1}), std::invalid_argument);
    EXPECT_THROW(format_records("(1X", {}), std::invalid_argument);
    EXPECT_THROW(format_records("(3H12)", {}), std::invalid_argument);
    EXPECT_THROW(format_records("('OPEN)", {}), std::invalid_argument);
    EXPECT_THROW(format_records("(F8)", {1.0f}), std::invalid_argument);
}

TEST(InternalWrite, FillsFromTheLeftPadsAndCuts) {
    EXPECT_EQ("FIT #  5", to_text(8, "('FIT #',I3)", {5}));
    EXPECT_EQ("FIT #", to_text(5, "('FIT #',I3)", {5}));
    EXPECT_EQ("kvst007.lis ", to_text(12, "(A4,I3.3,'.lis')", {"kvst", 7}));
    Text<12> name("previous text");
    write_text(name, "(A4,I3.3,'.lis')", {"kvst", 123});
    EXPECT_EQ("kvst123.lis ", name.str());
}

TEST(FormattedRead, ReversionOverThreeRecords) {
    const Records recs = {" " "      1.5   " "   -2.5E+01 ",
                          " " "       12345" "  1.0D2     ",
                          " " "  0.5-3     "};
    float v[6] = {0, 0, 0, 0, 0, 9.0f};
    std::size_t used = 0;
    EXPECT_EQ(0, read_records(recs, "(1X,2G12.4)", {v[0], v[1], v[2], v[3], v[4], v[5]}, &used));
    EXPECT_EQ(3u, used);
    EXPECT_EQ(1.5f, v[0]);
    EXPECT_EQ(-25.0f, v[1]);
    EXPECT_EQ(1.2345f, v[2]);  // no decimal point: four implied decimals
    EXPECT_EQ(100.0f, v[3]);
    EXPECT_EQ(0.5e-3f, v[4]);  // exponent given by a bare sign
    EXPECT_EQ(0.0f, v[5]);     // beyond the end of a short record
}

TEST(FormattedRead, SlashesAndRevertingToTheStart) {
    const Records recs = {" skipped", "      1.0         2.0", " skipped", "      3.0         4.0"};
    float a = 0, b = 0, c = 0, d = 0;
    std::size_t used = 0;
    EXPECT_EQ(0, read_records(recs, "(/,1X,2G12.4)", {a, b, c, d}, &used));
    EXPECT_EQ(4u, used);
    EXPECT_EQ(1.0f, a);
    EXPECT_EQ(2.0f, b);
    EXPECT_EQ(3.0f, c);
    EXPECT_EQ(4.0f, d);
}

TEST(FormattedRead, IntegerAndFixedFields) {
    int i = 0, j = 0;
    float x = 0, y = 0;
    EXPECT_EQ(0, read_records({" 1 2  -12"}, "(I4,I5)", {i, j}));
    EXPECT_EQ(12, i);  // blanks inside a field are ignored
    EXPECT_EQ(-12, j);
    EXPECT_EQ(0, read_records({"999999999999"}, "(I12)", {i}));
    EXPECT_EQ(INT_MAX, i);
    EXPECT_EQ(0, read_records({"  1234 1234E1"}, "(F6.2,F7.2)", {x, y}));
    EXPECT_EQ(12.34f, x);
    EXPECT_EQ(123.4f, y);
    EXPECT_EQ(0, read_records({"      "}, "(I3,F3.1)", {i, x}));
    EXPECT_EQ(0, i);
    EXPECT_EQ(0.0f, x);
    // Beyond single precision: the largest float of its sign, so that what
    // G12.4 writes for it ("0.3403E+39") reads back.
    EXPECT_EQ(0, read_records({"  0.3403E+39 -1E999"}, "(G12.4,G8.0)", {x, y}));
    EXPECT_EQ(FLT_MAX, x);
    EXPECT_EQ(-FLT_MAX, y);
}

TEST(FormattedRead, TextFields) {
    Text<4> a, b;
    Text<8> c;
    EXPECT_EQ(0, read_records({"ABCDEFGHIJ"}, "(A2,A6,A)", {a, b, c}));
    EXPECT_EQ("AB  ", a.str());
    EXPECT_EQ("EFGH", b.str());  // a wider field gives its rightmost characters
    EXPECT_EQ("IJ      ", c.str());
}

TEST(FormattedRead, ErrorsAndEndOfFile) {
    int i = 5, j = 6;
    EXPECT_GT(read_records({"  7 x9"}, "(2I3)", {i, j}), 0);
    EXPECT_EQ(7, i);  // read before the bad field
    EXPECT_EQ(6, j);
    float x = 1.0f;
    EXPECT_GT(read_records({"1.2.3"}, "(F5.0)", {x}), 0);
    EXPECT_GT(read_records({"  E5"}, "(F4.0)", {x}), 0);
    EXPECT_GT(read_records({" 1.0E"}, "(F5.0)", {x}), 0);
    EXPECT_EQ(1.0f, x);
    // Only blanks are ignored in a numeric field: a tab makes it malformed,
    // and what was read before it stays.
    EXPECT_GT(read_records({"  8 \t9"}, "(2I3)", {i, j}), 0);
    EXPECT_EQ(8, i);
    EXPECT_EQ(6, j);
    EXPECT_GT(read_records({"1.\t5"}, "(F4.0)", {x}), 0);
    EXPECT_EQ(1.0f, x);
    Text<4> t;
    EXPECT_GT(read_records({"12"}, "(I2)", {t}), 0);  // text variable, numeric field
    EXPECT_LT(read_records({}, "(A)", {t}), 0);
    EXPECT_LT(read_records({"only one"}, "(A,/,A)", {t, t}), 0);
    EXPECT_EQ("only", t.str());
}

TEST(ListRead, SeparatorsAndRecords) {
    float a = 0, b = 0, c = 0;
    int n = 0;
    std::size_t used = 0;
    EXPECT_EQ(0, read_list_records({"1.5, 2 ,\t-3e2", "", "  7  8"}, {a, b, c, n}, &used));
    EXPECT_EQ(3u, used);
    EXPECT_EQ(1.5f, a);
    EXPECT_EQ(2.0f, b);
    EXPECT_EQ(-300.0f, c);
    EXPECT_EQ(7, n);  // the 8 is left on the record
    EXPECT_EQ(0, read_list_records({"4", "5"}, {a}, &used));
    EXPECT_EQ(1u, used);
    EXPECT_GT(read_list_records({"1+5"}, {a}), 0);
    EXPECT_GT(read_list_records({"1.5"}, {n}), 0);
    EXPECT_LT(read_list_records({"1 2"}, {a, b, c}), 0);
}

TEST(ParseReal, AcceptsOnlyTheTokenGrammar) {
    float v = 0;
    EXPECT_TRUE(parse_real("5", v));
    EXPECT_EQ(5.0f, v);
    EXPECT_TRUE(parse_real("-5.", v));
    EXPECT_EQ(-5.0f, v);
    EXPECT_TRUE(parse_real(".5", v));
    EXPECT_EQ(0.5f, v);
    EXPECT_TRUE(parse_real("+1.5E3", v));
    EXPECT_EQ(1500.0f, v);
    EXPECT_TRUE(parse_real("1d-2", v));
    EXPECT_EQ(0.01f, v);
    EXPECT_TRUE(parse_real("0.1", v));
    EXPECT_EQ(0.1f, v);
    EXPECT_TRUE(parse_real("1e40", v));
    EXPECT_TRUE(std::isinf(v));
    EXPECT_TRUE(parse_real("-1e-60", v));
    EXPECT_EQ(0.0f, v);
    EXPECT_TRUE(parse_real("0e99999999999", v));
    EXPECT_EQ(0.0f, v);
    v = 42.0f;
    for (const char* bad : {"1+5", "0x10", "5-", "", ".", "-", "e5", "1e", "1e+", "1.2.3", " 1", "1 "}) {
        EXPECT_FALSE(parse_real(bad, v)) << '"' << bad << '"';
    }
    EXPECT_EQ(42.0f, v);
}

}  // namespace
}  // namespace karvel::fmt
