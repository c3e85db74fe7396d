// Minimum-norm least squares through the singular value decomposition
// (dgelss_/zgelss_), shared by pinv and the divisions by a matrix that is not
// square.
#pragma once

#include <cstdint>

#include "numerics/lapack/lapack_support.hpp"

namespace vke {

struct LeastSquaresProblem {
  bool complex = false;
  LapackInt m = 0;     // rows of A
  LapackInt n = 0;     // columns of A
  LapackInt nrhs = 0;  // columns of B
  // Laid out by LayOut: A (m x n, ld m), B (max(m, n) x nrhs), the singular
  // values and, complex, the real work.
  double* a = nullptr;
  double* b = nullptr;
  double* s = nullptr;
  double* rwork = nullptr;

  LapackInt Ld() const { return m > n ? m : n; }
  // Lays the arrays out in ws, in that order.
  void LayOut(Workspace* ws);
  // 0 when the arrays and the routine's least work fit, else 3.
  ErrCode Fits(Workspace* ws) const;
  // Solves in place, the solution in the first n rows of B, with the
  // singular values at or below rcond times the largest taken as zero
  // (rcond < 0: the machine precision); 9 when the decomposition does not
  // converge.
  ErrCode Solve(const Workspace& ws, double rcond) const;
};

}  // namespace vke
