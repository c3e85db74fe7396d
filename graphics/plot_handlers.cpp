// The plots of an instance's element list: the handlers that belong to a
// figure element, its name, and setting the plot that subplots show.
#include <algorithm>
#include <cstring>

#include "engine/errors/errors.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/figure_state.hpp"

namespace vke {

namespace {

// How a handler element fills the descriptors of a plot.
struct HandlerElementRule {
  uint32_t kind;
  int32_t slot;   // descriptor it fills; -1 for all of draw and 26-32
  bool targeted;  // the payload starts with a target id
};

constexpr HandlerElementRule kHandlerRules[] = {
    {kElemMouseDown, kHandlerMouseDown, true},
    {kElemMouseDrag, kHandlerMouseDrag, true},
    {kElemSecondDrag, kHandlerSecondDrag, true},
    {kElemMouseUp, kHandlerMouseUp, true},
    {kElemMouseDoubleClick, kHandlerMouseDoubleClick, true},
    {kElemMouseOver, kHandlerMouseOver, true},
    {kElemMouseOut, kHandlerMouseOut, false},
    {kElemMouseScroll, kHandlerMouseScroll, true},
    {kElemDragIn, kHandlerDragIn, true},
    {kElemDragOut, kHandlerDragOut, true},
    {kElemDraw, kHandlerDraw, false},
    {kElemDrawAndMouse, -1, false},  // the draw and every mouse handler at once
};

const HandlerElementRule* RuleFor(uint32_t kind) {
  for (const HandlerElementRule& rule : kHandlerRules) {
    if (rule.kind == kind) return &rule;
  }
  return nullptr;
}

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

void CopyTitle(SubplotRecord* s, std::string_view text) {
  std::memset(s->title, 0, sizeof s->title);
  std::memcpy(s->title, text.data(), std::min(text.size(), sizeof s->title));
}

}  // namespace

ErrCode FindPlotHandlers(FigureHost& host, int32_t plotId, int32_t target, PlotHandlers* out) {
  std::fill_n(out->descriptors, kSubplotHandlerCount, kNoHandler);
  out->mouseOverTargeted = 0;
  if (plotId < 0) return kOk;
  ElementListView list = host.Elements();
  ElementRef figure;
  if (!FindFigureElement(list, plotId, &figure)) return kErrUndefElement;
  ErrCode first = kOk;
  ForEachPlotElement(list, figure, [&](const ElementRef& e) {
    const HandlerElementRule* rule = RuleFor(e.kind);
    if (!rule || e.length < 2 + uint32_t{rule->targeted} + kDescriptorHeaderWords) return;
    int32_t elementTarget = rule->targeted ? static_cast<int32_t>(ElementWord(list, e, 0)) : -1;
    if (rule->targeted && elementTarget >= 0 && elementTarget != target) return;
    int32_t descriptor = static_cast<int32_t>(e.offset + 2 + uint32_t{rule->targeted});
    if (rule->slot < 0) {
      std::fill_n(out->descriptors, kHandlerMouseOut + 1, descriptor);
    } else {
      out->descriptors[rule->slot] = descriptor;
    }
    if (e.kind == kElemMouseOver) out->mouseOverTargeted = elementTarget >= 0;
    ErrCode rc = host.ResolveHandler(descriptor);
    if (first == kOk) first = rc;
  });
  return first;
}

bool SubplotHasMouseHandlers(const ElementListView& list, int32_t plotId) {
  ElementRef figure;
  if (!FindFigureElement(list, plotId, &figure)) return false;
  bool any = false;
  ForEachPlotElement(list, figure, [&](const ElementRef& e) {
    if ((e.kind >= kElemMouseDown && e.kind <= kElemMouseDoubleClick) ||
        e.kind == kElemMouseScroll) {
      any = true;
    }
  });
  return any;
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

bool GetPlotName(const FigureState& fig, const ElementListView& list, int32_t row, int32_t column,
                 std::string_view* name) {
  int32_t k = SubplotAt(fig, row, column);
  if (k < 0) return false;
  const SubplotRecord& s = fig.subplots[k];
  ElementRef figure;
  return s.handlers[kHandlerDraw] >= 0 && FindFigureElement(list, s.plotId, &figure) &&
         ElementText(list, figure, 0, name);
}

ErrCode ResetSubplots(FigureState* fig, FigureHost& host, int32_t row, int32_t column,
                      int32_t plotId, bool force) {
  uint32_t chosen = fig->selection;
  if (row >= 0 && column >= 0) {
    int32_t k = SubplotAt(*fig, row, column);
    if (k < 0) return kErrOutOfRangeArg;
    chosen = 1u << k;
  } else if (fig->rows == 1 && fig->columns == 1) {
    chosen = 1;
  }
  int32_t n = ActiveSubplotCount(*fig);
  for (int32_t k = 0; k < n; ++k) {
    SubplotRecord* s = &fig->subplots[k];
    if (!((chosen >> k) & 1u) || (s->plotId == plotId && !force)) continue;
    SubplotRecordReset(s, true);
    s->plotId = plotId;
    PlotHandlers handlers;
    ErrCode found = FindPlotHandlers(host, plotId, -1, &handlers);
    std::copy_n(handlers.descriptors, kSubplotHandlerCount, s->handlers);
    std::string_view name;
    if (plotId == kPlotDefault) {
      CopyTitle(s, "???");
    } else if (plotId != kPlotNone && GetPlotName(*fig, host.Elements(), row, column, &name)) {
      CopyTitle(s, name);
    }
    ComputeSubplotViewports(fig);
    if (host.Initialised()) {
      if (ErrCode rc = host.ClearPlotProperties(k)) return rc;
    } else if (found) {
      return found;
    }
  }
  return kOk;
}

}  // namespace vke
