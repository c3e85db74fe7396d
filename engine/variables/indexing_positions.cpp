// Positions and subscripts in storage order, and the split of an array for
// working along one of its dimensions.
#include "engine/variables/indexing.hpp"

namespace vke {

namespace {

int64_t DimOrOne(int32_t ndims, const int32_t* dims, int32_t k) {
  return k < ndims ? dims[k] : 1;
}

int32_t Saturate(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

}  // namespace

int64_t SubscriptsToIndex(int32_t ndims, const int32_t* dims, int32_t n,
                          const int32_t* subscripts) {
  if (n <= 0) return 0;
  if (n == 1) return subscripts[0];
  // p = p x size + s, saturating: subscripts and sizes may come from a user.
  int64_t p = 0;
  bool over = false;
  auto step = [&](int32_t k) {
    over = over || __builtin_mul_overflow(p, DimOrOne(ndims, dims, k), &p) ||
           __builtin_add_overflow(p, int64_t{subscripts[k]}, &p);
  };
  if (n > 2) {
    p = subscripts[n - 1];
    for (int32_t k = n - 2; k >= 2; k--) step(k);
    step(0);
  } else {
    p = subscripts[0];
  }
  step(1);
  return over ? INT64_MAX : p;
}

void IndexToSubscripts(int32_t ndims, const int32_t* dims, int64_t position, int32_t* subscripts) {
  if (ndims < 2) {
    subscripts[0] = static_cast<int32_t>(position);
    return;
  }
  auto size = [&](int32_t k) -> int64_t { return dims[k] < 1 ? 1 : dims[k]; };
  // Fastest first: dimension 1, then 0, then 2, 3 ...; the slowest keeps the rest.
  int64_t p = position;
  for (int32_t i = 0; i < ndims; i++) {
    int32_t k = i == 0 ? 1 : i == 1 ? 0 : i;
    if (i == ndims - 1) {
      subscripts[k] = static_cast<int32_t>(p);
    } else {
      subscripts[k] = static_cast<int32_t>(p % size(k));
      p /= size(k);
    }
  }
}

int64_t DimensionStride(int32_t ndims, const int32_t* dims, int32_t k) {
  if (k == 1) return 1;
  if (k == 0) return DimOrOne(ndims, dims, 1);
  int64_t s = DimOrOne(ndims, dims, 0) * DimOrOne(ndims, dims, 1);
  for (int32_t i = 2; i < k; i++) {
    s *= DimOrOne(ndims, dims, i);
    if (s > INT64_MAX / 0x7FFFFFFF) return s;  // only for arrays without elements
  }
  return s;
}

void NextNonSingletonDim(int32_t ndims, const int32_t* dims, int32_t* dim, DimLayout* layout) {
  if (*dim < 0) {
    *dim = 0;
    for (int32_t k = 0; k < ndims; k++) {
      if (dims[k] > 1) {
        *dim = k;
        break;
      }
    }
  }
  int32_t d = *dim;
  int32_t n = ndims < 2 ? 2 : ndims;
  int64_t total = 1;
  for (int32_t k = 0; k < n; k++) {
    total *= DimOrOne(ndims, dims, k);
    if (total > INT32_MAX) total = INT32_MAX + int64_t{1};
  }
  int64_t stride = d < n ? DimensionStride(ndims, dims, d) : total;
  int64_t length = d < n ? DimOrOne(ndims, dims, d) : 1;
  // The slower dimensions: everything but the working one and the faster ones.
  int64_t count = 1;
  for (int32_t k = 0; k < n; k++) {
    bool slower = d == 1 ? k != 1 : d == 0 ? k >= 2 : k > d;
    if (!slower) continue;
    count *= DimOrOne(ndims, dims, k);
    if (count > INT32_MAX) count = INT32_MAX + int64_t{1};
  }
  layout->count = Saturate(count);
  layout->stride = Saturate(stride);
  layout->length = Saturate(length);
}

}  // namespace vke
