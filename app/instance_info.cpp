// Title, version and help texts of an instance.
#include "app/instance_info.hpp"

#include "app/element_list.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_values.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// The variable and the element kind of an info letter; false for others.
bool InfoSource(char letter, int32_t* variable, uint32_t* kind) {
  switch (letter) {
    case 't':
      *variable = kVarTitle;
      *kind = kElemTitle;
      return true;
    case 'v':
      *variable = kVarVersion;
      *kind = kElemVersion;
      return true;
    case 'h':
      *variable = kVarHelp;
      *kind = kElemHelp;
      return true;
    default:
      return false;
  }
}

}  // namespace

ErrCode GetInstanceInfoText(KVContextBlock* block, int32_t id, char letter, bool require) {
  int32_t variable;
  uint32_t kind;
  if (!InfoSource(letter, &variable, &kind)) return kErrIllegal;
  if (!FindInstance(block, id)) return kKvNonexistentInstance;
  EngineContext* ctx = block->Engine();
  const ErrCode pushed = PushUndoValue(block, id, 0, variable);
  if (!pushed) {
    if (ViewNumeric(ctx, 0).cls == ValueClass::kChar) return kOk;
    if (ErrCode e = Drop(ctx)) return e;
  } else if (pushed != kKvNonexistentUndoSet && pushed != kKvVarNotFound) {
    return pushed;
  }
  std::string_view text;
  if (GetInstanceElement(block, id, kind, &text, nullptr) == kOk)
    return PushUtf8String(ctx, static_cast<int32_t>(text.size()), text.data());
  return require ? kKvUndefElement : PushCString(ctx, 0, "");
}

ErrCode SetInstanceInfoText(KVContextBlock* block, int32_t id, const char* text, int32_t length,
                            char letter) {
  int32_t variable;
  uint32_t kind;
  if (!InfoSource(letter, &variable, &kind)) return kErrIllegal;
  EngineContext* ctx = block->Engine();
  ErrCode e = text ? PushUtf8String(ctx, length, text) : PushEmptyMatrix(ctx);
  if (e) return e;
  e = StoreUndoValue(block, id, 0, variable);
  if (e) Drop(ctx);
  return e;
}

ErrCode GetInstanceText(KVContextBlock* block, int32_t id, char mode, char letter, char* buffer,
                        int32_t capacity, int32_t* length) {
  if (mode != 'n') return kErrNotSupported;
  if (ErrCode e = GetInstanceInfoText(block, id, letter, false)) return e;
  EngineContext* ctx = block->Engine();
  const NumericView v = ViewNumeric(ctx, 0);
  int32_t n = 0;
  for (int32_t i = 0; i < v.shape.count; i++) {
    const auto ch = Load<uint16_t>(v.elements + 2 * i);
    if (n + Utf8Length(ch) > capacity - 1) break;
    n += EncodeUtf8Char(ch, reinterpret_cast<uint8_t*>(buffer) + n);
  }
  if (capacity > 0) buffer[n] = 0;
  if (length) *length = n;
  return Drop(ctx);
}

ErrCode GetInstanceTitle(KVContextBlock* block, int32_t id, char* buffer, int32_t capacity,
                         int32_t* length) {
  return GetInstanceText(block, id, 'n', 't', buffer, capacity, length);
}

ErrCode GetInstanceVersionText(KVContextBlock* block, int32_t id, char mode, char* buffer,
                               int32_t capacity, int32_t* length) {
  return GetInstanceText(block, id, mode, 'v', buffer, capacity, length);
}

ErrCode GetInstanceHelpText(KVContextBlock* block, int32_t id, char mode, char* buffer,
                            int32_t capacity, int32_t* length) {
  return GetInstanceText(block, id, mode, 'h', buffer, capacity, length);
}

}  // namespace vke
