// Reading and writing entries of the plot-properties list _ppl.
#include "app/plot_properties.hpp"

#include <algorithm>

#include "app/name_buffer.hpp"
#include "app/undo_values.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/values.hpp"

namespace vke {
namespace {

// Entries of the list at depth 0, 0 when it is no list.
int32_t ListEntries(EngineContext* ctx) {
  StructuredParts parts;
  return IsListValue(ctx, 0) && GetListParts(ctx, 0, &parts) == kOk ? parts.elements : 0;
}

}  // namespace

ErrCode GetPlotProperties(KVContextBlock* block, int32_t id, int32_t k) {
  EngineContext* ctx = block->Engine();
  if (k < 0) return DropStackEntries(ctx, 0, 1);
  if (k == INT32_MAX) return kErrIndexOutOfRange;
  // A failure leaves the value on top, as it found it, so that the caller
  // may store it again once there is room.
  const int32_t base = GetFrameEntryCount(ctx);
  const auto fail = [&](ErrCode e) {
    Drop(ctx, GetFrameEntryCount(ctx) - base);
    return e;
  };
  if (ErrCode e = PushUndoValue(block, id, 0, kVarPpl)) return fail(e);
  const int32_t count = ListEntries(ctx);
  const int32_t entry = k + 1;
  const int32_t total = std::max(count, entry);
  // With i - 1 entries pushed, the old list lies at depth i - 1 and the
  // value at depth i.
  for (int32_t i = 1; i <= total; ++i) {
    const ErrCode e = i == entry   ? DuplicateStackEntries(ctx, i, 1)
                      : i <= count ? GetListElement(ctx, i - 1, i)
                                   : PushEmptyMatrix(ctx);
    if (e) return fail(e);
  }
  if (ErrCode e = PushListFromEntries(ctx, total, false, nullptr, 0)) return fail(e);
  if (ErrCode e = StoreUndoValue(block, id, 0, kVarPpl)) return fail(e);
  return DropStackEntries(ctx, 0, 2);
}

ErrCode GetPlotListEntry(KVContextBlock* block, int32_t id, int32_t k, int32_t back) {
  EngineContext* ctx = block->Engine();
  if (k < 0) return PushEmptyMatrix(ctx);
  if (ErrCode e = PushUndoValue(block, id, back, kVarPpl)) return e;
  if (k >= ListEntries(ctx)) {
    DropStackEntries(ctx, 0, 1);
    return PushEmptyMatrix(ctx);
  }
  if (ErrCode e = GetListElement(ctx, 0, k + 1)) return e;
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
