// The text and control-panel natives run as draw handlers: the commands and
// payloads each writes, the argument errors they answer, and their room
// checks near the end of a small store.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/block.hpp"
#include "app/errors.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/object_store.hpp"
#include "tests/graphics/command_list.hpp"
#include "tests/graphics/room_guard.hpp"
#include "tests/host/figure_harness.hpp"

namespace vke {
namespace {

using test::FigureHarness;
using test::Packed;
using Doubles = std::vector<double>;

std::vector<int32_t> Codes(const FigureHarness& h) {
  std::vector<int32_t> out;
  for (const auto& c : h.Commands(0)) out.push_back(c.header.code);
  return out;
}

// Runs the body as subplot 0's draw handler on an emptied object.
ErrCode Fresh(FigureHarness& h, const std::string& body) {
  h.Open();
  return h.Draw(0, body);
}

// The packed text of a payload from data double `at`, `n` bytes.
std::string TextAt(const Doubles& data, size_t at, size_t n) {
  std::string s(n, '\0');
  std::memcpy(s.data(), data.data() + at, n);
  return s;
}

TEST(TextNative, WritesPanelTextPointTextAndFontBracket) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "text('abc')"), kOk);
  auto cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].header.code, kCmdFirstText);
  EXPECT_EQ(cmds[0].data, test::Join({3}, Packed("abc")));

  ASSERT_EQ(Fresh(h, "text(1, 2, 'a', 'lb')"), kOk);
  cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].header.code, 56);
  EXPECT_EQ(cmds[0].data, test::Join({1, 2, 0, 9, 1}, Packed("a")));

  ASSERT_EQ(Fresh(h, "text(1, 2, 'a', fontset('Size', 12, 'Bold', true, 'Color', [1 0 0]))"), kOk);
  cmds = h.Commands(0);
  ASSERT_EQ(Codes(h), (std::vector<int32_t>{68, 56, 69}));
  EXPECT_EQ(cmds[0].data[0], 12);
  EXPECT_EQ(cmds[0].data[1], 1);
  EXPECT_EQ(cmds[0].header.colour, 0xFF0000u);
  EXPECT_EQ(cmds[2].data.size(), 0u);

  // A 3-D point marks the subplot 3-D and widens its limits.
  ASSERT_EQ(Fresh(h, "text(1, 2, 3, 'z', 'rt')"), kOk);
  cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].header.code, 57);
  EXPECT_EQ((Doubles(cmds[0].data.begin(), cmds[0].data.begin() + 4)), (Doubles{1, 2, 3, 6}));
  EXPECT_EQ(h.subplot(0).is3d, 1);
}

TEST(TextNative, RefusesBadJustificationAndFormsAndWritesNothing) {
  FigureHarness h;
  EXPECT_EQ(Fresh(h, "text(1, 2, 'a', 'q')"), kErrWrongType);
  EXPECT_EQ(Fresh(h, "text(1, 2, 'a', 'lbr')"), kErrWrongType);
  EXPECT_EQ(Fresh(h, "text(1, 2)"), kErrTooManyArgin);
  EXPECT_EQ(Fresh(h, "text(1, 2, 'a', fontset('Color', [1 2]))"), kErrBadSize);
  EXPECT_TRUE(h.Commands(0).empty());
}

TEST(FontsetNative, ShowsTheVisibleFieldsInTableOrder) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "f = fontset()"), kOk);
  EXPECT_EQ(h.TakeOutput(),
            "f =\nFont: ''\nSize: 10\nBold: false\nItalic: false\nUnderline: false\n"
            "Color: real 1x3\n");
  EXPECT_EQ(Fresh(h, "f = fontset('Weight', 1)"), kErrUnknownOpt);
}

TEST(ControlNatives, ButtonsCheckBoxesAndTheirErrors) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "button(['a', char(10), 'b'], [0; 1], 'c', 'r', 7)"), kOk);
  auto cmds = h.Commands(0);
  ASSERT_EQ(Codes(h), (std::vector<int32_t>{62, 62}));
  EXPECT_EQ(cmds[0].data, test::Join({0, 0, 0, 0, 1}, Packed("a")));
  EXPECT_EQ(cmds[1].data, test::Join({1, 0, 0, 0, 1}, Packed("b")));
  EXPECT_EQ(cmds[1].header.id, 7);
  EXPECT_EQ(cmds[1].header.index, 2);
  EXPECT_EQ(cmds[0].header.colour, 0xFF0000u);
  EXPECT_EQ(Fresh(h, "button('a', 0, 'x')"), kErrUnknownOpt);
  EXPECT_EQ(Fresh(h, "button('a', [0 1], 'r')"), kErrBadSize);
  // Push buttons: one row per label line, whatever the values.
  ASSERT_EQ(Fresh(h, "pushbutton(['Go', char(9), 'Stop', char(10), 'Quit'])"), kOk);
  ASSERT_EQ(Codes(h), (std::vector<int32_t>{61, 61}));
  EXPECT_EQ(h.Commands(0)[0].data[4], 7);
}

