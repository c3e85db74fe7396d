// The number-theoretic natives: binomial coefficients, prime factors, gcd
// and lcm, element by element over double arrays of integer values, in
// integer arithmetic where the values allow it.
#include <cmath>
#include <cstdint>

#include "engine/registry/natives_decl.hpp"
#include "numerics/special/elementwise_special.hpp"
#include "numerics/special/special_constants.hpp"

namespace vke {

namespace {

// Doubles represent every integer up to this exactly.
constexpr double kExactIntegerLimit = 9007199254740992.0;  // 2^53
constexpr unsigned __int128 kExactIntegerLimit128 = static_cast<unsigned __int128>(1) << 53;
// The integers the exact binomial product starts from.
constexpr double kUint64Limit = 18446744073709551616.0;  // 2^64
// The magnitudes gcd and lcm take as 64-bit integers.
constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63

// The options of the gcd and lcm rows.
constexpr uintptr_t kGcd = 'd';

bool IsWholeNumber(double v) {
  return std::isfinite(v) && std::floor(v) == v;
}

// C(n, k) for integers 0 <= k <= n by the product of (n - k + j)/j over
// j = 1..min(k, n - k). Each partial product C(n - k + j, j) is an integer,
// so the product is exact in integers while it stays below 2^53; beyond,
// it goes on in doubles, within a few units in the last place per step.
// C(n, k) >= 2^min(k, n - k), so the product overflows to +Inf within some
// thousand steps wherever the coefficient does.
double BinomialCoefficient(double n, double k) {
  const double steps = std::fmin(k, n - k);
  const double top = n - steps;
  double j = 1;
  double r = 1;
  if (n < kUint64Limit) {
    const auto first = static_cast<uint64_t>(top);
    unsigned __int128 exact = 1;
    for (; j <= steps && exact < kExactIntegerLimit128; j++)
      exact = exact * (first + static_cast<uint64_t>(j)) / static_cast<uint64_t>(j);
    r = static_cast<double>(exact);
  }
  for (; j <= steps && r < special::kInf; j++) r = r / j * (top + j);
  return r;
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

// gcd(x, y) of integer values: every integer divides 0, so gcd(0, y) = |y|
// and gcd(0, 0) = 0. lcm(x, y) = x*y/gcd with the signed arguments, 0 when
// either is 0.
ErrCode GcdLcmKernel(const double* v, uintptr_t option, double* result) {
  const double x = v[0], y = v[1];
  if (!IsWholeNumber(x) || !IsWholeNumber(y)) return kErrBadArg;
  if (std::fabs(x) >= kInt64Limit || std::fabs(y) >= kInt64Limit) return kErrBadArg;
  const double g = static_cast<double>(
      Gcd(static_cast<uint64_t>(std::fabs(x)), static_cast<uint64_t>(std::fabs(y))));
  if (option == kGcd) {
    *result = g;
  } else {
    *result = x == 0 || y == 0 ? 0 : x / g * y;
  }
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
  if (count == 0) return PushInPlaceOfTop(ctx, 1, [&] { return PushEmptyMatrix(ctx); });
  double* out;
  if ((e = PushInPlaceOfTop(ctx, 1, [&] { return PushNewMatrix(ctx, 1, count, &out, nullptr); })))
    return e;
  for (int32_t i = 0; i < count; i++) out[i] = factors[i];
  return kOk;
}

}  // namespace vke
