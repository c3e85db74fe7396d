// Searching: find (the positions, subscripts and values of the nonzero
// elements, from the first or from the last) and nnz (their number). An
// element counts when it is not zero or is NaN; a complex one when either
// part counts; an integer, char or logical one when its bits are not all
// zero. Positions follow storage order, row by row.
#include <cstring>

#include "builtins/builtin.hpp"
#include "builtins/option_text.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// The numeric value at the depth: 44 for other values, 12 for an element
// width the engine does not know.
ErrCode ViewSearched(EngineContext* ctx, int32_t depth, NumericView* v) {
  *v = ViewNumeric(ctx, depth);
  if (v->cls == ValueClass::kOther) return kErrWrongTypeOverload;
  int es = ElementBytesOfCode(v->code);
  return es == 1 || es == 2 || es == 4 || es == 8 ? kOk : kErrIllegal;
}

bool Counts(const NumericView& v, int64_t i) {
  int64_t im = i + v.shape.count;
  switch (v.cls) {
    case ValueClass::kDouble:
      return Load<double>(v.elements + 8 * i) != 0 ||
             (v.complex && Load<double>(v.elements + 8 * im) != 0);
    case ValueClass::kSingle:
      return Load<float>(v.elements + 4 * i) != 0 ||
             (v.complex && Load<float>(v.elements + 4 * im) != 0);
    default:
      return ReadIntegerBits(v.elements, v.code, i) != 0;
  }
}

int64_t CountNonzero(const NumericView& v, int64_t limit) {
  int64_t count = 0;
  for (int64_t i = 0; i < v.shape.count && count < limit; i++) count += Counts(v, i);
  return count;
}

// Pushes an n-element row or column of the view's class (0 x 0 for n = 0);
// kind is the typed kind of an integer, char or logical view.
ErrCode PushVectorOfClass(EngineContext* ctx, const NumericView& v, int32_t kind, int32_t n,
                          bool row, uint8_t** elements) {
  const int32_t dims[2] = {row ? 1 : n, row ? n : 1};
  switch (v.cls) {
    case ValueClass::kDouble: {
      double *re, *im;
      ErrCode e = PushNewArray(ctx, 2, dims, &re, v.complex ? &im : nullptr);
      *elements = reinterpret_cast<uint8_t*>(re);
      return e;
    }
    case ValueClass::kSingle: {
      float *re, *im;
      ErrCode e = PushNewSingleArray(ctx, 2, dims, &re, v.complex ? &im : nullptr);
      *elements = reinterpret_cast<uint8_t*>(re);
      return e;
    }
    default: {
      void* data;
      ErrCode e = PushNewTypedArray(ctx, 2, dims, ElementBytesOfCode(v.code),
                                    (v.code & kCodeUnsigned) != 0, &data);
      if (!e) DescAt(ctx, 0)->word = kind;
      *elements = static_cast<uint8_t*>(data);
      return e;
    }
  }
}

}  // namespace

// find(x [, n [, direction]]) with 1 to 3 outputs: positions; rows and
// columns; rows, columns and values. The options are read where they lie
// and the outputs pushed above the arguments, which go once all of them
// stand: a failure for lack of room leaves the arguments as they came.
ErrCode FindBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr);
  if (e) return e;
  bool fromLast = false;
  if (nargin == 3) {
    OptionText direction(ctx, 0);
    uint16_t initial = direction.Initial();
    if (!direction.IsText() || (initial != 0 && initial != 'f' && initial != 'l'))
      return kErrUnknownOpt;
    fromLast = initial == 'l';
  }
  int64_t limit = INT64_MAX;
  if (nargin >= 2) {
    int32_t n;
    if ((e = GetIntegerArg(ctx, nargin - 2, &n))) return e;
    limit = n < 0 ? 0 : n;
  }
  const int32_t xDepth = nargin - 1;
  NumericView x;
  if ((e = ViewSearched(ctx, xDepth, &x))) return e;
  int32_t outputs = nargout < 1 ? 1 : nargout;
  if (x.shape.ndims > 2 && outputs >= 2) return kErrBadSize;
  bool row = x.shape.ndims == 2 && x.shape.dims[0] == 1;
  auto count = static_cast<int32_t>(CountNonzero(x, limit));
  int32_t cols = x.shape.dims[1], kind = DescAt(ctx, xDepth)->word;

  // The outputs in order, each pushed on top; then reversed.
  const uint32_t level = ctx->descTop;
  double* out[2] = {};
  uint8_t* values = nullptr;
  for (int32_t k = 0; k < outputs; k++) {
    e = k < 2 ? PushNewMatrix(ctx, row ? 1 : count, row ? count : 1, &out[k], nullptr)
              : PushVectorOfClass(ctx, x, kind, count, row, &values);
    if (e) {
      DropAboveLevel(ctx, level);
      return e;
    }
  }
  x = ViewNumeric(ctx, outputs + xDepth);
  int es = ElementBytesOfCode(x.code);
  int32_t written = 0;
  for (int64_t step = 0; step < x.shape.count && written < count; step++) {
    int64_t i = fromLast ? x.shape.count - 1 - step : step;
    if (!Counts(x, i)) continue;
    if (outputs == 1) {
      out[0][written] = static_cast<double>(i + 1);
    } else {
      out[0][written] = static_cast<double>(i / cols + 1);
      out[1][written] = static_cast<double>(i % cols + 1);
    }
    if (values) {
      std::memcpy(values + es * written, x.elements + es * i, es);
      if (x.complex)
        std::memcpy(values + es * (count + written), x.elements + es * (x.shape.count + i), es);
    }
    written++;
  }
  if ((e = ReverseStackEntries(ctx, outputs))) return e;
  return DropStackEntries(ctx, outputs, nargin);
}

ErrCode NnzBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  NumericView x;
  ErrCode e = ViewSearched(ctx, 0, &x);
  if (e) return e;
  const int64_t count = CountNonzero(x, INT64_MAX);
  return PushInPlaceOfTop(ctx, 1, [&] { return PushRealScalar(ctx, static_cast<double>(count)); });
}

}  // namespace vke
