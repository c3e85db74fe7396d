// The radix sort of real doubles: each value's bits are turned into an
// unsigned key that orders as the values do, and the values move by 11 bits
// of their keys at a time, least significant first, each pass stable.
#include "builtins/radix_sort.hpp"

#include <bit>
#include <cstring>
#include <utility>

namespace vke {

namespace {

constexpr int kDigitBits = 11;
constexpr int kPasses = (64 + kDigitBits - 1) / kDigitBits;
constexpr uint32_t kBuckets = 1u << kDigitBits;
// Lines this short are sorted by insertion; the buckets would cost more.
constexpr int32_t kInsertionLength = 48;

// An unsigned key in the value's order: NaNs the largest (the smallest
// descending), zeros of either sign one key.
inline uint64_t KeyOf(double x, bool descending) {
  if (x != x) return descending ? 0 : ~uint64_t(0);
  if (x == 0) x = 0.0;
  uint64_t u = std::bit_cast<uint64_t>(x);
  u = (u >> 63) ? ~u : (u | (uint64_t(1) << 63));
  return descending ? ~u : u;
}

inline uint32_t DigitOf(uint64_t key, int pass) {
  return static_cast<uint32_t>(key >> (pass * kDigitBits)) & (kBuckets - 1);
}

void InsertionSort(double* data, double* index, int32_t n, bool descending) {
  for (int32_t i = 1; i < n; i++) {
    double x = data[i];
    double ix = index ? index[i] : 0;
    uint64_t k = KeyOf(x, descending);
    int32_t j = i;
    while (j > 0 && KeyOf(data[j - 1], descending) > k) {
      data[j] = data[j - 1];
      if (index) index[j] = index[j - 1];
      j--;
    }
    data[j] = x;
    if (index) index[j] = ix;
  }
}

}  // namespace

void RadixSortReal(double* data, double* index, int32_t n, bool descending, double* scratch,
                   double* indexScratch) {
  if (n <= kInsertionLength) return InsertionSort(data, index, n, descending);
  static thread_local uint32_t counts[kPasses][kBuckets];
  std::memset(counts, 0, sizeof counts);
  for (int32_t i = 0; i < n; i++) {
    uint64_t k = KeyOf(data[i], descending);
    for (int p = 0; p < kPasses; p++) counts[p][DigitOf(k, p)]++;
  }
  double *src = data, *dst = scratch;
  double *isrc = index, *idst = indexScratch;
  for (int p = 0; p < kPasses; p++) {
    uint32_t* count = counts[p];
    // A digit all keys share moves nothing.
    if (count[DigitOf(KeyOf(src[0], descending), p)] == uint32_t(n)) continue;
    uint32_t at = 0;
    for (uint32_t b = 0; b < kBuckets; b++) at += std::exchange(count[b], at);
    if (index) {
      for (int32_t i = 0; i < n; i++) {
        uint32_t to = count[DigitOf(KeyOf(src[i], descending), p)]++;
        dst[to] = src[i];
        idst[to] = isrc[i];
      }
      std::swap(isrc, idst);
    } else {
      for (int32_t i = 0; i < n; i++) dst[count[DigitOf(KeyOf(src[i], descending), p)]++] = src[i];
    }
    std::swap(src, dst);
  }
  if (src != data) {
    std::memcpy(data, src, sizeof(double) * n);
    if (index) std::memcpy(index, isrc, sizeof(double) * n);
  }
}

}  // namespace vke
