// The embedded explicit Runge-Kutta pairs of the ODE solvers, each a table
// of doubles read by position (a method table): N (the intermediate nodes,
// stages less two), K (interpolation coefficients per stage), the error
// exponent p, the default Refine, then the nodes c2..c(N+1), the weights
// b1..b(N+1) of the propagated solution, the error weights e1..e(N+2), the
// coupling coefficients a(i, j) column by column (column j holds
// a(2, j)..a(N+1, j)) and the dense-output coefficients P(s, 1..K) stage by
// stage. The last stage is evaluated at the new point (t + h, ynew), so it
// is the first stage of the next step.
#pragma once

#include <cstdint>

namespace vke {

// A method as the integrator reads it, over a table or over values of the
// language laid out the same way.
struct OdeMethod {
  int32_t nodes = 0;    // N
  int32_t degree = 0;   // K
  double exponent = 0;  // p of the step-size factor (RelTol / err)^p
  double refine = 1;    // output rows per step by default
  const double* c = nullptr;
  const double* b = nullptr;
  const double* e = nullptr;
  const double* a = nullptr;
  const double* p = nullptr;

  int32_t Stages() const { return nodes + 2; }
  // 1-based as in the table: stage i = 2..N+1, j = 1..i-1.
  double A(int32_t i, int32_t j) const { return a[(j - 1) * nodes + (i - 2)]; }
  // Node of stage i = 2..N+1.
  double C(int32_t i) const { return c[i - 2]; }
  // P(s, j), s = 1..N+2, j = 1..K.
  double P(int32_t s, int32_t j) const { return p[(s - 1) * degree + (j - 1)]; }
};

// The largest N and K a method may have.
constexpr int32_t kMaxOdeNodes = 16;
constexpr int32_t kMaxOdeDegree = 16;

// The method of a table; false when its N or K is out of range.
bool ReadOdeMethod(const double* table, OdeMethod* method);

// The Dormand-Prince 5(4) pair of ode45 and the Bogacki-Shampine 3(2) pair
// of ode23.
extern const double kDormandPrinceTable[];
extern const double kBogackiShampineTable[];

}  // namespace vke
