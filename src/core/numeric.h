/// Small numeric helpers of the whole package.
#pragma once

namespace karvel {

/// Truncates a real toward zero to an integer, saturating at the 32-bit
/// range; NaN gives 0.
int trunc_int(float v);

}  // namespace karvel
