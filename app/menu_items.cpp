// The menu lookup, the menu states from "_menuFlags" and running menu items.
#include "app/menu_items.hpp"

#include <cstring>

#include "app/errors.hpp"
#include "app/handler_elements.hpp"
#include "app/handler_runner_internal.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"
#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr char kMenuFlagsName[] = "_menuFlags";
constexpr int32_t kMenuFlagsOutputs = 3;
constexpr int32_t kFirstAppVariable = 106;

// The cache rows of the state bytes.
enum MenuStateRow { kRowMenuItems = 0, kRowPasteItems = 1, kRowCopyItems = 2 };

uint32_t FamilyKind(char letter) {
  switch (letter) {
    case 'm':
      return kElemMenuItem;
    case 'f':
      return kElemFigure;
    case 'i':
    case 'I':
      return kElemPaste;
    default:
      return kElemCopy;
  }
}

// The menu lookup's walk: language blocks end in active elements.
class MenuWalk {
 public:
  MenuWalk(const ElementListView& list, uint32_t pos) : list_(list), pos_(pos) {}
  // The next element (active or not); false at a kind 18, an instance start
  // or the end.
  bool Next(ElementRef* e, bool* active) {
    if (!ReadElementAt(list_, pos_, e) || e->kind == kElemInstanceStart ||
        e->kind == kElemMenuLookupEnd)
      return false;
    pos_ += e->length;
    UpdateLanguageActivity(list_, *e, true, &active_);
    *active = active_;
    return true;
  }
  uint32_t Position() const { return pos_; }

 private:
  ElementListView list_;
  uint32_t pos_;
  bool active_ = true;
};

// Whether the menu whose start the walk has just passed holds an active
// element of the kind before its end.
bool MenuHolds(MenuWalk walk, uint32_t kind) {
  ElementRef e;
  bool active;
  int32_t depth = 1;
  while (depth > 0 && walk.Next(&e, &active)) {
    if (e.kind == kElemMenuStart) depth++;
    if (e.kind == kElemMenuEnd) depth--;
    if (active && e.kind == kind) return true;
  }
  return false;
}

// Skips to after the end of the menu whose start the walk has just passed.
void SkipMenu(MenuWalk* walk) {
  ElementRef e;
  bool active;
  int32_t depth = 1;
  while (depth > 0 && walk->Next(&e, &active)) {
    if (e.kind == kElemMenuStart) depth++;
    if (e.kind == kElemMenuEnd) depth--;
  }
}

// Whether a descriptor names _param among its outputs or inputs.
bool DescriptorUsesParam(KVContextBlock* block, const ElementListView& list, const ElementRef& e) {
  int32_t offset;
  DescriptorCodes codes;
  if (!DescriptorOffsetInList(list, e, &offset) || !codes.Read(block, list.instanceStart, offset))
    return false;
  for (uint32_t i = 0; i < codes.Inputs(); i++)
    if (codes.Input(i) == kVarParam) return true;
  return codes.HasOutput(kVarParam);
}

// Counts the items of each cache row in list order. A paste item whose text
// is empty continues the one before it and shares its cache byte.
class ItemCounter {
 public:
  explicit ItemCounter(const ElementListView& list) : list_(list) {}
  // The row of an element, its cache index and its place among the elements
  // of its kind (the index of its flag in "_menuFlags" outputs); false for
  // elements that are no items.
  bool Count(const ElementRef& e, int32_t* row, int32_t* index, int32_t* place) {
    switch (e.kind) {
      case kElemMenuItem:
        *row = kRowMenuItems;
        break;
      case kElemPaste:
        *row = kRowPasteItems;
        break;
      case kElemCopy:
        *row = kRowCopyItems;
        break;
      default:
        return false;
    }
    *place = places_[*row]++;
    if (*row != kRowPasteItems || !IsPasteContinuation(list_, e) || groups_[*row] == 0)
      groups_[*row]++;
    *index = groups_[*row] - 1;
    return true;
  }

 private:
  ElementListView list_;
  int32_t places_[3] = {0, 0, 0};
  int32_t groups_[3] = {0, 0, 0};
};

// The cache row and index of the item at that offset; false for an element
// that is no item.
bool CacheIndex(const ElementListView& list, uint32_t offset, int32_t* row, int32_t* index) {
  ItemCounter counter(list);
  bool found = false;
  ForEachInstanceElement(list, [&](const ElementRef& e) {
    int32_t place;
    if (counter.Count(e, row, index, &place) && e.offset == offset) found = true;
    return !found && e.offset < offset;
  });
  return found;
}

