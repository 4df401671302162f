/// Tests of the fit listing on the terminal and in the listing file.
#include <algorithm>
#include <cmath>

#include "fixture.h"
#include "session/commands/commands.h"

namespace karvel::test {
namespace {

const std::string kDate = " 8-Dec-2026 14:05:09";
const std::string kTitle = pad("PEAK", 50);
const std::string kManual = pad("MY TITLE", 50);
const std::string kTableHead = " NUMBER  PARAMETER   VALUE    (  OLD VALUE )    STEP      % DEVIATION ";
const std::string kScreenRanges = std::string(" ") + "  10.0    " + " TO" + "  40.0    " + " " + "  0.00    " +
                                  " TO" + "  0.00    " + " " + "  0.00    " + " TO" + "  0.00    ";
const std::string kRanges = " CURRENT LIMITS (IF RANGE IS NON-ZERO) ARE : ";

class Kvlist : public ReportTest {
protected:
    void SetUp() override {
        ReportTest::SetUp();
        tinc.name = "kvst";
        pltlic.x = "CHANNEL";
        pltlic.y = "COUNTS";
        pltlic.title = "PEAK";
        titlex = "MY TITLE";
        functn.np = 3;
        functc.name[0] = "CENTRE";
        functc.name[1] = "SIGMA";
        functc.name[2] = "FLAT";
        const float p[] = {50.0f, 2.5f, 10.0f}, s[] = {1.0f, 0.5f, 0.0f}, dev[] = {1.25f, 4.0f, 0.0f};
        for (int i = 1; i <= 3; ++i) {
            functn.p(i) = p[i - 1];
            functn.s(i) = s[i - 1];
            errorc.dev(i) = dev[i - 1];
        }
        old_.fill(0.0f);
        old_(1) = 49.0f;
        old_(2) = 3.0f;
        old_(3) = 10.0f;
        chichi = Chichi{5.0f, 12.3f, 1.5f, 3.3f, 0.5f, 27, 2};
        fitlim.bound(1) = 10.0f;
        fitlim.bound(2) = 40.0f;
        fitlim.m = 2;
        obsdat.x(1) = 12.0f, obsdat.y(1) = 100.0f, obsdat.e(1) = 10.0f;
        obsdat.x(2) = 20.0f, obsdat.y(2) = 50.0f, obsdat.e(2) = 5.0f;
        caldat.yc(1) = 103.0f, caldat.r(1) = 3.0f;
        caldat.yc(2) = 54.0f, caldat.r(2) = 4.0f;
        errorc.nfit = 2;
        errorc.cov(1) = 100.0f, errorc.cov(2) = -50.0f, errorc.cov(3) = -50.0f, errorc.cov(4) = 100.0f;
        cnstrn(1) = 1;
        cnstrn(2) = 2;
    }

    /// Runs L: opens the listing file, lists, closes it and returns its lines.
    std::vector<std::string> list() {
        lpout(tinc.name, 16);
        kvlist(old_.data(), full_listing_asked(tinc.line.view()));
        io::close(16);
        lpoutc = 0;
        return split_lines(read_file("kvst001.lis"));
    }

