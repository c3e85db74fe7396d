// The room the labels of a 2-D subplot take: every tick label and axis label
// is measured where the port draws it, and must lie whole within the
// subplot's position and off its frame, in cells of a large and of a crowded
// figure, on the recording port and, through the renderer, with the fonts of
// the screen and of the printer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "command_list.hpp"
#include "decoration_fixture.hpp"
#include "graphics/axes2d.hpp"
#include "graphics/renderer.hpp"
#include "tests/graphics/pixels.hpp"

namespace vke {
namespace {

using V = std::vector<double>;

// The recording port's character cell, about that of the figure font.
constexpr double kCharWidth = 7;
constexpr double kCharHeight = 13;

struct TextBox {
  std::string text;
  double left, right, top, bottom;
};

// A subplot in a cell at (left, top), laid out as the view lays it out,
// with data and labels.
struct Case {
  const char* name;
  V x, y;
  uint32_t scaleKind;
  const char* xLabel;
  const char* yLabel;
};

SubplotRecord InCell(double left, double top, double width, double height, const Case& c) {
  SubplotRecord r;
  SubplotRecordClear(&r);
  SetMarginUnits(&r, kCharWidth, kCharHeight);
  SetRect(r.position, left, left + width, top, top + height);
  SetMargins(&r, 5, 0.5, 2, 2);
  SubplotScaleDefaults(&r);
  SetScaleKind(&r, 0, c.scaleKind);
  test::AddPoints(&r, c.x, c.y);
  const size_t nx = std::min<size_t>(std::strlen(c.xLabel), 16);
  const size_t ny = std::min<size_t>(std::strlen(c.yLabel), 16);
  SetAxisLabels(&r, c.xLabel, static_cast<int32_t>(nx), c.yLabel, static_cast<int32_t>(ny), nullptr,
                0);
  return r;
}

// The texts the port was asked to draw, in the cells it fills.
std::vector<TextBox> Boxes(const RecordingPort& rec) {
  std::vector<TextBox> out;
  for (const test::TextCall& t : test::Texts(rec)) {
    const double w = kCharWidth * t.text.size();
    const TextCell cell = AlignedTextCell(t.x, t.y, w, kCharHeight, t.align);
    out.push_back({t.text, cell.left, cell.left + w, cell.top, cell.top + kCharHeight});
  }
  return out;
}

// Whole within the position, clear of its sides, and on no side of the
// frame: outside the viewport altogether.
void ExpectWholeAndOffTheFrame(const SubplotRecord& r, const std::vector<TextBox>& boxes,
                               const std::string& seen) {
  const double* p = r.position;
  const double* v = r.viewport;
  for (const TextBox& b : boxes) {
    const std::string what = seen + " \"" + b.text + "\"";
    EXPECT_GE(b.left, p[kLeft] + kLabelEdgeClearance) << what;
    EXPECT_LE(b.right, p[kRight] - kLabelEdgeClearance) << what;
    EXPECT_GE(b.top, p[kTop]) << what;
    EXPECT_LE(b.bottom, p[kBottom]) << what;
    const bool off =
        b.right <= v[kLeft] || b.left >= v[kRight] || b.bottom <= v[kTop] || b.top >= v[kBottom];
    EXPECT_TRUE(off) << what << " crosses the frame";
  }
}

const Case kCases[] = {
    {"long y label", {0, 10}, {-1, 1}, 0, "t [s]", "amplitude [V]"},
    {"log y", {0, 10}, {0.001, 1}, kScaleLogY, "", ""},
    {"wide last x label", {0, 1000}, {0, 1}, 0, "", ""},
    {"log x with a label", {0.01, 100}, {0, 1}, kScaleLogX, "frequency [rad/s", "gain"},
    {"decibels", {1, 10}, {0.001, 1}, kScaleDbY, "w", "magnitude"},
    {"negative y", {0, 10}, {-12345, 0}, 0, "", ""},
};

// Cells of a 640 x 480 figure alone, in 2 x 3 and in 3 x 4.
struct Cell {
  double left, top, width, height;
};
const Cell kCells[] = {{0, 0, 640, 480}, {213, 240, 213, 240}, {0, 120, 160, 120}};

TEST(AxesRoom, EveryLabelIsWholeAndOffTheFrameInEveryCell) {
  for (const Cell& cell : kCells) {
    for (const Case& c : kCases) {
      SubplotRecord r = InCell(cell.left, cell.top, cell.width, cell.height, c);
      RecordingPort rec;
      rec.SetCharCell(kCharWidth, kCharHeight);
      FitViewportToLabels(&r, rec.port(), rec.target());
      rec.Clear();
      DrawAxesTicksAndLabels(r, nullptr, rec.port(), rec.target());
      const std::string seen = std::string(c.name) + " in " + std::to_string(cell.width);
      const auto boxes = Boxes(rec);
      EXPECT_GE(boxes.size(), 2u) << seen;
      ExpectWholeAndOffTheFrame(r, boxes, seen);
      // Only the sides move: the top and bottom keep their margins.
      EXPECT_DOUBLE_EQ(r.viewport[kTop], cell.top + 2 * kCharHeight) << seen;
      EXPECT_DOUBLE_EQ(r.viewport[kBottom], cell.top + cell.height - 2 * kCharHeight) << seen;
    }
  }
}

// Labels that fit the margins leave them as they are; the room a label
// took is given back when it goes, and the margins' own layout puts the
// viewport back inside them. A fixed axis keeps showing its data.
TEST(AxesRoom, TheRoomFollowsTheLabels) {
  const Case narrow{"narrow", {0, 10}, {0, 1}, 0, "t", "y"};
  SubplotRecord r = InCell(0, 0, 640, 480, narrow);
  RecordingPort rec;
  rec.SetCharCell(kCharWidth, kCharHeight);
  const V base(r.viewport, r.viewport + 4);
  FitViewportToLabels(&r, rec.port(), rec.target());
  EXPECT_EQ(V(r.viewport, r.viewport + 4), base);

  SetAxisLabels(&r, nullptr, 0, "amplitude [V]", 13, nullptr, 0);
  SetFixedLimits(&r, 2, 8, 0.25, 0.75);
  double low = 0, high = 0;
  GetViewportXRange(r, &low, &high);
  FitViewportToLabels(&r, rec.port(), rec.target());
  const V grown(r.viewport, r.viewport + 4);
  // 13 characters, half a character, the port's gap and the clearance from
  // the cell's edge.
  EXPECT_DOUBLE_EQ(grown[kLeft], std::ceil(13.5 * kCharWidth + kTextGap + kLabelEdgeClearance));
  EXPECT_EQ(grown[kRight], base[kRight]);
  double nowLow = 0, nowHigh = 0;
  GetViewportXRange(r, &nowLow, &nowHigh);
  EXPECT_NEAR(nowLow, low, 1e-9);
  EXPECT_NEAR(nowHigh, high, 1e-9);
  // Fitted again, nothing moves.
  FitViewportToLabels(&r, rec.port(), rec.target());
  EXPECT_EQ(V(r.viewport, r.viewport + 4), grown);

  SetAxisLabels(&r, nullptr, 0, "y", 1, nullptr, 0);
  FitViewportToLabels(&r, rec.port(), rec.target());
  EXPECT_EQ(V(r.viewport, r.viewport + 4), base);
  SetAxisLabels(&r, nullptr, 0, "amplitude [V]", 13, nullptr, 0);
  FitViewportToLabels(&r, rec.port(), rec.target());
  SetSubplotViewport(&r, 0, 640, 0, 480);
  EXPECT_EQ(V(r.viewport, r.viewport + 4), base);
}

// A label wider than two thirds of its cell leaves the viewport a third of
// it and is drawn from the cell's edge: cut by nothing.
TEST(AxesRoom, TheViewportKeepsAThirdOfItsCell) {
  const Case wide{"wide", {0, 10}, {0, 1}, 0, "", "0123456789abcdef"};
  SubplotRecord r = InCell(0, 0, 120, 120, wide);
  RecordingPort rec;
  rec.SetCharCell(kCharWidth, kCharHeight);
  FitViewportToLabels(&r, rec.port(), rec.target());
  EXPECT_NEAR(r.viewport[kRight] - r.viewport[kLeft], 40, 1e-9);
  rec.Clear();
  DrawAxesTicksAndLabels(r, nullptr, rec.port(), rec.target());
  for (const TextBox& b : Boxes(rec)) {
    EXPECT_GE(b.left, 0) << b.text;
    EXPECT_LE(b.right, 120) << b.text;
  }
}

// With the fonts of the screen and of the printer: each text's cell, as the
// port measures it, lies within the position and off the frame, for a
// figure alone and a cell of 3 x 4 at 640 x 480.
const GraphicsPort* g_port = nullptr;
std::vector<TextBox>* g_drawn = nullptr;

void DrawAndRecord(double x, double y, const char* text, int32_t n, int32_t flags,
                   const uint8_t* rgb, void* target) {
  double w = 0, h = 0;
  g_port->textExtent(text, n, &w, &h, target);
  const TextCell cell = AlignedTextCell(x, y, w, h, flags);
  g_drawn->push_back({std::string(text, n), cell.left, cell.left + w, cell.top, cell.top + h});
  g_port->drawText(x, y, text, n, flags, rgb, target);
}

TEST(AxesRoom, TheTargetsFontsKeepTheLabelsWhole) {
  for (const GraphicsPort* base : {&ScreenPort(), &PrinterPort()}) {
    for (const Cell& cell : {Cell{0, 0, 640, 480}, Cell{0, 120, 160, 120}}) {
      for (const Case& c : kCases) {
        auto image = test::NewImage(640, 480);
        GraphicsPort port = *base;
        port.drawText = &DrawAndRecord;
        g_port = base;
        std::vector<TextBox> drawn;
        g_drawn = &drawn;
        SubplotRecord r = InCell(cell.left, cell.top, cell.width, cell.height, c);
        r.layoutPending = 1;
        test::CommandList list;
        list.Begin(0);
        std::vector<double> scratch(1000);
        uint32_t position = 0;
        RenderObjectList(list.bytes(), list.size(), scratch.data(),
                         static_cast<uint32_t>(scratch.size()), &r, &position, RenderStyles{},
                         kNoTextFieldEdit, false, port, image.get());
        g_drawn = nullptr;
        const std::string seen = std::string(c.name) + " in " + std::to_string(cell.width) +
                                 (base == &PrinterPort() ? " printed" : "");
        EXPECT_GE(drawn.size(), 2u) << seen;
        ExpectWholeAndOffTheFrame(r, drawn, seen);
      }
    }
  }
}

}  // namespace
}  // namespace vke
