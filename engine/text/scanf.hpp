// Formatted reading: the scanning engine of sscanf and fscanf.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Scans the text (16-bit characters) with the template, the char array on
// top of the stack, which stays there. Pushes the results, first output on
// top: the values (a 1 x n row, a char row when every stored value came from
// "c" or "s", 0 x 0 when none), then for nargout >= 2 the number of
// conversions done and for nargout >= 3 the number of characters consumed.
// Returns the number of entries pushed in *pushed. Errors: kErrBadArg a template that
// is not a char array, 3 no room for the values.
ErrCode ScanWithTemplate(EngineContext* ctx, const uint16_t* text, int32_t length, int32_t nargout,
                         int32_t* pushed);

}  // namespace vke
