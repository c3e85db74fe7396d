// The small questions the shell asks about an instance's figure: whether
// the instance exists in the compiled file and has figures, which figure
// menu commands it offers and the state of its plot choices (the figure
// mode and the interactive-highlight flag are in figure_pointer.hpp).
#pragma once

#include "app/block.hpp"
#include "app/figure_pointer.hpp"

namespace vke {

// True when an instance-start element carries the id.
bool IsInstanceDefined(KVContextBlock* block, int32_t id);
// True when the instance has a figure element or is drawn by its
// instance-wide step.
bool FindHandlerSlot(KVContextBlock* block, int32_t id);

// Whether the instance's flags leave figure menu command 1 to 9 offered;
// false for an unknown instance or another number.
bool GetInstanceMenuState(KVContextBlock* block, int32_t id, int32_t command);

// The plot choice's state for plot `plot` (kPlotNone for the removal):
// bit 0 enabled when some subplot is selected, the grid is 1 x 1, or, in
// free layout, another subplot fits and the plot is not the default one;
// bit 1 checked when the single selected subplot shows that plot. 0 for an
// unknown instance.
uint32_t GetSubplotSelectionState(KVContextBlock* block, int32_t id, int32_t plot);

}  // namespace vke
