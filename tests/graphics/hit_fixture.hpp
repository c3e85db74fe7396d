// A store holding one instance's object for the hit test and the drag
// routines, a 1 x 1 figure whose subplot maps data to pixels one to one
// (x right, y down over 600 x 400), and a recording port with 10 x 12 text
// cells.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "command_list.hpp"
#include "figure_fixture.hpp"
#include "graphics/figure_draw.hpp"
#include "graphics/hit_test.hpp"
#include "graphics/port_recording.hpp"

namespace vke::test {

struct HitCanvas {
  static constexpr int32_t kId = 4;

  HitCanvas() : fig(EmptyFigure(1, 1)) {
    EXPECT_EQ(ObjectListInit(store.data(), static_cast<uint32_t>(store.size())), kOk);
    SubplotRecord& s = subplot();
    s.transformValid = 1;
    s.xFactor = s.yFactor = 1;
    s.xOffset = s.yOffset = 0;
    SetRect(s.viewport, 0, 600, 0, 400);
    rec.SetCharCell(10, 12);
  }
  SubplotRecord& subplot() { return fig->subplots[0]; }
  void Store(const CommandList& commands) {
    BeginObjectListCapture(list(), &writer, kId, true);
    for (double v : commands.d) list().Set(writer.start + writer.used++, v);
    EXPECT_EQ(EndObjectListCapture(list(), &writer), kOk);
  }
  ObjectList list() { return ObjectList(store.data()); }
  FigureCanvas View() {
    return FigureCanvas{list(), &writer, kId, fig.get(), 0, &drag, &rec.port(), rec.target()};
  }
  // The hit test of subplot 0 at (x, y).
  bool Hit(double x, double y, bool shift = false, bool forMove = false,
           HitTestEffects* effects = nullptr) {
    const HitTestRequest request{0, &subplot(), x, y, kHitTolerance, shift, forMove};
    return HitTestSubplotObjects(View(), request, &event, effects);
  }

  std::vector<double> store = std::vector<double>(8192);
  ObjectWriterState writer = kNoObjectWriter;
  std::unique_ptr<FigureState> fig;
  SubplotDragState drag{};
  RecordingPort rec;
  EventState event{};
};

}  // namespace vke::test
