// Operations of the application model that the figure code calls, with the
// handler runner: Reset Data and the instance-wide code, the post-event
// handlers, and those whose own code is being built elsewhere, for which
// not_built.cpp answers "Not supported" until then.
#pragma once

#include "app/block.hpp"
#include "app/figure_pointer.hpp"
#include "app/handler_runner.hpp"
#include "app/post_event.hpp"
#include "app/reset_data.hpp"

namespace vke {

// A key typed into the text field being edited.
ErrCode HandleTextFieldKey(KVContextBlock** slot, int32_t id, uint32_t key);

// The mouse on the figure, at a point in pixels with the Shift key's state:
// the figure mode's tool or the application's mouse handlers. 0 done, 10201
// done and the figure must be repainted, 10203 a move dropped by the rate
// limit, else a failure. The moves and the wheel give a status text of at
// most capacity bytes and its length.
ErrCode FigureMouseDown(KVContextBlock** slot, int32_t id, double x, double y, bool shift);
ErrCode FigureMouseDrag(KVContextBlock** slot, int32_t id, double x, double y, bool shift,
                        char* text, int32_t capacity, int32_t* length);
ErrCode FigureMouseUp(KVContextBlock** slot, int32_t id, double x, double y, bool shift);
ErrCode FigureMouseHover(KVContextBlock** slot, int32_t id, double x, double y, bool shift,
                         char* text, int32_t capacity, int32_t* length);
ErrCode FigureMouseScroll(KVContextBlock** slot, int32_t id, double x, double y, double dx,
                          double dy, bool shift, char* text, int32_t capacity, int32_t* length);
// A press and release in the Select mode, the mode kept: the subplot under
// the point becomes the selection (the figure's context menu acts on it).
ErrCode FigureSelectClick(KVContextBlock** slot, int32_t id, double x, double y);

}  // namespace vke
