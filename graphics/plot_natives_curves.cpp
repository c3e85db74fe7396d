// Curves given by their points: plot and plot3 (one series per row), area
// (filled, stacked columns) and polar.
#include <algorithm>
#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "graphics/plot_natives.hpp"
#include "graphics/scale.hpp"

namespace vke {

namespace {

// Polar subplots are drawn with a polar grid.
constexpr uint8_t kPolarPlot = 1;

// Whether the style word asks for a staircase: bits 11-15 hold 1.
bool IsStaircase(uint32_t flags) {
  return ((flags >> 11) & 0x1F) == 1;
}

}  // namespace

ErrCode AddPlotObjects(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t flag) {
  const bool is3d = flag == kPlot3d;
  const int32_t styleAt = FirstTextArgument(ctx, nargin);
  if (styleAt < nargin - 2) return kErrWrongType;
  if (is3d ? styleAt != 3 : styleAt < 1 || styleAt > 2) return kErrWrongType;
  int32_t id = kNoPlotId;
  StyleArg style;
  if (ErrCode e = ReadStyleAndId(ctx, nargin, styleAt, kErrNonScalarArg, &style, &id)) return e;

  // The coordinates in order x, y, z; x may be absent in 2-D.
  MatrixArg axes[3];
  const int32_t first = is3d || styleAt == 2 ? 0 : 1;
  int32_t series = 0, points = 0;
  bool empty = false;
  for (int32_t a = first; a < (is3d ? 3 : 2); a++) {
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, a - first), &axes[a])) return e;
    series = std::max(series, axes[a].rows);
    points = std::max(points, axes[a].cols);
    empty = empty || axes[a].Empty();
  }
  for (int32_t a = first; a < (is3d ? 3 : 2); a++) {
    const MatrixArg& m = axes[a];
    if ((m.rows >= 2 && m.rows != series) || (m.cols >= 2 && m.cols != points))
      return kErrIncompSize;
  }
  if (empty) {
    if (ErrCode e = ReservePlotRoom(t, 0)) return e;
    return FinishPlotCall(ctx, nargin);
  }
  // A staircase of n points takes 2n - 1.
  const uint64_t perSeries = is3d ? 3ull * points + 7 : 4ull * points + 5;
  if (ErrCode e = ReservePlotRoom(t, RoomFor(series, perSeries))) return e;

  for (int32_t i = 0; i < series; i++) {
    PlotStyle ps;
    if (ErrCode e = SeriesStyle(style, i, kCurveStyleWord, &ps)) return e;
    if (is3d) t.subplot->is3d = 1;
    const bool stairs = !is3d && IsStaircase(ps.flags);
    const int32_t n = stairs ? 2 * points - 1 : points;
    CommandWriter w(t, is3d ? kCmdPolyline3 : kCmdPolyline, id, i + 1, ps.flags, StyleColour(ps));
    w.Put(n);
    for (int32_t j = 0; j < n; j++) {
      const int32_t k = stairs ? (j + 1) / 2 : j;
      w.Put(first == 0 ? axes[0].Series(i, k) : k + 1);
    }
    for (int32_t j = 0; j < n; j++) w.Put(axes[1].Series(i, stairs ? j / 2 : j));
    if (is3d) {
      for (int32_t j = 0; j < n; j++) w.Put(axes[2].Series(i, j));
    }
    const double* data = w.Data();
    if (ErrCode e = w.Commit()) return e;
    WidenWithCommandPoints(t, data, is3d);
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode AddAreaObject(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  const int32_t styleAt = FirstTextArgument(ctx, nargin);
  const bool hasStyle = styleAt < nargin;
  // Without a style a fourth argument is the id.
  const int32_t numeric = hasStyle ? styleAt : std::min(nargin, 3);
  const int32_t after = nargin - numeric - (hasStyle ? 1 : 0);
  if (numeric < 1 || numeric > 3 || after > 1) return kErrBadArg;
  int32_t id = kNoPlotId;
  StyleArg style;
  if (after == 1) {
    if (ErrCode e = ReadIdArg(ctx, 0, kErrNonScalarArg, &id)) return e;
  }
  if (hasStyle) {
    if (ErrCode e = ReadStyleArg(ctx, ArgDepth(nargin, styleAt), &style)) return e;
  }
  MatrixArg x, y;
  double base = 0;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, numeric == 1 ? 0 : 1), &y)) return e;
  if (numeric >= 2) {
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 0), &x)) return e;
  }
  if (numeric == 3) {
    if (ErrCode e = GetScalarArg(ctx, ArgDepth(nargin, 2), &base)) return e;
  }
  // y holds one series per column; x either one column for all or one per
  // series, with a row per point.
  const bool hasX = !x.Empty();
  if (hasX && !y.Empty() && (x.rows != y.rows || (x.cols != y.cols && x.cols != 1)))
    return kErrIncompSize;
  if (y.Empty()) {
    if (ErrCode e = ReservePlotRoom(t, 0)) return e;
    return FinishPlotCall(ctx, nargin);
  }
  const int32_t m = y.rows, k = y.cols;
  if (ErrCode e = ReservePlotRoom(t, RoomFor(k, 2ull * m + 11))) return e;

  if (!hasX || x.cols == 1) {
    // Stacked areas: each column holds the sum of the columns up to it.
    for (int32_t i = 0; i < m; i++)
      for (int32_t j = 1; j < k; j++) y.re[int64_t{i} * k + j] += y.re[int64_t{i} * k + j - 1];
  }
  // The largest sums first, so the smaller areas are drawn over them.
  for (int32_t c = 0; c < k; c++) {
    const int32_t col = k - 1 - c;
    PlotStyle ps;
    if (ErrCode e = SeriesStyle(style, c, CycleStyleWord(c), &ps)) return e;
    CommandWriter w(t, kCmdPolyline, id, col + 1, ps.flags | kStyleFilled, StyleColour(ps));
    auto xAt = [&](int32_t i) {
      return hasX ? x.re[int64_t{i} * x.cols + (x.cols == 1 ? 0 : col)] : i + 1.0;
    };
    w.Put(m + 2);
    w.Put(xAt(0));
    for (int32_t i = 0; i < m; i++) w.Put(xAt(i));
    w.Put(xAt(m - 1));
    w.Put(base);
    for (int32_t i = 0; i < m; i++) w.Put(y.re[int64_t{i} * k + col]);
    w.Put(base);
    const double* data = w.Data();
    if (ErrCode e = w.Commit()) return e;
    WidenWithCommandPoints(t, data, false);
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode AddPolarObject(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  if (nargin < 2) return kErrTooFewArgin;
  if (nargin > 4) return kErrTooManyArgin;
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, "CC[Sr")) return e;
  MatrixArg theta, rho;
  ReadMatrixArg(ctx, ArgDepth(nargin, 0), &theta);
  ReadMatrixArg(ctx, ArgDepth(nargin, 1), &rho);
  StyleArg style;
  int32_t id = kNoPlotId;
  if (ErrCode e = ReadStyleAndId(ctx, nargin, 2, kErrNonScalarArg, &style, &id)) return e;
  if (theta.cols != rho.cols || (theta.rows != rho.rows && theta.rows != 1 && rho.rows != 1))
    return kErrIncompSize;
  if (theta.Empty() || rho.Empty()) {
    if (ErrCode e = ReservePlotRoom(t, 0)) return e;
    return FinishPlotCall(ctx, nargin);
  }
  const int32_t series = std::max(theta.rows, rho.rows), n = theta.cols;
  if (ErrCode e = ReservePlotRoom(t, RoomFor(series, 2ull * n + 7))) return e;
  SetScaleKindBits(t.subplot, kScaleEqual, kScaleEqual);
  t.subplot->plotFlag = kPolarPlot;
  for (int32_t i = 0; i < series; i++) {
    PlotStyle ps;
    if (ErrCode e = SeriesStyle(style, i, kCurveStyleWord, &ps)) return e;
    CommandWriter w(t, kCmdPolyline, id, i + 1, ps.flags, StyleColour(ps));
    w.Put(n);
    for (int32_t j = 0; j < n; j++) w.Put(rho.Series(i, j) * std::cos(theta.Series(i, j)));
    for (int32_t j = 0; j < n; j++) w.Put(rho.Series(i, j) * std::sin(theta.Series(i, j)));
    const double* data = w.Data();
    if (ErrCode e = w.Commit()) return e;
    WidenWithCommandPoints(t, data, false);
  }
  return FinishPlotCall(ctx, nargin);
}

}  // namespace vke
