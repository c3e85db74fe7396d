// The argument letters, results, scratch layout, INFO mapping and hand-overs
// of the "!lapack" natives.
#include "numerics/lapack/lapack_support.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "builtins/array_support.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "numerics/lapack/lapack_loader.hpp"
#include "numerics/lapack/layout_conversions.hpp"

namespace vke {

namespace {

bool LetterAccepts(EngineContext* ctx, char letter, int32_t depth) {
  const NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kDouble) return false;
  const bool realScalar = !v.complex && v.shape.count == 1;
  switch (letter) {
    case 'C':
      return v.shape.ndims == 2;
    case 'c':
      return v.shape.count == 1;
    case 'A':
      return true;
    case 'r':
      return realScalar;
    case 'i': {
      if (!realScalar) return false;
      const double x = Load<double>(v.elements);
      return x == std::floor(x) && std::fabs(x) <= INT_MAX;
    }
    default:
      return false;
  }
}

}  // namespace

bool ArgumentsMatch(EngineContext* ctx, int32_t nargin, const char* letters) {
  int32_t k = 0;
  bool optional = false;
  for (const char* p = letters; *p; p++) {
    if (*p == '[') {
      optional = true;
      continue;
    }
    if (k == nargin) return optional;
    if (!LetterAccepts(ctx, *p, nargin - 1 - k)) return false;
    k++;
  }
  return k == nargin;
}

ErrCode CheckLapackArguments(EngineContext* ctx, int32_t nargin, const char* letters) {
  if (!ArgumentsMatch(ctx, nargin, letters)) return kErrWrongTypeOverload;
  return LoadLapack(ctx);
}

ErrCode ReadSquareArgument(EngineContext* ctx, int32_t nargin, MatrixOperand* a) {
  if (ErrCode e = CheckLapackArguments(ctx, nargin, "C")) return e;
  *a = ReadMatrixOperand(ctx, 0);
  return a->IsSquare() ? kOk : kErrBadSize;
}

bool IsRealDoubleScalarAt(EngineContext* ctx, int32_t depth) {
  return LetterAccepts(ctx, 'r', depth);
}

bool IsSingleScalarAt(EngineContext* ctx, int32_t depth) {
  const NumericView v = ViewNumeric(ctx, depth);
  return v.cls == ValueClass::kSingle && v.shape.count == 1;
}

bool HasNonFinite(const MatrixOperand& a) {
  const int64_t count = int64_t{a.rows} * a.cols;
  auto finite = [](double x) { return std::isfinite(x); };
  return !std::all_of(a.re, a.re + count, finite) ||
         (a.im && !std::all_of(a.im, a.im + count, finite));
}

bool EconomyRequested(EngineContext* ctx, int32_t nargin) {
  double flag = 1;
  return nargin == 2 && GetScalarArg(ctx, 0, &flag) == kOk && flag == 0;
}

ErrCode PushResultMatrix(EngineContext* ctx, int32_t rows, int32_t cols, bool complex,
                         MatrixOperand* result) {
  ErrCode e;
  if (rows > 0 && cols > 0) {
    double *re, *im;
    e = PushNewMatrix(ctx, rows, cols, &re, complex ? &im : nullptr);
  } else {
    Shape shape;
    shape.dims[0] = rows;
    shape.dims[1] = cols;
    uint32_t elements;
    e = PushArrayWithShape(ctx, ArrayClass{}, complex, shape, &elements);
  }
  if (!e && result) *result = ReadMatrixOperand(ctx, 0);
  return e;
}

ErrCode Reservations::Push(int32_t rows, int32_t cols, bool complex) {
  ErrCode e = PushResultMatrix(ctx_, rows, cols, complex);
  if (!e) count_++;
  return e;
}

ErrCode Reservations::Abandon(ErrCode e) {
  if (count_ > 0) Drop(ctx_, count_);
  count_ = 0;
  return e;
}

ErrCode RemoveArguments(EngineContext* ctx, int32_t results, int32_t nargin) {
  return nargin > 0 ? DropStackEntries(ctx, results, nargin) : kOk;
}

Workspace::Workspace(EngineContext* ctx) {
  uint32_t bytes = 0;
  void* first = nullptr;
  GetDataStackFree(ctx, &bytes, &first);
  const uintptr_t start = reinterpret_cast<uintptr_t>(first);
  base_ = (start + 63) & ~uintptr_t{63};
  free_ = int64_t{bytes} - static_cast<int64_t>(base_ - start);
}

double* Workspace::At(int64_t offset) const {
  return reinterpret_cast<double*>(base_ + static_cast<uintptr_t>(offset));
}

int64_t Workspace::Take(int64_t bytes, int64_t alignment) {
  const int64_t at = (used_ + alignment - 1) & ~(alignment - 1);
  used_ = at + ((bytes + 7) & ~int64_t{7});
  return at;
}

double* Workspace::Reals(int64_t count) {
  return At(Take(8 * count, 8));
}

double* Workspace::Complexes(int64_t count) {
  return At(Take(16 * count, 16));
}

LapackInt* Workspace::Integers(int64_t count) {
  return reinterpret_cast<LapackInt*>(At(Take(int64_t{sizeof(LapackInt)} * count, 8)));
}

double* Workspace::RealsAtEnd(int64_t count) {
  tail_ += 8 * count;
  return At(free_ - tail_);
}

ErrCode Workspace::Fits(int64_t elements, int32_t elementBytes) {
  return WorkStart() + elements * elementBytes + tail_ <= free_ ? kOk : kErrDataOverflow;
}

LapackInt Workspace::WorkLength(int32_t elementBytes) const {
  const int64_t length = (free_ - tail_ - WorkStart()) / elementBytes;
  return static_cast<LapackInt>(std::min<int64_t>(length, INT_MAX));
}

ErrCode MapInfo(LapackInt info, ErrCode failed) {
  if (info < 0) return kErrIllegal;
  return info > 0 ? failed : kOk;
}

void CopyMatrixIn(const MatrixOperand& a, bool complex, double* dst) {
  if (complex) {
    CopyComplexToColumnMajor(a.re, a.im, dst, a.rows, a.cols);
  } else {
    CopyRealToColumnMajor(a.re, dst, a.rows, a.cols);
  }
}

void CopyMatrixOut(const double* src, bool complex, const MatrixOperand& a) {
  CopyColumnsOut(src, a.rows, complex, a);
}

void CopyColumnsOut(const double* src, LapackInt ld, bool complex, const MatrixOperand& x) {
  if (complex) {
    CopyComplexFromColumnMajorLd(src, ld, x.re, x.im, x.rows, x.cols);
  } else {
    CopyRealFromColumnMajorLd(src, ld, x.re, x.rows, x.cols);
  }
}

ErrCode HandOver(EngineContext* ctx, const char* name, int32_t nargin) {
  return CallFunctionByName(ctx, name, static_cast<int32_t>(std::strlen(name)), 0, nargin, 1);
}

}  // namespace vke
