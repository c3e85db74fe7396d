// Making and reading quaternion array values and their double operands.
#include "numerics/quaternion/quaternion_value.hpp"

#include <cstring>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

namespace {

// Arrays with this many dimensions or more have no room for the component
// dimension of PushComponentLayout.
constexpr int32_t kMaxLaidOutDims = 16;
// Words of the header: ndims, count, offset.
constexpr uint32_t kHeaderWords = 3;

// Offset of the component blocks, in 8-byte units.
uint32_t BlockOffset(int32_t ndims) {
  return (4u * static_cast<uint32_t>(ndims) + 16u) / 8u;
}

void ReadView(uint8_t* data, QuaternionView* out) {
  const uint32_t ndims = Load<uint32_t>(data);
  const uint32_t count = Load<uint32_t>(data + 4);
  const uint32_t offset = Load<uint32_t>(data + 8);
  out->shape.ndims = static_cast<int32_t>(ndims);
  for (uint32_t d = 0; d < ndims && d < kMaxDims; d++)
    out->shape.dims[d] = static_cast<int32_t>(Load<uint32_t>(data + 4 * (kHeaderWords + d)));
  out->shape.count = static_cast<int32_t>(count);
  auto* blocks = reinterpret_cast<double*>(data + 8ull * offset);
  for (int k = 0; k < 4; k++) out->c[k] = blocks + uint64_t{count} * k;
}

}  // namespace

uint64_t QuaternionBytes(int32_t ndims, int64_t count) {
  return 8ull * BlockOffset(ndims) + 32ull * static_cast<uint64_t>(count);
}

ErrCode PushNewQuaternionArray(EngineContext* ctx, const Shape& shape, QuaternionView* out) {
  Shape s;
  int64_t count;
  if (!NormaliseShape(shape.ndims, shape.dims, &s) || !ShapeCount(s, &count))
    return kErrObjTooLarge;
  const uint64_t bytes = QuaternionBytes(s.ndims, count);
  if (bytes > 0xFFFFFFF0u) return kErrObjTooLarge;
  void* data;
  if (ErrCode e = PushTypedEntryDefault(ctx, static_cast<uint32_t>(bytes), &data)) return e;
  auto* p = static_cast<uint8_t*>(data);
  const uint32_t offset = BlockOffset(s.ndims);
  std::memset(p, 0, 8ull * offset);
  Store<uint32_t>(p, static_cast<uint32_t>(s.ndims));
  Store<uint32_t>(p + 4, static_cast<uint32_t>(count));
  Store<uint32_t>(p + 8, offset);
  for (int32_t d = 0; d < s.ndims; d++)
    Store<uint32_t>(p + 4 * (kHeaderWords + d), static_cast<uint32_t>(s.dims[d]));
  ReadView(p, out);
  return kOk;
}

ErrCode GetQuaternionArg(EngineContext* ctx, int32_t depth, QuaternionView* out) {
  void* data;
  if (ErrCode e = GetTypedValueSize(ctx, depth, nullptr, &data)) return e;
  ReadView(static_cast<uint8_t*>(data), out);
  return kOk;
}

bool IsQuaternionAt(EngineContext* ctx, int32_t depth) {
  return GetTypedValueSize(ctx, depth, nullptr, nullptr) == kOk;
}

ErrCode GetQuaternionOperand(EngineContext* ctx, int32_t depth, QuaternionOperand* out) {
  *out = QuaternionOperand{};
  if (GetQuaternionArg(ctx, depth, &out->q) == kOk) {
    out->quaternion = true;
    return kOk;
  }
  return GetDoubleArrayArg(ctx, depth, &out->q.shape, &out->re, &out->im);
}

ErrCode PushComponent(EngineContext* ctx, int32_t depth, int32_t k) {
  QuaternionOperand x;
  if (ErrCode e = GetQuaternionOperand(ctx, depth, &x)) return e;
  if (!x.quaternion) {
    double* re;
    return k == 0 ? DuplicateStackEntries(ctx, depth, 1)
                  : PushDoubleArrayOfShape(ctx, x.q.shape, &re);
  }
  uint32_t elements;
  int32_t count;
  ErrCode e = PushArrayOfClass(ctx, ArrayClass{}, false, x.q.shape, &elements, &count, false);
  if (e) return e;
  // The blocks lie under what was pushed, where they were.
  GetQuaternionArg(ctx, depth + 1, &x.q);
  std::memcpy(ctx->Bytes() + elements, x.q.c[k], 8ull * x.Count());
  return kOk;
}

ErrCode PushComponentArrays(EngineContext* ctx, int32_t depth) {
  for (int32_t k = 0; k < 4; k++) {
    if (ErrCode e = PushComponent(ctx, depth + k, k)) {
      DropStackEntries(ctx, 0, k);
      return e;
    }
  }
  return kOk;
}

ErrCode PushComponentLayout(EngineContext* ctx, int32_t depth, int32_t first) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, depth, &q)) return e;
  const int32_t parts = 4 - first;
  const int32_t rows = q.shape.dims[0], cols = q.shape.dims[1];
  const int64_t n = q.Count();
  Shape out = q.shape;
  bool interleaved = false;  // rows of the components
  if (q.shape.ndims == 2 && cols <= 1 && rows <= 1) {
    out.dims[0] = rows == 0 ? 0 : parts;
  } else if (q.shape.ndims == 2 && cols == 1) {
    out.dims[1] = parts;
    interleaved = true;
  } else {
    if (q.shape.ndims >= kMaxLaidOutDims) return kErrObjTooLarge;
    out.dims[out.ndims++] = parts;
  }
  uint32_t elements;
  int32_t count;
  if (ErrCode e = PushArrayOfClass(ctx, ArrayClass{}, false, out, &elements, &count, false))
    return e;
  auto* re = reinterpret_cast<double*>(ctx->Bytes() + elements);
  GetQuaternionArg(ctx, depth + 1, &q);
  for (int32_t k = 0; k < parts; k++) {
    if (!interleaved) {
      std::memcpy(re + n * k, q.c[first + k], 8ull * n);
      continue;
    }
    for (int64_t i = 0; i < n; i++) re[parts * i + k] = q.c[first + k][i];
  }
  return kOk;
}

ErrCode JoinComponentArrays(EngineContext* ctx) {
  return QuaternionNative(ctx, 4, 1, 0);
}

ErrCode ConvertToQuaternionAt(EngineContext* ctx, int32_t depth) {
  QuaternionOperand x;
  if (ErrCode e = GetQuaternionOperand(ctx, depth, &x)) return e;
  if (x.quaternion) return kOk;
  QuaternionView q;
  if (ErrCode e = PushNewQuaternionArray(ctx, x.q.shape, &q)) return e;
  GetQuaternionOperand(ctx, depth + 1, &x);
  const size_t bytes = 8ull * x.Count();
  std::memcpy(q.c[0], x.re, bytes);
  if (x.im)
    std::memcpy(q.c[1], x.im, bytes);
  else
    std::memset(q.c[1], 0, bytes);
  std::memset(q.c[2], 0, bytes);
  std::memset(q.c[3], 0, bytes);
  return ReplaceEntryWithTop(ctx, depth);
}

}  // namespace vke
