// The small questions the shell asks about an instance's figure: whether
// the instance exists in the compiled file and has figures (the figure mode
// and the interactive-highlight flag are in figure_pointer.hpp).
#pragma once

#include "app/block.hpp"
#include "app/figure_pointer.hpp"

namespace vke {

// True when an instance-start element carries the id.
bool IsInstanceDefined(KVContextBlock* block, int32_t id);
// True when the instance has a figure element or is drawn by its
// instance-wide step.
bool FindHandlerSlot(KVContextBlock* block, int32_t id);

}  // namespace vke
