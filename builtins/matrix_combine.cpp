// Builtins that combine the elements of double matrices: trace, kron, diff,
// cross, dot and cov.
#include <complex>

#include "builtins/array_support.hpp"
#include "builtins/builtin.hpp"

namespace vke {

namespace {

using Complex = std::complex<double>;

// A double array of at most two dimensions at the depth (44 otherwise).
ErrCode GetDoubleMatrix(EngineContext* ctx, int32_t depth, Shape* s, double** re, double** im) {
  ErrCode e = GetDoubleArrayArg(ctx, depth, s, re, im);
  if (e || s->ndims > 2) return kErrWrongTypeOverload;
  return kOk;
}

// Every dimension 1 or the element count: a vector in any orientation.
bool IsVectorShape(const Shape& s) {
  for (int32_t k = 0; k < s.ndims; k++)
    if (s.dims[k] != 1 && s.dims[k] != s.count) return false;
  return true;
}

// The arguments of cross and dot: two real double arrays a and b and an
// optional dimension (-1 when not given).
struct VectorPair {
  Shape sa, sb;
  double *a, *b;
  int32_t dim = -1;
};

// The dimension, when given, stays on top until the result stands, so that
// a call without room for it runs again on its arguments as given.
ErrCode GetVectorPair(EngineContext* ctx, int32_t nargin, VectorPair* p) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, "aa[i");
  if (!e && nargin == 3) e = GetDimensionArg(ctx, 0, &p->dim);
  if (e) return e;
  GetDoubleArrayArg(ctx, nargin - 1, &p->sa, &p->a, nullptr);
  GetDoubleArrayArg(ctx, nargin - 2, &p->sb, &p->b, nullptr);
  return kOk;
}

}  // namespace

ErrCode TraceBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  Shape s;
  double *re, *im;
  ErrCode e = GetDoubleMatrix(ctx, 0, &s, &re, &im);
  if (e) return e;
  double sumRe = 0, sumIm = 0;
  const int64_t cols = s.dims[1];
  for (int64_t i = 0; i < s.dims[0] && i < cols; i++) {
    sumRe += re[i * (cols + 1)];
    if (im) sumIm += im[i * (cols + 1)];
  }
  return PushInPlaceOfTop(ctx, 1, [&] { return PushComplexScalar(ctx, sumRe, sumIm); });
}

// kron(a, b): element (i rb + k, j cb + l) is a(i, j) b(k, l).
ErrCode KronBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  Shape sa, sb;
  double *ar, *ai, *br, *bi;
  ErrCode e = GetDoubleMatrix(ctx, 1, &sa, &ar, &ai);
  if (!e) e = GetDoubleMatrix(ctx, 0, &sb, &br, &bi);
  if (e) return e;
  const int64_t rows = int64_t(sa.dims[0]) * sb.dims[0], cols = int64_t(sa.dims[1]) * sb.dims[1];
  if (rows > INT32_MAX || cols > INT32_MAX) return kErrObjTooLarge;
  const bool complex = ai || bi;
  double *out, *outIm = nullptr;
  e = PushNewMatrix(ctx, static_cast<int32_t>(rows), static_cast<int32_t>(cols), &out,
                    complex ? &outIm : nullptr);
  if (e) return e;
  GetDoubleMatrix(ctx, 2, &sa, &ar, &ai);
  GetDoubleMatrix(ctx, 1, &sb, &br, &bi);
  const int64_t ra = sa.dims[0], ca = sa.dims[1], rb = sb.dims[0], cb = sb.dims[1];
  for (int64_t i = 0; i < ra; i++) {
    for (int64_t j = 0; j < ca; j++) {
      const Complex x(ar[i * ca + j], ai ? ai[i * ca + j] : 0);
      for (int64_t k = 0; k < rb; k++) {
        for (int64_t l = 0; l < cb; l++) {
          const Complex y = x * Complex(br[k * cb + l], bi ? bi[k * cb + l] : 0);
          const int64_t at = (i * rb + k) * cols + j * cb + l;
          out[at] = complex ? y.real() : x.real() * br[k * cb + l];
          if (outIm) outIm[at] = y.imag();
        }
      }
    }
  }
  return DropStackEntries(ctx, 1, 2);
}

