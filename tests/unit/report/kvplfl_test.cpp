/// Tests of the W command and the fit-and-data file it writes.
#include "fixture.h"
#include "session/commands/commands.h"
#include "session/session.h"

namespace karvel::test {
namespace {

int model_calls = 0;

// A straight line y = p1 + p2 * x; the residual is left alone.
void line_model(const int&, const float* p, const int& n, const float* x, const float*, const float*, float* yc,
                float*) {
    ++model_calls;
    for (int i = 0; i < n; ++i) yc[i] = p[0] + p[1] * x[i];
}

class WriteCommand : public ReportTest {
protected:
    void SetUp() override {
        ReportTest::SetUp();
        flags(kDataRead) = 1;
        flags(kParametersSet) = 1;
        pltlic.x = "CHANNEL";
        pltlic.y = "COUNTS";
        pltlic.title = "SPECTRUM 7";
        functn.np = 2;
        functn.p(1) = 0.0f;
        functn.p(2) = 2.0f;
        pltlim(kPlotXMin) = 0.0f;
        pltlim(kPlotXMax) = 100.0f;
        // 100 points read at x = 1..100; the range selects x = 31..60.
        obsdat.n = 100;
        reditc.n = 100;
        for (int i = 1; i <= 100; ++i) {
            reditc.x(i) = static_cast<float>(i);
            reditc.y(i) = static_cast<float>(i) + 0.5f;
            reditc.e(i) = 1.0f;
        }
        fitlim.m = 30;
        for (int i = 1; i <= 30; ++i) {
            obsdat.x(i) = static_cast<float>(30 + i);
            obsdat.y(i) = static_cast<float>(30 + i) + 0.5f;
            caldat.yc(i) = static_cast<float>(30 + i) + 0.25f;
        }
        model_calls = 0;
    }

