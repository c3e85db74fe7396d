// The native schur: the real (quasi-triangular) or complex (triangular)
// Schur form T of a square matrix, with its Schur vectors U, A = U T U'.
#include "builtins/option_text.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/linalg/linalg_support.hpp"

namespace vke {

namespace {

// The kind letter of an option string: 'r' (also for an empty string) or
// 'c'; 0 for anything else.
char SchurKind(const OptionText& text) {
  if (text.IsEmpty()) return 'r';
  const uint16_t initial = text.Initial();
  return initial == 'r' || initial == 'c' ? static_cast<char>(initial) : 0;
}

}  // namespace

ErrCode SchurNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  char kind = 'r';
  if (nargin == 2) {
    const OptionText text(ctx, 0);
    if (!text.IsText()) return kErrWrongType;
    if (!(kind = SchurKind(text))) return kErrUnknownOpt;
  }
  MatrixOperand a;
  if (!GetMatrixArg(ctx, nargin - 1, &a)) return kErrWrongType;
  if (!a.IsSquare()) return kErrNonSquareSize;
  const int32_t n = a.rows;
  const bool complex = a.im != nullptr, withU = nargout >= 2;
  // A real form turned complex grows T (and U) by an imaginary block.
  const bool mayTurnComplex = !complex && kind == 'c';
  const int64_t scratch = complex ? 2 * int64_t(n) : n;

  StackPlan plan;
  if (nargin == 2) plan.DropEntry(ctx, 0);
  if (withU) plan.Push(n, n, complex);
  if (n > 0) plan.Scratch(scratch);
  if (n > 0 && mayTurnComplex) plan.Grow((withU ? 2 : 1) * int64_t(n) * n);
  if (ErrCode e = plan.Check(ctx)) return e;
  if (nargin == 2) Drop(ctx);

  double *uRe = nullptr, *uIm = nullptr;
  if (withU) PushResultMatrix(ctx, n, n, complex, &uRe, &uIm);
  if (n == 0) return kOk;
  double* w = TakeScratch(ctx, scratch);
  a = ReadMatrixOperand(ctx, withU ? 1 : 0);
  if (complex) return ComputeComplexSchurForm(a.re, a.im, n, uRe, uIm, w) ? kOk : kErrNoConvergence;
  uint8_t pairs = 0;
  if (!ComputeRealSchurForm(a.re, n, uRe, &pairs, w)) return kErrNoConvergence;
  if (!mayTurnComplex || !pairs) return kOk;

  // U (on top) and T (rolled up for it) get imaginary blocks of zeros.
  if (withU) {
    MakeTopComplex(ctx, nullptr);
    RollStackEntries(ctx, 2, 1);
  }
  MakeTopComplex(ctx, nullptr);
  if (withU) RollStackEntries(ctx, 2, 1);
  MatrixOperand t = ReadMatrixOperand(ctx, withU ? 1 : 0);
  MatrixOperand q = withU ? ReadMatrixOperand(ctx, 0) : MatrixOperand{};
  RealToComplexSchur(t.re, t.im, q.re, q.im, n);
  return kOk;
}

}  // namespace vke
