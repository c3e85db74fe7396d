// The coefficient tables of ode45 and ode23.
#include "numerics/ode/ode_methods.hpp"

namespace vke {

extern constexpr double kDormandPrinceTable[] = {
    5,
    4,
    0.2,
    4,  // N, K, error exponent 1/5, Refine
    // nodes c2..c6
    1.0 / 5,
    3.0 / 10,
    4.0 / 5,
    8.0 / 9,
    1,
    // weights b1..b6 of the fifth-order solution
    35.0 / 384,
    0,
    500.0 / 1113,
    125.0 / 192,
    -2187.0 / 6784,
    11.0 / 84,
    // error weights e1..e7: fifth- less fourth-order weights
    71.0 / 57600,
    0,
    -71.0 / 16695,
    71.0 / 1920,
    -17253.0 / 339200,
    22.0 / 525,
    -1.0 / 40,
    // a(2..6, 1)
    1.0 / 5,
    3.0 / 40,
    44.0 / 45,
    19372.0 / 6561,
    9017.0 / 3168,
    // a(2..6, 2)
    0,
    9.0 / 40,
    -56.0 / 15,
    -25360.0 / 2187,
    -355.0 / 33,
    // a(2..6, 3)
    0,
    0,
    32.0 / 9,
    64448.0 / 6561,
    46732.0 / 5247,
    // a(2..6, 4)
    0,
    0,
    0,
    -212.0 / 729,
    49.0 / 176,
    // a(2..6, 5)
    0,
    0,
    0,
    0,
    -5103.0 / 18656,
    // P(s, 1..4) of the continuous extension, stages 1..7
    1,
    -183.0 / 64,
    37.0 / 12,
    -145.0 / 128,  //
    0,
    0,
    0,
    0,  //
    0,
    1500.0 / 371,
    -1000.0 / 159,
    1000.0 / 371,  //
    0,
    -125.0 / 32,
    125.0 / 12,
    -375.0 / 64,  //
    0,
    9477.0 / 3392,
    -729.0 / 106,
    25515.0 / 6784,  //
    0,
    -11.0 / 7,
    11.0 / 3,
    -55.0 / 28,  //
    0,
    3.0 / 2,
    -4,
    5.0 / 2,
};

extern constexpr double kBogackiShampineTable[] = {
    2,
    3,
    1.0 / 3,
    1,  // N, K, error exponent 1/3, Refine
    // nodes c2, c3
    1.0 / 2,
    3.0 / 4,
    // weights b1..b3 of the third-order solution
    2.0 / 9,
    1.0 / 3,
    4.0 / 9,
    // error weights e1..e4
    -5.0 / 72,
    1.0 / 12,
    1.0 / 9,
    -1.0 / 8,
    // a(2..3, 1), a(2..3, 2)
    1.0 / 2,
    0,  //
    0,
    3.0 / 4,
    // P(s, 1..3), stages 1..4
    1,
    -4.0 / 3,
    5.0 / 9,  //
    0,
    1,
    -2.0 / 3,  //
    0,
    4.0 / 3,
    -8.0 / 9,  //
    0,
    -1,
    1,
};

bool ReadOdeMethod(const double* t, OdeMethod* m) {
  if (!(t[0] >= 1 && t[0] <= kMaxOdeNodes && t[1] >= 1 && t[1] <= kMaxOdeDegree)) return false;
  m->nodes = static_cast<int32_t>(t[0]);
  m->degree = static_cast<int32_t>(t[1]);
  m->exponent = t[2];
  m->refine = t[3];
  const int32_t n = m->nodes;
  m->c = t + 4;
  m->b = m->c + n;
  m->e = m->b + n + 1;
  m->a = m->e + n + 2;
  m->p = m->a + n * n;
  return true;
}

}  // namespace vke
