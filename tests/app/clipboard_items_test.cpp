// Copy and paste items (clipboard text, links, groups, the sandbox of pasted
// source text), post-event handlers and idle processing.
#include "app/clipboard_items.hpp"

#include <gtest/gtest.h>

#include <string>

#include "app/errors.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/post_event.hpp"
#include "app/undo_buffer.hpp"
#include "engine/errors/errors.hpp"
#include "engine/room_requests.hpp"
#include "graphics/figure_codes.hpp"
#include "tests/app/family_host.hpp"

namespace vke {
namespace {

using test::ElementListBuilder;
using test::FamilyHost;

constexpr int32_t Constant(int32_t n) {
  return (1 << 30) + n;
}

class Clipboard : public ::testing::Test {
 protected:
  Clipboard() : h({"a", "b"}) {}
  void SetUp() override {
    ASSERT_EQ(h.Compile("function (m, p, c) = _menuFlags(a, b, _xdatatype, _param)\n"
                        " m = [];\n p = [0, a];\n c = [];\n"),
              kOk);
    l.Instance(0, "app.kv", h.library());
  }
  ErrCode Load() {
    const ErrCode e = h.Load(l);
    h.Record()->initialised = 1;
    return e;
  }
  int32_t Last() const { return static_cast<int32_t>(l.Last()); }
  uint32_t Word(int32_t at, uint32_t i) {
    return Load32(h.block()->ElementArea() + 4 * (static_cast<size_t>(at) + 2 + i));
  }
  static uint32_t Load32(const uint8_t* p) { return vke::Load<uint32_t>(p); }

