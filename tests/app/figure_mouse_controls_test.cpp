// The manipulate tool on a control panel and around it: a slider dragged,
// a push button that acts on release, a text field edited from the
// keyboard, the hover with "mouseover" and "mouseout", and the wheel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/figure_commands.hpp"
#include "app/figure_mouse.hpp"
#include "app/figure_pointer.hpp"
#include "app/name_buffer.hpp"
#include "engine/registry/native_record.hpp"
#include "graphics/control_hit.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/scale.hpp"
#include "graphics/text_field_edit.hpp"
#include "tests/app/mouse_app.hpp"
#include "tests/graphics/pixels.hpp"

namespace vke {
namespace {

using test::MouseApp;

constexpr char kPanel[] = R"(
function (g, f, c) = start()
  g = 2;
  f = 1.5;
  c = 0;
  subplots('Panel');
function panel(g, f)
  slider('Gain', g, [0 5], 'n', 'b', 1);
  pushbutton(['', char(9), 'Go'], '', 2);
  textfield('Field', '%5.2f', f, '', 3);
function (g, f, c) = set(g, f, c, action, id, x, x1)
  fprintf('%s id=%s x=%s x1=%s\n', action, v(id), v(x), v(x1));
  if id == 1
    g = x;
  elseif id == 2
    c = c + 1;
  else
    f = x1;
  end
)";

// The text the first field of subplot 0 shows.
std::string FieldTextOf(MouseApp& a) {
  CommandHeader h{};
  const std::byte* data = nullptr;
  EXPECT_TRUE(a.FindCommand(0, kCmdTextField, &h, &data));
  vke::FieldText f{};
  EXPECT_TRUE(FindFieldText(const_cast<std::byte*>(data), h.length, &f));
  return std::string(f.text, static_cast<size_t>(f.length));
}

struct Panel : MouseApp {
  Panel() : MouseApp({"g", "f", "c"}, std::string(kPanel) + test::kValueText) {
    const int32_t g = Var("g"), f = Var("f"), c = Var("c");
    list.Handler(kElemInit, {Fn("start"), {g, f, c}});
    Plot("Panel", {Fn("panel"), {}, {g, f}});
    Mouse(kElemMouseDrag, {Fn("set"), {g, f, c}, {g, f, c, kVarAction, kVarId, kVarX, kVarX1}});
    Start();
  }
  // Where control `code` lies: its row's middle, and along it `share` of
  // the slider's track, or the field's middle.
  void Locate(int32_t code, double share, double* x, double* y) {
    CommandHeader h{};
    const std::byte* data = nullptr;
    ASSERT_TRUE(FindCommand(0, code, &h, &data));
    const ControlCommand c{h.code, data, h.length};
    bool laidOut = false;
    ControlRow row{};
    if (code == kCmdTextField) {
      ASSERT_TRUE(ReadTextField(c, &row, &laidOut));
    } else {
      SliderSpec slider{};
      ASSERT_TRUE(ReadSlider(c, &slider, &laidOut));
      row = slider.track;
    }
    ASSERT_TRUE(laidOut);
    *x = row.left + share * (row.right - row.left);
    *y = (row.low + row.high) / 2;
  }
  // The first pixel along the row at y where the hit test finds object id.
  double FindAlong(int32_t id, double y) {
    for (double x = subplot(0).viewport[kLeft]; x < subplot(0).viewport[kRight]; x += 2) {
      EventState record{};
      const HitTestRequest request{0, &subplot(0), x, y, kHitTolerance, false, false};
      if (HitTestInstanceObjects(block(), 0, request, &record, block()->portFunctions,
                                 block()->portTarget) &&
          record.id == id) {
        return x;
      }
    }
    ADD_FAILURE() << "no object " << id;
    return 0;
  }
  std::string Text() { return FieldTextOf(*this); }
};

TEST(PanelControls, ASliderFollowsTheDragAndAButtonActsOnRelease) {
  Panel a;
  double x = 0, y = 0;
  a.Locate(kCmdFirstSlider, 0.4, &x, &y);  // the thumb at 2 of 0 to 5
  EXPECT_EQ(a.view->Press(x, y, false), kStatusRepaint);
  double end = 0;
  a.Locate(kCmdFirstSlider, 0.8, &end, &y);
  EXPECT_EQ(a.view->Move(end, y + 30, kViewLeft), kStatusRepaint);
  EXPECT_EQ(a.view->Release(false), kStatusRepaint);
  EXPECT_NEAR(a.Scalar("g"), 4, 1e-9);
  EXPECT_NE(a.Output().find("mousedrag id=1 x=4"), std::string::npos);

  // The push button: nothing at the press, "mousedrag" at the release.
  double fx = 0, fy = 0;
  a.Locate(kCmdTextField, 0.5, &fx, &fy);
  const double by = (y + fy) / 2;
  const double bx = a.FindAlong(2, by);
  EXPECT_EQ(a.view->Press(bx, by, false), kStatusRepaint);
  EXPECT_EQ(a.Output(), "");
  EXPECT_EQ(a.Scalar("c"), 0);
  EXPECT_EQ(a.view->Release(false), kStatusRepaint);
  EXPECT_EQ(a.Scalar("c"), 1);
  EXPECT_NE(a.Output().find("mousedrag id=2"), std::string::npos);
}

// A push button released away from it does nothing and leaves no undo
// version, whether the pointer went off its row, beyond the panel's edge
// beside it, or off it in a move the rate limit dropped; brought back on
// it before the release, it acts.
TEST(PanelControls, APushButtonReleasedAwayFromItIsCancelled) {
  Panel a;
  double sx = 0, sy = 0, fx = 0, fy = 0;
  a.Locate(kCmdFirstSlider, 0.5, &sx, &sy);
  a.Locate(kCmdTextField, 0.5, &fx, &fy);
  const double by = (sy + fy) / 2;
  const double bx = a.FindAlong(2, by);
  const double* v = a.subplot(0).viewport;
  const bool undo = CanUndoFigure(a.block(), 0);
  auto cancelled = [&](double x, double y) {
    EXPECT_EQ(a.view->Press(bx, by, false), kStatusRepaint);
    EXPECT_EQ(a.view->Move(x, y, kViewLeft), kStatusRepaint) << x << " " << y;
    EXPECT_EQ(a.view->Release(false), kStatusRepaint);
    EXPECT_EQ(a.Output(), "");
    EXPECT_EQ(a.Scalar("c"), 0);
    EXPECT_EQ(CanUndoFigure(a.block(), 0), undo);
  };
  cancelled(bx, sy);                                        // onto the slider's row
  cancelled(std::max(v[kLeft], v[kRight]) + 40, by + 0.5);  // beyond the panel's edge

  test::HandClock clock(a.block());
  EXPECT_EQ(a.view->Press(bx, by, false), kStatusRepaint);
  EXPECT_EQ(a.view->Move(bx + 1, by, kViewLeft), kOk);
  clock.Advance(0.004);
  EXPECT_EQ(a.view->Move(bx, sy, kViewLeft), kStatusMoveDropped);
  EXPECT_EQ(a.view->Release(false), kStatusRepaint);
  EXPECT_EQ(a.Scalar("c"), 0);

  clock.Advance(1);
  EXPECT_EQ(a.view->Press(bx, by, false), kStatusRepaint);
  clock.Advance(1);
  EXPECT_EQ(a.view->Move(bx, sy, kViewLeft), kStatusRepaint);
  clock.Advance(1);
  EXPECT_EQ(a.view->Move(bx + 1, by, kViewLeft), kStatusRepaint);
  EXPECT_EQ(a.view->Release(false), kStatusRepaint);
  EXPECT_EQ(a.Scalar("c"), 1);
  EXPECT_TRUE(CanUndoFigure(a.block(), 0));
}

constexpr char kPopup[] = R"(
function c = start()
  c = 2;
  subplots('Panel');
function panel(c)
  popupmenu('Colour', {'Blue', 'Red', 'Green'}, c, '', 5);
function c = pick(c, x)
  fprintf('pick %s\n', v(x));
  c = x;
)";

