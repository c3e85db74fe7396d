// The drawing target of the graphics port: a cairo context on an image (the
// view's off-screen bitmap), a PDF page (the printer, or a PDF copy kept in
// memory), an SVG document (the clipboard copy), a recording replayed onto
// other targets, or a context lent by the toolkit (a printer page), with the
// device-context state the port's slots keep on it: the selected font, the
// text colour and the stack of saved states.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/base.hpp"

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
  // The same page kept in memory (DocumentText) by Finish.
  static ErrCode CreatePdfDocument(int32_t width, int32_t height, double dotsPerInch,
                                   std::unique_ptr<CairoTarget>* out);
  // An SVG document of width x height units, kept as text (SvgText) by Finish.
  static ErrCode CreateSvg(int32_t width, int32_t height, std::unique_ptr<CairoTarget>* out);
  // A record of width x height units of what is drawn, to be replayed onto
  // other targets (ReplayOnto). It cannot invert: feedback is drawn in black.
  static ErrCode CreateRecording(int32_t width, int32_t height, std::unique_ptr<CairoTarget>* out);
  // Draws on a context that the caller keeps (a printer page): width x
  // height device units in the context's current user space. The context's
  // state is saved here and restored when the target goes.
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
  // The document kept in memory (SVG text, PDF bytes) once finished.
  const std::string& DocumentText() const { return document_; }
  const std::string& SvgText() const { return DocumentText(); }
  // Paints everything this recording holds onto another target at its
  // origin; kErrBadArg for a target that records nothing.
  ErrCode ReplayOnto(CairoTarget& other) const;

  cairo_t* context() const { return cr_; }
  cairo_surface_t* surface() const { return surface_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  bool raster() const { return raster_; }
  // False where the document format has no inverting blend (SVG).
  bool invertible() const { return invertible_; }

  // The emulated device-context state.
  void SaveState();
  // False (and nothing restored) when no state is saved.
  bool RestoreState();
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
  static cairo_status_t AppendDocument(void* closure, const unsigned char* data,
                                       unsigned int length);

  struct SavedState {
    PortFont font;
    uint32_t textRgb;
  };

  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  PangoLayout* layout_ = nullptr;
  int32_t width_;
  int32_t height_;
  bool raster_;
  bool invertible_;
  bool finished_ = false;
  bool recording_ = false;
  bool lent_ = false;  // the context is the caller's
  PortFont font_;
  uint32_t textRgb_ = 0;
  std::vector<SavedState> saved_;
  std::string document_;
};

// The figure font as a target selects it when no command font is set.
PortFont FigureFont();

}  // namespace vke
