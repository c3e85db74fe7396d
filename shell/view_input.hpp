// The view's input rules that need no window: the cursor a hit-test code
// selects, the figure key codes of the keys without a character, the
// timers' ticks and
// when they run, and what a SIGINT does.
#pragma once

#include <cstdint>
#include <optional>

#include "shell/engine_facade.hpp"

namespace vke {

// The system arrow; the program's own cursors are numbered 150 to 161.
inline constexpr int32_t kArrowCursor = 0;
inline constexpr int32_t kFirstFigureCursor = 150;
inline constexpr int32_t kLastFigureCursor = 161;

// The cursor of a hit-test code; nothing (the cursor stays) for codes
// outside 0..14.
std::optional<int32_t> CursorForCode(int32_t code);

// Keys that come without a character: the arrows, and Delete, which the
// figure takes as it takes Backspace.
enum class CommandKey { kLeft, kUp, kRight, kDown, kDelete };
// The figure's code of such a key.
uint32_t FigureCommandKey(CommandKey key);
// A key the figure has no use for (no key handler, no figure command): no
// error, the key goes on to the window.
bool KeyUnused(ErrCode code);

// The timers' ticks. Neither reaches the engine while a handler runs or a
// modal dialog is open: a dialog opened by a handler must not see the
// engine entered again beneath it.
// The frame's tick lets the engine's pending threads run; true when the
// documents' idle steps may follow.
bool RunFrameTick(EngineFacade& engine, bool modalOpen);
// The view's tick runs the instance's timer step: kStatusRepaint when the figure
// must be drawn at once; 0 when skipped.
ErrCode RunViewTick(EngineFacade& engine, int32_t id, bool modalOpen);
// Whether the ticks are needed: while the engine has timed work or a drag
// is in progress. Without, the timers stop and the program sleeps until an
// event comes.
bool TimersNeeded(const EngineFacade& engine, int32_t id, bool dragging);

// A SIGINT seen by the window: while a handler runs its break test stops it
// and that is all; otherwise the break it noted is taken (takeBreak) and,
// unless a handler had taken it first, the window closes (true).
bool InterruptClosesWindow(const EngineFacade& engine, AbortFn takeBreak);

}  // namespace vke