// diff(x), diff(x, order), diff(x, order, dim): differences of successive
// elements along the dimension, order times.
ErrCode DiffBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  ErrCode e = GetDoubleArrayArg(ctx, nargin - 1, nullptr, nullptr, nullptr);
  if (e) return AllowOverload(e);
  int32_t dim = -1;
  if (nargin == 3) {
    e = GetDimensionArg(ctx, 0, &dim);
    if (e) return e;
  }
  double order = 1;
  if (nargin >= 2) {
    Shape os;
    double* ov;
    e = GetDoubleArrayArg(ctx, nargin - 2, &os, &ov, nullptr);
    if (e) return AllowOverload(e);
    if (os.count > 1) return kErrBadSize;
    if (os.count == 1) order = std::trunc(ov[0]);
    if (!(order >= 0)) return kErrOutOfRangeArg;
  }
  Shape s;
  double *re, *im;
  GetDoubleArrayArg(ctx, nargin - 1, &s, &re, &im);
  DimLayout l;
  NextNonSingletonDim(s.ndims, s.dims, &dim, &l);
  // The result first, above the arguments: a push that fails for lack of
  // room runs the builtin again once the area has grown, so the arguments
  // must still be as given.
  if (order >= l.length) {
    e = PushEmptyMatrix(ctx);
    return e ? e : DropStackEntries(ctx, 1, nargin);
  }
  const int64_t k = static_cast<int64_t>(order), kept = l.length - k;
  const Shape result = ShapeWithDim(s, dim, static_cast<int32_t>(kept));
  double *out, *outIm = nullptr;
  e = PushNewArray(ctx, result.ndims, result.dims, &out, im ? &outIm : nullptr);
  if (e) return e;
  GetDoubleArrayArg(ctx, nargin, nullptr, &re, &im);
  for (double* block : {re, im}) {
    if (!block) continue;
    for (int64_t b = 0; b < l.count; b++) {
      for (int64_t j = 0; j < l.stride; j++) {
        double* p = block + b * l.length * l.stride + j;
        for (int64_t pass = 1; pass <= k; pass++)
          for (int64_t i = 0; i + pass < l.length; i++)
            p[i * l.stride] = p[(i + 1) * l.stride] - p[i * l.stride];
      }
    }
  }
  for (int64_t b = 0; b < l.count; b++) {
    for (int64_t i = 0; i < kept; i++) {
      for (int64_t j = 0; j < l.stride; j++) {
        const int64_t src = (b * l.length + i) * l.stride + j, dst = (b * kept + i) * l.stride + j;
        out[dst] = re[src];
        if (outIm) outIm[dst] = im[src];
      }
    }
  }
  return DropStackEntries(ctx, 1, nargin);
}

// cross(a, b) and cross(a, b, dim): the cross product of the 3-element
// vectors along the dimension, written over a.
ErrCode CrossBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  VectorPair p;
  ErrCode e = GetVectorPair(ctx, nargin, &p);
  if (e) return e;
  auto& [sa, sb, a, b, dim] = p;
  DimLayout l{1, 1, 3};  // two 3-element vectors: their elements in order
  if (dim >= 0 || sa.count != 3 || sb.count != 3) {
    if (!SameDims(sa, sb)) return kErrIncompSize;
    if (dim < 0)
      for (int32_t k = sa.ndims - 1; k >= 0; k--)
        if (sa.dims[k] == 3) dim = k;
    if (dim < 0 || dim >= sa.ndims || sa.dims[dim] != 3) return kErrBadSize;
    NextNonSingletonDim(sa.ndims, sa.dims, &dim, &l);
  }
  for (int64_t blk = 0; blk < l.count; blk++) {
    for (int64_t j = 0; j < l.stride; j++) {
      const int64_t p0 = blk * 3 * l.stride + j, p1 = p0 + l.stride, p2 = p1 + l.stride;
      const double a1 = a[p0], a2 = a[p1], a3 = a[p2];
      a[p0] = a2 * b[p2] - a3 * b[p1];
      a[p1] = a3 * b[p0] - a1 * b[p2];
      a[p2] = a1 * b[p1] - a2 * b[p0];
    }
  }
  return DropStackEntries(ctx, 0, nargin - 1);
}

