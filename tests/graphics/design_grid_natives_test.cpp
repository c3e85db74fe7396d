// The grid natives and erlocus on a figure: the commands they write, the
// limits and grid kind they set, their styles, their argument errors, and
// statement calls from a draw handler.
#include "graphics/design_grid_natives.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/block.hpp"
#include "engine/values/values.hpp"
#include "graphics/scale.hpp"
#include "tests/host/figure_harness.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using V = std::vector<double>;

struct Figure : test::FigureHarness {
  Figure& M(int32_t rows, int32_t cols, const V& v) {
    test::PushArray(ctx(), "double", {rows, cols}, v);
    args++;
    return *this;
  }
  Figure& R(const V& v) { return M(v.empty() ? 0 : 1, static_cast<int32_t>(v.size()), v); }
  Figure& T(const char* t) {
    EXPECT_EQ(PushCString(ctx(), -1, t), kOk);
    args++;
    return *this;
  }
  // Calls the native on the arguments pushed as a statement: on success
  // nothing is left, on failure the arguments.
  ErrCode Run(const char* name) {
    const int32_t n = args;
    args = 0;
    const ErrCode e = Call(name, n, -1);
    EXPECT_EQ(test::EntryCount(ctx()), e == kOk ? 0 : n) << name;
    Drop(ctx(), test::EntryCount(ctx()));
    return e;
  }
  std::vector<int32_t> Codes() const {
    std::vector<int32_t> codes;
    for (const auto& c : Commands(0)) codes.push_back(c.header.code);
    return codes;
  }
  int32_t args = 0;
};

TEST(DesignGridNatives, WholeGridsOpenTheGroupAndWidenTheLimits) {
  Figure f;
  f.Open();  // an instance-wide step: the native writes command 70 itself
  f.SelectSubplot(0);
  ASSERT_EQ(f.Run("zgrid"), kOk);
  EXPECT_EQ(f.Payload()[0], kCmdObjectBegin);
  EXPECT_EQ(f.Codes(), (std::vector<int32_t>{kCmdZGrid}));
  const SubplotRecord& s = f.subplot(0);
  EXPECT_LE(LimitMin(s, kAxisX), -1.1);
  EXPECT_GE(LimitMax(s, kAxisX), 1.1);
  EXPECT_LE(LimitMin(s, kAxisY), -1.1);
  EXPECT_GE(LimitMax(s, kAxisY), 1.1);
  EXPECT_EQ(s.optionWord & kOptGridKindMask, 0x2000u);
  EXPECT_EQ(f.callFlags(), kCallFlagDrew);
  ASSERT_EQ(f.Run("zgrid"), kOk);
  EXPECT_EQ(f.Codes(), (std::vector<int32_t>{kCmdZGrid, kCmdZGrid}));
  // A grid kind chosen before stays.
  Figure g;
  g.subplot(0).optionWord = (g.subplot(0).optionWord & ~kOptGridKindMask) | 0x4000;
  g.subplot(0).gridSet = 1;
  ASSERT_TRUE(g.BeginSubplot(0));
  ASSERT_EQ(g.Run("ngrid"), kOk);
  EXPECT_EQ(g.subplot(0).optionWord & kOptGridKindMask, 0x4000u);
  // The Nichols chart's extent: a phase of -2 pi to 0.
  EXPECT_LE(LimitMin(g.subplot(0), kAxisX), -2 * M_PI + 1e-12);
  EXPECT_GE(LimitMax(g.subplot(0), kAxisY), 2.0);
}

TEST(DesignGridNatives, CurvesForGivenValuesInTheirStyle) {
  Figure f;
  ASSERT_TRUE(f.BeginSubplot(0));
  f.R({0.2, 0.5}).R({1, 2, 3}).T("g");
  ASSERT_EQ(f.Run("sgrid"), kOk);
  const auto cmds = f.Commands(0);
  ASSERT_EQ(cmds.size(), 5u);
  const V values = {1, 2, 3, 0.2, 0.5};
  for (size_t k = 0; k < 5; k++) {
    EXPECT_EQ(cmds[k].header.code, k < 3 ? kCmdSGridFrequency : kCmdSGridDamping);
    EXPECT_EQ(cmds[k].data, (V{values[k]}));
    EXPECT_EQ(cmds[k].header.colour, 0x00FF00u);
    EXPECT_EQ(cmds[k].header.id, -1);
    EXPECT_EQ(cmds[k].header.index, -1);
  }
  // Without a style the instance's grid style; zgrid's arrays give 52, 51.
  PlotStyle& grid = f.figure().styles[kFigureStyleGrid];
  grid = PlotStyle{0x40, 0x12, 0x34, 0x56, 0};
  f.R({0.5}).R({1});
  ASSERT_EQ(f.Run("zgrid"), kOk);
  const auto last = f.Commands(0);
  EXPECT_EQ(last[5].header.code, kCmdZGridFrequency);
  EXPECT_EQ(last[6].header.code, kCmdZGridDamping);
  EXPECT_EQ(last[6].header.style, 0x40u);
  EXPECT_EQ(last[6].header.colour, 0x123456u);
  // A style of its own changes only what it names.
  f.T(":");
  ASSERT_EQ(f.Run("hgrid"), kOk);
  EXPECT_EQ(f.Commands(0).back().header.style, uint32_t(kKindDot));
  EXPECT_EQ(f.Commands(0).back().header.colour, 0x123456u);
  f.T("q");
  EXPECT_EQ(f.Run("ngrid"), kErrUnknownOpt);
  f.R({1});
  EXPECT_EQ(f.Run("hgrid"), kErrWrongType);
  f.LimitRoom(13);
  f.R({0.2, 0.5}).R({1});
  EXPECT_EQ(f.Run("zgrid"), kKvPlotOverflow);
  EXPECT_EQ(f.Commands(0).size(), 8u);
}

