// The error-locus measure against the Mahalanobis distance written out, and
// the region through the recording port: the bands around a root, the
// colours of gain marks, the real-axis row and the mirrored rows, and what
// draws nothing.
#include "graphics/error_locus.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "command_list.hpp"
#include "decoration_fixture.hpp"
#include "graphics/render_call.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

using test::CallsOf;
using V = std::vector<double>;
using Complex = std::complex<double>;

// The payload of an error-locus command.
V Payload(const V& p, const V& m, const V& gains = {}, const std::vector<uint8_t>& rgb = {}) {
  V out{double(p.size() - 1)};
  out.insert(out.end(), p.begin(), p.end());
  out.insert(out.end(), m.begin(), m.end());
  out.push_back(double(gains.size()));
  for (double g : gains) out.push_back(g * g);
  V packed((rgb.size() + 7) / 8, 0.0);
  if (!rgb.empty()) std::memcpy(packed.data(), rgb.data(), rgb.size());
  out.insert(out.end(), packed.begin(), packed.end());
  return out;
}

// A viewport of 200 x 100 device units, 0.01 data units each: x from
// x0 to x0 + 2, y from -0.5 to 0.5 upward.
SubplotRecord Plane(double x0) {
  SubplotRecord s;
  SubplotRecordClear(&s);
  SetRect(s.viewport, 0, 200, 0, 100);
  s.transformValid = 1;
  s.xFactor = 100;
  s.xOffset = -100 * x0;
  s.yFactor = -100;
  s.yOffset = 50;
  return s;
}

// One drawn row of cells: where, and its red, green and blue bytes.
struct Row {
  double x, y;
  int32_t columns;
  std::vector<uint8_t> r, g, b;
};

