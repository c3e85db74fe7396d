// N-D shape builtins: repmat, ndgrid and meshgrid, reshape and squeeze,
// permute and ipermute, sub2ind and ind2sub.
#include <cmath>

#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"
#include "engine/values/value_build.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxArgDims = 16;

// The elements of a real double argument (44 for anything else).
ErrCode GetRealDoubles(EngineContext* ctx, int32_t depth, const double** values, int32_t* count) {
  Shape s;
  double *re, *im;
  if (GetDoubleArrayArg(ctx, depth, &s, &re, &im) != kOk || im) return kErrWrongTypeOverload;
  *values = re;
  *count = s.count;
  return kOk;
}

// A size taken from a double: truncated; false when negative or too large.
bool ToSize(double x, int32_t* out) {
  if (!(x > -1) || x >= 2147483648.0) return false;
  *out = static_cast<int32_t>(x);
  return true;
}

// An empty value of x's class, for repmat with a count below 1.
ErrCode PushEmptyLike(EngineContext* ctx, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (IsStructured(*d)) {
    const bool structure = d->word == kKindStruct || d->word == kKindStructArray;
    return PushEntry(ctx, kFlagStructured, 0, structure ? kKindStruct : kKindList, false, nullptr);
  }
  const NumericView v = ViewNumeric(ctx, depth);
  uint32_t at;
  int32_t count;
  Shape empty;
  MakeEmptyShape(&empty);
  return PushArrayOfClass(ctx, ClassOfView(v), false, empty, &at, &count);
}

// The sizes of reshape: one size vector, or separate scalars of which one
// may be [] (computed from the element count).
ErrCode ReadReshapeSizes(EngineContext* ctx, int32_t nargs, int64_t elements, Shape* shape) {
  int32_t n = 0, open = -1;
  int32_t dims[kMaxArgDims] = {};
  for (int32_t a = 0; a < nargs; a++) {
    const double* values;
    int32_t count;
    ErrCode e = GetRealDoubles(ctx, nargs - 1 - a, &values, &count);
    if (e) return e;
    if (nargs == 1) {
      if (count > kMaxArgDims) return kErrOutOfRangeArg;
      for (int32_t k = 0; k < count; k++)
        if (!ToSize(values[k], &dims[n++])) return kErrBadSize;
      continue;
    }
    if (count == 0 && open < 0) {
      open = n++;
    } else if (count != 1) {
      return kErrBadSize;
    } else if (!ToSize(values[0], &dims[n++])) {
      return kErrBadSize;
    }
  }
  int64_t product = 1;
  double check = 1;
  for (int32_t k = 0; k < n; k++) {
    if (k == open) continue;
    product *= dims[k];
    check *= dims[k];
    if (product > INT32_MAX) product = int64_t{INT32_MAX} + 1;
  }
  if (open >= 0) {
    if (product == 0 || elements % product != 0) return kErrBadSize;
    dims[open] = static_cast<int32_t>(elements / product);
    product = elements;
    check *= dims[open];
  }
  if (product != elements || check != double(elements)) return kErrBadSize;
  NormaliseShape(n, dims, shape);
  return kOk;
}

}  // namespace

// repmat(x, n), repmat(x, [m n ...]), repmat(x, m, n).
ErrCode RepmatBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr);
  if (e) return e;
  // The counts: n (n by n), [m n ...], or m and n.
  double raw[kMaxArgDims];
  int32_t nc = 2;
  for (int32_t a = 1; a < nargin; a++) {
    const double* values;
    int32_t count;
    e = GetRealDoubles(ctx, nargin - 1 - a, &values, &count);
    if (e) return e;
    if (nargin == 3) {
      if (count != 1) return kErrNonScalarArg;
      raw[a - 1] = values[0];
    } else if (count == 0 || count > kMaxArgDims) {
      return kErrOutOfRangeArg;
    } else {
      nc = count == 1 ? 2 : count;
      for (int32_t k = 0; k < nc; k++) raw[k] = values[count == 1 ? 0 : k];
    }
  }
  bool empty = false;
  int32_t counts[kMaxArgDims];
  for (int32_t k = 0; k < nc; k++) {
    empty = empty || !(raw[k] >= 1);
    counts[k] = !(raw[k] >= 1) ? 0 : raw[k] >= 2147483648.0 ? INT32_MAX : int32_t(raw[k]);
  }
  Shape s;
  e = GetValueShape(ctx, nargin - 1, &s);
  if (e) return AllowOverload(e);
  // The counts go once the result stands, so that a failure for room
  // leaves the arguments as given.
  if (empty) {
    return ReplaceValueUnderOptions(ctx, nargin, [&] {
      const ErrCode pushed = PushEmptyLike(ctx, 0);
      return pushed ? pushed : DropStackEntries(ctx, 1, 1);
    });
  }
  Shape result;
  result.ndims = nc > s.ndims ? nc : s.ndims;
  for (int32_t k = 0; k < result.ndims; k++) {
    const int64_t size = int64_t(ShapeDim(s, k)) * (k < nc ? counts[k] : 1);
    if (size > INT32_MAX) return kErrObjTooLarge;
    result.dims[k] = static_cast<int32_t>(size);
  }
  return ReplaceValueUnderOptions(ctx, nargin, [&] {
    return RearrangeTop(ctx, result, [&](const int32_t* subs) {
      int32_t src[kMaxDims];
      for (int32_t k = 0; k < result.ndims; k++) {
        const int32_t size = ShapeDim(s, k);
        src[k] = size ? subs[k] % size : 0;
      }
      return SubscriptsToIndex(s.ndims, s.dims, result.ndims, src);
    });
  });
}

