// The Shell-sort kernels and comparators. One gapped insertion sort serves
// every kernel; each kernel gives it the element it moves (a key with its
// companions) and the rule by which an element moves before another.
#include "builtins/shell_sort.hpp"

#include <cmath>

#include "engine/base.hpp"
#include "engine/values/value.hpp"

namespace vke {

namespace {

template <typename T>
int32_t Order(T x, T y) {
  return x < y ? -1 : x > y ? 1 : 0;
}

// The order of floating keys with NaN above every number and equal to
// another NaN, so that NaNs gather last ascending and first descending.
int32_t OrderNaNLast(double x, double y) {
  const bool nx = std::isnan(x), ny = std::isnan(y);
  if (nx || ny) return nx - ny;
  return Order(x, y);
}

// Whether key x moves before key p in that order, reversed when descending.
bool KeyBefore(double x, double p, bool descending) {
  const int32_t c = OrderNaNLast(p, x);
  return descending ? c < 0 : c > 0;
}

// items: Take(i) reads element i, Put(i, x) writes it, Move(from, to) copies
// one element over another, Before(x, p) tells whether x moves before the
// element at p.
template <typename Items>
void GappedInsertionSort(Items& items, int32_t n) {
  if (n < 2) return;
  int64_t h = 1;
  while (h < n) h = 3 * h + 1;
  do {
    h /= 3;
    for (int64_t i = h; i < n; i++) {
      auto x = items.Take(i);
      int64_t j = i;
      while (j >= h && items.Before(x, j - h)) {
        items.Move(j - h, j);
        j -= h;
      }
      items.Put(j, x);
    }
  } while (h > 1);
}

// Keys at a stride, with optional companions at their own strides.
template <typename Key, typename Companion>
struct Strided {
  Key* keys;
  int64_t stride;
  Companion* companion;  // may be null
  int64_t companionStride;

  struct Element {
    Key key;
    Companion other;
  };
  Element Take(int64_t i) const {
    return {keys[i * stride], companion ? companion[i * companionStride] : Companion{}};
  }
  void Put(int64_t i, const Element& x) const {
    keys[i * stride] = x.key;
    if (companion) companion[i * companionStride] = x.other;
  }
  void Move(int64_t from, int64_t to) const { Put(to, Take(from)); }
  Key KeyAt(int64_t i) const { return keys[i * stride]; }
  Companion OtherAt(int64_t i) const { return companion[i * companionStride]; }
};

template <typename Key, typename Companion, typename Rule>
void SortStrided(Key* keys, int64_t stride, Companion* companion, int64_t companionStride,
                 int32_t n, Rule before) {
  struct Items : Strided<Key, Companion> {
    Rule rule;
    bool Before(const typename Strided<Key, Companion>::Element& x, int64_t p) const {
      return rule(x, *this, p);
    }
  } items{{keys, stride, companion, companionStride}, before};
  GappedInsertionSort(items, n);
}

// A complex element: its parts and its index.
struct ComplexItems {
  double* keys;  // null: squared moduli computed from the parts
  double* re;
  double* im;
  double* index;  // may be null
  int64_t stride;
  bool descending;

  struct Element {
    double key, re, im, index;
  };
  double KeyAt(int64_t i) const {
    if (keys) return keys[i];
    double r = re[i * stride], m = im[i * stride];
    return r * r + m * m;
  }
  Element Take(int64_t i) const {
    return {KeyAt(i), re[i * stride], im[i * stride], index ? index[i * stride] : 0};
  }
  void Put(int64_t i, const Element& x) const {
    if (keys) keys[i] = x.key;
    re[i * stride] = x.re;
    im[i * stride] = x.im;
    if (index) index[i * stride] = x.index;
  }
  void Move(int64_t from, int64_t to) const { Put(to, Take(from)); }
  bool Before(const Element& x, int64_t p) const {
    double kp = KeyAt(p);
    if (KeyBefore(x.key, kp, descending)) return true;
    return index && OrderNaNLast(kp, x.key) == 0 && index[p * stride] > x.index;
  }
};

// A permutation ordered through a comparator.
struct PermutationItems {
  int32_t* perm;
  SortComparator compare;
  const SortCompareContext* context;
  bool descending;

