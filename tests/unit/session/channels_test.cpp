/// Tests of the I/O channels: terminal records, files, flushing and dayt.
#include "core/channels.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/format.h"

namespace karvel {
namespace {

namespace fs = std::filesystem;

/// The terminal replaced by two temporary files for the length of a test.
class Terminal : public ::testing::Test {
protected:
    void SetUp() override {
        in_ = std::tmpfile();
        out_ = std::tmpfile();
        ASSERT_TRUE(in_ && out_);
        io::redirect_terminal(in_, out_);
    }
    void TearDown() override {
        io::redirect_terminal(nullptr, nullptr);
        std::fclose(in_);
        std::fclose(out_);
    }
    void type(const std::string& s) {
        std::fputs(s.c_str(), in_);
        std::rewind(in_);
    }
    /// What has reached the file so far, without flushing the stream.
    std::string written_unflushed() const {
        std::string s(4096, '\0');
        const ssize_t n = pread(fileno(out_), s.data(), s.size(), 0);
        s.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return s;
    }
    std::string output() {
        std::fflush(out_);
        return written_unflushed();
    }
    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
};

TEST_F(Terminal, OpenRecordContinuesAndLeadingSlashEndsIt) {
    fmt::write(6, "($,' FITTING.....')");
    fmt::write(6, "(/,/,' .....ENDED')");
    fmt::write(6, "(' Give input filename : ',$)");
    fmt::write(6, "(' OK')");
    EXPECT_EQ(" FITTING.....\n\n .....ENDED\n Give input filename :  OK\n", output());
}

TEST_F(Terminal, PromptIsFlushedBeforeTheReadAndTheLineContinuesAfterIt) {
    type("data.dat\n");
    fmt::write(6, "(' Give input filename : ',$)");
    Text<12> name;
    EXPECT_EQ(0, fmt::read(5, "(A)", {name}));
    EXPECT_EQ(" Give input filename : ", written_unflushed());
    EXPECT_EQ("data.dat    ", name.str());
    fmt::write(6, "(' READ')");
    EXPECT_EQ(" Give input filename :  READ\n", output());
}

TEST_F(Terminal, LongLinesAreCutAndALastLineWithoutNewlineCounts) {
    const std::string longline(io::kMaxRecord, 'x');
    type("first\n" + longline + "yyyy\nsecond\r\n\nlast");
    EXPECT_EQ("first", io::read_record(5));
    EXPECT_EQ(longline, io::read_record(5));  // the rest of the line is skipped
    EXPECT_EQ("second", io::read_record(5));
    EXPECT_EQ("", io::read_record(5));
    EXPECT_EQ("last", io::read_record(5));
    EXPECT_FALSE(io::read_record(5));
    float v = 0;
    EXPECT_LT(fmt::read(5, "(F10.0)", {v}), 0);
    EXPECT_LT(fmt::read_list(5, {v}), 0);
}

TEST_F(Terminal, ListReadStartsEachCallAtANewRecord) {
    type("1 2 3\n4\n");
    float a = 0, b = 0;
    EXPECT_EQ(0, fmt::read_list(5, {a}));
    EXPECT_EQ(0, fmt::read_list(5, {b}));
    EXPECT_EQ(1.0f, a);
    EXPECT_EQ(4.0f, b);
}

/// A scratch folder of files for one test.
class Files : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(KARVEL_BINARY_DIR) / ("channels_test_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        for (int ch : {20, 21, 22}) io::close(ch);
        fs::remove_all(dir_);
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    static std::string contents(const std::string& p) {
        std::ifstream f(p, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    static void make(const std::string& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    fs::path dir_;
};

TEST_F(Files, OpenStatuses) {
    const std::string p = path("a.kvn");
    EXPECT_GT(io::open(20, p, io::Status::Old), 0);
    EXPECT_FALSE(io::is_open(20));
    EXPECT_FALSE(io::file_exists(p));
    EXPECT_EQ(0, io::open(20, p + "   ", io::Status::Unknown));  // trailing blanks dropped
    EXPECT_TRUE(io::is_open(20));
    io::close(20);
    EXPECT_TRUE(io::file_exists(p + "  "));
    EXPECT_EQ("", contents(p));
    EXPECT_EQ(0, io::open(20, p, io::Status::Old));
    io::close(20);
    EXPECT_GT(io::open(21, p, io::Status::New), 0);
    EXPECT_EQ(0, io::open(21, path("b.kvn"), io::Status::New));
    io::close(21);
    io::close(21);  // closing again does nothing
    EXPECT_GT(io::open(20, path("missing/c.kvn"), io::Status::Unknown), 0);
}

TEST_F(Files, ReadThenWriteReplacesTheContents) {
    const std::string p = path("d.kvn");
    make(p, "A\nB\nC\n");
    ASSERT_EQ(0, io::open(20, p));
    EXPECT_EQ("A", io::read_record(20));
    io::close(20);
    ASSERT_EQ(0, io::open(20, p));
    fmt::write(20, "('X',I2)", {5});
    EXPECT_TRUE(io::good(20));
    io::close(20);
    EXPECT_FALSE(io::good(20));
    EXPECT_EQ("X 5\n", contents(p));
}

TEST_F(Files, FirstWriteCutsAtTheCurrentRecord) {
    const std::string p = path("e.kvn");
    make(p, "A\nB\nC");
    ASSERT_EQ(0, io::open(20, p));
    EXPECT_EQ("A", io::read_record(20));
    fmt::write(20, "('Z',/,'W',$)");
    EXPECT_FALSE(io::read_record(20));  // nothing to read after writing
    io::close(20);                       // the open record is ended
    EXPECT_EQ("A\nZ\nW\n", contents(p));
}

TEST_F(Files, FailedWritesAreReported) {
    // A file-size limit of 0 makes every write fail, as a full disk does.
    ASSERT_EQ(0, io::open(21, path("g.lis")));
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit none = old;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &none);
    fmt::write(21, "('X')");
    const bool good = io::good(21);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(good);
}

TEST_F(Files, OnlyRegularFilesOpen) {
    // A folder, a FIFO (which would block an ordinary open) and a device.
    fs::create_directories(path("adir"));
    ASSERT_EQ(0, mkfifo(path("fifo").c_str(), 0600));
    for (const std::string& p : {path("adir"), path("fifo"), std::string("/dev/zero")}) {
        for (io::Status st : {io::Status::Old, io::Status::Unknown, io::Status::New}) {
            EXPECT_GT(io::open(20, p, st), 0) << p;
            EXPECT_FALSE(io::is_open(20)) << p;
        }
    }
}

TEST_F(Files, FormattedReadOfAFileToItsEnd) {
    const std::string p = path("f.kvn");
    make(p, "   1   2.5\n   3\n");
    ASSERT_EQ(0, io::open(22, p, io::Status::Old));
    int n = 0;
    float x = 0;
    EXPECT_EQ(0, fmt::read(22, "(I4,F6.1)", {n, x}));
    EXPECT_EQ(1, n);
    EXPECT_EQ(2.5f, x);
    EXPECT_EQ(0, fmt::read(22, "(I4,F6.1)", {n, x}));
    EXPECT_EQ(3, n);
    EXPECT_EQ(0.0f, x);
    EXPECT_LT(fmt::read(22, "(I4,F6.1)", {n, x}), 0);
    io::close(22);
    EXPECT_GT(fmt::read(22, "(I4)", {n}), 0);  // not open
    EXPECT_GT(fmt::read(6, "(I4)", {n}), 0);   // an output channel
    EXPECT_GT(fmt::read_list(22, {n}), 0);
}

TEST(Dayt, DayOfMonthAsCtimeGivesItFromSourceDateEpoch) {
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("SOURCE_DATE_EPOCH", "1796738709", 1);  // Tue Dec  8 14:05:09 2026 UTC
    Text<24> t;
    dayt(t);
    EXPECT_EQ(" 8-Dec-2026 14:05:09    ", t.str());
    Text<6> shortt;
    dayt(shortt);
    EXPECT_EQ(" 8-Dec", shortt.str());
    setenv("SOURCE_DATE_EPOCH", "1797602709", 1);  // ten days later
    Text<20> u;
    dayt(u);
    EXPECT_EQ("18-Dec-2026 14:05:09", u.str());
    unsetenv("SOURCE_DATE_EPOCH");
    dayt(u);
    EXPECT_EQ('-', u.at(3));
    EXPECT_EQ('-', u.at(7));
    EXPECT_EQ(':', u.at(15));
}

}  // namespace
}  // namespace karvel
