// The deprecated LAPACK routines behind their adapter.
#include "numerics/lapack/lapack_deprecated.hpp"

namespace vke {

namespace {

const char* Job(bool vectors) {
  return vectors ? "V" : "N";
}

}  // namespace

LapackInt GeneralizedEigenReal(bool vectors, LapackInt n, double* a, double* b, double* alphar,
                               double* alphai, double* beta, double* vr, double* work,
                               LapackInt lwork) {
  LapackInt info = 0;
  // The left vectors are not referenced: they share VR's array.
  dgegv_("N", Job(vectors), &n, a, &n, b, &n, alphar, alphai, beta, vr, &n, vr, &n, work, &lwork,
         &info, 1, 1);
  return info;
}

LapackInt GeneralizedEigenComplex(bool vectors, LapackInt n, double* a, double* b, double* alpha,
                                  double* beta, double* vr, double* work, LapackInt lwork,
                                  double* rwork) {
  LapackInt info = 0;
  zgegv_("N", Job(vectors), &n, a, &n, b, &n, alpha, beta, vr, &n, vr, &n, work, &lwork, rwork,
         &info, 1, 1);
  return info;
}

LapackInt FactorQrPivotedReal(LapackInt m, LapackInt n, double* a, LapackInt* pivots, double* tau,
                              double* work) {
  LapackInt info = 0;
  dgeqpf_(&m, &n, a, &m, pivots, tau, work, &info);
  return info;
}

LapackInt FactorQrPivotedComplex(LapackInt m, LapackInt n, double* a, LapackInt* pivots,
                                 double* tau, double* work, double* rwork) {
  LapackInt info = 0;
  zgeqpf_(&m, &n, a, &m, pivots, tau, work, rwork, &info);
  return info;
}

}  // namespace vke
