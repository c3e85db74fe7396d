// Placing a subplot: its position, the viewport inside its margins, the
// margin units, and fixed axes that keep showing the same data when the
// viewport changes size.
#include <cmath>

#include "graphics/scale_internal.hpp"

namespace vke {
namespace {

// Collapses a pair of edges that crossed (margins wider than the cell) to
// their midpoint; `ascending` is the order the edges should have.
void Uncross(double* a, double* b, bool ascending) {
  if (ascending ? *a <= *b : *a >= *b) return;
  *a = *b = (*a + *b) / 2;
}

// Scales a fixed axis by k around the viewport's centre: the data value
// shown at the old centre is shown at the new one.
void RescaleAxis(double* factor, double* offset, double oldCentre, double newCentre, double k) {
  *offset = newCentre - (oldCentre - *offset) * k;
  *factor *= k;
}

// Makes `inner` the viewport inside the position l, r, t, b: fixed axes keep
// showing the same data, the others are fitted to it again.
void PlaceViewport(SubplotRecord* r, const double inner[4], double left, double right, double top,
                   double bottom) {
  const double* old = r->viewport;
  const double oldWidth = old[kRight] - old[kLeft];
  const double oldHeight = old[kTop] - old[kBottom];
  const double newWidth = inner[kRight] - inner[kLeft];
  const double newHeight = inner[kTop] - inner[kBottom];
  // A size of 0 on either side (a first allocation, a collapsed cell) gives
  // no ratio; the fixed axes then keep their transform.
  double kx = 0;
  double ky = 0;
  if (r->scaleKind & kScaleEqual) {
    const double oldSize = std::fabs(oldHeight) + std::fabs(oldWidth);
    const double newSize = std::fabs(newHeight) + std::fabs(newWidth);
    if (oldSize > 0 && newSize > 0) {
      const double k = newSize / oldSize;
      kx = newWidth * oldWidth < 0 ? -k : k;
      ky = newHeight * oldHeight < 0 ? -k : k;
    }
  } else {
    if (oldWidth != 0 && newWidth != 0) kx = newWidth / oldWidth;
    if (oldHeight != 0 && newHeight != 0) ky = newHeight / oldHeight;
  }
  if (IsAxisFixed(*r, kAxisX) && kx != 0) {
    RescaleAxis(&r->xFactor, &r->xOffset, (old[kLeft] + old[kRight]) / 2,
                (inner[kLeft] + inner[kRight]) / 2, kx);
  }
  if (IsAxisFixed(*r, kAxisY) && ky != 0) {
    RescaleAxis(&r->yFactor, &r->yOffset, (old[kTop] + old[kBottom]) / 2,
                (inner[kTop] + inner[kBottom]) / 2, ky);
  }
  SetRect(r->viewport, inner[kLeft], inner[kRight], inner[kTop], inner[kBottom]);
  SetRect(r->position, left, right, top, bottom);
  ComputeSubplotTransform(r, true, kAutoMargin);
}

}  // namespace

void SetSubplotViewport(SubplotRecord* r, double left, double right, double top, double bottom) {
  const double unitY = std::fabs(r->marginUnit[1]);
  r->marginUnit[1] = top > bottom ? -unitY : unitY;
  double inner[4] = {left, right, top, bottom};
  if (r->optionWord & kOptMargin) {
    inner[kLeft] += r->margins[kLeft] * r->marginUnit[0];
    inner[kRight] -= r->margins[kRight] * r->marginUnit[0];
    inner[kTop] += r->margins[kTop] * r->marginUnit[1];
    inner[kBottom] -= r->margins[kBottom] * r->marginUnit[1];
    Uncross(&inner[kLeft], &inner[kRight], true);
    Uncross(&inner[kTop], &inner[kBottom], top <= bottom);
  }
  PlaceViewport(r, inner, left, right, top, bottom);
}

void SetViewportSideInsets(SubplotRecord* r, double left, double right) {
  const double* p = r->position;
  double inner[4] = {p[kLeft] + left, p[kRight] - right, r->viewport[kTop], r->viewport[kBottom]};
  Uncross(&inner[kLeft], &inner[kRight], true);
  PlaceViewport(r, inner, p[kLeft], p[kRight], p[kTop], p[kBottom]);
}

void SetMargins(SubplotRecord* r, double left, double right, double top, double bottom) {
  SetRect(r->margins, left, right, top, bottom);
  SetSubplotViewport(r, r->position[kLeft], r->position[kRight], r->position[kTop],
                     r->position[kBottom]);
  r->layoutPending = 0;
}

void GetMarginSizes(const SubplotRecord& r, double* width, double* height) {
  *width = 2 * (r.margins[kLeft] + r.margins[kRight]) * r.marginUnit[0];
  *height = 2 * std::fabs(r.marginUnit[1]) * (r.margins[kTop] + r.margins[kBottom]);
}

void SetMarginUnits(SubplotRecord* r, double xUnit, double yUnit) {
  r->marginUnit[0] = xUnit;
  r->marginUnit[1] =
      r->viewport[kTop] > r->viewport[kBottom] ? -std::fabs(yUnit) : std::fabs(yUnit);
}

void GetSubplotPosition(const SubplotRecord& r, double* left, double* right, double* top,
                        double* bottom) {
  CopyToOptional(r.position, {left, right, top, bottom});
}

bool IsYAxisDown(const SubplotRecord& r) {
  return r.viewport[kTop] <= r.viewport[kBottom];
}

}  // namespace vke
