// The grid natives (one command for the whole grid, or one per damping ratio
// and natural frequency given) and erlocus (the polynomial, its uncertainty
// and the gain marks in one command).
#include "graphics/design_grid_natives.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "engine/values/values.hpp"
#include "graphics/error_locus.hpp"
#include "graphics/response_args.hpp"
#include "graphics/scale.hpp"
#include "graphics/subplot.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

using enum DesignGrid;
constexpr double kTwoPi = 2 * std::numbers::pi;

// Each row: grid, whole-grid code, code per element of the first array
// (damping ratios) and of the second (natural frequencies), and the
// rectangle x min, x max, y min, y max added to the automatic limits.
constexpr std::array<DesignGridRow, static_cast<size_t>(kCount)> kDesignGrids = {{
    // zgrid: the unit-circle region
    {kZGrid, kCmdZGrid, kCmdZGridDamping, kCmdZGridFrequency, -1.1, 1.1, -1.1, 1.1},
    // sgrid: a small region round the origin
    {kSGrid, kCmdSGrid, kCmdSGridDamping, kCmdSGridFrequency, -1e-3, 1e-3, -1e-3, 1e-3},
    // hgrid: the unit-circle region
    {kHGrid, kCmdHallChart, 0, 0, -1.1, 1.1, -1.1, 1.1},
    // ngrid: phases of -2 pi to 0, magnitudes of 0.1 to 2
    {kNGrid, kCmdNicholsChart, 0, 0, -kTwoPi, 0, 0.1, 2.0},
}};

constexpr bool RowsInOrder() {
  for (size_t i = 0; i < kDesignGrids.size(); i++) {
    if (static_cast<size_t>(kDesignGrids[i].grid) != i) return false;
  }
  return true;
}
static_assert(RowsInOrder());

// Light grey lines, when the instance gives no grid style.
constexpr PlotStyle kGridFallbackStyle{0x100, 0xCC, 0xCC, 0xCC, 0};

// The grid kind a grid native sets: basic, any kind applicable.
constexpr uint32_t kBasicGridKind = 0x2000;

// One grid curve per element of an array.
ErrCode WriteGridCurves(PlotTarget& target, int32_t code, const RealMatrix& values,
                        const PlotStyle& style) {
  for (int64_t k = 0; k < values.Count(); k++) {
    CommandWriter w(target, code, kNoPlotId, -1, style.flags, StyleColour(style));
    w.Put(values.re[k]);
    if (ErrCode e = w.Commit()) return e;
  }
  return kOk;
}

// A colour component in 0..1 as a byte; out-of-range values are clamped
// and NaN is 0.
char ColourByte(double v) {
  const double scaled = v * 255;
  if (!(scaled > 0)) return 0;
  return static_cast<char>(static_cast<uint8_t>(std::min(scaled, 255.0)));
}

}  // namespace

const DesignGridRow& DesignGridRowOf(DesignGrid grid) {
  return kDesignGrids[static_cast<size_t>(grid)];
}

ErrCode AddGridObject(EngineContext* ctx, int32_t nargin, PlotTarget& target,
                      const DesignGridRow& row, const PlotStyle* defaultStyle) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  const bool takesArrays = row.firstCode != 0;
  if (nargin > (takesArrays ? 3 : 1)) return kErrTooManyArgin;
  const PlotStyle& base = defaultStyle != nullptr ? *defaultStyle : kGridFallbackStyle;
  PlotStyle style = base;
  if (nargin == 1 || nargin == 3) {
    StyleArg text;
    if (ErrCode e = ReadStyleArg(ctx, 0, &text)) return e;
    const uint8_t rgb[3] = {base.red, base.green, base.blue};
    if (ErrCode e = ParsePlotStyle(text.text, text.length, 0, base.flags, rgb, &style)) return e;
  }
  RealMatrix first, second;
  const bool arrays = nargin >= 2;
  if (arrays) {
    if (ErrCode e = ReadRealMatrix(ctx, ArgDepth(nargin, 1), &second)) return e;
    if (ErrCode e = ReadRealMatrix(ctx, ArgDepth(nargin, 0), &first)) return e;
  }
  const uint64_t need =
      arrays ? RoomFor(uint64_t(first.Count() + second.Count()), kCommandHeaderDoubles + 1)
             : kCommandHeaderDoubles;
  if (ErrCode e = ReservePlotRoom(target, need)) return e;
  // The grid's own extent joins the limits on every call, so that it shows
  // in a subplot whose group was opened before its draw handler ran.
  const double xs[2] = {row.xMin, row.xMax}, ys[2] = {row.yMin, row.yMax};
  UpdateAutoLimits(target.subplot, xs, ys, nullptr, 2);
  if (arrays) {
    if (ErrCode e = WriteGridCurves(target, row.secondCode, second, style)) return e;
    if (ErrCode e = WriteGridCurves(target, row.firstCode, first, style)) return e;
  } else {
    CommandWriter w(target, row.wholeCode, kNoPlotId, -1, style.flags, StyleColour(style));
    if (ErrCode e = w.Commit()) return e;
  }
  SetSubplotGridKind(target.subplot, kOptGridKindMask, kBasicGridKind);
  return FinishPlotCall(ctx, nargin);
}

