// The comparisons of two elements, which the element-wise kernels and the
// scalar operators share.
#pragma once

#include "engine/base.hpp"

namespace vke {

// a > b as b < a, a >= b as b <= a: the option to compare the operands
// with, in their order or swapped.
inline int32_t OrderedComparison(int32_t option, bool* swapped) {
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