// The pixels of rows [top, bottom) and columns [left, right) of the view.
std::vector<uint32_t> Band(CairoTarget& t, double left, double right, double top, double bottom) {
  std::vector<uint32_t> pixels;
  for (int32_t y = static_cast<int32_t>(top); y < static_cast<int32_t>(bottom); ++y)
    for (int32_t x = static_cast<int32_t>(left); x < static_cast<int32_t>(right); ++x)
      pixels.push_back(test::PixelAt(t, x, y));
  return pixels;
}

TEST(PanelControls, APopUpShowsItsListWhileHeldAndChoosesOnRelease) {
  MouseApp a({"c"}, std::string(kPopup) + test::kValueText);
  const int32_t c = a.Var("c");
  a.list.Handler(kElemInit, {a.Fn("start"), {c}});
  a.Plot("Panel", {a.Fn("panel"), {}, {c}});
  a.Mouse(kElemMouseDrag, {a.Fn("pick"), {c}, {c, kVarX}});
  a.Start();
  CommandHeader h{};
  const std::byte* data = nullptr;
  ASSERT_TRUE(a.FindCommand(0, kCmdPopupMenu, &h, &data));
  ControlRow box{};
  int32_t count = 0, selected = 0;
  bool laidOut = false;
  ASSERT_TRUE(ReadPopup(ControlCommand{h.code, data, h.length}, &box, &count, &selected, &laidOut));
  ASSERT_TRUE(laidOut);
  const double x = (box.left + box.right) / 2, y = (box.low + box.high) / 2;
  const double step = (box.high - box.low) * (IsYAxisDown(a.subplot(0)) ? 1 : -1);
  // The row of the item after the selected one, where the closed box shows
  // the panel's background.
  const auto next = [&] {
    a.view->Paint();
    return Band(*a.view->image(), box.left + 2, box.right - 2, y + step - std::fabs(step) / 4,
                y + step + std::fabs(step) / 4);
  };
  const std::vector<uint32_t> closed = next();

  EXPECT_EQ(a.view->Press(x, y, false), kStatusRepaint);
  EXPECT_EQ(a.view->Move(x, y + step, kViewLeft), kStatusRepaint);
  const std::vector<uint32_t> held = next();
  size_t changed = 0;
  for (size_t i = 0; i < held.size(); ++i) changed += held[i] != closed[i];
  EXPECT_GT(changed, held.size() / 2) << "the list is not open at the item under the pointer";
  EXPECT_EQ(a.Output(), "");
  EXPECT_EQ(a.Scalar("c"), 2);
  // Still open while the mark moves back and forth; then the choice.
  EXPECT_EQ(a.view->Move(x, y, kViewLeft), kStatusRepaint);
  EXPECT_EQ(a.view->Move(x, y + step, kViewLeft), kStatusRepaint);
  EXPECT_EQ(a.view->Move(x + 1, y + step, kViewLeft), kOk);
  EXPECT_EQ(a.view->Release(false), kStatusRepaint);
  EXPECT_EQ(a.Scalar("c"), 3);
  EXPECT_EQ(a.Output(), "pick 3\n");
  EXPECT_EQ(next(), closed);
}

