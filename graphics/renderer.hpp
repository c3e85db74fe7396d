// The subplot renderer: the one place where drawing commands become drawing
// through the graphics port. One call replays one subplot's command group
// (from its command 70 up to the next one) in a fixed order: the viewport's
// background, grid and polar frame, the commands, then the frame, ticks,
// labels and title on top. Everything it needs beyond the commands comes from
// the caller: a scratch buffer (nothing is allocated), the subplot record and
// the default styles.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/errors/errors.hpp"
#include "graphics/port.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// The default style records of a call; a null record takes the renderer's
// built-in one.
struct RenderStyles {
  const PlotStyle* data;   // data commands with the default-style bit
  const PlotStyle* box;    // 3-D box, legend background
  const PlotStyle* axes;   // grid lines and polar frame
  const PlotStyle* grid;   // control-design grids with the default-style bit
  const PlotStyle* label;  // frame, ticks, tick labels, legend outline
};

// The text field being edited, as the interaction code keeps it.
struct TextFieldEdit {
  int32_t field;    // not negative while a field is edited
  int32_t command;  // position of the field's command
  int32_t caretStart;
  int32_t caretEnd;
};

inline constexpr TextFieldEdit kNoTextFieldEdit{-1, -1, -1, -1};

// Replays the group whose command 70 lies at *position of the `end` doubles
// of `list`, and stores where replay stopped in *position. True when another
// group follows. `scratch` holds `capacity` doubles; a command that does not
// fit is skipped, as is one that needs an empty port slot. With layoutOnly
// nothing is drawn: only the fonts are selected and the tab stops measured.
// The renderer writes into the list only the measured tab stops of their own
// commands. A 3-D subplot's primitives outgrow the scratch into memory of
// the call's own; when no memory is left for them *error (when given)
// becomes kErrOutOfMem and what was kept is drawn, else it is left as it
// was.
bool RenderObjectList(std::byte* list, uint32_t end, double* scratch, uint32_t capacity,
                      SubplotRecord* subplot, uint32_t* position, const RenderStyles& styles,
                      const TextFieldEdit& edit, bool layoutOnly, const GraphicsPort& port,
                      void* target, ErrCode* error = nullptr);

// Tests of a figure drawn when memory runs out: each piece of memory a
// render call takes for itself is refused above `bytes` (0, as at start:
// no bound but the system's).
void SetRenderMemoryBound(size_t bytes);

// The colour of t through a colour map of `count` entries (reds, then
// greens, then blues, `count` doubles each, 0 to 1): entry floor(count t),
// the first below 0 (and for NaN), the last from 1 on; without a map
// (count <= 0) grey from black at 0 to white at 1.
void ColormapLookup(const std::byte* colormap, int32_t count, double t, uint8_t rgb[3]);

// Lays a subplot out for a port: margin units from the size of "0" (10 by 12
// without text metrics), margins from the port's first four metrics (the
// start metrics of the screen without a port).
void PrepareSubplotLayout(SubplotRecord* subplot, const GraphicsPort* port, void* target);
// The figure font changed: the margin units of a laid-out subplot are
// measured again with it, and its viewport follows from its position and
// margins.
void RemeasureSubplotMargins(SubplotRecord* subplot, const GraphicsPort& port, void* target);

}  // namespace vke
