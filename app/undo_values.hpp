// Values of the KV variables between the engine's stack and the undo buffer:
// a stored value is the engine's copy of a stack entry (CopyEntryToBytes).
#pragma once

#include "app/block.hpp"

namespace vke {

// Input codes of at least 2^30 or below -2^30 are numbers, not variables.
inline bool IsConstantCode(int32_t code) {
  return code >= (1 << 30) || code < -(1 << 30);
}
inline double ConstantCodeValue(int32_t code) {
  return code >= (1 << 30) ? code - (1 << 30) : code + (1 << 30);
}

// Pushes a constant code's number, or the variable's value in the
// instance's undo set `back` versions back ([] when it has none). kKvNonexistentUndoSet,
// kKvVarNotFound, or the engine's code when the value does not fit the stack.
ErrCode PushUndoValue(KVContextBlock* block, int32_t id, int32_t back, int32_t code);
// Stores the value on top of the engine's stack as the variable's value
// `back` versions back, and drops it from the stack. kKvNonexistentUndoSet, kKvVarNotFound,
// kKvVarTooLargeForUndo.
ErrCode StoreUndoValue(KVContextBlock* block, int32_t id, int32_t back, int32_t code);

}  // namespace vke
