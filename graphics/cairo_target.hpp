// The drawing target of the graphics port: a cairo context on an image (the
// view's off-screen bitmap), a PDF page (the printer), an SVG document, the
// clipboard's copy (one drawing kept as SVG, PDF and PNG at once), or a
// context lent by the toolkit (a printer page), with the device-context
// state the port's slots keep on it: the selected font, the text colour and
// the stack of saved states.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/base.hpp"
#include "graphics/convex_fill.hpp"

namespace vke {

// A font as a target selects it: a Pango description and the underline that
// Pango keeps apart from it.
class PortFont {
 public:
  PortFont() = default;
  PortFont(PangoFontDescription* desc, bool underline) : desc_(desc), underline_(underline) {}
  PortFont(const PortFont& other);
  PortFont& operator=(const PortFont& other);
  ~PortFont();
  const PangoFontDescription* desc() const { return desc_; }
  bool underline() const { return underline_; }

 private:
  PangoFontDescription* desc_ = nullptr;
  bool underline_ = false;
};

// Size limit of every target, in device units, in both directions.
inline constexpr int32_t kMaxTargetSize = 32767;

class CairoTarget {
 public:
  // An opaque white image of width x height pixels; shapes are drawn without
  // antialiasing, like the platform's pixel-exact line drawing.
  static ErrCode CreateImage(int32_t width, int32_t height, std::unique_ptr<CairoTarget>* out);
  // One PDF page of width x height device units at dotsPerInch, written to
  // path by Finish.
  static ErrCode CreatePdf(const char* path, int32_t width, int32_t height, double dotsPerInch,
                           std::unique_ptr<CairoTarget>* out);
  // An SVG document of width x height units, kept as text (SvgText) by Finish.
  static ErrCode CreateSvg(int32_t width, int32_t height, std::unique_ptr<CairoTarget>* out);
  // One drawing of width x height units kept at once as an SVG document
  // (SvgText), a PDF page at dotsPerInch (PdfText) and an image (PngText)
  // by Finish. Like SVG it cannot invert: feedback is drawn in black.
  static ErrCode CreateCopyDocuments(int32_t width, int32_t height, double dotsPerInch,
                                     std::unique_ptr<CairoTarget>* out);
  // Draws on a context that the caller keeps (a printer page, a preview's
  // bitmap): width x height device units in the context's current user
  // space. Text is measured and drawn alike at any scale of that space (no
  // hinting, glyphs placed unrounded), so that a page drawn large and small
  // is laid out the same. The context's state is saved here and given back
  // as it was when the target goes.
  static ErrCode CreateOnContext(cairo_t* context, int32_t width, int32_t height,
                                 std::unique_ptr<CairoTarget>* out);

  CairoTarget(const CairoTarget&) = delete;
  CairoTarget& operator=(const CairoTarget&) = delete;
  ~CairoTarget();

  // Completes the document (PDF file, SVG text); nothing more can be drawn.
  // kErrIoErr when cairo could not write it.
  ErrCode Finish();
  // Image targets only: the pixels as a PNG file; kErrIoErr on failure.
  ErrCode WritePng(const char* path);
  const std::string& SvgText() const { return svg_; }
  const std::string& PdfText() const { return pdf_; }
  // The pixels of an image, or of a copy's image, as PNG bytes; kErrBadArg
  // for a target without pixels, kErrIoErr on failure.
  ErrCode PngText(std::string* png) const;

  cairo_t* context() const { return cr_; }
  cairo_surface_t* surface() const { return surface_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool raster() const { return raster_; }
  // False where the document format has no inverting blend (SVG).
  bool invertible() const { return invertible_; }

  // Narrows the clip to the rectangle (device units, right and bottom
  // exclusive, whole units).
  void ClipToRect(double left, double top, double right, double bottom);
  // An image drawn on in device pixels under the clip rectangles alone:
  // the pixels that a direct fill may write, with cairo's drawing complete
  // in them; false for any other target or state. MarkWritten tells cairo
  // which of them were written.
  bool DirectPixels(PixelRows* rows);
  void MarkWritten(const PixelRows& rows);
  // Room for the coverage of one pixel row of a direct fill.
  std::vector<float>* fillCells() { return &fillCells_; }

  // The emulated device-context state.
  void SaveState();
  // False (and nothing restored) when no state is saved.
  bool RestoreState();
  // The thinnest line the port strokes, in device units; 0 (the default)
  // strokes every pen at its own width.
  void SetLeastLineWidth(double units) { leastLineWidth_ = units; }
  double leastLineWidth() const { return leastLineWidth_; }
  const PortFont& font() const { return font_; }
  void SelectFont(const PortFont& font) { font_ = font; }
  uint32_t textRgb() const { return textRgb_; }
  void SetTextRgb(uint32_t rgb) { textRgb_ = rgb & 0xFFFFFF; }
  // The layout the text slots measure and draw with, set to the font.
  PangoLayout* LayoutText(const char* utf8, int32_t nbytes);

 private:
  CairoTarget(int32_t width, int32_t height, bool raster, bool invertible);
  // Takes over the surface (destroyed with the target) and draws on it in
  // device units of `scale` surface units.
  ErrCode Attach(cairo_surface_t* surface, double scale);
  static cairo_surface_t* SvgDocument(CairoTarget* t, int32_t width, int32_t height);
  static cairo_status_t AppendSvg(void* closure, const unsigned char* data, unsigned int length);
  static cairo_status_t AppendPdf(void* closure, const unsigned char* data, unsigned int length);
  // The surface holding a copy's or an image's pixels, or null.
  cairo_surface_t* Pixels() const;

  // The clip in device pixels, as the port narrowed it.
  struct ClipBox {
    int32_t left, top, right, bottom;
  };
  struct SavedState {
    PortFont font;
    uint32_t textRgb;
    ClipBox clip;
  };

  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  PangoLayout* layout_ = nullptr;
  int32_t width_;
  int32_t height_;
  bool raster_;
  bool invertible_;
  bool finished_ = false;
  bool lent_ = false;  // the context is the caller's
  // A copy's SVG, PDF and image surfaces, which its surface draws on.
  std::vector<cairo_surface_t*> replicas_;
  PortFont font_;
  uint32_t textRgb_ = 0;
  double leastLineWidth_ = 0;
  std::vector<SavedState> saved_;
  ClipBox clip_;
  std::vector<float> fillCells_;
  std::string svg_;
  std::string pdf_;
};

// The figure font as a target selects it when no command font is set.
PortFont FigureFont();

}  // namespace vke