  int32_t Take(int64_t i) const { return perm[i]; }
  void Put(int64_t i, int32_t x) const { perm[i] = x; }
  void Move(int64_t from, int64_t to) const { perm[to] = perm[from]; }
  bool Before(int32_t x, int64_t p) const {
    int32_t c = compare(context, x, perm[p]);
    if (descending) c = -c;
    return c < 0 || (c == 0 && x < perm[p]);
  }
};

}  // namespace

void ShellSortReal(double* data, int32_t n, int64_t stride, bool descending) {
  SortStrided(data, stride, static_cast<double*>(nullptr), 0, n,
              [descending](const auto& x, const auto& items, int64_t p) {
                return KeyBefore(x.key, items.KeyAt(p), descending);
              });
}

void ShellSortRealWithIndex(double* data, double* index, int32_t n, int64_t stride,
                            bool descending) {
  SortStrided(data, stride, index, stride, n,
              [descending](const auto& x, const auto& items, int64_t p) {
                double v = items.KeyAt(p);
                if (KeyBefore(x.key, v, descending)) return true;
                return OrderNaNLast(v, x.key) == 0 && items.OtherAt(p) > x.other;
              });
}

void ShellSortRealWithInt32Index(double* data, int32_t* index, int32_t n, int64_t stride) {
  SortStrided(data, stride, index, 1, n, [](const auto& x, const auto& items, int64_t p) {
    return KeyBefore(x.key, items.KeyAt(p), false);
  });
}

void ShellSortUInt32(uint32_t* data, int32_t n) {
  ShellSortUInt32WithCompanion(data, nullptr, n);
}

void ShellSortUInt32WithCompanion(uint32_t* keys, uint32_t* companion, int32_t n) {
  SortStrided(keys, 1, companion, 1, n, [](const auto& x, const auto& items, int64_t p) {
    return static_cast<int32_t>(items.KeyAt(p)) > static_cast<int32_t>(x.key);
  });
}

void ShellSortComplex(double* re, double* im, int32_t n, int64_t stride, bool descending) {
  ComplexItems items{nullptr, re, im, nullptr, stride, descending};
  GappedInsertionSort(items, n);
}

void ShellSortComplexWithIndex(double* keys, double* re, double* im, double* index, int32_t n,
                               int64_t stride, bool descending) {
  ComplexItems items{keys, re, im, index, stride, descending};
  GappedInsertionSort(items, n);
}

int32_t SortCompareSingle(const SortCompareContext* c, int32_t i, int32_t j) {
  auto key = [c](int32_t k) -> double {
    const uint8_t* p = c->data + 4 * (k * c->stride);
    double re = Load<float>(p);
    if (!c->imag) return re;
    double im = Load<float>(p + 4 * c->imag);
    return re * re + im * im;
  };
  return OrderNaNLast(key(i), key(j));
}

int32_t SortCompareStrings(const SortCompareContext* c, int32_t i, int32_t j) {
  const uint8_t* x = c->base + c->strings[2 * i];
  const uint8_t* y = c->base + c->strings[2 * j];
  uint32_t nx = c->strings[2 * i + 1], ny = c->strings[2 * j + 1];
  for (uint32_t k = 0; k < nx && k < ny; k++) {
    int32_t order = Order(Load<uint16_t>(x + 2 * k), Load<uint16_t>(y + 2 * k));
    if (order) return order;
  }
  return Order(nx, ny);
}

SortComparator ComparatorOfCode(uint32_t code) {
  switch (code) {
    case kCodeInt8:
      return SortCompareInt8;
    case kCodeUInt8:
      return SortCompareUInt8;
    case kCodeInt16:
      return SortCompareInt16;
    case kCodeUInt16:
      return SortCompareUInt16;
    case kCodeInt32:
      return SortCompareInt32;
    case kCodeUInt32:
      return SortCompareUInt32;
    case kCodeInt64:
      return SortCompareInt64;
    case kCodeUInt64:
      return SortCompareUInt64;
    case kCodeSingle:
    case kCodeSingleComplex:
      return SortCompareSingle;
    default:
      return nullptr;
  }
}

void ShellSortByComparator(int32_t n, SortComparator comparator, int32_t* permutation,
                           const SortCompareContext* context, bool descending) {
  for (int32_t i = 0; i < n; i++) permutation[i] = i;
  PermutationItems items{permutation, comparator, context, descending};
  GappedInsertionSort(items, n);
}

}  // namespace vke
