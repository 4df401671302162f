/// The data input of R, the test host's reader and its Gaussian model.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "kvst.h"
#include "core/channels.h"
#include "core/records.h"
#include "session/session.h"
#include "support/terminal.h"

namespace karvel {
namespace {

namespace fs = std::filesystem;

// ---- kvdatn with a reader of the test's own ----

int fake_n = 0;
void fake_reader(int& n, float* x, float* y, float* e, TextRef title) {
    n = fake_n;
    const float xs[] = {3.0f, -1.0f, 7.5f, 2.0f};
    const float ys[] = {10.0f, 40.0f, -5.0f, 12.0f};
    for (int i = 0; i < fake_n && i < 4; ++i) {
        x[i] = xs[i];
        y[i] = ys[i];
        e[i] = 1000.0f;  // errors take no part in the extents
    }
    title.assign("FAKE");
}

class DataInput : public ::testing::Test {
protected:
    void SetUp() override {
        reset_records();
        chichi.rfac = 12.5f;
        chichi.rfacold = 99.0f;
        chichi.chisq = 3.25f;
        chichi.chisqold = 88.0f;
    }
    void read(int n) {
        fake_n = n;
        kvdatn(reditc.n, reditc.x.data(), reditc.y.data(), reditc.e.data(), fake_reader);
    }
};

TEST_F(DataInput, ExtentsUnsetWindowAndFitFigures) {
    read(4);
    EXPECT_EQ(reditc.n, 4);
    EXPECT_EQ(flags(kDataRead), 1);
    EXPECT_EQ(flags(kDataReadToo), 1);
    const float want[] = {-1.0f, 7.5f, -5.0f, 40.0f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(pltlim(1 + i), want[i]);
        EXPECT_EQ(pltlim(5 + i), want[i]);  // a window of zeros takes the extents
    }
    EXPECT_EQ(chichi.rfacold, 12.5f);
    EXPECT_EQ(chichi.chisqold, 3.25f);
    EXPECT_EQ(chichi.rfac, 0.0f);
    EXPECT_EQ(chichi.chisq, 0.0f);
    EXPECT_EQ(pltlic.title, "FAKE");
}

TEST_F(DataInput, SetWindowStaysAndHalfSetWindowIsReplaced) {
    pltlim(kPlotXMin) = 0.0f;
    pltlim(kPlotXMax) = 100.0f;
    pltlim(kPlotYMin) = -1.0f;
    pltlim(kPlotYMax) = 1.0f;
    read(3);
    EXPECT_EQ(pltlim(kDataXMin), -1.0f);
    EXPECT_EQ(pltlim(kDataXMax), 7.5f);
    EXPECT_EQ(pltlim(kPlotXMax), 100.0f);
    EXPECT_EQ(pltlim(kPlotYMax), 1.0f);

    // Only the y window unset: all four limits are taken from the data.
    pltlim(kPlotYMin) = 5.0f;
    pltlim(kPlotYMax) = 5.0f;
    read(1);
    EXPECT_EQ(pltlim(kPlotXMin), 3.0f);
    EXPECT_EQ(pltlim(kPlotXMax), 3.0f);
    EXPECT_EQ(pltlim(kPlotYMin), 10.0f);
    EXPECT_EQ(pltlim(kPlotYMax), 10.0f);
}

TEST_F(DataInput, NoPointChangesNothing) {
    pltlim(kDataXMin) = 7.0f;
    read(0);
    EXPECT_EQ(reditc.n, 0);
    EXPECT_EQ(flags(kDataRead), 0);
    EXPECT_EQ(flags(kDataReadToo), 0);
    EXPECT_EQ(pltlim(kDataXMin), 7.0f);
    EXPECT_EQ(pltlim(kPlotXMin), 0.0f);
    EXPECT_EQ(chichi.rfac, 12.5f);
    EXPECT_EQ(chichi.rfacold, 99.0f);
    EXPECT_EQ(chichi.chisq, 3.25f);
}

// ---- The test host's reader ----

class Reader : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("karvel_host_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        tin.out = 6;
        // Data already in the session.
        n = 3;
        for (int i = 0; i < kMaxPts; ++i) x[i] = y[i] = e[i] = -99.0f;
        title = "OLD DATA";
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name, const std::string& text) {
        std::ofstream(dir / name) << text;
        return (dir / name).string();
    }
    /// Runs the reader with the typed input; returns its terminal output.
    std::string run(const std::string& input) {
        return test::terminal([this] { myread(n, x, y, e, TextRef(title)); }, input);
    }
    void expect_kept() {
        EXPECT_EQ(n, 3);
        EXPECT_EQ(x[0], -99.0f);
        EXPECT_EQ(y[0], -99.0f);
        EXPECT_EQ(title, "OLD DATA");
    }

