// Shell-sort kernels and element comparators, shared by sort, unique and the
// set operations and open to every subsystem that orders data in place
// without scratch of its own.
//
// Every kernel is a gapped insertion sort with the gaps 1, 4, 13, 40, ...
// (h = 3h + 1): it starts from the first gap not below n and divides it by 3
// for each pass until a pass with gap 1 has run; n below 2 does nothing. An
// element x moves before its gapped predecessor p while the kernel's rule
// below says so; "index order" rules make the sort stable.
#pragma once

#include <cstdint>

#include "engine/base.hpp"

namespace vke {

// Floating keys are ordered with NaN above every number (and equal to
// another NaN): NaNs come last ascending and first descending.

// Doubles at a stride. Ascending: x moves before p while p > x; descending:
// while p < x.
void ShellSortReal(double* data, int32_t n, int64_t stride, bool descending);

// The same with a companion array of (double) indices at the same stride,
// moved alongside; when p and x compare equal x moves before p only when
// p's index is larger, so equal keys (NaNs among them) keep their index
// order.
void ShellSortRealWithIndex(double* data, double* index, int32_t n, int64_t stride,
                            bool descending);

// Ascending doubles at a stride with n contiguous 32-bit companions; x moves
// before p while p > x.
void ShellSortRealWithInt32Index(double* data, int32_t* index, int32_t n, int64_t stride);

// 32-bit words compared as signed values, ascending; the second form moves a
// companion array alongside.
void ShellSortUInt32(uint32_t* data, int32_t n);
void ShellSortUInt32WithCompanion(uint32_t* keys, uint32_t* companion, int32_t n);

// Complex values (two arrays at a stride, moved together) by squared modulus
// re^2 + im^2 (NaN when either part is): x moves before p only while p's
// modulus is strictly larger (ascending) or strictly smaller (descending).
void ShellSortComplex(double* re, double* im, int32_t n, int64_t stride, bool descending);

// By n contiguous precomputed keys (squared moduli), moving the real and
// imaginary parts and, when index is not null, the indices (all at the
// stride) alongside; equal keys with indices keep their index order.
void ShellSortComplexWithIndex(double* keys, double* re, double* im, double* index, int32_t n,
                               int64_t stride, bool descending);

// ---- Comparators ----
// What a comparator reads: numeric keys i and j at data + i * stride
// elements; a single-precision complex key's imaginary part imag elements
// after its real part (0: real); strings through a table of (byte offset
// from base, length in 16-bit units) pairs.
struct SortCompareContext {
  const uint8_t* data = nullptr;
  int64_t stride = 1;
  int64_t imag = 0;
  const uint8_t* base = nullptr;
  const uint32_t* strings = nullptr;
};

// -1, 0 or 1 as key i is smaller than, equal to or larger than key j.
using SortComparator = int32_t (*)(const SortCompareContext* context, int32_t i, int32_t j);

// Integer keys of type T.
template <typename T>
int32_t SortCompareIntegers(const SortCompareContext* c, int32_t i, int32_t j) {
  T x = Load<T>(c->data + sizeof(T) * (i * c->stride));
  T y = Load<T>(c->data + sizeof(T) * (j * c->stride));
  return x < y ? -1 : x > y ? 1 : 0;
}

inline constexpr SortComparator SortCompareUInt8 = SortCompareIntegers<uint8_t>;    // also logical
inline constexpr SortComparator SortCompareUInt16 = SortCompareIntegers<uint16_t>;  // also char
inline constexpr SortComparator SortCompareUInt32 = SortCompareIntegers<uint32_t>;
inline constexpr SortComparator SortCompareUInt64 = SortCompareIntegers<uint64_t>;
inline constexpr SortComparator SortCompareInt8 = SortCompareIntegers<int8_t>;
inline constexpr SortComparator SortCompareInt16 = SortCompareIntegers<int16_t>;
inline constexpr SortComparator SortCompareInt32 = SortCompareIntegers<int32_t>;
inline constexpr SortComparator SortCompareInt64 = SortCompareIntegers<int64_t>;
// Real values, or squared moduli when imag is set; NaN above every number.
int32_t SortCompareSingle(const SortCompareContext* c, int32_t i, int32_t j);
// Strings by their 16-bit units compared unsigned one by one; a proper
// prefix is the smaller.
int32_t SortCompareStrings(const SortCompareContext* c, int32_t i, int32_t j);

// The comparator of an integer, char, logical or single type code; null for
// any other code.
SortComparator ComparatorOfCode(uint32_t code);

// Fills permutation with 0 .. n-1 and sorts it: x moves before p while
// comparator(x, p) (negated when descending) is below 0, or is 0 and x < p,
// so the sort is stable in both directions.
void ShellSortByComparator(int32_t n, SortComparator comparator, int32_t* permutation,
                           const SortCompareContext* context, bool descending);

}  // namespace vke
