// Shapes, sizes and the resize of the transform natives' arrays.
#include "numerics/fft/fft_arrays.hpp"

#include <algorithm>
#include <cstring>

#include "builtins/array_support.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

namespace {

// The most elements an array holds.
constexpr int64_t kMaxElements = 0x3FFFFFFF;

void DropTrailingOnes(Shape* s) {
  while (s->ndims > 2 && s->dims[s->ndims - 1] == 1) s->ndims--;
}

}  // namespace

int32_t FirstNonUnitDim(const Shape& s) {
  for (int32_t k = 0; k < s.ndims; k++) {
    if (s.dims[k] != 1) return k;
  }
  return 0;
}

int32_t LengthAlong(const Shape& s, int32_t d) {
  return d < s.ndims ? s.dims[d] : 1;
}

int64_t ElementCount(const Shape& s) {
  int64_t count = 1;
  for (int32_t k = 0; k < s.ndims; k++) count *= s.dims[k];
  return count;
}

bool ResizedShape(const Shape& s, int32_t d, int32_t n, Shape* out) {
  *out = Shape{};
  if (n <= 0) return true;
  if (n == LengthAlong(s, d)) {
    *out = s;
    out->count = static_cast<int32_t>(ElementCount(s));
    return true;
  }
  if (d >= kMaxDims) return false;
  *out = s;
  while (out->ndims <= d) out->dims[out->ndims++] = 1;
  out->dims[d] = n;
  DropTrailingOnes(out);
  out->count = static_cast<int32_t>(std::min(ElementCount(*out), kMaxElements + 1));
  return ElementCount(*out) <= kMaxElements;
}

int64_t DoubleArrayWords(const Shape& s, bool complex) {
  const int64_t count = ElementCount(s);
  if (count == 0)
    return s.ndims == 2 && s.dims[0] == 0 && s.dims[1] == 0 ? 0 : HeaderUnits(s.ndims);
  const int64_t values = count * (complex ? 2 : 1);
  return s.ndims == 2 ? values : static_cast<int64_t>(TypedArrayUnits(s.ndims, 8 * values));
}

ErrCode PushShapedArray(EngineContext* ctx, const Shape& s, bool complex, double** re,
                        double** im) {
  if (ElementCount(s) > 0) return PushNewArray(ctx, s.ndims, s.dims, re, complex ? im : nullptr);
  if (re) *re = nullptr;
  if (im) *im = nullptr;
  uint32_t elements;
  return PushArrayWithShape(ctx, ArrayClass{}, complex, s, &elements);
}

ErrCode ResizeAlongDimension(EngineContext* ctx, int32_t* dim, int32_t n) {
  Shape s;
  double *re, *im;
  if (GetDoubleArrayArg(ctx, 0, &s, &re, &im)) return kErrWrongType;
  if (*dim < 0) *dim = FirstNonUnitDim(s);
  const int32_t d = *dim, current = LengthAlong(s, d);
  if (n == current) return kOk;
  if (n <= 0) return PushInPlaceOfTop(ctx, 1, [&] { return PushEmptyMatrix(ctx); });
  Shape t;
  if (!ResizedShape(s, d, n, &t)) return kErrObjTooLarge;
  // Runs of `kept` elements, stride apart, in count blocks of each array.
  DimLayout from;
  int32_t along = d;
  NextNonSingletonDim(s.ndims, s.dims, &along, &from);
  const int64_t newCount = ElementCount(t);
  const int64_t stride = from.stride, blocks = from.count, kept = std::min(current, n);
  const bool complex = im != nullptr;
  auto copyRuns = [&](const double* src, double* dst) {
    for (int64_t b = 0; b < blocks; b++) {
      for (int64_t i = 0; i < kept; i++) {
        const double* run = src + (b * current + i) * stride;
        std::copy(run, run + stride, dst + (b * n + i) * stride);
      }
      if (n > current) std::fill(dst + (b * n + current) * stride, dst + (b + 1) * n * stride, 0.0);
    }
  };
  if (n < current) {
    // Compacted in place (every run moves down), then the entry is pushed
    // again with its new size over the same data, moved down when its
    // header became shorter.
    copyRuns(re, re);
    if (complex) copyRuns(im, re + newCount);
    // The shorter array takes the room of the longer one.
    const RoomRequestsPaused replaced;
    Drop(ctx);
    double *newRe, *newIm;
    if (ErrCode e = PushShapedArray(ctx, t, complex, &newRe, &newIm)) return e;
    if (newRe && newRe != re) std::memmove(newRe, re, 8 * newCount * (complex ? 2 : 1));
    return kOk;
  }
  double *newRe, *newIm;
  if (ErrCode e = PushShapedArray(ctx, t, complex, &newRe, &newIm)) return e;
  if (newRe) {
    copyRuns(re, newRe);
    if (complex) copyRuns(im, newIm);
  }
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
