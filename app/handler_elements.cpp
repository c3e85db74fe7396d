// Descriptors of handler elements.
#include "app/handler_elements.hpp"

#include "app/element_list.hpp"
#include "app/instances.hpp"

namespace vke {
namespace {

// Words of an element's header: its kind and length.
constexpr uint32_t kElementHeaderWords = 2;

bool StartsWithText(uint32_t kind) {
  return kind == kElemCopy || kind == kElemFunction || kind == kElemMenuItem || kind == kElemKey;
}

}  // namespace

bool ElementDescriptorOffset(KVContextBlock* block, int32_t id, int32_t at, int32_t* offset) {
  uint32_t start = 0;
  if (FindInstanceStart(block, id, &start) != kOk || at < static_cast<int32_t>(start)) return false;
  const InstanceRecord* r = FindInstance(block, id);
  const ElementListView list = BlockElements(block, start, r ? r->currentLanguage : kNoLanguage);
  ElementRef e;
  if (!ReadElementAt(list, static_cast<uint32_t>(at), &e)) return false;
  uint32_t words = kElementHeaderWords;
  if (StartsWithText(e.kind)) {
    std::string_view text;
    if (!ElementText(list, e, 0, &text)) return false;
    words += static_cast<uint32_t>(text.size() / 4 + 2);
  }
  *offset = at - static_cast<int32_t>(start) + static_cast<int32_t>(words);
  return true;
}

ErrCode RunElementHandler(KVContextBlock** slot, int32_t id, int32_t at, HandlerRequest request) {
  if (!ElementDescriptorOffset(*slot, id, at, &request.descriptor)) return kKvUndefElement;
  request.instance = id;
  return RunHandler(slot, request);
}

}  // namespace vke
