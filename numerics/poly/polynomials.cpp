// Coefficient vectors, result rows and products of polynomials.
#include "numerics/poly/polynomials.hpp"

namespace vke {

bool CoefficientCount(const MatrixOperand& p, int32_t* n) {
  if (p.IsEmpty()) {
    *n = 0;
    return true;
  }
  if (p.rows != 1 && p.cols != 1) return false;
  *n = p.rows * p.cols;
  return true;
}

ErrCode PushZeroRow(EngineContext* ctx, int32_t length, bool complex, double** re, double** im) {
  if (length <= 0) {
    if (re) *re = nullptr;
    if (im) *im = nullptr;
    return PushResultMatrix(ctx, 0, 0, false, nullptr, nullptr);
  }
  return PushResultMatrix(ctx, 1, length, complex, re, im);
}

void PlanRow(StackPlan* plan, int32_t length, bool complex) {
  if (length <= 0) {
    plan->Push(0, 0, false);
  } else {
    plan->Push(1, length, complex);
  }
}

void ConvolvePolynomials(const double* aRe, const double* aIm, int32_t da, const double* bRe,
                         const double* bIm, int32_t db, double* outRe, double* outIm) {
  for (int32_t i = 0; i <= da; i++) {
    for (int32_t j = 0; j <= db; j++) {
      outRe[i + j] += aRe[i] * bRe[j];
      if (aIm && bIm) outRe[i + j] -= aIm[i] * bIm[j];
      if (aIm) outIm[i + j] += aIm[i] * bRe[j];
      if (bIm) outIm[i + j] += aRe[i] * bIm[j];
    }
  }
}

}  // namespace vke
