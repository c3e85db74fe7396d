// Tools, cursor codes, status texts and resize corners of the figure modes.
#include "graphics/mouse_tools.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/scale.hpp"

namespace vke {
namespace {

// The status text of each tool; a text for Shift follows its plain one.
struct StatusText {
  int32_t tool;
  bool shift;
  const char* text;
};
constexpr StatusText kStatusTexts[] = {
    {kToolZoom, false, "Zoom (hold down the Shift key to zoom out)"},
    {kToolZoomX, false, "Zoom along x axis (hold down the Shift key to zoom out)"},
    {kToolDrag, false, "Drag (hold down the Shift key to drag along x axis)"},
    {kToolSelect, false, "Select (hold down the Shift key for multiple selection)"},
    {kToolZoomCamera, false, "Zoom (hold down the Shift key to zoom out)"},
    {kToolMoveCloser, false, "Move closer (hold down the Shift key to move away)"},
    {kToolOrbit, false, "Orbit around target"},
    {kToolPanTilt, false, "Pan and tilt camera"},
    {kToolRoll, false, "Roll camera around view axis"},
    {kToolDollyLateral, false, "Make camera dolly laterally"},
    {kToolDollyForward, false, "Make camera dolly forward"},
    {kToolDollyForward, true, "Make camera dolly forward (fixed target)"},
};
constexpr const char* kResizeText = "Resize";

// The cursor of each tool but manipulate, without and with Shift.
struct ToolCursorEntry {
  int32_t tool;
  int32_t plain;
  int32_t shifted;
};
constexpr ToolCursorEntry kToolCursors[] = {
    {kToolZoom, kCursorZoomIn, kCursorZoomOut},      // while it may zoom
    {kToolZoomX, kCursorZoomXIn, kCursorZoomXOut},   // while x may zoom
    {kToolDrag, kCursorDrag, kCursorDragX},          // pan
    {kToolSelect, kCursorSelect, kCursorSelect},     // select subplots
    {kToolOrbit, kCursorOrbit, kCursorOrbitShift},   // camera orbit
    {kToolPanTilt, kCursorPanTilt, kCursorPanTilt},  // camera pan and tilt
    {kToolRoll, kCursorRoll, kCursorRoll},           // camera roll
    {kToolDollyLateral, kCursorDollyLateral, kCursorDollyLateral},
    {kToolDollyForward, kCursorDollyForward, kCursorDollyForward},
};

bool Between(double v, double first, double second) {
  return first <= second ? first <= v && v < second : second < v && v <= first;
}

bool Near(double v, double edge) {
  return edge - kResizeCornerTolerance <= v && v <= edge + kResizeCornerTolerance;
}

// Zooming with this tool may go on in the direction Shift chooses.
bool MayZoom(int32_t tool, bool shift, SubplotRecord* s) {
  if (tool == kToolZoom) return CanZoom(s, !shift);
  return !(s->scaleKind & kScaleEqual) && CanZoomX(s, !shift);
}

}  // namespace

int32_t GetEffectiveTool(int32_t mode, bool shift, const SubplotRecord& s) {
  if (!s.transformValid) return mode == kModeSelect ? kToolSelect : kToolManipulate;
  if (!s.is3d) return mode;
  switch (mode) {
    case kModeZoom:
      return kToolZoom;
    case kModeZoomX:
      return s.orthographic ? kToolZoom : kToolDollyForward;
    case kModeDrag:
      return shift ? kToolDollyLateral : kToolOrbit;
    default:
      return mode;
  }
}

int32_t ToolCursor(int32_t tool, bool shift, SubplotRecord* subplot) {
  for (const ToolCursorEntry& e : kToolCursors) {
    if (e.tool != tool) continue;
    if ((tool == kToolZoom || tool == kToolZoomX) && !MayZoom(tool, shift, subplot)) {
      return kCursorNone;
    }
    return shift ? e.shifted : e.plain;
  }
  return kCursorNone;
}

int32_t FindSubplotAt(const FigureState& fig, double x, double y, bool byPosition) {
  for (int32_t k = ActiveSubplotCount(fig) - 1; k >= 0; --k) {
    const double* r = byPosition ? fig.subplots[k].position : fig.subplots[k].viewport;
    if (Between(x, r[kLeft], r[kRight]) && Between(y, r[kTop], r[kBottom])) return k;
  }
  return kNoSubplot;
}

bool HitTestResizeCorner(const FigureState& fig, double x, double y, int32_t* subplot,
                         int32_t* corner) {
  *corner = kCornerNone;
  for (int32_t k = ActiveSubplotCount(fig) - 1; k >= 0; --k) {
    if (!((fig.selection >> k) & 1u)) continue;
    const double* p = fig.subplots[k].position;
    int32_t c = kCornerNone;
    if (Near(x, p[kLeft])) {
      c = Near(y, p[kTop]) ? kCornerTopLeft : Near(y, p[kBottom]) ? kCornerBottomLeft : c;
    } else if (Near(x, p[kRight])) {
      c = Near(y, p[kTop]) ? kCornerTopRight : Near(y, p[kBottom]) ? kCornerBottomRight : c;
    }
    if (c != kCornerNone) {
      *subplot = k;
      *corner = c;
      return true;
    }
  }
  return false;
}

const char* FigureStatusText(FigureState* fig, int32_t mode, double x, double y, bool shift) {
  int32_t k = FindSubplotAt(*fig, x, y, false);
  int32_t corner = kCornerNone, cornerSubplot = kNoSubplot;
  const bool freeSelect = mode == kModeSelect && fig->freeLayout;
  if (freeSelect) HitTestResizeCorner(*fig, x, y, &cornerSubplot, &corner);
  if (k == kNoSubplot) k = cornerSubplot;
  if (k == kNoSubplot) return nullptr;
  SubplotRecord* s = &fig->subplots[k];
  if (s->handlers[kHandlerDraw] < 0) return nullptr;
  const int32_t tool = GetEffectiveTool(mode, shift, *s);
  if ((tool == kToolZoom || tool == kToolZoomX) && !MayZoom(tool, shift, s)) return nullptr;
  if (tool == kToolSelect && corner != kCornerNone) return kResizeText;
  const char* text = nullptr;
  for (const StatusText& e : kStatusTexts) {
    if (e.tool == tool && (!e.shift || shift)) text = e.text;
  }
  return text;
}

int32_t CopyStatusText(const char* text, char* buffer, int32_t size, int32_t* length) {
  if (buffer == nullptr || size < 1) {
    if (length != nullptr) *length = 0;
    return 0;
  }
  const auto full = static_cast<int32_t>(std::strlen(text));
  const int32_t n = std::min(full, length != nullptr ? size : size - 1);
  std::memcpy(buffer, text, static_cast<size_t>(n));
  if (length != nullptr) {
    *length = n;
  } else {
    buffer[n] = '\0';
  }
  return n;
}

}  // namespace vke
