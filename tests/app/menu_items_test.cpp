// Menu items: the menu lookup, running an item in a new undo version, and
// their states from "_menuFlags" with its cache of 64 items.
#include "app/menu_items.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/errors.hpp"
#include "app/figure_commands.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "engine/room_requests.hpp"
#include "graphics/figure_codes.hpp"
#include "tests/app/family_host.hpp"

namespace vke {
namespace {

using test::ElementListBuilder;
using test::FamilyHost;

class MenuItems : public ::testing::Test {
 protected:
  MenuItems() : h({"a", "b"}) {}

  // "_menuFlags" gives the states `m` of the menu items; the paste and copy
  // flags are empty.
  void CompileFlags(const std::string& m) {
    ASSERT_EQ(h.Compile("function a = inc(a)\n a = a + 1;\nfunction fail()\n error('no');\n"
                        "function (m, p, c) = _menuFlags(a, b, _xdatatype, _param)\n m = " +
                        m + ";\n p = [];\n c = [];\n"),
              kOk);
  }
  // Word positions of the elements added, in order.
  int32_t Add(ElementListBuilder& list) { return static_cast<int32_t>(list.Last()); }
  uint8_t State(int32_t at, int32_t version = 0) {
    uint8_t s = 0xFF;
    EXPECT_EQ(GetMenuItemState(h.slot(), 0, at, version, nullptr, 0, &s), kOk);
    return s;
  }

