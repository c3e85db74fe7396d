// The figure modes as mouse tools: the tool a subplot takes under the
// global mode, the status text and cursor code of each tool, and the
// resize corners of selected subplots in a free layout.
#pragma once

#include <cstdint>

#include "graphics/figure_state.hpp"

namespace vke {

// The global figure modes.
enum FigureMode : int32_t {
  kModeManipulate = 1,
  kModeZoom = 2,
  kModeZoomX = 3,
  kModeDrag = 4,
  kModeSelect = 5,
};

// The tools of one subplot at one event.
enum MouseTool : int32_t {
  kToolManipulate = 1,
  kToolZoom = 2,
  kToolZoomX = 3,
  kToolDrag = 4,
  kToolSelect = 5,
  kToolZoomCamera = 6,  // no action
  kToolMoveCloser = 7,  // no action
  kToolOrbit = 8,
  kToolPanTilt = 9,
  kToolRoll = 10,
  kToolDollyLateral = 11,
  kToolDollyForward = 12,
};

// Cursor codes the view turns into shapes.
enum CursorCode : int32_t {
  kCursorNone = 0,
  kCursorManipulate = 1,
  kCursorZoomIn = 2,
  kCursorZoomOut = 3,
  kCursorZoomXIn = 4,
  kCursorZoomXOut = 5,
  kCursorDrag = 6,
  kCursorDragX = 7,
  kCursorSelect = 8,
  kCursorOrbit = 9,
  kCursorOrbitShift = 10,
  kCursorRoll = 11,
  kCursorPanTilt = 12,
  kCursorDollyLateral = 13,
  kCursorDollyForward = 14,
  kCursorNoObject = 15,  // manipulate, but the instance has nothing to hit
};

// Pixels around a selected subplot's corner that grab it for resizing.
inline constexpr double kResizeCornerTolerance = 3.0;

// Corners of a subplot, as HitTestResizeCorner names them.
enum ResizeCorner : int32_t {
  kCornerNone = 0,
  kCornerTopLeft = 1,
  kCornerTopRight = 2,
  kCornerBottomLeft = 3,
  kCornerBottomRight = 4,
};

// The tool of a subplot: a control panel (no valid transform) selects in
// mode 5 and manipulates otherwise; a 2-D subplot takes the mode; a 3-D one
// maps zooming and dragging to camera tools.
int32_t GetEffectiveTool(int32_t mode, bool shift, const SubplotRecord& subplot);

// The cursor of a tool that is not manipulate (zooming only while the
// subplot may still zoom that way).
int32_t ToolCursor(int32_t tool, bool shift, SubplotRecord* subplot);

// The last subplot under the point: by position in mode 5, else by
// viewport; the first edge of each axis included, the second excluded.
// kNoSubplot when none.
int32_t FindSubplotAt(const FigureState& fig, double x, double y, bool byPosition);

// The selected subplot (the last first) with a corner within 3.0 pixels of
// the point.
bool HitTestResizeCorner(const FigureState& fig, double x, double y, int32_t* subplot,
                         int32_t* corner);

// The status text of the tool of the subplot under (x, y) in a mode other
// than manipulate, or null: none for a point outside every subplot (but on
// a resize corner in select mode), a subplot without a draw handler, or a
// zoom that may go no further.
const char* FigureStatusText(FigureState* fig, int32_t mode, double x, double y, bool shift);

// Copies at most `size` bytes of the text. With `length` the count copied
// goes there and no terminator is written; otherwise the text is cut to
// size - 1 bytes and terminated. Returns the count copied.
int32_t CopyStatusText(const char* text, char* buffer, int32_t size, int32_t* length);

}  // namespace vke
