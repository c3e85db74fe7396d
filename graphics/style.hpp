// Plot style strings: the style record of a drawing command, the bits of its
// style word, and the parser that turns strings such as 'r-' or 'bo,g:' into
// style records, one entry per series.
#pragma once

#include <cstdint>

#include "engine/base.hpp"

namespace vke {

// The style of one series: the style word and the explicit colour that colour
// index 0 draws with.
struct PlotStyle {
  uint32_t flags;
  uint8_t red;
  uint8_t green;
  uint8_t blue;
  uint8_t spare;
};
static_assert(sizeof(PlotStyle) == 8);

// Bits of the style word.
inline constexpr uint32_t kStyleColourMask = 0x7;     // colour index, 0 = explicit bytes
inline constexpr uint32_t kStyleDefaultRecord = 0x8;  // renderer: use its default style record
inline constexpr uint32_t kStyleWidthMask = 0x30;     // line width and fill
inline constexpr uint32_t kStyleThick = 0x10;         // thick line
inline constexpr uint32_t kStyleFilled = 0x20;        // filled with the brush
inline constexpr uint32_t kStyleKindMask = 0x3C0;     // line or marker kind, below
inline constexpr uint32_t kStyleStairs = 0x800;       // option "s"
inline constexpr uint32_t kStyleArrowFirst = 0x1000;  // renderer: arrowhead at the first point
inline constexpr uint32_t kStyleArrowLast = 0x2000;   // renderer: arrowhead at the last point
// Set by the renderer on the styles of data it hands the port, never stored:
// drawn anti-aliased (curves, markers, fills, faces) rather than pixel-exact.
inline constexpr uint32_t kStyleSmooth = 0x40000000;

// Line and marker kinds (style word & kStyleKindMask).
enum StyleKind : uint32_t {
  kKindSolid = 0x000,
  kKindDash = 0x040,
  kKindDot = 0x080,
  kKindDashDot = 0x0C0,
  kKindPlain = 0x100,  // solid, chosen by "n"
  kKindNone = 0x140,   // nothing drawn
  kKindPoint = 0x180,  // first marker kind
  kKindCircle = 0x1C0,
  kKindCross = 0x200,
  kKindPlus = 0x240,
  kKindStar = 0x280,
  kKindTriangleUp = 0x2C0,
  kKindTriangleDown = 0x300,
  kKindBox = 0x340,
  kKindDiamond = 0x380,
  kKindHidden = 0x3C0,  // nothing drawn
};

// Red, green and blue of a colour index 1..7 as the parser stores them; index
// 0 and indexes outside 1..7 give black.
void StyleIndexColour(uint32_t index, uint8_t rgb[3]);

// Applies the characters of entry `index` of a style string to *style, or
// with index -1 only counts the entries. `count` and `style` may be null.
// Result 0, or kErrUnknownOpt for a leading comma, a malformed colour after
// "h"/"H" anywhere, or a character outside the vocabulary in the entry
// parsed; *style keeps what was applied before the error.
ErrCode ParsePlotStyleChars(const char* text, int32_t length, int32_t index, int32_t* count,
                            PlotStyle* style);

// The number of entries of a style string.
ErrCode CountStyleEntries(const char* text, int32_t length, int32_t* count);

// The style of series `series`: the default word and colour (null for black)
// changed by entry series mod n of the string; a nonzero colour index sets
// the colour bytes. An empty string keeps the defaults.
ErrCode ParsePlotStyle(const char* text, int32_t length, int32_t series, uint32_t defaultFlags,
                       const uint8_t* defaultRgb, PlotStyle* out);

}  // namespace vke
