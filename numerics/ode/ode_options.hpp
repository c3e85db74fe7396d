// The first entry of an ODE run: the problem (tspan and y0), the options
// of the odeset table with their defaults and limits, and the working
// values pushed above the arguments.
#pragma once

#include "engine/context.hpp"
#include "numerics/ode/ode_methods.hpp"

namespace vke {

// The most output rows per accepted step.
constexpr int32_t kMaxOdeRefine = 32000;

struct OdeProblem {
  double t0 = 0, tf = 0;
  int32_t n = 0;         // states
  bool complex = false;  // y0 has an imaginary part
};

// Reads tspan and y0 of a call whose fun is the argument at 1-based
// position funPosition: 21 unless tspan holds two numbers, 107 when one is
// not finite, 23 unless y0 is a column.
ErrCode ReadOdeProblem(EngineContext* ctx, int32_t nargin, int32_t funPosition, OdeProblem* p);

// Whether the options at the depth ask for the event integrator: Past
// true, or Events or EventTime not an empty number.
ErrCode WantsEventIntegrator(EngineContext* ctx, int32_t depth, bool* events);

// Whether the named option of the structure at the depth is an empty
// numeric array (or absent).
ErrCode OptionIsEmptyNumber(EngineContext* ctx, int32_t depth, const char* name, bool* empty);

// Pushes y = y0, ynew, the stages k, `between` empty matrices (the event
// integrator's own values), the run-state row of stateSize elements with
// the options read and limited, and the accumulator [t0, y0.'].
ErrCode PushRunValues(EngineContext* ctx, int32_t nargin, int32_t funPosition,
                      const OdeMethod& method, const OdeProblem& p, int32_t between,
                      int32_t stateSize);

// The results of a run that makes no step (tf <= t0) in place of the
// arguments: t0, y0 as a row, and empty event results.
ErrCode FinishAtStart(EngineContext* ctx, int32_t nargin, int32_t funPosition, int32_t nargout,
                      double t0);

}  // namespace vke