TEST(DesignGridNatives, ErrorLocusCommand) {
  Figure f;
  ASSERT_TRUE(f.BeginSubplot(0));
  f.R({1, 2, 1}).M(2, 2, {1, 0, 0, 1}).R({1, 2}).M(2, 3, {1, 0, 0, 0, 0, 1});
  ASSERT_EQ(f.Run("erlocus"), kOk);
  auto c = f.Commands(0).back();
  EXPECT_EQ(c.header.code, kCmdErrorLocus);
  EXPECT_EQ(c.header.index, 1);
  ASSERT_EQ(c.data.size(), 12u);  // (n + 1) n + k + ceil(3k / 8) + 3
  EXPECT_EQ(V(c.data.begin(), c.data.begin() + 11), (V{2, 1, 2, 1, 1, 0, 0, 1, 2, 1, 4}));
  uint8_t bytes[8];
  std::memcpy(bytes, &c.data[11], 8);
  EXPECT_EQ(V(bytes, bytes + 8), (V{255, 0, 0, 0, 0, 255, 0, 0}));
  // The double root -1 joins the limits.
  EXPECT_LE(LimitMin(f.subplot(0), kAxisX), -1);
  // Colours beyond 0..1, and NaN, become bytes in range.
  f.R({1, 1}).M(1, 1, {0.1}).R({1, 2}).M(2, 3, {1.5, -0.5, NAN, 0.5, 2, 0});
  ASSERT_EQ(f.Run("erlocus"), kOk);
  c = f.Commands(0).back();
  std::memcpy(bytes, &c.data[7], 8);
  EXPECT_EQ(V(bytes, bytes + 6), (V{255, 0, 0, 127, 255, 0}));
  // Nothing for an empty M and a constant P; sizes that do not fit.
  const size_t count = f.Commands(0).size();
  f.R({3}).R({});
  ASSERT_EQ(f.Run("erlocus"), kOk);
  EXPECT_EQ(f.Commands(0).size(), count);
  f.R({1, 3}).R({});
  EXPECT_EQ(f.Run("erlocus"), kErrIncompSize);
  f.R({1, 2, 1}).M(2, 2, {1, 0, 0, 1}).R({1});
  EXPECT_EQ(f.Run("erlocus"), kErrTooManyArgin);
  f.R({1, 2, 1}).M(2, 2, {1, 0, 0, 1}).R({1}).M(1, 2, {1, 0});
  EXPECT_EQ(f.Run("erlocus"), kErrBadSize);
  f.R({1, 2, 1}).M(2, 2, {1, 0, 0, 1}).M(2, 2, {1, 2, 3, 4}).M(1, 3, {1, 0, 0});
  EXPECT_EQ(f.Run("erlocus"), kErrNonVector);
  f.R({1, 2, 1}).M(2, 2, {1, 0, 0, 1}).R({1, 2}).M(1, 3, {1, 0, 0});
  EXPECT_EQ(f.Run("erlocus"), kErrIncompSize);
  f.M(3, 1, {1, 2, 1}).M(2, 2, {1, 0, 0, 1});
  EXPECT_EQ(f.Run("erlocus"), kErrNonRowVector);
  f.R({1, 2}).M(2, 2, {1, 0, 0, 1});
  EXPECT_EQ(f.Run("erlocus"), kErrIncompSize);
  f.R({1, 2, 1}).M(2, 3, {1, 0, 0, 1, 0, 0});
  EXPECT_EQ(f.Run("erlocus"), kErrIncompSize);
}

TEST(DesignGridNatives, StatementCallsFromADrawHandler) {
  test::FigureHarness f;
  ASSERT_EQ(f.Draw(0,
                   "zgrid; sgrid([0.5], [1 2]); hgrid('r'); ngrid;\n"
                   "erlocus([1 2 1], eye(2)); plotroots([1 0 -1]);\n"
                   "a = 1;"),
            kOk)
      << f.TakeOutput();
  EXPECT_EQ(f.Commands(0).size(), 9u);
  // Outside a figure they answer 400.
  EXPECT_EQ(f.Draw(-1, "zgrid;"), kErrBadContext);
}

}  // namespace
}  // namespace vke
