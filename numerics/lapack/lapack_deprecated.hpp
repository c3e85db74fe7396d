// The deprecated LAPACK routines the natives call (the generalised
// eigenproblem by dgegv_/zgegv_, QR with column pivoting by dgeqpf_/
// zgeqpf_), behind one adapter: a LAPACK without them switches to their
// successors here alone (dggev_ scales eigenvectors differently, dgeqp3_
// takes a work length). Each returns LAPACK's INFO.
#pragma once

#include "numerics/lapack/lapack_binding.hpp"

namespace vke {

// A v = lambda B v for n x n A and B (destroyed): lambda_i = alpha_i /
// beta_i; right eigenvectors into vr (n x n) when asked. Real: alpha is the
// real parts, then n imaginary parts (alphai). Complex arrays interleaved;
// rwork 8n doubles.
LapackInt GeneralizedEigenReal(bool vectors, LapackInt n, double* a, double* b, double* alphar,
                               double* alphai, double* beta, double* vr, double* work,
                               LapackInt lwork);
LapackInt GeneralizedEigenComplex(bool vectors, LapackInt n, double* a, double* b, double* alpha,
                                  double* beta, double* vr, double* work, LapackInt lwork,
                                  double* rwork);

// A P = Q R for the m x n A (ld m): R and the reflectors replace A, pivots
// (n, zero on entry: every column free) receive P, tau the reflectors'
// factors. work: 3n doubles real, n complex with rwork 2n.
LapackInt FactorQrPivotedReal(LapackInt m, LapackInt n, double* a, LapackInt* pivots, double* tau,
                              double* work);
LapackInt FactorQrPivotedComplex(LapackInt m, LapackInt n, double* a, LapackInt* pivots,
                                 double* tau, double* work, double* rwork);

}  // namespace vke
