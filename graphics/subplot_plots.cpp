// The plots that subplots show: the name of a cell's plot and setting the
// plot of subplots, with the handlers and the title it brings.
#include <algorithm>
#include <cstring>

#include "engine/errors/errors.hpp"
#include "graphics/figure_state.hpp"

namespace vke {

namespace {

void CopyTitle(SubplotRecord* s, std::string_view text) {
  std::memset(s->title, 0, sizeof s->title);
  std::memcpy(s->title, text.data(), std::min(text.size(), sizeof s->title));
}

}  // namespace

bool GetPlotName(const FigureState& fig, FigureHost& host, int32_t row, int32_t column,
                 std::string_view* name) {
  int32_t k = SubplotAt(fig, row, column);
  if (k < 0) return false;
  const SubplotRecord& s = fig.subplots[k];
  return s.handlers[kHandlerDraw] >= 0 && host.PlotName(s.plotId, name);
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
    ErrCode found = host.FindPlotHandlers(plotId, -1, &handlers);
    std::copy_n(handlers.descriptors, kSubplotHandlerCount, s->handlers);
    std::string_view name;
    if (plotId == kPlotDefault) {
      CopyTitle(s, "???");
    } else if (plotId != kPlotNone && GetPlotName(*fig, host, row, column, &name)) {
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
