// Basic vocabulary of the engine: the error-code type, byte-order checks and
// the load/store helpers through which words, doubles and bytes of the engine
// area are read and written.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "stored engine formats are little-endian");

namespace vke {

// The few helpers on the execution loop's hottest paths: inlined even into
// the loop's one large function, where the compiler would keep them apart.
#define VKE_HOT_INLINE [[gnu::always_inline]] inline
// The same for a lambda, written after its parameter list: () VKE_HOT_LAMBDA {
#define VKE_HOT_LAMBDA __attribute__((always_inline))

// Every engine operation returns one of these: 0 for success, a code of the
// error tables, or a status code (kStatusSuspended ...). Identifiers that no
// table knows are interned and their code is the negative name id.
using ErrCode = int32_t;

struct EngineContext;

template <typename T>
inline T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T>
inline void Store(void* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// Copies n 8-byte units between ranges that do not overlap; a single unit,
// the commonest count, without a library call.
inline void CopyUnits(void* dst, const void* src, uint64_t n) {
  if (n == 1)
    Store(dst, Load<uint64_t>(src));
  else
    std::memcpy(dst, src, 8 * n);
}

// Copies one element of es = 1, 2, 4 or 8 bytes without a library call.
inline void CopyElement(void* dst, const void* src, uint64_t es) {
  switch (es) {
    case 8:
      Store(dst, Load<uint64_t>(src));
      break;
    case 4:
      Store(dst, Load<uint32_t>(src));
      break;
    case 2:
      Store(dst, Load<uint16_t>(src));
      break;
    default:
      std::memcpy(dst, src, es);
      break;
  }
}

// Converts a double to a 32-bit integer the way the language's unchecked
// conversions do: truncation toward zero, and INT32_MIN for NaN and for
// values outside the range (never undefined behaviour).
inline int32_t TruncToInt32(double x) {
  if (!(x > -2147483649.0 && x < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(x);
}

// The same for 64 bits: INT64_MIN for NaN and out-of-range values.
inline int64_t TruncToInt64(double x) {
  if (!(x >= -9223372036854775808.0 && x < 9223372036854775808.0)) return INT64_MIN;
  return static_cast<int64_t>(x);
}

// Rounds half away from zero and converts as TruncToInt32.
int32_t RoundToInt32(double x);
int64_t RoundToInt64(double x);

}  // namespace vke
