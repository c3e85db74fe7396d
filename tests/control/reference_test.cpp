// The conversions, margins and frequency responses against reference values
// made with GNU Octave and its control package
// (tests/data/control_reference.csv, written by scripts/control_reference.m):
// every value agrees to 1e-10 relative, the margins to what their search
// refines (20 bisections of a step of pi/200 along the unit circle, about
// 1e-8). Discrete and converted systems are compared by their responses,
// not their realisations.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <map>
#include <string>
#include <vector>

#include "control/frequency_response.hpp"
#include "control/system_natives.hpp"
#include "tests/control/native_call_fixture.hpp"
#include "tests/control/reference_cases.hpp"

namespace vke {
namespace {

using V = std::vector<double>;
using Complex = std::complex<double>;
using test::Case;
using test::Matrix;

constexpr double kTolerance = 1e-10;
constexpr double kMarginTolerance = 1e-7;

// A complex reference response: the real block above the imaginary block.
Complex RefAt(const Matrix& h, int32_t row, int32_t col) {
  return {h.At(row, col), h.At(row + h.rows / 2, col)};
}

void ExpectClose(Complex ours, Complex ref, const std::string& what) {
  EXPECT_LE(std::abs(ours - ref), kTolerance * std::abs(ref))
      << what << ": " << ours << " vs " << ref;
}

// Coefficient rows compared right-aligned (the reference drops leading
// zeros), relative to the reference's largest coefficient.
void ExpectSamePolynomial(const V& ours, const V& ref, const std::string& what) {
  double scale = 0;
  for (double c : ref) scale = std::max(scale, std::fabs(c));
  ASSERT_GE(ours.size(), ref.size()) << what;
  const size_t shift = ours.size() - ref.size();
  for (size_t k = 0; k < ours.size(); k++) {
    const double want = k < shift ? 0.0 : ref[k - shift];
    EXPECT_LE(std::fabs(ours[k] - want), kTolerance * scale) << what << " coefficient " << k;
  }
}

class ControlReference : public test::NativeCallFixture {
 protected:
  void Push(const Matrix& m) { M(m.rows, m.cols, m.v); }

  // The response of the state-space outputs (out[0..3]) from input j at
  // s = x + i y.
  std::vector<Complex> Response(int32_t j, double x, double y) {
    const auto &a = out[0], &b = out[1], &c = out[2], &d = out[3];
    const int32_t n = a.dims[0], m = b.dims[1], p = c.dims[0];
    V bj, dj, re(static_cast<size_t>(p)), im(static_cast<size_t>(p));
    V work(static_cast<size_t>(SsResponseWork(n, p)));
    for (int32_t i = 0; i < n; i++) bj.push_back(b.re[size_t(i) * m + j]);
    for (int32_t i = 0; i < p; i++) dj.push_back(d.re[size_t(i) * m + j]);
    SsResponseSingleInput(a.re.data(), bj.data(), c.re.data(), dj.data(), n, p, x, y, re.data(),
                          im.data(), work.data());
    std::vector<Complex> h;
    for (int32_t i = 0; i < p; i++) h.emplace_back(re[i], im[i]);
    return h;
  }

  std::map<std::string, Case> cases = test::LoadReferences("control_reference.csv");

