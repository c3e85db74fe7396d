// What every "!lapack" native shares: its argument letters, reading its
// matrices, results reserved before the scratch memory is taken, the scratch
// layout in the free top of the data stack, LAPACK's INFO as an engine code,
// and the calls that hand a case over to another function.
//
// The course of a native: check the letters, read the matrices, apply the
// rule for an empty argument, reserve the results that are pushed, lay the
// LAPACK arrays out and check that they fit (3 before anything is copied,
// the stack left as it was), copy, call LAPACK, write the results back and
// remove the arguments from under them.
#pragma once

#include <cstdint>

#include "builtins/matrix_ops.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value.hpp"
#include "numerics/lapack/lapack_binding.hpp"

namespace vke {

// The machine epsilon of the default tolerances (2^-52).
inline constexpr double kLapackEps = 2.220446049250313e-16;

// ---- Arguments ----
// Whether the nargin arguments match the letters, the first argument the
// first letter: C a double matrix (an empty one keeps its own size), c a 1 x 1
// double, A any double array (N-D too), r a real double scalar, i a real
// double scalar with an integer value; from "[" on the rest are optional.
bool ArgumentsMatch(EngineContext* ctx, int32_t nargin, const char* letters);
// The same as an engine code: 44 when they do not match. Arguments that
// match commit the native to LAPACK: the libraries are opened then, if not
// yet open, and their load's error returned (lapack_loader.hpp).
ErrCode CheckLapackArguments(EngineContext* ctx, int32_t nargin, const char* letters);
// The one argument on top, a square double matrix: 44 or 21 (badSize) when
// it is not one.
ErrCode ReadSquareArgument(EngineContext* ctx, int32_t nargin, MatrixOperand* a);
// Whether the value at the depth is a real double scalar, or a single one.
bool IsRealDoubleScalarAt(EngineContext* ctx, int32_t depth);
bool IsSingleScalarAt(EngineContext* ctx, int32_t depth);
// Whether a part of an element of the matrix is infinite or NaN: such
// arguments are answered before LAPACK sees them, which would refuse some
// of them with a message of its own.
bool HasNonFinite(const MatrixOperand& a);
// Whether the optional second argument (on top) asks for the economy
// shapes: it is given and zero.
bool EconomyRequested(EngineContext* ctx, int32_t nargin);

// ---- Results ----
// Pushes a rows x cols double matrix (complex when asked, elements not set;
// an empty one keeps its size) and describes it.
ErrCode PushResultMatrix(EngineContext* ctx, int32_t rows, int32_t cols, bool complex,
                         MatrixOperand* result = nullptr);

// Results pushed before the scratch memory is taken, so that they lie below
// it. Abandon drops them again and returns the code it is given.
class Reservations {
 public:
  explicit Reservations(EngineContext* ctx) : ctx_(ctx) {}
  ErrCode Push(int32_t rows, int32_t cols, bool complex);
  // Pushes only when the result is wanted.
  ErrCode PushIf(bool wanted, int32_t rows, int32_t cols, bool complex) {
    return wanted ? Push(rows, cols, complex) : kOk;
  }
  ErrCode Abandon(ErrCode e);
  int32_t count() const { return count_; }

 private:
  EngineContext* ctx_;
  int32_t count_ = 0;
};

// Leaves the top `results` entries and removes the nargin entries below them.
ErrCode RemoveArguments(EngineContext* ctx, int32_t results, int32_t nargin);

// ---- Scratch memory ----
// The arrays of one LAPACK call laid out one after the other from the first
// free word of the data stack (from a 64-byte boundary), and the work array:
// all the space that remains between them and the arrays taken from the end.
// The pointers may be used once Fits has answered 0.
class Workspace {
 public:
  explicit Workspace(EngineContext* ctx);
  double* Reals(int64_t count);
  double* Complexes(int64_t count);  // 16-byte elements
  LapackInt* Integers(int64_t count);
  double* RealsAtEnd(int64_t count);
  // 0 when the arrays and a work array of `elements` elements of
  // `elementBytes` fit into the free space, else 3 (dataOverflow).
  ErrCode Fits(int64_t elements, int32_t elementBytes);
  double* Work() const { return At(WorkStart()); }
  // The work array's length in elements, at most the largest INTEGER.
  LapackInt WorkLength(int32_t elementBytes) const;

 private:
  double* At(int64_t offset) const;
  int64_t Take(int64_t bytes, int64_t alignment);
  int64_t WorkStart() const { return (used_ + 15) & ~int64_t{15}; }

  uintptr_t base_ = 0;
  int64_t free_ = 0;
  int64_t used_ = 0;
  int64_t tail_ = 0;
};

// ---- LAPACK ----
// INFO as an engine code: 0, 12 (illegal) for a bad argument, `failed` when
// the routine reports a failure.
ErrCode MapInfo(LapackInt info, ErrCode failed);

// A matrix into a LAPACK array: transposing copies (element (i, j) stays),
// complex ones interleaved, with zeros for a real matrix.
void CopyMatrixIn(const MatrixOperand& a, bool complex, double* dst);
// A LAPACK array with the matrix's shape back into its storage (real parts
// only when the matrix is real).
void CopyMatrixOut(const double* src, bool complex, const MatrixOperand& a);
// The same from columns ld apart: their first x.rows entries.
void CopyColumnsOut(const double* src, LapackInt ld, bool complex, const MatrixOperand& x);

// ---- Hand-overs ----
// Runs the language function of that name on the nargin arguments as they
// stand, for one result.
ErrCode HandOver(EngineContext* ctx, const char* name, int32_t nargin);

}  // namespace vke
