// min and max: of two arrays element by element (in their common class), or
// of one array along a dimension with the position of each extreme.
#include <cmath>

#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"
#include "builtins/elementwise.hpp"

namespace vke {

namespace {

// One element of a numeric array prepared for comparison.
struct Candidate {
  __int128 whole = 0;   // integer classes
  long double key = 0;  // floating classes: the value, or the squared modulus
  bool nan = false;     // a NaN part
};

Candidate ReadCandidate(const NumericView& v, int64_t i) {
  Candidate c;
  if (v.cls == ValueClass::kDouble || v.cls == ValueClass::kSingle) {
    const long double re = ViewElement(v, i, false), im = ViewElement(v, i, true);
    c.nan = std::isnan(re) || std::isnan(im);
    c.key = v.complex ? re * re + im * im : re;
    return c;
  }
  const uint64_t bits = ReadIntegerBits(v.elements, v.code, i);
  c.whole = (v.code & kCodeUnsigned) ? __int128(bits) : __int128(int64_t(bits));
  return c;
}

// Whether b replaces the best value a: strictly smaller (min) or larger
// (max), NaN never replacing and always replaced.
bool Replaces(const Candidate& best, const Candidate& b, bool integer, bool max) {
  if (integer) return max ? b.whole > best.whole : b.whole < best.whole;
  if (b.nan) return false;
  if (best.nan) return true;
  return max ? b.key > best.key : b.key < best.key;
}

// Whether the pair's result is b: integers take b when a <= b (max) or
// a > b (min); floating values ignore a NaN side and otherwise take b when
// a <= b (max) or b <= a (min).
bool TakesSecond(const Candidate& a, const Candidate& b, bool integer, bool max) {
  if (integer) return max ? a.whole <= b.whole : a.whole > b.whole;
  if (a.nan) return true;
  if (b.nan) return false;
  return max ? a.key <= b.key : b.key <= a.key;
}

// A view of an element-wise operand (after conversion both have one class).
NumericView OperandView(EngineContext* ctx, int32_t depth) {
  return ViewNumeric(ctx, depth);
}

ErrCode MinMaxOfPair(EngineContext* ctx, bool max) {
  Shape s;
  ElementwiseOperand ops[2];
  ErrCode e = PairInCommonClass(ctx, &s, ops);
  if (e) return e;
  NumericView a = OperandView(ctx, 1), b = OperandView(ctx, 0);
  const bool complex = a.complex || b.complex;
  const bool integer = a.cls == ValueClass::kInteger;
  uint32_t at;
  int32_t count;
  e = PushArrayOfClass(ctx, ClassOfView(a), complex, s, &at, &count);
  if (e) return e;
  a = OperandView(ctx, 2);
  b = OperandView(ctx, 1);
  // Pushing did not move the operands, but their views count elements of
  // their own shapes: a scalar operand is read at 0.
  const int64_t es = ElementBytesOfCode(a.code);
  uint8_t* out = ctx->Bytes() + at;
  for (int64_t i = 0; i < count; i++) {
    const int64_t ia = a.shape.count == 1 ? 0 : i, ib = b.shape.count == 1 ? 0 : i;
    const bool second = TakesSecond(ReadCandidate(a, ia), ReadCandidate(b, ib), integer, max);
    const NumericView& src = second ? b : a;
    const int64_t k = second ? ib : ia;
    std::memcpy(out + i * es, src.elements + k * es, es);
    if (complex) {
      if (src.complex)
        std::memcpy(out + (count + i) * es, src.elements + (src.shape.count + k) * es, es);
      else
        std::memset(out + (count + i) * es, 0, es);
    }
  }
  return DropStackEntries(ctx, 1, 2);
}

}  // namespace

// min (flag 0) and max (flag 1): (a, b), (x) or (x, [], dim); the second
// output is the position of each extreme along the dimension.
ErrCode MinMaxBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t option) {
  const bool max = option != 0;
  if (nargin == 2) {
    if (nargout >= 2) return kErrTooManyArgout;
    return MinMaxOfPair(ctx, max);
  }
  // x lies under [] and the dimension when they are given; they go with it
  // once the results stand.
  const int32_t below = nargin - 1;
  NumericView v = ViewNumeric(ctx, below);
  if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
  int32_t dim = -1;
  if (nargin == 3) {
    Shape middle;
    if (GetValueShape(ctx, 1, &middle) != kOk || middle.count != 0) return kErrBadSize;
    if (ErrCode e = GetDimensionArg(ctx, 0, &dim)) return e;
  }
  DimLayout l;
  NextNonSingletonDim(v.shape.ndims, v.shape.dims, &dim, &l);
  // A dimension of length 0 stays 0: there is no slice to take a value from.
  const Shape result = l.length == 0 ? v.shape : ShapeWithDim(v.shape, dim, 1);
  const bool withIndex = nargout >= 2;
  uint32_t indexAt = 0, valueAt;
  if (withIndex) {
    ErrCode e = PushArrayWithShape(ctx, ArrayClassOfCode(kCodeDouble), false, result, &indexAt);
    if (e) return e;
  }
  const bool floating = v.cls == ValueClass::kDouble || v.cls == ValueClass::kSingle;
  const ArrayClass cls = ArrayClassOfCode(v.cls == ValueClass::kDouble   ? kCodeDouble
                                          : v.cls == ValueClass::kSingle ? kCodeSingle
                                                                         : v.code);
  ErrCode e = PushArrayWithShape(ctx, cls, v.complex, result, &valueAt);
  if (e) {
    if (withIndex) Drop(ctx);
    return e;
  }
  const int32_t above = withIndex ? 2 : 1;
  v = ViewNumeric(ctx, above + below);
  const int64_t es = ElementBytesOfCode(v.code), n = v.shape.count;
  const int64_t results = l.length == 0 ? 0 : int64_t(l.count) * l.stride;
  uint8_t* out = ctx->Bytes() + valueAt;
  for (int64_t b = 0; b < l.count && results; b++) {
    for (int64_t j = 0; j < l.stride; j++) {
      const int64_t base = b * l.length * l.stride + j;
      int64_t best = 0;
      Candidate bestValue = ReadCandidate(v, base);
      for (int64_t i = 1; i < l.length; i++) {
        const Candidate c = ReadCandidate(v, base + i * l.stride);
        if (Replaces(bestValue, c, !floating, max)) {
          best = i;
          bestValue = c;
        }
      }
      const int64_t k = b * l.stride + j, src = base + best * l.stride;
      std::memcpy(out + k * es, v.elements + src * es, es);
      if (v.complex) std::memcpy(out + (results + k) * es, v.elements + (n + src) * es, es);
      if (withIndex) Store<double>(ctx->Bytes() + indexAt + 8 * k, double(best + 1));
    }
  }
  return DropStackEntries(ctx, above, nargin);
}

}  // namespace vke
