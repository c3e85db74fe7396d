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
  // The error locus of a double root: its region, not a point.
  h.Open();
  ASSERT_EQ(h.Draw(0, "erlocus([1 2 1], eye(2));"), kOk) << h.TakeOutput();
  const SubplotRecord& s = h.subplot(0);
  EXPECT_LT(LimitMin(s, kAxisX), -2);
  EXPECT_GT(LimitMax(s, kAxisX), 0);
  EXPECT_LT(LimitMin(s, kAxisY), -1);
  EXPECT_GT(LimitMax(s, kAxisY), 1);
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