TEST(PanelControls, ATextFieldIsEditedAndCommittedWithEnter) {
  Panel a;
  double x = 0, y = 0;
  a.Locate(kCmdTextField, 0.5, &x, &y);
  EXPECT_EQ(a.Text(), " 1.50");
  // The press starts the edit with the whole text selected; the keys go to
  // the field and stay inside its text.
  EXPECT_EQ(a.view->Press(x, y, false), kStatusRepaint);
  EXPECT_EQ(a.figure().editField, 0);
  EXPECT_EQ(HandleFigureKey(a.slot(), 0, kKeyRight), kStatusRepaint);
  EXPECT_EQ(a.figure().caretStart, 5);
  EXPECT_EQ(a.figure().caretEnd, 5);
  EXPECT_EQ(HandleFigureKey(a.slot(), 0, kKeyBackspace), kStatusRepaint);
  EXPECT_EQ(HandleFigureKey(a.slot(), 0, '7'), kStatusRepaint);
  EXPECT_EQ(HandleFigureKey(a.slot(), 0, kKeyLeft), kStatusRepaint);
  EXPECT_EQ(HandleFigureKey(a.slot(), 0, 'x'), kStatusRepaint);
  EXPECT_EQ(a.Text(), " 1.57");
  // Moves and the release do nothing while it lasts.
  EXPECT_EQ(a.view->Move(x + 50, y, kViewLeft), kOk);
  EXPECT_EQ(a.view->Release(false), kOk);
  EXPECT_EQ(HandleFigureKey(a.slot(), 0, kKeyEnter), kStatusRepaint);
  EXPECT_EQ(a.figure().editField, -1);
  EXPECT_NEAR(a.Scalar("f"), 1.57, 1e-12);
  EXPECT_NE(a.Output().find("mousedrag id=3 x=- x1=1.57"), std::string::npos);
  // Without an edit the keys go elsewhere and TextFieldKey does nothing.
  EXPECT_EQ(TextFieldKey(a.slot(), 0, '1'), kOk);
  EXPECT_EQ(TextFieldKey(a.slot(), 4, '1'), kKvNonexistentInstance);
}