  // The cases of one kind.
  std::vector<std::pair<std::string, Case>> Kind(const std::string& kind) {
    std::vector<std::pair<std::string, Case>> found;
    for (const auto& [name, c] : cases)
      if (name.compare(0, kind.size() + 1, kind + "/") == 0) found.emplace_back(name, c);
    return found;
  }
};

TEST_F(ControlReference, TransferFunctionConversions) {
  ASSERT_FALSE(cases.empty()) << "tests/data/control_reference.csv not found";
  int checked = 0;
  for (const char* kind : {"c2dm_tf_z", "c2dm_tf_f", "c2dm_tf_t", "c2dm_tf_m", "d2cm_tf_t"}) {
    const bool back = kind[0] == 'd';
    for (auto& [name, c] : Kind(kind)) {
      Push(c["num"]);
      Push(c["den"]);
      Push(c["ts"]);
      Text(std::string(1, kind[8]));
      ASSERT_EQ(Call(back ? &D2cmNative : &C2dmNative, 2), kOk) << name;
      ExpectSamePolynomial(out[0].re, c["numd"].v, name + " numerator");
      ExpectSamePolynomial(out[1].re, c["dend"].v, name + " denominator");
      checked++;
    }
  }
  EXPECT_EQ(checked, 9);
}

TEST_F(ControlReference, StateSpaceDiscretisations) {
  int checked = 0;
  for (const char* kind : {"c2dm_ss_z", "c2dm_ss_f", "c2dm_ss_t"}) {
    for (auto& [name, c] : Kind(kind)) {
      for (const char* f : {"a", "b", "c", "d", "ts"}) Push(c[f]);
      Text(std::string(1, kind[8]));
      ASSERT_EQ(Call(&C2dmNative, 4), kOk) << name;
      const double ts = c["ts"].v[0];
      const Matrix& w = c["w"];
      const int32_t m = c["b"].cols;
      for (int32_t k = 0; k < w.cols; k++) {
        for (int32_t j = 0; j < m; j++) {
          const auto h = Response(j, std::cos(w.v[k] * ts), std::sin(w.v[k] * ts));
          for (size_t i = 0; i < h.size(); i++)
            ExpectClose(h[i], RefAt(c["h"], int32_t(i), k * m + j), name);
        }
      }
      checked++;
    }
  }
  EXPECT_EQ(checked, 3);
}

TEST_F(ControlReference, StateSpaceAndTransferFunctionForms) {
  auto& ss = cases["ss2tf/system1"];
  const int32_t m = ss["b"].cols;
  for (int32_t j = 0; j < m; j++) {
    for (const char* f : {"a", "b", "c", "d"}) Push(ss[f]);
    S(j + 1);
    ASSERT_EQ(Call(&Ss2tfNative, 2), kOk);
    const int32_t p = out[0].dims[0], cols = out[0].dims[1], n = out[1].dims[1] - 1;
    for (int32_t k = 0; k < ss["w"].cols; k++) {
      for (int32_t i = 0; i < p; i++) {
        double re, im;
        EvalRationalAtComplex(out[0].re.data() + size_t(i) * cols, cols - 1, out[1].re.data(), n, 0,
                              ss["w"].v[k], &re, &im);
        ExpectClose({re, im}, RefAt(ss["h"], i, k * m + j), "ss2tf");
      }
    }
  }
  for (auto& [name, c] : Kind("tf2ss")) {
    Push(c["num"]);
    Push(c["den"]);
    ASSERT_EQ(Call(&Tf2ssNative, 4), kOk) << name;
    for (int32_t k = 0; k < c["w"].cols; k++)
      ExpectClose(Response(0, 0, c["w"].v[k])[0], RefAt(c["h"], 0, k), name);
  }
}

TEST_F(ControlReference, FrequencyResponsesAndSingularValues) {
  auto& tf = cases["freq_tf/system1"];
  const int32_t numDegree = tf["num"].cols - 1, denDegree = tf["den"].cols - 1;
  for (int32_t k = 0; k < tf["w"].cols; k++) {
    double re, im;
    EvalRationalAtComplex(tf["num"].v.data(), numDegree, tf["den"].v.data(), denDegree, 0,
                          tf["w"].v[k], &re, &im);
    ExpectClose({re, im}, RefAt(tf["h"], 0, k), "tenth order");
  }
  auto& sg = cases["sigma/system1"];
  const int32_t n = sg["a"].rows, m = sg["b"].cols, p = sg["c"].rows;
  V sv(static_cast<size_t>(m)), work(static_cast<size_t>(SsSingularValuesWork(n, m, p)));
  for (int32_t k = 0; k < sg["w"].cols; k++) {
    SsSingularValues(sg["a"].v.data(), sg["c"].v.data(), sg["b"].v.data(), sg["d"].v.data(), n, m,
                     p, 0, sg["w"].v[k], sv.data(), work.data());
    for (int32_t i = 0; i < m; i++)
      EXPECT_NEAR(sv[i], sg["sv"].At(i, k), kTolerance * sg["sv"].At(i, k)) << i << ", " << k;
  }
}

TEST_F(ControlReference, GainAndPhaseMargins) {
  int checked = 0;
  for (const char* kind : {"margin", "dmargin"}) {
    const bool discrete = kind[0] == 'd';
    for (auto& [name, c] : Kind(kind)) {
      Push(c["num"]);
      Push(c["den"]);
      if (discrete) Push(c["ts"]);
      ASSERT_EQ(Call(discrete ? &DmarginNative : &MarginNative, 4), kOk) << name;
      ASSERT_EQ(out[0].re.size(), 2u) << name;
      // The reference has one gain margin: our upper one.
      const std::pair<double, const char*> ours[] = {{out[0].re[1], "gm"},
                                                     {out[1].re.at(0), "pm"},
                                                     {out[2].re[1], "wg"},
                                                     {out[3].re.at(0), "wp"}};
      for (const auto& [value, field] : ours) {
        const double ref = c[field].v[0];
        EXPECT_NEAR(value, ref, kMarginTolerance * std::fabs(ref)) << name << " " << field;
      }
      checked++;
    }
  }
  EXPECT_EQ(checked, 3);
}

}  // namespace
}  // namespace vke
