// The object hit test: which drawing command of a subplot lies under the
// pointer and where on it. Vertices, bar ends and control rows (the point
// class) beat infinite lines, circles and response curves (the line class),
// which beat images, pseudo-colour cells and active regions (the region
// class); within a class the nearest wins, the earlier on a tie. The legend
// box and the control rows have tests of their own. The result goes into an
// event record for the mouse handlers.
#pragma once

#include <cstdint>

#include "graphics/event_record.hpp"
#include "graphics/figure_draw.hpp"

namespace vke {

// The pointer's distance limit of every hit, in pixels.
inline constexpr double kHitTolerance = 20.0;

struct HitTestRequest {
  int32_t subplot;        // its group in the instance's object
  SubplotRecord* record;  // its state; a hit control becomes its active control
  double x, y;            // the pointer (pixels)
  double tolerance;       // pixels
  bool shift;             // Shift is held
  bool forMove;           // a press or drag: pop-up menus open, text fields start editing
};

// What a hit did beyond the record.
struct HitTestEffects {
  bool popupOpened = false;  // a press opened a pop-up menu
};

// Walks subplot k's commands of the canvas's object and writes the best hit
// into the record (reset first: the subplot, the pointer, no id, index and
// point; x, y, x1, y1 in data units when the transform is valid). False
// when the instance has no object, the subplot no group, or a control row
// stays without layout after laying the panel out.
bool HitTestSubplotObjects(const FigureCanvas& canvas, const HitTestRequest& request,
                           EventState* record, HitTestEffects* effects = nullptr);

}  // namespace vke
