// The parts of the Riccati solver behind care and dare: the Hamiltonian or
// symplectic matrix built from the arguments, and the stabilising solution
// taken from its reordered Schur form.
#pragma once

#include <cstdint>

namespace vke {

// The arguments, read in place (row by row); absent ones are null.
struct RiccatiArgs {
  int32_t n = 0;              // states
  int32_t m = 0;              // inputs
  const double* a = nullptr;  // n x n
  const double* b = nullptr;  // n x m; null when G is given
  const double* g = nullptr;  // n x n, care(A, G, Q, true)
  const double* q = nullptr;  // n x n
  const double* r = nullptr;  // m x m
  const double* s = nullptr;  // n x m, care only
};

// The matrices the native pushed for the solve (complex ones as a real block
// followed by an imaginary block) and its workspace.
struct RiccatiWork {
  double* x = nullptr;      // n x n complex; first the 2n selection keys
  double* h = nullptr;      // 2n x 2n complex: H, then its Schur form T
  double* t1 = nullptr;     // n x m
  double* w = nullptr;      // m x m
  double* u = nullptr;      // 2n x 2n complex: Schur vectors, scratch before
  int32_t* perm = nullptr;  // max(n, m) pivot entries of the dense solves
  double* schur = nullptr;  // 2n doubles for the Schur kernel (may overlap perm)
};

// The real block of H = [F, -G; -Q + S R^-1 S', -F'] with F = A - B R^-1 S'
// and G = B R^-1 B' (or the given G), for care.
void BuildHamiltonian(const RiccatiArgs& p, const RiccatiWork& w);
// The real block of H = [A + G A^-T Q, -G A^-T; -A^-T Q, A^-T] with G = B
// R^-1 B', for dare.
void BuildSymplectic(const RiccatiArgs& p, const RiccatiWork& w);

enum class RiccatiOutcome : uint8_t {
  kSolved,
  kNoSchurForm,  // the Schur iteration did not converge
  kTooFewStable  // fewer than n eigenvalues with a key <= 0
};

// From H: its Schur form T with vectors U (turned complex when 2 x 2 blocks
// remain, then *complexForm is set), reordered so that the eigenvalues with
// a key <= 0 come first (care: Re l; dare: l^2 - 1, or |l|^2 - 1 for the
// complex form), and X = U21 U11^-1 in w.x (its imaginary block set only
// for the complex form).
RiccatiOutcome SolveFromSchurForm(int32_t n, bool discrete, const RiccatiWork& w,
                                  bool* complexForm);

}  // namespace vke