// A text that is not one number as a whole runs nothing, whether Enter or
// a press elsewhere ends the edit: no handler, no undo step, and the field
// shows its variable again. Blanks around a number are no hindrance.
TEST(PanelControls, AFieldTakesOnlyAWholeNumber) {
  Panel a;
  double x = 0, y = 0;
  a.Locate(kCmdTextField, 0.5, &x, &y);
  const auto type = [&](const std::string& keys) {
    ASSERT_EQ(a.view->Press(x, y, false), kStatusRepaint);
    for (const char c : keys) HandleFigureKey(a.slot(), 0, static_cast<uint8_t>(c));
  };
  for (const std::string typed : {".", "1-2", "4.5.6", "3e", "-", "e5", ".e1"}) {
    SCOPED_TRACE(typed);
    ASSERT_NO_FATAL_FAILURE(type(typed));
    EXPECT_EQ(a.Text(), typed);
    const bool undo = CanUndoFigure(a.block(), 0);
    EXPECT_EQ(HandleFigureKey(a.slot(), 0, kKeyEnter), kStatusRepaint);
    EXPECT_EQ(a.figure().editField, -1);
    EXPECT_EQ(a.Scalar("f"), 1.5);
    EXPECT_EQ(a.Text(), " 1.50");
    EXPECT_EQ(CanUndoFigure(a.block(), 0), undo);
  }
  ASSERT_NO_FATAL_FAILURE(type("7-"));
  EXPECT_EQ(a.view->Press(a.subplot(0).viewport[kLeft] + 1, y, false), kStatusRepaint);
  EXPECT_EQ(a.Scalar("f"), 1.5);
  EXPECT_EQ(a.Text(), " 1.50");
  EXPECT_EQ(a.Output(), "");
  for (const std::string typed : {".5", "2e1", "-3.", "1E-1"}) {
    SCOPED_TRACE(typed);
    ASSERT_NO_FATAL_FAILURE(type(typed));
    EXPECT_EQ(HandleFigureKey(a.slot(), 0, kKeyEnter), kStatusRepaint);
  }
  EXPECT_DOUBLE_EQ(a.Scalar("f"), 0.1);
  double v = 0;
  EXPECT_TRUE(ReadFieldNumber("  12.5 \t", 8, &v));
  EXPECT_EQ(v, 12.5);
  EXPECT_FALSE(ReadFieldNumber("12 5", 4, &v));
  EXPECT_FALSE(ReadFieldNumber("", 0, &v));
}

// While a field is edited, a control character it has no use for (Ctrl+N,
// Ctrl+Z) is left to the window's commands; Escape still does nothing.
TEST(PanelControls, AFieldLeavesTheCommandKeysToTheWindow) {
  Panel a;
  double x = 0, y = 0;
  a.Locate(kCmdTextField, 0.5, &x, &y);
  ASSERT_EQ(a.view->Press(x, y, false), kStatusRepaint);
  HandleFigureKey(a.slot(), 0, '5');
  for (const uint32_t key : {14u, 26u, 9u})
    EXPECT_EQ(HandleFigureKey(a.slot(), 0, key), kKvUndefElement);
  EXPECT_EQ(HandleFigureKey(a.slot(), 0, kKeyEscape), kStatusRepaint);
  EXPECT_EQ(a.figure().editField, 0);
  EXPECT_EQ(a.Text(), "5");
}

