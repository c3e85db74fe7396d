// The least-squares solve of the "!lapack" natives.
#include "numerics/lapack/least_squares.hpp"

#include <algorithm>

#include "engine/errors/errors.hpp"

namespace vke {

void LeastSquaresProblem::LayOut(Workspace* ws) {
  const int64_t k = std::min(m, n);
  a = complex ? ws->Complexes(int64_t{m} * n) : ws->Reals(int64_t{m} * n);
  b = complex ? ws->Complexes(int64_t{Ld()} * nrhs) : ws->Reals(int64_t{Ld()} * nrhs);
  s = ws->Reals(k);
  rwork = complex ? ws->Reals(5 * k) : nullptr;
}

ErrCode LeastSquaresProblem::Fits(Workspace* ws) const {
  // The least LWORK the routines document.
  const int64_t k = std::min(m, n), larger = Ld();
  if (complex) return ws->Fits(std::max<int64_t>(1, 2 * k + std::max<int64_t>(larger, nrhs)), 16);
  return ws->Fits(std::max<int64_t>(1, 3 * k + std::max({2 * k, larger, int64_t{nrhs}})), 8);
}

ErrCode LeastSquaresProblem::Solve(const Workspace& ws, double rcond) const {
  const LapackInt ldb = Ld(), lwork = ws.WorkLength(complex ? 16 : 8);
  LapackInt rank = 0, info = 0;
  if (complex) {
    zgelss_(&m, &n, &nrhs, a, &m, b, &ldb, s, &rcond, &rank, ws.Work(), &lwork, rwork, &info);
  } else {
    dgelss_(&m, &n, &nrhs, a, &m, b, &ldb, s, &rcond, &rank, ws.Work(), &lwork, &info);
  }
  return MapInfo(info, kErrNoConvergence);
}

}  // namespace vke