  FamilyHost h;
  int32_t a = 106, b = 107;
};

TEST_F(MenuItems, LookupStopsAtItemsAndAtMenusThatHoldThem) {
  CompileFlags("[1 0]");
  ElementListBuilder l;
  l.Instance(0, "app.kv", h.library());
  l.Text(kElemMenuStart, "Edit").TextHandler(kElemMenuItem, "Inc", {h.Fn("inc"), {a}, {a}});
  l.Empty(kElemMenuSeparator).Text(kElemMenuStructure, "Sub").Empty(kElemMenuEnd);
  l.Text(kElemMenuStart, "Empty").Empty(kElemMenuSeparator).Empty(kElemMenuEnd);
  l.Text(kElemMenuStart, "Last").TextHandler(kElemMenuItem, "Fail", {h.Fn("fail")});
  l.Empty(kElemMenuEnd).Empty(kElemMenuLookupEnd).TextHandler(kElemMenuItem, "Hidden", {-1});
  ASSERT_EQ(h.Load(l), kOk);
  auto walk = [&](bool menus, bool structure, bool separators = false) {
    std::string seen;
    MenuEntry e;
    for (int32_t at = -1;
         GetMenuItemInfo(h.block(), 0, 'm', &at, &e, menus, structure, separators) == kOk;)
      seen += std::to_string(e.kind) + ":" + std::string(e.text) + " ";
    return seen;
  };
  EXPECT_EQ(walk(false, false), "19:Inc 19:Fail ");
  EXPECT_EQ(walk(true, false), "22:Edit 19:Inc 23: 22:Last 19:Fail 23: ");
  EXPECT_EQ(walk(false, true), "19:Inc 20:Sub 19:Fail ");
  // A menu that holds only a separator is still skipped whole.
  EXPECT_EQ(walk(true, true, true), "22:Edit 19:Inc 25: 20:Sub 23: 22:Last 19:Fail 23: ");
  int32_t at = 5;
  MenuEntry e;
  EXPECT_EQ(GetMenuItemInfo(h.block(), 3, 'm', &at, &e), kKvNonexistentInstance);
}

TEST_F(MenuItems, AnItemRunsInANewVersionThatAFailureDrops) {
  CompileFlags("[1 0]");
  ElementListBuilder l;
  l.Instance(0, "app.kv", h.library()).TextHandler(kElemMenuItem, "Inc", {h.Fn("inc"), {a}, {a}});
  const int32_t inc = Add(l);
  l.TextHandler(kElemMenuItem, "Fail", {h.Fn("fail")});
  const int32_t fail = Add(l);
  ASSERT_EQ(h.Load(l), kOk);
  h.Record()->initialised = 1;  // the draw handlers afterwards do not reset it
  ASSERT_EQ(h.SetScalar(a, 1), kOk);
  EXPECT_EQ(RunMenuItemHandler(h.slot(), 0, inc), kStatusRepaint);
  EXPECT_EQ(h.Scalar(a), 2);
  EXPECT_EQ(h.Scalar(a, 1), 1);
  EXPECT_EQ(h.VersionCount(), 2u);
  EXPECT_NE(RunMenuItemHandler(h.slot(), 0, fail), kOk);
  EXPECT_EQ(h.VersionCount(), 2u);
  EXPECT_EQ(h.CurrentVersion(), 1u);
  // A handler already running: nothing is done and nothing is left.
  h.block()->handlerBusy = 1;
  EXPECT_EQ(RunMenuItemHandler(h.slot(), 0, inc), kOk);
  h.block()->handlerBusy = 0;
  EXPECT_EQ(h.VersionCount(), 2u);
  EXPECT_EQ(h.Scalar(a), 2);
  EXPECT_EQ(RunMenuItemHandler(h.slot(), 0, inc + 1), kKvUndefElement);
}

// The line of a failed handler's error belongs to that run only: a later
// action that fails without running code reports no line.
TEST_F(MenuItems, AnErrorLineBelongsToTheActionThatRaisedIt) {
  ASSERT_EQ(h.Compile("function fail()\n x = 1;\n error('VKE:undefElement');\n"), kOk);
  ElementListBuilder l;
  l.Instance(0, "app.kv", h.library()).TextHandler(kElemMenuItem, "Fail", {h.Fn("fail")});
  const int32_t fail = Add(l);
  ASSERT_EQ(h.Load(l), kOk);
  h.Record()->initialised = 1;
  auto text = [&](ErrCode code) {
    char buffer[256];
    const int32_t n = GetErrorMessageText(h.ctx(), code, buffer, sizeof buffer);
    return std::string(buffer, n);
  };
  ASSERT_EQ(RunMenuItemHandler(h.slot(), 0, fail), kKvUndefElement);
  EXPECT_EQ(text(kKvUndefElement), "Undefined element (line 3)");
  EXPECT_EQ(RunMenuItemHandler(h.slot(), 0, fail + 1), kKvUndefElement);
  EXPECT_EQ(text(kKvUndefElement), "Undefined element");
  ASSERT_EQ(RunMenuItemHandler(h.slot(), 0, fail), kKvUndefElement);
  EXPECT_EQ(RedoFigureStep(h.slot(), 7), kKvNonexistentInstance);
  EXPECT_EQ(text(kKvNonexistentInstance), "Nonexistent instance");
}

TEST_F(MenuItems, StatesComeFromMenuFlagsAndAreCachedPerVersion) {
  // Item 1 enabled when a > 0 and checked when b > 0 (no check mark when
  // b < 0); item 2 enabled, without a check mark, but reading _param; item
  // 3 beyond the output: disabled.
  CompileFlags("[a > 0, b, 1, -1]");
  ElementListBuilder l;
  l.Instance(0, "app.kv", h.library()).TextHandler(kElemMenuItem, "One", {-1});
  const int32_t one = Add(l);
  l.TextHandler(kElemMenuItem, "Two", {-1, {a}, {kVarParam}});
  const int32_t two = Add(l);
  l.TextHandler(kElemMenuItem, "Three", {-1});
  const int32_t three = Add(l);
  ASSERT_EQ(h.Load(l), kOk);
  ASSERT_EQ(h.SetScalar(a, 1), kOk);
  ASSERT_EQ(h.SetScalar(b, 1), kOk);
  EXPECT_EQ(State(one), 3);
  EXPECT_EQ(State(two), kMenuStateEnabled | kMenuStateNoCheckMark);  // 1 x 1: selected
  EXPECT_EQ(State(three), 0);
  EXPECT_EQ(h.Record()->changed, 0);
  // Unchanged and the same version: the cache answers.
  ASSERT_EQ(h.SetScalar(a, 0), kOk);
  EXPECT_EQ(State(one), 3);
  // Another version, or a handler's change, computes anew.
  EXPECT_EQ(State(one, 1), 2);
  ASSERT_EQ(h.SetScalar(b, -1), kOk);
  h.Record()->changed = 1;
  EXPECT_EQ(State(one, 1), kMenuStateNoCheckMark);
  // Without a selected subplot, items that use _param are disabled; whether
  // they carry a check mark stays known.
  FigureState& fig = h.Record()->figure;
  fig.rows = 2;
  fig.selection = 0;
  h.Record()->changed = 1;
  EXPECT_EQ(State(two), kMenuStateNoCheckMark);
}

// A flags function that finds no room, in its run or in the conversion of
// its outputs, is no answer: the block grows and the state read is the one
// read without the refusal, never the stale cache.
TEST_F(MenuItems, AStateWhoseFlagsFunctionFoundNoRoomGrowsTheBlock) {
  CompileFlags("[a > 0, b > 0]");
  ElementListBuilder l;
  l.Instance(0, "app.kv", h.library()).TextHandler(kElemMenuItem, "One", {-1});
  const int32_t one = Add(l);
  ASSERT_EQ(h.Load(l), kOk);
  ASSERT_EQ(h.SetScalar(a, 1), kOk);
  ASSERT_EQ(h.SetScalar(b, 1), kOk);
  for (uint64_t k = 1;; ++k) {
    h.Record()->changed = 1;
    std::memset(h.Record()->menuStates, 0, sizeof h.Record()->menuStates);
    uint8_t state = 0xFF;
    WatchRoomRequests(k);
    const ErrCode e = GetMenuItemState(h.slot(), 0, one, 0, nullptr, 0, &state);
    const bool refused = RoomRequestRefused();
    StopWatchingRoomRequests();
    if (!refused) break;
    // Where this host does not grow, the shortage is the answer.
    if (e == kOk) {
      EXPECT_EQ(state, kMenuStateEnabled | kMenuStateChecked) << k;
    } else {
      EXPECT_TRUE(IsMemoryCode(e)) << k << ": " << e;
    }
  }
}

TEST_F(MenuItems, SixtyFourItemsAreCached) {
  CompileFlags("ones(1, 130)");
  ElementListBuilder l;
  l.Instance(0, "app.kv", h.library());
  int32_t items[65];
  for (int32_t& at : items) {
    l.TextHandler(kElemMenuItem, "Item", {-1});
    at = Add(l);
  }
  ASSERT_EQ(h.Load(l), kOk);
  EXPECT_EQ(State(items[0]), 3);
  EXPECT_EQ(State(items[63]), 3);
  EXPECT_EQ(State(items[64]), 0);
}

TEST_F(MenuItems, WithoutMenuFlagsEveryItemIsDisabled) {
  ASSERT_EQ(h.Compile("function a = inc(a)\n a = a + 1;\n"), kOk);
  ElementListBuilder l;
  l.Instance(0, "app.kv", h.library()).TextHandler(kElemMenuItem, "One", {-1});
  ASSERT_EQ(h.Load(l), kOk);
  EXPECT_EQ(RunMenuFlagsFunction(h.slot(), 0, nullptr, 0), kErrUndefFun);
  EXPECT_EQ(State(static_cast<int32_t>(l.Last())), 0);
  EXPECT_EQ(h.Output(2), "");
}

}  // namespace
}  // namespace vke