// Fills the cache from the three outputs of "_menuFlags" on top of the
// stack; false, with the cache as it was, when one is not a number array.
// Items that use _param are disabled while no subplot is selected.
bool FillMenuStates(KVContextBlock* block, int32_t id, bool selected) {
  EngineContext* ctx = block->Engine();
  for (int32_t k = 0; k < kMenuFlagsOutputs; k++)
    if (!ConvertMenuFlags(ctx, k)) return false;
  uint32_t start;
  FindInstanceStart(block, id, &start);
  InstanceRecord* r = FindInstance(block, id);
  const ElementListView list = BlockElements(block, start, r->currentLanguage);
  uint8_t states[3][kMenuStateBytes] = {};
  ItemCounter counter(list);
  ForEachInstanceElement(list, [&](const ElementRef& e) {
    int32_t row, index, place;
    if (!counter.Count(e, &row, &index, &place) || index >= kMenuStateBytes) return true;
    uint8_t state = 0;
    if (row == kRowMenuItems && MenuFlagAt(ctx, row, 2 * place + 1) < 0)
      state = kMenuStateNoCheckMark;
    if (selected || !DescriptorUsesParam(block, list, e)) {
      if (row == kRowMenuItems) {
        state |= (MenuFlagAt(ctx, row, 2 * place) != 0 ? kMenuStateEnabled : 0) |
                 (MenuFlagAt(ctx, row, 2 * place + 1) > 0 ? kMenuStateChecked : 0);
      } else {
        state |= MenuFlagAt(ctx, row, place) != 0 ? kMenuStateEnabled : 0;
      }
    }
    states[row][index] |= state;
    return true;
  });
  std::memcpy(r->menuStates, states, sizeof states);
  return true;
}

// Converts the outputs of "_menuFlags" that are number arrays to one-byte
// integers, so that reading their flags asks for no room; a memory code
// when one found none.
ErrCode ConvertMenuFlagOutputs(EngineContext* ctx) {
  for (int32_t k = 0; k < kMenuFlagsOutputs; k++) {
    const ErrCode e = ConvertToInteger(ctx, k, 1, false, false);
    if (IsMemoryCode(e)) return e;
  }
  return kOk;
}

// Fills the instance's cache anew from "_menuFlags" for that version and
// leaves the stack as it was. A memory code when it found no room; any
// other failure keeps the cache as it was.
ErrCode RefreshMenuStates(KVContextBlock** slot, int32_t id, int32_t version, const char* data,
                          int32_t length) {
  const int32_t base = GetFrameEntryCount((*slot)->Engine());
  const ErrCode e = RunMenuFlagsFunction(slot, id, data, length);
  KVContextBlock* block = *slot;
  if (e == kOk && FillMenuStates(block, id, GetSelectedSubplot(block, id) >= 0)) {
    InstanceRecord* r = FindInstance(block, id);
    r->changed = 0;
    r->menuStateVersion = static_cast<uint32_t>(version);
  }
  const int32_t left = GetFrameEntryCount(block->Engine()) - base;
  if (left > 0) Drop(block->Engine(), left);
  return IsMemoryCode(e) ? e : kOk;
}

}  // namespace

bool ConvertMenuFlags(EngineContext* ctx, int32_t depth) {
  return ConvertToInteger(ctx, depth, 1, false, false) == kOk &&
         ViewNumeric(ctx, depth).cls != ValueClass::kOther;
}

int32_t MenuFlagAt(EngineContext* ctx, int32_t depth, int32_t index) {
  if (!ConvertMenuFlags(ctx, depth)) return 0;
  const NumericView v = ViewNumeric(ctx, depth);
  return index < v.shape.count ? static_cast<int32_t>(ViewElement(v, index, false)) : 0;
}

int32_t GetSelectedSubplot(KVContextBlock* block, int32_t id) {
  const InstanceRecord* r = FindInstance(block, id);
  return r ? SingleSelectedSubplot(r->figure) : kNoSubplot;
}

ErrCode GetMenuItemInfo(KVContextBlock* block, int32_t id, char letter, int32_t* position,
                        MenuEntry* entry, bool menus, bool structure, bool separators) {
  uint32_t start;
  if (ErrCode e = FindInstanceStart(block, id, &start)) return e;
  const InstanceRecord* r = FindInstance(block, id);
  const ElementListView list = BlockElements(block, start, r ? r->currentLanguage : kNoLanguage);
  ElementRef e;
  const uint32_t from = *position < 0 ? start : static_cast<uint32_t>(*position);
  if (from < start || !ReadElementAt(list, from, &e)) return kKvUndefElement;
  const uint32_t kind = FamilyKind(letter);
  MenuWalk walk(list, from + e.length);
  bool active;
  for (uint32_t at = walk.Position(); walk.Next(&e, &active); at = walk.Position()) {
    if (!active) continue;
    bool stop = e.kind == kind || (structure && e.kind == kElemMenuStructure) ||
                (menus && e.kind == kElemMenuEnd) || (separators && e.kind == kElemMenuSeparator);
    if (menus && e.kind == kElemMenuStart) {
      stop = MenuHolds(walk, kind);
      if (!stop) SkipMenu(&walk);
    }
    if (!stop) continue;
    *position = static_cast<int32_t>(at);
    std::string_view text;
    const uint32_t first = e.kind == kElemPaste ? 2 : 0;
    entry->kind = e.kind;
    entry->text = ElementText(list, e, first, &text) ? text : std::string_view();
    entry->word = e.length > 2 ? ElementWord(list, e, 0) : 0;
    return kOk;
  }
  return kKvUndefElement;
}

