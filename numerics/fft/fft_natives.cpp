// The natives fft, ifft (one routine, ComputeFft) and fft2, ifft2, fftn,
// ifftn (another, ComputeFftN): optional padding or truncation along the
// transformed dimensions, then one mixed-radix pass per dimension into a
// complex result of the argument's shape. The passes alternate between the
// argument and the result array, each reading one and writing the other;
// the one written last stays.
#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"
#include "numerics/fft/fft_arrays.hpp"
#include "numerics/fft/fft_kernels.hpp"
#include "numerics/linalg/linalg_support.hpp"

namespace vke {

namespace {

// Option letters of the records.
constexpr uintptr_t kInverse = 'i';         // ifft, ifftn
constexpr uintptr_t kTwoDims = '2';         // fft2
constexpr uintptr_t kInverseTwoDims = 'I';  // ifft2
// The most entries a size vector of fftn may have.
constexpr int32_t kMaxSizeEntries = 16;

struct Arrays {
  double* re;
  double* im;
};

// The room the natives take, followed step by step on the argument's shape:
// the arguments above it dropped, the resizes, the imaginary block of a
// real argument, the result and the kernel's workspace.
class TransformRoom {
 public:
  TransformRoom(const Shape& s, bool complex) : shape_(s), complex_(complex) {}
  const Shape& shape() const { return shape_; }
  void DropTop(EngineContext* ctx, int32_t count) {
    for (int32_t d = 0; d < count; d++) plan_.DropEntry(ctx, d);
  }
  // False when the new shape cannot be held.
  bool Resize(int32_t d, int32_t n) {
    Shape t;
    if (!ResizedShape(shape_, d, n, &t)) return false;
    if (n == LengthAlong(shape_, d)) return true;
    const int64_t before = DoubleArrayWords(shape_, complex_),
                  after = DoubleArrayWords(t, complex_);
    if (after > before) {
      plan_.PushWords(after);
      plan_.DropWords(before);
    } else {
      plan_.DropWords(before);
      plan_.PushWords(after);
    }
    shape_ = t;
    return true;
  }
  // The passes along the given dimensions (d < 0: as NextNonSingletonDim
  // resolves it).
  ErrCode Check(EngineContext* ctx, const int32_t* dims, int32_t passes) {
    if (ElementCount(shape_) > 0 && !complex_) plan_.Grow(ElementCount(shape_));
    if (ElementCount(shape_) > 0 && passes > 0) {
      plan_.PushWords(DoubleArrayWords(shape_, true));
      for (int32_t p = 0; p < passes; p++) {
        int32_t d = dims[p];
        DimLayout layout;
        NextNonSingletonDim(shape_.ndims, shape_.dims, &d, &layout);
        plan_.Scratch(FftWorkspace(layout.length));
      }
    }
    return plan_.Check(ctx);
  }

