// Copy and paste items.
#include "app/clipboard_items.hpp"

#include <cstring>

#include "app/errors.hpp"
#include "app/handler_elements.hpp"
#include "app/handler_runner_internal.hpp"
#include "app/menu_items.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/values.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {

namespace {

constexpr char kLinkPattern[] = "%KV link ## **";
constexpr int32_t kLinkPatternLength = sizeof kLinkPattern - 1;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The link of the text's second line: "##" the instance id and "**" the
// item's link id, two decimal digits each. False when the line does not
// match the pattern.
bool ReadLink(const char* text, int32_t length, uint32_t* instance, uint32_t* link) {
  int32_t p = 0;
  while (p < length && text[p] != '\r' && text[p] != '\n') p++;
  while (p < length && (text[p] == '\r' || text[p] == '\n')) p++;
  if (length - p < kLinkPatternLength) return false;
  uint32_t numbers[2] = {0, 0};
  for (int32_t i = 0; i < kLinkPatternLength; i++) {
    const char want = kLinkPattern[i], c = text[p + i];
    const bool placeholder = want == '#' || want == '*';
    if (placeholder ? !IsDigit(c) : c != want) return false;
    if (placeholder)
      numbers[want == '*'] = numbers[want == '*'] * 10 + static_cast<uint32_t>(c - '0');
  }
  *instance = numbers[0];
  *link = numbers[1];
  return true;
}

bool IsItemOfKind(KVContextBlock* block, int32_t id, int32_t at, uint32_t kind) {
  ElementListView list;
  ElementRef e;
  return InstanceElementAt(block, id, at, &list, &e) && e.kind == kind;
}

}  // namespace

ErrCode FindPasteTarget(KVContextBlock** slot, int32_t id, int32_t at, const char* text,
                        int32_t length, int32_t* target) {
  ElementListView list;
  ElementRef item;
  if (!InstanceElementAt(*slot, id, at, &list, &item) || item.kind != kElemPaste)
    return kKvUndefElement;
  ElementRef next;
  const uint32_t after = list.instanceStart + item.offset + item.length;
  if (!ReadElementAt(list, after, &next) || !IsPasteContinuation(list, next)) {
    *target = at;
    return kOk;
  }
  // The place of each kind-14 element among them gives its flag.
  int32_t place = 0;
  ForEachInstanceElement(list, [&](const ElementRef& e) {
    if (e.offset >= item.offset) return false;
    if (e.kind == kElemPaste) place++;
    return true;
  });
  const int32_t base = GetFrameEntryCount((*slot)->Engine());
  // A flags function without room is no answer: the block grows for it.
  const ErrCode flagsCode = RunMenuFlagsFunction(slot, id, text, length);
  if (IsMemoryCode(flagsCode)) return flagsCode;
  // The run may have grown the block: the list is read again where it went.
  KVContextBlock* block = *slot;
  EngineContext* ctx = block->Engine();
  const bool flags = flagsCode == kOk && InstanceElementAt(block, id, at, &list, &item);
  const bool selected = GetSelectedSubplot(block, id) >= 0;
  ErrCode e = kKvUndefElement;
  for (ElementRef candidate = item; flags; place++) {
    const int32_t pos = static_cast<int32_t>(list.instanceStart + candidate.offset);
    const bool blocked = !selected && MenuItemUsesParam(block, id, pos);
    if (!blocked && MenuFlagAt(ctx, 1, place) != 0) {
      *target = pos;
      e = kOk;
      break;
    }
    const uint32_t following = list.instanceStart + candidate.offset + candidate.length;
    if (!ReadElementAt(list, following, &candidate) || !IsPasteContinuation(list, candidate)) break;
  }
  const int32_t left = GetFrameEntryCount(ctx) - base;
  if (left > 0) Drop(ctx, left);
  return e;
}

ErrCode PasteLink(KVContextBlock** slot, int32_t id, int32_t at, const char* text, int32_t length) {
  BeginTopLevelAction((*slot)->Engine());
  if (length < 0) length = text ? static_cast<int32_t>(std::strlen(text)) : 0;
  int32_t target = -1;
  // A flags run that failed for room before its code could wait is made
  // again in the grown block; its message goes with it.
  if (ErrCode e = RunAttemptsGrowing(slot, id, true, [&](bool*) {
        return FindPasteTarget(slot, id, at, text, length, &target);
      }))
    return e;
  HandlerRequest r;
  r.objectId = GetSelectedSubplot(*slot, id);
  r.kind = kElemPaste;
  r.fdValue = 1;
  r.data = const_cast<char*>(text);
  r.dataLength = length;
  const ErrCode e = RunActionAt(slot, id, target, r);
  uint32_t instance, link;
  if ((e == kStatusRepaint || e == kStatusInstanceChanged) &&
      ReadLink(text, length, &instance, &link)) {
    uint8_t* words = (*slot)->ElementArea() + 4 * (size_t{static_cast<uint32_t>(target)} + 2);
    Store<uint32_t>(words, instance);
    Store<uint32_t>(words + 4, link);
  }
  return e;
}

ErrCode RunCopyHandler(KVContextBlock** slot, int32_t id, int32_t at, int32_t linkId, char* buffer,
                       int32_t capacity, int32_t* written) {
  BeginTopLevelAction((*slot)->Engine());
  uint32_t start;
  if (ErrCode e = FindInstanceStart(*slot, id, &start)) return e;
  if (!IsItemOfKind(*slot, id, at, kElemCopy)) return kKvUndefElement;
  HandlerRequest r;
  r.objectId = GetSelectedSubplot(*slot, id);
  r.kind = kElemCopy;
  r.fdValue = 1;
  r.linkId = linkId;
  r.data = buffer;
  r.dataLength = capacity;
  r.dataWritten = written;
  if (written) *written = 0;
  return RunElementHandler(slot, id, at, r);
}

}  // namespace vke
