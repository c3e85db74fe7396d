// Reductions of double arrays along a dimension: sum, prod, mean, var, std,
// moment, skewness and kurtosis, and the running cumsum and cumprod.
#include <cmath>
#include <complex>

#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"

namespace vke {

namespace {

using Complex = std::complex<double>;

constexpr int32_t kMaxResultDims = 16;

// The elements of one slice along the working dimension.
struct Slice {
  const double* re;
  const double* im;  // null for real data
  int64_t base, stride, length;
  double Re(int64_t i) const { return re[base + i * stride]; }
  Complex At(int64_t i) const {
    return Complex(re[base + i * stride], im ? im[base + i * stride] : 0.0);
  }
};

struct Statistic {
  int32_t option;
  int32_t order;   // moment
  bool divideByN;  // var and std with the flag
};

// |x - m|^k, negated when x lies below m and k is odd.
double SignedPower(double x, double m, int32_t k) {
  const double d = std::pow(std::fabs(x - m), k);
  return x < m && (k & 1) ? -d : d;
}

// (x - m)^k = |x - m|^k (cos k t + i sin k t), t the angle of x - m.
Complex ComplexPower(Complex x, Complex m, int32_t k) {
  const Complex d = x - m;
  const double r = std::pow(std::abs(d), k), t = std::atan2(d.imag(), d.real());
  return Complex(r * std::cos(k * t), r * std::sin(k * t));
}

Complex ReduceSlice(const Slice& s, const Statistic& st) {
  const int64_t n = s.length;
  const bool complex = s.im != nullptr;
  if (st.option == 'p') {
    Complex p = 1;
    for (int64_t i = 0; i < n; i++) p = complex ? p * s.At(i) : Complex(p.real() * s.Re(i));
    return p;
  }
  Complex sum = 0;
  if (complex) {
    for (int64_t i = 0; i < n; i++) sum += s.At(i);
  } else {
    // The same additions in the same order, without the zero imaginary part.
    double total = 0;
    const double* x = s.re + s.base;
    for (int64_t i = 0; i < n; i++) total += x[i * s.stride];
    sum = total;
  }
  if (st.option == 's') return sum;
  const Complex m = sum / double(n);
  switch (st.option) {
    case 'm':
      return m;
    case 'v':
    case 't': {
      double q = 0;
      for (int64_t i = 0; i < n; i++) q += std::norm(s.At(i) - m);
      const double var = q / double(st.divideByN ? n : n - 1);
      return st.option == 'v' ? var : std::sqrt(var);
    }
    default:
      break;
  }
  // moment 'M', skewness 'e', kurtosis 'k'.
  const int32_t k = st.option == 'M' ? st.order : st.option == 'e' ? 3 : 4;
  Complex total = 0, m2 = 0;
  for (int64_t i = 0; i < n; i++) {
    if (complex) {
      total += ComplexPower(s.At(i), m, k);
      m2 += (s.At(i) - m) * (s.At(i) - m);
    } else {
      total += SignedPower(s.Re(i), m.real(), k);
      m2 += SignedPower(s.Re(i), m.real(), 2);
    }
  }
  total /= double(n);
  m2 /= double(n);
  if (st.option == 'M') return total;
  if (st.option == 'k') return total / (m2 * m2);
  if (!complex) return total / std::sqrt(m2.real() * m2.real() * m2.real());
  const Complex root = std::sqrt(m2);
  return total / (root * root * root);
}

// Reads the statistic's own arguments above the values, where they stay:
// the dimension (third for var, std and moment, second for the others),
// then moment's order or the flag of var and std.
ErrCode GetStatisticArgs(EngineContext* ctx, int32_t nargin, int32_t option, Statistic* st,
                         int32_t* dim, bool* haveDim) {
  const bool twoLeading = option == 'v' || option == 't' || option == 'M';
  *haveDim = nargin >= (twoLeading ? 3 : 2);
  if (*haveDim) {
    ErrCode e = GetDimensionArg(ctx, 0, dim);
    if (e) return e;
  }
  st->option = option;
  st->order = 2;
  st->divideByN = false;
  if (!twoLeading || nargin < 2) return kOk;
  const int32_t depth = *haveDim ? 1 : 0;
  if (option == 'M') {
    ErrCode e = GetIntegerArg(ctx, depth, &st->order);
    if (e) return e;
    return st->order < 0 ? kErrOutOfRangeArg : kOk;
  }
  uint8_t flag;
  ErrCode e = GetBooleanArg(ctx, depth, &flag);
  st->divideByN = flag != 0;
  return e;
}

}  // namespace

// sum 's', prod 'p', mean 'm', var 'v', std 't', moment 'M', skewness 'e',
// kurtosis 'k'.
ErrCode ReductionBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  ErrCode e = GetDoubleArrayArg(ctx, nargin - 1, nullptr, nullptr, nullptr);
  if (e) return AllowOverload(e);
  Statistic st;
  int32_t dim = -1;
  bool haveDim;
  e = GetStatisticArgs(ctx, nargin, option, &st, &dim, &haveDim);
  if (e) return e;
  // The arguments go once the result stands.
  return ReplaceValueUnderOptions(ctx, nargin, [&]() -> ErrCode {
    Shape s;
    double *re, *im;
    GetDoubleArrayArg(ctx, 0, &s, &re, &im);
    if (s.count == 0) {
      return PushInPlaceOfTop(ctx, 1, [&] {
        if (haveDim) return PushEmptyMatrix(ctx);
        return PushRealScalar(ctx, option == 's' ? 0 : option == 'p' ? 1 : NAN);
      });
    }
    const bool keepsSingletons = option == 's' || option == 'p' || option == 'm';
    if (keepsSingletons && haveDim && (dim >= s.ndims || s.dims[dim] == 1)) return kOk;
    DimLayout l;
    NextNonSingletonDim(s.ndims, s.dims, &dim, &l);
    const Shape result = ShapeWithDim(s, dim, 1);
    if (result.ndims > kMaxResultDims) return kErrOutOfRangeArg;
    const bool complexResult = im && option != 'v' && option != 't';
    double *out, *outIm = nullptr;
    ErrCode pushed =
        PushNewArray(ctx, result.ndims, result.dims, &out, complexResult ? &outIm : nullptr);
    if (pushed) return pushed;
    GetDoubleArrayArg(ctx, 1, nullptr, &re, &im);
    for (int64_t b = 0; b < l.count; b++) {
      for (int64_t j = 0; j < l.stride; j++) {
        const Slice slice{re, im, b * l.length * l.stride + j, l.stride, l.length};
        const Complex r = ReduceSlice(slice, st);
        out[b * l.stride + j] = r.real();
        if (outIm) outIm[b * l.stride + j] = r.imag();
      }
    }
    return DropStackEntries(ctx, 1, 1);
  });
}

