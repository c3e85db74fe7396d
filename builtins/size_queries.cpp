// Size queries (ndims, size, length, numel, isempty), the complex and imag
// builtins, the logical reductions any and all, and the joining of lists
// (join and the loop's list-building instruction).
#include "builtins/array_builtins.hpp"
#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"
#include "engine/values/stack_results.hpp"

namespace vke {

namespace {

// Dimension k (zero-based) as size reports it: beyond the dimensions 1, or
// 0 for a value without elements.
double ReportedDim(const Shape& s, int32_t k) {
  if (k < s.ndims) return s.dims[k];
  return s.count > 0 ? 1 : 0;
}

bool HasSizeClass(EngineContext* ctx, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (IsStructured(*d)) return !IsObjectKind(d->word);
  return ViewNumeric(ctx, depth).cls != ValueClass::kOther;
}

// The shape of a value of a size class, read once: HasSizeClass and
// GetValueShape in one, with what they answer (kErrWrongTypeOverload for an
// object or a value of no size class).
ErrCode SizeClassShape(EngineContext* ctx, int32_t depth, Shape* s) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (IsStructured(*d) && IsObjectKind(d->word)) return kErrWrongTypeOverload;
  return AllowOverload(GetValueShape(ctx, depth, s));
}

}  // namespace

ErrCode NdimsBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  Shape s;
  if (ErrCode e = SizeClassShape(ctx, 0, &s)) return e;
  return PushInPlaceOfTop(ctx, 1, [&] { return PushRealScalar(ctx, s.ndims); });
}

// size(x) with 1 to 16 outputs, or size(x, d).
ErrCode SizeBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  if (nargout < 1) nargout = 1;
  if (!HasSizeClass(ctx, nargin - 1)) return kErrWrongTypeOverload;
  if (nargin == 2) {
    if (nargout > 1) return kErrTooManyArgout;
    int32_t d;
    ErrCode e = GetDimensionArg(ctx, 0, &d);
    if (e) return e;
    Shape s;
    e = GetValueShape(ctx, 1, &s);
    if (e) return AllowOverload(e);
    return PushInPlaceOfTop(ctx, 2, [&] { return PushRealScalar(ctx, ReportedDim(s, d)); });
  }
  Shape s;
  ErrCode e = GetValueShape(ctx, 0, &s);
  if (e) return AllowOverload(e);
  if (nargout == 1) {
    double* re;
    e = PushNewMatrix(ctx, 1, s.ndims, &re, nullptr);
    if (e) return e;
    for (int32_t k = 0; k < s.ndims; k++) re[k] = s.dims[k];
  } else {
    // A push without room takes back those before it.
    const uint32_t level = ctx->descTop;
    for (int32_t k = nargout - 1; k >= 0; k--) {
      e = PushRealScalar(ctx, ReportedDim(s, k));
      if (e) {
        DropAboveLevel(ctx, level);
        return e;
      }
    }
  }
  return DropStackEntries(ctx, nargout, 1);
}

// length (flag 0): the largest dimension; numel (flag 1): the element count.
ErrCode ElementCountBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  Shape s;
  if (ErrCode e = SizeClassShape(ctx, 0, &s)) return e;
  double result = s.count;
  if (option == 0) {
    result = 0;
    for (int32_t k = 0; k < s.ndims; k++)
      if (s.dims[k] > result) result = s.dims[k];
  }
  return PushInPlaceOfTop(ctx, 1, [&] { return PushRealScalar(ctx, result); });
}

ErrCode IsemptyBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  const ValueDescriptor d = *DescAt(ctx, 0);
  bool empty;
  if (IsStructured(d)) {
    if (IsObjectKind(d.word)) return kErrWrongTypeOverload;
    StructuredParts parts;
    ErrCode e = GetStructuredValueOfKind(ctx, 0, '?', &parts);
    if (e) return e;
    empty = d.word == kKindCell || d.word == kKindStructArray ? parts.elements == 0 : d.size == 0;
  } else if (IsPlain(d)) {
    empty = d.size == 0;
  } else {
    NumericView v = ViewNumeric(ctx, 0);
    if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
    empty = v.shape.count == 0;
  }
  return ReplaceInputsWithLogical(ctx, 1, empty);
}

