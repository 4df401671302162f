/// The fit listing, the listing file and the fit-and-data output file.
#pragma once

#include <string_view>

#include "karvel/karvel.h"
#include "core/channels.h"
#include "core/format.h"

namespace karvel {

/// Opens the listing file on the channel unless one is open.
void lpout(const Text<4>& name, int channel);
/// Closes the listing file if one is open.
void lpendf();
/// The L command's listing; the full one adds the table of the selected
/// points to the listing file.
void kvlist(const float* old, bool full);
/// The W command's file: samples the model across the plot window and writes
/// the file of that name on the data file's channel.
void write_fit_file(Model model, const Text<10>& name);

/// Writes the fit-and-data file of that name on the channel: the titles,
/// the counts, the n points as read (x, y, e), the m selected points with
/// their calculated values (xs, ys, yc) and the ns samples of the model
/// (sx, sy). Refuses to replace an existing file. Arrays hold entries 1..n
/// at [0..n-1].
void kvplfl(const float* x, const float* y, const float* e, int n, const float* xs, const float* ys,
            const float* yc, int m, const float* sx, const float* sy, int ns, int channel,
            const Text<10>& name);

/// The residual value of the listing: the root of the sum of the squared
/// residuals, divided by their number (0 when there are none).
float residual_value(const float* r, int m);

/// Opens a file channel that is to be written; false when the name is a
/// folder or a file that cannot be written, or the open fails.
bool open_for_writing(int channel, std::string_view name, io::Status status);

/// The messages for a file that cannot be opened or written.
void cannot_open(std::string_view name);
void cannot_write(std::string_view name);

}  // namespace karvel