bool MenuItemUsesParam(KVContextBlock* block, int32_t id, int32_t position) {
  ElementListView list;
  ElementRef e;
  return InstanceElementAt(block, id, position, &list, &e) && DescriptorUsesParam(block, list, e);
}

ErrCode RunMenuFlagsFunction(KVContextBlock** slot, int32_t id, const char* data, int32_t length) {
  KVContextBlock* block = *slot;
  EngineContext* ctx = block->Engine();
  const auto scope = static_cast<int32_t>(GetInstanceHeaderWord(block, id));
  const InstanceRecord* r = FindInstance(block, id);
  if (!r) return kKvNonexistentInstance;
  if (scope == 0 || FindFunction(ctx, kMenuFlagsName, sizeof kMenuFlagsName - 1, nullptr, 0, scope,
                                 true, nullptr) < 0)
    return kErrUndefFun;
  // The engine's frames are given up: nothing may run meanwhile.
  if (block->handlerBusy || ctx->running) return kStatusNoPrint;
  SetCurrentInstanceContext(&block->nativeCall, static_cast<uint32_t>(id), 0);
  UnwindCallFrames(ctx, 0);
  const uint8_t entry = r->entryOption;
  const int32_t base = GetFrameEntryCount(ctx);
  ErrCode e = kOk;
  int32_t inputs = 0, variable;
  for (int32_t n = 0; !e && GetUndoSetVariableId(block->UndoArea(), id, n, false, &variable) == kOk;
       n++) {
    if (variable < kFirstAppVariable) continue;
    e = PushUndoValue(block, id, 0, variable);
    inputs++;
  }
  if (!e) e = GetXDataArgument(block, kVarXDataType, data, length);
  if (!e) {
    HandlerRequest param;
    param.instance = id;
    param.objectId = GetSelectedSubplot(block, id);
    e = PushHandlerInput(block, param, kVarParam);
  }
  if (!e) {
    // An instruction without room waits while the block grows and goes on
    // from there: the flags are computed once, from the inputs pushed.
    const bool retry = ctx->memoryRetry != 0;
    SetMemoryRetry(ctx, true);
    e = RunEngineCode(
        slot,
        RunCompiledFunction(ctx, kMenuFlagsName, scope, inputs + 2, kMenuFlagsOutputs, entry, 0),
        false, false);
    block = *slot;
    ctx = block->Engine();
    SetMemoryRetry(ctx, retry);
  }
  if (!e) e = ConvertMenuFlagOutputs(ctx);
  if (e) {
    UnwindCallFrames(ctx, 0);
    const int32_t left = GetFrameEntryCount(ctx) - base;
    if (left > 0) Drop(ctx, left);
  }
  block->nativeCall.instanceId = 0;
  return e;
}

ErrCode GetMenuItemState(KVContextBlock** slot, int32_t id, int32_t position, int32_t version,
                         const char* data, int32_t length, uint8_t* state) {
  ElementListView list;
  ElementRef e;
  if (!InstanceElementAt(*slot, id, position, &list, &e)) {
    uint32_t start;
    return FindInstanceStart(*slot, id, &start) ? kKvNonexistentInstance : kKvUndefElement;
  }
  if (e.kind == kElemLanguageSection) {
    *state = static_cast<int64_t>(e.offset) == list.currentLanguage ? 3 : 1;
    return kOk;
  }
  int32_t row, index;
  if (!CacheIndex(list, e.offset, &row, &index)) return kKvUndefElement;
  const InstanceRecord* r = FindInstance(*slot, id);
  if (r->changed || r->menuStateVersion != static_cast<uint32_t>(version)) {
    // A run that failed for room before its code could wait (its frame) is
    // made again in the grown block; its message goes with it.
    if (ErrCode room = RunAttemptsGrowing(slot, id, true, [&](bool*) {
          return RefreshMenuStates(slot, id, version, data, length);
        }))
      return room;
    r = FindInstance(*slot, id);
  }
  *state = index < kMenuStateBytes ? r->menuStates[row][index] : 0;
  return kOk;
}

ErrCode RunMenuItemHandler(KVContextBlock** slot, int32_t id, int32_t position) {
  BeginTopLevelAction((*slot)->Engine());
  ElementListView list;
  ElementRef e;
  if (!InstanceElementAt(*slot, id, position, &list, &e)) {
    uint32_t start;
    return FindInstanceStart(*slot, id, &start) ? kKvNonexistentInstance : kKvUndefElement;
  }
  if (e.kind != kElemMenuItem) return kKvUndefElement;
  HandlerRequest r;
  r.objectId = GetSelectedSubplot(*slot, id);
  r.kind = kElemMenuItem;
  r.fdValue = 1;
  return RunActionAt(slot, id, position, r);
}

}  // namespace vke
