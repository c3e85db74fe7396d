// Reading the optimisation options of fminbnd, fminsearch and fzero.
#include "numerics/optim/optim_options.hpp"

#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/registry/option_tables.hpp"

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

}  // namespace vke
