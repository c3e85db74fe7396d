// The view's input rules that need no window: the cursor a hit-test code
// selects, the figure key codes of the arrow keys, and whether a timer tick
// may reach the engine.
#pragma once

#include <cstdint>
#include <optional>

namespace vke {

// The system arrow; the program's own cursors are numbered 150 to 161.
inline constexpr int32_t kArrowCursor = 0;
inline constexpr int32_t kFirstFigureCursor = 150;
inline constexpr int32_t kLastFigureCursor = 161;

// The cursor of a hit-test code; nothing (the cursor stays) for codes
// outside 0..14.
std::optional<int32_t> CursorForCode(int32_t code);

enum class ArrowKey { kLeft, kUp, kRight, kDown };
// The figure's code of an arrow key.
uint32_t FigureArrowKey(ArrowKey key);

// A timer tick runs engine work only when no handler runs and no modal
// dialog is open: a dialog opened by a handler must not see the engine
// entered again beneath it.
inline bool TickAllowed(bool handlerBusy, bool modalOpen) {
  return !handlerBusy && !modalOpen;
}

}  // namespace vke
