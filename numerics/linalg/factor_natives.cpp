// The natives chol, qr and hess: the Cholesky factor, the QR factorisation
// (full, economy, with column pivoting) and the Hessenberg form, each over
// the dense kernels on the argument's own storage.
#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/kernels/dense_kernels.hpp"
#include "numerics/linalg/linalg_support.hpp"

namespace vke {

namespace {

// Copies the leading rows x cols block of an array with `stride` columns
// into a rows x cols array.
void CopyBlock(const double* from, int64_t stride, double* to, int32_t rows, int32_t cols) {
  for (int32_t i = 0; i < rows; i++)
    std::copy(from + i * stride, from + i * stride + cols, to + int64_t(i) * cols);
}

}  // namespace

ErrCode CholNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  MatrixOperand a;
  if (!GetMatrixArg(ctx, 0, &a)) return kErrWrongTypeOverload;
  if (!a.IsSquare()) return kErrNonSquareSize;
  return FactorCholesky(a.re, a.im, a.rows) ? kOk : kErrBadArg;
}

// qr(A), qr(A, flag): a false flag asks for the economy form.
ErrCode QrNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  bool economy = false;
  if (nargin == 2) {
    uint8_t full;
    if (ErrCode e = GetBooleanArg(ctx, 0, &full)) return e;
    economy = !full;
  }
  MatrixOperand a;
  if (!GetMatrixArg(ctx, nargin - 1, &a)) return kErrWrongType;
  const int32_t outputs = std::max(nargout, 1);
  const int32_t m = a.rows, n = a.cols;
  const bool complex = a.im != nullptr;
  const bool shorten = economy && n < m;

  StackPlan plan;
  if (nargin == 2) plan.DropEntry(ctx, 0);
  if (outputs >= 2) plan.Push(m, m, complex);
  if (outputs == 3) plan.Push(economy ? 1 : n, n, false);
  const int64_t work = (complex ? 2 * int64_t(m) : m) + n;
  const int64_t scratch = work + (outputs == 3 ? n : 0);
  plan.Scratch(scratch);
  if (shorten) {
    plan.Push(n, n, complex);
    if (outputs >= 2) plan.Push(m, n, complex);
  }
  if (ErrCode e = plan.Check(ctx)) return e;
  if (nargin == 2) Drop(ctx);

  double *qRe = nullptr, *qIm = nullptr, *p = nullptr;
  if (outputs >= 2) PushResultMatrix(ctx, m, m, complex, &qRe, &qIm);
  if (outputs == 3) PushResultMatrix(ctx, economy ? 1 : n, n, false, &p, nullptr);
  double* w = TakeScratch(ctx, scratch);
  auto* perm = outputs == 3 ? reinterpret_cast<uint32_t*>(w + work) : nullptr;
  a = ReadMatrixOperand(ctx, outputs - 1);
  if (complex) {
    FactorQRHouseholderComplex(a.re, a.im, m, n, qRe, qIm, perm, w);
  } else {
    FactorQRHouseholder(a.re, m, n, qRe, perm, w);
  }
  if (outputs == 3) {
    for (int32_t i = 0; i < n; i++) {
      if (economy) {
        p[i] = perm[i] + 1.0;
      } else {
        p[int64_t(perm[i]) * n + i] = 1;
      }
    }
    RollStackEntries(ctx, 3, 2);  // Q on top, then R, then P
  }
  if (!shorten) return kOk;

  // The economy form of a tall A: R's first n rows and Q's first n columns.
  double *rRe, *rIm;
  PushResultMatrix(ctx, n, n, complex, &rRe, &rIm);
  a = ReadMatrixOperand(ctx, outputs == 1 ? 1 : 2);
  if (n > 0) {
    CopyBlock(a.re, n, rRe, n, n);
    if (complex) CopyBlock(a.im, n, rIm, n, n);
  }
  if (outputs == 1) return DropStackEntries(ctx, 1, 1);
  double *cRe, *cIm;
  PushResultMatrix(ctx, m, n, complex, &cRe, &cIm);
  MatrixOperand q = ReadMatrixOperand(ctx, 2);
  if (n > 0) {
    CopyBlock(q.re, m, cRe, m, n);
    if (complex) CopyBlock(q.im, m, cIm, m, n);
  }
  return DropStackEntries(ctx, 2, 2);
}

ErrCode HessNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  MatrixOperand a;
  if (!GetMatrixArg(ctx, 0, &a)) return kErrWrongTypeOverload;
  if (!a.IsSquare()) return kErrNonSquareSize;
  const int32_t n = a.rows;
  const bool complex = a.im != nullptr, withQ = nargout >= 2;
  const int64_t scratch = complex ? 2 * int64_t(n) : n;
  StackPlan plan;
  if (withQ) plan.Push(n, n, complex);
  plan.Scratch(scratch);
  if (ErrCode e = plan.Check(ctx)) return e;

  double *qRe = nullptr, *qIm = nullptr;
  if (withQ) PushResultMatrix(ctx, n, n, complex, &qRe, &qIm);
  double* w = TakeScratch(ctx, scratch);
  a = ReadMatrixOperand(ctx, withQ ? 1 : 0);
  if (complex) {
    ReduceToHessenbergHouseholderComplex(a.re, a.im, n, qRe, qIm, w);
  } else {
    ReduceToHessenbergHouseholder(a.re, n, qRe, w);
  }
  return kOk;
}

}  // namespace vke
