/// The command table: the option line, the help list and the reader's rule
/// for text arguments all follow it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "session/commands/table.h"
#include "session/session.h"
#include "support/terminal.h"

namespace karvel {
namespace {

TEST(CommandTable, OptionLineAndHelpListNameEveryCommandOnce) {
    const std::string option = option_line_format(kCommands);
    const std::string help = help_list_format(kCommands, false);
    const std::size_t from = option.find(": ") + 2;
    std::string listed = option.substr(from, option.rfind('\'') - from);
    std::erase(listed, ',');
    std::string letters;
    for (const Command& c : kCommands) {
        letters += c.letter;
        const std::string first_line(c.help.substr(0, c.help.find('\n')));
        EXPECT_EQ(first_line.substr(0, 2), std::string(1, c.letter) + " ");
        EXPECT_NE(help.find(",/,' " + first_line + "'"), std::string::npos) << first_line;
    }
    std::sort(listed.begin(), listed.end());
    std::sort(letters.begin(), letters.end());
    EXPECT_EQ(listed, letters);
}

TEST(CommandTable, OnlyTextCommandsKeepTheirLineUndecoded) {
    tin.in = io::kTerminalIn;
    tin.out = io::kTerminalOut;
    std::string text_letters;
    for (std::size_t i = 0; i < kCommands.size(); ++i) {
        const Command& c = kCommands[i];
        SCOPED_TRACE(c.letter);
        tin.v.fill(-1.0f);
        int k = 0;
        test::terminal([&] { k = ikvcmd(kCommands); }, std::string(1, c.letter) + " 7,8\n");
        EXPECT_EQ(k, static_cast<int>(i) + 1);
        if (c.argument == Argument::Text) {
            text_letters += c.letter;
            EXPECT_EQ(tinc.line.trimmed(), "7,8");
            EXPECT_EQ(tin.v(1), -1.0f);
        } else {
            EXPECT_EQ(tin.v(1), 7.0f);
            EXPECT_EQ(tin.v(2), 8.0f);
        }
    }
    EXPECT_EQ(text_letters, "RWZT");
}

}  // namespace
}  // namespace karvel
