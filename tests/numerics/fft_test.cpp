// The Fourier transforms: the kernels against a direct sum in long double,
// the pairing of real sequences, the natives' lengths, dimensions and
// resizes, their codes, the break between combinations and the room they
// take from the data stack.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/fft/fft_kernels.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/numerics/linalg_fixture.hpp"
#include "tests/numerics/room_support.hpp"

namespace vke {
namespace {

using test::LinalgFixture;

struct Signal {
  std::vector<double> re, im;
};

Signal RandomSignal(int32_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1, 1);
  Signal s{std::vector<double>(n), std::vector<double>(n)};
  for (int32_t i = 0; i < n; i++) {
    s.re[i] = dist(gen);
    s.im[i] = dist(gen);
  }
  return s;
}

// The direct sum in long double, over a table of the n angles.
Signal DirectTransform(const Signal& x, bool inverse) {
  const int64_t n = int64_t(x.re.size());
  std::vector<long double> c(n), s(n);
  for (int64_t t = 0; t < n; t++) {
    const long double angle = (inverse ? 2 : -2) * std::numbers::pi_v<long double> * t / n;
    c[t] = std::cos(angle);
    s[t] = std::sin(angle);
  }
  Signal out{std::vector<double>(n), std::vector<double>(n)};
  for (int64_t k = 0; k < n; k++) {
    long double re = 0, im = 0;
    for (int64_t j = 0; j < n; j++) {
      const int64_t t = (j * k) % n;
      re += x.re[j] * c[t] - x.im[j] * s[t];
      im += x.re[j] * s[t] + x.im[j] * c[t];
    }
    out.re[k] = static_cast<double>(inverse ? re / n : re);
    out.im[k] = static_cast<double>(inverse ? im / n : im);
  }
  return out;
}

double Norm(const Signal& x) {
  double sum = 0;
  for (size_t i = 0; i < x.re.size(); i++) sum += x.re[i] * x.re[i] + x.im[i] * x.im[i];
  return std::sqrt(sum);
}

double Distance(const Signal& a, const Signal& b) {
  Signal d{a.re, a.im};
  for (size_t i = 0; i < a.re.size(); i++) {
    d.re[i] -= b.re[i];
    d.im[i] -= b.im[i];
  }
  return Norm(d);
}

TEST(FftKernels, MixedRadixEqualsTheDirectSum) {
  for (int32_t n : {1, 2, 3, 12, 14, 17, 25, 49, 121, 1000, 1024}) {
    for (bool inverse : {false, true}) {
      SCOPED_TRACE(testing::Message() << "n = " << n << (inverse ? ", inverse" : ""));
      const Signal x = RandomSignal(n, n);
      Signal in = x, out{std::vector<double>(n), std::vector<double>(n)};
      std::vector<double> work(FftWorkspace(n));
      ASSERT_EQ(FftMixedRadix(in.re.data(), in.im.data(), n, 1, 1, 1, out.re.data(), out.im.data(),
                              inverse, work.data(), int64_t(work.size()), nullptr),
                kFftDone);
      const double scale = inverse ? 1.0 / n : 1.0;
      EXPECT_LE(Distance(out, DirectTransform(x, inverse)), 1e-12 * Norm(x) * (1 + scale));
    }
  }
}

TEST(FftKernels, InterleavedSequencesAndPairs) {
  // Four sequences of 15 elements, interleaved (stride 4, distance 1), as
  // the columns of a 15 x 4 matrix; real ones are transformed in pairs.
  const int32_t n = 15, columns = 4;
  for (bool real : {false, true}) {
    SCOPED_TRACE(real ? "real, paired" : "complex");
    std::vector<double> re(n * columns), im(n * columns, 0.0), outRe(re.size()), outIm(re.size());
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> dist(-1, 1);
    for (double& v : re) v = dist(gen);
    if (!real) {
      for (double& v : im) v = dist(gen);
    }
    std::vector<Signal> columnsIn;
    for (int32_t c = 0; c < columns; c++) {
      Signal s{std::vector<double>(n), std::vector<double>(n)};
      for (int32_t i = 0; i < n; i++) {
        s.re[i] = re[i * columns + c];
        s.im[i] = im[i * columns + c];
      }
      columnsIn.push_back(s);
    }
    std::vector<double> work(FftWorkspace(n));
    ASSERT_EQ(
        FftMixedRadix(re.data(), real ? nullptr : im.data(), n, columns, columns, 1, outRe.data(),
                      outIm.data(), false, work.data(), int64_t(work.size()), nullptr),
        kFftDone);
    for (int32_t c = 0; c < columns; c++) {
      Signal got{std::vector<double>(n), std::vector<double>(n)};
      for (int32_t i = 0; i < n; i++) {
        got.re[i] = outRe[i * columns + c];
        got.im[i] = outIm[i * columns + c];
      }
      EXPECT_LE(Distance(got, DirectTransform(columnsIn[c], false)), 1e-13 * Norm(columnsIn[c]))
          << c;
    }
  }
}

TEST(FftKernels, TooSmallAWorkspaceWritesNothing) {
  Signal x = RandomSignal(12, 3);
  std::vector<double> outRe(12, 7.0), outIm(12, 7.0), work(FftWorkspace(12));
  EXPECT_EQ(FftMixedRadix(x.re.data(), x.im.data(), 12, 1, 1, 1, outRe.data(), outIm.data(), false,
                          work.data(), int64_t(work.size()) - 1, nullptr),
            kFftNoRoom);
  EXPECT_EQ(outRe, std::vector<double>(12, 7.0));
  EXPECT_EQ(x.re, RandomSignal(12, 3).re);
}

class FftNatives : public LinalgFixture {};

TEST_F(FftNatives, LengthsAndPadding) {
  EXPECT_EQ(Show("maxabs(fft([1 2 3 4]) - [10, -2+2i, -2, -2-2i]) <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs(fft([1 2], 4) - [3, 1-2i, -1, 1+2i]) <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs(fft([1 2 3 4], 2) - [3, -1]) <= 1e-15"), "true");
  EXPECT_EQ(Show("fft(5) == 5 && ~stored_real(fft(5))"), "true");
  EXPECT_EQ(Show("isempty(fft([1 2 3], 0)) && isempty(fft([1 2 3], -2)) && isempty(fft([], 8))"),
            "true");
  EXPECT_EQ(Show("same(fft([1 2 3], []), fft([1 2 3]))"), "true");
  for (int n : {12, 14, 17, 25, 49, 121}) {
    Run("x = 1:" + std::to_string(n) + ";");
    EXPECT_EQ(Show("maxabs(ifft(fft(x)) - x) <= 1e-12"), "true") << n;
  }
  // A column along its rows, a matrix along each of its dimensions.
  Run("x = rand(5, 3);");
  EXPECT_EQ(Show("maxabs(fft(x(:, 2)) - fft(x(:, 2).').') <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs(fft(x, [], 2) - fft(x.').') <= 1e-14"), "true");
  // Padding along a third dimension; truncating it away again.
  Run("y = fft([1 2; 3 4], 3, 3);");
  EXPECT_EQ(Show("same(size(y), [2 2 3]) && maxabs(y(:, :, 2) - [1 2; 3 4]) == 0"), "true");
  EXPECT_EQ(Show("same(fft(ones(2, 2, 3), 1, 3), complex(ones(2), zeros(2)))"), "true");
}

TEST_F(FftNatives, RealMatricesArePairedAlongColumns) {
  for (const char* size : {"6, 4", "6, 5"}) {
    Run(std::string("x = rand(") + size + "); y = fft(x); z = fft(complex(x, zeros(size(x))));");
    EXPECT_EQ(Show("maxabs(y - z) <= 1e-14 * maxabs(z)"), "true") << size;
  }
  // The separated pairs are conjugate-symmetric exactly.
  Run("y = fft(rand(6, 4));");
  EXPECT_EQ(Show("all(all(y(2:6, :) == conj(y(6:-1:2, :)))) && all(imag(y(1, :)) == 0)"), "true");
}

TEST_F(FftNatives, SeveralDimensions) {
  Run("x = rand(3, 4) + 1i * rand(3, 4);");
  EXPECT_EQ(Show("maxabs(fft2(x) - fft(fft(x), [], 2)) <= 1e-14"), "true");
  EXPECT_EQ(Show("same(fft2(x, [5 6]), fft2(x, 5, 6)) && same(size(fft2(x, 4)), [4 4])"), "true");
  EXPECT_EQ(Show("maxabs(ifft2(fft2(x)) - x) <= 1e-15"), "true");
  EXPECT_EQ(Show("same(size(fftn(ones(2, 3), [2 3 4])), [2 3 4])"), "true");
  Run("v = rand(2, 3, 4); f = fftn(v);");
  EXPECT_EQ(Show("maxabs(f - fft(fft(fft(v, [], 1), [], 2), [], 3)) <= 1e-13"), "true");
  EXPECT_EQ(Show("maxabs(ifftn(f) - v) <= 1e-15"), "true");
  // No dimension longer than 1: the value, made complex.
  EXPECT_EQ(Show("fft2(3) == 3 && ~stored_real(fft2(3))"), "true");
}

TEST_F(FftNatives, Codes) {
  const std::pair<const char*, const char*> cases[] = {
      {"fft([1 2], 2, 0)", "error 34"},
      {"fftn(ones(2, 3, 2), [2 3])", "error 21"},
      {"fft2(ones(2), [2 2 2])", "error 21"},
      {"fftn(ones(2), ones(1, 17))", "error 109"},
      {"fftn(ones(2), [2 2.5])", "error 102"},
      {"fft({1})", "error 44"},
      {"fft2({1})", "error 44"},
      {"fft([1 2], 1.5)", "error 102"},
  };
  for (auto [text, code] : cases) EXPECT_EQ(Show(text), code) << text;
  // Integers and characters are taken as doubles by the engine.
  EXPECT_EQ(Show("same(fft(int8([1 2])), fft([1 2]))"), "true");
}

// Pushes a 1 x n row 1, 2, ... n.
void PushRamp(EngineContext* ctx, int32_t n) {
  std::vector<double> re;
  for (int32_t i = 1; i <= n; i++) re.push_back(i);
  test::PushArray(ctx, "double", {1, n}, re);
}

TEST(FftBreak, EndsTheNativeAfterACombination) {
  // 15 = 3 x 5: five-point combinations, then the three-point one; the
  // second poll answers the break.
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  PushRamp(ctx, 15);
  host.ScriptBreaks({false, true});
  EXPECT_EQ(ComputeFft(ctx, 1, 1, 'f'), kErrHalted);
  // A prime length is one direct sum: the break is seen after it.
  test::TestHost other;
  PushRamp(other.ctx(), 17);
  other.ScriptBreaks({true});
  EXPECT_EQ(ComputeFft(other.ctx(), 1, 1, 'f'), kErrHalted);
}

TEST(FftRoom, OneWordShortFailsAndLeavesTheArgument) {
  // fft of a real 1 x 12 row: its imaginary block (12), the complex result
  // (24), and the workspace: 24 twiddle words and two three-word records.
  const int64_t need = 12 + 24 + 24 + 6;
  for (int64_t free : {need - 1, need}) {
    test::TestHost host;
    EngineContext* ctx = host.ctx();
    ASSERT_NO_FATAL_FAILURE(test::PushFiller(ctx, 12, free));
    PushRamp(ctx, 12);
    const uint32_t dataTop = ctx->dataTop;
    if (free < need) {
      EXPECT_EQ(ComputeFft(ctx, 1, 1, 'f'), kErrDataOverflow);
      EXPECT_EQ(ctx->dataTop, dataTop);
      EXPECT_TRUE(test::ReadArray(ctx).im.empty());
      EXPECT_EQ(test::ReadArray(ctx).re[11], 12);
    } else {
      EXPECT_EQ(ComputeFft(ctx, 1, 1, 'f'), kOk);
      EXPECT_DOUBLE_EQ(test::ReadArray(ctx).re[0], 78);
    }
  }
}

}  // namespace
}  // namespace vke
