// What a press or a drag does to a control of a control panel or to a 3-D
// sensor: the button, slider and pop-up tests, the value a slider takes at
// the pointer, and the point a sensor moves to. The results go into the
// event record the handlers read: the new value in x, the value before the
// gesture in x0, the control's id, index and item.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/event_record.hpp"
#include "graphics/figure_draw.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// Flag words of a control hit: what the handlers are given.
inline constexpr uint32_t kHitSliderPicked = kEventX | kEventX0 | kEventId | kEventNb | kEventIx;
inline constexpr uint32_t kHitItemSet = kEventX | kEventX0 | kEventId | kEventNb;
inline constexpr uint32_t kHitButtonPressed = kEventId | kEventNb | kEventIx;
inline constexpr uint32_t kHitPopupPicked = kEventX | kEventX0 | kEventId;
// Bits of a control hit that a drag sets.
inline constexpr uint32_t kHitValueChanged = kEventX1;         // the value changed while dragging
inline constexpr uint32_t kHitDragging = kEventM;              // a drag is in progress
inline constexpr uint32_t kHitPressedUnderPointer = kEventIx;  // the pressed item is still under it
inline constexpr uint32_t kHitExplicitValue = kEventDxDy;      // a value was set explicitly

// The pixel coordinates of a control row: along the row from `left` to
// `right`, across it from `low` to `high`.
struct ControlRow {
  double left, right, low, high;
};

// Kinds of a button row.
enum ButtonKind : char { kButtonPush = 'b', kButtonCheck = 'c', kButtonRadio = 'r' };

// x = 0 and no value valid.
void ResetHitRecord(EventState* hit);
// Clamps the point into the viewport (either edge order); true when it moved.
bool ClampPointToViewport(const SubplotRecord& subplot, double* x, double* y);
// Divides both by half the smaller side of the viewport.
void NormaliseDragDistance(const SubplotRecord& subplot, double* dx, double* dy);
// top <= y < bottom and left <= x <= right.
bool PointInRow(double x, double y, double left, double right, double top, double bottom);
// Stores the value (also as dx) and the one it replaces (also as dy).
void SetHitValue(double value, double previous, EventState* hit);

// The right edge of button i (1-based) of a row of n: with positions,
// left + positions[i - 1], beyond them the last spacing repeated; without,
// 80 units per button when n of them fill the row, else the row's nth part.
double ButtonEdge(double left, double right, int32_t n, const double* positions, int32_t count,
                  int32_t i);
// The 0-based button whose right edge is at or beyond x; -1 left of the row
// or beyond the last button.
int32_t FindButtonAt(double x, double left, double right, int32_t n, const double* positions,
                     int32_t count);

// A slider: the track along the row, its values and range.
struct SliderSpec {
  ControlRow track;
  const double* values;
  int32_t count;
  double minimum, maximum;
  bool logarithmic;
};
// The value at coordinate `along` of the track, clamped to the range; the
// minimum on an empty track or range.
double SliderValueAt(const SliderSpec& slider, double along);
// Press: when the point lies on the row, picks the thumb nearest to it; drag:
// the value at the pointer, with kHitValueChanged. True when the record
// changed.
bool SliderHit(double along, double across, const SliderSpec& slider, int32_t id, int32_t index,
               bool press, EventState* hit);

// A row of buttons: its columns (n, tab positions), item count and state.
struct ButtonRowSpec {
  ControlRow row;
  int32_t columns;
  const double* positions;
  int32_t positionCount;
  int32_t items;  // buttons after the label
  char kind;      // ButtonKind
  int32_t state;  // pressed or selected item, or the check boxes' bits
};
// Press: the item under the point (radio: value = item; check box: the
// state with the item's bit toggled; push button: the item); drag: whether
// the pressed item is still under the point.
bool ButtonRowHit(double x, double y, const ButtonRowSpec& buttons, int32_t id, int32_t index,
                  bool press, EventState* hit);

// Press: the selected item when the point is on the box; drag: the item that
// many item heights from the selected one, clamped to 1 .. count, as the
// value and the second point (kHitValueChanged).
bool PopupHit(double x, double y, const ControlRow& box, int32_t count, int32_t selected,
              int32_t id, int32_t index, bool press, const SubplotRecord& subplot, EventState* hit);

// Recomputes the control or sensor `hit->id` (and, for controls,
// `hit->nb`) of subplot k from a drag to pixel (x, y) with `button` (1 left,
// 2 right) held; a control not laid out yet is laid out by drawing the group
// without output. False when the subplot has no group or the control no
// layout. A held pop-up menu acts on release and keeps its list open, the
// item under the pointer marked; a held push button acts on release and is
// shown pressed while the pointer stays on it. `shown`, when given, is set
// when such a mark changed, so that the figure is painted again.
bool UpdateControlFromDrag(const FigureCanvas& canvas, int32_t k, SubplotRecord* subplot, double x,
                           double y, int32_t button, EventState* hit, bool* shown = nullptr);

// --- 3-D sensors ---

// Moves the point sensor at `point` so that it projects to pixel (X, Y),
// staying in the plane through it with normal `normal`; the new point goes
// to x1, y1, z1. False, with nothing changed, when the plane is seen edge on.
bool PointSensorDrag(const SubplotRecord& subplot, double X, double Y, const double point[3],
                     const double normal[3], EventState* hit);
// Moves the grabbed point of a sphere sensor around `centre` to where the
// ray through pixel (X, Y) meets the sphere through it: the point goes to
// x1, y1, z1, its azimuth and elevation about the centre to q.
bool SphereSensorDrag(const SubplotRecord& subplot, double X, double Y, const double centre[3],
                      const double grabbed[3], EventState* hit);
// Where the ray meets the sphere of that radius around the origin (the
// nearer crossing; the ray's nearest point when it misses), as
// atan2(y, x) and atan2(z, horizontal distance). False for a null direction.
bool RayToAngles(const double origin[3], const double direction[3], double radius, double* azimuth,
                 double* elevation);

}  // namespace vke

namespace vke {

// The control commands' payloads as the panel drawing leaves them. Each
// reader answers false for a payload too short for what it reads; `laidOut`
// tells whether the drawing has written the control's rectangle yet.
struct ControlCommand {
  int32_t code;
  const std::byte* data;  // payload
  int32_t length;         // payload doubles
};
bool ReadSlider(const ControlCommand& c, SliderSpec* out, bool* laidOut);
// The row runs over the viewport's width; tab positions as given.
bool ReadButtonRow(const ControlCommand& c, const SubplotRecord& subplot, const double* positions,
                   int32_t positionCount, ButtonRowSpec* out, bool* laidOut);
bool ReadPopup(const ControlCommand& c, ControlRow* box, int32_t* count, int32_t* selected,
               bool* laidOut);
bool ReadTextField(const ControlCommand& c, ControlRow* field, bool* laidOut);
// The tab positions of command 66; false when its count overruns it.
bool ReadTabStops(const ControlCommand& c, const double** positions, int32_t* count);

}  // namespace vke
