// Drawing a whole figure from its object in the store: the groups in turn,
// the background, selection marks and drag outlines with and without an
// inverting focus slot, the highlighted label style, and commands still
// being written.
#include "graphics/figure_draw.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "command_list.hpp"
#include "decoration_fixture.hpp"
#include "figure_fixture.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

using test::CallsOf;
using test::CommandList;
using test::CountCalls;
using test::EmptyFigure;
using test::PlotList;
using test::Polylines;
using V = std::vector<double>;

constexpr int32_t kId = 3;

// A store holding instance kId's object, a figure whose subplots show data
// on 0..10, and a recording port.
struct Canvas {
  explicit Canvas(int32_t rows = 1, int32_t columns = 2) : fig(EmptyFigure(rows, columns)) {
    EXPECT_EQ(ObjectListInit(store.data(), static_cast<uint32_t>(store.size())), kOk);
    for (int32_t k = 0; k < ActiveSubplotCount(*fig); ++k) {
      test::AddPoints(&fig->subplots[k], {0, 10}, {0, 10});
    }
    rec.SetCharCell(10, 12);
  }
  // Writes the commands as the instance's object; `keepOpen` leaves it being
  // written with subplot 0 current.
  void Store(const CommandList& commands, bool keepOpen = false) {
    BeginObjectListCapture(list(), &writer, kId, true);
    for (double v : commands.d) list().Set(writer.start + writer.used++, v);
    writer.currentObject = 0;
    if (!keepOpen) {
      writer.currentObject = -1;
      EXPECT_EQ(EndObjectListCapture(list(), &writer), kOk);
    }
  }
  ObjectList list() { return ObjectList(store.data()); }
  FigureCanvas View(bool focus = true) {
    if (!focus) rec.RemoveSlot(PortSlot::drawFocusRect);
    return FigureCanvas{list(),      &writer, kId,         fig.get(),
                        highlighted, &drag,   &rec.port(), rec.target()};
  }

  std::vector<double> store = std::vector<double>(4096);
  ObjectWriterState writer = kNoObjectWriter;
  std::unique_ptr<FigureState> fig;
  uint32_t highlighted = 0;
  SubplotDragState drag{};
  RecordingPort rec;
};

CommandList TwoGroups() {
  CommandList c;
  c.Begin(0).Add(kCmdPolyline, {2, 1, 9, 1, 9}).Begin(1).Add(kCmdPolyline, {1, 5, 5});
  return c;
}

TEST(FigureDraw, EveryGroupThenTheSelectionMarks) {
  Canvas c;
  c.Store(TwoGroups());
  c.fig->selection = 0b10;
  DrawFigure(c.View());
  const auto& calls = c.rec.calls();
  ASSERT_GE(calls.size(), 4u);
  // The background over the layout and one figure extent beyond it.
  EXPECT_EQ(calls[0].slot, PortSlot::clipRect);
  EXPECT_EQ(calls[1].slot, PortSlot::fillBackground);
  EXPECT_EQ(calls[1].values, (V{0, 0, 1200, 800, 0}));
  // Each subplot's viewport filled white before its data.
  const auto fills = CallsOf(c.rec, PortSlot::fillBackground);
  ASSERT_EQ(fills.size(), 3u);
  EXPECT_EQ(fills[1].values[0], c.fig->subplots[0].viewport[kLeft]);
  EXPECT_EQ(fills[2].values[0], c.fig->subplots[1].viewport[kLeft]);
  // One mark, last, on subplot 1's position.
  ASSERT_EQ(CountCalls(c.rec, PortSlot::drawFocusRect), 1u);
  EXPECT_EQ(calls.back().slot, PortSlot::drawFocusRect);
  const double* p = c.fig->subplots[1].position;
  EXPECT_EQ(calls.back().values, (V{p[kLeft], p[kTop], p[kRight], p[kBottom], 1}));
}

