// Moving values of KV variables between the engine's stack and the undo
// buffer.
#include "app/undo_values.hpp"

#include "app/undo_buffer.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode PushUndoValue(KVContextBlock* block, int32_t id, int32_t back, int32_t code) {
  EngineContext* ctx = block->Engine();
  if (IsConstantCode(code)) return PushRealScalar(ctx, ConstantCodeValue(code));
  uint32_t units;
  void* data;
  if (ErrCode e = GetUndoValue(block->UndoArea(), id, back, code, &units, &data)) return e;
  return data ? PushEntryFromBytes(ctx, data) : PushEmptyMatrix(ctx);
}

ErrCode StoreUndoValue(KVContextBlock* block, int32_t id, int32_t back, int32_t code) {
  EngineContext* ctx = block->Engine();
  const auto units = static_cast<uint32_t>(GetEntryWordCount(ctx, 0));
  void* data;
  if (ErrCode e = SetUndoValue(block->UndoArea(), id, back, code, units, &data)) return e;
  if (data) CopyEntryToBytes(ctx, 0, data);
  return Drop(ctx);
}

}  // namespace vke
