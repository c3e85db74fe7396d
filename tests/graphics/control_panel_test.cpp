// The control panel through the renderer and the recording port: column
// positions, centring and scrolling, the rectangles written back into the
// commands (also when only laying out), knobs, check marks, the open pop-up
// over the rest, the caret of the edited field and fields wider than their
// panel.
#include "graphics/control_panel.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "command_list.hpp"
#include "decoration_fixture.hpp"
#include "graphics/renderer.hpp"
#include "graphics/scale.hpp"
#include "graphics/text_fit.hpp"

namespace vke {
namespace {

using test::CallsOf;
using test::CommandList;
using test::Join;
using test::Packed;
using V = std::vector<double>;

// A panel subplot (no data, no frame) of width w and height h at the origin;
// "M" is 16 units tall, so rows are 19 apart and the unit is 6.4.
struct Panel {
  Panel(double w = 300, double h = 200) : s(test::MakeSubplot(0, w, 0, h)) {
    s.optionWord &= ~kOptFrame;
    list.Begin(0);
  }
  bool Run(bool layoutOnly = false, const TextFieldEdit& edit = kNoTextFieldEdit) {
    position = 0;
    rec.Clear();
    return RenderObjectList(list.bytes(), list.size(), scratch.data(),
                            static_cast<uint32_t>(scratch.size()), &s, &position, RenderStyles{},
                            edit, layoutOnly, rec.port(), rec.target());
  }
  // A slider alone on its row: min, max, the values (black knobs), label.
  Panel& Slider(double lo, double hi, const V& values, const char* label = "s",
                int32_t code = kCmdFirstSlider, double column = -1) {
    V data{lo, hi, column, 0, 0, 0, 0, double(values.size())};
    data.insert(data.end(), values.begin(), values.end());
    data.insert(data.end(), values.size(), 0.0);
    data.push_back(double(std::string(label).size()));
    list.Add(code, Join(data, Packed(label)), 0, 0, 5, ++sliders);
    return *this;
  }
  // Where the data of the command at `at` start.
  double* Data(size_t at) { return list.d.data() + at + kCommandHeaderDoubles; }

