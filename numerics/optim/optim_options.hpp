// The optimisation options fminbnd, fminsearch and fzero read from an
// option structure made by optimset.
#pragma once

#include "engine/context.hpp"

namespace vke {

// The settings, each holding the native's own default until read.
struct OptimOptions {
  double tolX;
  double maxIter;
  double maxFunEvals;
  double display;
};

// Reads "TolX", "MaxIter", "MaxFunEvals" and "Display", in that order, from
// the option structure at the depth; an empty or absent field keeps the
// default. The two limits are truncated to whole numbers. 21 for a field
// that is neither empty nor a scalar.
ErrCode ReadOptimOptions(EngineContext* ctx, int32_t depth, OptimOptions* options);

// The smallest TolX of fminbnd and fminsearch, and their default: eps^0.5.
constexpr double kMinTolX = 1.4901161193847656e-08;

}  // namespace vke