// A popup menu whose item finds no room as it is written fails for room
// and writes nothing; it never leaves a menu without its items.
TEST(ControlNatives, APopupMenuShortOfRoomWritesNothing) {
  FigureHarness h;
  const std::string body = "popupmenu('Kind', {'one', 'three'}, 2)";
  ASSERT_EQ(Fresh(h, body), kOk);
  const Doubles whole = h.Commands(0).at(0).data;
  for (uint64_t k = 1;; ++k) {
    h.Open();
    WatchRoomRequests(k);
    const ErrCode e = h.Draw(0, body);
    const bool refused = RoomRequestRefused();
    StopWatchingRoomRequests();
    if (!refused) break;
    const auto cmds = h.Commands(0);
    if (e == kOk) {
      ASSERT_EQ(cmds.size(), 1u) << k;
      EXPECT_EQ(cmds[0].data, whole) << k;
    } else {
      EXPECT_TRUE(IsMemoryCode(e)) << k << ": " << e;
      EXPECT_TRUE(cmds.empty()) << k;
    }
  }
}

TEST(ControlNatives, PopupMenusAndTextFields) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "popupmenu('Kind', {'one', 'three'}, 2, '', 4)"), kOk);
  auto cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].header.index, 0);
  EXPECT_EQ((Doubles(cmds[0].data.begin(), cmds[0].data.begin() + 9)),
            (Doubles{2, -1, 2, 4, 10, 0, 0, 0, 0}));
  EXPECT_EQ(TextAt(cmds[0].data, 9, 14), std::string("Kindone\0three\0", 14));
  EXPECT_EQ(Fresh(h, "popupmenu('Kind', {'one'}, 0)"), kErrIndexOutOfRange);
  EXPECT_EQ(Fresh(h, "popupmenu('Kind', {'one'}, 2)"), kErrIndexOutOfRange);

  ASSERT_EQ(Fresh(h, "textfield(['a', char(9), 'b'], '%5.2f', [3.14159 -1e300])"), kOk);
  cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 2u);
  EXPECT_EQ((Doubles(cmds[0].data.begin(), cmds[0].data.begin() + 7)),
            (Doubles{0, 0, 0, 0, 0, 3.14159, 19}));
  EXPECT_EQ(TextAt(cmds[0].data, 7, 19), std::string("a\0 3.14\0\0\0\0\0\0\0\0\0\0\0\0\0", 19));
  EXPECT_EQ(cmds[1].data[4], 2);  // shares the row, two columns on
  // A value too wide for its field keeps at most 16 characters.
  const std::string wide = TextAt(cmds[1].data, 7, 19).substr(2);
  EXPECT_LE(std::strlen(wide.c_str()), 16u);
  EXPECT_EQ(Fresh(h, "textfield('a', '5.2f', 1)"), kErrUnknownOpt);
  EXPECT_EQ(Fresh(h, "textfield('a', '%5.2q', 1)"), kErrUnknownOpt);
  ASSERT_EQ(Fresh(h, "textfield('a', '%G', 1)"), kOk);
}

TEST(ControlNatives, SlidersShareRowsAndRefuseLimitsWithoutAPlace) {
  FigureHarness h;
  ASSERT_EQ(
      Fresh(h, "slider(['p', char(9), 'q', char(10), 'r'], [1 2; 3 4; 5 6], [1 10], 'll', 'rg')"),
      kOk);
  const auto cmds = h.Commands(0);
  ASSERT_EQ(Codes(h), (std::vector<int32_t>{60, 60, 60}));
  EXPECT_EQ(cmds[0].data,
            test::Join({1, 10, 0, 0, 0, 0, 0, 2, 1, 2, 0xFF0000, 0x00FF00, 1}, Packed("p")));
  EXPECT_EQ(cmds[1].data[2], 2);
  EXPECT_EQ(cmds[2].data[2], -1);
  EXPECT_EQ(cmds[0].header.style, 0u);
  EXPECT_EQ(Fresh(h, "slider('s', 1, [0 10 3])"), kErrBadSize);
  EXPECT_EQ(Fresh(h, "slider('s', [1; 2], [0 1; 0 1; 0 1])"), kErrIncompSize);
  EXPECT_EQ(Fresh(h, "slider('s', 1, [0 10], 'l')"), kErrOutOfRangeArg);
  EXPECT_EQ(Fresh(h, "slider('s', 1, [0 inf])"), kErrOutOfRangeArg);
  EXPECT_EQ(Fresh(h, "slider('s', 1, [nan 1])"), kErrOutOfRangeArg);
  ASSERT_EQ(Fresh(h, "slider('s', [], [0 1])"), kOk);
  EXPECT_TRUE(h.Commands(0).empty());
}