// ndgrid (flag 0) and meshgrid (flag 1): output i holds input i's elements
// along dimension i, repeated along the others; meshgrid lets its first
// input vary along the columns.
ErrCode GridBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t option) {
  const bool mesh = option != 0;
  if (nargout < 1) nargout = 1;
  if (nargin > kMaxArgDims || nargout > kMaxArgDims) return kErrOutOfRangeArg;
  if (nargin > 1 && nargout > nargin) return kErrTooManyArgout;
  for (int32_t k = 0; k < nargin; k++)
    if (ViewNumeric(ctx, k).cls == ValueClass::kOther) return kErrWrongTypeOverload;
  const int32_t n = nargin > 1 ? nargin : mesh ? 2 : nargout;
  // The input of each output and the grid dimension it varies along.
  auto inputOf = [&](int32_t o) { return nargin > 1 ? o : 0; };
  auto dimOf = [&](int32_t o) { return mesh && o < 2 ? 1 - o : o; };
  Shape grid;
  grid.ndims = n < 2 ? 2 : n;
  grid.dims[1] = 1;
  for (int32_t o = 0; o < n; o++)
    grid.dims[dimOf(o)] = ViewNumeric(ctx, nargin - 1 - inputOf(o)).shape.count;
  // The outputs stand above the inputs, which go once all of them do.
  const uint32_t level = ctx->descTop;
  for (int32_t o = nargout - 1; o >= 0; o--) {
    const int32_t pushed = nargout - 1 - o;
    ErrCode e = DuplicateStackEntries(ctx, nargin - 1 - inputOf(o) + pushed, 1);
    const int32_t d = dimOf(o);
    if (!e) e = RearrangeTop(ctx, grid, [&](const int32_t* subs) -> int64_t { return subs[d]; });
    if (e) {
      DropAboveLevel(ctx, level);
      return e;
    }
  }
  return DropStackEntries(ctx, nargout, nargin);
}

// reshape(x, ...) (option 0) and squeeze(x) (option kOptSqueeze).
ErrCode ReshapeBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr);
  if (e) return e;
  Shape s;
  e = GetValueShape(ctx, nargin - 1, &s);
  if (e) return AllowOverload(e);
  Shape shape;
  if (option == kOptSqueeze) {
    // The dimensions kept come first, in order. Beyond two dimensions a
    // removed first or second dimension changes the storage order (the
    // first two are stored row by row), so the elements move as permute
    // moves them; a 1 x n row becomes n x 1 by relabelling alone.
    int32_t order[kMaxDims];
    int32_t n = 0;
    for (int32_t k = 0; k < s.ndims; k++)
      if (s.dims[k] != 1) order[n++] = k;
    for (int32_t k = 0, m = n; k < s.ndims; k++)
      if (s.dims[k] == 1) order[m++] = k;
    for (int32_t k = 0; k < n; k++) shape.dims[k] = s.dims[order[k]];
    const bool moves = s.ndims > 2 && s.count > 0 && (s.dims[0] == 1 || s.dims[1] == 1);
    while (n < 2) shape.dims[n++] = 1;
    shape.ndims = n;
    if (moves && (e = PermuteTop(ctx, s.ndims, order))) return e;
  } else if (nargin == 1) {
    shape.dims[0] = s.count;
    shape.dims[1] = 1;
  } else {
    e = ReadReshapeSizes(ctx, nargin - 1, s.count, &shape);
    if (e) return e;
  }
  if (s.count == 0) MakeEmptyShape(&shape);
  // The sizes go once the value has its shape (a cell or structure array
  // reshaped anew), so that a failure for lack of room leaves them as given.
  if (option != kOptSqueeze && nargin > 1)
    return ReplaceValueUnderOptions(ctx, nargin, [&] { return SetTopShape(ctx, shape); });
  return SetTopShape(ctx, shape);
}

// permute (flag 0) and ipermute (flag 1).
ErrCode PermuteBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  ErrCode e = CheckArgumentTypes(ctx, 2, nullptr);
  if (e) return e;
  const double* values;
  int32_t n;
  e = GetRealDoubles(ctx, 0, &values, &n);
  if (e) return e;
  if (n > kMaxArgDims) return kErrOutOfRangeArg;
  Shape s;
  e = GetValueShape(ctx, 1, &s);
  if (e) return AllowOverload(e);
  int32_t order[kMaxDims];
  bool seen[kMaxDims] = {};
  for (int32_t k = 0; k < n; k++) {
    const double x = values[k];
    if (!(x >= 1 && x <= n) || x != std::floor(x) || seen[int32_t(x) - 1])
      return kErrNonPermutation;
    seen[int32_t(x) - 1] = true;
    order[k] = int32_t(x) - 1;
  }
  if (n < s.ndims) return kErrNonPermutation;
  if (option != 0) {
    int32_t inverse[kMaxDims];
    for (int32_t k = 0; k < n; k++) inverse[order[k]] = k;
    std::memcpy(order, inverse, sizeof(int32_t) * n);
  }
  return ReplaceValueUnderOptions(ctx, 2, [&] { return PermuteTop(ctx, n, order); });
}

