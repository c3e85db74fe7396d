// The walk of the hit test over one subplot's commands: the pointer in data
// units, the legend box, the tab stops and arrangement of a control panel,
// the control rows, and the drawn shapes of hit_test_shapes.cpp.
#include <algorithm>
#include <cmath>

#include "graphics/control_hit.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/hit_test_internal.hpp"
#include "graphics/legend.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// The selection end that selects a field's whole text when its edit starts.
constexpr int32_t kSelectWholeText = 32000;

using ShapeTest = void (*)(HitWalk&, const RenderCommand&);

// The drawn shapes that can be hit, by command code.
struct ShapeEntry {
  int32_t code;
  ShapeTest test;
};
constexpr ShapeEntry kShapeTests[] = {
    {kCmdPolyline, &HitPolyline},              // vertices
    {kCmdFrequencyPolyline, &HitPolyline},     // vertices with their frequency
    {kCmdInfiniteLine, &HitInfiniteLine},      // a x + b y = c
    {kCmdCircles, &HitCircles},                // circle edges
    {kCmdBars, &HitBars},                      // bar ends
    {kCmdImageCells, &HitImage},               // image rectangle
    {kCmdPseudoColour, &HitPseudoColour},      // pseudo-colour cells
    {kCmdActiveRegion, &HitActiveRegion},      // invisible polygon
    {kCmdPolyline3, &HitPolyline},             // 3-D vertices
    {kCmdFirstSystem, &HitFrequencyResponse},  // Bode magnitude
    {20, &HitFrequencyResponse},               // Bode phase
    {23, &HitFrequencyResponse},               // discrete Bode magnitude
    {24, &HitFrequencyResponse},               // discrete Bode phase
};

ShapeTest ShapeTestFor(int32_t code) {
  for (const ShapeEntry& e : kShapeTests) {
    if (e.code == code) return e.test;
  }
  return nullptr;
}

// The walk's view of the control panel so far.
struct PanelState {
  const double* tabs = nullptr;
  int32_t tabCount = 0;
  bool vertical = false;
  bool laidOut = false;  // the group was laid out by this walk
};

struct Walker {
  const FigureCanvas& canvas;
  const HitTestRequest& request;
  HitWalk& walk;
  HitTestEffects* effects;
  uint32_t group;  // command 70 of the subplot
  PanelState panel;

  // Lays the panel out once by drawing the group without output; false
  // when it was laid out already.
  bool LayOut() {
    if (panel.laidOut || canvas.port == nullptr) return false;
    panel.laidOut = true;
    uint32_t offset = group;
    DrawSubplotGroup(canvas, &offset, true);
    return true;
  }

  void TakeControl(const RenderCommand& c, uint32_t flags) {
    walk.record->flags = walk.baseFlags | flags;
    walk.record->id = c.header.id;
    walk.best = 0;
    walk.cls = kHitPoint;
  }

  // Returns false when the control stays without layout.
  bool Control(const RenderCommand& c) {
    const ControlCommand cc{c.header.code, c.data, c.header.length};
    SubplotRecord& s = *request.record;
    EventState* r = walk.record;
    const double px = walk.px, py = walk.py;
    bool laidOut = false;
    switch (c.header.code) {
      case kCmdFirstSlider:
      case kCmdLastSlider: {
        SliderSpec spec{};
        if (!ReadSlider(cc, &spec, &laidOut)) return true;
        if (!laidOut && LayOut()) ReadSlider(cc, &spec, &laidOut);
        if (!laidOut) return false;
        const double along = panel.vertical ? py : px, across = panel.vertical ? px : py;
        if (!SliderHit(along, across, spec, c.header.id, c.header.index, true, r)) return true;
        TakeControl(c, r->flags);
        s.dragId = c.header.id;
        s.dragIndex = c.header.index;
        s.dragValue[0] = spec.minimum;
        s.dragValue[1] = spec.maximum;
        return true;
      }
      case kCmdPushButton:
      case kCmdCheckBox:
      case kCmdRadioButton: {
        ButtonRowSpec spec{};
        if (panel.vertical) return true;
        if (!ReadButtonRow(cc, s, panel.tabs, panel.tabCount, &spec, &laidOut)) return true;
        if (!laidOut && LayOut()) ReadButtonRow(cc, s, panel.tabs, panel.tabCount, &spec, &laidOut);
        if (!laidOut) return false;
        if (!ButtonRowHit(px, py, spec, c.header.id, c.header.index, true, r)) return true;
        TakeControl(c, r->flags);
        s.dragId = c.header.id;
        s.dragIndex = c.header.index;
        return true;
      }
      case kCmdPopupMenu: {
        ControlRow box{};
        int32_t count = 0, selected = 0;
        if (panel.vertical || !ReadPopup(cc, &box, &count, &selected, &laidOut)) return true;
        if (!laidOut && LayOut()) ReadPopup(cc, &box, &count, &selected, &laidOut);
        if (!laidOut) return false;
        if (!PopupHit(px, py, box, count, selected, c.header.id, c.header.index, true, s, r)) {
          return true;
        }
        TakeControl(c, r->flags);
        s.dragId = c.header.id;
        if (request.forMove) {
          // The menu opens with the selected item highlighted.
          SetPayloadDouble(c.data, 1, c.Get(0));
          if (effects != nullptr) effects->popupOpened = true;
        }
        return true;
      }
      default: {  // text field
        ControlRow field{};
        if (panel.vertical || !ReadTextField(cc, &field, &laidOut)) return true;
        if (!laidOut && LayOut()) ReadTextField(cc, &field, &laidOut);
        if (!laidOut) return false;
        if (!PointInRow(px, py, std::min(field.left, field.right),
                        std::max(field.left, field.right), field.low, field.high)) {
          return true;
        }
        TakeControl(c, kEventId | kEventNb);
        r->nb = c.header.index;
        r->ix = -1;
        if (request.forMove) {
          FigureState& fig = *canvas.figure;
          fig.editField = request.subplot;
          fig.editCommand = static_cast<int32_t>(c.at);
          fig.caretStart = 0;
          fig.caretEnd = kSelectWholeText;
        }
        return true;
      }
    }
  }

