// The recording port: the log of every slot with its arguments, the text
// model, and slots left empty.
#include <gtest/gtest.h>

#include "graphics/port_recording.hpp"

namespace vke {
namespace {

TEST(RecordingPort, LogsEverySlotWithItsArguments) {
  RecordingPort rec;
  GraphicsPort& p = rec.port();
  void* t = rec.target();
  const double x[2] = {1.5, -2};
  const double y[2] = {3, 4.25};
  const PlotStyle style{kKindDash | 4, 9, 8, 7, 0};
  const uint8_t rgb[3] = {255, 0, 16};
  const uint8_t planes[3][2] = {{1, 2}, {3, 4}, {5, 6}};
  double w = 0;
  double h = 0;
  p.clipRect(1, 2, 3, 4, t);
  p.drawPolyline(x, y, 2, &style, t);
  p.drawCircle(10, 20, 3, 4, &style, t);
  p.drawText(5, 6, "ab\xc3\xa9z", 4, kTextRight | kTextBelow, rgb, t);
  p.drawText(5, 6, "ab", 2, 0, nullptr, t);
  p.textExtent("ab\xc3\xa9z", 5, &w, &h, t);
  p.setFont("Serif", 12.5, kFontBold, rgb, t);
  p.setFont(nullptr, 0, 0, nullptr, t);
  p.drawFocusRect(1, 2, 3, 4, 7, t);
  p.drawImageCells(0, 1, 2, 1, 3, 4, planes[0], nullptr, nullptr, t);
  p.drawImageCells(0, 1, 2, 1, 3, 4, planes[0], planes[1], planes[2], t);
  p.pixelScale(&w, &h);
  p.fillBackground(0, 0, 10, 20, 1, t);
  p.restoreClip(t);
  EXPECT_EQ(rec.Log(),
            "clip 1 2 3 4\n"
            "polyline 2 68 9 8 7 1.5 3 -2 4.25\n"
            "circle 10 20 3 4 68 9 8 7\n"
            "text 5 6 4 5 255 0 16 \"ab\xc3\xa9\"\n"
            "text 5 6 2 0 -1 -1 -1 \"ab\"\n"
            "extent 5 32 16 \"ab\xc3\xa9z\"\n"
            "font 12.5 1 255 0 16 \"Serif\"\n"
            "font 0 0 -1 -1 -1\n"
            "focus 1 2 3 4 7\n"
            "cells 0 1 2 1 3 4 1 0 0 1 2\n"
            "cells 0 1 2 1 3 4 1 1 1 1 2 3 4 5 6\n"
            "scale 1 1\n"
            "fill 0 0 10 20 1\n"
            "restore\n");
  EXPECT_EQ(w, 1.0);
  ASSERT_EQ(rec.calls().size(), 14u);
  EXPECT_EQ(rec.calls()[1].slot, PortSlot::drawPolyline);
  EXPECT_FALSE(rec.calls()[7].hasText);
  rec.Clear();
  EXPECT_EQ(rec.Log(), "");
}

TEST(RecordingPort, TextModelAndOddArguments) {
  RecordingPort rec;
  rec.SetCharCell(6, 10);
  double w = -1;
  double h = -1;
  rec.port().textExtent("0", 1, &w, &h, rec.target());
  EXPECT_EQ(w, 6);
  EXPECT_EQ(h, 10);
  rec.port().textExtent("00", 2, &w, nullptr, rec.target());
  EXPECT_EQ(w, 12);
  rec.port().textExtent("abc", -1, &w, &h, rec.target());
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 10);
  rec.port().textExtent(nullptr, 3, &w, &h, rec.target());
  EXPECT_EQ(w, 0);
  rec.port().drawPolyline(nullptr, nullptr, 3, nullptr, rec.target());
  rec.port().drawImageCells(0, 0, -2, 5, 1, 1, nullptr, nullptr, nullptr, rec.target());
  // No target: nothing to record into.
  rec.port().fillBackground(0, 0, 1, 1, 0, nullptr);
  EXPECT_EQ(rec.calls().size(), 6u);
  EXPECT_EQ(rec.calls()[4].values, (std::vector<double>{3, -1, -1, -1, -1}));
  EXPECT_EQ(rec.calls()[5].values.size(), 9u);
}

TEST(RecordingPort, SlotsLeftEmpty) {
  RecordingPort rec;
  EXPECT_EQ(rec.port().empty4, nullptr);
  EXPECT_EQ(rec.port().empty9, nullptr);
  EXPECT_EQ(rec.port().metrics, kScreenStartMetrics);
  rec.RemoveSlot(PortSlot::textExtent);
  rec.RemoveSlot(PortSlot::drawFocusRect);
  rec.RemoveSlot(PortSlot::empty4);
  EXPECT_EQ(rec.port().textExtent, nullptr);
  EXPECT_EQ(rec.port().drawFocusRect, nullptr);
  EXPECT_NE(rec.port().drawImageCells, nullptr);
  EXPECT_NE(rec.port().drawText, nullptr);
  EXPECT_STREQ(PortSlotName(PortSlot::drawImageCells), "cells");

  // Slot 11 has no target: it records into the newest port alive.
  {
    RecordingPort inner;
    inner.port().pixelScale(nullptr, nullptr);
    EXPECT_EQ(inner.calls().size(), 1u);
  }
  rec.port().pixelScale(nullptr, nullptr);
  EXPECT_EQ(rec.calls().size(), 1u);
}

}  // namespace
}  // namespace vke
