/// Cursor read-out on a device without a cursor: the prompt line only.
#include "plot_fixture.h"

namespace {

using PlotCursor = plottest::PlotFile;

const char* const kPrompt = " LEFT MOUSE OR TYPE SPACE FOR X,Y OR RETURN TO CONTINUE\n";

TEST_F(PlotCursor, FileDeviceWritesThePromptAndReturnsAtOnce) {
    open("cursor.ps");
    const float lim[2] = {0.0f, 1.0f};
    const karvel::Text<20> t;
    karvel::rsplt(lim, lim, lim, 2, 0, 0, t.view(), t.view(), t.view());
    karvel::cursorc.n = 7;
    karvel::cursorc.x(8) = -5.0f;
    int ci = 4;
    cpgsci(ci);

    karvel::erase();
    karvel::poscur();
    EXPECT_EQ(terminal(), kPrompt);
    EXPECT_EQ(karvel::cursorc.n, 7);
    EXPECT_EQ(karvel::cursorc.x(8), -5.0f);
    cpgqci(&ci);
    EXPECT_EQ(ci, 4);

    // Every drawing call with the request on ends with one read-out; frames
    // and calls with the request off have none.
    const float x[2] = {0.2f, 0.8f};
    karvel::spltc(karvel::kCursorRequest) = 1.0f;
    karvel::rsplt(lim, lim, lim, 2, 0, 0, t.view(), t.view(), t.view());
    karvel::rsplt(x, x, x, 2, -2, 0, t.view(), t.view(), t.view());
    karvel::rsplt(x, x, x, 2, -100, 0, t.view(), t.view(), t.view());
    karvel::spltc(karvel::kCursorRequest) = 0.0f;
    karvel::rsplt(x, x, x, 2, -1, 0, t.view(), t.view(), t.view());
    EXPECT_EQ(terminal(), std::string(kPrompt) + kPrompt + kPrompt);

    const auto file = close_and_read();
    ASSERT_EQ(file.pages.size(), 3u);
    EXPECT_TRUE(file.pages[1].segments.empty());  // the read-out drew nothing
}

}  // namespace