// cumsum (flag 0) and cumprod (flag 1), in place along the dimension.
ErrCode CumulativeBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  ErrCode e = GetDoubleArrayArg(ctx, nargin - 1, nullptr, nullptr, nullptr);
  if (e) return AllowOverload(e);
  int32_t dim = -1;
  if (nargin == 2) {
    e = PopDimensionArg(ctx, &dim);
    if (e) return e;
  }
  Shape s;
  double *re, *im;
  GetDoubleArrayArg(ctx, 0, &s, &re, &im);
  if (dim >= s.ndims || s.count == 0) return kOk;
  DimLayout l;
  NextNonSingletonDim(s.ndims, s.dims, &dim, &l);
  for (int64_t b = 0; b < l.count; b++) {
    for (int64_t j = 0; j < l.stride; j++) {
      const int64_t base = b * l.length * l.stride + j;
      for (int64_t i = 1; i < l.length; i++) {
        const int64_t p = base + (i - 1) * l.stride, q = base + i * l.stride;
        if (option == 0) {
          re[q] += re[p];
          if (im) im[q] += im[p];
        } else if (im) {
          const double a = re[p], bb = im[p], c = re[q], d = im[q];
          re[q] = a * c - bb * d;
          im[q] = a * d + bb * c;
        } else {
          re[q] *= re[p];
        }
      }
    }
  }
  return kOk;
}

}  // namespace vke
