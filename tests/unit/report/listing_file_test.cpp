/// Tests of the listing file: its number from the counter file, its name,
/// and its closing.
#include "fixture.h"

namespace karvel::test {
namespace {

using ListingFile = ReportTest;

// Opens the listing file for a counter file of the given content (or none)
// and returns the name it got.
std::string open_with_counter(const char* counter, const char* program = "kvst") {
    if (counter != nullptr) write_file("sequ.seq", counter);
    lpout(Text<4>(program), 16);
    return std::string(lpoutch.view());
}

TEST_F(ListingFile, CounterAbsentStartsAtOne) {
    EXPECT_EQ(open_with_counter(nullptr), "kvst001.lis");
    EXPECT_EQ(read_file("sequ.seq"), "     1\n");
    EXPECT_EQ(lpoutc, 1);
    EXPECT_EQ(lpoutcc, 16);
    EXPECT_TRUE(std::filesystem::exists("kvst001.lis"));
}

TEST_F(ListingFile, CounterIsAdvancedAndWraps) {
    struct Case {
        const char* counter;
        const char* name;
        const char* after;
    };
    const Case cases[] = {
        {"    41\n", "kvst042.lis", "    42\n"},
        {"   998\n", "kvst999.lis", "   999\n"},
        {"   999\n", "kvst001.lis", "     1\n"},
        {"", "kvst001.lis", "     1\n"},            // empty file
        {"      \n", "kvst001.lis", "     1\n"},    // five blanks read as 0
        {" abc\n", "kvst001.lis", "     1\n"},      // not a number
        {"    -7\n", "kvst001.lis", "     1\n"},    // the next number would be below 1
        {"    12  and more\n", "kvst013.lis", "    13\n"},  // columns 2 to 6 only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.counter);
        EXPECT_EQ(open_with_counter(c.counter), c.name);
        EXPECT_EQ(read_file("sequ.seq"), c.after);
        lpendf();
    }
}

TEST_F(ListingFile, NameKeepsOnlyLettersAndDigits) {
    EXPECT_EQ(open_with_counter(nullptr, "a-b1"), "axb1001.lis");
    lpendf();
    EXPECT_EQ(open_with_counter(nullptr, "  Z9"), "xxZ9002.lis");
    lpendf();
    EXPECT_EQ(open_with_counter(nullptr, "K_._"), "Kxxx003.lis");
}

TEST_F(ListingFile, StaysOpenUntilClosedOnce) {
    open_with_counter("     4\n");
    ASSERT_EQ(lpoutc, 5);
    // A second call while open neither advances the counter nor reopens.
    fmt::write(16, "(A)", {"first"});
    lpout(Text<4>("kvst"), 16);
    fmt::write(16, "(A)", {"second"});
    EXPECT_EQ(read_file("sequ.seq"), "     5\n");
    lpendf();
    lpendf();
    EXPECT_EQ(lpoutc, 0);
    EXPECT_EQ(read_file("kvst005.lis"), "first\nsecond\n");
    EXPECT_EQ(screen(), std::vector<std::string>{" Closing listing file kvst005.lis"});
    // After closing, the next call starts a new file with the next number.
    EXPECT_EQ(open_with_counter(nullptr), "kvst006.lis");
}

TEST_F(ListingFile, ExistingListingFileIsReplaced) {
    write_file("kvst001.lis", "old contents\nof a previous run\n");
    open_with_counter(nullptr);
    fmt::write(16, "(A)", {"new"});
    lpendf();
    EXPECT_EQ(read_file("kvst001.lis"), "new\n");
}

TEST_F(ListingFile, ListingNameThatCannotBeOpened) {
    // A folder in place of the listing file: the counter advances, no file opens.
    std::filesystem::create_directory("kvst001.lis");
    open_with_counter(nullptr);
    EXPECT_EQ(lpoutc, 0);
    EXPECT_EQ(read_file("sequ.seq"), "     1\n");
    lpendf();  // nothing open: no closing line
    EXPECT_EQ(screen(), std::vector<std::string>{" CANNOT OPEN FILE kvst001.lis"});
}

TEST_F(ListingFile, CounterThatCannotBeUsedStillGivesAListing) {
    // A folder or a FIFO in place of the counter: reported, left as it is,
    // and the numbering starts again at 1.
    std::filesystem::create_directory("sequ.seq");
    EXPECT_EQ(open_with_counter(nullptr), "kvst001.lis");
    EXPECT_EQ(lpoutc, 1);
    lpendf();
    std::filesystem::remove("sequ.seq");
    ASSERT_EQ(::mkfifo("sequ.seq", 0644), 0);
    EXPECT_EQ(open_with_counter(nullptr), "kvst001.lis");
    EXPECT_EQ(lpoutc, 1);
    lpendf();
    EXPECT_TRUE(std::filesystem::is_fifo("sequ.seq"));
    EXPECT_EQ(screen(), (std::vector<std::string>{" CANNOT OPEN FILE sequ.seq", " Closing listing file kvst001.lis",
                                                  " CANNOT OPEN FILE sequ.seq", " Closing listing file kvst001.lis"}));
    // A counter that cannot be written keeps its old contents; the listing
    // takes the next number all the same.
    std::filesystem::remove("sequ.seq");
    write_file("sequ.seq", "    41\n");
    const std::vector<std::string> said = piped([] {
        FileSizeLimit limit(0);
        lpout(Text<4>("kvst"), 16);
    });
    EXPECT_EQ(said, std::vector<std::string>{" CANNOT WRITE FILE sequ.seq"});
    EXPECT_EQ(lpoutc, 42);
    EXPECT_EQ(read_file("sequ.seq"), "    41\n");
    EXPECT_TRUE(std::filesystem::exists("kvst042.lis"));
    // Nothing is left beside the counter file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 3);
}

}  // namespace
}  // namespace karvel::test