TEST(ControlNatives, EmptyValuesAndRangesOfAnyShapeWriteNothing) {
  FigureHarness h;
  for (const char* body :
       {"slider('e', zeros(1, 0), [0 1])", "slider('e', zeros(0, 3), [0 1])",
        "slider('e', 1, zeros(2, 0))", "slider('e', ones(0, 1, 2), [0 1])",
        "slider('e', single([]), [0 1])", "slider('e', int8([]), [0 1], 'l')",
        "slider('e', [], [])", "textfield('e', '%g', zeros(1, 0))",
        "textfield('e', '%g', ones(0, 1, 2))", "textfield('e', '', [], 'r', 3)"}) {
    ASSERT_EQ(Fresh(h, body), kOk) << body;
    EXPECT_TRUE(h.Commands(0).empty()) << body;
  }
  // The other arguments are still checked.
  EXPECT_EQ(Fresh(h, "textfield('e', '5.2f', zeros(1, 0))"), kErrUnknownOpt);
  EXPECT_EQ(Fresh(h, "textfield('e', 5, zeros(1, 0))"), kErrWrongTypeOverload);
  EXPECT_EQ(Fresh(h, "slider('e', {}, [0 1])"), kErrWrongType);
}

TEST(ControlNatives, LayoutNativesIgnoreTheirErrors) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "settabs([3 0 2]); settabs('ab'); vertcontrols(1); vertcontrols(fontset())"),
            kOk);
  const auto cmds = h.Commands(0);
  ASSERT_EQ(Codes(h), (std::vector<int32_t>{66, 66, 67}));
  EXPECT_EQ(cmds[0].data, test::Join({3, 0, 0, 0, 8}, Packed("xxx\t\txx\t")));
  EXPECT_EQ(cmds[1].data, test::Join({1, 0, 2}, Packed("ab")));
  EXPECT_EQ(cmds[2].data, Doubles{1});
}

// A layout native without room hands the shortage on, so that the store
// grows and the handler runs again (a bad argument is still passed over,
// as above).
TEST(ControlNatives, LayoutNativesHandOnAShortage) {
  for (const char* body : {"settabs('ab')", "settabs([4 8 12])", "vertcontrols(1)"}) {
    FigureHarness h;
    h.Open();
    h.LimitRoom(kObjectBeginDoubles + 2);
    const test::Guard guard(h);
    EXPECT_EQ(h.Draw(0, body), kErrPlotOverflow) << body;
    EXPECT_EQ(h.used(), kObjectBeginDoubles) << body;
    EXPECT_TRUE(guard.Intact()) << body;
  }
}

// Sliders of three values and short labels need 15 + 2k + label doubles
// each: one double less than that answers 10001 and writes nothing.
TEST(ControlNatives, RoomIsCheckedForEveryDoubleWritten) {
  const char* body = "slider(['a', char(9), 'b', char(9), 'c'], [1 2 3; 1 2 3; 1 2 3], [0 5])";
  test::ExpectExactRoom(body, kObjectBeginDoubles + 3 * (15 + 2 * 3 + 1));
}

// A random mix of the new natives into a store left with little room: every
// call answers, nothing passes the room and the store stays well formed.
TEST(ControlNatives, RandomMixKeepsTheStoreValid) {
  test::ExpectRandomMixKeepsStoreValid(
      {
          "text('abc')",
          "text(1, 2, 'label', 'rb')",
          "text(1, 2, 3, 'z', fontset('Font', 'DejaVu Sans', 'Size', 14))",
          "slider(['a', char(9), 'b'], [1 2; 3 4], [0 10; 1 100], 'nl', 'rg', 3)",
          "button(['x', char(9), 'y', char(10), 'z'], [1; 2], 'r')",
          "pushbutton(['Go', char(10), 'Stop'])",
          "popupmenu('menu', {'alpha', 'beta', 'gamma'}, 3)",
          "textfield(['f', char(9), 'g'], '%8.3e', [1 2 3])",
          "settabs(['name', char(9), 'value'])",
          "settabs([4 8 12])",
          "vertcontrols(0)",
      },
      26, 90);
}

}  // namespace
}  // namespace vke
