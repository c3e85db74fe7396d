// The layout natives on an instance with three plots: the layout text and
// its round trip, subplot's forms and what a new layout clears, clf and
// redraw in the instance-wide step, the property, position, size and spring
// tables, and the plot properties list.
#include "app/layout_natives.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_values.hpp"
#include "engine/memory_retry.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"
#include "graphics/saved_figure.hpp"
#include "graphics/scale.hpp"
#include "tests/app/figure_app.hpp"

namespace vke {
namespace {

using V = std::vector<double>;

// Instance 0 with the plots "alpha", "beta" and "gamma", each drawn by a
// handler.
struct Layout : test::FigureApp {
  explicit Layout(int32_t rows = 1, int32_t columns = 1) : FigureApp(rows, columns) {
    for (const char* name : {"alpha", "beta", "gamma"}) AddPlot(name);
    Load();
  }
  // An instance-wide step: the object open and the in-figure flag set.
  void Step() {
    Open();
    block()->nativeCall.flag = 1;
  }
  // Elements of the current _pl.
  size_t SavedLayoutLength() {
    EXPECT_EQ(PushUndoValue(block(), 0, 0, kVarPl), kOk);
    return Numbers().size();
  }
};

TEST(SubplotsNative, LayoutTextRoundTrips) {
  Layout h;
  const auto& p = h.plots;
  ASSERT_EQ(h.Text("alpha\tbeta\ngamma").Run("subplots"), kOk);
  EXPECT_EQ(h.figure().rows * 10 + h.figure().columns, 22);
  EXPECT_EQ(h.PlotIds(), (std::vector<int32_t>{p[0], p[1], p[2], kPlotNone}));
  EXPECT_EQ(h.callFlags(), kCallFlagDrew | kCallFlagRedraw);
  EXPECT_EQ(h.SavedLayoutLength(), 2u + 4 * 6);
  ASSERT_EQ(h.Run("subplots", 1), kOk);
  const std::string text = test::PopText(h.ctx());
  EXPECT_EQ(text, "alpha\tbeta\ngamma\t");
  ASSERT_EQ(h.Text("beta").Run("subplots"), kOk);
  ASSERT_EQ(h.Text(text.c_str()).Run("subplots"), kOk);
  EXPECT_EQ(h.PlotIds(), (std::vector<int32_t>{p[0], p[1], p[2], kPlotNone}));
}

TEST(SubplotsNative, CellsNameWholePlotNamesAndEveryLineBreakCounts) {
  Layout h;
  ASSERT_EQ(h.Text("delta\talphabet\tbeta\x01 note").Run("subplots"), kOk);
  EXPECT_EQ(h.PlotIds(), (std::vector<int32_t>{kPlotDefault, kPlotDefault, h.plots[1]}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.subplot(0).title)), "???");
  ASSERT_EQ(h.Text("alpha\r\ngamma").Run("subplots"), kOk);
  EXPECT_EQ(h.PlotIds(), (std::vector<int32_t>{h.plots[0], kPlotNone, h.plots[2]}));
  EXPECT_EQ(h.Table(1, 1, {1}).Run("subplots"), kErrWrongTypeOverload);
  test::FigureHarness bare;  // no instance-start element
  EXPECT_EQ(bare.Call("subplots", 0, 1), kErrBadContext);
}

TEST(SubplotNative, FormsLayoutsAndTheGroupDrawnNext) {
  Layout h;
  h.Step();
  ASSERT_EQ(h.Table(1, 1, {221}).Run("subplot"), kOk);
  EXPECT_EQ(h.figure().rows * 10 + h.figure().columns, 22);
  EXPECT_EQ(h.block()->capture.currentObject, 0);
  EXPECT_EQ(h.callFlags(), kCallFlagDrew);
  test::PushRow(h.ctx(), "double", {1, 2});
  ASSERT_EQ(h.Run("plot"), kOk);
  // The same layout keeps what was drawn; the next group opens.
  ASSERT_EQ(h.Table(1, 1, {2}).Table(1, 1, {2}).Table(1, 1, {4}).Run("subplot"), kOk);
  EXPECT_EQ(h.block()->capture.currentObject, 3);
  EXPECT_EQ(h.Commands(0).size(), 1u);
  ASSERT_EQ(h.Commands(3).size(), 0u);
  // Another layout clears it.
  ASSERT_EQ(h.Text("131").Run("subplot"), kOk);
  EXPECT_EQ(h.figure().columns, 3);
  EXPECT_EQ(h.used(), 7u);
  EXPECT_EQ(h.block()->capture.currentObject, 0);

  for (double bad : {555.0, 110.0, 1000.0, 251.0, 205.0}) {
    EXPECT_EQ(h.Table(1, 1, {bad}).Run("subplot"), kErrBadArg) << bad;
  }
  for (const char* bad : {"22", "2210", "201", "2a1"}) {
    EXPECT_EQ(h.Text(bad).Run("subplot"), kErrBadArg) << bad;
  }
  EXPECT_EQ(h.Table(1, 1, {2}).Table(1, 1, {2}).Run("subplot"), kErrTooManyArgin);
  // Only the instance-wide step may change the layout this way.
  h.block()->nativeCall.flag = 0;
  EXPECT_EQ(h.Table(1, 1, {111}).Run("subplot"), kErrBadContext);
  EXPECT_EQ(h.Run("clf"), kErrBadContext);
  EXPECT_EQ(h.Run("redraw"), kErrBadContext);
}

TEST(SubplotNative, ClfLeavesOneEmptySubplotAndRedrawAsks) {
  Layout h(2, 2);
  h.Step();
  h.block()->capture.currentObject = 3;
  ASSERT_TRUE(
      AppendObjectBeginCommand(ObjectList(h.block()->DataArea()).At(h.block()->capture.start),
                               h.block()->capture.capacity, &h.block()->capture.used, 3));
  ASSERT_EQ(h.Run("clf"), kOk);
  EXPECT_EQ(h.figure().rows * 10 + h.figure().columns, 11);
  EXPECT_EQ(h.used(), 0u);
  EXPECT_EQ(h.block()->capture.currentObject, 0);
  ASSERT_EQ(h.Run("redraw"), kOk);
  EXPECT_EQ(h.callFlags(), kCallFlagDrew | kCallFlagRedraw);
}

// A reset of the subplots that finds no room part of the way has reset
// some of them and cleared their properties: run again where it stands, it
// would pass them over and keep the properties of the rest. Cut short, clf
// and subplot say they cannot run again, so that the handler runs again
// from the figure it found.
TEST(SubplotNative, AResetCutShortIsNotRunAgainWhereItStands) {
  Layout h(1, 3);
  FindInstance(h.block(), 0)->initialised = 1;
  int cutShort = 0;
  for (const char* step : {"clf", "subplot"}) {
    for (uint64_t k = 1;; ++k) {
      ASSERT_EQ(h.Text("alpha\tbeta\tgamma").Run("subplots"), kOk);
      h.Step();
      if (step[0] == 's') h.Table(1, 1, {131});
      h.ctx()->instructionLevel = h.ctx()->descTop;
      WatchRoomRequests(k);
      const ErrCode e = h.Run(step);
      RoomKind kind;
      const bool refused = RoomRequestRefused(&kind);
      StopWatchingRoomRequests();
      if (!refused) break;
      if (!IsEngineMemoryCode(e) || e == kErrPlotOverflow) continue;
      ++cutShort;
      EXPECT_TRUE(OperandsChanged(h.ctx())) << step << " " << k << " " << RoomKindName(kind);
    }
  }
  EXPECT_GT(cutShort, 0);
}

TEST(SubplotPropsNative, TablesOfPropertiesAndViews) {
  Layout h(1, 2);
  const double flags = kStateLogX | kStateXGrid | kStateNoMargin;
  ASSERT_EQ(h.Table(2, 5, {flags, 1, 10, 0, 5, 0, 0, 0, 0, 0}).Run("subplotprops"), kOk);
  EXPECT_EQ(h.subplot(0).scaleKind, kScaleLogX);
  EXPECT_TRUE(IsScaleLocked(h.subplot(0)));
  EXPECT_FALSE(h.subplot(0).optionWord & kOptMargin);
  ASSERT_EQ(h.Run("subplotprops", 1), kOk);
  const V props = h.Numbers();
  ASSERT_EQ(props.size(), 10u);
  EXPECT_EQ(static_cast<uint32_t>(props[0]) & (kStateLogX | kStateXGrid | kStateNoMargin), flags);
  EXPECT_NEAR(props[1], 1, 1e-9);
  EXPECT_NEAR(props[2], 10, 1e-9);
  // 3-D views by subplot index.
  h.subplot(1).is3d = 1;
  V view(kViewRow, 1);
  view[0] = 1;
  view[1] = 0;  // a camera set in full, nothing automatic
  ASSERT_EQ(h.Table(0, 0, {}).Table(1, kViewRow, view).Run("subplotprops"), kOk);
  ASSERT_EQ(h.Run("subplotprops", 2), kOk);
  h.Numbers();
  EXPECT_EQ(h.Numbers(), view);
  view[0] = 2;
  EXPECT_EQ(h.Table(0, 0, {}).Table(1, kViewRow, view).Run("subplotprops"), kErrIndexOutOfRange);
  EXPECT_EQ(h.Table(1, 5, {0, 0, 0, 0, 0}).Run("subplotprops"), kErrBadSize);
  EXPECT_EQ(h.Table(2, 4, V(8, 0)).Run("subplotprops"), kErrBadSize);
}

TEST(SubplotPosNative, PositionsMakeTheLayoutFree) {
  Layout h(1, 2);
  EXPECT_EQ(h.Run("subplotpos", 1), kOk);
  EXPECT_EQ(h.Numbers(), V{});  // a grid has no positions to give
  const V pos = {10, 210, 20, 220, 300, 600, 0, 480};
  ASSERT_EQ(h.Table(2, 4, pos).Run("subplotpos"), kOk);
  EXPECT_TRUE(h.figure().freeLayout);
  EXPECT_EQ(h.figure().springs[1].stiffness[kSpringFar], 0);
  ASSERT_EQ(h.Run("subplotpos", 1), kOk);
  EXPECT_EQ(h.Numbers(), pos);
  EXPECT_EQ(h.Table(1, 4, {0, 1, 0, 1}).Run("subplotpos"), kErrBadSize);
  ASSERT_EQ(h.Table(0, 0, {}).Run("subplotpos"), kOk);
  EXPECT_EQ(h.subplot(0).position[kRight], 210);
}

TEST(SubplotSizeNative, TheFigureSizeAndAFreeLayoutFollowing) {
  Layout h(1, 2);
  ASSERT_EQ(h.Table(2, 4, {0, 320, 0, 480, 320, 640, 0, 480}).Run("subplotpos"), kOk);
  for (double* s = h.figure().springs[1].stiffness; s != h.figure().springs[1].stiffness + 6; ++s) {
    *s = 0.5;
  }
  ASSERT_EQ(h.Table(1, 2, {1280, 480}).Run("subplotsize"), kOk);
  EXPECT_EQ(h.figure().rect[kRight], 1280);
  EXPECT_EQ(h.subplot(1).position[kLeft], 640);   // proportional
  EXPECT_EQ(h.subplot(0).position[kRight], 320);  // anchored
  ASSERT_EQ(h.Table(1, 1, {300.5}).Table(1, 1, {200}).Run("subplotsize"), kOk);
  ASSERT_EQ(h.Run("subplotsize", 2), kOk);
  EXPECT_EQ(test::TopScalar(h.ctx()), 300.5);
  Drop(h.ctx(), 2);
  ASSERT_EQ(h.Run("subplotsize", 1), kOk);
  EXPECT_EQ(h.Numbers(), (V{301, 200}));
  EXPECT_EQ(h.Table(1, 1, {0}).Table(1, 1, {5}).Run("subplotsize"), kErrBadArg);
  EXPECT_EQ(h.Table(1, 3, {1, 2, 3}).Run("subplotsize"), kErrBadSize);
}

TEST(SubplotSpringNative, SpringsRoundTrip) {
  Layout h(2, 1);
  const V springs = {1, 0.5, 0, 1, 1, 0, 0.25, 0.5, 0.75, 1, 0, 1};
  ASSERT_EQ(h.Table(2, 6, springs).Run("subplotspring"), kOk);
  EXPECT_TRUE(h.figure().freeLayout);
  ASSERT_EQ(h.Run("subplotspring", 1), kOk);
  EXPECT_EQ(h.Numbers(), springs);
  EXPECT_EQ(h.Table(2, 5, V(10, 1)).Run("subplotspring"), kErrBadSize);
}

TEST(SubplotParamNative, ListEntriesBecomeEachSubplotsProperties) {
  Layout h(1, 3);
  for (double v : {7.0, 8.0}) PushRealScalar(h.ctx(), v);
  ASSERT_EQ(PushListFromEntries(h.ctx(), 2, false, nullptr, 0), kOk);
  ASSERT_EQ(h.Run("subplotparam", 0), kOk);
  EXPECT_EQ(test::EntryCount(h.ctx()), 0);
  ASSERT_EQ(h.Run("subplotparam", 1), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetListParts(h.ctx(), 0, &parts), kOk);
  ASSERT_EQ(parts.elements, 3);
  for (int32_t i = 1; i <= 3; ++i) {
    ASSERT_EQ(GetListElement(h.ctx(), 0, i), kOk);
    EXPECT_EQ(h.Numbers(), i == 3 ? V{} : V{6.0 + i}) << i;
  }
  EXPECT_EQ(h.Table(1, 1, {1}).Run("subplotparam"), kErrWrongTypeOverload);
}

}  // namespace
}  // namespace vke
