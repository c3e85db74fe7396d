// The figure queries over the element list and the block's header.
#include "app/figure_queries.hpp"

#include "app/element_list.hpp"
#include "app/instances.hpp"
#include "app/kv_elements.hpp"
#include "graphics/figure_menu.hpp"

namespace vke {

bool IsInstanceDefined(KVContextBlock* block, int32_t id) {
  uint32_t position;
  return FindInstanceStart(block, id, &position) == kOk;
}

bool FindHandlerSlot(KVContextBlock* block, int32_t id) {
  int32_t position = -1;
  return FindElement(block, id, &position, kElemFigure) == kOk || HasInstanceWideCode(block, id);
}

bool GetInstanceMenuState(KVContextBlock* block, int32_t id, int32_t command) {
  const InstanceRecord* r = FindInstance(block, id);
  return r && FigureCommandAvailable(r->figure, command);
}

uint32_t GetSubplotSelectionState(KVContextBlock* block, int32_t id, int32_t plot) {
  const InstanceRecord* r = FindInstance(block, id);
  if (!r) return 0;
  const FigureState& fig = r->figure;
  const bool room = fig.freeLayout && fig.rows * fig.columns < fig.maxSubplots;
  const bool enabled =
      fig.selection != 0 || (fig.rows == 1 && fig.columns == 1) || (room && plot != kPlotDefault);
  const bool checked =
      SingleSelectedSubplot(fig) != kNoSubplot && GetSubplotPlotId(&fig, -1, -1) == plot;
  return (enabled ? 1u : 0u) | (checked ? 2u : 0u);
}

}  // namespace vke
