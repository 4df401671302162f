/// Parameter values, steps and ties; fitting ranges and plot limits; the
/// parameter file.
#pragma once

#include <string>
#include <string_view>

#include "karvel/karvel.h"
#include "core/format.h"

namespace karvel {

/// The V command with its first three numbers: with a parameter number
/// (number, truncated) of at least 1 sets that parameter's value and step, or
/// a fit-control value (100, 200, 300); otherwise lists the table.
void kvvals(int n, Text<8>* names, float* p, float* s, float* w, float* old, float number, float value,
            float step);
/// The row of a parameter table, as V and L write it: number, name, value,
/// old value (in brackets), step and percentage deviation.
inline constexpr std::string_view kParameterRow = "(1H ,I4,3X,A8,2X,G12.4,'(',G12.4,')',G12.4,F10.2)";
/// The format of a parameter table: the heading's edit descriptors (ending
/// in a new record), then as many rows as there are values.
std::string parameter_table_format(std::string_view heading);
/// Appends the values of the rows first..last: the parameter's number, then
/// its entries of the arrays, which hold entries 1..n at [0..n-1].
void add_parameter_rows(fmt::Values& values, int first, int last, const Text<8>* names, const float* p,
                        const float* old, const float* s, const float* dev);

/// The O command with its six numbers (low 1, high 1, .. high 3): range
/// check, copy into the records and point selection.
void set_fitting_ranges(const float* bounds);
/// Copies the points inside the fitting ranges; m gets their number.
void kvlimt(const float* x, const float* y, const float* e, int n, float* xs, float* ys, float* es,
            int& m);
/// Places the extrapolation marks: the sample positions of the plot window
/// that lie outside the fitting ranges or beyond the data.
void kvmark();
/// The X and Y commands with their two numbers: equal ones show the limits,
/// increasing ones set the plot window.
void kvxset(const Text<20>& xtitle, float low, float high);
void kvyset(const Text<20>& ytitle, float low, float high);
/// Writes the parameter file. A name that cannot be opened for writing or a
/// write that fails is reported, and the previous file stays as it was.
void kvsave(int n, const float* p, const float* s, int channel, const Text<20>& name);

}  // namespace karvel
