// The plots of an instance's element list, as the figure operations ask for
// them: a plot id is the offset of a figure element (kElemFigure), and the
// plot's handlers are the handler elements between it and the next one.
#pragma once

#include <vector>

#include "app/kv_elements.hpp"
#include "graphics/figure_state.hpp"

namespace vke {

// A FigureHost that answers the questions about plots from the element
// list it is given.
class ElementFigureHost : public FigureHost {
 public:
  // The instance's elements.
  virtual ElementListView Elements() = 0;
  // Looks up the function that the handler descriptor at `descriptor` calls;
  // must not move the memory block.
  virtual ErrCode ResolveHandler(int32_t descriptor) = 0;

  bool PlotName(int32_t plotId, std::string_view* name) override;
  // The handler elements whose target id is negative or equals `target`;
  // the draw-and-mouse element fills the draw and every mouse handler up
  // to kHandlerMouseOut at once.
  ErrCode FindPlotHandlers(int32_t plotId, int32_t target, PlotHandlers* out) override;
  bool PlotHasMouseHandlers(int32_t plotId) override;
  // The target ids of the plot's handlers of a targeted kind, in element
  // order (-1: any target).
  std::vector<int32_t> PlotHandlerTargets(int32_t plotId, uint32_t kind);
  // In the order of the figure elements.
  int32_t NextPlot(int32_t plotId, int32_t step) override;
};

// The handler descriptor of a subplot that a handler kind fills (kElemDraw to
// kElemDragOut), or kNoHandler for a kind that fills no single one.
int32_t PlotHandlerSlot(uint32_t kind);

// Whether the instance has a figure element and its layout may change.
bool HasFigureElements(const FigureState& fig, const ElementListView& list);

}  // namespace vke