  // True when the pointer is on the shown legend box: the record then
  // holds only the offset to its centre.
  bool Legend(const RenderCommand& c) {
    const SubplotRecord& s = *request.record;
    if (!(s.optionWord & kOptLegend) || !c.Holds(3) || canvas.port == nullptr) return false;
    const int32_t n = PayloadCount(c.Get(1)), k = PayloadCount(c.Get(2));
    if (n < 0 || k < 0 || !c.Holds(3 + 2 * int64_t{n} + PackedDoubles(k))) return false;
    const LegendEntries legend{n, c.Doubles(3), c.Text(3 + 2 * static_cast<uint32_t>(n)), k};
    const bool framed = (GetEffectiveOptions(s) & kOptFrame) != 0;
    if (!HitTestLegend(s, legend, framed, *canvas.port, canvas.target, walk.px, walk.py)) {
      return false;
    }
    LegendLayout layout{};
    LayoutLegend(s, legend, framed, *canvas.port, canvas.target, &layout);
    EventState* r = walk.record;
    r->flags = kEventLegend;
    r->dx = layout.cx - walk.px;
    r->dy = layout.cy - walk.py;
    return true;
  }
};

bool IsControlRow(int32_t code) {
  return code >= kCmdFirstSlider && code <= kCmdTextField;
}

}  // namespace

bool HitTestSubplotObjects(const FigureCanvas& canvas, const HitTestRequest& request,
                           EventState* record, HitTestEffects* effects) {
  record->subplot = request.subplot;
  record->pixelX = request.x;
  record->pixelY = request.y;
  record->id = record->nb = record->ix = -1;
  record->flags = 0;
  const SubplotRecord& s = *request.record;
  HitWalk walk{
      s,        request.x, request.y, 0, 0,     request.tolerance, request.tolerance * 1000,
      kHitNone, 0,         nullptr,   0, record};
  if (s.transformValid) {
    DeviceToData(s, request.x, request.y, &walk.x, &walk.y);
    record->x = record->x1 = walk.x;
    record->y = record->y1 = walk.y;
    walk.baseFlags = record->flags = kEventX | kEventX1 | kEventY | kEventY1;
  }
  const ObjectList list = canvas.list;
  ObjectSpan span{};
  if (!ObjectListFind(list, canvas.id, &span)) return false;
  // Taking the scratch memory may compact the store: find the object again.
  const ScratchArea area = ObjectListFreeArea(list, *canvas.writer);
  uint32_t group = 0;
  if (!ObjectListFind(list, canvas.id, &span) ||
      !FindSubplotCommands(list, canvas.id, request.subplot, &group)) {
    return false;
  }
  walk.scratch = reinterpret_cast<double*>(list.At(area.position));
  walk.capacity = static_cast<uint32_t>(std::min<size_t>(area.bytes / 8, UINT32_MAX));
  std::byte* payload = list.At(span.position);
  Walker walker{canvas, request, walk, effects, group, {}};
  CommandHeader h{};
  uint32_t at = group;
  if (ReadCommandAt(payload, span.length, at, &h) && h.code == kCmdObjectBegin) {
    at += kCommandHeaderDoubles + static_cast<uint32_t>(h.length);
  }
  for (; ReadCommandAt(payload, span.length, at, &h) && h.code != kCmdObjectBegin;
       at += kCommandHeaderDoubles + static_cast<uint32_t>(h.length)) {
    const RenderCommand c{h, at, payload + size_t{at + kCommandHeaderDoubles} * 8, {}};
    if (h.code == kCmdLegendEntry) {
      if (walker.Legend(c)) return true;
      continue;
    }
    if (h.code == kCmdTabStops) {
      const ControlCommand cc{h.code, c.data, h.length};
      if (!ReadTabStops(cc, &walker.panel.tabs, &walker.panel.tabCount)) {
        walker.panel.tabCount = 0;
      }
      continue;
    }
    if (h.code == kCmdVerticalGroup) {
      walker.panel.vertical = h.length > 0 && c.Get(0) != 0;
      continue;
    }
    if (h.id < 0) continue;
    if (IsControlRow(h.code)) {
      if (!walker.Control(c)) return false;
      continue;
    }
    // Shapes need the data-to-pixel transform.
    if (!s.transformValid) continue;
    if (const ShapeTest test = ShapeTestFor(h.code)) test(walk, c);
  }
  if (request.shift) {
    record->flags |= kEventM;
  } else {
    record->flags &= ~kEventM;
  }
  return true;
}

}  // namespace vke
