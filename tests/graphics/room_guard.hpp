// A mark on the double just past the room a test leaves in the open object
// of a figure harness, where no native may write.
#pragma once

#include "app/block.hpp"
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

}  // namespace vke::test
