// Matrix rearrangement builtins: transpose and ctranspose, fliplr, flipud
// and flipdim, rot90, tril and triu, and diag.
#include <algorithm>
#include <cstdlib>

#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"

namespace vke {

namespace {

// Reverses the top value along zero-based dimension d (nothing to do when
// that dimension has one element or lies beyond the value's dimensions).
ErrCode FlipTop(EngineContext* ctx, int32_t d) {
  Shape s;
  ErrCode e = GetValueShape(ctx, 0, &s);
  if (e) return AllowOverload(e);
  if (d >= s.ndims || s.dims[d] <= 1) return kOk;
  return RearrangeTop(ctx, s, [&](const int32_t* subs) {
    int32_t src[kMaxDims];
    for (int32_t k = 0; k < s.ndims; k++) src[k] = subs[k];
    src[d] = s.dims[d] - 1 - subs[d];
    return SubscriptsToIndex(s.ndims, s.dims, s.ndims, src);
  });
}

// An optional integer argument k on top (when present, left there); else
// the default.
ErrCode GetOptionalInteger(EngineContext* ctx, int32_t nargin, int32_t fallback, int32_t* k) {
  *k = fallback;
  return nargin >= 2 ? GetIntegerArg(ctx, 0, k) : kOk;
}

// The arguments of tril, triu and diag: the diagonal k (default 0) on top,
// and the numeric, char or logical matrix under it (44 for other values, 34
// for more than two dimensions).
ErrCode GetMatrixAndDiagonal(EngineContext* ctx, int32_t nargin, NumericView* v, int32_t* k) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr);
  if (!e) e = GetOptionalInteger(ctx, nargin, 0, k);
  if (e) return e;
  *v = ViewNumeric(ctx, nargin - 1);
  if (v->cls == ValueClass::kOther) return kErrWrongTypeOverload;
  if (v->shape.ndims > 2) return kErrBadDim;
  return kOk;
}

}  // namespace

ErrCode TransposeBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, 1, nullptr);
  if (e) return e;
  const NumericView v = ViewNumeric(ctx, 0);
  if (v.cls != ValueClass::kOther && v.shape.count == 0) {
    // An empty value keeps its shape, transposed: 0 x 3 becomes 3 x 0.
    Shape s = v.shape;
    std::swap(s.dims[0], s.dims[1]);
    uint32_t at;
    e = PushArrayWithShape(ctx, ClassOfView(v), false, s, &at);
    if (e) return e;
    return DropStackEntries(ctx, 1, 1);
  }
  if (TransposeTopValue(ctx) == kOk) return kOk;
  // More than two dimensions, or not a numeric value: exchange dimensions 1
  // and 2 as permute([2 1 ...]) does.
  Shape s;
  e = GetValueShape(ctx, 0, &s);
  if (e) return AllowOverload(e);
  int32_t order[kMaxDims];
  for (int32_t k = 0; k < s.ndims; k++) order[k] = k;
  order[0] = 1;
  order[1] = 0;
  return PermuteTop(ctx, s.ndims, order);
}

ErrCode CtransposeBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t option) {
  ErrCode e = TransposeBuiltin(ctx, nargin, nargout, option);
  if (e) return e;
  return ConjBuiltin(ctx, 1, 1, 0);
}

// flipud (option 1) and flipdim (option 0, the dimension given).
ErrCode FlipBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr);
  if (e) return e;
  int32_t d = 0;
  if (option == 0) {
    e = GetDimensionArg(ctx, 0, &d);
    if (e) return e;
  }
  return ReplaceValueUnderOptions(ctx, nargin, [&] { return FlipTop(ctx, d); });
}

ErrCode FliplrBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, 1, nullptr);
  if (e) return e;
  return FlipTop(ctx, 1);
}

