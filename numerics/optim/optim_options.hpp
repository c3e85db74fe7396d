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

// The first entry of fminbnd and fzero, which search along one variable:
// pushes the state row of stateSize zeros, reads the options into it from
// element optionsSlot on (TolX, MaxIter, MaxFunEvals, Display; TolX raised
// to minTolX) and nargin into element kSearchNarginSlot, and reads the
// range argument: 21 unless it has one or two elements, 107 for two in
// falling order. Two equal elements are a start point.
constexpr int32_t kSearchNarginSlot = 1;
struct ScalarSearch {
  double* state = nullptr;
  double lo = 0, hi = 0;
  bool interval = false;
};
ErrCode StartScalarSearch(EngineContext* ctx, int32_t nargin, int32_t stateSize,
                          int32_t optionsSlot, OptimOptions defaults, double minTolX,
                          ScalarSearch* search);

// The smallest TolX of fminbnd and fminsearch, and their default: eps^0.5.
constexpr double kMinTolX = 1.4901161193847656e-08;

}  // namespace vke
