// What the linear-algebra natives share: reading their double matrix
// arguments (empty ones keep their size), pushing results that may be
// empty, and the room a native takes from the stacks, counted before
// anything changes so that a native that cannot finish leaves the stack as
// it found it.
#pragma once

#include <cstdint>

#include "builtins/matrix_ops.hpp"
#include "engine/registry/native_record.hpp"
#include "engine/values/value.hpp"

namespace vke {

// The double matrix at the depth (a plain one or a 2-D double array that
// keeps an empty size); false for any other value.
bool GetMatrixArg(EngineContext* ctx, int32_t depth, MatrixOperand* a);
// True when the n entries from the depth up are all real double matrices
// (empty ones of any size included).
bool AreRealMatrixArgs(EngineContext* ctx, int32_t n, int32_t depth = 0);

// Whether a part of an element of the matrix is NaN or infinite, and every
// part of every element made NaN: a result that such an element leaves
// undefined.
bool HoldsNonFinite(const MatrixOperand& a);
void FillWithNaN(const MatrixOperand& x);

// Pushes a rows x cols double matrix of zeros, complex when asked (an
// imaginary block of zeros). An empty one keeps its size, is real and gives
// null data pointers.
ErrCode PushResultMatrix(EngineContext* ctx, int32_t rows, int32_t cols, bool complex, double** re,
                         double** im);

// The room a native takes, in the order it takes it: values pushed (a push
// needs one word beyond its data), values dropped, values grown in place
// and scratch reserved behind what is pushed so far. Check compares the
// peak with the free stacks: 3 (dataOverflow) or 1 (stackOverflow) when it
// does not fit.
class StackPlan {
 public:
  void Push(int64_t rows, int64_t cols, bool complex);
  void PushScalar() { Push(1, 1, false); }
  void PushWords(int64_t words);
  void Drop(int64_t rows, int64_t cols, bool complex);
  void DropWords(int64_t words);
  // The entry at the depth dropped (the stack as it is now).
  void DropEntry(EngineContext* ctx, int32_t depth);
  void Grow(int64_t words);
  void Scratch(int64_t words);
  ErrCode Check(EngineContext* ctx) const;

 private:
  int64_t words_ = 0;
  int64_t peak_ = 0;
  int32_t entries_ = 0;
  int32_t peakEntries_ = 0;
};

// The data words of the entry at the depth.
int64_t EntryDataWords(EngineContext* ctx, int32_t depth);

// The last `words` words of the free data stack (the caller has checked its
// plan).
double* TakeScratch(EngineContext* ctx, int64_t words);

// The free words above the data stack's top and the first of them.
int64_t FreeDataWords(EngineContext* ctx);
double* FirstFreeWord(EngineContext* ctx);

// The scratch of the singular values alone (svd with one output, rank, cond)
// of an m x n matrix: the n values first, then the kernel's work.
int64_t SingularValueScratch(int32_t m, int32_t n, bool complex);
// Fills values (n of them) with the singular values of the matrix, largest
// first, destroying a real matrix; scratch as SingularValueScratch gives,
// the values at its start.
void ComputeSingularValues(const MatrixOperand& a, double* scratch);

// The largest and the smallest of the min(m, n) singular values of a
// matrix (0 and 0 when it has none).
struct SingularValueRange {
  double largest = 0;
  double smallest = 0;
};
// The record of an "svd" native registered in front of the engine's own
// (the "!lapack" library's), or null when the engine's own is the first.
const NativeFunctionRecord* FrontSvdRecord(EngineContext* ctx);
// The range of the singular values of the matrix at the depth, which stays,
// as that native computes them on a copy; its code when it fails.
ErrCode FrontSingularValueRange(EngineContext* ctx, const NativeFunctionRecord* svd, int32_t depth,
                                SingularValueRange* range);

}  // namespace vke