namespace {

// The dimensions given by a size argument: a scalar n means n x n.
ErrCode ReadSizeVector(EngineContext* ctx, int32_t depth, int32_t* given, Shape* dims) {
  const double* values;
  int32_t count;
  ErrCode e = GetRealDoubles(ctx, depth, &values, &count);
  if (e) return e;
  if (count == 0 || count > kMaxArgDims) return kErrBadSize;
  *given = count;
  dims->ndims = count == 1 ? 2 : count;
  for (int32_t k = 0; k < dims->ndims; k++)
    if (!ToSize(values[count == 1 ? 0 : k], &dims->dims[k])) return kErrBadSize;
  return kOk;
}

// A subscript or index given as a double: a whole number from 1 to limit.
ErrCode CheckIndex(double x, int64_t limit) {
  if (x != std::floor(x)) return kErrNonIntegerIndex;
  if (!(x >= 1 && x <= double(limit))) return kErrIndexOutOfRange;
  return kOk;
}

}  // namespace

// sub2ind(size, i1, i2, ...): linear indices (from 1, in storage order).
ErrCode Sub2indBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin < 2) return kErrTooFewArgin;
  if (nargin > kMaxArgDims + 1) return kErrTooManyArgin;
  const int32_t nsubs = nargin - 1;
  if (nsubs == 1) return DropStackEntries(ctx, 1, 1);
  int32_t given;
  Shape dims;
  ErrCode e = ReadSizeVector(ctx, nargin - 1, &given, &dims);
  if (e) return e;
  if (given > nsubs) return kErrTooFewArgin;
  Shape s;
  ElementwiseOperand ops[kMaxArgDims];
  e = GetElementwiseOperands(ctx, nsubs, &s, ops);
  if (e) return AllowOverload(e);
  double* out;
  e = PushNewArray(ctx, s.ndims, s.dims, &out, nullptr);
  if (e) return e;
  for (int64_t i = 0; i < s.count; i++) {
    int32_t subs[kMaxArgDims];
    for (int32_t k = 0; k < nsubs; k++) {
      const double x = OperandElement(ops[k], i, false);
      e = CheckIndex(x, ShapeDim(dims, k));
      if (e) {
        Drop(ctx);
        return e;
      }
      subs[k] = static_cast<int32_t>(x) - 1;
    }
    out[i] = double(SubscriptsToIndex(dims.ndims, dims.dims, nsubs, subs) + 1);
  }
  return DropStackEntries(ctx, 1, nargin);
}

// ind2sub(size, index) with 1 to 16 outputs: the subscripts of linear
// indices; outputs beyond the size's dimensions are 1.
ErrCode Ind2subBuiltin(EngineContext* ctx, int32_t, int32_t nargout, int32_t) {
  if (nargout < 1) nargout = 1;
  if (nargout > kMaxArgDims) return kErrTooManyArgout;
  int32_t given;
  Shape dims;
  ErrCode e = ReadSizeVector(ctx, 1, &given, &dims);
  if (e) return e;
  if (given > nargout) return kErrTooFewArgout;
  NumericView index = ViewNumeric(ctx, 0);
  if (index.cls == ValueClass::kOther) return kErrWrongTypeOverload;
  int64_t total = 1;
  for (int32_t k = 0; k < dims.ndims; k++) total *= dims.dims[k];
  for (int64_t i = 0; i < index.shape.count; i++) {
    e = CheckIndex(ViewElement(index, i, false), total);
    if (e) return e;
  }
  uint32_t at[kMaxArgDims];
  const uint32_t level = ctx->descTop;
  for (int32_t o = nargout - 1; o >= 0; o--) {
    double* out;
    e = PushNewArray(ctx, index.shape.ndims, index.shape.dims, &out, nullptr);
    if (e) {
      DropAboveLevel(ctx, level);
      return e;
    }
    at[o] = static_cast<uint32_t>(reinterpret_cast<uint8_t*>(out) - ctx->Bytes());
  }
  index = ViewNumeric(ctx, nargout);
  for (int64_t i = 0; i < index.shape.count; i++) {
    int32_t subs[kMaxDims];
    const int64_t p = static_cast<int64_t>(ViewElement(index, i, false)) - 1;
    IndexToSubscripts(dims.ndims, dims.dims, p, subs);
    for (int32_t o = 0; o < nargout; o++)
      Store<double>(ctx->Bytes() + at[o] + 8 * i, o < dims.ndims ? subs[o] + 1.0 : 1.0);
  }
  return DropStackEntries(ctx, nargout, 2);
}

}  // namespace vke
