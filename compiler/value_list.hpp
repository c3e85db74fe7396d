// A text read as a list of values ("1, [2 3], 'x'") among the variables of
// the innermost frame that has them: compiled and run to its end at once,
// inside the native that asks, with whatever it leaves behind undone when
// it fails. Used by the natives that turn text into values (str2obj and the
// application's dialog).
#pragma once

#include "engine/context.hpp"

namespace vke {

// Runs the text and leaves its values on top of the stack, the first
// topmost (as a native leaves its outputs); *count is how many. On failure
// the frames, entries and code pointer are as they were, and the code is
// returned (compile errors and the errors of running it; 1000 when called
// in an interpreter thread other than the first). A failure for lack of
// room of a text that did nothing it cannot take back leaves the calling
// native to run again once the area has grown; after any other failure its
// operands count as changed.
ErrCode EvaluateValueList(EngineContext* ctx, const char* text, int32_t length, int32_t* count);

}  // namespace vke