// dot(a, b) and dot(a, b, dim): sums of products along the dimension; two
// vectors of one length in any orientation give one number.
ErrCode DotBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  VectorPair p;
  ErrCode e = GetVectorPair(ctx, nargin, &p);
  if (e) return e;
  auto& [sa, sb, a, b, dim] = p;
  Shape result;
  DimLayout l;
  const bool vectors = dim < 0 && sa.count == sb.count && IsVectorShape(sa) && IsVectorShape(sb);
  if (vectors) {
    result.dims[0] = result.dims[1] = 1;
    l = DimLayout{1, 1, sa.count};
  } else {
    if (!SameDims(sa, sb)) return kErrIncompSize;
    NextNonSingletonDim(sa.ndims, sa.dims, &dim, &l);
    result = ShapeWithDim(sa, dim, 1);
    if (result.ndims > 16) return kErrOutOfRangeArg;
  }
  double* out;
  e = PushNewArray(ctx, result.ndims, result.dims, &out, nullptr);
  if (e) return e;
  GetDoubleArrayArg(ctx, nargin, nullptr, &a, nullptr);
  GetDoubleArrayArg(ctx, nargin - 1, nullptr, &b, nullptr);
  for (int64_t blk = 0; blk < l.count; blk++) {
    for (int64_t j = 0; j < l.stride; j++) {
      double sum = 0;
      for (int64_t i = 0; i < l.length; i++) {
        const int64_t p = (blk * l.length + i) * l.stride + j;
        sum += a[p] * b[p];
      }
      out[blk * l.stride + j] = sum;
    }
  }
  return DropStackEntries(ctx, 1, nargin);
}

// cov(x) and cov(x, flag): the covariance of the columns (variables) over
// the rows (observations), divided by m - 1, or by m when the flag is not 0.
ErrCode CovBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  ErrCode e = CheckArgumentTypes(ctx, nargin, "C[r");
  if (e) return e;
  // The flag is read where it lies; the arguments go once the result stands.
  double flag = 0;
  if (nargin == 2) {
    e = GetScalarArg(ctx, 0, &flag);
    if (e) return e;
  }
  int32_t m, c;
  double *re, *im;
  GetNumericArg(ctx, nargin - 1, &m, &c, &re, &im);
  if (m <= 1)
    return PushInPlaceOfTop(ctx, nargin, [&] { return PushZeroMatrix(ctx, c, c, false); });
  // The result first, as diff does: the columns are centred in the operand.
  double* out;
  e = PushNewMatrix(ctx, c, c, &out, nullptr);
  if (e) return e;
  GetNumericArg(ctx, nargin, nullptr, nullptr, &re, &im);
  for (double* block : {re, im}) {
    if (!block) continue;
    for (int64_t j = 0; j < c; j++) {
      double mean = 0;
      for (int64_t r = 0; r < m; r++) mean += block[r * c + j];
      mean /= m;
      for (int64_t r = 0; r < m; r++) block[r * c + j] -= mean;
    }
  }
  const double divisor = flag != 0 ? m : m - 1;
  for (int64_t i = 0; i < c; i++) {
    for (int64_t j = 0; j <= i; j++) {
      double sum = 0;
      for (int64_t r = 0; r < m; r++) {
        sum += re[r * c + i] * re[r * c + j];
        if (im) sum += im[r * c + i] * im[r * c + j];
      }
      out[i * c + j] = out[j * c + i] = sum / divisor;
    }
  }
  return DropStackEntries(ctx, 1, nargin);
}

}  // namespace vke