    fs::path dir;
    int n = 0;
    float x[kMaxPts], y[kMaxPts], e[kMaxPts];
    Text<50> title;
};

const std::string kHead = "MY SPECTRUM, a title line that is longer than fifty characters\nskip 1\nskip 2\n";

TEST_F(Reader, ExactlyOneGroup) {
    const std::string f = file("a.dat", kHead + "1 2 3 4 5 6 7 8 9 10\n");
    EXPECT_EQ(run(f + "\n"), " Give input filename :   5 lines have been read in\n");
    ASSERT_EQ(n, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(y[i], static_cast<float>(2 * i + 1));
        EXPECT_EQ(e[i], static_cast<float>(2 * i + 2));
        EXPECT_EQ(x[i], static_cast<float>(i + 1) * 0.1f - 2.0f);
    }
    EXPECT_NEAR(x[0], -1.9f, 1e-6);
    EXPECT_NEAR(x[4], -1.5f, 1e-6);
    EXPECT_EQ(x[5], -99.0f);
    EXPECT_EQ(title.view(), "MY SPECTRUM, a title line that is longer than fift");
    EXPECT_EQ(infile, f);
}

TEST_F(Reader, GroupsAcrossLinesAndSeveralPerLine) {
    // 25 numbers: two groups spread over lines in odd ways, and five numbers
    // of an incomplete third group that do not count.
    std::string data = "1,2 3\n\t4 5,6 7 8\n9\n10 11 12 13 14 15 16 17 18 19 20 21 22\n23 24 25\n";
    const std::string f = file("b.dat", kHead + data);
    EXPECT_EQ(run(f + "\n"), " Give input filename :  10 lines have been read in\n");
    ASSERT_EQ(n, 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(y[i], static_cast<float>(2 * i + 1));
        EXPECT_EQ(e[i], static_cast<float>(2 * i + 2));
    }
    EXPECT_NEAR(x[9], -1.0f, 1e-6);
    EXPECT_EQ(x[10], -99.0f);

    // Number forms: signs, decimal points, exponents with E, e, D, d; blank
    // lines and commas with blanks around them.
    const std::string g = file("c.dat", kHead + "\n+1.5 , -.25, 2.E1 3e-1\n\n 1.5D2 -2d0 7. 0 1E+2 -0.0\n");
    run(g + "\n");
    ASSERT_EQ(n, 5);
    const float ys[] = {1.5f, 20.0f, 150.0f, 7.0f, 100.0f};
    const float es[] = {-0.25f, 0.3f, -2.0f, 0.0f, -0.0f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(y[i], ys[i]);
        EXPECT_EQ(e[i], es[i]);
    }
}

TEST_F(Reader, NoCompleteGroupGivesNone) {
    const std::string f = file("d.dat", kHead + "1 2 3 4 5 6 7 8 9\n");
    EXPECT_EQ(run(f + "\n"), " Give input filename :   0 lines have been read in\n");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(x[0], -99.0f);
    EXPECT_EQ(title.view(), "MY SPECTRUM, a title line that is longer than fift");  // read before any group
    const std::string g = file("e.dat", kHead);
    run(g + "\n");
    EXPECT_EQ(n, 0);
}

TEST_F(Reader, BadFilesKeepTheData) {
    const std::string missing = (dir / "nosuch.dat").string();
    EXPECT_EQ(run(missing + "   \n"), " Give input filename :  CANNOT OPEN FILE " + missing + "\n");
    expect_kept();
    EXPECT_EQ(run(""), " Give input filename :  CANNOT OPEN FILE \n");  // end of input
    expect_kept();
    EXPECT_EQ(run("\n"), " Give input filename :  CANNOT OPEN FILE \n");
    expect_kept();

    const std::string bad[] = {
        file("empty.dat", ""),
        file("short.dat", "TITLE\nskip 1\n"),
        file("plus.dat", kHead + "1 2 3 4 5 6 7 8 9 10\n1 2 3 1+5 5 6 7 8 9 10\n"),
        file("hex.dat", kHead + "0x10 2 3 4 5 6 7 8 9 10\n"),
        file("minus.dat", kHead + "5- 2 3 4 5 6 7 8 9 10\n"),
        file("expo.dat", kHead + "1E 2 3 4 5 6 7 8 9 10\n"),
        file("dot.dat", kHead + ". 2 3 4 5 6 7 8 9 10\n"),
        file("huge.dat", kHead + "1E39 2 3 4 5 6 7 8 9 10\n"),
        file("word.dat", kHead + "1" + std::string(300, '0') + " 2 3 4 5 6 7 8 9 10\n"),
    };
    for (const std::string& f : bad) {
        EXPECT_EQ(run(f + "\n"), " Give input filename :  ERROR READING FILE " + f + "\n");
        expect_kept();
    }
}

TEST_F(Reader, NotRegularFilesAndFilesWithoutLineEnds) {
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));  // would block an ordinary open
    EXPECT_EQ(run(fifo + "\n"), " Give input filename :  CANNOT OPEN FILE " + fifo + "\n");
    expect_kept();
    // Numbers on one line far longer than a record: streamed, not cut.
    std::string data;
    for (int g = 0; g < 60; ++g) data += "1.00000000 2.00000000 3.00000000 4.00000000 5.00000000 6.00000000 7.0000000 8.0 9.0 10.0 ";
    ASSERT_GT(data.size(), io::kMaxRecord);
    const std::string f = file("oneline.dat", kHead + data);
    EXPECT_EQ(run(f + "\n"), " Give input filename : 300 lines have been read in\n");
    EXPECT_EQ(y[299], 9.0f);
}