 private:
  Shape shape_;
  bool complex_;
  StackPlan plan_;
};

// One pass along d over every block of the layout; without an imaginary
// part (a real argument, first pass) an even number of interleaved
// sequences is transformed in pairs.
int32_t TransformAlong(const Shape& s, int32_t d, Arrays from, bool mayPair, Arrays to,
                       bool inverse, EngineContext* ctx) {
  DimLayout layout;
  NextNonSingletonDim(s.ndims, s.dims, &d, &layout);
  const int64_t block = int64_t(layout.length) * layout.stride;
  const bool paired = mayPair && layout.stride % 2 == 0;
  for (int64_t b = 0; b < layout.count; b++) {
    // The workspace is what is free above the result.
    const int32_t result =
        FftMixedRadix(from.re + b * block, paired ? nullptr : from.im + b * block, layout.length,
                      layout.stride, layout.stride, 1, to.re + b * block, to.im + b * block,
                      inverse, FirstFreeWord(ctx), FreeDataWords(ctx), ctx);
    if (result != kFftDone) return result;
  }
  return kFftDone;
}

// Transforms the array on top along the given dimensions in turn and leaves
// the complex result in its place; an array without elements is its own
// result.
ErrCode TransformTop(EngineContext* ctx, const int32_t* dims, int32_t passes, bool inverse) {
  Shape s;
  double *re, *im;
  GetDoubleArrayArg(ctx, 0, &s, &re, &im);
  if (ElementCount(s) == 0 || passes == 0) {
    return ElementCount(s) == 0 || im ? kOk : MakeTopComplex(ctx, nullptr);
  }
  const bool real = im == nullptr;
  if (real) {
    void* imaginary;
    MakeTopComplex(ctx, &imaginary);
    im = static_cast<double*>(imaginary);
  }
  Arrays from{re, im}, to;
  PushShapedArray(ctx, s, true, &to.re, &to.im);
  for (int32_t p = 0; p < passes; p++) {
    switch (TransformAlong(s, dims[p], from, real && p == 0, to, inverse, ctx)) {
      case kFftHalted:
        return kErrHalted;
      case kFftNoRoom:
        return kErrDataOverflow;
      default:
        break;
    }
    std::swap(from, to);
  }
  // An odd number of passes wrote the result array last.
  return passes % 2 ? DropStackEntries(ctx, 1, 1) : Drop(ctx);
}

}  // namespace

// y = fft(x), fft(x, n), fft(x, n, dim); ifft alike.
ErrCode ComputeFft(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  Shape s;
  double *re, *im;
  if (GetDoubleArrayArg(ctx, nargin - 1, &s, &re, &im)) return kErrWrongTypeOverload;
  int32_t d = -1;
  if (nargin == 3) {
    int32_t given;
    if (ErrCode e = GetIntegerArg(ctx, 0, &given)) return e;
    if (given < 1) return kErrBadDim;
    d = given - 1;
  }
  // A length given as [] is the default.
  bool resize = false;
  int32_t length = 0;
  if (nargin >= 2) {
    MatrixOperand given;
    if (!GetMatrixArg(ctx, nargin - 2, &given) || !given.IsEmpty()) {
      if (ErrCode e = GetIntegerArg(ctx, nargin - 2, &length)) return e;
      length = std::max(length, 0);
      resize = true;
    }
  }
  TransformRoom room(s, im != nullptr);
  room.DropTop(ctx, nargin - 1);
  const bool noRows = s.dims[0] == 0;
  if (!noRows && resize) {
    if (d < 0) d = FirstNonUnitDim(s);
    if (!room.Resize(d, length)) return kErrObjTooLarge;
  }
  if (ErrCode e = room.Check(ctx, &d, noRows ? 0 : 1)) return e;
  Drop(ctx, nargin - 1);
  if (noRows) return kOk;
  if (resize) ResizeAlongDimension(ctx, &d, length);
  return TransformTop(ctx, &d, 1, option == kInverse);
}

// y = fft2(x), fft2(x, [m n]), fft2(x, m), fft2(x, m, n); fftn(x),
// fftn(x, sizes); and the inverses.
ErrCode ComputeFftN(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  if (CheckArgumentTypes(ctx, nargin, "A[Rr")) return kErrWrongTypeOverload;
  const bool twoDims = option == kTwoDims || option == kInverseTwoDims;
  const bool inverse = option == kInverse || option == kInverseTwoDims;
  Shape s;
  double *re, *im;
  GetDoubleArrayArg(ctx, nargin - 1, &s, &re, &im);
  int32_t lengths[kMaxSizeEntries] = {};
  int32_t count = 0;
  if (nargin == 2) {
    const MatrixOperand sizes = ReadMatrixOperand(ctx, 0);
    count = sizes.rows * sizes.cols;
    if (twoDims ? count > 2 : count < s.ndims) return kErrBadSize;
    if (count > kMaxSizeEntries) return kErrObjTooLarge;
    for (int32_t i = 0; i < count; i++) {
      const double x = sizes.re[i];
      if (x != std::floor(x)) return kErrNonIntArg;
      lengths[i] = x < 0 ? 0 : static_cast<int32_t>(std::min(x, 2147483647.0));
    }
    if (count == 1) lengths[count++] = lengths[0];
  } else if (nargin == 3) {
    count = 2;
    if (ErrCode e = GetIntegerArg(ctx, 1, &lengths[0])) return e;
    if (ErrCode e = GetIntegerArg(ctx, 0, &lengths[1])) return e;
  }

  TransformRoom room(s, im != nullptr);
  room.DropTop(ctx, nargin - 1);
  for (int32_t i = 0; i < count; i++) {
    if (!room.Resize(i, lengths[i])) return kErrObjTooLarge;
  }
  // The dimensions of more than one element, in increasing order.
  int32_t dims[kMaxDims], passes = 0;
  const Shape& t = room.shape();
  const bool noRows = t.dims[0] == 0;
  for (int32_t d = 0; d < (twoDims ? std::min(2, t.ndims) : t.ndims); d++) {
    if (t.dims[d] > 1) dims[passes++] = d;
  }
  if (ErrCode e = room.Check(ctx, dims, noRows ? 0 : passes)) return e;
  Drop(ctx, nargin - 1);
  for (int32_t i = 0; i < count; i++) {
    int32_t d = i;
    ResizeAlongDimension(ctx, &d, lengths[i]);
  }
  if (noRows) return kOk;
  return TransformTop(ctx, dims, passes, inverse);
}

}  // namespace vke
