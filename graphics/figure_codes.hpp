// Result codes of the application's error table that the figure store and the
// subplot state answer with. The application's error table carries their
// identifiers and messages; these constants only name the numbers here.
#pragma once

#include "engine/errors.hpp"

namespace vke {

inline constexpr ErrCode kErrExhaustedRsrc = 10000;  // "Exhausted resources"
inline constexpr ErrCode kErrPlotOverflow = 10001;   // "Plot memory overflow"
inline constexpr ErrCode kErrUndefElement = 10040;   // "Undefined element"

}  // namespace vke
