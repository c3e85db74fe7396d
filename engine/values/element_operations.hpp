// The operations on two elements that the element-wise builtins and the
// execution loop's scalar operators share: the real arithmetic options and
// the comparisons.
#pragma once

#include <cmath>
#include <string_view>

#include "engine/base.hpp"

namespace vke {

// Whether option is one of the option characters of a family.
// A loop rather than a search: with the family a literal, the compiler
// unrolls it into a few comparisons. The families are 7-bit characters, so
// no other value matches.
[[gnu::always_inline]] constexpr bool IsFamilyOption(int32_t option, std::string_view options) {
  for (const char c : options)
    if (c > 0 && c == option) return true;
  return false;
}

// fix 't', floor 'f', ceil 'c' or round 'r' of a real element; round takes
// halves toward +Inf.
template <typename T>
VKE_HOT_INLINE T RoundElement(T x, int32_t option) {
  switch (option) {
    case 'f':
      return std::floor(x);
    case 'c':
      return std::ceil(x);
    case 't':
      return std::trunc(x);
    default: {
      // From 2^52 on every double is whole.
      if (!(std::fabs(x) < T(0x1p52))) return x;
      const T f = std::floor(x);
      return x - f >= T(0.5) ? f + 1 : f;
    }
  }
}

// Calls apply with the function of a real operation + - * / % (rem),
// o (mod) or r (realpow) on two elements of T; false for any other.
template <typename T, typename Apply>
VKE_HOT_INLINE bool WithRealOperation(int32_t op, Apply apply) {
  switch (op) {
    case '+':
      apply([](T x, T y) { return x + y; });
      return true;
    case '-':
      apply([](T x, T y) { return x - y; });
      return true;
    case '*':
      apply([](T x, T y) { return x * y; });
      return true;
    case '/':
      apply([](T x, T y) { return x / y; });
      return true;
    case '%':
      apply([](T x, T y) { return std::fmod(x, y); });
      return true;
    case 'o':
      // The remainder, moved by one divisor only when its sign differs from
      // the divisor's: fmod is exact, and adding y to a remainder far
      // smaller than y would lose it.
      apply([](T x, T y) {
        if (y == 0) return x;
        // Whole numbers below 2^53 take the integer remainder, which is
        // fmod's exactly (a zero one with x's sign, as fmod gives it). Such
        // a number is the one its conversion gives back.
        constexpr T kWhole = T(9007199254740992.0);
        const bool small = std::fabs(x) < kWhole && std::fabs(y) < kWhole;
        const auto xi = small ? static_cast<int64_t>(x) : 0;
        const auto yi = small ? static_cast<int64_t>(y) : 0;
        if (small && static_cast<T>(xi) == x && static_cast<T>(yi) == y) {
          const auto q = xi % yi;
          if (q == 0) return std::copysign(T(0), x);
          const auto r = static_cast<T>(q);
          return (r < 0) != (y < 0) ? r + y : r;
        }
        const T r = std::fmod(x, y);
        return r != 0 && (r < 0) != (y < 0) ? r + y : r;
      });
      return true;
    case 'r':
      apply([](T x, T y) { return static_cast<T>(std::pow(double{x}, double{y})); });
      return true;
    default:
      return false;
  }
}

// a > b as b < a, a >= b as b <= a: the option to compare the operands
// with, in their order or swapped.
VKE_HOT_INLINE int32_t OrderedComparison(int32_t option, bool* swapped) {
  *swapped = option == '>' || option == 'G';
  return *swapped ? (option == '>' ? '<' : 'L') : option;
}

// Calls apply with the function of an ordered comparison on two real
// elements of T: '=' eq, '~' ne, '<' lt, 'L' le (any other option); any
// NaN makes all but ne false.
template <typename T, typename Apply>
VKE_HOT_INLINE void WithComparison(int32_t op, Apply apply) {
  switch (op) {
    case '=':
      apply([](T p, T q) -> uint8_t { return p == q; });
      break;
    case '~':
      apply([](T p, T q) -> uint8_t { return p != q; });
      break;
    case '<':
      apply([](T p, T q) -> uint8_t { return p < q; });
      break;
    default:  // 'L'
      apply([](T p, T q) -> uint8_t { return p <= q; });
      break;
  }
}

}  // namespace vke
