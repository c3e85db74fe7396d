// The figure menu commands that act on the selected subplots (subplot 0 in a
// 1 x 1 grid): the state each menu shows, aggregated over the selection, and
// the commands that change scale kinds, options, locked scales, 3-D views
// and plots. Commands record an undo version and run the draw handlers
// through the host; they may move the memory block, so the figure must not
// be used after them.
#pragma once

#include <cstdint>

#include "graphics/camera.hpp"
#include "graphics/figure_state.hpp"

namespace vke {

// Figure menu commands 1 to 9 that the figure's flag word may withhold.
bool FigureCommandAvailable(const FigureState& figure, int32_t command);

// The subplots the commands act on, as a selection mask.
uint32_t CommandSubplots(const FigureState& figure);

// A menu's state over the selected subplots: the bits all of them have, the
// bits any of them may change, and the bits some have and others not.
struct MenuBits {
  uint32_t checked;
  uint32_t enabled;
  uint32_t mixed;
};

// Scale kinds; the bits 0x1F8000 are offered only with figure command 8.
MenuBits GetScaleMenuState(const FigureState& figure);
// Options in effect, and the options that apply.
MenuBits GetOptionMenuState(const FigureState& figure);

// Sets the scale-kind bits of `mask` to `values` where the subplot may
// change them. Asking for both bits of an axis (log x: 1 and 8; y: 2 and the
// dB bit 16) keeps the one the subplot has, or the first when it has
// neither. Then a new undo version and the draw handlers.
ErrCode ToggleScaleKind(FigureState* figure, FigureHost& host, uint32_t mask, uint32_t values);

// A new undo version, the option bits of `mask` set to `values`, then the
// figure saved.
ErrCode SetSubplotOption(FigureState* figure, FigureHost& host, uint32_t mask, uint32_t values);

// Locked scales, over the selected subplots that have a draw handler (any
// when `anyPlot`, as for instance-wide code) and a valid transform: whether
// all have x and y fixed (*mixed: some but not all), whether there is one,
// and the toggle: release all when all are locked, else fix them; then a new
// undo version and the draw handlers.
bool GetLockedScaleState(const FigureState& figure, bool anyPlot, bool* mixed);
bool CanLockScale(const FigureState& figure, bool anyPlot);
ErrCode ToggleLockedScale(FigureState* figure, FigureHost& host, bool anyPlot);

// The view menu over the selected 3-D subplots: automatic target, position
// and up vector and perspective, each with its mixed state. False when none
// is 3-D.
struct ViewMenuState {
  bool autoTarget, autoTargetMixed;
  bool autoPosition, autoPositionMixed;
  bool autoUp, autoUpMixed;
  bool perspective, perspectiveMixed;
};
bool GetViewMenuState(const FigureState& figure, ViewMenuState* out);

// Sets or clears a view flag, or the perspective projection, on the
// selected subplots; then a new undo version and the draw handlers.
ErrCode SetCameraViewFlag(FigureState* figure, FigureHost& host, uint32_t flag, bool on);
ErrCode SetPerspectiveView(FigureState* figure, FigureHost& host, bool on);

// Gives the selected subplots plot `plotId`; in free layout -1 deletes
// them and any other plot adds a subplot on the place of the selected (or
// last) one. No undo version, no drawing. kErrExhaustedRsrc when a free layout has no
// room for another subplot.
ErrCode ChangeSubplotPlot(FigureState* figure, FigureHost& host, int32_t plotId);

// The plot after (step 1) or before (step -1) the one the single selected
// subplot shows, in the application's order of plots, wrapping; kNoSubplot
// when there is no single selected subplot or no plot.
int32_t SteppedPlot(const FigureState& figure, FigureHost& host, int32_t step);

// rows x columns subplots in one column, free layout on.
void MakeOneColumn(FigureState* figure);

}  // namespace vke