// A field whose handler refuses a number and says why in _msg.
constexpr char kRefusingField[] = R"(
function f = start()
  f = 0.3;
  subplots('Field');
function field(f)
  textfield('Damping', '%.2f', f, '', 1);
function (f, _msg) = set(f, x1)
  _msg = '';
  if x1 >= 0
    f = x1;
  else
    _msg = 'refused: damping >= 0';
  end
)";

// One field for f, whose "set" handler takes _x1 and gives f and the
// outputs after it.
struct OneField : MouseApp {
  OneField(const char* source, std::vector<int32_t> extraOutputs) : MouseApp({"f"}, source) {
    const int32_t f = Var("f");
    list.Handler(kElemInit, {Fn("start"), {f}});
    Plot("Field", {Fn("field"), {}, {f}});
    std::vector<int32_t> outputs{f};
    outputs.insert(outputs.end(), extraOutputs.begin(), extraOutputs.end());
    Mouse(kElemMouseDrag, {Fn("set"), outputs, {f, kVarX1}});
    Start();
  }
  // The middle of the field.
  void Middle(double* x, double* y) {
    CommandHeader h{};
    const std::byte* data = nullptr;
    ASSERT_TRUE(FindCommand(0, kCmdTextField, &h, &data));
    ControlRow row{};
    bool laidOut = false;
    ASSERT_TRUE(ReadTextField(ControlCommand{h.code, data, h.length}, &row, &laidOut));
    *x = (row.left + row.right) / 2;
    *y = (row.low + row.high) / 2;
  }
};

// Enter hands the number to the handler: its message comes back as the
// status text, whether it refused the number or took it.
TEST(PanelControls, EnterGivesBackTheHandlersMessage) {
  OneField a(kRefusingField, {kVarMsg});
  double x = 0, y = 0;
  ASSERT_NO_FATAL_FAILURE(a.Middle(&x, &y));
  ASSERT_EQ(a.view->Press(x, y, false), kStatusRepaint);
  for (const uint32_t key : {uint32_t{'-'}, uint32_t{'1'}})
    EXPECT_EQ(HandleFigureKey(a.slot(), 0, key), kStatusRepaint);
  char text[64] = "stale";
  int32_t length = -1;
  EXPECT_EQ(HandleFigureKey(a.slot(), 0, kKeyEnter, text, sizeof text, &length), kStatusRepaint);
  EXPECT_EQ(std::string(text, static_cast<size_t>(std::max(length, 0))), "refused: damping >= 0");
  EXPECT_DOUBLE_EQ(a.Scalar("f"), 0.3);
  // Taken: an empty message.
  ASSERT_EQ(a.view->Press(x, y, false), kStatusRepaint);
  EXPECT_EQ(HandleFigureKey(a.slot(), 0, '2'), kStatusRepaint);
  EXPECT_EQ(HandleFigureKey(a.slot(), 0, kKeyEnter, text, sizeof text, &length), kStatusRepaint);
  EXPECT_EQ(length, 0);
  EXPECT_DOUBLE_EQ(a.Scalar("f"), 2);
}

// A field whose handler fails on some numbers and cancels on others.
constexpr char kFailingField[] = R"(
function f = start()
  f = 0.3;
  subplots('Field');
function field(f)
  textfield('Damping', '%.2f', f, '', 1);
function f = set(f, x1)
  if x1 < 0
    error('negative');
  elseif x1 > 10
    cancel;
  end
  f = x1;
)";

