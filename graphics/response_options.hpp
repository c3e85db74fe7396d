// The options of the response curves (the structure responseset makes): a
// continuous-time delay, negative frequencies, a frequency or time range
// and the lsim results only at the given times.
#pragma once

#include <cstdint>

#include "engine/context.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

// Reads the options structure at optionsDepth (below 0: none, every output
// neutral: delay 0, flags false, range [0, 0]). An output behind a null
// pointer is not read. A discrete system given a delay gets a warning line
// on the error descriptor (once, in a native whose entry counts its lines:
// EntryTraceLines); the delay is returned as given. A Range that has
// neither 0 nor 2 elements gives kErrBadSize.
ErrCode ParseResponseOptions(EngineContext* ctx, int32_t optionsDepth, bool discrete, double* delay,
                             uint8_t* negFreq, uint8_t* tOnly, double* range);

// A range is set when its second element exceeds its first.
inline bool RangeIsSet(const double* range) {
  return range[1] > range[0];
}

// responseset(), responseset(name, value, ...), responseset(opts, name,
// value, ...).
ErrCode ResponsesetNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);

}  // namespace vke
