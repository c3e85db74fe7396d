// The figure in the instance's variables and the commands that step undo
// versions or run handlers: _pl and _3d through the undo buffer, plot
// choice with undo and redo, keys to handlers or to the figure, and
// selecting all subplots.
#include "app/figure_commands.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "app/draw_cycle.hpp"
#include "app/figure_queries.hpp"
#include "app/figure_variables.hpp"
#include "app/instance_figure.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/port_recording.hpp"
#include "graphics/saved_figure.hpp"
#include "graphics/scale.hpp"
#include "graphics/text_field_edit.hpp"
#include "tests/app/figure_app.hpp"

namespace vke {
namespace {

using V = std::vector<double>;

// Instance 0 with the plots "a", "b" and "c", initialised, in a grid of
// empty subplots.
struct Commands : test::FigureApp {
  Commands(int32_t rows, int32_t columns) : FigureApp(rows, columns) {
    for (const char* name : {"a", "b", "c"}) AddPlot(name);
  }
  void Ready() {
    Load();
    FindInstance(block(), 0)->initialised = 1;
  }
  KVContextBlock** slot() { return &slot_; }
  V Layout() {
    V out(LayoutValueLength(figure()));
    EncodeLayout(figure(), out.data());
    return out;
  }
  KVContextBlock* slot_ = block();
};

TEST(FigureVariables, LayoutAndViewsRoundTripThroughTheUndoBuffer) {
  Commands h(2, 2);
  h.Ready();
  InstanceFigureHost host(h.block(), 0);
  ASSERT_EQ(ResetSubplots(&h.figure(), host, 0, 1, h.plots[2], true), kOk);
  SetFixedLimits(&h.subplot(1), 1, 2, 3, 4);
  SetScaleKindBits(&h.subplot(1), kScaleLogY, kScaleLogY);
  h.subplot(3).is3d = 1;
  h.subplot(3).zoom = 2.5;
  h.figure().selection = 0b1000;
  const V saved = h.Layout();
  ASSERT_EQ(SaveFigureState(h.block(), 0), kOk);
  ASSERT_EQ(PushUndoValue(h.block(), 0, 0, kVar3d), kOk);
  EXPECT_EQ(h.Numbers().size(), size_t{kViewRow});

  ASSERT_EQ(SetSubplotLayout(&h.figure(), 1, 1), kOk);
  h.subplot(3).zoom = 1;
  ASSERT_EQ(RestoreFigureState(h.block(), 0), kOk);
  const V again = h.Layout();
  ASSERT_EQ(again.size(), saved.size());
  for (size_t i = 0; i < saved.size(); ++i) EXPECT_NEAR(again[i], saved[i], 1e-9) << i;
  EXPECT_EQ(h.subplot(3).zoom, 2.5);

  // A value of another form in _pl is ignored.
  ASSERT_EQ(PushCString(h.ctx(), -1, "text"), kOk);
  ASSERT_EQ(StoreUndoValue(h.block(), 0, 0, kVarPl), kOk);
  ASSERT_EQ(RestoreFigureState(h.block(), 0), kOk);
  EXPECT_EQ(h.Layout(), again);
  EXPECT_EQ(SaveFigureState(h.block(), 4), kKvNonexistentInstance);
  EXPECT_EQ(RestoreFigureState(h.block(), 4), kKvNonexistentInstance);
}

TEST(FigureVariables, FreeLayoutRoundTrips) {
  Commands h(3, 1);
  h.Ready();
  InstanceFigureHost host(h.block(), 0);
  ASSERT_EQ(MakeLayoutFree(&h.figure(), host, true), kOk);
  for (int32_t k = 0; k < 3; ++k) SetSubplotViewport(&h.subplot(k), 10 * k, 100, 20, 200 + k);
  ASSERT_EQ(SaveFigureState(h.block(), 0), kOk);
  const V saved = h.Layout();
  ASSERT_EQ(saved.size(), 32u);
  ASSERT_EQ(SetSubplotLayout(&h.figure(), 2, 2), kOk);
  ASSERT_EQ(RestoreFigureState(h.block(), 0), kOk);
  EXPECT_EQ(h.Layout(), saved);
}

TEST(FigureCommands, UndoAndRedoOfAPlotChoice) {
  Commands h(1, 1);
  h.Ready();
  // Nothing to undo yet: nothing happens.
  EXPECT_EQ(UndoFigureStep(h.slot(), 0), kOk);
  EXPECT_FALSE(CanUndoFigure(h.block(), 0));
  ASSERT_EQ(ChoosePlot(h.slot(), 0, h.plots[0]), kStatusRepaint);
  ASSERT_EQ(ChoosePlot(h.slot(), 0, h.plots[1]), kStatusRepaint);
  EXPECT_EQ(h.subplot(0).plotId, h.plots[1]);
  EXPECT_TRUE(CanUndoFigure(h.block(), 0));
  EXPECT_EQ(UndoFigureStep(h.slot(), 0), kStatusRepaint);
  EXPECT_EQ(h.subplot(0).plotId, h.plots[0]);
  EXPECT_TRUE(CanRedoFigure(h.block(), 0));
  EXPECT_EQ(RedoFigureStep(h.slot(), 0), kStatusRepaint);
  EXPECT_EQ(h.subplot(0).plotId, h.plots[1]);
  EXPECT_EQ(RedoFigureStep(h.slot(), 0), kOk);
  EXPECT_EQ(ChoosePlot(h.slot(), 9, 0), kKvNonexistentInstance);
}

// Each key that changes a plot asks for the repaint that shows it, as the
// Plots menu does; without a single selected subplot "+" does nothing.
TEST(FigureCommands, FigureKeysStepAndRemovePlots) {
  Commands h(1, 1);
  h.Ready();
  EXPECT_EQ(HandleFigureKey(h.slot(), 0, '+'), kStatusRepaint);
  EXPECT_EQ(h.subplot(0).plotId, h.plots[0]);
  EXPECT_EQ(HandleFigureKey(h.slot(), 0, '-'), kStatusRepaint);
  EXPECT_EQ(h.subplot(0).plotId, h.plots[2]);
  EXPECT_EQ(HandleFigureKey(h.slot(), 0, 127), kStatusRepaint);
  EXPECT_EQ(h.subplot(0).handlers[kHandlerDraw], kNoHandler);
  EXPECT_EQ(HandleFigureKey(h.slot(), 0, kKeyBackspace), kStatusRepaint);
  EXPECT_EQ(HandleFigureKey(h.slot(), 0, 'x'), kKvUndefElement);

  Commands grid(1, 2);
  grid.Ready();
  EXPECT_EQ(HandleFigureKey(grid.slot(), 0, '+'), kOk);
  grid.figure().selection = 0b10;
  EXPECT_EQ(HandleFigureKey(grid.slot(), 0, '+'), kStatusRepaint);
  EXPECT_EQ(grid.subplot(1).plotId, grid.plots[0]);
}

TEST(FigureCommands, KeysGoToTheHandlerThatListsThem) {
  Commands h(1, 1);
  constexpr int32_t kFails = kVarPl;  // no function of that name
  h.list.TextHandler(kElemKey, "ab\xc3\xa9", test::Descriptor(kFails));
  h.Ready();
  const bool before = CanUndoFigure(h.block(), 0);
  // A handler that fails leaves no undo version behind.
  for (uint32_t key : {uint32_t{'b'}, 0xE9u}) {
    const ErrCode rc = HandleFigureKey(h.slot(), 0, key);
    EXPECT_NE(rc, kOk);
    EXPECT_NE(rc, kKvUndefElement);
    EXPECT_EQ(CanUndoFigure(h.block(), 0), before);
  }
  // Keys it does not list go to the figure.
  EXPECT_EQ(HandleFigureKey(h.slot(), 0, 'x'), kKvUndefElement);
  // A handler that runs keeps its undo version and the figure is redrawn.
  Commands ok(1, 1);
  ok.list.TextHandler(kElemKey, "k", test::Descriptor());
  ok.Ready();
  EXPECT_EQ(HandleFigureKey(ok.slot(), 0, 'k'), kStatusRepaint);
  EXPECT_TRUE(CanUndoFigure(ok.block(), 0));
  // A handler with an empty key list takes every other key.
  Commands d(1, 1);
  d.list.TextHandler(kElemKey, "", test::Descriptor(kFails));
  d.Ready();
  EXPECT_NE(HandleFigureKey(d.slot(), 0, 'x'), kKvUndefElement);
}

TEST(FigureCommands, SelectingAllSubplots) {
  Commands h(2, 2);
  h.Ready();
  RecordingPort rec;
  h.block()->portFunctions = &rec.port();
  h.block()->portTarget = rec.target();
  EXPECT_EQ(SelectAllSubplots(h.block(), 0, true), kOk);
  EXPECT_EQ(h.figure().selection, 0b1111u);
  size_t marks = 0;
  for (const PortCall& c : rec.calls()) marks += c.slot == PortSlot::drawFocusRect;
  EXPECT_EQ(marks, 4u);
  h.block()->portFunctions = nullptr;
  EXPECT_EQ(SelectAllSubplots(h.block(), 0, false), kStatusRepaint);
  EXPECT_EQ(h.figure().selection, 0u);
  // Flag 8 withholds the command.
  h.figure().flags = 8;
  EXPECT_EQ(SelectAllSubplots(h.block(), 0, true), kOk);
  EXPECT_EQ(h.figure().selection, 0u);
  EXPECT_EQ(SelectAllSubplots(h.block(), 3, true), kKvNonexistentInstance);
}

TEST(FigureCommands, PlotChoiceStatesAndOfferedCommands) {
  Commands h(2, 2);
  h.Ready();
  auto state = [&](int32_t plot) { return GetSubplotSelectionState(h.block(), 0, plot); };
  // A grid with nothing selected offers no choice.
  EXPECT_EQ(state(h.plots[0]), 0u);
  EXPECT_EQ(state(kPlotNone), 0u);
  h.figure().selection = 0b10;
  ASSERT_EQ(ChoosePlot(h.slot(), 0, h.plots[1]), kStatusRepaint);
  EXPECT_EQ(state(h.plots[1]), 3u);
  EXPECT_EQ(state(h.plots[0]), 1u);
  // Two selected subplots: enabled, none checked.
  h.figure().selection = 0b11;
  EXPECT_EQ(state(h.plots[1]), 1u);
  // Free layout with room: every plot but the default one, with nothing
  // selected; no room: nothing.
  h.figure().selection = 0;
  h.figure().freeLayout = 1;
  h.figure().rows = 2;
  h.figure().columns = 1;
  EXPECT_EQ(state(h.plots[2]), 1u);
  EXPECT_EQ(state(kPlotNone), 1u);
  EXPECT_EQ(state(kPlotDefault), 0u);
  h.figure().rows = h.figure().maxSubplots;
  EXPECT_EQ(state(h.plots[2]), 0u);
  EXPECT_EQ(GetSubplotSelectionState(h.block(), 7, h.plots[0]), 0u);

  // Flag 2 withholds command 4 (layouts and plot choices) and nothing else.
  EXPECT_TRUE(GetInstanceMenuState(h.block(), 0, 4));
  h.figure().flags = 2;
  EXPECT_FALSE(GetInstanceMenuState(h.block(), 0, 4));
  EXPECT_TRUE(GetInstanceMenuState(h.block(), 0, 7));
  EXPECT_FALSE(GetInstanceMenuState(h.block(), 0, 0));
  EXPECT_FALSE(GetInstanceMenuState(h.block(), 0, 10));
  EXPECT_FALSE(GetInstanceMenuState(h.block(), 7, 4));
}

}  // namespace
}  // namespace vke
