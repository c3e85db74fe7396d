// Reading the control commands as the panel drawing laid them out, and the
// drag of a control, a root-locus gain or a 3-D sensor through the commands
// of the subplot that was hit.
#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/control_hit.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/scale.hpp"
#include "numerics/rational.hpp"

namespace vke {
namespace {

// Payload fields of the controls.
constexpr int32_t kSliderMin = 0, kSliderMax = 1, kSliderTrackStart = 3, kSliderTrackEnd = 4,
                  kSliderLow = 5, kSliderHigh = 6, kSliderCount = 7, kSliderValues = 8;
constexpr int32_t kButtonState = 0, kButtonColumns = 1, kButtonLow = 2, kButtonHigh = 3,
                  kButtonTextLength = 4, kButtonText = 5;
constexpr int32_t kPopupSelected = 0, kPopupHighlighted = 1, kPopupCount = 2, kPopupLeft = 5,
                  kPopupRight = 6, kPopupLow = 7, kPopupHigh = 8, kPopupFields = 9;
constexpr int32_t kFieldLeft = 0, kFieldRight = 1, kFieldLow = 2, kFieldHigh = 3, kFieldFields = 4;
// Sensor payload: its kind letter, the buttons it follows, then its values.
constexpr int32_t kSensorKind = 0, kSensorPart = 1, kSensorValues = 2;
constexpr int32_t kPointSensorValues = 6, kSphereSensorValues = 3;
// Root locus: numerator and denominator degrees, then their coefficients.
constexpr int32_t kLocusNumDegree = 0, kLocusDenDegree = 1, kLocusCoefficients = 2;

double Field(const ControlCommand& c, int32_t i) {
  return PayloadDouble(c.data, static_cast<uint32_t>(i));
}

const double* Doubles(const ControlCommand& c, int32_t i) {
  return reinterpret_cast<const double*>(c.data) + i;
}

// A count or degree read from a payload, -1 when it is not a whole number
// from 0 to `limit`.
int32_t CountField(double v, int32_t limit) {
  if (!(v >= 0 && v <= limit)) return -1;
  return static_cast<int32_t>(v);
}

bool IsControl(int32_t code) {
  return code >= kCmdFirstSlider && code <= kCmdPopupMenu;
}

bool IsLaidOut(const ControlCommand& c) {
  switch (c.code) {
    case kCmdFirstSlider:
    case kCmdLastSlider:
      return Field(c, kSliderTrackStart) != Field(c, kSliderTrackEnd);
    case kCmdPopupMenu:
      return Field(c, kPopupLeft) != Field(c, kPopupRight);
    default:
      return Field(c, kButtonLow) != Field(c, kButtonHigh);
  }
}

// The root-locus gain at data point (x, y): the real part of
// -den(s) / num(s) at s = x + iy.
bool LocusGainAt(const ControlCommand& c, double x, double y, double* gain) {
  if (c.length < kLocusCoefficients) return false;
  const int32_t nNum = CountField(Field(c, kLocusNumDegree), c.length) + 1;
  const int32_t nDen = CountField(Field(c, kLocusDenDegree), c.length) + 1;
  if (nNum < 1 || nDen < 1 || kLocusCoefficients + nNum + nDen > c.length) return false;
  const double* num = Doubles(c, kLocusCoefficients);
  const ComplexValue v = EvalRationalAtComplex(num + nNum, nDen, num, nNum, {x, y});
  *gain = -v.re;
  return true;
}

}  // namespace

bool ReadSlider(const ControlCommand& c, SliderSpec* out, bool* laidOut) {
  if (c.length < kSliderValues) return false;
  const int32_t k = CountField(Field(c, kSliderCount), c.length);
  if (k < 0 || kSliderValues + k > c.length) return false;
  *out = SliderSpec{{Field(c, kSliderTrackStart), Field(c, kSliderTrackEnd), Field(c, kSliderLow),
                     Field(c, kSliderHigh)},
                    Doubles(c, kSliderValues),
                    k,
                    Field(c, kSliderMin),
                    Field(c, kSliderMax),
                    c.code == kCmdLastSlider};
  *laidOut = IsLaidOut(c);
  return true;
}

bool ReadButtonRow(const ControlCommand& c, const SubplotRecord& subplot, const double* positions,
                   int32_t positionCount, ButtonRowSpec* out, bool* laidOut) {
  if (c.length < kButtonText) return false;
  const int32_t bytes = CountField(Field(c, kButtonTextLength), (c.length - kButtonText) * 8);
  const int32_t columns = CountField(Field(c, kButtonColumns), INT32_MAX);
  if (bytes < 0 || columns < 0) return false;
  // One button per tab-separated item after the row's label.
  const auto* text = reinterpret_cast<const char*>(c.data + kButtonText * 8);
  const auto items = static_cast<int32_t>(std::count(text, text + bytes, '\t'));
  const char kinds[] = {kButtonPush, kButtonCheck, kButtonRadio};
  *out = ButtonRowSpec{{subplot.viewport[kLeft], subplot.viewport[kRight], Field(c, kButtonLow),
                        Field(c, kButtonHigh)},
                       columns,
                       positions,
                       positionCount,
                       items,
                       kinds[c.code - kCmdPushButton],
                       static_cast<int32_t>(std::clamp(Field(c, kButtonState), -1e9, 1e9))};
  *laidOut = IsLaidOut(c);
  return true;
}

bool ReadPopup(const ControlCommand& c, ControlRow* box, int32_t* count, int32_t* selected,
               bool* laidOut) {
  if (c.length < kPopupFields) return false;
  *box = {Field(c, kPopupLeft), Field(c, kPopupRight), Field(c, kPopupLow), Field(c, kPopupHigh)};
  *count = std::max(CountField(Field(c, kPopupCount), INT32_MAX), 0);
  *selected = static_cast<int32_t>(std::clamp(Field(c, kPopupSelected), 0.0, 1e9));
  *laidOut = IsLaidOut(c);
  return true;
}

bool ReadTextField(const ControlCommand& c, ControlRow* field, bool* laidOut) {
  if (c.length < kFieldFields) return false;
  *field = {Field(c, kFieldLeft), Field(c, kFieldRight), Field(c, kFieldLow), Field(c, kFieldHigh)};
  *laidOut = field->left != field->right;
  return true;
}

bool ReadTabStops(const ControlCommand& c, const double** positions, int32_t* count) {
  if (c.length < 1) return false;
  const int32_t k = CountField(Field(c, 0), c.length - 1);
  if (k < 0) return false;
  *positions = Doubles(c, 1);
  *count = k;
  return true;
}

bool UpdateControlFromDrag(const FigureCanvas& canvas, int32_t k, SubplotRecord* subplot, double x,
                           double y, int32_t button, EventState* hit, bool* shown) {
  // Lending scratch memory to the layout may compact the store: let that
  // happen before the object is found, so that nothing moves during the walk.
  ObjectListFreeArea(canvas.list, *canvas.writer);
  uint32_t group = 0;
  ObjectSpan span{};
  if (!FindSubplotCommands(canvas.list, canvas.id, k, &group) ||
      !ObjectListFind(canvas.list, canvas.id, &span)) {
    return false;
  }
  hit->dragPixel[0] = x;
  hit->dragPixel[1] = y;
  std::byte* payload = canvas.list.At(span.position);
  const double* tabs = nullptr;
  int32_t tabCount = 0;
  bool vertical = false, laidOutOnce = false;
  CommandHeader h{};
  uint32_t at = group;
  if (ReadCommandAt(payload, span.length, at, &h) && h.code == kCmdObjectBegin) {
    at += kCommandHeaderDoubles + static_cast<uint32_t>(h.length);
  }
  for (; ReadCommandAt(payload, span.length, at, &h) && h.code != kCmdObjectBegin;
       at += kCommandHeaderDoubles + static_cast<uint32_t>(h.length)) {
    const ControlCommand c{h.code, payload + size_t{at + kCommandHeaderDoubles} * 8, h.length};
    if (h.code == kCmdTabStops && !ReadTabStops(c, &tabs, &tabCount)) tabCount = 0;
    if (h.code == kCmdVerticalGroup) vertical = h.length > 0 && Field(c, 0) != 0;
    if (h.id != hit->id) continue;
    if (IsControl(h.code) && h.index != hit->nb) continue;
    if (IsControl(h.code) && !IsLaidOut(c) && !laidOutOnce) {
      // Lay the panel out by drawing the group without output.
      laidOutOnce = true;
      uint32_t offset = group;
      DrawSubplotGroup(canvas, &offset, true);
    }
    switch (h.code) {
      case kCmdSensor3: {
        if (h.length < kSensorValues) break;
        const auto part = static_cast<int32_t>(std::clamp(Field(c, kSensorPart), 0.0, 3.0));
        if (!(part & button)) break;
        const auto kind = Field(c, kSensorKind);
        if (kind == 'p' && h.length >= kSensorValues + kPointSensorValues) {
          return PointSensorDrag(*subplot, x, y, Doubles(c, kSensorValues),
                                 Doubles(c, kSensorValues + 3), hit);
        }
        if (kind == 's' && h.length >= kSensorValues + kSphereSensorValues) {
          // The sphere runs through the 3-D point the press picked; without
          // one, through the last point of the drag.
          const bool picked = hit->flags & kEventZ0;
          const double grabbed[3] = {picked ? hit->x0 : hit->x1, picked ? hit->y0 : hit->y1,
                                     picked ? hit->z0 : hit->z1};
          return SphereSensorDrag(*subplot, x, y, Doubles(c, kSensorValues), grabbed, hit);
        }
        break;
      }
      case kCmdLastSystem: {
        double dataX = 0, dataY = 0, gain = 0;
        DeviceToData(*subplot, x, y, &dataX, &dataY);
        if (!LocusGainAt(c, dataX, dataY, &gain)) break;
        hit->x = hit->x1 = gain;
        hit->flags |= kEventX | kHitValueChanged;
        return true;
      }
      case kCmdFirstSlider:
      case kCmdLastSlider: {
        SliderSpec s{};
        bool laidOut = false;
        if (!ReadSlider(c, &s, &laidOut) || !laidOut) return false;
        return SliderHit(vertical ? y : x, vertical ? x : y, s, h.id, h.index, false, hit);
      }
      case kCmdPushButton:
      case kCmdCheckBox:
      case kCmdRadioButton: {
        ButtonRowSpec b{};
        bool laidOut = false;
        if (!ReadButtonRow(c, *subplot, tabs, tabCount, &b, &laidOut) || !laidOut) return false;
        ButtonRowHit(x, y, b, h.id, h.index, false, hit);
        if (h.code == kCmdPushButton) {
          // The button acts on release; while it is held under the pointer
          // its row shows it pressed.
          hit->flags |= kEventActsOnRelease;
          const double held = hit->flags & kHitPressedUnderPointer ? hit->ix : 0;
          std::byte* data = payload + size_t{at + kCommandHeaderDoubles} * 8;
          if (PayloadDouble(data, kButtonState) != held) {
            SetPayloadDouble(data, kButtonState, held);
            if (shown != nullptr) *shown = true;
          }
        }
        // A pressed radio button ends the walk; the others may share the id.
        if (h.code == kCmdRadioButton) return true;
        break;
      }
      case kCmdPopupMenu: {
        ControlRow box{};
        int32_t count = 0, selected = 0;
        bool laidOut = false;
        if (!ReadPopup(c, &box, &count, &selected, &laidOut) || !laidOut) return false;
        if (!PopupHit(x, y, box, count, selected, h.id, h.index, false, *subplot, hit))
          return false;
        // The list stays open while the button is held, the item under the
        // pointer marked; the choice is made at the release.
        hit->flags |= kEventActsOnRelease;
        std::byte* data = payload + size_t{at + kCommandHeaderDoubles} * 8;
        if (PayloadDouble(data, kPopupHighlighted) != hit->x) {
          SetPayloadDouble(data, kPopupHighlighted, hit->x);
          if (shown != nullptr) *shown = true;
        }
        return true;
      }
      default:
        break;
    }
  }
  return true;
}

}  // namespace vke
