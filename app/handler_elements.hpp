// Running the handler of an element found in the instance's element list:
// its call descriptor follows the element's header, and for the kinds that
// start with a text (key handlers, menu, copy and function items) the text.
#pragma once

#include "app/figure_pending.hpp"

namespace vke {

// The descriptor's offset from the instance start of the element at word
// position `at` of the list; false when the element does not fit the list.
bool ElementDescriptorOffset(KVContextBlock* block, int32_t id, int32_t at, int32_t* offset);

// Runs that descriptor with the request's other fields; 10040 for an
// element that does not fit.
ErrCode RunElementHandler(KVContextBlock** slot, int32_t id, int32_t at, HandlerRequest request);

}  // namespace vke