// A number the handler refuses by failing or cancelling leaves the
// variable, and the field shows it again, not the text typed; the undo
// history is as before.
TEST(PanelControls, ARefusedNumberLeavesTheFieldShowingItsVariable) {
  OneField a(kFailingField, {});
  double x = 0, y = 0;
  ASSERT_NO_FATAL_FAILURE(a.Middle(&x, &y));
  for (const std::string typed : {"-1", "20"}) {
    SCOPED_TRACE(typed);
    const bool undo = CanUndoFigure(a.block(), 0);
    ASSERT_EQ(a.view->Press(x, y, false), kStatusRepaint);
    for (const char c : typed) HandleFigureKey(a.slot(), 0, static_cast<uint8_t>(c));
    EXPECT_EQ(FieldTextOf(a), typed);
    const ErrCode rc = HandleFigureKey(a.slot(), 0, kKeyEnter);
    if (typed == "-1") {
      EXPECT_NE(rc, kStatusRepaint);
    }
    EXPECT_DOUBLE_EQ(a.Scalar("f"), 0.3);
    EXPECT_EQ(FieldTextOf(a), "0.30");
    EXPECT_EQ(CanUndoFigure(a.block(), 0), undo);
    EXPECT_FALSE(CanRedoFigure(a.block(), 0));
  }
  // Ended by a press elsewhere, the same.
  ASSERT_EQ(a.view->Press(x, y, false), kStatusRepaint);
  for (const char c : std::string("-2")) HandleFigureKey(a.slot(), 0, static_cast<uint8_t>(c));
  EXPECT_EQ(a.view->Press(a.subplot(0).viewport[kLeft] + 1, y, false), kStatusRepaint);
  EXPECT_EQ(FieldTextOf(a), "0.30");
  EXPECT_FALSE(CanRedoFigure(a.block(), 0));
}

TEST(PanelControls, APressElsewhereCommitsTheEdit) {
  Panel a;
  double x = 0, y = 0;
  a.Locate(kCmdTextField, 0.5, &x, &y);
  ASSERT_EQ(a.view->Press(x, y, false), kStatusRepaint);
  HandleFigureKey(a.slot(), 0, '3');
  EXPECT_EQ(a.Text(), "3");
  // A press beside the controls ends the edit and hands the number over;
  // the figure is repainted with the field's new value.
  EXPECT_EQ(a.view->Press(a.subplot(0).viewport[kLeft] + 1, y, false), kStatusRepaint);
  EXPECT_EQ(a.figure().editField, -1);
  EXPECT_EQ(a.Scalar("f"), 3);
  EXPECT_EQ(a.Text(), " 3.00");
  // A field whose command is gone answers 12.
  a.figure().editField = 0;
  a.figure().editCommand = 0;
  EXPECT_EQ(TextFieldKey(a.slot(), 0, '1'), kErrIllegal);
}

// Controls in the narrow cells of a 1 x 4 figure: a label wider than its
// column pushes its slider's track and its field past it, and a field that
// ends with the panel keeps its right border inside the cell.
constexpr char kNarrowPanel[] = R"(
function (g, f) = start()
  g = 20;
  f = 60;
  subplots(['Panel', char(9), 'Panel', char(9), 'Panel', char(9), 'Panel']);
function panel(g, f)
  slider('Frequency 20 Hz', g, [0 50]);
  textfield('Start angle [deg]', '%.0f', f, '', 1);
)";

TEST(PanelControls, LabelsStayClearOfTheirControlsInNarrowCells) {
  MouseApp a({"g", "f"}, kNarrowPanel);
  const int32_t g = a.Var("g"), f = a.Var("f");
  a.list.Handler(kElemInit, {a.Fn("start"), {g, f}});
  a.Plot("Panel", {a.Fn("panel"), {}, {g, f}});
  a.Start();
  const SubplotRecord& s = a.subplot(0);
  ASSERT_LT(s.viewport[kRight] - s.viewport[kLeft], 170);
  const auto labelEnd = [&](const char* label) {
    double w = 0, h = 0;
    a.block()->portFunctions->textExtent(label, static_cast<int32_t>(std::strlen(label)), &w, &h,
                                         a.block()->portTarget);
    return s.viewport[kLeft] + w;
  };
  CommandHeader h{};
  const std::byte* data = nullptr;
  bool laidOut = false;
  ASSERT_TRUE(a.FindCommand(0, kCmdFirstSlider, &h, &data));
  SliderSpec slider{};
  ASSERT_TRUE(ReadSlider(ControlCommand{h.code, data, h.length}, &slider, &laidOut));
  EXPECT_GT(slider.track.left, labelEnd("Frequency 20 Hz") + 2);
  ASSERT_TRUE(a.FindCommand(0, kCmdTextField, &h, &data));
  ControlRow field{};
  ASSERT_TRUE(ReadTextField(ControlCommand{h.code, data, h.length}, &field, &laidOut));
  EXPECT_GT(field.left, labelEnd("Start angle [deg]") + 2);
  EXPECT_LT(field.right, s.viewport[kRight]);
  EXPECT_GT(field.right - field.left, 20);
}

