// The inputs of a handler: event values, the key, the figure size, the
// object's entry of _ppl, pasted data and the stored KV variables.
#include <cmath>
#include <cstring>

#include "app/event_values.hpp"
#include "app/handler_runner_internal.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/plot_properties.hpp"
#include "app/undo_values.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/values.hpp"
#include "graphics/port.hpp"

namespace vke {

namespace {

// Key codes of the arrow keys, in the order of their names.
constexpr uint16_t kKeyArrowUp = 0xF700;
constexpr const char* kArrowKeyNames[] = {"up", "down", "left", "right"};

bool IsLineEnd(char c) {
  return c == '\n' || c == '\r';
}

ErrCode PushKeyName(EngineContext* ctx, uint32_t key) {
  const auto ch = static_cast<uint16_t>(key);
  if (ch >= kKeyArrowUp && ch < kKeyArrowUp + 4)
    return PushCString(ctx, -1, kArrowKeyNames[ch - kKeyArrowUp]);
  return PushWideString(ctx, ch ? 1 : 0, &ch);
}

// _width and _height: the figure extent in the port's units.
ErrCode PushFigureSize(KVContextBlock* block, int32_t id, bool height) {
  EngineContext* ctx = block->Engine();
  const InstanceRecord* r = FindInstance(block, id);
  if (!r) return kKvNonexistentInstance;
  double sx = 1, sy = 1;
  if (block->portFunctions && block->portFunctions->pixelScale)
    block->portFunctions->pixelScale(&sx, &sy);
  const double* rect = r->figure.rect;  // left, right, top, bottom
  return PushRealScalar(ctx, height ? std::fabs(rect[2] - rect[3]) * sy : (rect[1] - rect[0]) * sx);
}

// Compiles the text as an expression list in the current scope and runs it
// in the engine's sandbox: text from the clipboard may come from anywhere,
// so it calls none of the natives that reach files, devices or the host. It
// must give exactly one value.
ErrCode EvaluateXData(EngineContext* ctx, const char* text, int32_t length) {
  SavedCodePointer before;
  SaveCodePointer(ctx, &before);
  const int32_t entries = GetFrameEntryCount(ctx);
  int32_t count = 1;
  ErrCode e = RunTextInFunctionScope(ctx, text, length, &count);
  if (!e) MarkFrameAsEntry(ctx);
  if (!e) e = ExecuteBytecode(ctx, 0);
  if (!e && GetFrameEntryCount(ctx) - entries != 1) e = kErrTooManyArgin;
  if (e && e != kStatusDebug) AbandonRun(ctx, e, before);
  return e;
}

}  // namespace

ErrCode GetXDataArgument(KVContextBlock* block, int32_t code, const char* data, int32_t length) {
  EngineContext* ctx = block->Engine();
  const bool type = code == kVarXDataType;
  if (!data || length <= 0) return PushCString(ctx, 0, "");
  if (length < kXDataLineLength || std::memcmp(data, kXDataLine, kXDataLineLength) != 0)
    return type ? PushCString(ctx, -1, "text") : PushCString(ctx, length, data);
  int32_t end = kXDataLineLength;
  while (end < length && data[end] != '"' && !IsLineEnd(data[end])) end++;
  if (type) return PushCString(ctx, end - kXDataLineLength, data + kXDataLineLength);
  int32_t rest = end < length ? end + 1 : length;
  while (rest < length && IsLineEnd(data[rest])) rest++;
  return EvaluateXData(ctx, data + rest, length - rest);
}

ErrCode PushHandlerInput(KVContextBlock* block, const HandlerRequest& r, int32_t code) {
  EngineContext* ctx = block->Engine();
  const int32_t back = r.previous ? 1 : 0;
  const bool eventCode = code >= kVarZ && code <= kVarParam;
  if (eventCode && !r.event && !(code == kVarParam && r.objectId >= 0)) return PushEmptyMatrix(ctx);
  block->inputObjectId = r.objectId;
  switch (code) {
    case kVarAction:
      return PushHandlerAction(block);
    case kVarParam:
      return GetPlotListEntry(block, r.instance, r.objectId, back);
    case kVarKey:
      return PushKeyName(ctx, r.key);
    case kVarFd:
      return PushRealScalar(ctx, r.fdValue);
    case kVarWidth:
    case kVarHeight:
      return PushFigureSize(block, r.instance, code == kVarHeight);
    case kVarXData:
    case kVarXDataType:
      return GetXDataArgument(block, code, r.data, r.dataLength);
    default:
      // The event values, _theta* and _rho* among them, come from the
      // event state as their natives give them.
      if (code >= kVarZ && code <= kVarIx) return GetEventVariable(block, code);
      return PushUndoValue(block, r.instance, back, code);
  }
}

}  // namespace vke
