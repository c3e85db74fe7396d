// Drawing targets over cairo: creation of the image, PDF, SVG, copy and
// lent-context targets, their completion, and the saved device-context
// states of the port.
#include "graphics/cairo_target.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo-tee.h>

#include <algorithm>

#include "engine/errors/errors.hpp"

namespace vke {

PortFont::PortFont(const PortFont& other)
    : desc_(other.desc_ ? pango_font_description_copy(other.desc_) : nullptr),
      underline_(other.underline_) {}

PortFont& PortFont::operator=(const PortFont& other) {
  if (this != &other) {
    PangoFontDescription* copy = other.desc_ ? pango_font_description_copy(other.desc_) : nullptr;
    if (desc_ != nullptr) pango_font_description_free(desc_);
    desc_ = copy;
    underline_ = other.underline_;
  }
  return *this;
}

PortFont::~PortFont() {
  if (desc_ != nullptr) pango_font_description_free(desc_);
}

namespace {

bool ValidSize(int32_t width, int32_t height) {
  return width >= 1 && width <= kMaxTargetSize && height >= 1 && height <= kMaxTargetSize;
}

}  // namespace

CairoTarget::CairoTarget(int32_t width, int32_t height, bool raster, bool invertible)
    : width_(width),
      height_(height),
      raster_(raster),
      invertible_(invertible),
      font_(FigureFont()),
      clip_{0, 0, width, height} {}

CairoTarget::~CairoTarget() {
  if (layout_ != nullptr) g_object_unref(layout_);
  // A lent context goes back to its owner as it came.
  if (lent_ && cr_ != nullptr) {
    while (RestoreState()) {
    }
    cairo_restore(cr_);
  }
  if (cr_ != nullptr) cairo_destroy(cr_);
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
  for (cairo_surface_t* r : replicas_) cairo_surface_destroy(r);
}

ErrCode CairoTarget::Attach(cairo_surface_t* surface, double scale) {
  surface_ = surface;
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
    return cairo_surface_status(surface_) == CAIRO_STATUS_NO_MEMORY ? kErrOutOfMem : kErrIoErr;
  }
  cr_ = cairo_create(surface_);
  if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) return kErrOutOfMem;
  cairo_scale(cr_, scale, scale);
  if (raster_) cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
  layout_ = pango_cairo_create_layout(cr_);
  pango_layout_set_single_paragraph_mode(layout_, TRUE);
  return kOk;
}

ErrCode CairoTarget::CreateImage(int32_t width, int32_t height, std::unique_ptr<CairoTarget>* out) {
  out->reset();
  if (!ValidSize(width, height)) return kErrBadSize;
  std::unique_ptr<CairoTarget> t(new CairoTarget(width, height, true, true));
  const ErrCode err = t->Attach(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), 1);
  if (err != kOk) return err;
  cairo_set_source_rgb(t->cr_, 1, 1, 1);
  cairo_paint(t->cr_);
  *out = std::move(t);
  return kOk;
}

ErrCode CairoTarget::CreatePdf(const char* path, int32_t width, int32_t height, double dotsPerInch,
                               std::unique_ptr<CairoTarget>* out) {
  out->reset();
  if (path == nullptr || path[0] == '\0') return kErrBadArg;
  if (!ValidSize(width, height) || !(dotsPerInch >= 1 && dotsPerInch <= 10000)) {
    return kErrBadSize;
  }
  const double scale = 72.0 / dotsPerInch;
  std::unique_ptr<CairoTarget> t(new CairoTarget(width, height, false, true));
  const ErrCode err =
      t->Attach(cairo_pdf_surface_create(path, width * scale, height * scale), scale);
  if (err != kOk) return err;
  *out = std::move(t);
  return kOk;
}