std::vector<Row> Rows(const RecordingPort& rec) {
  std::vector<Row> rows;
  for (const PortCall& c : CallsOf(rec, PortSlot::drawImageCells)) {
    Row row{c.values[0], c.values[1], int32_t(c.values[2]), {}, {}, {}};
    const size_t n = size_t(row.columns);
    for (size_t k = 0; k < n; k++) {
      row.r.push_back(uint8_t(c.values[9 + k]));
      row.g.push_back(uint8_t(c.values[9 + n + k]));
      row.b.push_back(uint8_t(c.values[9 + 2 * n + k]));
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(ErrorLocus, ValueIsTheSquaredMahalanobisDistanceOfP) {
  // P(s) = s^3 + p1 s^2 + p2 s + p3 with a full covariance of p1 .. p3.
  const V p = {1, -0.5, 2, 0.75};
  const V m = {2, 0.3, -0.1, 0.3, 1, 0.2, -0.1, 0.2, 0.5};
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> at(-2, 2);
  V work(6);
  for (int trial = 0; trial < 50; trial++) {
    const Complex s(at(rng), at(rng));
    const Complex value = s * s * s + p[1] * s * s + p[2] * s + p[3];
    const Complex u[3] = {s * s, s, 1.0};
    // The covariance of (Re P, Im P): [u_r' M u_r, u_r' M u_i; ., u_i' M u_i].
    double c11 = 0, c12 = 0, c22 = 0;
    for (int i = 0; i < 3; i++) {
      for (int j = 0; j < 3; j++) {
        c11 += u[i].real() * m[i * 3 + j] * u[j].real();
        c12 += u[i].real() * m[i * 3 + j] * u[j].imag();
        c22 += u[i].imag() * m[i * 3 + j] * u[j].imag();
      }
    }
    const double a = value.real(), b = value.imag(), det = c11 * c22 - c12 * c12;
    const double want = (c22 * a * a - 2 * c12 * a * b + c11 * b * b) / det;
    EXPECT_NEAR(ErrorLocusValue(p.data(), m.data(), 3, s.real(), s.imag(), work.data()), want,
                1e-9 * std::fabs(want));
  }
  // On the real axis: P(x)^2 / (u' M u).
  const double x = 0.7, px = x * x * x - 0.5 * x * x + 2 * x + 0.75;
  const double u[3] = {x * x, x, 1};
  double q = 0;
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 3; j++) q += u[i] * m[i * 3 + j] * u[j];
  }
  EXPECT_NEAR(ErrorLocusValue(p.data(), m.data(), 3, x, 0, work.data()), px * px / q, 1e-12);
  // A root is at distance 0.
  const V circle = {1, 0, 1};
  const V identity = {1, 0, 0, 1};
  EXPECT_NEAR(ErrorLocusValue(circle.data(), identity.data(), 2, 0, 1, work.data()), 0, 1e-15);
}

TEST(ErrorLocus, BandsAroundARootOnTheRealAxis) {
  // s + 1 with a variance of 0.01 of its constant: the measure on the axis
  // is ((x + 1) / 0.1)^2; off the axis no root can lie.
  const V payload = Payload({1, 1}, {0.01});
  const SubplotRecord s = Plane(-2);
  RecordingPort rec;
  std::vector<double> scratch(1000);
  DrawErrorLocus(payload.data(), int64_t(payload.size()), s, rec.port(), scratch.data(), 1000,
                 rec.target());
  const auto rows = Rows(rec);
  // 100 rows of one device unit: the axis row once, the others in pairs.
  ASSERT_EQ(rows.size(), 100u);
  const Row* axis = nullptr;
  for (const Row& row : rows) {
    if (row.y == 50) axis = &row;
    if (row.y != 50) {
      EXPECT_EQ(row.r, std::vector<uint8_t>(200, 255));
      EXPECT_EQ(row.b, std::vector<uint8_t>(200, 255));
    }
  }
  ASSERT_NE(axis, nullptr);
  ASSERT_EQ(axis->columns, 200);
  // Column c holds x = -2 + (c + 0.5) / 100: the root lies in column 100.
  EXPECT_EQ(axis->r[100], 0);
  EXPECT_EQ(axis->b[100], 0);
  EXPECT_EQ(axis->b[103], 255);  // blue: 0.035 from the root
  EXPECT_EQ(axis->r[103], 0);
  EXPECT_EQ(axis->r[107], 102);  // light blue
  EXPECT_EQ(axis->r[115], 204);  // grey
  EXPECT_EQ(axis->r[130], 255);  // white
  EXPECT_EQ(axis->g[130], 255);
  EXPECT_EQ(axis->r[99], 0);  // symmetric around the root
  EXPECT_EQ(axis->r[92], 102);
}

TEST(ErrorLocus, MarksAndMirroredRows) {
  // s^2 + 1 with roots +-i, shown from -1 to 1 and -0.5 to 0.5 around
  // y = 0.5 .. : move the view up so that i lies inside.
  const V payload = Payload({1, 0, 1}, {0.01, 0, 0, 0.01}, {1, 2}, {255, 0, 0, 0, 0, 255});
  SubplotRecord s = Plane(-1);
  s.yOffset = 120;  // y from 0.2 to 1.2: the axis lies below the view
  RecordingPort rec;
  std::vector<double> scratch(1000);
  DrawErrorLocus(payload.data(), int64_t(payload.size()), s, rec.port(), scratch.data(), 1000,
                 rec.target());
  auto rows = Rows(rec);
  ASSERT_EQ(rows.size(), 100u);  // no mirror in view: each row once
  // The row through i: red at x = 0 (below the first threshold), blue
  // further out, white far away.
  const Row* through = nullptr;
  for (const Row& row : rows) {
    if (row.y == 20) through = &row;
  }
  ASSERT_NE(through, nullptr);
  EXPECT_EQ(through->r[100], 255);
  EXPECT_EQ(through->b[100], 0);
  bool blue = false;
  for (int32_t c = 100; c < 200; c++) blue |= through->b[c] == 255 && through->r[c] == 0;
  EXPECT_TRUE(blue);
  EXPECT_EQ(through->g[0], 255);  // white at x = -1

  // With the axis in view, the rows below it repeat those above.
  s.yOffset = 50;
  rec.Clear();
  DrawErrorLocus(payload.data(), int64_t(payload.size()), s, rec.port(), scratch.data(), 1000,
                 rec.target());
  rows = Rows(rec);
  ASSERT_EQ(rows.size(), 100u);
  for (const Row& row : rows) {
    for (const Row& other : rows) {
      if (other.y == 100 - row.y) {
        EXPECT_EQ(other.r, row.r);
        EXPECT_EQ(other.b, row.b);
      }
    }
  }
}

TEST(ErrorLocus, DrawsNothingWithoutItsMeans) {
  const V payload = Payload({1, 1}, {1e-4});
  const SubplotRecord s = Plane(-2);
  RecordingPort rec;
  std::vector<double> scratch(1000);
  // Scratch too small for a row of 200 cells.
  DrawErrorLocus(payload.data(), int64_t(payload.size()), s, rec.port(), scratch.data(), 50,
                 rec.target());
  // A payload cut short, a negative degree.
  DrawErrorLocus(payload.data(), 3, s, rec.port(), scratch.data(), 1000, rec.target());
  const V negative = {-1, 1, 1, 0};
  DrawErrorLocus(negative.data(), 4, s, rec.port(), scratch.data(), 1000, rec.target());
  EXPECT_TRUE(CallsOf(rec, PortSlot::drawImageCells).empty());
  rec.RemoveSlot(PortSlot::drawImageCells);
  rec.Clear();
  DrawErrorLocus(payload.data(), int64_t(payload.size()), s, rec.port(), scratch.data(), 1000,
                 rec.target());
  EXPECT_TRUE(rec.calls().empty());
}

}  // namespace
}  // namespace vke
