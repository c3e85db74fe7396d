// Reading the optimisation options of fminbnd, fminsearch and fzero, and
// the start of a search along one variable.
#include "numerics/optim/optim_options.hpp"

#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/registry/option_tables.hpp"
#include "engine/values/values.hpp"
#include "numerics/call_cycle.hpp"

namespace vke {

ErrCode ReadOptimOptions(EngineContext* ctx, int32_t depth, OptimOptions* o) {
  if (ErrCode e = GetOptionField(ctx, depth, "TolX", kOptimsetTable, o->tolX, &o->tolX)) return e;
  if (ErrCode e = GetOptionField(ctx, depth, "MaxIter", kOptimsetTable, o->maxIter, &o->maxIter))
    return e;
  if (ErrCode e = GetOptionField(ctx, depth, "MaxFunEvals", kOptimsetTable, o->maxFunEvals,
                                 &o->maxFunEvals))
    return e;
  if (ErrCode e = GetOptionField(ctx, depth, "Display", kOptimsetTable, o->display, &o->display))
    return e;
  o->maxIter = std::trunc(o->maxIter);
  o->maxFunEvals = std::trunc(o->maxFunEvals);
  return kOk;
}

ErrCode StartScalarSearch(EngineContext* ctx, int32_t nargin, int32_t stateSize,
                          int32_t optionsSlot, OptimOptions o, double minTolX,
                          ScalarSearch* search) {
  double* s;
  if (ErrCode e = PushStateRow(ctx, stateSize, &s)) return e;
  if (nargin >= 3)
    if (ErrCode e = ReadOptimOptions(ctx, nargin - 2, &o)) return e;
  if (o.tolX < minTolX) o.tolX = minTolX;
  int32_t rows, cols;
  double *range, *im;
  if (ErrCode e = GetNumericArg(ctx, nargin - 1, &rows, &cols, &range, &im)) return e;
  if (im) return kErrWrongType;
  const int64_t count = int64_t{rows} * cols;
  if (count < 1 || count > 2) return kErrBadSize;
  search->interval = count == 2 && range[0] != range[1];
  if (search->interval && range[1] < range[0]) return kErrBadArg;
  search->lo = range[0];
  search->hi = range[count - 1];
  s = StateRowAt(ctx, 0, stateSize);
  s[kSearchNarginSlot] = nargin;
  s[optionsSlot] = o.tolX;
  s[optionsSlot + 1] = o.maxIter;
  s[optionsSlot + 2] = o.maxFunEvals;
  s[optionsSlot + 3] = o.display;
  search->state = s;
  return kOk;
}

}  // namespace vke
