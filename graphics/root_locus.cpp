// The root-locus tracer: the locus polynomial, the assignment of new roots
// to branches, the adaptive walk over the gain parameter (its step halved
// where a move is too long, and down to a sliver of q where branches meet
// on the real axis) and the storage rules that keep a branch short where it
// runs along the axis or outside the window.
#include "graphics/root_locus.hpp"

#include <algorithm>
#include <cmath>

#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

constexpr double kStep = 0.02;       // of q at the top level
constexpr double kLastStep = 0.995;  // past it q becomes 1
constexpr int32_t kLevels = 64;      // of the refinement stack
constexpr int32_t kDeepest = 9;      // for a move longer than the tolerance
// A step in which a branch reaches or leaves the real axis is halved down to
// this width of q, so that the points on either side of a meeting point of
// branches lie on it to well within a pixel.
constexpr double kFinestStep = 1e-14;
constexpr double kNoCost = 1e9;
constexpr double kWorse = 100;  // a refinement this much costlier is dropped
constexpr int32_t kSearchSteps = 10000;
constexpr double kSmallMove = 0.0002;  // of the window: the last point moves
constexpr double kCornerMoves = 100;   // tolerances: a move onto or off the axis
constexpr int64_t kMostIterations = 1000000;

bool OppositeSigns(double a, double b) {
  return (a > 0 && b < 0) || (a < 0 && b > 0);
}

double Distance(double x0, double y0, double x1, double y1) {
  return std::fabs(x0 - x1) + std::fabs(y0 - y1);
}

struct Matcher {
  const double *bx, *by, *rx, *ry;
  int32_t n, k;
  int32_t* current;      // k
  int32_t* best;         // k
  int32_t* branchTaken;  // n
  double bestCost;
  int32_t steps = 0;

  // The branch whose last point mirrors branch b's, or -1.
  int32_t Partner(int32_t b) const {
    if (by[b] == 0) return -1;
    for (int32_t j = 0; j < n; j++) {
      if (j != b && bx[j] == bx[b] && by[j] == -by[b]) return j;
    }
    return -1;
  }
  // A conjugate pair of roots split across branches that are not partners.
  bool SplitsAPair() const {
    for (int32_t r = 0; r < k; r++) {
      if (ry[r] == 0) continue;
      const int32_t partner = Partner(current[r]);
      if (partner < 0) continue;
      for (int32_t s = 0; s < k; s++) {
        if (s != r && rx[s] == rx[r] && ry[s] == -ry[r] && current[s] != partner) return true;
      }
    }
    return false;
  }
  void Search(int32_t r, double cost) {
    if (++steps > kSearchSteps) return;
    if (r == k) {
      if (cost < bestCost && !SplitsAPair()) {
        bestCost = cost;
        std::copy(current, current + k, best);
      }
      return;
    }
    for (int32_t b = 0; b < n && steps <= kSearchSteps; b++) {
      if (branchTaken[b] || OppositeSigns(by[b], ry[r])) continue;
      const double d = cost + Distance(bx[b], by[b], rx[r], ry[r]);
      if (d >= bestCost) continue;
      branchTaken[b] = 1;
      current[r] = b;
      Search(r + 1, d);
      branchTaken[b] = 0;
    }
  }
};

}  // namespace

void FormLocusPolynomial(const double* p, int32_t n, const double* q, int32_t m, double t,
                         double* out) {
  for (int32_t i = 0; i <= n; i++) out[i] = (1 - t) * p[i];
  const double scale = t / std::fabs(q[0]);
  for (int32_t i = 0; i <= m; i++) out[i + n - m] += scale * q[i];
}

