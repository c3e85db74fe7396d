// The figure queries over the element list and the block's header.
#include "app/figure_queries.hpp"

#include "app/element_list.hpp"
#include "graphics/kv_elements.hpp"

namespace vke {

bool IsInstanceDefined(KVContextBlock* block, int32_t id) {
  uint32_t position;
  return FindInstanceStart(block, id, &position) == kOk;
}

bool FindHandlerSlot(KVContextBlock* block, int32_t id) {
  int32_t position = -1;
  return FindElement(block, id, &position, kElemFigure) == kOk ||
         InstanceStartsWithKind47(block, id);
}

}  // namespace vke