// rot90(x) and rot90(x, k): each page turned counterclockwise k times.
ErrCode Rot90Builtin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr);
  if (e) return e;
  int32_t k;
  e = GetOptionalInteger(ctx, nargin, 1, &k);
  if (e) return e;
  k &= 3;
  Shape s;
  e = GetValueShape(ctx, nargin - 1, &s);
  if (e) return AllowOverload(e);
  if (k == 0 || s.count == 0) return Drop(ctx, nargin - 1);
  const int32_t m = s.dims[0], n = s.dims[1];
  Shape result = s;
  if (k != 2) std::swap(result.dims[0], result.dims[1]);
  return ReplaceValueUnderOptions(ctx, nargin, [&] {
    return RearrangeTop(ctx, result, [&](const int32_t* subs) {
      int32_t src[kMaxDims];
      for (int32_t i = 2; i < s.ndims; i++) src[i] = subs[i];
      const int32_t i = subs[0], j = subs[1];
      src[0] = k == 1 ? j : k == 2 ? m - 1 - i : m - 1 - j;
      src[1] = k == 1 ? n - 1 - i : k == 2 ? n - 1 - j : i;
      return SubscriptsToIndex(s.ndims, s.dims, s.ndims, src);
    });
  });
}

// tril 'l' (zero above diagonal k) and triu 'u' (zero below it), in place.
ErrCode TriangleBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  NumericView v;
  int32_t k;
  ErrCode e = GetMatrixAndDiagonal(ctx, nargin, &v, &k);
  if (e) return e;
  const int64_t rows = v.shape.dims[0], cols = v.shape.dims[1], count = v.shape.count;
  const int64_t es = ElementBytesOfCode(v.code);
  for (int64_t i = 0; i < rows; i++) {
    for (int64_t j = 0; j < cols; j++) {
      const bool cleared = option == 'l' ? j > i + k : j < i + k;
      if (!cleared) continue;
      std::memset(v.elements + (i * cols + j) * es, 0, es);
      if (v.complex) std::memset(v.elements + (count + i * cols + j) * es, 0, es);
    }
  }
  return Drop(ctx, nargin - 1);
}

// diag(x) and diag(x, k): the square matrix with a vector on diagonal k, or
// the column of a matrix's diagonal k.
ErrCode DiagBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  NumericView v;
  int32_t k32;
  ErrCode e = GetMatrixAndDiagonal(ctx, nargin, &v, &k32);
  if (e) return e;
  if (v.shape.count == 0) return Drop(ctx, nargin - 1);
  const int64_t k = k32, rows = v.shape.dims[0], cols = v.shape.dims[1];
  const int64_t es = ElementBytesOfCode(v.code);
  const bool vector = rows == 1 || cols == 1;
  Shape result;
  int64_t length;  // elements taken from x
  if (vector) {
    length = v.shape.count;
    const int64_t side = length + std::llabs(k);
    if (side > INT32_MAX) return kErrObjTooLarge;
    result.dims[0] = result.dims[1] = static_cast<int32_t>(side);
  } else {
    length = 0;
    if (-rows < k && k < cols) length = k > 0 ? std::min(rows, cols - k) : std::min(cols, rows + k);
    result.dims[0] = static_cast<int32_t>(length);
    result.dims[1] = 1;
  }
  uint32_t at;
  int32_t count;
  // The result first, above x and k: they go once it stands.
  e = PushArrayOfClass(ctx, ClassOfView(v), v.complex, result, &at, &count);
  if (e) return e;
  v = ViewNumeric(ctx, nargin);
  uint8_t* out = ctx->Bytes() + at;
  for (int64_t i = 0; i < length; i++) {
    // Row and column of the diagonal's element i.
    const int64_t r = k >= 0 ? i : i - k, c = k >= 0 ? i + k : i;
    const int64_t dst = vector ? r * result.dims[1] + c : i;
    const int64_t src = vector ? i : r * cols + c;
    std::memcpy(out + dst * es, v.elements + src * es, es);
    if (v.complex)
      std::memcpy(out + (count + dst) * es, v.elements + (v.shape.count + src) * es, es);
  }
  return DropStackEntries(ctx, 1, nargin);
}

}  // namespace vke
