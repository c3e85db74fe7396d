// Results that replace a call's inputs on the stacks.
#include "engine/values/stack_results.hpp"

#include <cstring>

#include "engine/room_requests.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode ReplaceInputsWithLogical(EngineContext* ctx, int32_t n, bool value) {
  return PushInPlaceOfTop(ctx, n, [&] { return PushLogicalScalar(ctx, value ? 1 : 0); });
}

ErrCode ReplaceInputsWithNothing(EngineContext* ctx, int32_t n, int32_t nargout) {
  if (nargout >= 0) return Drop(ctx, n);
  if (n < 1) return PushNoValue(ctx);
  // The entry an input leaves holds the empty result, which has no data: no
  // shortage can come here, so none is asked for (a test refusing it would
  // have a native that already wrote its text run again).
  const RoomRequestsPaused paused;
  return PushInPlaceOfTop(ctx, n, [&] { return PushNoValue(ctx); });
}

ErrCode RoomForNothing(EngineContext* ctx, int32_t n, int32_t nargout) {
  return n < 1 && nargout < 0 ? MakeRoomForResult(ctx, 0) : kOk;
}

ErrCode ReplaceInputsWithScalar(EngineContext* ctx, int32_t n, double re, double im) {
  const uint32_t units = im == 0 ? 1 : 2;
  uint64_t held = 0;
  for (int32_t k = 0; k < n && 3u * static_cast<uint32_t>(k) < ctx->descTop; k++)
    held += DescAt(ctx, k)->size;
  if (n < 1 || 3ull * n > ctx->descTop || held < units)
    return PushInPlaceOfTop(ctx, n, [&] { return PushComplexScalar(ctx, re, im); });
  const RoomRequestsPaused paused;
  if (ErrCode e = Drop(ctx, n)) return e;
  uint8_t* data;
  if (ErrCode e = PushEntry(ctx, units == 2 ? kFlagComplex : 0, units, 1, true, &data)) return e;
  Store<double>(data, re);
  if (units == 2) Store<double>(data + 8, im);
  return kOk;
}

ErrCode CheckPlannedRoom(EngineContext* ctx, int64_t entries, int64_t units) {
  if (entries > 0 && int64_t{ctx->descTop} + 3 * entries >= int64_t{ctx->descCap})
    return kErrStackOverflow;
  if (units > int64_t{ctx->dataCap} - int64_t{ctx->dataTop} || RoomRefused(StackRoom(ctx)))
    return kErrDataOverflow;
  HoldPlannedStackRoom();
  return kOk;
}

ErrCode DropInputsUnderResult(EngineContext* ctx, int32_t n) {
  return DropStackEntries(ctx, 1, n);
}

ErrCode ShrinkTopCharRow(EngineContext* ctx, int32_t first, int32_t n) {
  ValueDescriptor* d = DescAt(ctx, 0);
  if (!IsTypedKind(*d, kKindChar) || IsStructured(*d)) return kErrWrongType;
  uint8_t* data = DataAt(ctx, 0);
  const uint8_t* from = HeaderElements(data) + 2ull * first;
  const int32_t dims[2] = {n > 0 ? 1 : 0, n};
  uint8_t* to = data + 8 * HeaderUnits(2);
  std::memmove(to, from, 2ull * n);
  const auto units = static_cast<uint32_t>(TypedArrayUnits(2, 2ull * n));
  std::memset(to + 2ull * n, 0, 8ull * units - 8 * HeaderUnits(2) - 2ull * n);
  WriteTypedHeader(data, kCodeUInt16, 2, dims);
  ctx->dataTop -= d->size - units;
  d->size = units;
  return kOk;
}

}  // namespace vke
