// The device-independent part of the graphics port: slot names, the port's
// colour table, the pen and brush of a style word, and the background
// colour and thick-lines option that both tables share.
#include <array>

#include "graphics/port.hpp"

namespace vke {
namespace {

// Colours the port draws the indexes 1..7 in (0xRRGGBB); green and cyan are
// the port's own shades, darker than the parser's bytes.
constexpr std::array<uint32_t, 8> kPortColours{
    0x000000,  // 0: the style's own bytes
    0x0000FF,  // 1 blue
    0x009900,  // 2 green
    0x00CCFF,  // 3 cyan
    0xFF0000,  // 4 red
    0xFF00FF,  // 5 magenta
    0xFFFF00,  // 6 yellow
    0xFFFFFF,  // 7 white
};

uint32_t g_background = kDefaultBackgroundColor;
bool g_thickLines = false;

}  // namespace

const char* PortSlotName(PortSlot slot) {
  switch (slot) {
#define VKE_PORT_SLOT(index, member, type, name) \
  case PortSlot::member:                         \
    return name;
#include "graphics/port_slots.def"
#undef VKE_PORT_SLOT
  }
  return "?";
}

uint32_t PortStyleColour(const PlotStyle& style) {
  const uint32_t index = style.flags & kStyleColourMask;
  if (index != 0) return kPortColours[index];
  return (uint32_t{style.red} << 16) | (uint32_t{style.green} << 8) | style.blue;
}

PenBrush SelectPenBrush(const PlotStyle& style) {
  const uint32_t widthBits = style.flags & kStyleWidthMask;
  PenBrush pen{1, PenDash::kSolid, PortStyleColour(style), widthBits == kStyleFilled};
  if (widthBits == 0) pen.width = g_thickLines ? 2 : 1;
  if (widthBits == kStyleThick) pen.width = g_thickLines ? 4 : 2;
  // Wider pens are always solid.
  if (pen.width == 1) {
    switch (style.flags & kStyleKindMask) {
      case kKindDash:
        pen.dash = PenDash::kDash;
        break;
      case kKindDot:
        pen.dash = PenDash::kDot;
        break;
      case kKindDashDot:
        pen.dash = PenDash::kDashDot;
        break;
      default:
        break;
    }
  }
  return pen;
}

void SetBackgroundColor(uint32_t colorref) {
  g_background = colorref & 0x00FFFFFF;
}
uint32_t GetBackgroundColor() {
  return g_background;
}
bool ChooseBackgroundColor(const ColorDialogFn& dialog) {
  uint32_t colorref = g_background;
  if (!dialog || !dialog(&colorref)) return false;
  SetBackgroundColor(colorref);
  return true;
}
void SetDrawingOption(bool thickLines) {
  g_thickLines = thickLines;
}

}  // namespace vke
