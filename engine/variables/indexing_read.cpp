// Indexed reading: x(...) of arrays of every numeric class, and the
// selection of items of a list.
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

ErrCode IndexSelect(EngineContext* ctx, const ArrayOperand& x, const SubscriptList& subs) {
  if (subs.n > kMaxSubscripts) return kErrBadDim;
  NumericView xv = ViewNumericData(x.desc, OperandData(ctx, x));
  if (xv.cls == ValueClass::kOther) return kErrWrongType;
  if (subs.n == 0) return PushOperandCopy(ctx, x);
  DataScratch scratch(ctx);
  IndexAnalysis a;
  ErrCode e = AnalyzeIndices(ctx, xv.shape, subs, IndexMode::kRead, nullptr, &scratch, &a);
  if (e) return e;
  return PushSelection(ctx, x, a, a.result);
}

ErrCode IndexListSelect(EngineContext* ctx, uint32_t items, int32_t count, bool all) {
  if (count < 0) return kErrIllegal;
  int32_t picks = count;
  uint32_t indexAt = 0;  // the index array's elements; pushing above it leaves them in place
  if (!all) {
    NumericView index = ViewNumeric(ctx, 0);
    if (index.cls != ValueClass::kInteger || index.code != kCodeInt32) return kErrIllegal;
    picks = index.shape.count;
    indexAt = static_cast<uint32_t>(index.elements - ctx->Bytes());
    for (int32_t k = 0; k < picks; k++) {
      int32_t v = Load<int32_t>(index.elements + 4ull * k);
      if (v < 1 || v > count) return kErrIndexOutOfRange;
    }
  }
  // Where each item starts (byte offsets from the context), found in one walk.
  DataScratch scratch(ctx);
  uint32_t tableAt;
  ErrCode e = scratch.Reserve(4ull * count, &tableAt);
  if (e) return e;
  auto* table = reinterpret_cast<uint32_t*>(ctx->Bytes() + tableAt);
  uint32_t at = items;
  for (int32_t i = 0; i < count; i++) {
    table[i] = at;
    at += ItemBytes(ctx->Bytes() + at);
  }
  auto pick = [&](int32_t k) -> uint32_t {
    return all ? table[k] : table[Load<int32_t>(ctx->Bytes() + indexAt + 4ull * k) - 1];
  };
  uint64_t bytes = 0;
  for (int32_t k = 0; k < picks; k++) bytes += ItemBytes(ctx->Bytes() + pick(k));
  if (bytes / 8 > UINT32_MAX) return kErrObjTooLarge;
  uint8_t* out;
  e = PushEntry(ctx, kFlagStructured, static_cast<uint32_t>(bytes / 8), kKindList, false, &out);
  if (e) return e;
  uint32_t outAt = static_cast<uint32_t>(out - ctx->Bytes());
  for (int32_t k = 0; k < picks; k++) {
    uint32_t src = pick(k);
    uint32_t size = ItemBytes(ctx->Bytes() + src);
    std::memcpy(ctx->Bytes() + outAt, ctx->Bytes() + src, size);
    outAt += size;
  }
  return all ? kOk : DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
