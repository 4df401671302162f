/// Tests of the plot device manager on the real graphics library, each in a
/// fresh temporary folder with its own environment.
#include <cpgplot.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "plot/plot.h"
#include "ps_pages.h"
#include "core/channels.h"
#include "core/records.h"

namespace {

using karvel::pgnend;
using karvel::pgnopn;
using karvel::pgnsel;
using karvel::pgqnop;
using karvel::pgrunx;
using karvel::pgtktr;

const char* const kVariables[] = {
    "PGPLOT_ZOV_DEV_1", "PGPLOT_ZOV_DEV_2", "PGPLOT_ZOV_DEV_3", "PGPLOT_ZOV_DEV_4",
    "PGPLOT_ZOV_DEV_5", "PGPLOT_ZOV_DEV_6", "PGPLOT_ZOV_DEV_7", "PGPLOT_ZOV_DEV_8",
    "PGPLOT_ZOV_PPAGE", "PGPLOT_ZOV_PRINT_CMD", "PGPLOT_ZOV_PGRUNFIGDISP", "DISPLAY",
};

class Devices : public ::testing::Test {
protected:
    void SetUp() override {
        char* here = getcwd(nullptr, 0);
        ASSERT_NE(here, nullptr);
        home_ = here;
        std::free(here);
        std::string tmpl = ::testing::TempDir() + "devicesXXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        for (const char* v : kVariables) {
            const char* old = std::getenv(v);
            saved_.emplace_back(v, old ? std::optional<std::string>(old) : std::nullopt);
            unsetenv(v);
        }
        out_ = std::tmpfile();
        ASSERT_NE(out_, nullptr);
        karvel::io::redirect_terminal(nullptr, out_);
    }

    void TearDown() override {
        for (int unit = 1; unit <= 8; ++unit) pgnend(unit);
        karvel::io::redirect_terminal(nullptr, nullptr);
        std::fclose(out_);
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        EXPECT_EQ(chdir(home_.c_str()), 0);
        const std::string cmd = "rm -rf '" + dir_ + "'";
        (void)std::system(cmd.c_str());
    }

    /// Terminal output since the last call.
    std::string terminal() {
        karvel::flusht(6);
        std::fflush(out_);
        std::rewind(out_);
        std::string s;
        int c = 0;
        while ((c = std::fgetc(out_)) != EOF) s += static_cast<char>(c);
        std::rewind(out_);
        EXPECT_EQ(ftruncate(fileno(out_), 0), 0);
        return s;
    }

