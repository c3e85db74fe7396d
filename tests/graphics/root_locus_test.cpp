// The root locus: the branches of second-order loops against their closed
// forms, the limits that take the poles and zeros, and the assignment of
// new roots to branches over random systems.
#include "graphics/root_locus.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include "graphics/drawing_command.hpp"
#include "graphics/scale.hpp"
#include "tests/host/figure_harness.hpp"

namespace vke {
namespace {

using test::FigureHarness;
using V = std::vector<double>;

struct Branch {
  V x, y;
};

// The branches of the curve-list command the body drew.
std::vector<Branch> Locus(FigureHarness& h, const std::string& body, bool open = true) {
  if (open) h.Open();
  EXPECT_EQ(h.Draw(0, body), kOk) << body << h.TakeOutput();
  std::vector<Branch> branches;
  for (const auto& c : h.Commands(0)) {
    if (c.header.code != kCmdCurveList) continue;
    EXPECT_EQ(c.data.size(), size_t(c.header.length));
    size_t at = 0;
    while (at < c.data.size() && c.data[at] >= 0) {
      const size_t n = size_t(c.data[at]);
      Branch b;
      b.x.assign(c.data.begin() + at + 1, c.data.begin() + at + 1 + n);
      b.y.assign(c.data.begin() + at + 1 + n, c.data.begin() + at + 1 + 2 * n);
      branches.push_back(b);
      at += 1 + 2 * n;
    }
    EXPECT_EQ(c.data.at(at), -1.0);
  }
  return branches;
}

TEST(RootLocus, TwoRealPolesMeetAndLeaveVertically) {
  FigureHarness h;
  const auto b = Locus(h, "rlocus(1, [1 3 2]);");
  ASSERT_EQ(b.size(), 2u);
  V starts = {b[0].x.front(), b[1].x.front()};
  std::sort(starts.begin(), starts.end());
  EXPECT_NEAR(starts[0], -2, 1e-12);
  EXPECT_NEAR(starts[1], -1, 1e-12);
  for (const Branch& br : b) {
    ASSERT_GT(br.x.size(), 2u);
    for (size_t i = 0; i < br.x.size(); i++) {
      if (br.y[i] != 0) {
        EXPECT_NEAR(br.x[i], -1.5, 1e-9) << i;
      }
    }
    // Off the axis at the end, beyond the window's height.
    EXPECT_GT(std::fabs(br.y.back()), 2);
  }
  // The limits take the poles.
  const SubplotRecord& s = h.subplot(0);
  EXPECT_LE(LimitMin(s, kAxisX), -2);
  EXPECT_GE(LimitMax(s, kAxisX), -1);
}

TEST(RootLocus, AZeroEndsABranchOnACircle) {
  FigureHarness h;
  const auto b = Locus(h, "rlocus([1 1], [1 0 0]);");
  ASSERT_EQ(b.size(), 2u);
  int32_t atZero = 0;
  for (const Branch& br : b) {
    for (size_t i = 0; i < br.x.size(); i++) {
      if (br.y[i] != 0) {
        EXPECT_NEAR((br.x[i] + 1) * (br.x[i] + 1) + br.y[i] * br.y[i], 1, 1e-8) << i;
      }
    }
    if (std::fabs(br.x.back() + 1) < 1e-9 && br.y.back() == 0) atZero++;
  }
  EXPECT_EQ(atZero, 1);
  EXPECT_LE(LimitMin(h.subplot(0), kAxisX), -1);
  // Roles exchanged: a numerator of the higher degree.
  EXPECT_EQ(Locus(h, "rlocus([1 0 0], [1 1]);").size(), 2u);
}

using C = std::complex<double>;

C Eval(const V& p, C s) {
  C v = 0;
  for (double c : p) v = v * s + c;
  return v;
}

V Derivative(const V& p) {
  V d;
  for (size_t i = 0; i + 1 < p.size(); i++) d.push_back(p[i] * double(p.size() - 1 - i));
  return d;
}

// A traced locus of den + K num with the automatic limits it left: the
// branches, the limits and the size of a device unit in data units.
struct Traced {
  std::vector<Branch> branches;
  double xlo, xhi, ylo, yhi, pixel;
  bool Visible(double x, double y) const { return x >= xlo && x <= xhi && y >= ylo && y <= yhi; }
};

// Traces in a viewport of a window's size (a device unit is a pixel), under
// automatic scales or, with a window {x0, x1, y0, y1}, fixed ones.
Traced Trace(FigureHarness& h, const V& num, const V& den, const V& window = {}) {
  std::string body;
  if (!window.empty()) {
    body = "scale([";
    for (double c : window) body += std::to_string(c) + " ";
    body += "]); ";
  }
  body += "rlocus([";
  for (double c : num) body += std::to_string(c) + " ";
  body += "], [";
  for (double c : den) body += std::to_string(c) + " ";
  body += "]);";
  Traced t;
  h.Open();
  SetRect(h.subplot(0).viewport, 0, 400, 0, 300);
  t.branches = Locus(h, body, false);
  const SubplotRecord& s = h.subplot(0);
  t.xlo = LimitMin(s, kAxisX);
  t.xhi = LimitMax(s, kAxisX);
  t.ylo = LimitMin(s, kAxisY);
  t.yhi = LimitMax(s, kAxisY);
  t.pixel = std::max(1 / std::fabs(s.xFactor), 1 / std::fabs(s.yFactor));
  return t;
}

double SegmentDistance(C p, C a, C b) {
  const C d = b - a;
  const double len = std::norm(d);
  const double u = len > 0 ? std::clamp(((p - a) * std::conj(d)).real() / len, 0.0, 1.0) : 0;
  return std::abs(p - (a + u * d));
}

// The visible part of the arc of the circle from angle a0 to a1 lies within
// a pixel of the traced branches.
void ExpectCovers(const Traced& t, C centre, double radius, double a0, double a1,
                  const std::string& name) {
  for (int i = 0; i <= 720; i++) {
    const C p = centre + std::polar(radius, a0 + (a1 - a0) * i / 720);
    if (!t.Visible(p.real(), p.imag())) continue;
    double nearest = HUGE_VAL;
    for (const Branch& b : t.branches) {
      for (size_t j = 0; j + 1 < b.x.size(); j++) {
        nearest =
            std::min(nearest, SegmentDistance(p, C(b.x[j], b.y[j]), C(b.x[j + 1], b.y[j + 1])));
      }
    }
    EXPECT_LT(nearest, t.pixel) << name << " " << p;
  }
}

// Whether s lies within a pixel of the locus: near a pole, a zero or a
// meeting point of branches (the roots of num' den - num den' with a
// positive gain), or where the gain -den / num is positive and its
// imaginary part, over its derivative, puts the curve less than a pixel
// away.
bool OnLocus(const V& num, const V& den, const std::vector<C>& landmarks, C s, double pixel) {
  for (C l : landmarks) {
    if (std::abs(s - l) < pixel) return true;
  }
  const C n = Eval(num, s), d = Eval(den, s);
  const C k = -d / n;
  const C slope = -(Eval(Derivative(den), s) * n - d * Eval(Derivative(num), s)) / (n * n);
  return k.real() > 0 && std::fabs(k.imag()) < pixel * std::abs(slope);
}

// Every visible point of the branches and the middle of every visible
// segment between them lie on the locus.
void ExpectOnLocus(const Traced& t, const V& num, const V& den, const std::vector<C>& landmarks,
                   const std::string& name) {
  size_t checked = 0;
  for (const Branch& b : t.branches) {
    for (size_t i = 0; i < b.x.size(); i++) {
      const double x = b.x[i], y = b.y[i];
      if (t.Visible(x, y)) {
        EXPECT_TRUE(OnLocus(num, den, landmarks, C(x, y), t.pixel)) << name << " " << x << " " << y;
        checked++;
      }
      if (i + 1 == b.x.size()) continue;
      const double mx = 0.5 * (x + b.x[i + 1]), my = 0.5 * (y + b.y[i + 1]);
      if (t.Visible(mx, my)) {
        EXPECT_TRUE(OnLocus(num, den, landmarks, C(mx, my), t.pixel))
            << name << " between " << x << " " << y << " and " << b.x[i + 1] << " " << b.y[i + 1];
      }
    }
  }
  EXPECT_GT(checked, 5u) << name;
}

// Some branch passes within a pixel of the point on the real axis.
bool Reaches(const Traced& t, double x) {
  for (const Branch& b : t.branches) {
    for (size_t i = 0; i < b.x.size(); i++) {
      if (std::fabs(b.x[i] - x) < t.pixel && std::fabs(b.y[i]) < t.pixel) return true;
    }
  }
  return false;
}

// Under automatic scales the limits hold every traced point but the last
// two of a branch (which may lie beyond the window it was traced in), and
// they leave room on both axes even when the poles and zeros are real.
TEST(RootLocus, AutomaticLimitsHoldTheWholeLocus) {
  FigureHarness h;
  const std::vector<std::pair<V, V>> systems = {
      {{1}, {1, 3, 2}}, {{1, 1}, {1, 0, 0}}, {{1, 2}, {1, 3, 3, 1, 0}}};
  for (const auto& [num, den] : systems) {
    const Traced t = Trace(h, num, den);
    EXPECT_GT(t.xhi - t.xlo, 0.5);
    EXPECT_GT(t.yhi - t.ylo, 0.5);
    for (const Branch& b : t.branches) {
      ASSERT_GE(b.x.size(), 1u);
      EXPECT_TRUE(t.Visible(b.x[0], b.y[0]));
      for (size_t i = 0; i + 2 < b.x.size(); i++) {
        EXPECT_TRUE(t.Visible(b.x[i], b.y[i])) << b.x[i] << " " << b.y[i];
      }
    }
  }
  // Meeting points of a negative gain (1 - sqrt(3) and 1 + sqrt(3) here) are
  // no part of the locus: the limits end at the zero at 1, not at 2.73, and
  // the branch running to the left is cut where the window of the poles and
  // zeros alone ends (their spread, 3, beyond the pole at -2), not where
  // one reaching to 2.73 would (4.73 beyond).
  const Traced t = Trace(h, {1, -1}, {1, 2, 0});
  EXPECT_GE(t.xhi, 1);
  EXPECT_LT(t.xhi, 2);
  EXPECT_TRUE(Reaches(t, 1));
  EXPECT_NEAR(t.xlo, -5, 0.5);
  // The error locus of a double root: its region, not a point.
  h.Open();
  ASSERT_EQ(h.Draw(0, "erlocus([1 2 1], eye(2));"), kOk) << h.TakeOutput();
  const SubplotRecord& s = h.subplot(0);
  EXPECT_LT(LimitMin(s, kAxisX), -2);
  EXPECT_GT(LimitMax(s, kAxisX), 0);
  EXPECT_LT(LimitMin(s, kAxisY), -1);
  EXPECT_GT(LimitMax(s, kAxisY), 1);
}

// Branches meet on the real axis and part from it where the exact locus
// does: arcs are followed into the meeting points, with no segment cut
// across to the axis and none along the axis where the locus is not; under
// automatic scales and zoomed in round the meeting point.
TEST(RootLocus, BranchesFollowedThroughTheirMeetingPoints) {
  FigureHarness h;
  const double r2 = std::sqrt(2.0), pi = std::acos(-1.0);
  const auto windows = [](double x) {
    return std::vector<V>{{},
                          {x - 0.15, x + 0.15, -0.1, 0.1},
                          {x - 0.6, x + 0.6, -0.45, 0.45},
                          {x - 2, x + 2, -1.5, 1.5}};
  };
  // (s + 1) / s^2: the circle |s + 1| = 1, meeting the axis at -2.
  V num = {1, 1}, den = {1, 0, 0};
  for (const V& w : windows(-2)) {
    const Traced t = Trace(h, num, den, w);
    const std::string name = "circle " + std::to_string(w.empty() ? 0 : w[1] - w[0]);
    ExpectOnLocus(t, num, den, {C(0, 0), C(-1, 0), C(-2, 0)}, name);
    ExpectCovers(t, C(-1, 0), 1, 0, 2 * pi, name);
    EXPECT_TRUE(Reaches(t, -2)) << name;
  }
  // (s^2 + 2 s + 3) / (s + 1), traced with the roles exchanged: the circle
  // |s + 1| = sqrt 2 from the zeros, meeting the axis at -1 - sqrt 2.
  num = {1, 2, 3};
  den = {1, 1};
  for (const V& w : windows(-1 - r2)) {
    const Traced t = Trace(h, num, den, w);
    const std::string name = "wide circle " + std::to_string(w.empty() ? 0 : w[1] - w[0]);
    ExpectOnLocus(t, num, den, {C(-1, r2), C(-1, -r2), C(-1, 0), C(-1 - r2, 0)}, name);
    ExpectCovers(t, C(-1, 0), r2, pi / 2, 3 * pi / 2, name);
    EXPECT_TRUE(Reaches(t, -1 - r2)) << name;
  }
  // (s + 2) / (s (s + 1)^3): three branches leave the triple pole at 0 and
  // +-120 degrees; the axis between -2 and -1 is not on the locus.
  num = {1, 2};
  den = {1, 3, 3, 1, 0};
  std::vector<C> landmarks = {C(0, 0), C(-1, 0), C(-2, 0)};
  // The meeting points: the roots of num' den - num den' with a positive
  // gain, found here by Newton's method from a grid.
  const V meet = {-3, -14, -21, -12, -2};  // den - (s + 2) den'
  for (int i = -30; i <= 30; i++) {
    for (int j = 0; j <= 30; j++) {
      C z(i * 0.1, j * 0.1);
      for (int k = 0; k < 60; k++) z -= Eval(meet, z) / Eval(Derivative(meet), z);
      if (std::abs(Eval(meet, z)) < 1e-9 && (-Eval(den, z) / Eval(num, z)).real() > 0) {
        landmarks.push_back(z);
        landmarks.push_back(std::conj(z));
      }
    }
  }
  for (const V& w : windows(-1)) {
    const Traced t = Trace(h, num, den, w);
    const std::string name = "triple pole " + std::to_string(w.empty() ? 0 : w[1] - w[0]);
    ExpectOnLocus(t, num, den, landmarks, name.c_str());
    for (const Branch& b : t.branches) {
      for (size_t i = 0; i + 1 < b.x.size(); i++) {
        if (b.y[i] == 0 && b.y[i + 1] == 0) {
          const double lo = std::min(b.x[i], b.x[i + 1]), hi = std::max(b.x[i], b.x[i + 1]);
          EXPECT_FALSE(lo < -1 - t.pixel && hi > -2 + t.pixel) << name << " " << lo << " " << hi;
        }
      }
    }
  }
}

// The greedy assignment's cost, as the matcher's bound.
double GreedyCost(const V& bx, const V& by, const V& rx, const V& ry) {
  const size_t n = bx.size();
  std::vector<bool> b(n), r(n);
  double cost = 0;
  for (size_t step = 0; step < n; step++) {
    double best = HUGE_VAL;
    size_t bi = 0, ri = 0;
    for (int pass = 0; pass < 2 && best == HUGE_VAL; pass++) {
      for (size_t i = 0; i < n; i++) {
        for (size_t j = 0; j < n && !b[i]; j++) {
          const bool opposite = (by[i] > 0 && ry[j] < 0) || (by[i] < 0 && ry[j] > 0);
          if (r[j] || (pass == 0 && opposite)) continue;
          const double d = std::fabs(bx[i] - rx[j]) + std::fabs(by[i] - ry[j]);
          if (d < best) {
            best = d;
            bi = i;
            ri = j;
          }
        }
      }
    }
    b[bi] = r[ri] = true;
    cost += best;
  }
  return cost;
}

TEST(RootLocus, AssignmentIsNeverWorseThanGreedyAndKeepsPairsTogether) {
  std::mt19937 rng(6);
  std::uniform_real_distribution<double> u(-3, 3);
  const int32_t n = 6;
  for (int trial = 0; trial < 300; trial++) {
    // Three conjugate pairs of branches, and the roots that moved a little
    // from them, each pair in either order.
    V bx, by, rx, ry;
    for (int p = 0; p < 3; p++) {
      const double x = u(rng), y = std::fabs(u(rng)) + 0.1;
      bx.insert(bx.end(), {x, x});
      by.insert(by.end(), {y, -y});
      const double nx = x + 0.3 * u(rng), ny = y + 0.3 * u(rng);
      const bool swap = rng() % 2;
      rx.insert(rx.end(), {nx, nx});
      ry.insert(ry.end(), {swap ? -ny : ny, swap ? ny : -ny});
    }
    std::vector<int32_t> assignment(n);
    V work(8 * n);
    double largest;
    const double cost = MatchRootsToBranches(bx.data(), by.data(), n, rx.data(), ry.data(), n,
                                             assignment.data(), &largest, work.data());
    EXPECT_LE(cost, GreedyCost(bx, by, rx, ry) + 1e-12) << trial;
    // Each branch once; a pair of roots goes to a pair of partner branches.
    std::vector<int> seen(n);
    for (int32_t r = 0; r < n; r++) seen[assignment[r]]++;
    for (int s : seen) EXPECT_EQ(s, 1);
    for (int32_t r = 0; r < n; r += 2) {
      EXPECT_EQ(assignment[r] / 2, assignment[r + 1] / 2) << trial;
    }
  }
}

}  // namespace
}  // namespace vke
