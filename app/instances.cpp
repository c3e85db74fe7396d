// Instance records: finding them, filling a new one, creating and removing
// instances and resetting their figure layout.
#include "app/instances.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "app/element_list.hpp"
#include "app/instance_figure.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "engine/room_requests.hpp"
#include "graphics/object_store.hpp"

namespace vke {

namespace {

// The label style of subplots with mouse handlers while highlighting is on:
// frame and ticks in blue. (White and filled, as older images carry it,
// drew them in the viewport's own white: they vanished.)
constexpr uint32_t kHighlightStyleWord = 1;
constexpr uint8_t kHighlightStyleBlue = 255;
// The box style of a new figure: white and filled (the legend's background).
constexpr uint32_t kBoxStyleWord = 0x27;

PlotStyle StyleOfPair(const StylePair& pair) {
  PlotStyle s{};
  s.flags = pair.value;
  s.red = static_cast<uint8_t>(pair.colour >> 16);
  s.green = static_cast<uint8_t>(pair.colour >> 8);
  s.blue = static_cast<uint8_t>(pair.colour);
  return s;
}

// A new instance's record: not initialised, nothing to idle (its idle
// handler allowed to run once idling is on), the style pairs, an empty
// figure, changed, no language.
void FillNewRecord(KVContextBlock* block, InstanceRecord* r, uint32_t id, const StylePair& a,
                   const StylePair& b) {
  std::memset(r, 0, sizeof *r);
  r->id = id;
  r->entryOption = block->defaultInstanceFlag;
  r->idleValue = -1;
  r->idleValue2 = -1;
  r->idleHandler = 1;
  FigureState& fig = r->figure;
  // The style pairs (light grey lines) are the defaults of grid lines: those
  // of the control-design grids and the axes style the 2-D grids take. Data
  // drawn in the default style stay black.
  fig.styles[kFigureStyleGrid] = StyleOfPair(a);
  fig.styles[kFigureStyleAxes] = StyleOfPair(b);
  fig.styles[kFigureStyleBox].flags = kBoxStyleWord;
  fig.styles[kFigureStyleLabelHighlight].flags = kHighlightStyleWord;
  fig.styles[kFigureStyleLabelHighlight].blue = kHighlightStyleBlue;
  fig.maxSubplots = kMaxSubplots;
  fig.rows = fig.columns = 1;
  SetRect(fig.rect, 0, 1, 0, 1);
  fig.editField = fig.editCommand = fig.caretStart = fig.caretEnd = -1;
  for (SubplotRecord& s : fig.subplots) SubplotRecordClear(&s);
  r->changed = 1;
  r->currentLanguage = kNoLanguage;
  r->hoveredSubplot = -1;
}

int32_t IndexOf(KVContextBlock* block, int32_t id) {
  for (int32_t i = 0; i < block->instanceCount; i++)
    if (InstanceRecordAt(block, i)->id == static_cast<uint32_t>(id)) return i;
  return -1;
}

// Gives the figure store the room below `records` instance records.
ErrCode ResizeStoreFor(KVContextBlock* block, int64_t records) {
  const int64_t bytes = int64_t{block->dataBytes} - records * kInstanceRecordBytes;
  if (bytes < 0 || RoomRefused(RoomKind::kKvData)) return kKvExhaustedRsrc;
  return ObjectListResize(ObjectList(block->DataArea()), static_cast<uint32_t>(bytes / 8));
}

// The undo set of a new instance: the standard KV variables, one empty
// version.
ErrCode AddInstanceUndoSet(KVContextBlock* block, int32_t id) {
  void* undo = block->UndoArea();
  ErrCode e = AddUndoSet(undo, id);
  if (e) return e;
  for (int32_t v = kVarPl; v <= kVarHelp && !e; v++) e = AddUndoSetVariable(undo, id, v, false);
  if (!e) e = ResetUndoSet(undo, id);
  if (e) RemoveUndoSet(undo, id);
  return e;
}

}  // namespace

InstanceRecord* InstanceRecordAt(KVContextBlock* block, int32_t index) {
  if (index < 0 || index >= block->instanceCount) return nullptr;
  const int64_t offset =
      int64_t{block->dataBytes} - (int64_t{index} + 1) * int64_t{kInstanceRecordBytes};
  if (offset < 0) return nullptr;
  return reinterpret_cast<InstanceRecord*>(block->DataArea() + offset);
}

InstanceRecord* FindInstance(KVContextBlock* block, int32_t id) {
  return InstanceRecordAt(block, IndexOf(block, id));
}

void InitFirstInstance(KVContextBlock* block) {
  block->instanceCount = 1;
  InstanceRecord* r = InstanceRecordAt(block, 0);
  if (!r) return;
  FillNewRecord(block, r, 0, kDefaultStylePair, kDefaultStylePair);
  r->firstInstance = 1;
}

ErrCode CreateInstance(KVContextBlock* block, int32_t* id) {
  const bool added = id != nullptr;
  const int32_t newId = added ? static_cast<int32_t>(block->nextInstanceId) : 0;
  if (!added) {
    ObjectListDelete(ObjectList(block->DataArea()), 0);
    RemoveUndoSet(block->UndoArea(), 0);
  } else if (ErrCode e = ResizeStoreFor(block, int64_t{block->instanceCount} + 1)) {
    return e;
  }
  if (ErrCode e = AddInstanceUndoSet(block, newId)) {
    if (added) ResizeStoreFor(block, block->instanceCount);
    return e;
  }
  if (added) {
    *id = newId;
    block->nextInstanceId++;
    block->instanceCount++;
  }
  InstanceRecord* r = InstanceRecordAt(block, added ? block->instanceCount - 1 : 0);
  if (!r) return kKvNonexistentInstance;
  FillNewRecord(block, r, static_cast<uint32_t>(newId), block->styleA, block->styleB);
  return ResetInstanceLayout(block, newId, true);
}

ErrCode RemoveInstance(KVContextBlock* block, int32_t id) {
  const int32_t index = IndexOf(block, id);
  if (index < 0) return kKvNonexistentInstance;
  RemoveUndoSet(block->UndoArea(), id);
  ObjectListDelete(ObjectList(block->DataArea()), id);
  if (id == 0) return kOk;
  // The records below it (higher indexes) move up one place.
  const int32_t last = block->instanceCount - 1;
  uint8_t* lowest = reinterpret_cast<uint8_t*>(InstanceRecordAt(block, last));
  std::memmove(lowest + kInstanceRecordBytes, lowest,
               size_t{kInstanceRecordBytes} * (last - index));
  block->instanceCount--;
  return ResizeStoreFor(block, block->instanceCount);
}

ErrCode ResetInstanceLayout(KVContextBlock* block, int32_t id, bool defaultScales) {
  InstanceRecord* r = FindInstance(block, id);
  if (!r) return kKvNonexistentInstance;
  FigureState& fig = r->figure;
  fig.rows = fig.columns = 1;
  fig.freeLayout = 0;
  if (defaultScales) SetRect(fig.rect, 0, 1, 0, 1);
  fig.editField = fig.editCommand = -1;
  // Every subplot's plot and handlers unknown, so that subplot 0 is reset.
  for (SubplotRecord& s : fig.subplots) {
    s.plotId = -1;
    std::fill(std::begin(s.handlers), std::end(s.handlers), -1);
  }
  InstanceFigureHost host(block, id);
  return ResetSubplots(&fig, host, -1, -1, kPlotNone, false);
}

void SetInstanceFlagByte6(KVContextBlock* block, int32_t id, uint8_t value) {
  if (InstanceRecord* r = FindInstance(block, id)) r->entryOption = value;
}

uint8_t GetInstanceFlagByte6(KVContextBlock* block, int32_t id) {
  const InstanceRecord* r = FindInstance(block, id);
  return r ? r->entryOption : 0;
}

}  // namespace vke
