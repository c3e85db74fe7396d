// TO MERGE: declarations of the figure store's operations that the memory
// block and the instances use, with the signatures of the figure store under
// construction (graphics/object_store.hpp). Weak stand-ins in
// pending_figure_store.cpp keep the block usable until the store lands; its
// own definitions take their place, and this header then includes the
// store's header instead.
#pragma once

#include "engine/base.hpp"

namespace vke {

// Formats a buffer of totalDoubles as an empty store; 10000 without room.
ErrCode ObjectListInit(void* buffer, uint32_t totalDoubles);
// Moves a store (the buffers may overlap) and gives it totalDoubles there.
ErrCode ObjectListCopy(void* source, void* destination, uint32_t totalDoubles);

}  // namespace vke
