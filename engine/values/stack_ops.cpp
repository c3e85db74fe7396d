// Stack shuffles, scratch space, raw copies of entries and transposition.
#include <algorithm>
#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode DropStackEntries(EngineContext* ctx, int32_t keep, int32_t count) {
  if (count <= 0) return kOk;
  if (keep < 0 || 3ull * (uint64_t(keep) + uint64_t(count)) > ctx->descTop) return kErrIllegal;
  // A native drops its own entries only, never its caller's.
  if (ctx->descTop - 3u * uint32_t(keep + count) < ctx->nativeFloor) return kErrIllegal;
  uint64_t keepUnits = 0, dropUnits = 0;
  for (int32_t d = 0; d < keep; d++) keepUnits += DescAt(ctx, d)->size;
  for (int32_t d = keep; d < keep + count; d++) dropUnits += DescAt(ctx, d)->size;
  // Descriptors that claim more data than the data stack holds are damaged:
  // nothing is moved below its base.
  if (keepUnits + dropUnits > ctx->dataTop) return kErrIllegal;
  if (keep > 0) {
    uint32_t* w = ctx->DescWords();
    uint32_t from = ctx->descTop - 3 * keep;
    std::memmove(w + from - 3 * count, w + from, 12ull * keep);
    uint8_t* data = ctx->DataBytes();
    const uint64_t dfrom = ctx->dataTop - keepUnits;
    std::memmove(data + 8ull * (dfrom - dropUnits), data + 8ull * dfrom, 8ull * keepUnits);
  }
  ctx->descTop -= 3 * count;
  ctx->dataTop -= static_cast<uint32_t>(dropUnits);
  return kOk;
}

ErrCode RollStackEntries(EngineContext* ctx, int32_t n, int32_t k) {
  if (n <= 1) return kOk;
  if (3ull * uint32_t(n) > ctx->descTop) return kErrIllegal;
  // A native rolls its own entries only, never its caller's.
  if (ctx->descTop - 3u * uint32_t(n) < ctx->nativeFloor) return kErrIllegal;
  k %= n;
  if (k < 0) k += n;
  if (k == 0) return kOk;
  // Bottom-to-top order: the entry at depth j moves to depth (j + k) mod n,
  // which is a left rotation by k of the bottom-to-top sequence.
  uint32_t* w = ctx->DescWords() + ctx->descTop - 3 * n;
  uint64_t lowUnits = 0, total = 0;
  for (int32_t i = 0; i < n; i++) {
    uint32_t s = w[3 * i + 1];
    if (i < k) lowUnits += s;
    total += s;
  }
  // Descriptors that claim more data than the data stack holds are damaged:
  // nothing is moved below its base.
  if (total > ctx->dataTop) return kErrIllegal;
  std::rotate(w, w + 3 * k, w + 3 * n);
  // Whole 8-byte units move, not bytes.
  uint64_t* data = reinterpret_cast<uint64_t*>(ctx->DataBytes()) + (ctx->dataTop - total);
  std::rotate(data, data + lowUnits, data + total);
  return kOk;
}

ErrCode ReverseStackEntries(EngineContext* ctx, int32_t n) {
  for (int32_t m = n; m > 1; m--) {
    ErrCode e = RollStackEntries(ctx, m, m - 1);
    if (e) return e;
  }
  return kOk;
}

