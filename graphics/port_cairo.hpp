// Internal to the cairo port: the slot functions of the screen and printer
// tables and the helpers they share.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "graphics/cairo_target.hpp"
#include "graphics/style.hpp"

namespace vke {

// Integer device coordinates stay within this distance of the origin, well
// inside cairo's fixed-point range; every target lies inside.
inline constexpr int64_t kCoordLimit = int64_t{1} << 22;

// A coordinate truncated toward zero and saturated at +-1e15; NaN gives
// -1e15, as the platform's integer conversion gives its most negative value.
double TruncCoord(double v);
// TruncCoord pinned to +-kCoordLimit.
double PinCoord(double v);
// Truncates a point; false when it lies beyond kCoordLimit (or is NaN),
// where nothing anchored to it can be seen.
bool DevicePoint(double x, double y, int32_t* px, int32_t* py);
void SetSourceRgb(cairo_t* cr, uint32_t rgb);

PortFont MakePortFont(const char* name, double size, int32_t bits);

void CairoClipRect(double left, double right, double top, double bottom, void* target);
void CairoRestoreClip(void* target);
void CairoDrawPolyline(const double* x, const double* y, int32_t n, const PlotStyle* style,
                       void* target);
void CairoDrawCircle(double cx, double cy, double rx, double ry, const PlotStyle* style,
                     void* target);
void CairoDrawText(double x, double y, const char* utf8, int32_t nbytes, int32_t flags,
                   const uint8_t* rgb, void* target);
void CairoTextExtent(const char* utf8, int32_t nbytes, double* width, double* height, void* target);
void CairoSetFont(const char* name, double size, int32_t bits, const uint8_t* rgb, void* target);
void CairoDrawFocusRect(double left, double top, double right, double bottom, int32_t flag,
                        void* target);
void CairoDrawImageCells(double x, double y, int32_t columns, int32_t rows, int32_t cellWidth,
                         int32_t cellHeight, const uint8_t* plane1, const uint8_t* plane2,
                         const uint8_t* plane3, void* target);
void CairoPixelScale(double* sx, double* sy);
void CairoFillBackground(double left, double top, double right, double bottom, int32_t whiteFlag,
                         void* target);

}  // namespace vke
