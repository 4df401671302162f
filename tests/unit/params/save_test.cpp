/// The parameter file: its layout line by line, rewriting, and names that cannot be
/// opened or files that cannot be written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "params/params.h"
#include "core/records.h"
#include "support/terminal.h"
#include "unit/report/fixture.h"

namespace karvel {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class SaveFile : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SOURCE_DATE_EPOCH", "1796738709", 1);  // 8 December 2026 14:05:09
        setenv("TZ", "UTC", 1);
        tzset();
        dir = fs::temp_directory_path() / ("karvel_save_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        reset_records();
        tin.out = io::kTerminalOut;
        tinc.name = "kvst";
        version.host = 2.0f;
        version.package = 6.6f;
        fitlim.bound(1) = 10.0f;
        fitlim.bound(2) = 20.0f;
        fitlim.bound(5) = 30.0f;
        fitlim.bound(6) = 45.5f;
        pltlim(kPlotXMax) = 100.0f;
        pltlim(kPlotYMin) = -10.0f;
        pltlim(kPlotYMax) = 1000.0f;
        const char* names[] = {"CENTRE", "SIGMA", "FLAT", "BAKSLOPE", "HEIGHT"};
        for (int i = 0; i < 5; ++i) functc.name[i] = names[i];
        const float p[] = {15.3f, 2.1f, 1.23456f, 99999.0f, 123.0f};
        const float s[] = {1.0f, 0.0f, -1.0f, 0.5f, 2.0f};
        for (int i = 0; i < 5; ++i) {
            functn.p.a[i] = p[i];
            functn.s.a[i] = s[i];
        }
        functn.np = 5;
    }
    void TearDown() override {
        fs::remove_all(dir);
        unsetenv("SOURCE_DATE_EPOCH");
    }

    std::string save(const fs::path& file) {
        const Text<20> name(file.string());
        return test::terminal([&] { kvsave(functn.np, functn.p.data(), functn.s.data(), 1, name); });
    }

    fs::path dir;
};

TEST_F(SaveFile, LayoutLineByLine) {
    // Names of at most 20 characters, relative to the working folder.
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(save("kvst.kvn"), "");
    const std::string first = slurp(dir / "kvst.kvn");
    const std::vector<std::string> want = {
        "kvst V 2.0 using KARVEL V 6.6    8-Dec-2026 14:05:09",
        "   0.1000E-01  0.1000E-01 H(Substep), ACC",
        "    10.00       20.00     FITTING LIMITS",
        "    0.000       0.000     FITTING LIMITS",
        "    30.00       45.50     FITTING LIMITS",
        "    0.000       100.0     X PLOTTING LIMITS",
        "   -10.00       1000.     Y PLOTTING LIMITS",
        "    15.30       1.000         CENTRE  ",
        "    2.100       0.000         SIGMA   ",
        "    1.235      -1.000         FLAT    ",
        "   0.1000E+06  0.5000         BAKSLOPE",
        "    123.0       2.000         HEIGHT  ",
    };
    EXPECT_EQ(test::lines_of(first), want);
    EXPECT_EQ(first.back(), '\n');

    // Saving again gives the same file; a longer earlier file is cut.
    {
        std::ofstream out(dir / "kvst.kvn");
        for (int i = 0; i < 30; ++i) out << "an older and longer file, line " << i << "\n";
    }
    save("kvst.kvn");
    EXPECT_EQ(slurp(dir / "kvst.kvn"), first);
    fs::current_path(here);
}

TEST_F(SaveFile, WideHostVersionAndFewParameters) {
    version.host = 100.0f;
    functn.np = 1;
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    save("tiny.kvn");
    const auto lines = test::lines_of(slurp(dir / "tiny.kvn"));
    fs::current_path(here);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "kvst V**** using KARVEL V 6.6    8-Dec-2026 14:05:09");
    EXPECT_EQ(lines[7], "    15.30       1.000         CENTRE  ");
}

TEST_F(SaveFile, NamesThatCannotBeOpenedAreReported) {
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(save("nodir/kvst.kvn"), " CANNOT OPEN FILE nodir/kvst.kvn\n");
    fs::create_directory(dir / "kvst.kvn");  // a folder where the file should be
    EXPECT_EQ(save("kvst.kvn"), " CANNOT OPEN FILE kvst.kvn\n");
    ASSERT_EQ(::mkfifo("fifo.kvn", 0644), 0);  // must not wait for a reader
    EXPECT_EQ(save("fifo.kvn"), " CANNOT OPEN FILE fifo.kvn\n");
    fs::current_path(here);
    EXPECT_FALSE(fs::exists(dir / "nodir"));
    EXPECT_TRUE(fs::is_directory(dir / "kvst.kvn"));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo.kvn"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    EXPECT_EQ(functn.p(1), 15.3f);
}

TEST_F(SaveFile, FailedWriteLeavesTheOldFile) {
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    test::write_file("kvst.kvn", "the previous parameter file\nwith two lines\n");
    {
        // The new file has 12 lines, about 500 bytes: it stops after 100.
        test::FileSizeLimit limit(100);
        EXPECT_EQ(save("kvst.kvn"), " CANNOT WRITE FILE kvst.kvn\n");
    }
    fs::current_path(here);
    EXPECT_EQ(slurp(dir / "kvst.kvn"), "the previous parameter file\nwith two lines\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no file left beside it
}

TEST_F(SaveFile, LinkedFileIsReplacedAndTheLinkKept) {
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    fs::create_directory("store");
    test::write_file("store/kvst.kvn", "old\n");
    fs::permissions("store/kvst.kvn", fs::perms(0600));
    fs::create_symlink("store/kvst.kvn", "kvst.kvn");
    EXPECT_EQ(save("kvst.kvn"), "");
    fs::current_path(here);
    EXPECT_TRUE(fs::is_symlink(dir / "kvst.kvn"));
    EXPECT_EQ(test::lines_of(slurp(dir / "store/kvst.kvn")).size(), 12u);
    EXPECT_EQ(fs::status(dir / "store/kvst.kvn").permissions(), fs::perms(0600));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "store"), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace karvel
