// Matrix division, inverse and determinant: the builtins mrdivide (B / A),
// mldivide (A \ B), inv and det. A registered native of the division's name
// takes double matrices with a divisor that is neither a scalar nor empty;
// otherwise square divisors go to the Gauss-Jordan solvers, other divisors to
// the pseudo-inverse of a registered "pinv".
#include "builtins/builtin.hpp"
#include "builtins/complex_num.hpp"
#include "builtins/matrix_kernels.hpp"
#include "builtins/matrix_ops.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// The double matrix on top for inv and det: 44 for any other value, the
// given code when it is not square.
ErrCode ReadSquareTop(EngineContext* ctx, ErrCode notSquare, MatrixOperand* a) {
  if (!AreDoubleMatrices(ctx, 1)) return kErrWrongTypeOverload;
  *a = ReadMatrixOperand(ctx, 0);
  return a->IsSquare() ? kOk : notSquare;
}

// B / A (right) or A \ B by the pseudo-inverse of the divisor A, which is not
// square. The pseudo-inverse is formed from a copy of A, so that until the
// product stands both operands are kept as they were: a call that runs
// short of room on the way leaves them so, and runs again as it stands once
// the area has grown.
ErrCode DivideByPseudoInverse(EngineContext* ctx, bool right) {
  // A below B, then the pseudo-inverse of its copy on top: [A B pinv(A)].
  if (right) RollStackEntries(ctx, 2, 1);
  ErrCode e = DuplicateStackEntries(ctx, 1, 1);
  if (!e && (e = ReplaceTopByPseudoInverse(ctx))) Drop(ctx);
  if (!e) {
    // The product's operands in order above A: [A pinv(A) B] for A \ B.
    if (!right) RollStackEntries(ctx, 2, 1);
    e = MtimesBuiltin(ctx, 2, 1, 0);
    if (!e) return DropStackEntries(ctx, 1, 1);
    // Back to [A B].
    if (right) {
      Drop(ctx);
    } else {
      DropStackEntries(ctx, 1, 1);
    }
  }
  if (right) RollStackEntries(ctx, 2, 1);
  return e;
}

}  // namespace

// B / A with B below and A on top.
ErrCode MrdivideBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  if (!AreDoubleMatrices(ctx, 2)) return TypedOperandsElementwise(ctx, ScalarRule::kTop, '/');
  MatrixOperand b = ReadMatrixOperand(ctx, 1), a = ReadMatrixOperand(ctx, 0);
  if (a.IsScalar()) return ElementwiseArith(ctx, 2, 1, '/');
  ErrCode served;
  if (!a.IsEmpty() && !b.IsEmpty() && CallOperatorNative(ctx, kMrdivideName, &served))
    return served;
  if (!a.IsSquare()) return DivideByPseudoInverse(ctx, true);
  int32_t n = a.rows, m = b.rows;
  if (m == 0) return Drop(ctx);
  if (b.cols != n) return kErrIncompSize;
  int32_t* perm;
  ErrCode e = ReservePermutation(ctx, n, &perm);
  if (e) return e;
  if (a.im) {
    if (!b.im && (e = MakeBelowTopComplex(ctx))) return e;
    b = ReadMatrixOperand(ctx, 1);
    a = ReadMatrixOperand(ctx, 0);
    SolveRightComplex(a.re, b.re, n, m, perm);
  } else {
    // The rows of an imaginary block are further right-hand sides.
    SolveRightReal(a.re, b.re, n, b.im ? 2 * m : m, perm);
  }
  return Drop(ctx);
}

// A \ B with A below and B on top.
ErrCode MldivideBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  if (!AreDoubleMatrices(ctx, 2)) return TypedOperandsElementwise(ctx, ScalarRule::kBelow, '\\');
  MatrixOperand a = ReadMatrixOperand(ctx, 1), b = ReadMatrixOperand(ctx, 0);
  if (a.IsScalar()) return ElementwiseArith(ctx, 2, 1, '\\');
  ErrCode served;
  if (!a.IsEmpty() && !b.IsEmpty() && CallOperatorNative(ctx, kMldivideName, &served))
    return served;
  if (!a.IsSquare()) return DivideByPseudoInverse(ctx, false);
  int32_t n = a.rows, m = b.cols;
  if (m == 0) return DropStackEntries(ctx, 1, 1);
  if (b.rows != n) return kErrIncompSize;
  int32_t* perm;
  ErrCode e = ReservePermutation(ctx, n, &perm);
  if (e) return e;
  if (a.im) {
    if ((e = MakeTopComplex(ctx, nullptr))) return e;
    a = ReadMatrixOperand(ctx, 1);
    b = ReadMatrixOperand(ctx, 0);
    SolveLinearSystemComplex(a.re, b.re, n, m, perm);
  } else {
    SolveLinearSystemReal(a.re, b.re, n, m, perm, b.im != nullptr);
  }
  return DropStackEntries(ctx, 1, 1);
}

ErrCode InvBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  MatrixOperand a;
  ErrCode e = ReadSquareTop(ctx, kErrNonSquareSize, &a);
  if (e) return e;
  int32_t n = a.rows;
  if (n == 0) return kOk;
  if (n == 1) {
    if (a.im) {
      DivideComplex(1, 0, a.re[0], a.im[0], a.re, a.im);
    } else {
      a.re[0] = 1 / a.re[0];
    }
    return kOk;
  }
  if ((e = PushIdentity(ctx, n, a.im != nullptr))) return e;
  int32_t* perm;
  if ((e = ReservePermutation(ctx, n, &perm))) {
    Drop(ctx);
    return e;
  }
  a = ReadMatrixOperand(ctx, 1);
  MatrixOperand x = ReadMatrixOperand(ctx, 0);
  if (a.im) {
    SolveLinearSystemComplex(a.re, x.re, n, n, perm);
  } else {
    SolveLinearSystemReal(a.re, x.re, n, n, perm, false);
  }
  return DropStackEntries(ctx, 1, 1);
}

ErrCode DetBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  MatrixOperand a;
  ErrCode e = ReadSquareTop(ctx, kErrIncompSize, &a);
  int32_t n = a.rows;
  if (e || n == 1) return e;
  double re = 1, im = 0;
  if (n > 0) {
    int32_t* perm;
    if ((e = ReservePermutation(ctx, n, &perm))) return e;
    if (a.im) {
      DeterminantComplex(a.re, a.im, &re, &im, n, perm);
    } else {
      DeterminantReal(a.re, &re, n, perm);
    }
  }
  // The factors took the matrix's place: the determinant takes its room.
  return ReplaceInputsWithScalar(ctx, 1, re, im);
}

}  // namespace vke
