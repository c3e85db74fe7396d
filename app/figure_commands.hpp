// The figure commands of an instance that run its handlers or step its undo
// versions: choosing the plot of the selected subplots, keys typed on the
// figure, undo and redo, and selecting all subplots. The menu states and
// the other commands work on the figure with an InstanceFigureHost
// (graphics/figure_menu.hpp).
#pragma once

#include "app/block.hpp"

namespace vke {

// The plot id that removes the selected subplots' plots.
inline constexpr int32_t kRemovePlot = -1;

// A new undo version, the plot change of the selected subplots, then the
// draw handlers; kStatusRepaint, or the plot change's failure.
// kKvNonexistentInstance.
ErrCode ChoosePlot(KVContextBlock** slot, int32_t id, int32_t plotId);

// A key typed on the figure: to the text field being edited, else to the
// first key handler that lists it (or the one that lists no key), else to
// the figure's own keys. After a handler ran: the draw handlers, the
// handlers that follow a change, and kStatusRepaint. A failing handler leaves no undo
// version and its code is returned (kStatusNoPrint: 0). kKvNonexistentInstance.
// The text buffer, when given, receives the _msg text of a text field's
// handler that Enter ran.
ErrCode HandleFigureKey(KVContextBlock** slot, int32_t id, uint32_t key, char* text = nullptr,
                        int32_t size = 0, int32_t* length = nullptr);

// The figure's own keys: backspace and delete remove the selection's plot,
// "+" and "-" step the selected subplot to the next or previous plot (as
// ChoosePlot; 0 without a single selected subplot); any other key
// kKvUndefElement.
ErrCode FigureKeyCommand(KVContextBlock** slot, int32_t id, uint32_t key);

// One undo step back or forward: the figure taken from its variables, the
// draw handlers and the handlers that follow a change, then kStatusRepaint; 0 when
// there is no step to take. kKvNonexistentInstance.
ErrCode UndoFigureStep(KVContextBlock** slot, int32_t id);
ErrCode RedoFigureStep(KVContextBlock** slot, int32_t id);
bool CanUndoFigure(KVContextBlock* block, int32_t id);
bool CanRedoFigure(KVContextBlock* block, int32_t id);

// Selects (or deselects) every subplot, drawing or removing the marks
// through the block's port, when the instance allows it; 0, kStatusRepaint when the
// figure must be repainted, kKvNonexistentInstance.
ErrCode SelectAllSubplots(KVContextBlock* block, int32_t id, bool on);

}  // namespace vke