// ---- Hover and wheel ----

constexpr char kHover[] = R"(
function (x, hits) = start()
  x = [0.2 0.8];
  hits = 0;
  subplots(['A', char(9), 'B']);
function show(x)
  fprintf('draw\n');
  scale([0 1 0 1]);
  plot(x, [0.5 0.5], 'o', 4);
function (hits, _msg) = over(hits, id)
  hits = hits + 1;
  _msg = sprintf('over %d', id);
function _msg = quiet(id)
  _msg = 'quiet';
  quietcancel();
function out()
  fprintf('out\n');
function x = wheel(x, dx, dy)
  fprintf('wheel %g %g\n', dx, dy);
  x = x + dy;
)";

// The slot of the block the test native acts on.
KVContextBlock** g_hoverSlot = nullptr;

// Ends the handler as cancel(false) does: 402 with the hover option set.
ErrCode QuietCancel(EngineContext*, int32_t, int32_t, uintptr_t) {
  (*g_hoverSlot)->nativeCall.flags |= kCallFlagQuietCancel;
  return kStatusNoPrint;
}

const NativeFunctionRecord kHoverNatives[] = {
    MakeRecord("@hovertest"), MakeRecord("quietcancel", &QuietCancel), MakeRecord("")};

struct Hover : MouseApp {
  Hover() : MouseApp({"x", "hits"}, kHover, kHoverNatives) {
    g_hoverSlot = slot();
    const int32_t x = Var("x"), hits = Var("hits");
    list.Handler(kElemInit, {Fn("start"), {x, hits}});
    Plot("A", {Fn("show"), {}, {x}});
    Mouse(kElemMouseOver, {Fn("over"), {hits, kVarMsg}, {hits, kVarId}});
    Mouse(kElemMouseOut, {Fn("out")});
    Mouse(kElemMouseScroll, {Fn("wheel"), {x}, {x, kVarDx, kVarDy}});
    Plot("B", {Fn("show"), {}, {x}});
    Mouse(kElemMouseOver, {Fn("quiet"), {kVarMsg}, {kVarId}});
    Start();
  }
};

TEST(HoverAndWheel, MouseoverAndMouseoutFollowThePointer) {
  Hover a;
  // Over subplot A: "mouseover" with the object, its _msg as the status,
  // and the draw handlers, as it changed a variable.
  EXPECT_EQ(a.view->Move(a.PixelX(0, 0.2), a.PixelY(0, 0.5), 0), kStatusRepaint);
  EXPECT_EQ(a.view->status(), "over 4");
  EXPECT_EQ(a.Scalar("hits"), 1);
  EXPECT_EQ(a.host.Record()->hoveredSubplot, 0);
  EXPECT_EQ(a.Output(), "draw\ndraw\n");
  // Into B, whose handler cancels quietly (its _msg is not kept): the
  // figure is redrawn once, after A's "mouseout".
  EXPECT_EQ(a.view->Move(a.PixelX(1, 0.2), a.PixelY(1, 0.5), 0), kStatusRepaint);
  EXPECT_EQ(a.view->status(), "");
  EXPECT_EQ(a.Output(), "out\ndraw\ndraw\n");
  // Moving on within B runs its handler again, and draws nothing.
  EXPECT_EQ(a.view->Move(a.PixelX(1, 0.3), a.PixelY(1, 0.5), 0), kOk);
  EXPECT_EQ(a.Output(), "");
  EXPECT_EQ(a.host.Record()->hoveredSubplot, 1);
  // Back over A and then out of every subplot: "mouseout" once.
  a.view->Move(a.PixelX(0, 0.5), a.PixelY(0, 0.5), 0);
  a.Output();
  EXPECT_EQ(a.view->Move(1, 1, 0), kStatusRepaint);
  EXPECT_EQ(a.Output(), "out\ndraw\ndraw\n");
  EXPECT_EQ(a.host.Record()->hoveredSubplot, -1);
  EXPECT_EQ(a.view->Move(2, 2, 0), kOk);
  EXPECT_EQ(a.Output(), "");
}

