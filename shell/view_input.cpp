// The cursor table and the keys without a character.
#include "shell/view_input.hpp"

#include <iterator>

#include "app/errors.hpp"
#include "graphics/text_field_edit.hpp"

namespace vke {

namespace {

// Cursor by hit-test code.
constexpr int32_t kCursorByCode[] = {
#define VKE_FIGURE_CURSOR(resource, shape) resource,
#include "shell/figure_cursors.def"
#undef VKE_FIGURE_CURSOR
};

constexpr uint32_t kCommandKeyCodes[] = {kKeyLeft, kKeyUp, kKeyRight, kKeyDown, kKeyDelete};

}  // namespace

std::optional<int32_t> CursorForCode(int32_t code) {
  if (code < 0 || code >= static_cast<int32_t>(std::size(kCursorByCode))) return std::nullopt;
  return kCursorByCode[code];
}

uint32_t FigureCommandKey(CommandKey key) {
  return kCommandKeyCodes[static_cast<int>(key)];
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
