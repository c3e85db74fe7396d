// The kernels behind lyap and dlyap: the Hessenberg-Schur solver of the
// Sylvester equation A X + X B + G = 0 (and of the Lyapunov equation A X +
// X A' + G = 0), and the bilinear transformation that turns the discrete
// Lyapunov equation A X A' - X + G = 0 into a continuous one. Matrices are
// row by row; the kernels allocate nothing and work in the caller's
// workspace.
#pragma once

#include <cstdint>

namespace vke {

// The workspace, in 8-byte words, of a solution of m rows and n columns.
int64_t GetLyapunovWorkspaceSize(int32_t m, int32_t n);

// A (m x m) and B (n x n, or null for the Lyapunov equation, n = m) are
// destroyed; G (m x n) is replaced by X. False when a real Schur form does
// not converge. A singular equation (A and -B sharing an eigenvalue) makes
// infinities and NaN flow into X.
bool SolveSylvesterSchur(double* a, int32_t m, double* b, int32_t n, double* g, double* work);

// A X A' - X + G = 0 for n x n A and G, both destroyed; G is replaced by X.
bool SolveDiscreteLyapunov(double* a, int32_t n, double* g, double* work);

}  // namespace vke
