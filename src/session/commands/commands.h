/// The session's commands: one routine per command letter. Each routine reads
/// the numbers (tin.v) or the text (tinc.line) of its command line, checks its
/// own preconditions, writes its own messages, and hands what it read to the
/// routines of fit/, params/, report/ and plot/ that compute or format.
#pragma once

#include <string_view>

namespace karvel {

/// What the command loop does after a command.
enum class Next {
    Prompt,  // reads the next command line
    Leave,   // ends the session (the exit path has run)
};

Next command_help();       // H
Next command_values();     // V
Next command_xscale();     // X
Next command_fit();        // F
Next command_read();       // R
Next command_hardcopy();   // P
Next command_save();       // S
Next command_yscale();     // Y
Next command_cursor();     // C
Next command_exit();       // E, and the end of the input
Next command_display();    // D
Next command_range();      // O
Next command_list();       // L
Next command_write();      // W
Next command_jump();       // J
Next command_clear();      // Z
Next command_title();      // T

/// Whether the argument text of L asks for the full listing: it starts with F.
bool full_listing_asked(std::string_view argument);

}  // namespace karvel