double MatchRootsToBranches(const double* bx, const double* by, int32_t n, const double* rx,
                            const double* ry, int32_t k, int32_t* assignment, double* largest,
                            double* work) {
  *largest = 0;
  // Each root takes a branch of its own: with fewer branches than roots
  // there is no assignment.
  if (k <= 0 || n < k) return 0;
  for (int32_t r = 0; r < k; r++) {
    if (std::isnan(rx[r]) || std::isnan(ry[r])) {
      for (int32_t j = 0; j < k; j++) assignment[j] = j;
      *largest = NAN;
      return NAN;
    }
  }
  auto* ints = reinterpret_cast<int32_t*>(work);
  int32_t* rootTaken = ints;
  int32_t* branchTaken = rootTaken + k;
  int32_t* current = branchTaken + n;
  std::fill(rootTaken, rootTaken + k, 0);
  std::fill(branchTaken, branchTaken + n, 0);
  // Greedy: the nearest pair first, imaginary parts of one sign (any pair
  // when no such pair is left).
  double cost = 0;
  for (int32_t step = 0; step < k; step++) {
    double bestD = HUGE_VAL;
    int32_t bestB = -1, bestR = -1;
    for (int32_t pass = 0; pass < 2 && bestB < 0; pass++) {
      for (int32_t b = 0; b < n; b++) {
        if (branchTaken[b]) continue;
        for (int32_t r = 0; r < k; r++) {
          if (rootTaken[r] || (pass == 0 && OppositeSigns(by[b], ry[r]))) continue;
          const double d = Distance(bx[b], by[b], rx[r], ry[r]);
          if (d < bestD || bestB < 0) {
            bestD = d;
            bestB = b;
            bestR = r;
          }
        }
      }
    }
    branchTaken[bestB] = rootTaken[bestR] = 1;
    assignment[bestR] = bestB;
    cost += bestD;
  }
  // Depth first for a cheaper assignment.
  std::fill(branchTaken, branchTaken + n, 0);
  Matcher m{bx, by, rx, ry, n, k, current, assignment, branchTaken, cost};
  m.Search(0, 0);
  cost = m.bestCost;
  for (int32_t r = 0; r < k; r++) {
    const int32_t b = assignment[r];
    if (by[b] != 0 || ry[r] != 0) {
      *largest = std::max(*largest, Distance(bx[b], by[b], rx[r], ry[r]));
    }
  }
  return cost;
}

namespace {

// The branches and their storage rules.
class Branches {
 public:
  Branches(double* base, int32_t n, int64_t cap, const LocusWindow& w)
      : base_(base), n_(n), cap_(cap), half_((cap - 1) / 2), w_(w) {}

  double* Rec(int32_t j) const { return base_ + j * cap_; }
  int64_t Count(int32_t j) const { return int64_t(Rec(j)[0]); }
  double X(int32_t j, int64_t i) const { return Rec(j)[1 + i]; }
  double Y(int32_t j, int64_t i) const { return Rec(j)[1 + half_ + i]; }
  double LastX(int32_t j) const { return X(j, Count(j) - 1); }
  double LastY(int32_t j) const { return Y(j, Count(j) - 1); }

  void Start(int32_t j, double x, double y) {
    Rec(j)[0] = 1;
    Set(j, 0, x, y);
  }

  // Stores (x, y) on branch j; returns the doubles of budget it took.
  int64_t Store(int32_t j, double x, double y) {
    const int64_t c = Count(j);
    const double x1 = LastX(j), y1 = LastY(j);
    if (c >= 2) {
      const double x0 = X(j, c - 2), y0 = Y(j, c - 2);
      // Along the real axis: the last point moves.
      if (y == 0 && y1 == 0 && y0 == 0) return Set(j, c - 1, x, y), 0;
      const bool beyond = (x < w_.xlo && x1 < w_.xlo && x0 < w_.xlo) ||
                          (x > w_.xhi && x1 > w_.xhi && x0 > w_.xhi) ||
                          (y < w_.ylo && y1 < w_.ylo && y0 < w_.ylo) ||
                          (y > w_.yhi && y1 > w_.yhi && y0 > w_.yhi);
      if (beyond) return Set(j, c - 1, x, y), 0;
    }
    if (c >= half_ - 1) return Set(j, c - 1, x, y), 0;
    if (std::fabs(x - x1) < kSmallMove * (w_.xhi - w_.xlo) &&
        std::fabs(y - y1) < kSmallMove * (w_.yhi - w_.ylo)) {
      return Set(j, c - 1, x, y), 0;
    }
    int64_t used = 2;
    // A corner on the axis where the branch leaves it or arrives on it in a
    // small move.
    const double near = kCornerMoves * w_.tolerance;
    if (std::fabs(x - x1) < near && c + 1 < half_ - 1) {
      if (y1 == 0 && y != 0 && std::fabs(y) < near) {
        Append(j, x, 0);
        used += 2;
      } else if (y1 != 0 && y == 0 && std::fabs(y1) < near) {
        Append(j, x1, 0);
        used += 2;
      }
    }
    Append(j, x, y);
    return used;
  }

  // Moves the branches together ({c, x[c], y[c]} each), ends them with -1
  // and returns the doubles written.
  int64_t Compact() {
    double* out = base_;
    for (int32_t j = 0; j < n_; j++) {
      const double* rec = Rec(j);
      const int64_t c = int64_t(rec[0]);
      // The record lies at or after the output: move x, then y.
      const double count = rec[0];
      std::copy(rec + 1, rec + 1 + c, out + 1);
      std::copy(rec + 1 + half_, rec + 1 + half_ + c, out + 1 + c);
      out[0] = count;
      out += 1 + 2 * c;
    }
    *out++ = -1.0;
    return out - base_;
  }

 private:
  int64_t Set(int32_t j, int64_t i, double x, double y) {
    Rec(j)[1 + i] = x;
    Rec(j)[1 + half_ + i] = y;
    return 0;
  }
  void Append(int32_t j, double x, double y) {
    const int64_t c = Count(j);
    Set(j, c, x, y);
    Rec(j)[0] = double(c + 1);
  }