  FamilyHost h;
  ElementListBuilder l;
  int32_t a = 106, b = 107;
};

TEST_F(Clipboard, CopyWritesTheHandlersText) {
  l.TextHandler(kElemCopy, "Value", {-1, {kVarXData}, {a}});
  const int32_t copy = Last();
  l.TextHandler(kElemMenuItem, "Not a copy item", {-1});
  ASSERT_EQ(Load(), kOk);
  ASSERT_EQ(h.SetScalar(a, 2.5), kOk);
  char text[64];
  int32_t written = -1;
  ASSERT_EQ(RunCopyHandler(h.slot(), 0, copy, 7, text, sizeof text, &written), kOk);
  EXPECT_EQ(std::string(text, written), "2.5\r\n");
  EXPECT_EQ(RunCopyHandler(h.slot(), 0, Last(), 7, text, sizeof text, &written), kKvUndefElement);
}

TEST_F(Clipboard, PasteRunsTheItemAndStoresTheLinkOfTheSecondLine) {
  l.Paste(0, 0, "Value", {-1, {b}, {kVarXData}});
  const int32_t paste = Last();
  ASSERT_EQ(Load(), kOk);
  // One line: no link.
  EXPECT_EQ(PasteLink(h.slot(), 0, paste, "hello", -1), kStatusRepaint);
  EXPECT_EQ(h.Text(b), "hello");
  EXPECT_EQ(Word(paste, 0), 0u);
  EXPECT_EQ(h.VersionCount(), 2u);
  const std::string linked = "%KV xdata \"num\"\r\n%KV link 03 12\r\n7";
  EXPECT_EQ(PasteLink(h.slot(), 0, paste, linked.c_str(), -1), kStatusRepaint);
  EXPECT_EQ(h.Scalar(b), 7);
  EXPECT_EQ(Word(paste, 0), 3u);
  EXPECT_EQ(Word(paste, 1), 12u);
  // A line that is not the pattern, or has no digits where they belong,
  // leaves the link.
  for (const char* other :
       {"x\n%KV link 04 13", "x\n%KV link ## **", "x\n%KV lonk 04 13", "x\n%KV link 4"}) {
    EXPECT_EQ(PasteLink(h.slot(), 0, paste, other, -1), kStatusRepaint) << other;
    EXPECT_EQ(Word(paste, 0), std::string(other) == "x\n%KV link 04 13" ? 4u : 3u) << other;
    Store<uint32_t>(h.block()->ElementArea() + 4 * (static_cast<size_t>(paste) + 2), 3);
  }
}

TEST_F(Clipboard, PastedSourceTextRunsInTheSandbox) {
  l.Paste(0, 0, "Value", {-1, {b}, {kVarXData}});
  const int32_t paste = Last();
  ASSERT_EQ(Load(), kOk);
  EXPECT_EQ(PasteLink(h.slot(), 0, paste, "%KV xdata \"t\"\n1 + 2", -1), kStatusRepaint);
  EXPECT_EQ(h.Scalar(b), 3);
  // "path" belongs to a library that sandboxed code may not call.
  EXPECT_EQ(PasteLink(h.slot(), 0, paste, "%KV xdata \"t\"\npath()", -1), kErrSecViolation);
  EXPECT_EQ(h.Scalar(b), 3);
  EXPECT_EQ(h.VersionCount(), 2u);
}

TEST_F(Clipboard, AGroupPastesIntoItsFirstEnabledItem) {
  // The second item of the group is enabled while a is not 0.
  l.Paste(0, 0, "Value", {-1, {a}, {Constant(1)}});
  const int32_t first = Last();
  l.Paste(0, 0, "", {-1, {b}, {Constant(2)}});
  const int32_t second = Last();
  ASSERT_EQ(Load(), kOk);
  ASSERT_EQ(h.SetScalar(a, 5), kOk);
  int32_t target = -1;
  ASSERT_EQ(FindPasteTarget(h.slot(), 0, first, "x", 1, &target), kOk);
  EXPECT_EQ(target, second);
  EXPECT_EQ(PasteLink(h.slot(), 0, first, "x", 1), kStatusRepaint);
  EXPECT_EQ(h.Scalar(b), 2);
  EXPECT_EQ(h.Scalar(a), 5);
  ASSERT_EQ(h.SetScalar(a, 0), kOk);
  EXPECT_EQ(PasteLink(h.slot(), 0, first, "x", 1), kKvUndefElement);
  EXPECT_EQ(h.VersionCount(), 2u);
}

// A flags function that finds no room is no answer: the block grows for it
// and the paste goes where it would have gone, never "Undefined element"
// for an item that is there.
TEST_F(Clipboard, APasteWhoseFlagsFunctionFoundNoRoomGrowsTheBlock) {
  l.Paste(0, 0, "Value", {-1, {a}, {Constant(1)}});
  const int32_t first = Last();
  l.Paste(0, 0, "", {-1, {b}, {Constant(2)}});
  ASSERT_EQ(Load(), kOk);
  ASSERT_EQ(h.SetScalar(a, 5), kOk);
  for (uint64_t k = 1;; ++k) {
    ASSERT_EQ(h.SetScalar(b, 0), kOk);
    WatchRoomRequests(k);
    const ErrCode e = PasteLink(h.slot(), 0, first, "x", 1);
    const bool refused = RoomRequestRefused();
    StopWatchingRoomRequests();
    if (!refused) break;
    // Where this host does not grow, the shortage is the paste's error.
    if (e == kStatusRepaint) {
      EXPECT_EQ(h.Scalar(b), 2) << k;
    } else {
      EXPECT_TRUE(IsMemoryCode(e)) << k << ": " << e;
      EXPECT_EQ(h.Scalar(b), 0) << k;
    }
  }
}

// ---- Post-event handlers and idle processing ----

TEST_F(Clipboard, PostEventHandlersRunWhenAListedVariableHasAValue) {
  l.PostEvent({}, {-1, {a}, {Constant(1)}}).PostEvent({a, b}, {-1, {b}, {Constant(2)}});
  ASSERT_EQ(Load(), kOk);
  ASSERT_EQ(RunPostEventHandlers(h.slot(), 0), kOk);
  EXPECT_EQ(h.Scalar(a), 1);
  EXPECT_EQ(h.Scalar(b), 2);  // a has a value by now
  ElementListBuilder only;
  only.Instance(0, "app.kv", h.library()).PostEvent({a, b}, {-1, {b}, {Constant(3)}});
  ASSERT_EQ(h.Load(only), kOk);
  ASSERT_EQ(ResetUndoSet(h.block()->UndoArea(), 0), kOk);
  ASSERT_EQ(RunPostEventHandlers(h.slot(), 0), kOk);
  EXPECT_FALSE(h.HasValue(b));
}

TEST_F(Clipboard, IdleProcessingSwitchesOnlyWithAnIdleHandler) {
  ASSERT_EQ(Load(), kOk);
  EXPECT_FALSE(HasIdleHandler(h.block(), 0));
  SetIdleProcessing(h.block(), 0, true);
  EXPECT_FALSE(IsIdleProcessingEnabled(h.block(), 0));
  l.Handler(kElemIdle, {-1, {a}, {Constant(4)}});
  ASSERT_EQ(Load(), kOk);
  EXPECT_TRUE(HasIdleHandler(h.block(), 0));
  EXPECT_FALSE(HasIdleHandler(h.block(), 9));
  EXPECT_TRUE(IsIdleProcessingEnabled(h.block(), 0));
  h.Record()->idleMode = kIdleModeRate;
  SetIdleProcessing(h.block(), 0, true);  // on already: the pace stays
  EXPECT_EQ(h.Record()->idleMode, kIdleModeRate);
  SetIdleProcessing(h.block(), 0, false);
  EXPECT_FALSE(IsIdleProcessingEnabled(h.block(), 0));
  SetIdleProcessing(h.block(), 0, true);
  EXPECT_EQ(h.Record()->idleState, kIdleOn);
  EXPECT_EQ(h.Record()->idleMode, kIdleModeNone);
  // A tick while a handler runs does nothing; otherwise the handler runs.
  h.block()->handlerBusy = 1;
  EXPECT_EQ(OnTimerHandler(h.slot(), 0), kOk);
  EXPECT_FALSE(h.HasValue(a));
  h.block()->handlerBusy = 0;
  OnTimerHandler(h.slot(), 0);
  EXPECT_EQ(h.Scalar(a), 4);
}

}  // namespace
}  // namespace vke