ErrCode DuplicateStackEntries(EngineContext* ctx, int32_t depth, int32_t n) {
  if (n <= 0) return kOk;
  if (depth < 0 || 3ull * (uint64_t(depth) + uint64_t(n)) > ctx->descTop) return kErrIllegal;
  uint64_t above = 0, units = 0;
  for (int32_t d = 0; d < depth; d++) above += DescAt(ctx, d)->size;
  for (int32_t d = depth; d < depth + n; d++) units += DescAt(ctx, d)->size;
  // The copies are read from the data stack: damaged descriptors must not
  // send the read below its base.
  if (above + units > ctx->dataTop) return kErrIllegal;
  if (uint64_t{ctx->descTop} + 3ull * n >= ctx->descCap) return kErrStackOverflow;
  if (uint64_t{ctx->dataTop} + units >= ctx->dataCap || RoomRefused(StackRoom(ctx)))
    return kErrDataOverflow;
  uint32_t start = DataIndexAt(ctx, depth + n - 1);
  uint32_t* w = ctx->DescWords();
  std::memcpy(w + ctx->descTop, w + ctx->descTop - 3 * (depth + n), 12ull * n);
  std::memcpy(ctx->DataBytes() + 8ull * ctx->dataTop, ctx->DataBytes() + 8ull * start, 8 * units);
  ctx->descTop += 3 * n;
  ctx->dataTop += static_cast<uint32_t>(units);
  return kOk;
}

bool StackRoomLacking(const EngineContext* ctx, bool reallyShort) {
  return reallyShort || RoomRefused(StackRoom(ctx));
}

ErrCode RoomToPushLacking(const EngineContext* ctx, uint32_t size, bool exactFit) {
  const uint64_t descNeed = uint64_t{ctx->descTop} + 3;
  const uint64_t dataNeed = uint64_t{ctx->dataTop} + size;
  if (exactFit ? descNeed > ctx->descCap : descNeed >= ctx->descCap) return kErrStackOverflow;
  const bool short_ = exactFit ? dataNeed > ctx->dataCap : dataNeed >= ctx->dataCap;
  return StackRoomLacking(ctx, short_) ? kErrDataOverflow : kOk;
}

ErrCode MakeRoomForResult(EngineContext* ctx, uint32_t units) {
  if (ErrCode e = CheckRoomToPush(ctx, units, false)) return e;
  HoldPlannedStackRoom();
  return kOk;
}

ErrCode PushEntryLacking(EngineContext* ctx, uint32_t flags, uint32_t size, int32_t word,
                         bool exactFit, uint8_t** data) {
  if (ErrCode e = RoomToPushLacking(ctx, size, exactFit)) return e;
  PlaceEntry(ctx, flags, size, word, data);
  return kOk;
}

ErrCode ReserveDataStack(EngineContext* ctx, uint32_t n, void** pointer) {
  if (uint64_t{ctx->dataTop} + n > ctx->dataCap || RoomRefused(StackRoom(ctx)))
    return kErrDataOverflow;
  if (pointer) *pointer = ctx->DataBytes() + 8ull * (ctx->dataCap - n);
  return kOk;
}

ErrCode GetDataStackFree(EngineContext* ctx, uint32_t* bytes, void** pointer) {
  if (bytes) *bytes = 8 * (ctx->dataCap - ctx->dataTop);
  if (pointer) *pointer = ctx->DataBytes() + 8ull * ctx->dataTop;
  return kOk;
}

int32_t GetEntryWordCount(EngineContext* ctx, int32_t depth) {
  return static_cast<int32_t>(DescAt(ctx, depth)->size) + 3;
}

ErrCode CopyEntryToBytes(EngineContext* ctx, int32_t depth, void* buffer) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  auto* out = static_cast<uint8_t*>(buffer);
  Store<double>(out, d->flags);
  Store<double>(out + 8, d->size);
  Store<double>(out + 16, d->word);
  std::memcpy(out + 24, DataAt(ctx, depth), 8ull * d->size);
  return kOk;
}

ErrCode PushEntryFromBytes(EngineContext* ctx, const void* buffer) {
  auto* in = static_cast<const uint8_t*>(buffer);
  double f = Load<double>(in), s = Load<double>(in + 8), w = Load<double>(in + 16);
  // The descriptor words were written as doubles: anything but whole numbers
  // in their ranges is not such a copy.
  auto whole = [](double x, double lo, double hi) {
    return x >= lo && x <= hi && x == std::floor(x);
  };
  if (!whole(f, 0, 4294967295.0) || !whole(w, -2147483648.0, 2147483647.0)) return kErrBadArg;
  if (!whole(s, 0, 4294967295.0)) return kErrDataOverflow;
  uint8_t* data;
  ErrCode e = PushEntry(ctx, static_cast<uint32_t>(f), static_cast<uint32_t>(s), TruncToInt32(w),
                        true, &data);
  if (e) return e;
  std::memcpy(data, in + 24, 8ull * static_cast<uint32_t>(s));
  return kOk;
}

