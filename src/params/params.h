/// Parameter values, steps and ties; fitting ranges and plot limits; the
/// parameter file.
#pragma once

#include "karvel/karvel.h"

namespace karvel {

/// The V command.
void kvvals(int n, Text<8>* names, float* p, float* s, float* w, float* old);
/// The O command: range check, copy into the records and point selection.
void range_command();
/// Copies the points inside the fitting ranges; m gets their number.
void kvlimt(const float* x, const float* y, const float* e, int n, float* xs, float* ys, float* es,
            int& m);
/// Places the extrapolation marks: the sample positions of the plot window
/// that lie outside the fitting ranges or beyond the data.
void kvmark();
/// The X and Y commands.
void kvxset(const Text<20>& xtitle);
void kvyset(const Text<20>& ytitle);
/// Writes the parameter file. A name that cannot be opened for writing or a
/// write that fails is reported, and the previous file stays as it was.
void kvsave(int n, const float* p, const float* s, int channel, const Text<20>& name);

}  // namespace karvel
