// Result codes of the application's error table that the figure store and the
// subplot state answer with, and the status codes of the figure operations.
// The application's error table carries the identifiers and messages of the
// error codes; these constants only name the numbers here.
#pragma once

#include "engine/errors/errors.hpp"

namespace vke {

inline constexpr ErrCode kErrExhaustedRsrc = 10000;  // "Exhausted resources"
// kErrPlotOverflow, the store's shortage, is the engine's (engine/errors/errors.hpp).
inline constexpr ErrCode kErrUndefElement = 10040;  // "Undefined element"

// Status codes of the figure operations, in no table.
inline constexpr ErrCode kStatusNothingDone = 10200;      // nothing to do, or no engine
inline constexpr ErrCode kStatusRepaint = 10201;          // done; the figure must be repainted
inline constexpr ErrCode kStatusInstanceChanged = 10202;  // menus, title and views change
inline constexpr ErrCode kStatusMoveDropped = 10203;      // a mouse move dropped by the rate limit

}  // namespace vke