ErrCode AddErlocusObject(EngineContext* ctx, int32_t nargin, PlotTarget& target) {
  if (nargin != 2 && nargin != 4) return kErrTooManyArgin;
  RealMatrix gains, colours;
  int32_t marks = 0;
  if (nargin == 4) {
    if (ErrCode e = ReadRealMatrix(ctx, 0, &colours)) return e;
    if (colours.cols != 3 || colours.rows < 1) return kErrBadSize;
    marks = colours.rows;
    if (ErrCode e = ReadRealMatrix(ctx, 1, &gains)) return e;
    if (gains.rows != 1 && gains.cols != 1) return kErrNonVector;
    if (gains.Count() != marks) return kErrIncompSize;
  }
  RealMatrix p, m;
  if (ErrCode e = ReadRealMatrix(ctx, ArgDepth(nargin, 1), &m)) return e;
  if (ErrCode e = ReadRealMatrix(ctx, ArgDepth(nargin, 0), &p)) return e;
  if (m.rows == 0) {
    if (p.cols >= 2) return kErrIncompSize;
    return FinishPlotCall(ctx, nargin);
  }
  const int32_t n = m.rows;
  if (m.cols != n) return kErrIncompSize;
  if (p.rows != 1) return kErrNonRowVector;
  if (p.cols != n + 1) return kErrIncompSize;
  const int64_t colourBytes = 3 * int64_t{marks};
  const uint64_t data = uint64_t(n + 1) * n + marks + (colourBytes + 7) / 8 + 3;
  if (ErrCode e = ReservePlotRoom(target, kCommandHeaderDoubles + data)) return e;
  CommandWriter w(target, kCmdErrorLocus, kNoPlotId, 1, 0, 0);
  w.Put(n);
  for (int32_t k = 0; k <= n; k++) w.Put(p.re[k]);
  for (int64_t k = 0; k < m.Count(); k++) w.Put(m.re[k]);
  w.Put(marks);
  for (int32_t k = 0; k < marks; k++) w.Put(gains.re[k] * gains.re[k]);
  for (int64_t k = 0; k < colourBytes; k++) {
    const char byte = ColourByte(colours.re[k]);
    w.PutBytes(&byte, 1);
  }
  const double* payload = w.Data();
  if (ErrCode e = w.Commit()) return e;
  // The roots join the automatic limits, and the region coloured round
  // them.
  ResponseScratch scratch(ctx, false);
  if (uint64_t(12 * n + 1) <= scratch.doubles) {
    double* re = scratch.at;
    double* im = re + n;
    double* xs = im + n;
    double* ys = xs + 4 * n;
    if (FindRealPolynomialRootsOnCopy(p.re, n, re, im, xs)) {
      UpdateAutoLimits(target.subplot, re, im, nullptr, n);
      if (n <= kErrorLocusExtentDegree) {
        const double* squaredGains = payload + 2 + n + int64_t{n} * n + 1;
        ErrorLocusExtent(p.re, m.re, n, re, im, n, ErrorLocusBound(squaredGains, marks), xs, ys,
                         ys + 4 * n);
        UpdateAutoLimits(target.subplot, xs, ys, nullptr, 4 * n);
      }
    }
  }
  return FinishPlotCall(ctx, nargin);
}

}  // namespace vke
