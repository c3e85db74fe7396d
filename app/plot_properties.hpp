// The plot properties of an instance's subplots: the list in its standard
// variable _ppl, entry k + 1 for subplot k, in the current undo version.
#pragma once

#include "app/block.hpp"

namespace vke {

// Pops the value on top of the engine's stack and stores it as subplot k's
// entry, padding a shorter list with empty values; for a negative k it only
// pops the value. kErrIndexOutOfRange for a k whose entry cannot exist; kKvNonexistentUndoSet,
// kKvVarTooLargeForUndo, or the engine's code, with the value left on top.
ErrCode GetPlotProperties(KVContextBlock* block, int32_t id, int32_t k);

// Pushes subplot k's entry `back` versions back, or [] when the list has
// none (or k is negative).
ErrCode GetPlotListEntry(KVContextBlock* block, int32_t id, int32_t k, int32_t back = 0);

}  // namespace vke
