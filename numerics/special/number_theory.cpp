// The number-theoretic natives: binomial coefficients, prime factors, gcd
// and lcm, element by element over double arrays of integer values, in
// 64-bit integer arithmetic where the values allow it.
#include <cmath>
#include <cstdint>

#include "engine/registry/natives_decl.hpp"
#include "numerics/special/elementwise_special.hpp"
#include "numerics/special/special_core.hpp"

namespace vke {

namespace {

// Doubles represent every integer up to this exactly.
constexpr double kExactIntegerLimit = 9007199254740992.0;  // 2^53
// The magnitudes gcd and lcm take as 64-bit integers.
constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63

// The options of the gcd and lcm rows.
constexpr uintptr_t kGcd = 'd';

bool IsWholeNumber(double v) {
  return std::isfinite(v) && std::floor(v) == v;
}

// C(n, k) for integers 0 <= k <= n: exact while the coefficient stays below
// 2^53 (each partial product C(n - k + j, j) is an integer), from the
// logarithm of gamma beyond.
double BinomialCoefficient(double n, double k) {
  const double kk = std::fmin(k, n - k);
  if (n < kExactIntegerLimit) {
    const auto top = static_cast<uint64_t>(n - kk);
    const auto steps = static_cast<uint64_t>(kk);
    unsigned __int128 r = 1;
    uint64_t j = 1;
    for (; j <= steps && r < (unsigned __int128)1 << 53; j++) r = r * (top + j) / j;
    if (j > steps && r < (unsigned __int128)1 << 53) return static_cast<double>(r);
  }
  const double l = ComputeLogGamma(n + 1) - ComputeLogGamma(k + 1) - ComputeLogGamma(n - k + 1);
  return std::floor(std::exp(l) + 0.5);
}

ErrCode BinomialKernel(const double* v, uintptr_t, double* result) {
  const double n = v[0], k = v[1];
  if (!IsWholeNumber(n) || !IsWholeNumber(k) || k < 0 || k > n) return kErrBadArg;
  *result = BinomialCoefficient(n, k);
  return kOk;
}

uint64_t Gcd(uint64_t a, uint64_t b) {
  while (b != 0) {
    const uint64_t r = a % b;
    a = b;
    b = r;
  }
  return a;
}

// gcd(x, y) of integer values, 0 when either is 0; lcm(x, y) = x*y/gcd with
// the signed arguments, 0 when either is 0.
ErrCode GcdLcmKernel(const double* v, uintptr_t option, double* result) {
  const double x = v[0], y = v[1];
  if (!IsWholeNumber(x) || !IsWholeNumber(y)) return kErrBadArg;
  if (std::fabs(x) >= kInt64Limit || std::fabs(y) >= kInt64Limit) return kErrBadArg;
  if (x == 0 || y == 0) {
    *result = 0;
    return kOk;
  }
  const double g = static_cast<double>(
      Gcd(static_cast<uint64_t>(std::fabs(x)), static_cast<uint64_t>(std::fabs(y))));
  *result = option == kGcd ? g : x / g * y;
  return kOk;
}

}  // namespace

ErrCode NchoosekNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  return ApplySpecialKernel(ctx, 2, &BinomialKernel, option);
}

ErrCode GcdLcmNative(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  return ApplySpecialKernel(ctx, 2, &GcdLcmKernel, option);
}

// factor(n): the row of the prime factors of an integer 1 <= n <= 2^53 in
// ascending order, by trial division over 2, 3 and the numbers 6j +- 1.
ErrCode FactorNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  double value;
  ErrCode e = GetScalarArg(ctx, 0, &value);
  if (e) return e == kErrWrongType ? kErrWrongTypeOverload : e;
  if (!IsWholeNumber(value) || value < 1 || value > kExactIntegerLimit) return kErrBadArg;
  auto n = static_cast<uint64_t>(value);
  double factors[64];
  int32_t count = 0;
  uint64_t d = 2, step = 2;
  while (d * d <= n) {
    if (n % d == 0) {
      factors[count++] = static_cast<double>(d);
      n /= d;
      continue;
    }
    if (d < 5) {
      d = d == 2 ? 3 : 5;
    } else {
      d += step;
      step = 6 - step;
    }
  }
  if (n > 1) factors[count++] = static_cast<double>(n);
  if ((e = Drop(ctx, 1))) return e;
  if (count == 0) return PushEmptyMatrix(ctx);
  double* out;
  if ((e = PushNewMatrix(ctx, 1, count, &out, nullptr))) return e;
  for (int32_t i = 0; i < count; i++) out[i] = factors[i];
  return kOk;
}

}  // namespace vke
