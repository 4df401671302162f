/// Watching the library's screen windows from a connection of our own to
/// the X server, so that a window the user has closed is noticed before the
/// library draws into it (or waits in it for a key that can never come).
#pragma once

#include <vector>

namespace karvel::xwatch {

/// An X window identifier; 0 stands for none.
using Window = unsigned long;

/// The library's windows now on the display (none when there is no X
/// server or no X library).
std::vector<Window> library_windows();

/// The library window that appeared since `before` was taken, waiting a
/// little for it to show; 0 when there is not exactly one.
Window new_window(const std::vector<Window>& before);

/// Whether the window still exists. False once the X server is gone.
bool alive(Window window);

}  // namespace karvel::xwatch
