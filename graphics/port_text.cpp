// Text through the graphics port: the figure font, the command font and its
// colour, and the slots that select fonts, measure and draw text (Pango).
#include <cmath>

#include "graphics/cairo_target.hpp"
#include "graphics/port.hpp"
#include "graphics/port_cairo.hpp"

namespace vke {
namespace {

constexpr int32_t kDefaultFontSize = 12;   // em height of a font asked for with size 0
constexpr int32_t kMaxFaceNameBytes = 31;  // longer face names are cut

// Process-wide state of the command font's colour.
uint8_t g_fontRgb[3] = {0, 0, 0};
bool g_fontColourValid = false;

PortFont& FigureFontRef() {
  static PortFont font = MakePortFont(kDefaultFigureFontName, kDefaultFigureFontSize, 0);
  return font;
}

}  // namespace

PortFont MakePortFont(const char* name, double size, int32_t bits) {
  int32_t nameBytes = 0;
  while (name != nullptr && name[nameBytes] != '\0' && nameBytes < kMaxFaceNameBytes) ++nameBytes;
  // A long name is cut at a character boundary.
  if (name != nullptr && name[nameBytes] != '\0') {
    while (nameBytes > 0 && (static_cast<uint8_t>(name[nameBytes]) & 0xC0) == 0x80) --nameBytes;
  }
  gchar* family = g_utf8_make_valid(nameBytes > 0 ? name : "Sans", nameBytes > 0 ? nameBytes : -1);
  // The size is an em height in device units; truncated like every coordinate.
  const double whole = std::isfinite(size) ? std::fabs(std::trunc(size)) : 0.0;
  const int32_t em = whole < 1                  ? kDefaultFontSize
                     : whole > kLargestFontSize ? kLargestFontSize
                                                : static_cast<int32_t>(whole);
  PangoFontDescription* desc = pango_font_description_new();
  pango_font_description_set_family(desc, family);
  g_free(family);
  pango_font_description_set_absolute_size(desc, static_cast<double>(em) * PANGO_SCALE);
  pango_font_description_set_weight(desc,
                                    (bits & kFontBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(desc,
                                   (bits & kFontItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return PortFont(desc, (bits & kFontUnderline) != 0);
}

PortFont FigureFont() {
  return FigureFontRef();
}

void SetPortFont(const char* name, double size, int32_t bits) {
  FigureFontRef() = MakePortFont(name, size, bits);
}

void CairoSetFont(const char* name, double size, int32_t bits, const uint8_t* rgb, void* target) {
  auto* t = static_cast<CairoTarget*>(target);
  if (name == nullptr) {
    if (t != nullptr) t->SelectFont(FigureFontRef());
    g_fontColourValid = false;
    return;
  }
  if (t != nullptr) t->SelectFont(MakePortFont(name, size, bits));
  // Black cannot be a font colour: all zero means "no colour".
  g_fontColourValid = rgb != nullptr && (rgb[0] | rgb[1] | rgb[2]) != 0;
  for (int i = 0; i < 3; ++i) g_fontRgb[i] = g_fontColourValid ? rgb[i] : 0;
}

namespace {

// Lays the text out with the target's font: the layout (null when the target
// cannot draw) and its cell width and height.
PangoLayout* MeasureText(CairoTarget* t, const char* utf8, int32_t nbytes, int* w, int* h) {
  *w = 0;
  *h = 0;
  PangoLayout* layout = t != nullptr ? t->LayoutText(utf8, nbytes) : nullptr;
  if (layout != nullptr) pango_layout_get_pixel_size(layout, w, h);
  return layout;
}

}  // namespace

void CairoTextExtent(const char* utf8, int32_t nbytes, double* width, double* height,
                     void* target) {
  int w = 0;
  int h = 0;
  MeasureText(static_cast<CairoTarget*>(target), utf8, nbytes, &w, &h);
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
}

void CairoDrawText(double x, double y, const char* utf8, int32_t nbytes, int32_t flags,
                   const uint8_t* rgb, void* target) {
  auto* t = static_cast<CairoTarget*>(target);
  int32_t px = 0;
  int32_t py = 0;
  if (t == nullptr || !DevicePoint(x, y, &px, &py)) return;
  int w = 0;
  int h = 0;
  PangoLayout* layout = MeasureText(t, utf8, nbytes, &w, &h);
  if (layout == nullptr) return;
  const bool coloured = rgb != nullptr || g_fontColourValid;
  if (rgb != nullptr) {
    t->SetTextRgb((uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2]);
  } else if (g_fontColourValid) {
    t->SetTextRgb((uint32_t{g_fontRgb[0]} << 16) | (uint32_t{g_fontRgb[1]} << 8) | g_fontRgb[2]);
  }
  const TextCell cell = AlignedTextCell(px, py, w, h, flags);
  cairo_t* cr = t->context();
  SetSourceRgb(cr, t->textRgb());
  cairo_move_to(cr, cell.left, cell.top);
  pango_cairo_show_layout(cr, layout);
  if (coloured) t->SetTextRgb(0);
}

}  // namespace vke
