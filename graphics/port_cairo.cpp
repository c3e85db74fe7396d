// The screen and printer tables over cairo, the coordinate helpers of their
// slots, and the slots for clipping, fills, the inverting focus rectangle
// and image cells.
#include "graphics/port_cairo.hpp"

#include <algorithm>
#include <cmath>

#include "graphics/port.hpp"

namespace vke {

double TruncCoord(double v) {
  constexpr double kSaturate = 1e15;
  if (std::isnan(v)) return -kSaturate;
  return std::clamp(std::trunc(v), -kSaturate, kSaturate);
}

double PinCoord(double v) {
  const double lim = static_cast<double>(kCoordLimit);
  return std::clamp(TruncCoord(v), -lim, lim);
}

bool DevicePoint(double x, double y, int32_t* px, int32_t* py) {
  const double lim = static_cast<double>(kCoordLimit);
  const double tx = TruncCoord(x);
  const double ty = TruncCoord(y);
  if (std::fabs(tx) > lim || std::fabs(ty) > lim) return false;
  *px = static_cast<int32_t>(tx);
  *py = static_cast<int32_t>(ty);
  return true;
}

void SetSourceRgb(cairo_t* cr, uint32_t rgb) {
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                       (rgb & 0xFF) / 255.0);
}

namespace {

// A rectangle in pinned device units, normalised; right and bottom exclusive.
struct DeviceRect {
  double l, t, r, b;
  bool empty() const { return r <= l || b <= t; }
};

DeviceRect NormalRect(double x0, double y0, double x1, double y1) {
  const double a = PinCoord(x0);
  const double b = PinCoord(x1);
  const double c = PinCoord(y0);
  const double d = PinCoord(y1);
  return DeviceRect{std::min(a, b), std::min(c, d), std::max(a, b), std::max(c, d)};
}

CairoTarget* Drawable(void* target) {
  auto* t = static_cast<CairoTarget*>(target);
  return t != nullptr && t->context() != nullptr ? t : nullptr;
}

}  // namespace

void CairoClipRect(double left, double right, double top, double bottom, void* target) {
  CairoTarget* t = Drawable(target);
  if (t == nullptr) return;
  t->SaveState();
  const DeviceRect rc = NormalRect(left, top, right, bottom);
  t->ClipToRect(rc.l, rc.t, rc.r, rc.b);
}

void CairoRestoreClip(void* target) {
  CairoTarget* t = Drawable(target);
  if (t != nullptr) t->RestoreState();
}

void CairoFillBackground(double left, double top, double right, double bottom, int32_t whiteFlag,
                         void* target) {
  CairoTarget* t = Drawable(target);
  if (t == nullptr) return;
  const DeviceRect rc = NormalRect(left, top, right, bottom);
  if (rc.empty()) return;
  const uint32_t bgr = GetBackgroundColor();
  const uint32_t rgb =
      whiteFlag == 1 ? 0xFFFFFF : ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
  cairo_t* cr = t->context();
  cairo_save(cr);
  cairo_new_path(cr);
  SetSourceRgb(cr, rgb);
  cairo_rectangle(cr, rc.l, rc.t, rc.r - rc.l, rc.b - rc.t);
  cairo_fill(cr);
  cairo_restore(cr);
}

void CairoDrawFocusRect(double left, double top, double right, double bottom, int32_t /*flag*/,
                        void* target) {
  CairoTarget* t = Drawable(target);
  if (t == nullptr) return;
  const DeviceRect rc = NormalRect(left, top, right, bottom);
  // Nothing when the rectangle misses the target, wherever the target ends.
  if (rc.empty() || rc.r <= 0 || rc.b <= 0 || rc.l >= t->width() || rc.t >= t->height()) return;
  // Every other pixel of the one-unit frame is inverted, in a checkerboard
  // fixed to the device origin: drawing the same rectangle again restores it.
  // A document that cannot invert gets the dots in black, as on white paper,
  // rather than a page turned into one bitmap.
  const bool invert = t->invertible();
  cairo_surface_t* checker = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 2);
  if (cairo_surface_status(checker) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(checker);
    return;
  }
  cairo_surface_flush(checker);
  unsigned char* data = cairo_image_surface_get_data(checker);
  const int stride = cairo_image_surface_get_stride(checker);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) {
      Store<uint32_t>(data + y * stride + x * 4,
                      (x + y) % 2 == 0 ? (invert ? 0xFFFFFFFFu : 0xFF000000u) : 0u);
    }
  }
  cairo_surface_mark_dirty(checker);
  cairo_t* cr = t->context();
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_set_source_surface(cr, checker, 0, 0);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_REPEAT);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_set_operator(cr, invert ? CAIRO_OPERATOR_DIFFERENCE : CAIRO_OPERATOR_OVER);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  const double w = rc.r - rc.l;
  const double h = rc.b - rc.t;
  cairo_rectangle(cr, rc.l, rc.t, w, 1);
  cairo_rectangle(cr, rc.l, rc.b - 1, w, 1);
  cairo_rectangle(cr, rc.l, rc.t, 1, h);
  cairo_rectangle(cr, rc.r - 1, rc.t, 1, h);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(checker);
}