// complex(a, b): real part from a, imaginary part from b, always complex.
ErrCode ComplexBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  Shape s;
  ElementwiseOperand ops[2];
  ErrCode e = GetElementwiseOperands(ctx, 2, &s, ops);
  if (e) return AllowOverload(e);
  double *re, *im;
  e = PushNewArray(ctx, s.ndims, s.dims, &re, &im);
  if (e) return e;
  // The operands' data lie below the new entry and have not moved.
  for (int64_t i = 0; i < s.count; i++) {
    re[i] = OperandElement(ops[0], i, false);
    im[i] = OperandElement(ops[1], i, false);
  }
  return DropStackEntries(ctx, 1, 2);
}

ErrCode ImagBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls != ValueClass::kDouble) return kErrWrongTypeOverload;
  const uint64_t bytes = 8ull * v.shape.count;
  if (v.complex)
    std::memmove(v.elements, v.elements + bytes, bytes);
  else
    std::memset(v.elements, 0, bytes);
  return MakeTopReal(ctx);
}

// any (flag 0) and all (flag 1), along a dimension. The result comes first,
// above the arguments, which stay as given until it stands: a push without
// room runs the builtin again once the area has grown.
ErrCode AnyAllBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  NumericView v = ViewNumeric(ctx, nargin - 1);
  if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
  int32_t dim = -1;
  if (nargin == 2) {
    ErrCode e = GetDimensionArg(ctx, 0, &dim);
    if (e) return e;
  }
  const bool all = option != 0;
  ErrCode e;
  if (v.shape.count == 0) {
    e = PushLogicalScalar(ctx, all ? 1 : 0);
    return e ? e : DropStackEntries(ctx, 1, nargin);
  }
  DimLayout l;
  NextNonSingletonDim(v.shape.ndims, v.shape.dims, &dim, &l);
  const Shape result = ShapeWithDim(v.shape, dim, 1);
  uint8_t* out;
  if ((e = PushLogicalArray(ctx, result.ndims, result.dims, &out))) return e;
  v = ViewNumeric(ctx, nargin);
  const bool floating = v.cls == ValueClass::kDouble || v.cls == ValueClass::kSingle;
  auto truth = [&](int64_t i) {
    // NaN counts as true; a signed zero as false.
    if (floating) return ViewElement(v, i, false) != 0 || ViewElement(v, i, true) != 0;
    return ReadIntegerBits(v.elements, v.code, i) != 0;
  };
  int64_t k = 0;
  for (int64_t b = 0; b < l.count; b++) {
    for (int64_t j = 0; j < l.stride; j++) {
      bool r = all;
      for (int64_t i = 0; i < l.length; i++) {
        const bool t = truth((b * l.length + i) * l.stride + j);
        r = all ? (r && t) : (r || t);
      }
      out[k++] = r ? 1 : 0;
    }
  }
  return DropStackEntries(ctx, 1, nargin);
}

// join(a, b, ...): lists and cell arrays joined into one list.
ErrCode JoinBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin == 0) return PushEntry(ctx, kFlagStructured, 0, kKindList, false, nullptr);
  for (int32_t k = 0; k < nargin; k++)
    if (!IsListValue(ctx, k)) return kErrWrongTypeOverload;
  // Turn each cell array into the list of its elements where it lies: roll
  // it to the top and back.
  for (int32_t k = 0; k < nargin; k++) {
    ErrCode e = RollStackEntries(ctx, nargin, nargin - 1);
    if (!e) e = DropFirstListElement(ctx);
    if (e) return e;
  }
  // The entries' data are contiguous: one descriptor covers them all.
  uint32_t total = 0;
  for (int32_t k = 0; k < nargin; k++) total += DescAt(ctx, k)->size;
  ctx->descTop -= 3 * static_cast<uint32_t>(nargin - 1);
  ValueDescriptor* d = DescAt(ctx, 0);
  d->flags = kFlagStructured;
  d->size = total;
  d->word = kKindList;
  return kOk;
}

ErrCode ConcatenateValues(EngineContext* ctx, int32_t n) {
  if (n < 1) return kErrIllegal;
  if (!IsListValue(ctx, 0)) return kErrWrongTypeOverload;
  // The last value goes under the others, which become a list; then the two
  // change places and are joined.
  ErrCode e = RollStackEntries(ctx, n, n - 1);
  if (!e) e = PushListFromEntries(ctx, n - 1, false, nullptr, 0);
  if (!e) e = RollStackEntries(ctx, 2, 1);
  if (e) return e;
  return JoinBuiltin(ctx, 2, 1, 0);
}

}  // namespace vke
