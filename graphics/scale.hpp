// Axis scales of a subplot: scale states and the hold bit, automatic,
// released and fixed limits, the data-to-device transform and its inverse,
// margins, zoom and scroll, the scale kind, and the subplot settings stored
// beside them (grid kind, option bits, title, axis labels, scale factors,
// data aspect).
//
// Each axis maps data to device units with one affine transform: device =
// factor * u + offset, with u = x, or u = ln x on a logarithmic axis. On the
// screen the viewport's top is above its bottom in value (top < bottom) and
// the y factor is negative. SetSubplotViewport (subplot.hpp) places the
// subplot and keeps fixed axes showing the same data.
#pragma once

#include <cstdint>

#include "graphics/subplot.hpp"

namespace vke {

// Axes of the scale states, limits and transform.
enum Axis : int32_t { kAxisX = 0, kAxisY = 1, kAxisZ = 2 };

// Bit of the scale states set while the application's mouse handlers run:
// every state then compares as fixed (3 or more), while the tests for
// exactly 3 (IsScaleLocked, IsXFixed, GetFixedViewportLimits, ReleaseScales)
// do not see it.
inline constexpr int32_t kScaleHoldBit = 0x40;

// Scale-kind bits.
inline constexpr uint32_t kScaleLogX = 0x1;
inline constexpr uint32_t kScaleLogY = 0x2;
inline constexpr uint32_t kScaleLogX2 = 0x8;  // a second log-x bit
inline constexpr uint32_t kScaleDbY = 0x10;   // logarithmic y labelled in decibels
inline constexpr uint32_t kScaleEqual = 0x40;
inline constexpr uint32_t kScaleXLogMask = kScaleLogX | kScaleLogX2;
inline constexpr uint32_t kScaleYLogMask = kScaleLogY | kScaleDbY;

// Margin fraction of automatic scales: m / 2 of the viewport is left free on
// each side of the data.
inline constexpr double kAutoMargin = 0.04;

inline bool IsLogX(const SubplotRecord& r) {
  return (r.scaleKind & kScaleXLogMask) != 0;
}
inline bool IsLogY(const SubplotRecord& r) {
  return (r.scaleKind & kScaleYLogMask) != 0;
}

// The x or y axis is logarithmic; z never is.
inline bool IsLogAxis(const SubplotRecord& r, int32_t axis) {
  return axis == kAxisX ? IsLogX(r) : axis == kAxisY && IsLogY(r);
}

// Limits: min at limits[axis], max at limits[axis + 3].
inline double LimitMin(const SubplotRecord& r, Axis axis) {
  return r.limits[axis];
}
inline double LimitMax(const SubplotRecord& r, Axis axis) {
  return r.limits[axis + 3];
}
// Whether an axis shows a range: false while its limits are still those of
// no data (the maximum below the minimum).
inline bool AxisHasRange(const SubplotRecord& r, Axis axis) {
  return !(LimitMax(r, axis) < LimitMin(r, axis));
}
inline bool PlaneHasRange(const SubplotRecord& r) {
  return AxisHasRange(r, kAxisX) && AxisHasRange(r, kAxisY);
}

// --- States and limits ---

// An automatic range of one value shows that value in the middle of a range
// wide enough for labelled ticks on either side: the value a tenth of its
// magnitude either way (at least 1e-6), or -1..1 around 0; on a logarithmic
// axis the value divided and multiplied by 1.1. Other ranges, and one that
// would overflow, are left as they are.
void WidenLoneValue(bool log, double* lo, double* hi);
// The limits of an axis as a 3-D box shows them: its limits, a range of one
// value widened by WidenLoneValue.
void ShownLimits(const SubplotRecord& record, int32_t axis, double* lo, double* hi);

// Each axis below the fixed state becomes automatic with the default limits.
void SubplotScaleDefaults(SubplotRecord* record);
// Widens the automatic limits with n points (any array may be null), then
// recomputes the transform (lenient, kAutoMargin). NaN values, and values
// that are not positive on a logarithmic axis, change no limit.
void UpdateAutoLimits(SubplotRecord* record, const double* x, const double* y, const double* z,
                      int32_t n);
// The transform of every axis below the fixed state from its limits and the
// viewport, leaving m / 2 of the viewport free on each side. Lenient keeps a
// span of at least 1e-6 (1e-12 of the magnitude past 1e6), strict 1e-24.
void ComputeSubplotTransform(SubplotRecord* record, bool lenient, double margin);
// Gives x and y the same device units per data unit, around the viewport's
// centre (only when neither axis is fixed).
void EqualiseScales(SubplotRecord* record);
// Sets (hold true) or clears the hold bit of the three scale states.
void HoldSubplotScales(SubplotRecord* record, bool hold);
// Released limits for each axis below the fixed state whose min < max; the
// other axes keep their transform. z is taken like x and y.
void SetReleasedLimits(SubplotRecord* record, double xMin, double xMax, double yMin, double yMax,
                       double zMin, double zMax);
// Fixed limits for each axis whose min < max, shown at once even when the
// axis was fixed before.
void SetFixedLimits(SubplotRecord* record, double xMin, double xMax, double yMin, double yMax);
// All three axes fixed, when the transform is valid.
void FixScales(SubplotRecord* record);
// Each fixed axis becomes released; the camera's automatic zoom is set.
void ReleaseScales(SubplotRecord* record);
bool IsScaleLocked(const SubplotRecord& record);  // x and y fixed
bool IsXFixed(const SubplotRecord& record);
// Each output may be null.
void GetSubplotLimits(const SubplotRecord& record, double* xMin, double* xMax, double* yMin,
                      double* yMax, double* zMin, double* zMax);

// --- Placement ---

// Stores the margins (margin units), lays the viewport out again inside the
// position and clears the layout-pending flag.
void SetMargins(SubplotRecord* record, double left, double right, double top, double bottom);
// Places the viewport `left` and `right` device units inside the position's
// sides (edges that would cross meet in the middle), keeping its top and
// bottom; fixed axes keep showing the same data. The next layout from the
// margins (SetSubplotViewport) puts it back inside them.
void SetViewportSideInsets(SubplotRecord* record, double left, double right);
// Twice the margins' width and height in device units.
void GetMarginSizes(const SubplotRecord& record, double* width, double* height);
// x unit as given; y unit signed like the viewport's y axis (negative when
// its top is greater than its bottom).
void SetMarginUnits(SubplotRecord* record, double xUnit, double yUnit);
// Each output may be null.
void GetSubplotPosition(const SubplotRecord& record, double* left, double* right, double* top,
                        double* bottom);
// Device y grows downward (viewport top <= bottom).
bool IsYAxisDown(const SubplotRecord& record);

// --- Mapping ---

// One coordinate of a 2-D subplot to device units and back.
double DataXToDevice(const SubplotRecord& record, double x);
double DataYToDevice(const SubplotRecord& record, double y);
double DeviceXToData(const SubplotRecord& record, double X);
double DeviceYToData(const SubplotRecord& record, double Y);

// n points to device units. An axis is converted when its input and output
// are given; on a logarithmic axis a value that is not positive takes the
// device value of the point before it (the first keeps its own). Out Z,
// when given, is 0 in a 2-D subplot; a 3-D subplot projects every point
// (missing inputs count as 0) and gives the depth in out Z.
void DataToDevice(const SubplotRecord& record, const double* x, const double* y, const double* z,
                  int32_t n, double* X, double* Y, double* Z);
// Lengths: factors only, no offsets (ln of the value on a logarithmic axis).
void DataDeltaToDevice(const SubplotRecord& record, const double* dx, const double* dy,
                       const double* dz, int32_t n, double* dX, double* dY, double* dZ);
void DeviceToData(const SubplotRecord& record, double X, double Y, double* x, double* y);
// dx = dX / factor; on a logarithmic axis the ratio e^-dx.
void DeviceDeltaToData(const SubplotRecord& record, double dX, double dY, double* dx, double* dy);
// The line a x + b y = c as p X + q Y = r in device units.
void LineToDevice(const SubplotRecord& record, double a, double b, double c, double* p, double* q,
                  double* r);
// The data values at the viewport's left and right edges (x) or bottom and
// top edges (y); the limits themselves when the factor's magnitude exceeds
// 1e9 or a value is NaN.
void GetViewportXRange(const SubplotRecord& record, double* low, double* high);
void GetViewportYRange(const SubplotRecord& record, double* low, double* high);
// For each fixed axis the data values at its viewport edges, else 0, 0.
void GetFixedViewportLimits(const SubplotRecord& record, double* x0, double* x1, double* y0,
                            double* y1);
// Both subplots map x (and y unless xOnly) alike.
bool SameScale(const SubplotRecord& a, const SubplotRecord& b, bool xOnly);

// --- Zoom and scroll (device units) ---

// Whether x and y may zoom in (or out) further; the first call on an axis
// with data records its zoom range (spans 0.05 to 20 times the current).
bool CanZoom(SubplotRecord* record, bool zoomIn);
bool CanZoomX(SubplotRecord* record, bool zoomIn);
// Zooms into a dragged rectangle, or by 2 around a click.
void ZoomRect(SubplotRecord* record, double x0, double x1, double y0, double y1);
void ZoomXRect(SubplotRecord* record, double x0, double x1);
// Zooms out by 2 around a point.
void ZoomOut(SubplotRecord* record, double X, double Y);
void ZoomXOut(SubplotRecord* record, double X);
// Moves the data under the viewport; the axes become fixed.
void Scroll(SubplotRecord* record, double dX, double dY);
void ScrollX(SubplotRecord* record, double dX);

// --- Settings ---

// Stores the applicable kinds; the first time the kind is taken whole and
// the transform recomputed, later the log and dB bits (0x13) are kept.
void SetScaleKind(SubplotRecord* record, uint32_t applicable, uint32_t kind);
void SetScaleKindBits(SubplotRecord* record, uint32_t values, uint32_t mask);
uint32_t GetScaleKind(const SubplotRecord& record);
// Stores the applicable options; the first time also the grid-kind bits.
void SetSubplotGridKind(SubplotRecord* record, uint32_t applicable, uint32_t gridBits);
// Changes the option bits in mask; a change of the frame or margin bit lays
// the subplot out again.
void SetOptionBits(SubplotRecord* record, uint32_t values, uint32_t mask);
// Copies at most 64 bytes (length < 0: up to the first NUL), cut at a
// character boundary of UTF-8 text, NUL-padded.
void SetSubplotTitle(SubplotRecord* record, const char* text, int32_t length);
// Copies each label given (null: kept), at most kAxisLabelBytes bytes, like
// the title; lengths are byte counts, and a z text shorter than 1 byte (or
// none) clears the z label.
void SetAxisLabels(SubplotRecord* record, const char* x, int32_t xLength, const char* y,
                   int32_t yLength, const char* z, int32_t zLength);
// An axis label's text (not NUL-terminated) and its length in bytes.
struct AxisLabel {
  char text[kAxisLabelBytes];
  int32_t length;
};
AxisLabel GetAxisLabel(const SubplotRecord& record, int32_t axis);
void SetScaleFactors(SubplotRecord* record, double x, double y, double z);
void GetScaleFactors(const SubplotRecord& record, double* x, double* y, double* z);
// The x, y, z data aspect ratios of a 3-D view (null: automatic again); the
// projection is recomputed.
void SetDataAspect(SubplotRecord* record, const double* ratios);
void GetDataAspect(const SubplotRecord& record, double* ratios);

}  // namespace vke
