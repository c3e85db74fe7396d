// "kvpack check": drives a packed application without a window through a
// script of steps, one per line ("#" starts a comment), and writes what
// happens to standard output: each step as "> step", the text its handlers
// write, "=> code message" when it answers other than 0, and the values it
// prints.
//
//   reset                      Reset Data
//   draw                       the draw handlers
//   event KIND X Y [target N]  a mouse event on subplot 0 (KIND: mousedown,
//                              mousedrag, mouseup, ...): a mousedown starts
//                              a new undo version and sets the reference
//                              point; the draw handlers follow, and after a
//                              mouseup the post-event handlers (which run
//                              also when the plot has no mouseup handler;
//                              other events without a handler do nothing)
//   key "K"                    a key typed on the figure (to the text field
//                              being edited, if any)
//   key NAME                   a key without a character: backspace, enter,
//                              delete, left, right, up, down
//   menu "TEXT"                the menu item of that text
//   state "TEXT"               the state of that menu item (bit 0 enabled,
//                              bit 1 checked)
//   undo, redo                 one step of the undo buffer
//   copy "TEXT"                the copy item; its text goes to the clipboard
//                              and is printed
//   paste "TEXT" ["DATA"]      the paste item, with the data (or the
//                              clipboard)
//   idle                       a timer tick: the idle handler when it is on
//   language "NAME"            the language of that code or name
//   print NAME                 the value of a variable
//   help "MODE"                the help text as shown in that mode ("n" as
//                              written, "r" RTF, "h" HTML, others plain)
//   png "FILE" [W H]           the figure drawn into a PNG file (640 x 480
//                              unless given)
//
// The mouse steps drive the figure as a window's view would, in pixels of
// the figure as the last png laid it out (640 x 480 before any png); each
// prints the status text it leaves ("status: ...") and its code:
//   mode N                     the figure mode (1 manipulate, 2 zoom, 3 zoom
//                              along x, 4 drag, 5 select)
//   mouse down X Y [shift]     the left button pressed
//   mouse drag X Y [shift]     a move with the button held
//   mouse up [shift]           the button released
//   hover X Y                  a move without a button
//   scroll X Y N               the wheel turned N notches away from the user
//   select X Y                 the context-menu button clicked
#pragma once

#include <string>

#include "tools/kvpack/tool_host.hpp"

namespace vke::kvpack {

// Runs the script on instance 0 of the host's block; false, with a message
// in *error, for a script line that is no step (its line number included).
// Steps that fail are reported and the script goes on.
bool RunCheckScript(ToolHost* host, const std::string& script, std::string* error);

}  // namespace vke::kvpack