    void w(const char* argument) {
        sess.model = line_model;
        tinc.line = argument;
        command_write();
    }
};

TEST_F(WriteCommand, NamesThatAreRefused) {
    for (const char* arg : {"", "abcde$", "a_b", "$", "ab.kpl", "x/y"}) {
        SCOPED_TRACE(arg);
        terminal("");
        w(arg);
        EXPECT_EQ(screen(), std::vector<std::string>{" UNACCEPTABLE FILENAME (up to 5 numbers/characters)"});
        EXPECT_EQ(model_calls, 0);
    }
    EXPECT_TRUE(std::filesystem::is_empty("."));
}

TEST_F(WriteCommand, NamesThatAreTaken) {
    struct Case {
        const char* arg;
        const char* file;
    };
    for (const Case& c : {Case{"ab12", "ab12.kpl"}, Case{"abcdefgh", "abcde.kpl"}, Case{"abcde", "abcde"},
                          Case{"Q", "Q.kpl"}, Case{"xyz and more", "xyz.kpl"}, Case{"abcdef$", "abcde"}}) {
        SCOPED_TRACE(c.arg);
        for (const auto& entry : std::filesystem::directory_iterator(".")) std::filesystem::remove_all(entry.path());
        terminal("");
        w(c.arg);
        const std::string name = std::string(c.file).find('.') == std::string::npos ? std::string(c.file) + ".kpl"
                                                                                    : std::string(c.file);
        EXPECT_EQ(pltfle, name);
        EXPECT_TRUE(std::filesystem::exists(name));
        EXPECT_EQ(screen(), std::vector<std::string>{" OUTPUT FILE \"" + pad(name, 10) + "\" COMPLETED"});
    }
}

TEST_F(WriteCommand, SecondWriteOfTheSameNameIsRefused) {
    w("ab12");
    const std::string first = read_file("ab12.kpl");
    w("ab12");
    EXPECT_EQ(read_file("ab12.kpl"), first);
    EXPECT_EQ(screen(), (std::vector<std::string>{" OUTPUT FILE \"ab12.kpl  \" COMPLETED",
                                                  " FILE ab12.kpl   ALREADY EXISTS"}));
}

TEST_F(WriteCommand, NeedsDataAndParameters) {
    for (int which : {1, 2}) {
        flags(kDataRead) = 1;
        flags(kParametersSet) = 1;
        flags(which) = 0;
        terminal("");
        w("ab12");
        EXPECT_EQ(screen(), std::vector<std::string>{" DATA AND/OR FUNCTION PARAMETERS NOT INITIALISED"});
    }
    EXPECT_FALSE(std::filesystem::exists("ab12.kpl"));
}

TEST_F(WriteCommand, FileLayout) {
    w("fit1");
    const std::vector<std::string> lines = split_lines(read_file("fit1.kpl"));
    ASSERT_EQ(lines.size(), 4u + 100u + 30u + 200u);
    EXPECT_EQ(lines[0], pad("SPECTRUM 7", 50));
    EXPECT_EQ(lines[1], pad("CHANNEL", 20));
    EXPECT_EQ(lines[2], pad("COUNTS", 20));
    EXPECT_EQ(lines[3], "       100        30       200");
    // The data as read: x = 1, y = 1.5, e = 1 first, x = 100 last.
    EXPECT_EQ(lines[4], std::string("  1.0000    ") + "  1.5000    " + "  1.0000    ");
    EXPECT_EQ(lines[103], std::string("  100.00    ") + "  100.50    " + "  1.0000    ");
    // The selected points with their calculated values.
    EXPECT_EQ(lines[104], std::string("  31.000    ") + "  31.500    " + "  31.250    ");
    EXPECT_EQ(lines[133], std::string("  60.000    ") + "  60.500    " + "  60.250    ");
    // The model at x = 0.5, 1.0, ..., 100.0.
    EXPECT_EQ(lines[134], std::string(" 0.50000    ") + "  1.0000    ");
    EXPECT_EQ(lines[135], std::string("  1.0000    ") + "  2.0000    ");
    EXPECT_EQ(lines[333], std::string("  100.00    ") + "  200.00    ");
    EXPECT_EQ(model_calls, 1);
    EXPECT_FLOAT_EQ(pltfild.x(1), 0.5f);
    EXPECT_FLOAT_EQ(pltfild.x(200), 100.0f);
}

TEST_F(WriteCommand, EmptyBlocksAreOneEmptyLine) {
    fitlim.m = 0;
    w("none");
    std::vector<std::string> lines = split_lines(read_file("none.kpl"));
    ASSERT_EQ(lines.size(), 4u + 100u + 1u + 200u);
    EXPECT_EQ(lines[3], "       100         0       200");
    EXPECT_EQ(lines[104], "");
    EXPECT_EQ(lines[105], std::string(" 0.50000    ") + "  1.0000    ");

    obsdat.n = 0;
    w("empty");
    lines = split_lines(read_file("empty.kpl"));
    ASSERT_EQ(lines.size(), 4u + 1u + 1u + 200u);
    EXPECT_EQ(lines[3], "         0         0       200");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "");
}

TEST_F(WriteCommand, FileThatCannotBeOpened) {
    // A dangling link: the name does not exist as a file, but it cannot be created.
    std::filesystem::create_directory_symlink("missing/folder", "bad.kpl");
    w("bad");
    // A folder of the name is no existing file, and it cannot be opened.
    std::filesystem::create_directory("dir.kpl");
    w("dir");
    EXPECT_EQ(screen(), (std::vector<std::string>{" CANNOT OPEN FILE bad.kpl", " CANNOT OPEN FILE dir.kpl"}));
}

TEST_F(WriteCommand, FileThatCannotBeWrittenIsReportedAndRemoved) {
    {
        // The file needs about 12 kB; it may not grow past 4 kB.
        FileSizeLimit limit(4096);
        w("big");
    }
    EXPECT_EQ(screen(), std::vector<std::string>{" CANNOT WRITE FILE big.kpl"});
    EXPECT_FALSE(std::filesystem::exists("big.kpl"));
    // The session goes on: the same name can be written afterwards.
    terminal("");
    w("big");
    EXPECT_EQ(screen(), std::vector<std::string>{" OUTPUT FILE \"big.kpl   \" COMPLETED"});
    EXPECT_EQ(split_lines(read_file("big.kpl")).size(), 334u);
}

}  // namespace
}  // namespace karvel::test
