// The control tests: button edges, sliders, button rows and pop-up menus,
// each turning a pointer position into the control's new value.
#include "graphics/control_hit.hpp"

#include <algorithm>
#include <cmath>

#include "graphics/scale.hpp"

namespace vke {
namespace {

// Device units per button when the buttons would not fill the row.
constexpr double kButtonWidth = 80;

void StoreControl(int32_t id, int32_t index, int32_t item, uint32_t flags, EventState* hit) {
  hit->id = id;
  hit->nb = index;
  hit->ix = item;
  hit->flags = flags;
}

// The coordinate of value v on the slider's track.
double SliderPosition(const SliderSpec& s, double v) {
  const double span = s.track.right - s.track.left;
  const double t = s.logarithmic ? std::log(v / s.minimum) / std::log(s.maximum / s.minimum)
                                 : (v - s.minimum) / (s.maximum - s.minimum);
  return s.track.left + span * t;
}

}  // namespace

void ResetHitRecord(EventState* hit) {
  hit->x = 0;
  hit->flags = 0;
}

bool ClampPointToViewport(const SubplotRecord& s, double* x, double* y) {
  const double* v = s.viewport;
  const double nx = std::clamp(*x, std::min(v[kLeft], v[kRight]), std::max(v[kLeft], v[kRight]));
  const double ny = std::clamp(*y, std::min(v[kTop], v[kBottom]), std::max(v[kTop], v[kBottom]));
  const bool moved = nx != *x || ny != *y;
  *x = nx;
  *y = ny;
  return moved;
}

void NormaliseDragDistance(const SubplotRecord& s, double* dx, double* dy) {
  const double half = std::min(std::fabs(s.viewport[kRight] - s.viewport[kLeft]),
                               std::fabs(s.viewport[kBottom] - s.viewport[kTop])) /
                      2;
  if (!(half > 0)) return;
  *dx /= half;
  *dy /= half;
}

bool PointInRow(double x, double y, double left, double right, double top, double bottom) {
  return top <= y && y < bottom && left <= x && x <= right;
}

void SetHitValue(double value, double previous, EventState* hit) {
  hit->x = hit->dx = value;
  hit->x0 = hit->dy = previous;
  hit->flags |= kHitExplicitValue;
}

double ButtonEdge(double left, double right, int32_t n, const double* positions, int32_t count,
                  int32_t i) {
  if (positions != nullptr && count > 0) {
    if (i <= count) return left + positions[std::max(i, 1) - 1];
    const double step = count > 1 ? positions[count - 1] - positions[count - 2] : positions[0];
    return left + positions[count - 1] + (i - count) * step;
  }
  const double width = right - left;
  if (n > 0 && kButtonWidth * n < std::fabs(width)) return left + width / n * i;
  return left + (width < 0 ? -kButtonWidth : kButtonWidth) * i;
}

int32_t FindButtonAt(double x, double left, double right, int32_t n, const double* positions,
                     int32_t count) {
  const double d = right < left ? -1 : 1;
  if ((x - left) * d < 0) return -1;
  for (int32_t b = 0; b < n; ++b) {
    if ((ButtonEdge(left, right, n, positions, count, b + 1) - x) * d >= 0) return b;
  }
  return -1;
}

double SliderValueAt(const SliderSpec& s, double along) {
  const double lo = s.minimum, hi = s.maximum;
  const double span = s.track.right - s.track.left;
  // An empty track or range has no value but its minimum; a log slider
  // needs a positive range (its native refuses the others).
  if (!(span != 0) || !(hi != lo) || (s.logarithmic && !(lo > 0 && hi > 0))) return lo;
  const double t = (along - s.track.left) / span;
  const double v = s.logarithmic ? lo * std::pow(hi / lo, t) : lo + t * (hi - lo);
  if (std::isnan(v)) return lo;
  return std::clamp(v, std::min(lo, hi), std::max(lo, hi));
}

bool SliderHit(double along, double across, const SliderSpec& s, int32_t id, int32_t index,
               bool press, EventState* hit) {
  if (!press) {
    hit->x = hit->x1 = SliderValueAt(s, along);
    hit->flags |= kEventX | kHitValueChanged;
    return true;
  }
  const double from = std::min(s.track.left, s.track.right);
  const double to = std::max(s.track.left, s.track.right);
  if (!PointInRow(along, across, from, to, s.track.low, s.track.high)) return false;
  int32_t best = -1;
  double bestDistance = 0;
  for (int32_t i = 0; i < s.count; ++i) {
    const double v = s.values[i];
    if (!(v >= std::min(s.minimum, s.maximum) && v <= std::max(s.minimum, s.maximum))) continue;
    const double d = std::fabs(SliderPosition(s, v) - along);
    if (best < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  if (best < 0) return false;
  hit->x = hit->x0 = s.values[best];
  StoreControl(id, index, best + 1, kHitSliderPicked, hit);
  return true;
}

bool ButtonRowHit(double x, double y, const ButtonRowSpec& b, int32_t id, int32_t index, bool press,
                  EventState* hit) {
  const ControlRow& r = b.row;
  const bool inRow =
      PointInRow(x, y, std::min(r.left, r.right), std::max(r.left, r.right), r.low, r.high);
  // Column 0 holds the row's label; button j sits in column j.
  const int32_t column =
      inRow ? FindButtonAt(x, r.left, r.right, b.columns, b.positions, b.positionCount) : -1;
  const int32_t item = column >= 1 && column <= b.items ? column : -1;
  if (!press) {
    if (item > 0 && item == hit->ix) {
      hit->flags |= kHitPressedUnderPointer;
    } else {
      hit->flags &= ~kHitPressedUnderPointer;
    }
    return true;
  }
  if (item < 0) return false;
  switch (b.kind) {
    case kButtonRadio:
      hit->x = item;
      hit->x0 = b.state;
      StoreControl(id, index, item, kHitItemSet, hit);
      break;
    case kButtonCheck:
      hit->x = item <= 31 ? b.state ^ (1 << (item - 1)) : b.state;
      hit->x0 = b.state;
      StoreControl(id, index, item, kHitItemSet, hit);
      break;
    default:
      StoreControl(id, index, item, kHitButtonPressed, hit);
      break;
  }
  return true;
}

bool PopupHit(double x, double y, const ControlRow& box, int32_t count, int32_t selected,
              int32_t id, int32_t index, bool press, const SubplotRecord& subplot,
              EventState* hit) {
  if (press) {
    if (!PointInRow(x, y, std::min(box.left, box.right), std::max(box.left, box.right), box.low,
                    box.high)) {
      return false;
    }
    hit->x = hit->x0 = selected;
    StoreControl(id, index, -1, kHitPopupPicked, hit);
    return true;
  }
  // The items stand above and below the selected one in the direction of
  // the y axis, one item height apart.
  const double height = box.high - box.low;
  if (!(height > 0) || count < 1) return false;
  const double rows = std::round((y - (box.low + box.high) / 2) / height);
  const double step = IsYAxisDown(subplot) ? rows : -rows;
  hit->x = hit->x1 = std::clamp(selected + step, 1.0, static_cast<double>(count));
  hit->flags |= kEventX | kHitValueChanged;
  return true;
}

}  // namespace vke