cairo_status_t CairoTarget::AppendSvg(void* closure, const unsigned char* data,
                                      unsigned int length) {
  static_cast<CairoTarget*>(closure)->svg_.append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// An SVG document measured in pixels, as the drawing's device units are: a
// program that takes it in shows it at the size it had on the screen.
cairo_surface_t* CairoTarget::SvgDocument(CairoTarget* t, int32_t width, int32_t height) {
  cairo_surface_t* svg = cairo_svg_surface_create_for_stream(&AppendSvg, t, width, height);
  if (cairo_surface_status(svg) == CAIRO_STATUS_SUCCESS) {
    cairo_svg_surface_set_document_unit(svg, CAIRO_SVG_UNIT_PX);
  }
  return svg;
}

ErrCode CairoTarget::CreateSvg(int32_t width, int32_t height, std::unique_ptr<CairoTarget>* out) {
  out->reset();
  if (!ValidSize(width, height)) return kErrBadSize;
  std::unique_ptr<CairoTarget> t(new CairoTarget(width, height, false, false));
  const ErrCode err = t->Attach(SvgDocument(t.get(), width, height), 1);
  if (err != kOk) return err;
  *out = std::move(t);
  return kOk;
}

ErrCode CairoTarget::CreateCopyDocuments(int32_t width, int32_t height, double dotsPerInch,
                                         std::unique_ptr<CairoTarget>* out) {
  out->reset();
  if (!ValidSize(width, height) || !(dotsPerInch >= 1 && dotsPerInch <= 10000)) {
    return kErrBadSize;
  }
  const double scale = 72.0 / dotsPerInch;
  std::unique_ptr<CairoTarget> t(new CairoTarget(width, height, false, false));
  cairo_surface_t* svg = SvgDocument(t.get(), width, height);
  cairo_surface_t* pdf =
      cairo_pdf_surface_create_for_stream(&AppendPdf, t.get(), width * scale, height * scale);
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  t->replicas_ = {svg, pdf, image};
  for (cairo_surface_t* r : t->replicas_) {
    if (cairo_surface_status(r) != CAIRO_STATUS_SUCCESS) {
      return cairo_surface_status(r) == CAIRO_STATUS_NO_MEMORY ? kErrOutOfMem : kErrIoErr;
    }
  }
  // Every replica takes the drawing in the same units, the image on white.
  cairo_surface_set_device_scale(pdf, scale, scale);
  cairo_t* white = cairo_create(image);
  cairo_set_source_rgb(white, 1, 1, 1);
  cairo_paint(white);
  cairo_destroy(white);
  cairo_surface_t* tee = cairo_tee_surface_create(svg);
  cairo_tee_surface_add(tee, pdf);
  cairo_tee_surface_add(tee, image);
  const ErrCode err = t->Attach(tee, 1);
  if (err != kOk) return err;
  *out = std::move(t);
  return kOk;
}

ErrCode CairoTarget::CreateOnContext(cairo_t* context, int32_t width, int32_t height,
                                     std::unique_ptr<CairoTarget>* out) {
  out->reset();
  if (context == nullptr || cairo_status(context) != CAIRO_STATUS_SUCCESS) return kErrBadArg;
  if (!ValidSize(width, height)) return kErrBadSize;
  std::unique_ptr<CairoTarget> t(new CairoTarget(width, height, false, true));
  t->lent_ = true;
  t->cr_ = cairo_reference(context);
  t->surface_ = cairo_surface_reference(cairo_get_target(context));
  cairo_save(t->cr_);
  cairo_set_line_cap(t->cr_, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(t->cr_, CAIRO_LINE_JOIN_ROUND);
  t->layout_ = pango_cairo_create_layout(t->cr_);
  pango_layout_set_single_paragraph_mode(t->layout_, TRUE);
  // The same text extents whatever the context's scale and surface.
  PangoContext* text = pango_layout_get_context(t->layout_);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  pango_cairo_context_set_font_options(text, options);
  cairo_font_options_destroy(options);
  pango_context_set_round_glyph_positions(text, FALSE);
  pango_layout_context_changed(t->layout_);
  *out = std::move(t);
  return kOk;
}

cairo_status_t CairoTarget::AppendPdf(void* closure, const unsigned char* data,
                                      unsigned int length) {
  static_cast<CairoTarget*>(closure)->pdf_.append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

ErrCode CairoTarget::Finish() {
  if (finished_) return kOk;
  finished_ = true;
  // A lent context stays drawable for its owner until the target goes.
  if (lent_) return kOk;
  if (layout_ != nullptr) {
    g_object_unref(layout_);
    layout_ = nullptr;
  }
  cairo_destroy(cr_);
  cr_ = nullptr;
  // An image keeps its pixels; documents are written out.
  if (raster_) {
    cairo_surface_flush(surface_);
  } else {
    cairo_surface_finish(surface_);
  }
  bool written = cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS;
  for (cairo_surface_t* r : replicas_) {
    if (r == Pixels()) {
      cairo_surface_flush(r);
    } else {
      cairo_surface_finish(r);
    }
    written = written && cairo_surface_status(r) == CAIRO_STATUS_SUCCESS;
  }
  return written ? kOk : kErrIoErr;
}

cairo_surface_t* CairoTarget::Pixels() const {
  if (raster_) return surface_;
  for (cairo_surface_t* r : replicas_) {
    if (cairo_surface_get_type(r) == CAIRO_SURFACE_TYPE_IMAGE) return r;
  }
  return nullptr;
}

ErrCode CairoTarget::PngText(std::string* png) const {
  png->clear();
  cairo_surface_t* pixels = Pixels();
  if (pixels == nullptr) return kErrBadArg;
  cairo_surface_flush(pixels);
  const cairo_status_t status = cairo_surface_write_to_png_stream(
      pixels,
      [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
      },
      png);
  return status == CAIRO_STATUS_SUCCESS ? kOk : kErrIoErr;
}

ErrCode CairoTarget::WritePng(const char* path) {
  if (!raster_ || path == nullptr) return kErrBadArg;
  cairo_surface_flush(surface_);
  return cairo_surface_write_to_png(surface_, path) == CAIRO_STATUS_SUCCESS ? kOk : kErrIoErr;
}

void CairoTarget::SaveState() {
  if (cr_ == nullptr) return;
  cairo_save(cr_);
  saved_.push_back(SavedState{font_, textRgb_, clip_});
}

bool CairoTarget::RestoreState() {
  // cairo puts its context in a lasting error state on an unmatched restore.
  if (cr_ == nullptr || saved_.empty()) return false;
  cairo_restore(cr_);
  font_ = saved_.back().font;
  textRgb_ = saved_.back().textRgb;
  clip_ = saved_.back().clip;
  saved_.pop_back();
  return true;
}

void CairoTarget::ClipToRect(double left, double top, double right, double bottom) {
  if (cr_ == nullptr) return;
  cairo_new_path(cr_);
  cairo_rectangle(cr_, left, top, right - left, bottom - top);
  cairo_clip(cr_);
  const auto narrow = [](int32_t* edge, double to, bool up) {
    const double v = std::clamp(to, -1.0, kMaxTargetSize + 1.0);
    const auto unit = static_cast<int32_t>(v);
    *edge = up ? std::max(*edge, unit) : std::min(*edge, unit);
  };
  narrow(&clip_.left, left, true);
  narrow(&clip_.top, top, true);
  narrow(&clip_.right, right, false);
  narrow(&clip_.bottom, bottom, false);
}

bool CairoTarget::DirectPixels(PixelRows* rows) {
  if (!raster_ || cr_ == nullptr || lent_) return false;
  cairo_matrix_t m;
  cairo_get_matrix(cr_, &m);
  if (m.xx != 1 || m.yx != 0 || m.xy != 0 || m.yy != 1 || m.x0 != 0 || m.y0 != 0) return false;
  const cairo_format_t format = cairo_image_surface_get_format(surface_);
  if (format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32) return false;
  cairo_surface_flush(surface_);
  rows->data = cairo_image_surface_get_data(surface_);
  if (rows->data == nullptr) return false;
  rows->stride = cairo_image_surface_get_stride(surface_);
  rows->left = std::max(clip_.left, 0);
  rows->top = std::max(clip_.top, 0);
  rows->right = std::min(clip_.right, width_);
  rows->bottom = std::min(clip_.bottom, height_);
  return true;
}

void CairoTarget::MarkWritten(const PixelRows& rows) {
  cairo_surface_mark_dirty_rectangle(surface_, rows.left, rows.top, rows.right - rows.left,
                                     rows.bottom - rows.top);
}

PangoLayout* CairoTarget::LayoutText(const char* utf8, int32_t nbytes) {
  if (layout_ == nullptr) return nullptr;
  if (utf8 == nullptr || nbytes < 0) nbytes = 0;
  // Pango takes valid UTF-8 only: invalid sequences (a label cut inside a
  // character, 8-bit bytes) and NULs become U+FFFD.
  gchar* valid = g_utf8_make_valid(nbytes > 0 ? utf8 : "", nbytes);
  pango_cairo_update_layout(cr_, layout_);
  pango_layout_set_font_description(layout_, font_.desc());
  PangoAttrList* attrs = pango_attr_list_new();
  if (font_.underline())
    pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  pango_layout_set_attributes(layout_, attrs);
  pango_attr_list_unref(attrs);
  pango_layout_set_text(layout_, valid, -1);
  g_free(valid);
  return layout_;
}

}  // namespace vke
