// A mark on the double just past the room a test leaves in the open object
// of a figure harness, where no native may write; and a random mix of
// natives run against it.
#pragma once

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <vector>

#include "app/block.hpp"
#include "app/errors.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/object_store.hpp"
#include "tests/host/figure_harness.hpp"

namespace vke::test {

struct Guard {
  explicit Guard(FigureHarness& h) : h(h) {
    const ObjectWriterState& w = h.block()->capture;
    at = ObjectList(h.block()->DataArea()).At(w.start) + size_t{w.capacity} * 8;
    SetPayloadDouble(at, 0, kMark);
  }
  bool Intact() const { return PayloadDouble(at, 0) == kMark; }
  static constexpr double kMark = -12345.5;
  FigureHarness& h;
  std::byte* at;
};

// The body, run as subplot 0's draw handler on an emptied object, needs
// exactly `need` doubles (its command 70 among them): with one less it
// answers 10001 and keeps only the command 70, with that many it writes them
// all; never past the room.
inline void ExpectExactRoom(const char* body, uint32_t need) {
  for (uint32_t room : {need - 1, need}) {
    FigureHarness h;
    h.Open();
    h.LimitRoom(room);
    const Guard guard(h);
    EXPECT_EQ(h.Draw(0, body), room < need ? kErrPlotOverflow : kOk) << body;
    EXPECT_EQ(h.used(), room < need ? kObjectBeginDoubles : need) << body;
    EXPECT_TRUE(guard.Intact()) << body;
  }
}

// Runs calls picked at random as subplot 0's draw handler into a store left
// with less than `room` doubles each time: every call answers 0 or 10001,
// nothing passes the room and the store stays well formed.
inline void ExpectRandomMixKeepsStoreValid(const std::vector<const char*>& calls, uint32_t seed,
                                           uint32_t room) {
  std::mt19937 random(seed);
  FigureHarness h;
  h.Open();
  for (int32_t i = 0; i < 300; ++i) {
    h.LimitRoom(static_cast<uint32_t>(random() % room));
    const Guard guard(h);
    const ErrCode e = h.Draw(0, calls[random() % calls.size()]);
    EXPECT_TRUE(e == kOk || e == kErrPlotOverflow) << e;
    ASSERT_TRUE(guard.Intact());
  }
  ASSERT_EQ(h.Close(), kOk);
  EXPECT_TRUE(
      ObjectListIsValid(h.block()->DataArea(), (h.block()->dataBytes - kInstanceRecordBytes) / 8));
}

}  // namespace vke::test
