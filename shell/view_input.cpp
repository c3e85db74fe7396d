// The cursor table and the arrow keys.
#include "shell/view_input.hpp"

#include <iterator>

#include "app/errors.hpp"
#include "graphics/text_field_edit.hpp"

namespace vke {

namespace {

// Cursor by hit-test code 0 to 14.
constexpr int32_t kCursorByCode[] = {
    kArrowCursor,  // 0 nothing interactive under the pointer
    150,           // 1 manipulate an object or a legend
    153,           // 2 zoom in
    154,           // 3 zoom out
    155,           // 4 zoom along x in
    156,           // 5 zoom along x out
    151,           // 6 drag
    152,           // 7 drag along x
    kArrowCursor,  // 8 select
    159,           // 9 orbit
    159,           // 10 orbit with Shift
    158,           // 11 roll
    157,           // 12 pan and tilt
    160,           // 13 dolly laterally
    161,           // 14 dolly forward
};

constexpr uint32_t kArrowCodes[] = {kKeyLeft, kKeyUp, kKeyRight, kKeyDown};

}  // namespace

std::optional<int32_t> CursorForCode(int32_t code) {
  if (code < 0 || code >= static_cast<int32_t>(std::size(kCursorByCode))) return std::nullopt;
  return kCursorByCode[code];
}

uint32_t FigureArrowKey(ArrowKey key) {
  return kArrowCodes[static_cast<int>(key)];
}

bool KeyUnused(ErrCode code) {
  return code == kKvUndefElement;
}

bool RunFrameTick(EngineFacade& engine, bool modalOpen) {
  if (engine.HandlerBusy() || modalOpen) return false;
  engine.ResumeThreads();
  return true;
}

ErrCode RunViewTick(EngineFacade& engine, int32_t id, bool modalOpen) {
  if (engine.HandlerBusy() || modalOpen) return kOk;
  return engine.OnTimer(id);
}

bool TimersNeeded(const EngineFacade& engine, int32_t id, bool dragging) {
  return dragging || engine.HasTimedWork(id);
}

bool InterruptClosesWindow(const EngineFacade& engine, AbortFn takeBreak) {
  return !engine.HandlerBusy() && takeBreak(0);
}

}  // namespace vke
