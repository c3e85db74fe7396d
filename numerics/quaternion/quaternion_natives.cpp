// The quaternion constructor and the questions about a quaternion's shape:
// quaternion, isquaternion, numel, ndims, length, isempty, size and double.
#include <algorithm>
#include <cstring>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"
#include "numerics/quaternion/quaternion_value.hpp"

namespace vke {

namespace {

// Option letters of GetQuaternionCount.
constexpr uintptr_t kLength = 'l';
constexpr uintptr_t kNdims = 'd';
constexpr uintptr_t kNumel = 'e';

// A double argument of the constructor.
struct Source {
  Shape shape;
  double* re = nullptr;
  double* im = nullptr;
};

// Reads the constructor's arguments (the first deepest) with `above`
// entries over them; 44 for any that is no double array.
ErrCode ReadSources(EngineContext* ctx, int32_t nargin, int32_t above, Source* s) {
  for (int32_t k = 0; k < nargin; k++)
    if (GetDoubleArrayArg(ctx, nargin - 1 - k + above, &s[k].shape, &s[k].re, &s[k].im))
      return kErrWrongTypeOverload;
  return kOk;
}

// quaternion(w, V): V's real part gives x, y and z, as rows of three, as
// three consecutive blocks, or as three pages along its last dimension.
ErrCode CheckScalarAndVector(const Source& w, const Source& v) {
  if (v.shape.ndims == 2) {
    if (w.shape.ndims != 2 || w.shape.dims[1] > 1 ||
        int64_t{v.shape.count} != 3 * int64_t{w.shape.count} ||
        (w.shape.dims[0] != v.shape.dims[0] && w.shape.dims[0] != 1))
      return kErrIncompSize;
    return kOk;
  }
  if (v.shape.ndims != w.shape.ndims + 1) return kErrIncompSize;
  if (v.shape.dims[v.shape.ndims - 1] != 3) return kErrBadSize;
  for (int32_t d = 0; d < w.shape.ndims; d++)
    if (v.shape.dims[d] != w.shape.dims[d]) return kErrIncompSize;
  return kOk;
}

void FillVectorPart(const Source& v, const QuaternionView& q) {
  const int64_t n = q.Count();
  const bool rows = v.shape.ndims == 2 && v.shape.dims[1] == 3;
  for (int k = 0; k < 3; k++)
    for (int64_t i = 0; i < n; i++) q.c[k + 1][i] = rows ? v.re[3 * i + k] : v.re[k * n + i];
}

}  // namespace

ErrCode QuaternionNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (nargin == 1 && IsQuaternionAt(ctx, 0)) return kOk;
  Source s[4];
  if (ErrCode e = ReadSources(ctx, nargin, 0, s)) return e;
  Shape shape;
  shape.dims[0] = shape.dims[1] = shape.count = 1;
  if (nargin == 1 || nargin == 2) shape = s[0].shape;
  if (nargin == 2) {
    if (ErrCode e = CheckScalarAndVector(s[0], s[1])) return e;
  } else if (nargin >= 3) {
    const int32_t xArg = nargin == 3 ? 0 : 1;
    shape = s[xArg].shape;
    for (int32_t k = 0; k < nargin; k++)
      if (!SameDims(s[k].shape, shape)) return kErrIncompSize;
  }
  QuaternionView q;
  if (ErrCode e = PushNewQuaternionArray(ctx, shape, &q)) return e;
  ReadSources(ctx, nargin, 1, s);
  const size_t bytes = 8ull * q.Count();
  for (int k = 0; k < 4; k++) std::memset(q.c[k], 0, bytes);
  if (nargin == 1) {
    std::memcpy(q.c[0], s[0].re, bytes);
    if (s[0].im) std::memcpy(q.c[1], s[0].im, bytes);
  } else if (nargin == 2) {
    std::memcpy(q.c[0], s[0].re, bytes);
    FillVectorPart(s[1], q);
  } else if (nargin >= 3) {
    for (int32_t k = 0; k < nargin; k++) std::memcpy(q.c[4 - nargin + k], s[k].re, bytes);
  }
  return DropStackEntries(ctx, 1, nargin);
}

ErrCode IsquaternionNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  return ReplaceInputsWithLogical(ctx, 1, IsQuaternionAt(ctx, 0));
}

ErrCode GetQuaternionCount(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, 0, &q)) return e;
  double value;
  switch (option) {
    case kLength:
      value = *std::max_element(q.shape.dims, q.shape.dims + q.shape.ndims);
      break;
    case kNdims:
      value = q.shape.ndims;
      break;
    case kNumel:
      value = q.Count();
      break;
    default:
      return kErrIllegal;
  }
  return PushInPlaceOfTop(ctx, 1, [&] { return PushRealScalar(ctx, value); });
}

ErrCode QuaternionIsempty(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, 0, &q)) return e;
  return ReplaceInputsWithLogical(ctx, 1, q.Count() == 0);
}

ErrCode QuaternionSize(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, nargin - 1, &q)) return e;
  // The sizes are pushed above the arguments, which go once they stand.
  if (nargin == 2) {
    int32_t d;
    if (ErrCode e = GetIntegerArg(ctx, 0, &d)) return e;
    if (d < 1) return kErrBadDim;
    const double size = d > q.shape.ndims ? (q.shape.dims[0] > 0 ? 1 : 0) : q.shape.dims[d - 1];
    return PushInPlaceOfTop(ctx, 2, [&] { return PushRealScalar(ctx, size); });
  }
  const Shape shape = q.shape;
  if (nargout >= 2) {
    // The first output on top.
    const uint32_t level = ctx->descTop;
    ErrCode e = PushRealScalar(ctx, shape.dims[1]);
    if (!e) e = PushRealScalar(ctx, shape.dims[0]);
    if (e) {
      DropAboveLevel(ctx, level);
      return e;
    }
    return DropStackEntries(ctx, 2, 1);
  }
  double* row;
  if (ErrCode e = PushInPlaceOfTop(
          ctx, 1, [&] { return PushNewMatrix(ctx, 1, shape.ndims, &row, nullptr); }))
    return e;
  for (int32_t d = 0; d < shape.ndims; d++) row[d] = shape.dims[d];
  return kOk;
}

ErrCode QuaternionDouble(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  if (ErrCode e = PushComponentLayout(ctx, 0, 0)) return e;
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
