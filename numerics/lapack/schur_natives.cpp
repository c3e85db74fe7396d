// The "!lapack" natives of Schur forms: schur (dgees_/zgees_), [U, T] with
// A = U T U^H, and qz (dgges_/zgges_), the generalised Schur form [AA, BB,
// Q, Z] with A = Q AA Z and B = Q BB Z. Neither sorts its eigenvalues.
#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "numerics/lapack/lapack_support.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "numerics/lapack/layout_conversions.hpp"
#include "numerics/native_results.hpp"

namespace vke {

namespace {

const char* Job(bool vectors) {
  return vectors ? "V" : "N";
}

// Gives the real argument at the depth a zero imaginary block; *made tells
// whether it did, so that Unmake can take it off again.
ErrCode MakeArgumentComplex(EngineContext* ctx, int32_t depth, bool* made) {
  *made = false;
  if (ReadMatrixOperand(ctx, depth).im) return kOk;
  ErrCode e = RollStackEntries(ctx, depth + 1, 1);
  if (!e) e = MakeTopComplex(ctx, nullptr);
  *made = !e;
  ErrCode back = RollStackEntries(ctx, depth + 1, depth);
  return e ? e : back;
}

void UnmakeArgumentComplex(EngineContext* ctx, int32_t depth, bool made) {
  if (!made) return;
  RollStackEntries(ctx, depth + 1, 1);
  MakeTopReal(ctx);
  RollStackEntries(ctx, depth + 1, depth);
}

}  // namespace

// schur(A): T; [U, T] = schur(A). T is quasi-triangular for a real A (a
// 2 x 2 block for each complex pair), triangular for a complex one.
ErrCode LapackSchur(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  MatrixOperand a;
  if (ErrCode e = ReadSquareArgument(ctx, nargin, &a)) return e;
  const bool vectors = nargout >= 2, complex = a.im != nullptr;
  const LapackInt n = a.rows;
  if (n == 0) return vectors ? PushEmptyMatrix(ctx) : kOk;
  Reservations reserved(ctx);
  if (ErrCode e = reserved.PushIf(vectors, n, n, complex)) return reserved.Abandon(e);
  const int64_t nn = int64_t{n} * n;
  Workspace ws(ctx);
  double* t = complex ? ws.Complexes(nn) : ws.Reals(nn);
  // Real: WR and WI; complex: W.
  double* w = complex ? ws.Complexes(n) : ws.Reals(2 * int64_t{n});
  double* vs = vectors ? (complex ? ws.Complexes(nn) : ws.Reals(nn)) : w;
  double* rwork = complex ? ws.RealsAtEnd(n) : nullptr;
  if (ErrCode e = complex ? ws.Fits(std::max<int64_t>(2 * n, 1), 16)
                          : ws.Fits(std::max<int64_t>(3 * n, 1), 8))
    return reserved.Abandon(e);
  const MatrixOperand arg = ReadMatrixOperand(ctx, reserved.count());
  CopyMatrixIn(arg, complex, t);
  const LapackInt lwork = ws.WorkLength(complex ? 16 : 8);
  LapackInt sdim = 0, info = 0;
  // Without sorting the logical work array is not referenced.
  LapackInt* bwork = reinterpret_cast<LapackInt*>(ws.Work());
  if (complex) {
    zgees_(Job(vectors), "N", nullptr, &n, t, &n, &sdim, w, vs, &n, ws.Work(), &lwork, rwork, bwork,
           &info, 1, 1);
  } else {
    dgees_(Job(vectors), "N", nullptr, &n, t, &n, &sdim, w, w + n, vs, &n, ws.Work(), &lwork, bwork,
           &info, 1, 1);
  }
  if (ErrCode e = MapInfo(info, kErrNoConvergence)) return reserved.Abandon(e);
  CopyMatrixOut(t, complex, arg);
  if (vectors) CopyMatrixOut(vs, complex, ReadMatrixOperand(ctx, 0));
  return kOk;
}

// qz(A, B): AA; [AA, BB, Q, Z] = qz(A, B). AA and BB take the arguments'
// storage, complex when either argument is.
ErrCode LapackQz(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (ErrCode e = CheckLapackArguments(ctx, nargin, "CC")) return e;
  MatrixOperand a = ReadMatrixOperand(ctx, 1), b = ReadMatrixOperand(ctx, 0);
  if (!a.IsSquare() || !b.IsSquare()) return kErrBadSize;
  if (a.rows != b.rows) return kErrIncompSize;
  const int32_t outputs = std::max(nargout, 1);
  const LapackInt n = a.rows;
  if (n == 0) {
    const uint32_t level = ctx->descTop;
    ErrCode e = kOk;
    for (int32_t o = 0; !e && o < outputs; o++) e = PushEmptyMatrix(ctx);
    return e ? DropAboveLevel(ctx, level, e) : RemoveArguments(ctx, outputs, 2);
  }
  const bool complex = a.im || b.im;
  bool madeB = false, madeA = false;
  auto undo = [&](ErrCode e) {
    UnmakeArgumentComplex(ctx, 0, madeB);
    UnmakeArgumentComplex(ctx, 1, madeA);
    return e;
  };
  if (complex) {
    if (ErrCode e = MakeArgumentComplex(ctx, 0, &madeB)) return undo(e);
    if (ErrCode e = MakeArgumentComplex(ctx, 1, &madeA)) return undo(e);
  }
  Reservations reserved(ctx);
  auto fail = [&](ErrCode e) { return undo(reserved.Abandon(e)); };
  ErrCode e = kOk;
  if (outputs >= 3) e = reserved.Push(n, n, complex);        // Q
  if (!e && outputs == 4) e = reserved.Push(n, n, complex);  // Z
  if (e) return fail(e);
  const int64_t nn = int64_t{n} * n;
  Workspace ws(ctx);
  double* la = complex ? ws.Complexes(nn) : ws.Reals(nn);
  double* lb = complex ? ws.Complexes(nn) : ws.Reals(nn);
  // Real: ALPHAR, ALPHAI, BETA; complex: ALPHA, BETA.
  double* alpha = complex ? ws.Complexes(n) : ws.Reals(2 * int64_t{n});
  double* beta = complex ? ws.Complexes(n) : ws.Reals(n);
  double* vsl = outputs >= 3 ? (complex ? ws.Complexes(nn) : ws.Reals(nn)) : beta;
  double* vsr = outputs == 4 ? (complex ? ws.Complexes(nn) : ws.Reals(nn)) : beta;
  double* rwork = complex ? ws.Reals(8 * int64_t{n}) : nullptr;
  if ((e = complex ? ws.Fits(std::max<int64_t>(2 * n, 1), 16)
                   : ws.Fits(std::max<int64_t>(8 * n, 6 * n + 16), 8)))
    return fail(e);
  a = ReadMatrixOperand(ctx, reserved.count() + 1);
  b = ReadMatrixOperand(ctx, reserved.count());
  CopyMatrixIn(a, complex, la);
  CopyMatrixIn(b, complex, lb);
  const LapackInt lwork = ws.WorkLength(complex ? 16 : 8);
  LapackInt sdim = 0, info = 0;
  if (complex) {
    zgges_(Job(outputs >= 3), Job(outputs == 4), "N", nullptr, &n, la, &n, lb, &n, &sdim, alpha,
           beta, vsl, &n, vsr, &n, ws.Work(), &lwork, rwork, nullptr, &info, 1, 1, 1);
  } else {
    dgges_(Job(outputs >= 3), Job(outputs == 4), "N", nullptr, &n, la, &n, lb, &n, &sdim, alpha,
           alpha + n, beta, vsl, &n, vsr, &n, ws.Work(), &lwork, nullptr, &info, 1, 1, 1);
  }
  if (info != 0) return fail(info < 0 ? kErrIllegal : kErrBadArg);
  CopyMatrixOut(la, complex, a);
  CopyMatrixOut(lb, complex, b);
  if (outputs >= 3) CopyMatrixOut(vsl, complex, ReadMatrixOperand(ctx, outputs - 3));
  if (outputs == 4) {
    // Z = VSR^H: LAPACK gives A = VSL AA VSR^H.
    const MatrixOperand z = ReadMatrixOperand(ctx, 0);
    if (complex) {
      CopyConjugateStraightBack(vsr, z.re, z.im, n, n);
    } else {
      CopyRealStraightBack(vsr, z.re, n, n);
    }
  }
  if (outputs == 1) return Drop(ctx);
  // AA, BB, Q, Z from the bottom: reversed, AA is output 1.
  return ReverseStackEntries(ctx, outputs);
}

}  // namespace vke
