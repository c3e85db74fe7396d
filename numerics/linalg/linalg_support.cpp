// Arguments, results and stack room of the linear-algebra natives.
#include "numerics/linalg/linalg_support.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "builtins/array_support.hpp"
#include "engine/context.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/native_results.hpp"

namespace vke {

namespace {

// The data words of a pushed rows x cols double matrix: a plain matrix, a
// plain 0 x n, or a typed header alone for n x 0.
int64_t MatrixWords(int64_t rows, int64_t cols, bool complex) {
  if (rows > 0 && cols > 0) return rows * cols * (complex ? 2 : 1);
  return rows == 0 ? 0 : HeaderUnits(2);
}

}  // namespace

bool GetMatrixArg(EngineContext* ctx, int32_t depth, MatrixOperand* a) {
  if (!AreDoubleMatrices(ctx, 1, depth)) return false;
  *a = ReadMatrixOperand(ctx, depth);
  return true;
}

bool HoldsNonFinite(const MatrixOperand& a) {
  const int64_t count = int64_t{a.rows} * a.cols;
  auto nonFinite = [](double x) { return !std::isfinite(x); };
  return std::any_of(a.re, a.re + count, nonFinite) ||
         (a.im && std::any_of(a.im, a.im + count, nonFinite));
}

void FillWithNaN(const MatrixOperand& x) {
  const int64_t count = int64_t{x.rows} * x.cols;
  std::fill(x.re, x.re + count, std::numeric_limits<double>::quiet_NaN());
  if (x.im) std::fill(x.im, x.im + count, std::numeric_limits<double>::quiet_NaN());
}

bool AreRealMatrixArgs(EngineContext* ctx, int32_t n, int32_t depth) {
  MatrixOperand a;
  for (int32_t d = depth; d < depth + n; d++) {
    if (!GetMatrixArg(ctx, d, &a) || a.im) return false;
  }
  return true;
}

ErrCode PushResultMatrix(EngineContext* ctx, int32_t rows, int32_t cols, bool complex, double** re,
                         double** im) {
  if (rows > 0 && cols > 0) {
    double* imaginary = nullptr;
    ErrCode e = PushNewMatrix(ctx, rows, cols, re, complex ? &imaginary : nullptr);
    if (e) return e;
    std::fill(*re, *re + int64_t(rows) * cols * (complex ? 2 : 1), 0.0);
    if (im) *im = imaginary;
    return kOk;
  }
  Shape shape;
  shape.dims[0] = rows;
  shape.dims[1] = cols;
  uint32_t elements;
  if (re) *re = nullptr;
  if (im) *im = nullptr;
  return PushArrayWithShape(ctx, ArrayClass{}, false, shape, &elements);
}

void StackPlan::Push(int64_t rows, int64_t cols, bool complex) {
  PushWords(MatrixWords(rows, cols, complex));
}

void StackPlan::PushWords(int64_t words) {
  words_ += words;
  peak_ = std::max(peak_, words_ + 1);
  peakEntries_ = std::max(peakEntries_, ++entries_);
}

void StackPlan::Drop(int64_t rows, int64_t cols, bool complex) {
  DropWords(MatrixWords(rows, cols, complex));
}

void StackPlan::DropWords(int64_t words) {
  words_ -= words;
  entries_--;
}

void StackPlan::DropEntry(EngineContext* ctx, int32_t depth) {
  DropWords(EntryDataWords(ctx, depth));
}

void StackPlan::Grow(int64_t words) {
  words_ += words;
  peak_ = std::max(peak_, words_);
}

void StackPlan::Scratch(int64_t words) {
  peak_ = std::max(peak_, words_ + words);
}

ErrCode StackPlan::Check(EngineContext* ctx) const {
  // What the plan pushes has its room: a test refuses no push behind it.
  return CheckPlannedRoom(ctx, peakEntries_, peak_);
}

int64_t EntryDataWords(EngineContext* ctx, int32_t depth) {
  return GetEntryWordCount(ctx, depth) - 3;
}

double* TakeScratch(EngineContext* ctx, int64_t words) {
  void* area = nullptr;
  ReserveDataStack(ctx, static_cast<uint32_t>(words), &area);
  return static_cast<double*>(area);
}

int64_t FreeDataWords(EngineContext* ctx) {
  return int64_t{ctx->dataCap} - int64_t{ctx->dataTop};
}

double* FirstFreeWord(EngineContext* ctx) {
  void* first = nullptr;
  GetDataStackFree(ctx, nullptr, &first);
  return static_cast<double*>(first);
}

int64_t SingularValueScratch(int32_t m, int32_t n, bool complex) {
  if (complex) return (4 * int64_t(m) + 6) * n + 1;
  return 2 * int64_t(n) + n / 2 + 1;
}

const NativeFunctionRecord* FrontSvdRecord(EngineContext* ctx) {
  const NativeFunctionRecord* r = FindLibraryRecord(ctx, "svd", nullptr, 0, nullptr);
  return r && reinterpret_cast<NativeFn>(r->function) != &SvdNative ? r : nullptr;
}

ErrCode FrontSingularValueRange(EngineContext* ctx, const NativeFunctionRecord* svd, int32_t depth,
                                SingularValueRange* range) {
  const uint32_t level = ctx->descTop;
  ErrCode e = DuplicateStackEntries(ctx, depth, 1);
  if (!e) e = CallNativeRecord(ctx, svd, 1, 1);
  if (e) return DropAboveLevel(ctx, level, e);
  MatrixOperand s;
  if (!GetMatrixArg(ctx, 0, &s)) return DropAboveLevel(ctx, level, kErrWrongType);
  const int64_t k = int64_t(s.rows) * s.cols;
  *range = k > 0 ? SingularValueRange{s.re[0], s.re[k - 1]} : SingularValueRange{};
  return Drop(ctx);
}

void ComputeSingularValues(const MatrixOperand& a, double* scratch) {
  // An empty matrix leaves the kernels without work: its values are zeros.
  std::fill(scratch, scratch + a.cols, 0.0);
  if (a.im) {
    ComputeComplexSingularValues(a.re, a.im, a.rows, a.cols, scratch, scratch + a.cols);
  } else {
    ComputeSvdReal(a.re, a.rows, a.cols, scratch, nullptr, scratch + a.cols);
  }
}

}  // namespace vke
