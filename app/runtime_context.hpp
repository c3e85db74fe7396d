// The one way the runtime's block and engine are set up. The runtime and the
// packing tool both create their blocks here, so that an image made by the
// tool finds an engine laid out and configured like the one that saved it:
// the same native tables in the same order (the run-time table, then the
// static tables; compiled code calls natives by their index over all
// tables), the same reserved names, compile options and text encoding. The application shell adds
// what only it has (its callbacks, preferences and windows) afterwards.
#pragma once

#include "app/block.hpp"

namespace vke {

// The default and smallest block size of the runtime.
inline constexpr uint32_t kRuntimeMemMin = 0x7E8000;

// Creates the block in memory (8-byte aligned, size bytes) as the runtime
// does and stores it in the slot; the codes of InitKVContextBlock, or of a
// step after it (the slot then holds null).
ErrCode CreateRuntimeContext(KVContextBlock** slot, void* memory, uint32_t size);

}  // namespace vke
