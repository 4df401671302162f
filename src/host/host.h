/// The data input of the R command.
#pragma once

#include "karvel/karvel.h"

namespace karvel {

/// Calls the host's reader and records what it read: the data-read flags,
/// the data extents, the plot window when it is unset, and the fit figures
/// moved to the previous ones. A reader returning no point changes nothing.
void kvdatn(int& n, float* x, float* y, float* e, Reader reader);

}  // namespace karvel