  SubplotRecord s;
  CommandList list;
  RecordingPort rec;
  std::vector<double> scratch = std::vector<double>(1000);
  uint32_t position = 0;
  int32_t sliders = 0;
};

// The data of a text field: label and text in a text area of 19 bytes.
V Field(double column, const std::string& label, const std::string& text) {
  std::string area = label + '\0' + text;
  area.resize(label.size() + 18, '\0');
  return Join({0, 0, 0, 0, column, 0, double(area.size())}, Packed(area));
}

// The image-cell calls that paint slider knobs (bodies of four columns).
size_t Knobs(const RecordingPort& rec) {
  const auto cells = CallsOf(rec, PortSlot::drawImageCells);
  return std::count_if(cells.begin(), cells.end(),
                       [](const PortCall& c) { return c.values[2] == 4 && c.values[3] == 1; });
}

// Where the first knob's body starts along the track.
double KnobX(const RecordingPort& rec) {
  for (const PortCall& c : CallsOf(rec, PortSlot::drawImageCells)) {
    if (c.values[2] == 4 && c.values[3] == 1) return c.values[0];
  }
  return NAN;
}

TEST(PanelColumns, ShareTheWidthOrStep80UnitsOrFollowTabStops) {
  for (int32_t j = 0; j <= 3; ++j) {
    EXPECT_EQ(PanelColumnPosition(0, 200, 3, nullptr, 0, j), 80 * j);   // 240 > 200
    EXPECT_EQ(PanelColumnPosition(0, 300, 3, nullptr, 0, j), 100 * j);  // shared width
    EXPECT_EQ(PanelColumnPosition(300, 0, 3, nullptr, 0, j), 300 - 100 * j);
  }
  const double one[] = {50};
  const double two[] = {30, 70};
  EXPECT_EQ(PanelColumnPosition(10, 400, 4, one, 1, 3), 160);
  EXPECT_EQ(PanelColumnPosition(0, 400, 4, two, 2, 0), 0);
  EXPECT_EQ(PanelColumnPosition(0, 400, 4, two, 2, 1), 30);
  EXPECT_EQ(PanelColumnPosition(0, 400, 4, two, 2, 5), 70 + 3 * 40);
}

TEST(PanelLayout, SlidersWriteTheirTracksBack) {
  Panel p;
  p.Slider(0, 10, {5}).Slider(1, 100, {10}, "log", kCmdLastSlider).Slider(0, 1, {0.5});
  p.Run();
  // Three rows of 19 centred in 200 units; two columns share the width.
  const double rows[3] = {81, 100, 119};
  size_t at = kObjectBeginDoubles;
  for (int32_t i = 0; i < 3; ++i) {
    const double* d = p.Data(at);
    EXPECT_EQ((V{d[3], d[4], d[5], d[6]}), (V{150, 300, rows[i] - 6.4, rows[i] + 6.4})) << i;
    at += kCommandHeaderDoubles + p.list.d[at + 5];
  }
  EXPECT_EQ(Knobs(p.rec), 3u);
  EXPECT_EQ(p.s.scaleState[kAxisY], kScaleNone);
}

// The hit test lays the panel out without drawing: every row must land
// where the paint put it, whatever kinds of rows precede the sliders.
TEST(PanelLayout, LayoutOnlyWritesWhatAPaintWritesAndDrawsNothing) {
  Panel p(400, 300);
  p.list.Add(55, Join({9}, Packed("Title\tTwo")));
  p.list.Add(kCmdPushButton, Join({0, 0, 0, 0, 9}, Packed("row\tGo\tNo")), 8);
  p.list.Add(kCmdPopupMenu, Join({1, -1, 2, 1, 6, 0, 0, 0, 0}, Packed(std::string("mab\0cd", 7))),
             8);
  p.list.Add(kCmdTextField, Field(-1, "f", " 2"), 8);
  p.Slider(0, 10, {5});
  p.list.Add(kCmdTextField, Field(2, "g", " 3"), 8);
  p.Run();
  const V painted = p.list.d;
  ASSERT_GT(CallsOf(p.rec, PortSlot::drawImageCells).size(), 0u);
  // Clear every written slot, then lay out only.
  CommandList cleared;
  cleared.d = painted;
  size_t at = kObjectBeginDoubles;
  while (at < cleared.d.size()) {
    const int32_t code = static_cast<int32_t>(cleared.d[at]);
    double* d = cleared.d.data() + at + kCommandHeaderDoubles;
    if (code == kCmdPushButton) std::fill(d + 1, d + 4, 0.0);
    if (code == kCmdPopupMenu) std::fill(d + 5, d + 9, 0.0);
    if (code == kCmdTextField) std::fill(d, d + 4, 0.0);
    if (code == kCmdFirstSlider) std::fill(d + 3, d + 7, 0.0);
    at += kCommandHeaderDoubles + static_cast<size_t>(cleared.d[at + 5]);
  }
  p.list = cleared;
  p.s.scaleState[kAxisY] = kScaleNone;
  p.Run(true);
  EXPECT_EQ(p.list.d, painted);
  for (const PortCall& c : p.rec.calls()) {
    EXPECT_TRUE(c.slot == PortSlot::textExtent || c.slot == PortSlot::setFont)
        << PortSlotName(c.slot);
  }
}

TEST(PanelLayout, OverflowingRowsScrollAndShowMarks) {
  Panel p(300, 60);
  for (int32_t i = 0; i < 6; ++i) p.Slider(0, 1, {0.5});
  p.Run();
  EXPECT_EQ(p.s.scaleState[kAxisY], kScaleReleased);
  // Six rows of 19 in 60 units: the first sits half a row below the top.
  EXPECT_EQ(p.Data(kObjectBeginDoubles)[5], 9.5 - 6.4);
  EXPECT_EQ(p.s.limits[3 + kAxisY], 6 * 19 - 60);
  auto marks = test::Texts(p.rec);
  std::erase_if(marks, [](const test::TextCall& t) { return t.text != "..."; });
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ((V{marks[0].x, marks[0].y, double(marks[0].align)}), (V{300, 60, 6}));
  p.s.yOffset = 10;
  p.Run();
  EXPECT_EQ(p.Data(kObjectBeginDoubles)[5], 9.5 - 10 - 6.4);
  marks = test::Texts(p.rec);
  std::erase_if(marks, [](const test::TextCall& t) { return t.text != "..."; });
  ASSERT_EQ(marks.size(), 2u);
  EXPECT_EQ(marks[0].align, 2);
  // Scrolled to the end: no mark below.
  p.s.yOffset = 1000;
  p.Run();
  EXPECT_EQ(p.s.yOffset, 6 * 19 - 60);
  marks = test::Texts(p.rec);
  EXPECT_EQ(std::count_if(marks.begin(), marks.end(),
                          [](const test::TextCall& t) { return t.text == "..."; }),
            1);
}

// A viewport lower than a row grows into the margins, a text line kept
// on either side for the title and the "..." marks, so that the first row
// of a scrolled panel shows whole within the clip.
TEST(PanelLayout, AViewportLowerThanARowTakesRoomFromTheMargins) {
  Panel p(300, 8);
  p.list.Add(kCmdTextField, Field(-1, "Length [m]", "1.00"), 1);
  p.list.Add(kCmdTextField, Field(-1, "Damping", "0.30"), 1);
  p.Run();
  // 11 units lacking, 6 free beyond a line on either side.
  EXPECT_EQ((V{p.s.viewport[kTop], p.s.viewport[kBottom]}), (V{-5.5, 13.5}));
  EXPECT_EQ(p.s.scaleState[kAxisY], kScaleReleased);
  const auto clips = CallsOf(p.rec, PortSlot::clipRect);
  ASSERT_FALSE(clips.empty());
  const double* field = p.Data(kObjectBeginDoubles);
  EXPECT_GE(field[2], clips[0].values[2]);
  EXPECT_LE(field[3], clips[0].values[3]);
  // Drawn again, it stays; a cell with no room beyond its lines keeps its
  // viewport.
  p.Run();
  EXPECT_EQ((V{p.s.viewport[kTop], p.s.viewport[kBottom]}), (V{-5.5, 13.5}));
  Panel tight(300, 8);
  tight.s.position[kTop] = -12;
  tight.s.position[kBottom] = 20;
  tight.list.Add(kCmdTextField, Field(-1, "Length [m]", "1.00"), 1);
  tight.Run();
  EXPECT_EQ((V{tight.s.viewport[kTop], tight.s.viewport[kBottom]}), (V{0, 8}));
}

TEST(PanelWidgets, KnobsOnlyWithinLimitsThatLeaveThemAPlace) {
  Panel p;
  p.Slider(0, 10, {-1, 11, NAN, 5});          // one knob of four values
  p.Slider(3, 3, {3});                        // empty range
  p.Slider(0, 10, {1}, "l", kCmdLastSlider);  // logarithmic from 0
  p.Slider(1, 100, {10}, "l", kCmdLastSlider);
  p.Run();
  EXPECT_EQ(Knobs(p.rec), 2u);
  // Without image cells a knob is a 5-point rectangle one unit wide.
  p.rec.RemoveSlot(PortSlot::drawImageCells);
  p.Run();
  const auto lines = test::Polylines(p.rec);
  const auto knobs = std::count_if(lines.begin(), lines.end(), [](const V& pts) {
    return pts.size() == 10 && pts[2] - pts[0] == 1;
  });
  EXPECT_EQ(knobs, 2);
}

// The knob of a slider being dragged follows the drag's limits; short rows
// get a thinner track.
TEST(PanelWidgets, DraggedSliderTakesTheDragLimits) {
  Panel p;
  p.Slider(0, 10, {5});
  p.Run();
  const double middle = KnobX(p.rec);
  p.s.scaleState[kAxisY] |= kScaleHoldBit;
  p.s.dragId = 5;
  p.s.dragIndex = 1;
  p.s.dragValue[0] = 0;
  p.s.dragValue[1] = 20;
  p.Run();
  EXPECT_EQ(middle - KnobX(p.rec), std::trunc((300 - 150) / 4.0));
  p.s.dragIndex = 2;  // another slider is dragged
  p.Run();
  EXPECT_EQ(Knobs(p.rec), 1u);
  p.rec.SetCharCell(8, 8);  // rows of 9: half height 3.5
  p.Run();
  const double* d = p.Data(kObjectBeginDoubles);
  EXPECT_EQ(d[6] - d[5], 7);
}

// A vertical panel stacks its sliders along x and leaves other rows out.
TEST(PanelWidgets, VerticalPanelHoldsOnlySliders) {
  Panel p(300, 200);
  p.list.Add(kCmdVerticalGroup, {1});
  p.list.Add(kCmdPushButton, Join({0, 0, 0, 0, 4}, Packed("r	Go")), 8);
  p.Slider(0, 10, {5}).Slider(0, 10, {5});
  p.Run();
  EXPECT_EQ(CallsOf(p.rec, PortSlot::drawText).size(), 2u);  // the two labels
  const double* first = p.Data(kObjectBeginDoubles + 7 + 12);
  // Two rows of 19 centred across 300; the track runs down from column 1.
  EXPECT_EQ((V{first[3], first[4], first[5], first[6]}), (V{100, 200, 140.5 - 6.4, 140.5 + 6.4}));
}

TEST(PanelWidgets, CheckBoxStateCrossesItsBoxes) {
  Panel p;
  p.list.Add(kCmdCheckBox, Join({5, 0, 0, 0, 7}, Packed("r\ta\tb\tc")), 8);
  p.Run();
  const auto lines = test::Polylines(p.rec);
  std::vector<double> crossed;
  for (const V& pts : lines) {
    if (pts.size() == 4) crossed.push_back(pts[0]);
  }
  // Four columns need 320 units: 80-unit columns, the first and third crossed.
  EXPECT_EQ(crossed, (V{80, 80, 240, 240}));
}

TEST(PanelWidgets, AnOpenPopupIsDrawnAfterTheRestOfTheGroup) {
  Panel p;
  p.list.Add(kCmdPopupMenu,
             Join({2, 3, 3, 1, 9, 0, 0, 0, 0}, Packed(std::string("ma\0bb\0cc\0", 10))), 8);
  p.Slider(0, 10, {5});
  p.Run();
  const auto texts = test::TextStrings(p.rec);
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ((std::vector<std::string>(texts.end() - 3, texts.end())),
            (std::vector<std::string>{"a", "bb", "cc"}));
  // The selected item keeps its row; the others stand above and below.
  const auto all = test::Texts(p.rec);
  const auto& bb = all[all.size() - 2];
  EXPECT_EQ(bb.y, all[all.size() - 1].y - 16);
  EXPECT_EQ(bb.y, all[all.size() - 3].y + 16);
}

// The text stands off the field's right border; the port draws text that
// ends at a point one unit left of it, and the selection and the caret lie
// on the boundaries between its characters (8 units each here), inside the
// field and across its whole height.
TEST(PanelWidgets, TheEditedFieldShowsItsSelectionAndCaret) {
  Panel p;
  p.list.Add(kCmdTextField, Field(-1, "f", " 1234"), 1);
  const uint32_t at = kObjectBeginDoubles;
  p.Run(false, TextFieldEdit{0, at, 1, 3});
  const double* field = p.Data(at);
  const double left = field[0], right = field[1], lower = field[2], upper = field[3];
  const auto texts = test::Texts(p.rec);
  ASSERT_EQ(texts.back().text, " 1234");
  const double end = texts.back().x - 1;  // where the text's last character ends
  EXPECT_LT(end, right - 1);
  // The selection from byte 1 to byte 3 of " 1234".
  bool selected = false;
  for (const V& pts : test::Polylines(p.rec))
    selected |= pts.size() == 10 && pts[0] == end - 32 && pts[2] == end - 16;
  EXPECT_TRUE(selected);
  for (int32_t caret : {0, 2, 5, 9}) {  // 9: clamped to the end
    p.Run(false, TextFieldEdit{0, at, caret, caret});
    const auto lines = test::Polylines(p.rec);
    ASSERT_FALSE(lines.empty());
    const double x = end - 8 * (5 - std::min(caret, 5));
    EXPECT_EQ(lines.back(), (V{x, lower, x, upper})) << caret;
    EXPECT_TRUE(x > left && x < right - 1) << caret;
  }
  // Another field is not being edited.
  const size_t withCaret = test::Polylines(p.rec).size();
  p.Run(false, TextFieldEdit{0, at + 1, 9, 9});
  EXPECT_NE(test::Polylines(p.rec).size(), withCaret);
}

// A panel narrower than its 80-unit columns: the field ends with the panel,
// its right border inside, and its text, set against that end, shows; a
// label as wide as its column moves the field past it; a text wider than
// the field is cut at the field's left, a narrower one is drawn as it is.
// A label too long to fit before its slider or field, even after the
// control has moved as far as it may, is shortened with "..." to end before
// the control, and before the panel's end in a panel narrower than the
// label's column; one that fits is drawn whole.
TEST(PanelWidgets, ALongLabelIsShortenedToEndBeforeItsControl) {
  const std::string slider = "Frequency 20 Hz";
  const std::string field = "Start angle [deg]";
  for (double width : {84.0, 300.0}) {
    Panel p(width, 200);
    p.Slider(0, 50, {20}, slider.c_str());
    p.list.Add(kCmdTextField, Field(-1, field, "60"), 1);
    p.Run();
    const double* track = p.Data(kObjectBeginDoubles);
    const double* box = p.Data(kObjectBeginDoubles + kCommandHeaderDoubles +
                               static_cast<size_t>(p.list.d[kObjectBeginDoubles + 5]));
    const auto texts = test::Texts(p.rec);
    ASSERT_GE(texts.size(), 2u) << width;
    const std::string seen = std::to_string(width);
    for (const auto& [label, start, shown] :
         {std::tuple{slider, track[3], texts[0]}, std::tuple{field, box[0], texts[1]}}) {
      const double end = shown.x + kTextGap + 8 * shown.text.size();
      EXPECT_LE(end, start) << seen << " " << shown.text;
      EXPECT_GT(start, p.s.viewport[kLeft] + 20) << seen;
      if (width > 100) {
        EXPECT_EQ(shown.text, label);
      } else {
        ASSERT_GT(shown.text.size(), 3u) << seen;
        const std::string kept = shown.text.substr(0, shown.text.size() - 3);
        EXPECT_EQ(shown.text.substr(kept.size()), "...") << shown.text;
        EXPECT_EQ(label.compare(0, kept.size(), kept), 0) << shown.text;
      }
    }
  }
  Panel narrow(60, 200);
  narrow.Slider(0, 50, {20}, slider.c_str());
  narrow.Run();
  const auto texts = test::Texts(narrow.rec);
  ASSERT_FALSE(texts.empty());
  EXPECT_GE(narrow.Data(kObjectBeginDoubles)[3], narrow.s.viewport[kRight]);
  EXPECT_LE(texts[0].x + kTextGap + 8 * texts[0].text.size(), narrow.s.viewport[kRight]);
  EXPECT_EQ(texts[0].text, "Freq...");
}

// A label far wider than its column moves its slider's track, or its
// field, at most half the control's length: here from 150 to 225 of a
// column ending at 300.
TEST(PanelWidgets, ALongLabelMovesItsControlAtMostHalfItsLength) {
  const std::string label(60, 'w');
  Panel p;
  p.Slider(0, 1, {0.5}, label.c_str());
  p.list.Add(kCmdTextField, Field(-1, label, "1"), 1);
  p.Run();
  const double* track = p.Data(kObjectBeginDoubles);
  EXPECT_EQ((V{track[3], track[4]}), (V{225, 300}));
  const double* box = p.Data(kObjectBeginDoubles + kCommandHeaderDoubles +
                             static_cast<size_t>(p.list.d[kObjectBeginDoubles + 5]));
  EXPECT_EQ(box[0], 150 + (299 - 150) / 2.0);  // the field ends a unit inside
}

// A label is shortened between whole UTF-8 characters: through a port
// that measures a unit per byte, eight two-byte letters in room for 10
// units keep three.
TEST(PanelWidgets, AShortenedLabelKeepsItsCharactersWhole) {
  GraphicsPort bytes{};
  bytes.textExtent = [](const char*, int32_t n, double* width, double* height, void*) {
    if (width != nullptr) *width = n;
    if (height != nullptr) *height = 1;
  };
  const std::string label = "\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4";
  EXPECT_EQ(TextFittingRoom(label.data(), static_cast<int32_t>(label.size()), 10, bytes, nullptr),
            "\u00c4\u00c4\u00c4...");
}

TEST(PanelWidgets, AFieldPastThePanelEndsWithItAndShowsItsText) {
  Panel narrow(141, 200);
  narrow.list.Add(kCmdTextField, Field(-1, "Length [m]", "2.00"), 1);
  narrow.list.Add(kCmdTextField, Field(-1, "Damping", "123456789"), 1);
  narrow.Run();
  const double* v = narrow.s.viewport;
  const double* first = narrow.Data(kObjectBeginDoubles);
  EXPECT_GT(first[0], v[kLeft] + 80 + kTextGap);
  EXPECT_EQ(first[1], v[kRight] - 1);
  const auto texts = test::Texts(narrow.rec);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[1].text, "2.00");
  EXPECT_GT(texts[1].x - 1 - 8 * 4, first[0]);  // whole within the field
  EXPECT_LT(texts[1].x, v[kRight]);
  // Only the long text is clipped, to its field.
  const auto clips = CallsOf(narrow.rec, PortSlot::clipRect);
  ASSERT_EQ(clips.size(), 3u);  // the viewport's, the field's, the position's
  const double* second = first + 7 + 4 + kCommandHeaderDoubles;
  EXPECT_EQ(clips[1].values, (V{second[0], second[1], second[2], second[3]}));
  const auto calls = narrow.rec.calls();
  const auto at = std::find_if(calls.begin(), calls.end(), [](const PortCall& c) {
    return c.slot == PortSlot::drawText && c.text == "123456789";
  });
  ASSERT_NE(at, calls.end());
  EXPECT_EQ((at - 1)->slot, PortSlot::clipRect);
  EXPECT_EQ((at + 1)->slot, PortSlot::restoreClip);

  // Where the columns share the width the field keeps its column, its
  // right border a unit inside the panel.
  Panel wide(300, 200);
  wide.list.Add(kCmdTextField, Field(-1, "Length [m]", "2.00"), 1);
  wide.Run();
  const double* field = wide.Data(kObjectBeginDoubles);
  EXPECT_EQ(field[0], wide.s.viewport[kLeft] + 150);
  EXPECT_EQ(field[1], wide.s.viewport[kRight] - 1);
  EXPECT_EQ(CallsOf(wide.rec, PortSlot::clipRect).size(), 2u);
}

}  // namespace
}  // namespace vke
