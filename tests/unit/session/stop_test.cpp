/// Tests of the fatal stop and of the pause that waits for "go".
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "core/channels.h"
#include "session/session.h"

using namespace karvel;

namespace {

std::FILE* answer(const char* text) {
    std::FILE* in = std::tmpfile();
    std::fputs(text, in);
    std::rewind(in);
    return in;
}

}  // namespace

TEST(StopDeathTest, WritesTheStopLineAndExitsWithZero) {
    EXPECT_EXIT(stop("TOO MANY PARAMETERS"), ::testing::ExitedWithCode(0),
                "^STOP TOO MANY PARAMETERS statement executed\n$");
}

TEST(PauseDeathTest, GoesOnOnlyAfterGo) {
    std::FILE* in = answer("go\n");
    io::redirect_terminal(in, nullptr);
    pause_run("a too large, ITMAX too small in gser");
    io::redirect_terminal(nullptr, nullptr);
    std::fclose(in);
    SUCCEED();

    EXPECT_EXIT(
        {
            io::redirect_terminal(answer("stop\n"), nullptr);
            pause_run("bad arguments in kvgamq");
            std::_Exit(3);  // not reached: any other answer ends the program
        },
        ::testing::ExitedWithCode(0),
        "^bad arguments in kvgamq\nTo resume execution, type go.  Other input will terminate the job.\n$");
    EXPECT_EXIT(
        {
            io::redirect_terminal(answer(""), nullptr);
            pause_run("x < 0 in gser");
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "x < 0 in gser");
}