TEST_F(Reader, AtMost1600Points) {
    std::string data;
    for (int g = 0; g < 330; ++g) data += "1 2 3 4 5 6 7 8 9 10\n";
    data += "not a number\n";  // past the 3200th number: never looked at
    // I3 has no room for a count of four digits.
    const std::string f = file("big.dat", kHead + data);
    EXPECT_EQ(run(f + "\n"), " Give input filename : *** lines have been read in\n");
    EXPECT_EQ(n, 1600);
    EXPECT_EQ(x[1600], -99.0f);
    EXPECT_NEAR(x[1599], 158.0f, 1e-3);
}

// ---- The Gaussian model ----

TEST(Gauss, PeakOnSlopingBackground) {
    const float p[] = {15.0f, 2.0f, 100.0f, -1.0f, 800.0f};
    float x[] = {15.0f, 17.0f, 11.0f, 0.0f};
    float y[] = {880.0f, 500.0f, 0.0f, 100.0f};
    float yc[4], r[4];
    const int np = 5, n = 4;
    gauss(np, p, n, x, y, nullptr, yc, r);
    const double want[] = {
        800.0 + 100.0 - 15.0,
        800.0 * std::exp(-0.5) + 100.0 - 17.0,
        800.0 * std::exp(-2.0) + 100.0 - 11.0,
        800.0 * std::exp(-28.125) + 100.0,
    };
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(yc[i], want[i], 1e-4 * std::fabs(want[i])) << i;
        EXPECT_EQ(r[i], yc[i] - y[i]) << i;
    }
    // The residual may be the storage of the observed values.
    float same[] = {880.0f, 500.0f, 0.0f, 100.0f};
    gauss(np, p, n, x, same, nullptr, yc, same);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(same[i], r[i]) << i;
}

}  // namespace
}  // namespace karvel
