// The figure modes' icons, drawn on a grid of 24 units.
#include "shell/mode_icons.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace vke {

namespace {

constexpr double kGrid = 24.0;

using Point = std::pair<double, double>;

void Colour(cairo_t* c, const IconInk& ink) {
  cairo_set_source_rgb(c, ink.red, ink.green, ink.blue);
}

void Polygon(cairo_t* c, std::initializer_list<Point> points) {
  bool first = true;
  for (const auto& [x, y] : points) {
    if (first) {
      cairo_move_to(c, x, y);
    } else {
      cairo_line_to(c, x, y);
    }
    first = false;
  }
  cairo_close_path(c);
  cairo_fill(c);
}

void Line(cairo_t* c, double x0, double y0, double x1, double y1, double width) {
  cairo_set_line_width(c, width);
  cairo_move_to(c, x0, y0);
  cairo_line_to(c, x1, y1);
  cairo_stroke(c);
}

void Dot(cairo_t* c, double x, double y, double radius) {
  cairo_new_sub_path(c);
  cairo_arc(c, x, y, radius, 0, 2 * M_PI);
  cairo_fill(c);
}

// The arrow pointer with its tip at (x, y), scaled by s.
void Pointer(cairo_t* c, double x, double y, double s) {
  Polygon(c, {{x, y},
              {x, y + 14 * s},
              {x + 3.5 * s, y + 10.5 * s},
              {x + 6 * s, y + 16 * s},
              {x + 8.5 * s, y + 15 * s},
              {x + 6 * s, y + 9.5 * s},
              {x + 11 * s, y + 9.5 * s}});
}

// A magnifier: its lens around (10, 10) and the handle to the lower right.
void Magnifier(cairo_t* c, const IconInk& ink) {
  Colour(c, ink);
  cairo_set_line_width(c, 2.2);
  cairo_new_sub_path(c);
  cairo_arc(c, 10, 10, 6.8, 0, 2 * M_PI);
  cairo_stroke(c);
  Line(c, 15.2, 15.2, 21, 21, 3.6);
}

void DrawManipulate(cairo_t* c, const IconInk& ink) {
  Colour(c, kIconAccent);
  Dot(c, 17.5, 17.5, 3.8);
  Colour(c, ink);
  Pointer(c, 4, 2.5, 1.0);
}

void DrawZoom(cairo_t* c, const IconInk& ink) {
  Magnifier(c, ink);
  Colour(c, kIconAccent);
  Line(c, 6.5, 10, 13.5, 10, 2.2);
  Line(c, 10, 6.5, 10, 13.5, 2.2);
}

// A smaller magnifier over a double arrow along the bottom.
void DrawZoomX(cairo_t* c, const IconInk& ink) {
  Colour(c, ink);
  cairo_set_line_width(c, 2.2);
  cairo_new_sub_path(c);
  cairo_arc(c, 9.5, 8.5, 5.5, 0, 2 * M_PI);
  cairo_stroke(c);
  Line(c, 13.5, 12.5, 17.5, 16.5, 3.2);
  Colour(c, kIconAccent);
  Line(c, 5, 20.5, 19, 20.5, 2.2);
  Polygon(c, {{1.5, 20.5}, {6.5, 16.5}, {6.5, 24}});
  Polygon(c, {{22.5, 20.5}, {17.5, 16.5}, {17.5, 24}});
}

void DrawDrag(cairo_t* c, const IconInk& ink) {
  Colour(c, ink);
  Line(c, 12, 5, 12, 19, 2.2);
  Line(c, 5, 12, 19, 12, 2.2);
  Polygon(c, {{12, 1.5}, {8, 6.5}, {16, 6.5}});
  Polygon(c, {{12, 22.5}, {8, 17.5}, {16, 17.5}});
  Polygon(c, {{1.5, 12}, {6.5, 8}, {6.5, 16}});
  Polygon(c, {{22.5, 12}, {17.5, 8}, {17.5, 16}});
  Colour(c, kIconAccent);
  Dot(c, 12, 12, 2.8);
}

void DrawSelect(cairo_t* c, const IconInk& ink) {
  Colour(c, ink);
  const double dashes[] = {3.0, 2.0};
  cairo_set_dash(c, dashes, 2, 0);
  cairo_set_line_width(c, 1.6);
  cairo_rectangle(c, 4, 5, 16, 14);
  cairo_stroke(c);
  cairo_set_dash(c, nullptr, 0, 0);
  Colour(c, kIconAccent);
  for (const auto& [x, y] : {Point{4, 5}, Point{20, 5}, Point{4, 19}, Point{20, 19}}) {
    cairo_rectangle(c, x - 2.5, y - 2.5, 5, 5);
    cairo_fill(c);
  }
}

}  // namespace

void DrawModeIcon(cairo_t* c, ModeIcon icon, double size, const IconInk& ink) {
  cairo_save(c);
  cairo_scale(c, size / kGrid, size / kGrid);
  cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(c, CAIRO_LINE_JOIN_ROUND);
  switch (icon) {
    case ModeIcon::kManipulate:
      DrawManipulate(c, ink);
      break;
    case ModeIcon::kZoom:
      DrawZoom(c, ink);
      break;
    case ModeIcon::kZoomX:
      DrawZoomX(c, ink);
      break;
    case ModeIcon::kDrag:
      DrawDrag(c, ink);
      break;
    case ModeIcon::kSelect:
      DrawSelect(c, ink);
      break;
  }
  cairo_restore(c);
}

std::vector<uint8_t> ModeIconRgba(ModeIcon icon, int size, const IconInk& ink) {
  std::vector<uint8_t> rgba;
  if (size <= 0) return rgba;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* c = cairo_create(surface);
  DrawModeIcon(c, icon, size, ink);
  cairo_destroy(c);
  cairo_surface_flush(surface);
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    rgba.reserve(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; y++) {
      const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
      for (int x = 0; x < size; x++) {
        // Cairo keeps the colour multiplied by alpha.
        const uint32_t p = row[x];
        const uint32_t alpha = p >> 24;
        for (int shift : {16, 8, 0}) {
          const uint32_t channel = (p >> shift) & 0xFF;
          rgba.push_back(static_cast<uint8_t>(
              alpha ? std::min<uint32_t>(255, (channel * 255 + alpha / 2) / alpha) : 0));
        }
        rgba.push_back(static_cast<uint8_t>(alpha));
      }
    }
  }
  cairo_surface_destroy(surface);
  return rgba;
}

}  // namespace vke