    Arr<float, kMaxPar> old_;
};

TEST_F(Kvlist, FullListingOfASmallFit) {
    tinc.line = "F";
    const std::vector<std::string> file = list();
    const std::vector<std::string> want_file = {
        "1kvst" + std::string(25, ' ') + kDate,
        "",
        " OUTPUT BY VERSION 6.6  OF KARVEL.",
        "",
        " *****  SPECTRUM TITLE : " + kTitle,
        std::string(25, ' ') + kManual,
        "",
        "  PARAMETERS IN FITTING Y : " + pad("COUNTS", 30) + " FIT NUMBER" + "   2",
        "                 VERSUS X : " + pad("CHANNEL", 20),
        "",
        kTableHead,
        "    1" "   " "CENTRE  " "  " "   50.00    " "(" "   49.00    " ")" "   1.000    " "      1.25",
        "    2" "   " "SIGMA   " "  " "   2.500    " "(" "   3.000    " ")" "  0.5000    " "      4.00",
        "    3" "   " "FLAT    " "  " "   10.00    " "(" "   10.00    " ")" "   0.000    " "      0.00",
        "",
        " " " 100" "     " "MAXIMUM STEP " "   100.0    " " SUBSTEP " "   0.01000",
        "  200" "     " "ACCURACY     " "  0.1000E-01",
        "",
        "",
        " CURRENT RESIDUAL VALUE :   2.5000    ",
        "",
        "",
        "",
        "",
        " THERE ARE    2 POINTS IN THE CURRENT RANGE SET BY \"ONLY\" COMMAND.",
        kRanges,
        "   " "   10.00    " "  TO  " "   40.00    ",
        "   " "   0.000    " "  TO  " "   0.000    ",
        "   " "   0.000    " "  TO  " "   0.000    ",
        "",
        "",
        "",
        " Mean R-factor is now   5.0    %     (old value    12.    %)",
        " Reduced CHI-squared is now    1.5     for    27 degrees of freedom",
        " (old value    3.3    )",
        " Chi-squared probability is    0.500    ",
        "",
        "",
        " SCALED COVARIANCE MATRIX",
        "    1    2",
        "  100. -50.",
        "  -50. 100.",
        "    CENTRE   CORRESPONDS TO MATRIX COMPONENT  1",
        "    SIGMA    CORRESPONDS TO MATRIX COMPONENT  2",
        "   N     XUSE        YUSE       YERROR      YCALCD    F(MINIMISE)",
        "",
        "    1" "   12.00    " "   100.0    " "   10.00    " "   103.0    " "   3.000    ",
        "    2" "   20.00    " "   50.00    " "   5.000    " "   54.00    " "   4.000    ",
    };
    EXPECT_EQ(file, want_file);

    const std::vector<std::string> want_screen = {
        " KARVEL 6.6  TITLE: " + kTitle,
        std::string(20, ' ') + kManual,
        " FITTING Y : " + pad("COUNTS", 30) + " FIT NUMBER " + "   2",
        "   VERSUS X : " + pad("CHANNEL", 20),
        kTableHead,
        want_file[11],
        want_file[12],
        want_file[13],
        want_file[15],
        want_file[16],
        " CURRENT RESIDUAL VALUE :   2.5000    ",
        " THERE ARE   2 POINTS IN THE CURRENT RANGE SET BY \"ONLY\" COMMAND.",
        kRanges,
        kScreenRanges,
        "",
        "",
        " Mean R-factor is now   5.0    %     (old value    12.    %)",
        " Reduced CHI-squared is now    1.5     for    27 degrees of freedom",
        " (old value    3.3    )",
        " Chi-squared probability is    0.500    ",
        "",
    };
    EXPECT_EQ(screen(), want_screen);
}

TEST_F(Kvlist, PointTableOnlyWhenTheArgumentStartsWithF) {
    const std::string head = "   N     XUSE        YUSE       YERROR      YCALCD    F(MINIMISE)";
    for (const char* arg : {"F", "f", "FULL", "full listing"}) {
        SCOPED_TRACE(arg);
        tinc.line = arg;
        const std::vector<std::string> file = list();
        ASSERT_GE(file.size(), 4u);
        EXPECT_EQ(file[file.size() - 4], head);
        std::filesystem::remove("sequ.seq");
    }
    for (const char* arg : {"", "X F", " F"}) {
        SCOPED_TRACE(arg);
        tinc.line = arg;
        const std::vector<std::string> file = list();
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(file.back(), "    SIGMA    CORRESPONDS TO MATRIX COMPONENT  2");
        std::filesystem::remove("sequ.seq");
    }
}

TEST_F(Kvlist, ChiSquaredZeroAndNegative) {
    const std::vector<std::string> none = {"  Degrees of Freedom<=0 or error estimates absent",
                                           " Chi-squared and probability not calculated"};
    chichi.chisq = 0.0f;
    std::vector<std::string> file = list();
    std::vector<std::string> term = screen();
    // Both channels: the R-factor line, then the two lines of text.
    ASSERT_GE(term.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(term.end() - 2, term.end()), none);
    auto at = std::find(file.begin(), file.end(), none[0]);
    ASSERT_NE(at, file.end());
    EXPECT_EQ(*(at - 1), " Mean R-factor is now   5.0    %     (old value    12.    %)");
    EXPECT_EQ(*(at + 1), none[1]);
    EXPECT_EQ(*(at + 2), "");
    EXPECT_EQ(*(at + 3), " SCALED COVARIANCE MATRIX");

    // A negative value prints neither block.
    std::filesystem::remove("sequ.seq");
    terminal("");
    chichi.chisq = -1.0f;
    file = list();
    term = screen();
    EXPECT_EQ(term.back(), " Mean R-factor is now   5.0    %     (old value    12.    %)");
    at = std::find(file.begin(), file.end(), " SCALED COVARIANCE MATRIX");
    ASSERT_NE(at, file.end());
    EXPECT_EQ(*(at - 2), " Mean R-factor is now   5.0    %     (old value    12.    %)");
}

TEST_F(Kvlist, BeforeAnyFit) {
    chichi = Chichi{};
    errorc.nfit = 0;
    cnstrn.fill(0);
    fitlim.m = 0;
    tinc.line = "F";
    const std::vector<std::string> file = list();
    // Covariance title, a column line holding one blank, no key lines; the
    // point table is its header and an empty line.
    auto at = std::find(file.begin(), file.end(), " SCALED COVARIANCE MATRIX");
    ASSERT_NE(at, file.end());
    const std::vector<std::string> tail(at, file.end());
    ASSERT_GE(tail.size(), 4u);
    EXPECT_EQ(tail[1], " ");
    EXPECT_EQ(tail[2], "   N     XUSE        YUSE       YERROR      YCALCD    F(MINIMISE)");
    EXPECT_EQ(tail[3], "");
    for (std::size_t k = 4; k < tail.size(); ++k) EXPECT_EQ(tail[k], "");
    EXPECT_EQ(file[7], "  PARAMETERS IN FITTING Y : " + pad("COUNTS", 30) + " FIT NUMBER" + "   0");
    EXPECT_NE(std::find(file.begin(), file.end(), " CURRENT RESIDUAL VALUE :   0.0000    "), file.end());
    EXPECT_NE(std::find(file.begin(), file.end(),
                        " THERE ARE    0 POINTS IN THE CURRENT RANGE SET BY \"ONLY\" COMMAND."),
              file.end());
    const std::vector<std::string> term = screen();
    EXPECT_NE(std::find(term.begin(), term.end(), " CURRENT RESIDUAL VALUE :   0.0000    "), term.end());
    EXPECT_NE(std::find(term.begin(), term.end(), "  Degrees of Freedom<=0 or error estimates absent"), term.end());
}

// Sets n parameters named P1..Pn with value i and step 0.
void many_parameters(int n) {
    functn.np = n;
    for (int i = 1; i <= n; ++i) {
        functc.name[i - 1] = "P" + std::to_string(i);
        functn.p(i) = static_cast<float>(i);
        functn.s(i) = 0.0f;
        errorc.dev(i) = 0.0f;
    }
}

// The numbers of the parameter lines in the order they appear.
std::vector<int> parameter_lines(const std::vector<std::string>& lines) {
    std::vector<int> numbers;
    for (const std::string& l : lines) {
        if (l.size() == 66 && l.compare(8, 1, "P") == 0) numbers.push_back(std::stoi(l.substr(0, 5)));
    }
    return numbers;
}

TEST_F(Kvlist, PagesOfTwentyOnASharedScreen) {
    std::vector<int> all;
    for (int i = 1; i <= 40; ++i) all.push_back(i);
    for (int n : {40, 21, 20}) {
        SCOPED_TRACE(n);
        many_parameters(n);
        tekenv = 1;
        terminal("one\ntwo\nthree\nfour\nfive\n");
        const std::vector<std::string> file = list();
        const std::vector<std::string> term = screen();
        const int pages = n > 20 ? 2 : 1;

        std::vector<std::size_t> heads, waits;
        for (std::size_t k = 0; k < term.size(); ++k) {
            if (term[k].rfind(" FITTING Y : ", 0) == 0) heads.push_back(k);
            if (term[k] == " TYPE RETURN TO CONTINUE ") waits.push_back(k);
        }
        ASSERT_EQ(heads.size(), static_cast<std::size_t>(pages));
        ASSERT_EQ(waits.size(), static_cast<std::size_t>(pages + 1));
        // Each page: its header, then its parameters, then the wait.
        const int first_page = std::min(n, 20);
        EXPECT_EQ(waits[0], heads[0] + 3 + first_page);
        if (pages == 2) {
            EXPECT_EQ(waits[1], heads[1] + 3 + (n - 20));
        }
        EXPECT_EQ(term[waits.back() - 1], kScreenRanges);
        EXPECT_EQ(parameter_lines(term), std::vector<int>(all.begin(), all.begin() + n));
        // One table of n lines in the file.
        EXPECT_EQ(parameter_lines(file), std::vector<int>(all.begin(), all.begin() + n));
        // Each wait read one line: the next unread line is the one after them.
        Text<8> next;
        ASSERT_EQ(fmt::read(5, "(A)", {next}), 0);
        EXPECT_EQ(next, (std::vector<std::string>{"three", "four"}[pages - 1]));
        std::filesystem::remove("sequ.seq");
    }
}

TEST_F(Kvlist, NoWaitsOnAScreenOfItsOwn) {
    many_parameters(21);
    tekenv = 0;
    terminal("untouched\n");
    list();
    const std::vector<std::string> term = screen();
    EXPECT_EQ(std::count(term.begin(), term.end(), " TYPE RETURN TO CONTINUE "), 0);
    EXPECT_EQ(std::count_if(term.begin(), term.end(),
                            [](const std::string& l) { return l.rfind(" FITTING Y : ", 0) == 0; }),
              2);
    Text<12> next;
    ASSERT_EQ(fmt::read(5, "(A)", {next}), 0);
    EXPECT_EQ(next, "untouched");
}

TEST_F(Kvlist, EndOfInputWhileWaitingLetsTheListingGoOn) {
    tekenv = 1;
    terminal("");
    tinc.line = "F";
    const std::vector<std::string> file = list();
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file.back(), std::string("    2") + "   20.00    " + "   50.00    " + "   5.000    " + "   54.00    " +
                               "   4.000    ");
    const std::vector<std::string> term = screen();
    EXPECT_EQ(std::count(term.begin(), term.end(), " TYPE RETURN TO CONTINUE "), 2);
    EXPECT_EQ(term.back(), "");
}

TEST_F(Kvlist, ListingThatCannotBeWrittenIsReported) {
    // A point table of 100 lines makes the listing about 9 kB; the terminal
    // part stays near 1.5 kB.
    fitlim.m = 100;
    for (int i = 1; i <= 100; ++i) caldat.r(i) = 0.0f;
    tinc.line = "F";
    lpout(tinc.name, 16);
    ASSERT_EQ(lpoutc, 1);
    {
        FileSizeLimit limit(2048);
        kvlist(old_.data(), full_listing_asked(tinc.line.view()));
        lpendf();
    }
    const std::vector<std::string> term = screen();
    ASSERT_GE(term.size(), 3u);
    EXPECT_EQ(term.front(), " KARVEL 6.6  TITLE: " + kTitle);
    EXPECT_EQ(std::vector<std::string>(term.end() - 3, term.end()),
              (std::vector<std::string>{" CANNOT WRITE FILE kvst001.lis", " Closing listing file kvst001.lis",
                                        " CANNOT WRITE FILE kvst001.lis"}));
}

TEST_F(Kvlist, ResidualValue) {
    const float r[] = {3.0f, 4.0f, 0.0f, 0.0f};
    EXPECT_FLOAT_EQ(residual_value(r, 2), 2.5f);
    EXPECT_FLOAT_EQ(residual_value(r, 4), 1.25f);
    EXPECT_EQ(residual_value(r, 0), 0.0f);
    // Thirty residuals of 2 out of a hundred: sqrt(30 * 4) / 30.
    std::vector<float> many(100, 2.0f);
    EXPECT_FLOAT_EQ(residual_value(many.data(), 30), std::sqrt(120.0f) / 30.0f);
}

TEST_F(Kvlist, CovarianceRowsOfMoreThanTwentyFiveContinue) {
    errorc.nfit = 26;
    for (int j = 1; j <= 26 * 26; ++j) errorc.cov(j) = 0.0f;
    for (int k = 1; k <= 26; ++k) errorc.cov((k - 1) * 26 + k) = 100.0f;
    errorc.cov(26) = -123456.0f;  // too wide for F5.0
    const std::vector<std::string> file = list();
    auto at = std::find(file.begin(), file.end(), " SCALED COVARIANCE MATRIX");
    ASSERT_NE(at, file.end());
    std::string cols = "    1";
    for (int c = 2; c <= 25; ++c) cols += fmt::edit_i(c, 5);
    EXPECT_EQ(*(at + 1), cols);
    EXPECT_EQ(*(at + 2), "   26");
    std::string row1 = "  100.";
    for (int c = 2; c <= 25; ++c) row1 += "   0.";
    EXPECT_EQ(*(at + 3), row1);
    EXPECT_EQ(*(at + 4), " *****");
    std::string row26 = " ";
    for (int c = 1; c <= 25; ++c) row26 += "   0.";
    EXPECT_EQ(*(at + 53), row26);
    EXPECT_EQ(*(at + 54), "  100.");
}

}  // namespace
}  // namespace karvel::test
