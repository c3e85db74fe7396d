// What the matrix operators (*, /, \, ^, inv, det) share: reading their plain
// double operands, the rules for typed operands, scalar results, the
// permutation scratch of the solvers, the pseudo-inverse served by a
// registered "pinv" native, and the divisions served by registered natives.
#pragma once

#include "engine/values/value.hpp"

namespace vke {

// A double matrix on the value stack: a plain one, or a 2-D double array
// with a typed header (an empty one that keeps its dimensions, 2 x 0 ...).
struct MatrixOperand {
  int32_t rows = 0;
  int32_t cols = 0;
  double* re = nullptr;
  double* im = nullptr;  // null when real

  bool IsScalar() const { return rows == 1 && cols == 1; }
  bool IsSquare() const { return rows == cols; }
  bool IsEmpty() const { return rows == 0 || cols == 0; }
};

// True when the n entries from the depth up are all double matrices.
bool AreDoubleMatrices(EngineContext* ctx, int32_t n, int32_t depth = 0);

// The double matrix at the depth (the caller has checked it is one).
MatrixOperand ReadMatrixOperand(EngineContext* ctx, int32_t depth);

// Which operand of a pair with a typed (integer, single, N-D, char, logical)
// member must be a scalar for the elementwise operation to serve it.
enum class ScalarRule : uint8_t {
  kEither,  // one of the two (products and powers)
  kTop,     // the divisor on top (B / A)
  kBelow,   // the divisor below (A \ B)
};

// Serves a pair of operands of which at least one is not a double matrix:
// kErrWrongTypeOverload when either is not numeric, kErrBadSize when the rule's operand is not a
// scalar (kErrWrongTypeOverload when an operand has more than two
// dimensions then), else the elementwise operation of the option character.
ErrCode TypedOperandsElementwise(EngineContext* ctx, ScalarRule rule, int32_t option);

// Gives the plain double below the top a zero imaginary block (3 when the
// data stack has no room for it).
ErrCode MakeBelowTopComplex(EngineContext* ctx);

// Pushes the n x n identity (with a zero imaginary block when complex).
ErrCode PushIdentity(EngineContext* ctx, int32_t n, bool complex);

// n words of the descriptor stack's free space above its top, for a solver's
// permutation vector; kErrStackOverflow when fewer are free.
ErrCode ReservePermutation(EngineContext* ctx, int32_t n, int32_t** perm);

// The matrix divisions hand a pair of double matrices whose divisor is
// neither a scalar nor empty to the first ordinary native (kind 0)
// registered under their own name, when there is one. The compiler keeps
// these operators as builtin calls even then, so that scalar operands stay
// on the execution loop's fast path.
inline constexpr char kMldivideName[] = "mldivide";
inline constexpr char kMrdivideName[] = "mrdivide";
inline constexpr const char* kNativeServedOperators[] = {kMldivideName, kMrdivideName};
bool IsNativeServedOperator(const char* builtinName);

// Calls the first ordinary native registered under the name on the top two
// entries, for one result; false (nothing done) when there is none.
bool CallOperatorNative(EngineContext* ctx, const char* name, ErrCode* e);

// Replaces the matrix on top by its pseudo-inverse through the first native
// registered as "pinv"; kErrNonSquareSize when there is none, and the
// native's own code when it fails.
ErrCode ReplaceTopByPseudoInverse(EngineContext* ctx);

}  // namespace vke
