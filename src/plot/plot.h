/// Plot composition, cursor read-out and the plot device manager.
#pragma once

#include <string>
#include <string_view>

#include "karvel/text.h"

namespace karvel {

// ---- Plot composition ----
/// Draws a frame (mode >= 0) or points (-1..-99) or a polyline (<= -100)
/// on the current plot unit. Arrays hold entries 1..n at [0..n-1].
void rsplt(const float* x, const float* y, const float* e, int n, int mode, int bars,
           std::string_view t1, std::string_view t2, std::string_view t3);
/// Starts a new page without prompting.
void erase();
/// Erases the screen and clears the no-plot flag, on a shared-screen terminal only.
void terase();
/// The emblem.
void pubess(float size, int ring);
/// The axis-limit check of a frame: true when high lies above low and the
/// dimension is positive (and the range is finite); otherwise writes the
/// three values on the terminal and returns false.
bool tdlmr(float low, float high, float dimension);
/// Whether the last frame drawn on the current plot unit succeeded (true
/// before any frame). Points, curves and cursor read-out are skipped while
/// it is false.
bool plot_frame_valid();
/// Whether drawing on the current plot unit is shown: the last frame drawn
/// on it succeeded, and its device is not the null device. Texts and
/// figures drawn beside a frame go to the graphics library only when true.
bool plot_draws();
/// Cursor read-out after a drawing.
void poscur();

// ---- Plot device manager ----
void pgnopn(int unit, std::string_view name, int& status);
void pgnsel(int unit, int& previous, int& status);
void pgnend(int unit);
/// Checks that the screen window of the current unit still exists. A lost
/// window is replaced by a new one (or, when none can be opened, by the
/// null device), with one message; returns true when the device changed.
bool pgnchk();
void pgtktr(int unit, int& flag);
void pgqnop(int unit, int& flag);
void pgrunx(std::string_view name, int& status);
/// Whether the current plot unit is open on the null device, which shows
/// nothing: decided when the unit is opened, forgotten when it is closed.
/// Nothing drawn on such a unit is sent to the graphics library.
bool unit_shows_nothing();
/// The current plot unit when it is open on the null device and has no
/// device in the graphics library (the library's current device then
/// belongs to another unit, or there is none); otherwise 0.
int unit_without_library_device();
/// Makes sure the current plot unit has a device in the graphics library,
/// selected there: a unit on the null device gets the library's null
/// device, for a library check that can write on the terminal. False when
/// no unit is selected or the open fails.
bool plot_library_device();

// ---- Support layer of the graphics library ----
/// Reads PGPLOT_<name> into the field (blank-padded, cut) and returns its
/// length without trailing blanks (0 when unset or blank).
int grgenv(std::string_view name, TextRef value);
/// Writes " %PGPLOT, " and the text without trailing blanks; ignores blank texts.
void grwarn(std::string_view text);
std::string grtoup(std::string_view text);
/// A free I/O channel, and its release.
int grglun();
void grflun(int channel);

}  // namespace karvel