  double* base_;
  int32_t n_;
  int64_t cap_, half_;
  LocusWindow w_;
};

}  // namespace

int64_t TraceCurveAdaptive(const double* den, int32_t denDegree, const double* num,
                           int32_t numDegree, const LocusWindow& window, double* area, int64_t size,
                           int64_t budget) {
  // P the polynomial of the higher degree.
  const bool swap = numDegree > denDegree;
  const double* p = swap ? num : den;
  const double* q = swap ? den : num;
  const int32_t n = swap ? numDegree : denDegree, m = swap ? denDegree : numDegree;
  const int64_t scratch = 16 * int64_t{n} + 4 * int64_t{m} + 32;
  const int64_t cap = n > 0 && size > scratch ? (size - scratch) / n : 0;
  if (cap < 5) {
    area[0] = -1.0;
    return 1;
  }
  double* s = area + cap * n;
  double* rx = s;
  double* ry = rx + n;
  double* poly = ry + n;        // n + 1
  double* copy = poly + n + 1;  // n + 1
  double* bx = copy + n + 1;
  double* by = bx + n;
  double* zx = by + n;  // the m zeros
  double* zy = zx + m;
  double* work = zy + m;  // 4n + 4m for the matcher
  auto* assignment = reinterpret_cast<int32_t*>(work + 4 * n + 4 * m);

  Branches br(area, n, cap, window);
  if (!FindRealPolynomialRootsOnCopy(p, n, rx, ry, copy)) std::fill(rx, rx + 2 * n, NAN);
  for (int32_t j = 0; j < n; j++) br.Start(j, rx[j], ry[j]);
  if (m > 0 && !FindRealPolynomialRootsOnCopy(q, m, zx, zy, copy)) std::fill(zx, zx + 2 * m, NAN);
  budget -= 6 * int64_t{n} + 1;
  // The refinement stack: each level's q and the cost of its parent's step
  // (a refinement that costs far more than the step it halves is dropped).
  double levels[kLevels], parentCost[kLevels];
  int32_t level = 0;
  levels[0] = kStep;
  parentCost[0] = kNoCost;
  double accepted = 0;
  bool keep = false;  // accept the next evaluation without refining
  for (int64_t iteration = 0; budget > 0 && iteration < kMostIterations; iteration++) {
    const double t = levels[level];
    const bool atEnd = t >= 1;
    const double *x = rx, *y = ry;
    int32_t k = n;
    if (atEnd) {
      x = zx;
      y = zy;
      k = m;
    } else {
      FormLocusPolynomial(p, n, q, m, t, poly);
      if (!FindRealPolynomialRootsOnCopy(poly, n, rx, ry, copy)) std::fill(rx, rx + 2 * n, NAN);
    }
    for (int32_t j = 0; j < n; j++) {
      bx[j] = br.LastX(j);
      by[j] = br.LastY(j);
    }
    double largest = 0;
    double cost = MatchRootsToBranches(bx, by, n, x, y, k, assignment, &largest, work);
    if (atEnd) {
      // A branch that runs to infinity still inside the window is followed
      // further first.
      for (int32_t j = 0; j < n; j++) {
        bool matched = false;
        for (int32_t r = 0; r < k; r++) matched = matched || assignment[r] == j;
        if (!matched && bx[j] > window.xlo && bx[j] < window.xhi && by[j] > window.ylo &&
            by[j] < window.yhi) {
          cost = largest = parentCost[level] = kNoCost;
        }
      }
    }
    // A branch reaching or leaving the real axis passes a meeting point:
    // its step is halved until the meeting point is pinned down.
    bool crossing = false;
    for (int32_t r = 0; r < k && !crossing; r++) crossing = (by[assignment[r]] == 0) != (y[r] == 0);
    const bool refine = (level < kDeepest && largest > window.tolerance) ||
                        (crossing && level + 1 < kLevels && t - accepted > kFinestStep);
    if (!keep && refine && cost < kWorse * parentCost[level]) {
      levels[level + 1] = (accepted + t) / 2;
      parentCost[level + 1] = cost;
      level++;
      continue;
    }
    if (!keep && cost >= kWorse * parentCost[level] && level > 0) {
      level--;
      keep = true;
      continue;
    }
    keep = false;
    for (int32_t r = 0; r < k; r++) budget -= br.Store(assignment[r], x[r], y[r]);
    accepted = t;
    if (level > 0) {
      level--;
      continue;
    }
    if (atEnd) break;
    levels[0] = t + kStep > kLastStep ? 1.0 : t + kStep;
    parentCost[0] = kNoCost;
  }
  return br.Compact();
}

}  // namespace vke
