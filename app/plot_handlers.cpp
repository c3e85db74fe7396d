// The plots of an instance's element list: the handlers that belong to a
// figure element, its name, and the order of the plots.
#include "app/plot_handlers.hpp"

#include <algorithm>

#include "engine/errors/errors.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {

namespace {

// Plot descriptor slots of the table's rows besides the subplot's own.
constexpr int32_t kHandlerAllOfDraw = -1;  // the draw and every mouse handler
constexpr int32_t kHandlerNoSlot = -2;     // not a per-plot handler

// How a handler element fills the descriptors of a plot.
struct HandlerElementRule {
  uint32_t kind;
  int32_t slot;   // descriptor it fills, or kHandlerAllOfDraw
  bool targeted;  // the payload starts with a target id
};

constexpr HandlerElementRule kAllRows[] = {
#define VKE_ELEMENT_KIND(code, name, layout, keyword, group, slot, action, meaning) \
  {code, kHandler##slot, PayloadLayout::layout == PayloadLayout::kTargetDescriptor},
#include "app/element_kinds.def"
#undef VKE_ELEMENT_KIND
};

// Every plot handler fills a slot, and only plot handlers do; a targeted
// handler fills one slot.
constexpr bool SlotsMatchGroups() {
  for (const HandlerElementRule& row : kAllRows) {
    const HandlerGroup group = ElementHandlerGroup(row.kind);
    const bool perPlot = group != HandlerGroup::kNone && group != HandlerGroup::kFigureRect;
    if (perPlot != (row.slot != kHandlerNoSlot)) return false;
    if (row.targeted && (row.slot < 0 || row.slot >= kSubplotHandlerCount)) return false;
  }
  return true;
}
static_assert(SlotsMatchGroups());

const HandlerElementRule* RuleFor(uint32_t kind) {
  for (const HandlerElementRule& rule : kAllRows) {
    if (rule.kind == kind) return rule.slot == kHandlerNoSlot ? nullptr : &rule;
  }
  return nullptr;
}

}  // namespace

int32_t PlotHandlerSlot(uint32_t kind) {
  const HandlerElementRule* rule = RuleFor(kind);
  return rule != nullptr && rule->slot >= 0 ? rule->slot : kNoHandler;
}

namespace {

// Words of a call descriptor's header: function id, input and output counts.
constexpr uint32_t kDescriptorHeaderWords = 3;

// The figure element of a plot id, or false when the id is no figure element
// of the instance.
bool FindFigureElement(const ElementListView& list, int32_t plotId, ElementRef* figure) {
  return plotId >= 0 && ElementAtOffset(list, static_cast<uint32_t>(plotId), figure) &&
         figure->kind == kElemFigure;
}

// Calls visit(element) for the active elements between a plot's figure
// element and the next one.
template <typename Visit>
void ForEachPlotElement(const ElementListView& list, const ElementRef& figure, Visit visit) {
  InstanceElementWalker walker(list, figure);
  ElementRef e;
  while (walker.Next(&e) && e.kind != kElemFigure) visit(e);
}

}  // namespace

bool ElementFigureHost::PlotName(int32_t plotId, std::string_view* name) {
  const ElementListView list = Elements();
  ElementRef figure;
  return FindFigureElement(list, plotId, &figure) && ElementText(list, figure, 0, name);
}

ErrCode ElementFigureHost::FindPlotHandlers(int32_t plotId, int32_t target, PlotHandlers* out) {
  std::fill_n(out->descriptors, kSubplotHandlerCount, kNoHandler);
  out->mouseOverTargeted = 0;
  if (plotId < 0) return kOk;
  ElementListView list = Elements();
  ElementRef figure;
  if (!FindFigureElement(list, plotId, &figure)) return kErrUndefElement;
  ErrCode first = kOk;
  ForEachPlotElement(list, figure, [&](const ElementRef& e) {
    const HandlerElementRule* rule = RuleFor(e.kind);
    if (!rule || e.length < 2 + uint32_t{rule->targeted} + kDescriptorHeaderWords) return;
    int32_t elementTarget = rule->targeted ? static_cast<int32_t>(ElementWord(list, e, 0)) : -1;
    if (rule->targeted && elementTarget >= 0 && elementTarget != target) return;
    int32_t descriptor = static_cast<int32_t>(e.offset + 2 + uint32_t{rule->targeted});
    if (rule->slot == kHandlerAllOfDraw) {
      std::fill_n(out->descriptors, kHandlerMouseOut + 1, descriptor);
    } else {
      out->descriptors[rule->slot] = descriptor;
    }
    if (e.kind == kElemMouseOver) out->mouseOverTargeted = elementTarget >= 0;
    ErrCode rc = ResolveHandler(descriptor);
    if (first == kOk) first = rc;
  });
  return first;
}

bool ElementFigureHost::PlotHasMouseHandlers(int32_t plotId) {
  const ElementListView list = Elements();
  ElementRef figure;
  if (!FindFigureElement(list, plotId, &figure)) return false;
  bool any = false;
  ForEachPlotElement(list, figure, [&](const ElementRef& e) {
    if (ElementHandlerGroup(e.kind) == HandlerGroup::kButton) any = true;
  });
  return any;
}

std::vector<int32_t> ElementFigureHost::PlotHandlerTargets(int32_t plotId, uint32_t kind) {
  std::vector<int32_t> targets;
  const ElementListView list = Elements();
  ElementRef figure;
  const HandlerElementRule* rule = RuleFor(kind);
  if (!rule || !rule->targeted || !FindFigureElement(list, plotId, &figure)) return targets;
  ForEachPlotElement(list, figure, [&](const ElementRef& e) {
    if (e.kind == kind && e.length > 2)
      targets.push_back(static_cast<int32_t>(ElementWord(list, e, 0)));
  });
  return targets;
}

bool HasFigureElements(const FigureState& fig, const ElementListView& list) {
  if (fig.flags & kFigureLayoutLocked) return false;
  ElementRef start;
  if (!ElementAtOffset(list, 0, &start)) return false;
  InstanceElementWalker walker(list, start);
  ElementRef e;
  while (walker.Next(&e)) {
    if (e.kind == kElemFigure) return true;
  }
  return false;
}

int32_t ElementFigureHost::NextPlot(int32_t plotId, int32_t step) {
  const ElementListView list = Elements();
  ElementRef start;
  if (!ElementAtOffset(list, 0, &start)) return kNoSubplot;
  int32_t first = kNoSubplot, last = kNoSubplot, before = kNoSubplot, after = kNoSubplot;
  bool seen = false;
  InstanceElementWalker walker(list, start);
  ElementRef e;
  while (walker.Next(&e)) {
    if (e.kind != kElemFigure) continue;
    const auto id = static_cast<int32_t>(e.offset);
    if (first == kNoSubplot) first = id;
    if (seen && after == kNoSubplot) after = id;
    if (id == plotId) {
      seen = true;
      before = last;
    }
    last = id;
  }
  if (step > 0) return after != kNoSubplot ? after : first;
  return seen && before != kNoSubplot ? before : last;
}

}  // namespace vke
