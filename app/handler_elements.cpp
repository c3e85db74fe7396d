// Descriptors of handler elements, and running them.
#include "app/handler_elements.hpp"

#include "app/draw_cycle.hpp"
#include "app/instances.hpp"
#include "app/post_event.hpp"
#include "app/undo_buffer.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {

namespace {

constexpr uint32_t kHeaderWords = 2;  // kind and length

// Words of the text {n; n bytes; NUL; padding} at payload word `first`.
bool TextWords(const ElementListView& list, const ElementRef& e, uint32_t first, uint32_t* words) {
  std::string_view text;
  if (!ElementText(list, e, first, &text)) return false;
  *words = static_cast<uint32_t>(text.size() / 4 + 2);
  return true;
}

}  // namespace

bool DescriptorOffsetInList(const ElementListView& list, const ElementRef& e, int32_t* offset) {
  uint32_t before = 0;  // payload words in front of the descriptor
  switch (ElementPayloadLayout(e.kind)) {
    case PayloadLayout::kDescriptor:
      break;
    case PayloadLayout::kTargetDescriptor:
      before = 1;
      break;
    case PayloadLayout::kTextDescriptor:
      if (!TextWords(list, e, 0, &before)) return false;
      break;
    case PayloadLayout::kPaste:
      if (!TextWords(list, e, 2, &before)) return false;
      before += 2;
      break;
    case PayloadLayout::kPostEvent:
      if (e.length < kHeaderWords + 1) return false;
      before = 1 + ElementWord(list, e, 0);
      if (before < 1) return false;  // a count that wraps
      break;
    default:
      return false;
  }
  HandlerDescriptor d;
  const uint64_t at = uint64_t{list.instanceStart} + e.offset + kHeaderWords + before;
  if (uint64_t{e.length} < kHeaderWords + uint64_t{before} + 3 ||
      !ReadHandlerDescriptor(list, static_cast<uint32_t>(at), &d))
    return false;
  *offset = static_cast<int32_t>(e.offset + kHeaderWords + before);
  return true;
}

bool InstanceElementAt(KVContextBlock* block, int32_t id, int32_t at, ElementListView* list,
                       ElementRef* element) {
  uint32_t start;
  if (FindInstanceStart(block, id, &start) || at < static_cast<int32_t>(start)) return false;
  const InstanceRecord* r = FindInstance(block, id);
  *list = BlockElements(block, start, r ? r->currentLanguage : kNoLanguage);
  return ReadElementAt(*list, static_cast<uint32_t>(at), element);
}

bool ElementDescriptorOffset(KVContextBlock* block, int32_t id, int32_t at, int32_t* offset) {
  ElementListView list;
  ElementRef e;
  return InstanceElementAt(block, id, at, &list, &e) && DescriptorOffsetInList(list, e, offset);
}

ErrCode RunElementHandler(KVContextBlock** slot, int32_t id, int32_t at, HandlerRequest request) {
  if (!ElementDescriptorOffset(*slot, id, at, &request.descriptor)) return kKvUndefElement;
  request.instance = id;
  return RunHandler(slot, request);
}

ErrCode RunElementsOfKind(KVContextBlock** slot, int32_t id, uint32_t kind,
                          const HandlerRequest& request, int32_t* ran) {
  if (ran) *ran = 0;
  for (int32_t at = -1;;) {
    const ErrCode found = FindElement(*slot, id, &at, kind);
    if (found == kKvUndefElement) return kOk;
    if (found) return found;
    if (ran) ++*ran;
    if (ErrCode e = RunElementHandler(slot, id, at, request)) return e;
  }
}

ErrCode RunActionAt(KVContextBlock** slot, int32_t id, int32_t at, const HandlerRequest& request) {
  if (ErrCode e = PushUndoVersion((*slot)->UndoArea(), id)) return e;
  const InstanceRecord* before = FindInstance(*slot, id);
  const int32_t language = before ? before->currentLanguage : kNoLanguage;
  const ErrCode e = RunElementHandler(slot, id, at, request);
  if (e) {
    DropNewestUndoVersion((*slot)->UndoArea(), id);
    return e == kStatusNoPrint ? kOk : e;
  }
  RunDrawHandlers(slot, id);
  RunPostEventHandlers(slot, id);
  // Another language asks the host for its menus and texts too.
  const InstanceRecord* after = FindInstance(*slot, id);
  return after && after->currentLanguage != language ? kStatusInstanceChanged : kStatusRepaint;
}

bool IsPasteContinuation(const ElementListView& list, const ElementRef& element) {
  std::string_view text;
  return element.kind == kElemPaste && ElementText(list, element, 2, &text) && text.empty();
}

}  // namespace vke
