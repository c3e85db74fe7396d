// The event record: the values a mouse handler reads (_x, _x0, _id, _ix and
// the others), each valid only while its flag bit is set, with the subplot
// and the pointer they were measured at. The hit test and the control drag
// routines fill it; the handler runner reads it from the context block.
#pragma once

#include <cstdint>

namespace vke {

struct EventState {
  double x, y;            // current point (data units)
  double x0, y0, z0;      // point on the hit object
  double dragPixel[2];    // pointer of a control drag (pixels)
  double x1, y1, z1;      // second point
  double dx, dy;          // stored displacement
  double q[2];            // stored scalar or pair
  int32_t id, nb, ix;     // object id, series, point index
  uint32_t flags;         // kEvent* bits: which fields hold values
  int32_t subplot;        // subplot tested, -1 none
  double pixelX, pixelY;  // the pointer (pixels)
};
static_assert(sizeof(EventState) == 152);

enum EventFlag : uint32_t {
  kEventX = 1u << 0,
  kEventX0 = 1u << 1,
  kEventX1 = 1u << 2,
  kEventY = 1u << 3,
  kEventY0 = 1u << 4,
  kEventY1 = 1u << 5,
  kEventZ0 = 1u << 6,
  kEventZ1 = 1u << 7,
  kEventQ = 1u << 8,
  kEventQPair = 1u << 9,
  kEventM = 1u << 10,  // the value of _m itself
  kEventId = 1u << 11,
  kEventNb = 1u << 12,
  kEventIx = 1u << 13,
  kEventDxDy = 1u << 14,
  kEventActsOnRelease = 1u << 15,  // a control that acts when the button is released
  kEventLegend = 1u << 16,         // the pointer is on the legend box
};

}  // namespace vke