void CairoDrawImageCells(double x, double y, int32_t columns, int32_t rows, int32_t cellWidth,
                         int32_t cellHeight, const uint8_t* plane1, const uint8_t* plane2,
                         const uint8_t* plane3, void* target) {
  CairoTarget* t = Drawable(target);
  if (t == nullptr || plane1 == nullptr || columns <= 0 || rows <= 0 || cellWidth <= 0 ||
      cellHeight <= 0) {
    return;
  }
  constexpr double kMaxAnchor = 4503599627370496.0;  // 2^52: integers stay exact
  const double ax = TruncCoord(x);
  const double ay = TruncCoord(y);
  if (std::fabs(ax) > kMaxAnchor || std::fabs(ay) > kMaxAnchor) return;
  const int64_t x0 = static_cast<int64_t>(ax);
  const int64_t y0 = static_cast<int64_t>(ay);
  const int64_t cw = cellWidth;
  const int64_t ch = cellHeight;

  // Only the part inside the clip is built, one device row per image row,
  // repeated down the cell height.
  cairo_t* cr = t->context();
  double cx0 = 0, cy0 = 0, cx1 = 0, cy1 = 0;
  cairo_clip_extents(cr, &cx0, &cy0, &cx1, &cy1);
  const int64_t left = std::max<int64_t>(x0, static_cast<int64_t>(std::floor(cx0)));
  const int64_t right = std::min<int64_t>(x0 + columns * cw, static_cast<int64_t>(std::ceil(cx1)));
  const int64_t top = std::max<int64_t>(y0, static_cast<int64_t>(std::floor(cy0)));
  const int64_t bottom = std::min<int64_t>(y0 + rows * ch, static_cast<int64_t>(std::ceil(cy1)));
  if (right <= left || bottom <= top || right - left > kMaxTargetSize) return;
  const int32_t width = static_cast<int32_t>(right - left);
  cairo_surface_t* line = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, 1);
  if (cairo_surface_status(line) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(line);
    return;
  }
  const bool colour = plane2 != nullptr && plane3 != nullptr;
  const int64_t firstColumn = (left - x0) / cw;
  cairo_save(cr);
  cairo_new_path(cr);
  for (int64_t row = (top - y0) / ch; row < rows && y0 + row * ch < bottom; ++row) {
    cairo_surface_flush(line);
    unsigned char* pixels = cairo_image_surface_get_data(line);
    int64_t column = firstColumn;
    int64_t cellEnd = x0 + (column + 1) * cw;
    for (int64_t px = left; px < right; ++px) {
      if (px >= cellEnd) {
        ++column;
        cellEnd += cw;
      }
      const int64_t k = row * columns + column;
      const uint32_t r = plane1[k];
      const uint32_t g = colour ? plane2[k] : r;
      const uint32_t b = colour ? plane3[k] : r;
      Store<uint32_t>(pixels + (px - left) * 4, (r << 16) | (g << 8) | b);
    }
    cairo_surface_mark_dirty(line);
    const int64_t rowTop = std::max(top, y0 + row * ch);
    const int64_t rowBottom = std::min(bottom, y0 + (row + 1) * ch);
    cairo_set_source_surface(cr, line, static_cast<double>(left), static_cast<double>(rowTop));
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, static_cast<double>(left), static_cast<double>(rowTop), width,
                    static_cast<double>(rowBottom - rowTop));
    cairo_fill(cr);
  }
  cairo_restore(cr);
  cairo_surface_destroy(line);
}

void CairoPixelScale(double* sx, double* sy) {
  if (sx != nullptr) *sx = 1.0;
  if (sy != nullptr) *sy = 1.0;
}

namespace {

// The cairo table; the screen and printer tables hold the same functions and
// differ only in their metrics.
constexpr GraphicsPort CairoTable(const PortMetrics& metrics) {
  return GraphicsPort{
      .clipRect = &CairoClipRect,
      .restoreClip = &CairoRestoreClip,
      .drawPolyline = &CairoDrawPolyline,
      .drawCircle = &CairoDrawCircle,
      .empty4 = nullptr,  // reserved: keeps the text slots at their numbers
      .drawText = &CairoDrawText,
      .textExtent = &CairoTextExtent,
      .setFont = &CairoSetFont,
      .drawFocusRect = &CairoDrawFocusRect,
      .empty9 = nullptr,  // reserved: keeps the image and fill slots at their numbers
      .drawImageCells = &CairoDrawImageCells,
      .pixelScale = &CairoPixelScale,
      .fillBackground = &CairoFillBackground,
      .metrics = metrics,
  };
}

constexpr GraphicsPort kScreenTable = CairoTable(kScreenStartMetrics);
constexpr GraphicsPort kPrinterTable = CairoTable(kPrinterMetrics);

}  // namespace

// The run's tables start as the constant ones; only the screen metrics change
// (when a view exists and around the clipboard copy).
GraphicsPort& ScreenPort() {
  static constinit GraphicsPort port = kScreenTable;
  return port;
}

GraphicsPort& PrinterPort() {
  static constinit GraphicsPort port = kPrinterTable;
  return port;
}

void InitScreenPortMetrics() {
  ScreenPort().metrics = kScreenViewMetrics;
}

}  // namespace vke
