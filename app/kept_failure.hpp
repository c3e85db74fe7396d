// The text kept of a handler's failure for the action's report (see
// error_place.hpp), apart from the error texts so that forgetting it at the
// start of an action needs none of them.
#pragma once

#include <cstdint>
#include <string>

#include "engine/errors/errors.hpp"

namespace vke {

// The text kept for the last failure of a top-level handler: the block's
// serial, the code and the text.
struct KeptFailure {
  uint32_t serial = 0;  // 0: none kept
  ErrCode code = kOk;
  std::string text;
  int32_t spans = 0;       // FirstFailureSpans alive
  bool spanHolds = false;  // the open span's first failure is kept
};

KeptFailure& Kept();

}  // namespace vke
