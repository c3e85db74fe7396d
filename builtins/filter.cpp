// The filter builtin: the direct-form digital filter
//   y(t) = b(1) x(t) + z(1),  z(k) = b(k+1) x(t) + z(k+1) - a(k+1) y(t)
// run along one dimension of a double or single array, every line along it
// one signal, with a state of max(na, nb) - 1 values per signal that an
// initial state zi starts and the final state zf returns.
#include <algorithm>
#include <cmath>

#include "builtins/builtin.hpp"
#include "builtins/complex_num.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

namespace {

// A numeric array's elements read and written as numbers.
struct Elements {
  uint8_t* data;
  int64_t count;  // the imaginary part of element i lies count elements further
  bool single;
  bool complex;

  Num Get(int64_t i) const {
    if (single)
      return {Load<float>(data + 4 * i), complex ? Load<float>(data + 4 * (i + count)) : 0.0};
    return {Load<double>(data + 8 * i), complex ? Load<double>(data + 8 * (i + count)) : 0.0};
  }
  void Set(int64_t i, Num x) const {
    if (single) {
      Store<float>(data + 4 * i, static_cast<float>(x.re));
      if (complex) Store<float>(data + 4 * (i + count), static_cast<float>(x.im));
      return;
    }
    Store<double>(data + 8 * i, x.re);
    if (complex) Store<double>(data + 8 * (i + count), x.im);
  }
};

Elements ElementsOf(EngineContext* ctx, int32_t depth) {
  NumericView v = ViewNumeric(ctx, depth);
  return {v.elements, v.shape.count, v.cls == ValueClass::kSingle, v.complex};
}

// The coefficient vectors, normalised so that a(1) = 1.
struct Coefficients {
  Num* b;
  int32_t nb;
  Num* a;
  int32_t na;
};

// A complex a(1) divides b and the rest of a; a real one scales them by its
// reciprocal (the imaginary parts of a complex b too).
void Normalise(const Coefficients& c, bool complexA) {
  Num lead = c.a[0];
  if (lead.re == 1 && lead.im == 0) return;
  if (complexA) {
    for (int32_t k = 0; k < c.nb; k++) c.b[k] = Quotient<true>(c.b[k], lead);
    for (int32_t k = 1; k < c.na; k++) c.a[k] = Quotient<true>(c.a[k], lead);
  } else {
    double q = 1 / lead.re;
    for (int32_t k = 0; k < c.nb; k++) c.b[k] = {c.b[k].re * q, c.b[k].im * q};
    for (int32_t k = 1; k < c.na; k++) c.a[k].re *= q;
  }
  c.a[0] = {1, 0};
}

// Runs every signal of x into y, the state of signal s being column s of z.
template <bool kCx>
void RunFilter(const Coefficients& c, const Elements& x, const Elements& y, const Elements& z,
               const DimLayout& layout) {
  int32_t m = std::max(c.na, c.nb) - 1;
  int64_t signals = x.count == 0 ? 0 : int64_t(layout.count) * layout.stride;
  for (int64_t s = 0; s < signals; s++) {
    int64_t first = (s / layout.stride) * layout.length * layout.stride + s % layout.stride;
    for (int32_t t = 0; t < layout.length; t++) {
      int64_t at = first + int64_t(t) * layout.stride;
      Num in = x.Get(at);
      Num out = Times<kCx>(c.b[0], in);
      if (m > 0) out = Plus<kCx>(out, z.Get(s));
      for (int32_t k = 0; k < m; k++) {
        Num next = k + 1 < c.nb ? Times<kCx>(c.b[k + 1], in) : Num{};
        if (k + 1 < m) next = Plus<kCx>(next, z.Get((k + 1) * signals + s));
        if (k + 1 < c.na) next = Minus<kCx>(next, Times<kCx>(c.a[k + 1], out));
        z.Set(k * signals + s, next);
      }
      y.Set(at, out);
    }
  }
}

// Copies a coefficient row into numbers; 104 when it is not one row, 21
// when it has no element.
ErrCode ReadCoefficients(EngineContext* ctx, int32_t depth, Num* out, int32_t* n) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.shape.ndims != 2 || v.shape.dims[0] != 1) return kErrNonScalarArg;
  if (v.shape.dims[1] < 1) return kErrBadSize;
  Elements e = ElementsOf(ctx, depth);
  for (int32_t k = 0; k < v.shape.count; k++) out[k] = e.Get(k);
  *n = v.shape.count;
  return kOk;
}

