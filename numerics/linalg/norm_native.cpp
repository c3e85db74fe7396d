// The native norm: vector norms (p, 1, 2, Inf, -Inf, Frobenius) and matrix
// norms (1, 2, Inf, Frobenius) of a real or complex double array.
#include <algorithm>
#include <cmath>
#include <limits>

#include "builtins/array_support.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/linalg/linalg_support.hpp"

namespace vke {

namespace {

// The kinds of norm; kPower is any other real p.
enum class NormKind { kOne, kTwo, kInf, kMinusInf, kFrobenius, kPower };

// A p beyond these bounds is taken as +-Inf.
constexpr double kInfinitePower = 1e30;

NormKind KindOfPower(double p) {
  if (p == 1) return NormKind::kOne;
  if (p == 2) return NormKind::kTwo;
  if (p > kInfinitePower) return NormKind::kInf;
  if (p < -kInfinitePower) return NormKind::kMinusInf;
  return NormKind::kPower;
}

// Element i's modulus.
double Modulus(const MatrixOperand& x, int64_t i) {
  return x.im ? std::hypot(x.re[i], x.im[i]) : std::fabs(x.re[i]);
}

double SquaredModulus(const MatrixOperand& x, int64_t i) {
  return x.re[i] * x.re[i] + (x.im ? x.im[i] * x.im[i] : 0.0);
}

double VectorNorm(const MatrixOperand& x, NormKind kind, double p) {
  const int64_t count = int64_t(x.rows) * x.cols;
  switch (kind) {
    case NormKind::kInf: {
      double largest = 0;
      for (int64_t i = 0; i < count; i++) largest = std::max(largest, Modulus(x, i));
      return largest;
    }
    case NormKind::kMinusInf: {
      double smallest = std::numeric_limits<double>::infinity();
      for (int64_t i = 0; i < count; i++) smallest = std::min(smallest, Modulus(x, i));
      return smallest;
    }
    case NormKind::kTwo:
    case NormKind::kFrobenius: {
      // Extended precision and range: squares of large elements do not overflow.
      long double sum = 0;
      for (int64_t i = 0; i < count; i++) {
        const long double re = x.re[i], im = x.im ? x.im[i] : 0.0;
        sum += re * re + im * im;
      }
      return static_cast<double>(std::sqrt(sum));
    }
    default: {
      if (kind == NormKind::kOne) p = 1;
      double sum = 0;
      for (int64_t i = 0; i < count; i++) {
        sum += x.im ? std::pow(SquaredModulus(x, i), p / 2) : std::pow(std::fabs(x.re[i]), p);
      }
      return std::pow(sum, 1 / p);
    }
  }
}

// The largest sum of moduli along the columns (byColumns) or the rows.
double LargestLineSum(const MatrixOperand& x, bool byColumns) {
  const int32_t lines = byColumns ? x.cols : x.rows, length = byColumns ? x.rows : x.cols;
  double largest = 0;
  for (int32_t l = 0; l < lines; l++) {
    double sum = 0;
    for (int32_t k = 0; k < length; k++) {
      sum += Modulus(x, byColumns ? int64_t(k) * x.cols + l : int64_t(l) * x.cols + k);
    }
    largest = std::max(largest, sum);
  }
  return largest;
}

// sqrt(sum of |a_ij|^2) from the last element to the first; entries whose
// squares would underflow or overflow are summed scaled by a power of two,
// which leaves the result of every other matrix exactly as it was.
double FrobeniusNorm(const MatrixOperand& x) {
  const int64_t count = int64_t(x.rows) * x.cols;
  const int shift = SafeRangeExponent(x.re, x.im, count);
  double sum = 0;
  for (int64_t i = count - 1; i >= 0; i--) {
    const double re = std::ldexp(x.re[i], shift), im = x.im ? std::ldexp(x.im[i], shift) : 0.0;
    sum += re * re + im * im;
  }
  return std::ldexp(std::sqrt(sum), -shift);
}

// The scratch of the matrix 2-norm, which takes the words behind x.
int64_t TwoNormScratch(const MatrixOperand& x) {
  const int64_t m = x.rows, n = x.cols;
  return x.im ? (6 * m + 5) * n + 1 : (m + 1) * n + n / 2 + 1;
}

}  // namespace

// norm(x), norm(x, kind): kind "fro", "inf" or a real p.
ErrCode NormNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  NormKind kind = NormKind::kTwo;
  double p = 2;
  if (nargin == 2) {
    if (IsCharArray(ctx, 0)) {
      if (IsTextArg(ctx, 0, "fro")) {
        kind = NormKind::kFrobenius;
      } else if (IsTextArg(ctx, 0, "inf")) {
        kind = NormKind::kInf;
      } else {
        return kErrUnknownOpt;
      }
    } else {
      if (ErrCode e = GetScalarArg(ctx, 0, &p)) return e;
      kind = KindOfPower(p);
    }
  }
  MatrixOperand x;
  if (!GetMatrixArg(ctx, nargin - 1, &x)) return kErrWrongType;
  const bool vector = x.rows == 1 || x.cols == 1;
  if (!vector && kind == NormKind::kPower) return kErrUnknownOpt;
  const bool twoNorm = !vector && !x.IsEmpty() && kind == NormKind::kTwo;
  // The largest singular value comes from LAPACK's decomposition when its
  // library stands in front, else from the engine's own in the words after x.
  const NativeFunctionRecord* frontSvd = twoNorm ? FrontSvdRecord(ctx) : nullptr;
  if (twoNorm && !frontSvd) {
    StackPlan plan;
    plan.Scratch(TwoNormScratch(x));
    if (ErrCode e = plan.Check(ctx)) return e;
  }

  double result;
  if (x.IsEmpty()) {
    result = std::numeric_limits<double>::quiet_NaN();
  } else if (vector) {
    result = VectorNorm(x, kind, p);
  } else if (kind == NormKind::kOne) {
    result = LargestLineSum(x, true);
  } else if (kind == NormKind::kInf || kind == NormKind::kMinusInf) {
    result = LargestLineSum(x, false);
  } else if (kind == NormKind::kFrobenius) {
    result = FrobeniusNorm(x);
  } else if (frontSvd) {
    SingularValueRange range;
    if (ErrCode e = FrontSingularValueRange(ctx, frontSvd, nargin - 1, &range)) return e;
    result = range.largest;
  } else {
    double* values = FirstFreeWord(ctx);
    ComputeSingularValues(x, values);
    result = values[0];
  }
  // The arguments go once the result is known; the engine's values leave x
  // used up, and the result takes its room.
  return ReplaceInputsWithScalar(ctx, nargin, result);
}

}  // namespace vke