    static std::string contents(const std::string& name) {
        std::ifstream in(name);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static bool exists(const std::string& name) {
        struct stat st {};
        return ::stat(name.c_str(), &st) == 0;
    }
    static void write_file(const std::string& name, const std::string& text) {
        std::ofstream(name) << text;
    }

    /// Opens a unit expecting success.
    static void open_ok(int unit, const char* name) {
        int status = 99;
        pgnopn(unit, name, status);
        ASSERT_EQ(status, 0);
    }

    /// Draws one empty frame on the current device (it starts a page).
    static void draw_frame() { cpgenv(0.0f, 1.0f, 0.0f, 1.0f, 0, 0); }

    std::string home_;
    std::string dir_;
    std::FILE* out_ = nullptr;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

// The start-up sequence: screen on /NULL, hardcopy on the default /CPS with
// the stem kvst#, the screen selected again, both closed at the end.
TEST_F(Devices, NullScreenAndDefaultPostScriptHardcopy) {
    setenv("PGPLOT_ZOV_DEV_1", "/NULL", 1);
    open_ok(1, " ");
    open_ok(2, "kvst#");
    EXPECT_EQ(contents("sequ.seq"), "     1\n");

    int flag = -1;
    pgqnop(2, flag);
    EXPECT_EQ(flag, 1);
    pgqnop(3, flag);
    EXPECT_EQ(flag, 0);

    int previous = -1;
    int status = -1;
    pgnsel(1, previous, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(previous, 2);
    pgnsel(1, previous, status);  // already current
    EXPECT_EQ(status, 0);
    EXPECT_EQ(previous, 1);

    // Drawing bracketed by two selections lands on the hardcopy file.
    pgnsel(2, previous, status);
    EXPECT_EQ(status, 0);
    draw_frame();
    int other = 0;
    pgnsel(previous, other, status);
    EXPECT_EQ(other, 2);
    EXPECT_EQ(terminal(), "");

    // Closing the hardcopy unit leaves the screen selected.
    pgnend(2);
    EXPECT_TRUE(exists("kvst001.ps"));
    pgnsel(1, previous, status);
    EXPECT_EQ(previous, 1);
    pgqnop(2, flag);
    EXPECT_EQ(flag, 0);

    // A /NULL unit counts as a hardcopy device named after the stem.
    pgnend(1);
    pgnend(1);  // closing a closed unit says nothing
    EXPECT_EQ(terminal(),
              " %PGPLOT,  Closing file kvst001.ps\n"
              " %PGPLOT,  Closing file pgplot\n");

    // With nothing selected, previous is 0.
    pgnsel(1, previous, status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(previous, 0);
    EXPECT_EQ(terminal(), " %PGPLOT, PGNSEL - trying to select unopened unit   1\n");

    // A closed unit can be opened again.
    setenv("PGPLOT_ZOV_DEV_3", "/NULL", 1);
    open_ok(3, "x");
    pgnsel(3, previous, status);
    EXPECT_EQ(previous, 3);
    pgnend(3);
    EXPECT_EQ(terminal(), " %PGPLOT,  Closing file x\n");
}

TEST_F(Devices, DefaultScreenWithoutDisplayOpensNullDevice) {
    int status = -1;
    pgnopn(1, " ", status);
    EXPECT_EQ(status, 0);
    int flag = -1;
    pgtktr(1, flag);
    EXPECT_EQ(flag, 0);  // GW is code 15
    pgnend(1);           // a screen: no file to report
    EXPECT_EQ(terminal(), " %PGPLOT, no X display: screen plots are not shown\n");
}

TEST_F(Devices, HardcopyNumbersWrapAndSurviveBadCounterFiles) {
    setenv("PGPLOT_ZOV_DEV_2", "/CPS", 1);
    write_file("sequ.seq", "   998\n");
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_EQ(contents("sequ.seq"), "   999\n");
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_EQ(contents("sequ.seq"), "     0\n");
    EXPECT_EQ(terminal(),
              " %PGPLOT,  Closing file kvst999.ps\n"
              " %PGPLOT,  Closing file kvst000.ps\n");

    // The remainder is the mathematical one: -5 + 1 gives 996.
    write_file("sequ.seq", "    -5\n");
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_EQ(contents("sequ.seq"), "   996\n");

    // An empty or unreadable counter counts from 001.
    write_file("sequ.seq", "");
    open_ok(2, "kv#");
    pgnend(2);
    EXPECT_EQ(contents("sequ.seq"), "     1\n");
    write_file("sequ.seq", " abcde\n");
    open_ok(2, "kv#");
    pgnend(2);
    EXPECT_EQ(contents("sequ.seq"), "     1\n");
    EXPECT_EQ(terminal(),
              " %PGPLOT,  Closing file kvst996.ps\n"
              " %PGPLOT,  Closing file kv001.ps\n"
              " %PGPLOT,  Closing file kv001.ps\n");

    // A counter that cannot be opened is reported and left as it is, and the
    // open goes on: a folder, a FIFO (without waiting for a writer), a link
    // into a missing folder.
    std::remove("sequ.seq");
    ASSERT_EQ(mkdir("sequ.seq", 0755), 0);
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_TRUE(exists("kvst001.ps"));
    ASSERT_EQ(rmdir("sequ.seq"), 0);
    ASSERT_EQ(mkfifo("sequ.seq", 0644), 0);
    open_ok(2, "kv#");
    pgnend(2);
    ASSERT_EQ(std::remove("sequ.seq"), 0);
    ASSERT_EQ(symlink("missing/folder/sequ.seq", "sequ.seq"), 0);
    open_ok(2, "kv#");
    pgnend(2);
    EXPECT_EQ(terminal(),
              " CANNOT OPEN FILE sequ.seq\n"
              " %PGPLOT,  Closing file kvst001.ps\n"
              " CANNOT OPEN FILE sequ.seq\n"
              " %PGPLOT,  Closing file kv001.ps\n"
              " CANNOT OPEN FILE sequ.seq\n"
              " %PGPLOT,  Closing file kv001.ps\n");
    struct stat st {};
    ASSERT_EQ(lstat("sequ.seq", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(Devices, FileNamesFromTheSpecification) {
    // A name without "#" gets no number; the library's VPS serves VCPS.
    setenv("PGPLOT_ZOV_DEV_2", "fit/VCPS", 1);
    open_ok(2, "kvst#");
    draw_frame();
    pgnend(2);
    EXPECT_TRUE(exists("fit.ps"));
    EXPECT_FALSE(exists("sequ.seq"));

    setenv("PGPLOT_ZOV_DEV_2", "fit#/VCPS", 1);
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_TRUE(exists("fit001.ps"));

    // The user's case of the name is kept; the type is given in upper case.
    setenv("PGPLOT_ZOV_DEV_2", "Low#/cps", 1);
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_TRUE(exists("Low002.ps"));

    // Only the last character gives way to the number.
    setenv("PGPLOT_ZOV_DEV_2", "a#b/PS", 1);
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_TRUE(exists("a#003.ps"));

    // No stem at all: pgplot.
    setenv("PGPLOT_ZOV_DEV_2", "/CPS", 1);
    open_ok(2, " ");
    pgnend(2);
    EXPECT_TRUE(exists("pgplot.ps"));
    EXPECT_EQ(contents("sequ.seq"), "     3\n");
    EXPECT_EQ(terminal(),
              " %PGPLOT,  Closing file fit.ps\n"
              " %PGPLOT,  Closing file fit001.ps\n"
              " %PGPLOT,  Closing file Low002.ps\n"
              " %PGPLOT,  Closing file a#003.ps\n"
              " %PGPLOT,  Closing file pgplot.ps\n");

    // A name with a dot is used unchanged: the file the library writes as
    // fit.eps.ps becomes fit.eps on closing, replacing an older fit.eps.
    write_file("fit.eps", "old\n");
    setenv("PGPLOT_ZOV_DEV_2", "fit.eps/CPS", 1);
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_FALSE(exists("fit.eps.ps"));
    EXPECT_EQ(contents("fit.eps").rfind("%!PS", 0), 0u);
    EXPECT_EQ(terminal(), " %PGPLOT,  Closing file fit.eps\n");
}

TEST_F(Devices, ImageAndPdfHardcopyFiles) {
    setenv("PGPLOT_ZOV_DEV_2", "/PNG", 1);
    open_ok(2, "kvst#");
    draw_frame();
    pgnend(2);
    EXPECT_TRUE(exists("kvst001.png"));

    // Several pages are written one file each; the first page is reported.
    open_ok(2, "kvst#");
    draw_frame();
    draw_frame();
    pgnend(2);
    EXPECT_TRUE(exists("kvst002_0000.png"));

    setenv("PGPLOT_ZOV_DEV_2", "/PDF", 1);
    open_ok(2, "kvst#");
    draw_frame();
    pgnend(2);
    EXPECT_TRUE(exists("kvst003.pdf"));

    // A name with a dot: one page is renamed to the name, several keep the
    // library's numbered names, formed from the whole name.
    setenv("PGPLOT_ZOV_DEV_2", "one.x/PNG", 1);
    open_ok(2, "kvst#");
    draw_frame();
    pgnend(2);
    EXPECT_TRUE(exists("one.x"));
    EXPECT_FALSE(exists("one.x.png"));
    setenv("PGPLOT_ZOV_DEV_2", "two.x/PNG", 1);
    open_ok(2, "kvst#");
    draw_frame();
    draw_frame();
    pgnend(2);
    EXPECT_TRUE(exists("two.x_0001.png"));
    EXPECT_FALSE(exists("two.x"));

    EXPECT_EQ(terminal(),
              " %PGPLOT,  Closing file kvst001.png\n"
              " %PGPLOT,  Closing file kvst002_0000.png\n"
              " %PGPLOT,  Closing file kvst003.pdf\n"
              " %PGPLOT,  Closing file one.x\n"
              " %PGPLOT,  Closing file two.x_0000.png\n");
}

// "?" (the default of units 3 to 8) asks once on the terminal; the answer
// is opened as typed. End of input, a blank answer, an answer that does not
// open and a library specification beginning with "?" all fail the open.
TEST_F(Devices, QuestionMarkAsksOnce) {
    std::FILE* in = std::tmpfile();
    ASSERT_NE(in, nullptr);
    std::fputs("  /NULL\n\n/QQQ\n?\n", in);
    std::rewind(in);
    karvel::io::redirect_terminal(in, out_);
    const std::string ask = " %PGPLOT, Graphics device/type for PGPLOT_ZOV_DEV_3 : ";
    const std::string refused = " %PGPLOT, invalid PGPLOT_ZOV_DEV_3  ?\n";
    int status = 99;
    pgnopn(3, " ", status);
    EXPECT_EQ(status, 0);
    pgnend(3);
    for (int answer = 1; answer <= 4; ++answer) {  // blank, /QQQ, ?, end of input
        pgnopn(3, " ", status);
        EXPECT_EQ(status, -1);
    }
    int flag = -1;
    pgqnop(3, flag);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(terminal(), ask + ask + refused + ask + refused + ask + refused + ask + refused);
    karvel::io::redirect_terminal(nullptr, out_);
    std::fclose(in);

    setenv("PGPLOT_ZOV_DEV_2", "?/PS", 1);
    pgnopn(2, " ", status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(terminal(),
              " %PGPLOT, Filename is ?.ps/PS\n"
              " %PGPLOT, invalid PGPLOT_ZOV_DEV_2  ?/PS\n");
}

TEST_F(Devices, RefusedSpecificationsLeaveTheUnitClosed) {
    setenv("PGPLOT_ZOV_DEV_1", "/NULL", 1);
    open_ok(1, " ");
    int status = 0;
    int flag = -1;

    // The library has no GIF device; a number was drawn all the same.
    setenv("PGPLOT_ZOV_DEV_2", "/GIF", 1);
    pgnopn(2, "kvst#", status);
    EXPECT_EQ(status, -1);
    pgqnop(2, flag);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(contents("sequ.seq"), "     1\n");

    setenv("PGPLOT_ZOV_DEV_2", "xyz", 1);
    pgnopn(2, "kvst#", status);
    EXPECT_EQ(status, -1);
    setenv("PGPLOT_ZOV_DEV_2", "plot/QQQ", 1);
    pgnopn(2, "kvst#", status);
    EXPECT_EQ(status, -1);
    // A composed name longer than the 30-character field is refused.
    setenv("PGPLOT_ZOV_DEV_2", "abcdefghijklmnopqrstuvwxy#/CPS", 1);
    pgnopn(2, "kvst#", status);
    EXPECT_EQ(status, -1);

    pgnopn(9, " ", status);
    EXPECT_EQ(status, -1);
    pgnopn(0, " ", status);
    EXPECT_EQ(status, -1);

    EXPECT_EQ(terminal(),
              " %PGPLOT, Filename is kvst001#.gif/GIF\n"
              " %PGPLOT, invalid PGPLOT_ZOV_DEV_2  /GIF\n"
              " %PGPLOT, invalid PGPLOT_ZOV_DEV_2  xyz\n"
              " %PGPLOT, invalid PGPLOT_ZOV_DEV_2  plot/QQQ\n"
              " %PGPLOT, Filename is abcdefghijklmnopqrstuvwxy002.p\n"
              " %PGPLOT, invalid PGPLOT_ZOV_DEV_2  abcdefghijklmnopqrstuvwxy#/CPS\n"
              " %PGPLOT,  invalid device(  9) for PGPLOT_ZOV_DEV_\n"
              " %PGPLOT,  invalid device(  0) for PGPLOT_ZOV_DEV_\n");

    // Nothing of that disturbed the screen unit.
    int previous = -1;
    pgnsel(1, previous, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(previous, 1);

    // Opening an open unit is refused and the unit stays usable.
    pgnopn(1, " ", status);
    EXPECT_EQ(status, -1);
    pgqnop(1, flag);
    EXPECT_EQ(flag, 1);

    // Selecting closed or impossible units.
    pgnsel(3, previous, status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(previous, 1);
    pgnsel(12, previous, status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(terminal(),
              " %PGPLOT, PGNOPN Device already open\n"
              " %PGPLOT, PGNSEL - trying to select unopened unit   3\n"
              " %PGPLOT, PGNSEL - trying to select unopened unit  12\n");
}

TEST_F(Devices, PrintCommandReceivesTheFileName) {
    write_file("rec.sh", "echo \"$@\" >> printed.txt\n");
    setenv("PGPLOT_ZOV_DEV_2", "/CPS", 1);
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_FALSE(exists("printed.txt"));
    EXPECT_EQ(terminal(), " %PGPLOT,  Closing file kvst001.ps\n");

    setenv("PGPLOT_ZOV_PRINT_CMD", "sh rec.sh -P lp", 1);
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_EQ(contents("printed.txt"), "-P lp kvst002.ps\n");
    EXPECT_EQ(terminal(),
              " %PGPLOT,  Closing file kvst002.ps\n"
              " %PGPLOT,  Printing kvst002.ps\n");

    // A name the shell would misread reaches the command as one word.
    setenv("PGPLOT_ZOV_DEV_2", "a;b c.ps/CPS", 1);
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_EQ(contents("printed.txt"), "-P lp kvst002.ps\n-P lp a;b c.ps\n");
    terminal();

    // No file (the null device writes none): nothing is printed.
    setenv("PGPLOT_ZOV_DEV_2", "/NULL", 1);
    open_ok(2, "kvst#");
    pgnend(2);
    EXPECT_EQ(terminal(), " %PGPLOT,  Closing file kvst003\n");
    EXPECT_EQ(count_of(contents("printed.txt"), "\n"), 2);
}

TEST_F(Devices, PlotsPerPage) {
    auto pages_written = [](const char* ppage) {
        if (ppage) {
            setenv("PGPLOT_ZOV_PPAGE", ppage, 1);
        } else {
            unsetenv("PGPLOT_ZOV_PPAGE");
        }
        setenv("PGPLOT_ZOV_DEV_2", "pp/PS", 1);
        int status = -1;
        pgnopn(2, "kvst#", status);
        EXPECT_EQ(status, 0);
        for (int i = 0; i < 4; ++i) draw_frame();
        pgnend(2);
        return count_of(contents("pp.ps"), "%%Page:");
    };
    // Four frames: four pages, two pages of two plots, one page of four.
    EXPECT_EQ(pages_written(nullptr), 4);
    EXPECT_EQ(pages_written("2"), 2);
    EXPECT_EQ(pages_written("  4 "), 1);
    // A value that is not a whole number of at least 1 keeps one per page.
    EXPECT_EQ(pages_written("2.5"), 4);
    EXPECT_EQ(pages_written("0"), 4);

}

TEST_F(Devices, SharedScreenTerminalTypes) {
    int flag = -1;
    int status = 0;

    // CGW opens the null device here, but keeps its terminal-type code.
    setenv("PGPLOT_ZOV_DEV_1", "/CGW", 1);
    open_ok(1, " ");
    pgtktr(1, flag);
    EXPECT_EQ(flag, 1);
    pgnend(1);
    pgtktr(1, flag);  // the code outlives the open
    EXPECT_EQ(flag, 1);

    // The library has no TEK device, but the type was classified first.
    setenv("PGPLOT_ZOV_DEV_3", "/TEK4010", 1);
    pgnopn(3, " ", status);
    EXPECT_EQ(status, -1);
    pgtktr(3, flag);
    EXPECT_EQ(flag, 1);
    pgtktr(9, flag);
    EXPECT_EQ(flag, 0);
    pgtktr(0, flag);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(terminal(),
              " %PGPLOT, no X display: screen plots are not shown\n"
              " %PGPLOT, invalid PGPLOT_ZOV_DEV_3  /TEK4010\n");
}

TEST_F(Devices, DisplayProgram) {
    int status = 0;
    pgrunx("ab", status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(terminal(), " %PGPLOT, please setenv or DEFine PGPLOT_ZOV_PGRUNFIGDISP\n");

    // A type that needs the program fails to open without it.
    setenv("PGPLOT_ZOV_DEV_1", "/XDISP", 1);
    pgnopn(1, " ", status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(terminal(),
              " %PGPLOT, please setenv or DEFine PGPLOT_ZOV_PGRUNFIGDISP\n"
              " %PGPLOT, invalid PGPLOT_ZOV_DEV_1  /XDISP\n");

    // With it, the program is started in the background with its identifier.
    write_file("rec.sh", "echo \"[$*]\" > started.tmp && mv started.tmp started.txt\n");
    setenv("PGPLOT_ZOV_PGRUNFIGDISP", "sh rec.sh", 1);
    pgrunx("ab", status);
    EXPECT_EQ(status, 0);
    for (int i = 0; i < 100 && !exists("started.txt"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(contents("started.txt"), "[-id ab]\n");
    EXPECT_EQ(terminal(), "");
}

// What a frame of three points sends to the current unit: frame, markers
// with error bars, then a curve.
void draw_three_points() {
    const karvel::Text<20> t("TITLE");
    const float x[3] = {1.0f, 2.0f, 4.0f};
    const float y[3] = {1.0f, 3.0f, 2.0f};
    karvel::rsplt(x, y, y, 3, 2, 1, t.view(), t.view(), t.view());
    karvel::rsplt(x, y, y, 3, -100, 0, t.view(), t.view(), t.view());
}

/// Standard output written by the call (the library writes some checks there).
template <typename Call>
std::string standard_output_of(Call call) {
    std::fflush(stdout);
    std::FILE* capture = std::tmpfile();
    const int saved = dup(1);
    dup2(fileno(capture), 1);
    call();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::rewind(capture);
    std::string s;
    for (int c = 0; (c = std::fgetc(capture)) != EOF;) s += static_cast<char>(c);
    std::fclose(capture);
    return s;
}

// A unit on the null device sends nothing to the library (whose current
// device is still the hardcopy unit's), yet the frame's values, the limit
// check and the cursor prompts are all there, and so is the library's own
// report of a degenerate viewport taken from the plot record.
TEST_F(Devices, NullUnitDrawsNothingAndKeepsEveryCheck) {
    const std::string prompt = " LEFT MOUSE OR TYPE SPACE FOR X,Y OR RETURN TO CONTINUE\n";
    // What the library's null device writes for a degenerate viewport.
    const std::string library = standard_output_of([] {
        ASSERT_GT(cpgopen("/NULL"), 0);
        cpgsvp(0.5f, 0.5f, 0.1f, 0.9f);
        cpgclos();
    });
    ASSERT_FALSE(library.empty());
    setenv("PGPLOT_ZOV_DEV_1", "/NULL", 1);
    setenv("PGPLOT_ZOV_DEV_2", "hard.ps/PS", 1);
    open_ok(1, " ");
    open_ok(2, "kvst#");
    int previous = 0;
    int status = -1;
    pgnsel(1, previous, status);
    ASSERT_EQ(status, 0);
    EXPECT_TRUE(karvel::unit_shows_nothing());

    karvel::spltc.fill(0.0f);
    karvel::spltc(karvel::kCursorRequest) = 1.0f;  // a cursor read-out after each drawing
    draw_three_points();
    EXPECT_EQ(karvel::spltc(karvel::kFrameXScale), 1.0f / 3.0f);
    EXPECT_TRUE(karvel::plot_frame_valid());
    EXPECT_FALSE(karvel::plot_draws());
    const float flat[2] = {5.0f, 5.0f};
    const karvel::Text<20> t;
    karvel::rsplt(flat, flat, flat, 2, 0, 0, t.view(), t.view(), t.view());
    EXPECT_EQ(terminal(), prompt + prompt +
                              "\n\n\n          SMI =  0.50000E+01     SMA =  0.50000E+01"
                              "          DIMENSION =  0.80000E+03\n");

    karvel::spltc(karvel::kCursorRequest) = 0.0f;
    karvel::spltc(karvel::kViewportLeft) = 0.5f;
    karvel::spltc(karvel::kViewportRight) = 0.5f;
    karvel::spltc(karvel::kViewportBottom) = 0.1f;
    karvel::spltc(karvel::kViewportTop) = 0.9f;
    EXPECT_EQ(standard_output_of(draw_three_points), library);
    karvel::spltc.fill(0.0f);

    pgnend(2);
    const plottest::PsFile file = plottest::read_ps("hard.ps");
    EXPECT_GT(file.width, 0.0);
    for (const plottest::Page& page : file.pages) {
        EXPECT_TRUE(page.segments.empty());
        EXPECT_TRUE(page.texts.empty());
    }
}

// The null device is the unit's while it is open: the same unit reopened on
// a file draws into it.
TEST_F(Devices, NullDeviceEndsWhenTheUnitCloses) {
    setenv("PGPLOT_ZOV_DEV_2", "/NULL", 1);
    open_ok(2, "kvst#");
    EXPECT_TRUE(karvel::unit_shows_nothing());
    pgnend(2);
    EXPECT_FALSE(karvel::unit_shows_nothing());

    setenv("PGPLOT_ZOV_DEV_2", "again.ps/PS", 1);
    open_ok(2, "kvst#");
    EXPECT_FALSE(karvel::unit_shows_nothing());
    karvel::spltc.fill(0.0f);
    draw_three_points();
    EXPECT_TRUE(karvel::plot_draws());
    pgnend(2);
    const plottest::PsFile file = plottest::read_ps("again.ps");
    ASSERT_EQ(file.pages.size(), 1u);
    EXPECT_FALSE(file.pages[0].segments.empty());
    EXPECT_FALSE(file.pages[0].texts.empty());
}

}  // namespace