// The filtering dimension (zero-based) from the real scalar on top: a
// non-integer gives 34, an integer below 1 the first dimension above 1.
ErrCode GetFilterDim(EngineContext* ctx, int32_t* dim) {
  double value;
  ErrCode e = GetScalarArg(ctx, 0, &value);
  if (e) return e;
  if (value != std::trunc(value)) return kErrBadDim;
  *dim = value < 1 ? -1 : TruncToInt32(value) - 1;
  return kOk;
}

}  // namespace

// [y, zf] = filter(b, a, x [, zi [, dim]]). The state is worked on in a
// copy of zi (or in zeros) and y pushed above the arguments, which go once
// both stand: a failure for lack of room leaves the arguments as they came.
ErrCode FilterBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  for (int32_t d = 0; d < nargin; d++) {
    if (d == nargin - 3) continue;  // x keeps its class
    ErrCode e = ConvertToFloat(ctx, d, false);
    if (e) return e;
  }
  NumericView xv = ViewNumeric(ctx, nargin - 3);
  if (xv.cls != ValueClass::kDouble && xv.cls != ValueClass::kSingle) return kErrWrongType;
  int32_t dim = -1;
  if (nargin == 5) {
    ErrCode e = GetFilterDim(ctx, &dim);
    if (e) return e;
  }
  const int32_t depthB = nargin - 1, depthA = nargin - 2, depthX = nargin - 3;
  const int32_t depthZi = nargin - 4;
  const bool haveState = nargin >= 4 && ViewNumeric(ctx, depthZi).shape.count > 0;

  // The coefficients, copied into scratch.
  DataScratch scratch(ctx);
  int64_t na = ViewNumeric(ctx, depthA).shape.count, nb = ViewNumeric(ctx, depthB).shape.count;
  uint32_t at;
  ErrCode e = scratch.Reserve(sizeof(Num) * uint64_t(na + nb), &at);
  if (e) return e;
  Coefficients c{};
  c.b = reinterpret_cast<Num*>(ctx->Bytes() + at);
  if ((e = ReadCoefficients(ctx, depthB, c.b, &c.nb))) return e;
  c.a = c.b + c.nb;
  if ((e = ReadCoefficients(ctx, depthA, c.a, &c.na))) return e;
  bool complexA = ViewNumeric(ctx, depthA).complex;
  bool complex = xv.complex || complexA || ViewNumeric(ctx, depthB).complex ||
                 (haveState && ViewNumeric(ctx, depthZi).complex);

  xv = ViewNumeric(ctx, depthX);
  DimLayout layout;
  NextNonSingletonDim(xv.shape.ndims, xv.shape.dims, &dim, &layout);
  // Empty arrays may give products of dimensions beyond 32 bits.
  int32_t signals = xv.shape.count == 0 ? 0 : layout.count * layout.stride;
  int32_t m = std::max(c.na, c.nb) - 1;
  const uint32_t level = ctx->descTop;
  if (haveState) {
    NumericView zi = ViewNumeric(ctx, depthZi);
    int32_t rows = zi.shape.dims[0], cols = zi.shape.dims[1];
    bool fits = zi.shape.ndims == 2 &&
                ((rows == m && cols == signals) || (signals == 1 && rows == 1 && cols == m));
    if (!fits) return kErrIncompSize;
    e = DuplicateStackEntries(ctx, depthZi, 1);
    if (!e && complex) e = MakeTopComplex(ctx, nullptr);
  } else {
    e = PushZeroMatrix(ctx, m, signals, complex);
  }

  // The arguments, z and y: the state under y, x two entries under z.
  const int32_t xAbove = depthX + 1;
  if (!e) {
    xv = ViewNumeric(ctx, xAbove);
    if (xv.cls == ValueClass::kSingle) {
      float *re, *im;
      e = PushNewSingleArray(ctx, xv.shape.ndims, xv.shape.dims, &re, complex ? &im : nullptr);
    } else {
      double *re, *im;
      e = PushNewArray(ctx, xv.shape.ndims, xv.shape.dims, &re, complex ? &im : nullptr);
    }
  }
  if (e) {
    DropAboveLevel(ctx, level);
    return e;
  }
  Elements x = ElementsOf(ctx, xAbove + 1), z = ElementsOf(ctx, 1), y = ElementsOf(ctx, 0);
  Normalise(c, complexA);
  if (complex) {
    RunFilter<true>(c, x, y, z, layout);
  } else {
    RunFilter<false>(c, x, y, z, layout);
  }
  // y on top, the final state under it when asked for.
  return nargout >= 2 ? DropStackEntries(ctx, 2, nargin) : DropStackEntries(ctx, 1, nargin + 1);
}

}  // namespace vke
