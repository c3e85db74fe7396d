// The value display the loop's display instructions use, until the display
// module serves it: "name =" on its own line, then the value on descriptor 1.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Shows the value on top under the name id's text; 44 for an object when
// objects are not allowed. drop removes the value once shown.
ErrCode DisplayNamedValue(EngineContext* ctx, int32_t nameId, bool objectsAllowed, bool drop);

}  // namespace vke