TEST(HoverAndWheel, TheWheelRunsMousescrollOrScrollsInDragMode) {
  Hover a;
  const double x = a.PixelX(0, 0.5), y = a.PixelY(0, 0.5);
  EXPECT_EQ(a.view->Wheel(x, y, -240, false), kStatusRepaint);  // two notches toward the user
  EXPECT_EQ(a.Output(), "wheel 0 2\ndraw\ndraw\n");
  EXPECT_EQ(a.Values("x"), (std::vector<double>{2.2, 2.8}));
  // Drag mode scrolls the subplot by its margin units instead; leaving
  // Manipulate ends the hover the wheel started.
  SetFigureMode(a.slot(), kModeDrag);
  EXPECT_EQ(a.Output(), "out\ndraw\ndraw\n");
  const double top = LimitMax(a.subplot(0), kAxisY);
  EXPECT_EQ(a.view->Wheel(x, y, 120, false), kStatusRepaint);
  EXPECT_EQ(a.Output(), "draw\ndraw\n");
  EXPECT_NE(LimitMax(a.subplot(0), kAxisY), top);
  // Zoom mode does nothing with it, nor does the space beside the subplots.
  SetFigureMode(a.slot(), kModeZoom);
  EXPECT_EQ(a.view->Wheel(x, y, 120, false), kOk);
  EXPECT_EQ(a.view->Wheel(1, 1, 120, false), kOk);
}

// ---- A drag into another subplot ----

constexpr char kHandOver[] = R"(
function (x, n) = start()
  x = 0.5;
  n = 0;
  subplots(['A', char(9), 'B']);
function show(x)
  scale([0 1 0 1]);
  plot(x, 0.5, 'o', 8);
function x = drag(x, ex)
  x = ex;
function out(action, id)
  fprintf('%s %d\n', action, id);
function n = in(n, action, id, x1)
  fprintf('%s %d %.2f\n', action, id, x1);
  n = n + 1;
)";

TEST(HandOver, ADragOutOfItsSubplotRunsDragoutThereAndDraginInTheOther) {
  MouseApp a({"x", "n"}, kHandOver);
  const int32_t x = a.Var("x"), n = a.Var("n");
  a.list.Handler(kElemInit, {a.Fn("start"), {x, n}});
  a.Plot("A", {a.Fn("show"), {}, {x}});
  a.Mouse(kElemMouseDrag, {a.Fn("drag"), {x}, {x, kVarX}});
  a.Mouse(kElemDragOut, {a.Fn("out"), {}, {kVarAction, kVarId}});
  a.Plot("B", {a.Fn("show"), {}, {x}});
  a.Mouse(kElemDragIn, {a.Fn("in"), {n}, {n, kVarAction, kVarId, kVarX1}});
  a.Start();
  ASSERT_EQ(a.view->Press(a.PixelX(0, 0.5), a.PixelY(0, 0.5), false), kStatusRepaint);
  // Within A the point follows; beyond its edge, B takes the drag.
  EXPECT_EQ(a.view->Move(a.PixelX(0, 0.9), a.PixelY(0, 0.5), kViewLeft), kStatusRepaint);
  EXPECT_NEAR(a.Scalar("x"), 0.9, 1e-9);
  a.Output();
  EXPECT_EQ(a.view->Move(a.PixelX(1, 0.25), a.PixelY(1, 0.5), kViewLeft), kStatusRepaint);
  // "dragin" sees the dragged object and the pointer in B's units.
  EXPECT_EQ(a.Output().substr(0, 25), "dragout 8\ndragin 8 0.25\n");
  EXPECT_EQ(a.view->gesture().pressedSubplot, 1);
  EXPECT_EQ(a.Scalar("n"), 1);
  EXPECT_EQ(a.view->Release(false), kStatusRepaint);
}

}  // namespace
}  // namespace vke