ErrCode GetTypedValue(EngineContext* ctx, int32_t depth, int32_t* kind, uint32_t* bytes,
                      void** data) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (!IsTyped(*d) || IsStructured(*d)) return kErrWrongType;
  if (kind) *kind = d->word;
  if (bytes) *bytes = 8 * d->size;
  if (data) *data = DataAt(ctx, depth);
  return kOk;
}

ErrCode GetTypedValueSize(EngineContext* ctx, int32_t depth, uint32_t* size, void** data) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (!IsTyped(*d) || IsStructured(*d) || d->word != ctx->currentNativeId) return kErrWrongType;
  if (size) *size = 8 * d->size;
  if (data) *data = DataAt(ctx, depth);
  return kOk;
}

namespace {

void TransposeBlock(const uint8_t* src, uint8_t* dst, int32_t rows, int32_t cols, int es) {
  for (int32_t i = 0; i < rows; i++)
    for (int32_t j = 0; j < cols; j++)
      std::memcpy(dst + (int64_t(j) * rows + i) * es, src + (int64_t(i) * cols + j) * es, es);
}

}  // namespace

ErrCode TransposeTopValue(EngineContext* ctx) {
  ValueDescriptor* d = DescAt(ctx, 0);
  if (IsPlain(*d)) {
    int32_t rows = PlainRows(*d), cols = d->word;
    if (rows <= 1 || cols <= 1) {
      d->word = rows;
      return kOk;
    }
    bool complex = (d->flags & kFlagComplex) != 0;
    ErrCode e = PushZeroMatrix(ctx, cols, rows, complex);
    if (e) return e;
    const uint8_t* src = DataAt(ctx, 1);
    uint8_t* dst = DataAt(ctx, 0);
    int64_t count = int64_t(rows) * cols;
    TransposeBlock(src, dst, rows, cols, 8);
    if (complex) TransposeBlock(src + 8 * count, dst + 8 * count, rows, cols, 8);
    return DropStackEntries(ctx, 1, 1);
  }
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kOther) return kErrWrongType;
  if (v.shape.ndims > 2) return kErrNonMatrix;
  int32_t rows = v.shape.dims[0], cols = v.shape.dims[1];
  uint8_t* hdr = DataAt(ctx, 0);
  if (rows <= 1 || cols <= 1) {
    Store<uint32_t>(hdr + 8, static_cast<uint32_t>(cols));
    Store<uint32_t>(hdr + 12, static_cast<uint32_t>(rows));
    return kOk;
  }
  int32_t kind = d->word;
  uint32_t size = d->size;
  int es = ElementBytesOfCode(v.code);
  uint8_t* copy;
  ErrCode e = PushEntry(ctx, kFlagTyped, size, kind, false, &copy);
  if (e) return e;
  const uint8_t* src = DataAt(ctx, 1);
  std::memcpy(copy, src, 16);
  Store<uint32_t>(copy + 8, static_cast<uint32_t>(cols));
  Store<uint32_t>(copy + 12, static_cast<uint32_t>(rows));
  int64_t count = int64_t(rows) * cols;
  const uint8_t* se = src + 16;
  uint8_t* de = copy + 16;
  TransposeBlock(se, de, rows, cols, es);
  if (v.complex) TransposeBlock(se + es * count, de + es * count, rows, cols, es);
  uint64_t used = 16 + es * count * (v.complex ? 2 : 1);
  std::memset(copy + used, 0, 8ull * size - used);
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
