// The small questions the shell asks about an instance's figure and the
// interaction settings it keeps in the block: whether the instance exists
// in the compiled file and has figures, the figure mode and the
// interactive-highlight flag.
#pragma once

#include "app/block.hpp"

namespace vke {

// True when an instance-start element carries the id.
bool IsInstanceDefined(KVContextBlock* block, int32_t id);
// True when the instance has a figure element or is drawn by its
// instance-wide step.
bool FindHandlerSlot(KVContextBlock* block, int32_t id);

uint32_t GetFigureMode(KVContextBlock* block);
void SetInteractiveHighlight(KVContextBlock* block, uint8_t on);

}  // namespace vke
