// The mouse on an instance's figure, as the view hands it over: a point in
// pixels of the figure and the Shift key's state (a middle-button press or
// drag comes as a left one with Shift). The figure mode becomes a tool for
// the subplot under the pointer; the manipulate tool runs the application's
// mouse handlers for the object under it, the others zoom, pan, select,
// move and resize subplots or turn a 3-D camera. Feedback that needs no
// repaint is drawn through the port's focus rectangle. Also the subplot
// selection of an instance and the keyboard editing of a text field.
//
// Results: 0 done, nothing to repaint (a press keeps the mouse); kStatusNothingDone
// nothing to do here (no interaction record, no press, no subplot or no
// tool at the point); kStatusRepaint done, repaint (a press keeps the mouse); kStatusMoveDropped
// a move dropped by the rate limit; kKvNonexistentInstance no such instance; any other code
// a handler's failure, which ends the press.
//
// The operations that may run handlers take the block's slot: the block may
// move. Status texts go to a caller's buffer of `size` bytes: its length to
// *length when given (no terminator), else NUL-terminated.
#pragma once

#include "app/block.hpp"

namespace vke {

// Stores the figure mode (6 and 7 as 2, 8 to 12 as 4); leaving mode 1 first
// ends the hover of every instance, in instance order.
void SetFigureMode(KVContextBlock** slot, int32_t mode);

ErrCode FigureMouseDown(KVContextBlock** slot, int32_t id, double x, double y, bool shift);
// A move with the button held; the buffer receives the handler's _msg.
ErrCode FigureMouseDrag(KVContextBlock** slot, int32_t id, double x, double y, bool shift,
                        char* text, int32_t size, int32_t* length);
// The release acts where the last move left the pointer: a move the rate
// limit dropped just before it is made first.
ErrCode FigureMouseUp(KVContextBlock** slot, int32_t id, bool shift);
// A move without a button; the buffer receives the tool's status text or the
// "mouseover" handler's _msg.
ErrCode FigureMouseHover(KVContextBlock** slot, int32_t id, double x, double y, bool shift,
                         char* text, int32_t size, int32_t* length);
// A wheel turn of (wheelX, wheelY) notches.
ErrCode FigureMouseScroll(KVContextBlock** slot, int32_t id, double x, double y, double wheelX,
                          double wheelY, bool shift, char* text, int32_t size, int32_t* length);
// A press and release in Select mode whatever the mode, without Shift (the
// context-menu button): the last result.
ErrCode FigureSelectClick(KVContextBlock** slot, int32_t id, double x, double y);

// Runs the hovered subplot's "mouseout" handler and forgets the hover; with
// redraw the draw handlers follow its success (kStatusRepaint), without it
// *redrawNeeded (when given) tells that they should. 0, kStatusRepaint, kKvNonexistentInstance or
// the handler's failure.
ErrCode LeaveHoveredSubplot(KVContextBlock** slot, int32_t id, bool redraw, bool* redrawNeeded);

// A click on subplot k (-1 none): without Shift it becomes the only
// selected subplot unless it is selected already; with Shift it is toggled.
// The marks follow through the port's focus rectangle.
void ToggleSubplotSelection(KVContextBlock* block, int32_t id, int32_t k, bool shift);

// Moves the plots of the grid cells in the mask by dc columns and dr rows,
// from the figure as it was at the press (_pl, _3d and one version back
// _ppl): without Shift the plots they displace fill the cells they leave,
// with Shift those cells keep their plots. A failing read changes nothing;
// reads and stores without room grow the block. The shortage where it
// cannot grow, kOk otherwise.
ErrCode MoveSelectedSubplots(KVContextBlock** slot, int32_t id, uint32_t mask, int32_t dc,
                             int32_t dr, bool shift);

// Draws (flag 1) or erases (0) the outlines of the subplots that follow the
// press, offset by (dx, dy), through the port's focus rectangle.
void DrawSelectionOutlines(KVContextBlock* block, int32_t id, double dx, double dy, bool draw);

// Draws again, on a figure just painted anew, the zoom rectangle or the
// outlines a drag in progress had drawn on the same target by inversion.
void RedrawGestureFeedback(KVContextBlock* block, int32_t id);

// Hands the number typed into the text field being edited to the field's
// "mousedrag" handler (as _x1, with the field's _id and _nb) in a new undo
// version; the text buffer, when given, receives the handler's _msg text.
// 0 (no edit, no handler or no number), kStatusRepaint, kKvNonexistentInstance or the
// handler's failure.
ErrCode CommitTextFieldEdit(KVContextBlock** slot, int32_t id, char* text = nullptr,
                            int32_t size = 0, int32_t* length = nullptr);

// Ends the edit of a text field: commits it as CommitTextFieldEdit does, then
// runs the draw handlers, so the field shows its variable whether the number
// was taken or not (and the post-event handlers after a number taken).
// kStatusRepaint, kKvNonexistentInstance, the handler's failure or the draw
// handlers'.
ErrCode EndTextFieldEdit(KVContextBlock** slot, int32_t id, char* text = nullptr, int32_t size = 0,
                         int32_t* length = nullptr);

// Ends the edit of a text field without handing its text over, for the
// commands that put other data in place; the caller draws anew.
void DropTextFieldEdit(KVContextBlock* block, int32_t id);

// A key typed while a text field is edited; Enter commits and ends the
// edit, the handler's _msg text going to the text buffer when given. 0 when
// no field is edited, kStatusRepaint, kKvUndefElement for a control
// character the field does not take (the window's commands may), 12 when
// the edited command is no text field any more, kKvNonexistentInstance.
ErrCode TextFieldKey(KVContextBlock** slot, int32_t id, uint32_t key, char* text = nullptr,
                     int32_t size = 0, int32_t* length = nullptr);

}  // namespace vke