TEST(FigureDraw, GroupReportsWhetherMoreFollow) {
  Canvas c;
  CommandList commands = TwoGroups();
  c.Store(commands);
  uint32_t offset = 0;
  EXPECT_TRUE(DrawSubplotGroup(c.View(), &offset, false));
  EXPECT_EQ(offset, 7u + 6 + 5);
  EXPECT_FALSE(DrawSubplotGroup(c.View(), &offset, false));
  EXPECT_EQ(offset, commands.size());
  // Not at a command 70, past the end, or a subplot that does not exist.
  for (uint32_t at : {1u, 100u}) {
    offset = at;
    EXPECT_FALSE(DrawSubplotGroup(c.View(), &offset, false));
  }
  Canvas bad;
  bad.Store(CommandList().Begin(2).Add(kCmdPolyline, {1, 5, 5}));
  offset = 0;
  EXPECT_FALSE(DrawSubplotGroup(bad.View(), &offset, false));
  EXPECT_EQ(bad.rec.calls().size(), 0u);
  // No object at all.
  Canvas none;
  offset = 0;
  EXPECT_FALSE(DrawSubplotGroup(none.View(), &offset, false));
}

TEST(FigureDraw, CommandsStillBeingWrittenAreDrawn) {
  Canvas c;
  c.Store(CommandList().Begin(0).Add(kCmdPolyline, {1, 5, 5}), true);
  c.fig->subplots[0].optionWord &= ~kOptFrame;
  uint32_t offset = 0;
  EXPECT_FALSE(DrawSubplotGroup(c.View(), &offset, false));
  EXPECT_EQ(Polylines(c.rec).size(), 1u);
}

TEST(FigureDraw, WithoutFocusSlotMarksAndDragOutlinesAreDrawnAsLines) {
  Canvas c(1, 2);
  for (int k = 0; k < 2; ++k) c.fig->subplots[k].optionWord &= ~kOptFrame;
  c.Store(CommandList().Begin(0).Begin(1));
  c.fig->selection = 0b01;
  c.drag = SubplotDragState{1, 0, 0b10, 5, 7};
  DrawFigure(c.View(false));
  const auto lines = Polylines(c.rec);
  // Subplot 0's mark after its group, subplot 1's outline shifted by the
  // drag, and the mark again at the end.
  ASSERT_EQ(lines.size(), 3u);
  const double* p0 = c.fig->subplots[0].position;
  const double* p1 = c.fig->subplots[1].position;
  EXPECT_EQ(lines[0], (V{p0[kLeft], p0[kTop], p0[kRight], p0[kTop], p0[kRight], p0[kBottom],
                         p0[kLeft], p0[kBottom], p0[kLeft], p0[kTop]}));
  EXPECT_EQ(lines[1][0], p1[kLeft] + 5);
  EXPECT_EQ(lines[1][1], p1[kTop] + 7);
  EXPECT_EQ(lines[2], lines[0]);
}

TEST(FigureDraw, SelectionChangesRedrawOnlyTheMarksThatChange) {
  Canvas c(1, 3);
  c.fig->selection = 0b011;
  EXPECT_EQ(SetSubplotSelection(c.View(), 0b110, true), kOk);
  EXPECT_EQ(c.fig->selection, 0b110u);
  const auto marks = CallsOf(c.rec, PortSlot::drawFocusRect);
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_EQ(marks[0].values.back(), 0);  // subplot 0 off
  EXPECT_EQ(marks[1].values.back(), 1);  // subplot 2 on
  c.rec.Clear();
  EXPECT_EQ(SetSubplotSelection(c.View(false), 0, false), kStatusRepaint);
  EXPECT_EQ(c.rec.calls().size(), 0u);
  EXPECT_EQ(c.fig->selection, 0u);
}

TEST(FigureDraw, HighlightedLabelStyleForTheSubplotsAsked) {
  Canvas c(1, 1);
  c.fig->styles[kFigureStyleLabel] = PlotStyle{0x40, 0, 0, 0, 0};
  c.fig->styles[kFigureStyleLabelHighlight] = PlotStyle{0x80, 4, 0, 0, 0};
  c.Store(CommandList().Begin(0));
  for (bool highlight : {false, true}) {
    c.highlighted = highlight ? 1u : 0u;
    c.rec.Clear();
    uint32_t offset = 0;
    DrawSubplotGroup(c.View(), &offset, false);
    const auto lines = CallsOf(c.rec, PortSlot::drawPolyline);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].values[1], highlight ? 0x80 : 0x40);  // the first frame line
  }
}

}  // namespace
}  // namespace vke
