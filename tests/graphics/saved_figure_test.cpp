// The figure in _pl and _3d: the flags word, and round trips of a grid
// layout and of 3-D views through a fresh figure (free layouts: through the
// undo buffer, in the application's tests).
#include "graphics/saved_figure.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "figure_fixture.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

using test::EmptyFigure;
using test::LoggingHost;
using test::PlotList;
using V = std::vector<double>;

V Encoded(const FigureState& fig) {
  V out(LayoutValueLength(fig));
  EncodeLayout(fig, out.data());
  return out;
}

TEST(SavedFigure, FlagsWordFromScaleKindOptionsAndSelection) {
  SubplotRecord s;
  SubplotRecordClear(&s);
  SetFixedLimits(&s, 1, 5, 2, 4);
  SetScaleKindBits(&s, kScaleLogX | kScaleDbY | kScaleEqual, ~0u);
  SetOptionBits(&s, kOptXGrid | 0x4000 | kOptLegend | kOptLegendLeft, ~0u);
  // No title: no label in effect either.
  EXPECT_EQ(EncodeSubplotFlags(s, true),
            kStateLogX | kStateDbY | kStateEqual | kStateXGrid | 0x4000 | kStateNoFrame |
                kStateNoLabel | kStateSelected | kStateLegend | kStateNoMargin | 0x100000);
  SetOptionBits(&s, kOptFrame | kOptLabel | kOptMargin | kOptYGrid | kOptLegendBottom, ~0u);
  SetSubplotTitle(&s, "t", 1);
  EXPECT_EQ(EncodeSubplotFlags(s, false),
            kStateLogX | kStateDbY | kStateEqual | kStateYGrid | 0x200000);
  // Without a valid transform the frame is not in effect.
  s.transformValid = 0;
  EXPECT_TRUE(EncodeSubplotFlags(s, false) & kStateNoFrame);
}

// A 2 x 2 figure whose subplots show the four plots of `list`, each set up
// differently, with fixed scales so that their frames are in effect.
std::unique_ptr<FigureState> SetUpFigure(const PlotList& list, LoggingHost& host) {
  auto fig = EmptyFigure(2, 2);
  for (int32_t k = 0; k < 4; ++k) {
    EXPECT_EQ(ResetSubplots(fig.get(), host, k / 2, k % 2, list.plots[k], true), kOk);
    SubplotRecord* s = &fig->subplots[k];
    s->applicableScaleKinds = 0x13;
    SetFixedLimits(s, k + 1, 10 * (k + 2), k + 1, k + 5);
  }
  SetScaleKindBits(&fig->subplots[1], kScaleLogY, kScaleLogY);
  SetOptionBits(&fig->subplots[2], kOptXGrid | 0x2000, kOptXGrid | kOptGridKindMask);
  SetOptionBits(&fig->subplots[3], kOptLegendLeft | kOptLegendBottom,
                kOptLegendCorner | kOptMargin);
  fig->selection = 0b1010;
  return fig;
}

TEST(SavedFigure, GridLayoutRoundTripsThroughAFreshFigure) {
  PlotList list({"a", "b", "c", "d"});
  LoggingHost host(list.View());
  const V saved = Encoded(*SetUpFigure(list, host));
  EXPECT_EQ(saved[2], list.plots[0]);
  EXPECT_NEAR(saved[2 + 6 + 2], 2, 1e-9);  // x0 of subplot 1

  auto fresh = EmptyFigure(1, 1);
  host.calls.clear();
  ASSERT_EQ(RestoreLayout(fresh.get(), host, saved.data(), saved.size()), kOk);
  EXPECT_EQ((fresh->rows << 4) | fresh->columns, (2 << 4) | 2);
  EXPECT_EQ(fresh->selection, 0b1010u);
  const V again = Encoded(*fresh);
  ASSERT_EQ(again.size(), saved.size());
  for (size_t i = 0; i < saved.size(); ++i) EXPECT_NEAR(again[i], saved[i], 1e-9) << i;
  // Each new plot's properties start empty.
  EXPECT_EQ(host.calls, (std::vector<std::string>{"clear 0", "clear 1", "clear 2", "clear 3"}));

  // Taking the same row back again resets no plot.
  host.calls.clear();
  ASSERT_EQ(RestoreLayout(fresh.get(), host, saved.data(), saved.size()), kOk);
  EXPECT_TRUE(host.calls.empty());
}

TEST(SavedFigure, RowsOfAnotherFormChangeNothing) {
  PlotList list({"a"});
  LoggingHost host(list.View());
  auto fig = EmptyFigure(1, 2);
  const V before = Encoded(*fig);
  const std::vector<V> bad = {{},
                              {1},
                              {1, 1, 0, 0, 0, 0, 0},  // one double short
                              {0, 2, 0},
                              {NAN, 1, -3, 0, 0, 0, 0, 0},
                              {26, 1}};
  for (const V& row : bad) {
    EXPECT_EQ(RestoreLayout(fig.get(), host, row.data(), row.size()), kOk);
    EXPECT_EQ(Encoded(*fig), before);
  }
  EXPECT_TRUE(host.calls.empty());
}

TEST(SavedFigure, ViewsOfThreeDimensionalSubplotsRoundTrip) {
  auto fig = EmptyFigure(1, 3);
  SubplotRecord& s = fig->subplots[2];
  s.is3d = 1;
  s.viewFlags = 0;  // automatic vectors would be recomputed on the way back
  s.orthographic = 0;
  s.aspectAuto = 0;
  const double position[3] = {1, 2, 3}, target[3] = {4, 5, 6}, up[3] = {0, 1, 0};
  const double aspect[3] = {2, 1, 0.5};
  std::copy_n(position, 3, s.cameraPosition);
  std::copy_n(target, 3, s.cameraTarget);
  std::copy_n(up, 3, s.cameraUp);
  std::copy_n(aspect, 3, s.dataAspect);
  s.zoom = 1.5;
  ASSERT_EQ(ViewRowCount(*fig), 1);
  V rows(kViewRow);
  EncodeViews(*fig, rows.data());
  EXPECT_EQ(rows, (V{2, 0, 0, 0, 1, 2, 3, 4, 5, 6, 0, 1, 0, 1.5, 2, 1, 0.5}));

  auto fresh = EmptyFigure(1, 3);
  fresh->subplots[2].is3d = 1;
  ASSERT_TRUE(ApplyView(fresh.get(), rows.data()));
  V again(kViewRow);
  EncodeViews(*fresh, again.data());
  EXPECT_EQ(again, rows);
  for (double k : {3.0, -1.0, double{NAN}}) {
    rows[0] = k;
    EXPECT_FALSE(ApplyView(fresh.get(), rows.data()));
  }
}

}  // namespace
}  // namespace vke
