// Bars (grouped, stacked or interval bars, vertical or horizontal) and
// arrow fields.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "graphics/plot_natives.hpp"
#include "graphics/scale.hpp"

namespace vke {

namespace {

enum class BarKind { kGrouped, kStacked, kInterval };

// Bits of the first payload double of command 7.
constexpr double kBarHorizontal = 1;
constexpr double kBarInterval = 2;

// Default relative widths of a bar within its group and of a group.
constexpr double kDefaultBarWidth = 0.8;

// Arrow heads are this fraction of the arrow spacing; arrows of the largest
// length take this fraction of it.
constexpr double kHeadFraction = 0.3;
constexpr double kLengthFraction = 0.9;

ErrCode ReadBarKind(EngineContext* ctx, int32_t depth, BarKind* kind) {
  StyleArg text;
  if (ErrCode e = ReadStyleArg(ctx, depth, &text)) return e;
  switch (text.length ? text.text[0] : 'g') {
    case 's':
    case 'S':
      *kind = BarKind::kStacked;
      return kOk;
    case 'i':
    case 'I':
      *kind = BarKind::kInterval;
      return kOk;
    case 'g':
    case 'G':
      *kind = BarKind::kGrouped;
      return kOk;
    default:
      return kErrUnknownOpt;
  }
}

// Smallest and largest of the finite values.
struct Range {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void Add(double v) {
    if (!std::isfinite(v)) return;
    low = std::min(low, v);
    high = std::max(high, v);
  }
};

// Widens the automatic limits of one axis with the values given.
void WidenAxis(SubplotRecord* subplot, bool xAxis, const double* values, int32_t n) {
  UpdateAutoLimits(subplot, xAxis ? values : nullptr, xAxis ? nullptr : values, nullptr, n);
}

void WidenAxisRange(SubplotRecord* subplot, bool xAxis, double low, double high) {
  const double values[2] = {low, high};
  WidenAxis(subplot, xAxis, values, 2);
}

// The spacing of arrows along one axis of `count` of them over `range`;
// NaN when it cannot be measured (one arrow, all at one place).
double ArrowSpacing(const Range& range, int32_t count) {
  const double d = count > 1 ? (range.high - range.low) / (count - 1) : 0;
  return std::isfinite(d) && d > 0 ? d : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

ErrCode AddBarObject(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t flag) {
  const bool horizontal = flag == kBarsHorizontal;
  const int32_t kindAt = FirstTextArgument(ctx, nargin);
  if (kindAt < 1 || kindAt > 3 || nargin - kindAt > 3) return kErrBadArg;
  BarKind kind = BarKind::kGrouped;
  StyleArg style;
  int32_t id = kNoPlotId;
  if (kindAt < nargin) {
    if (ErrCode e = ReadBarKind(ctx, ArgDepth(nargin, kindAt), &kind)) return e;
    if (ErrCode e = ReadStyleAndId(ctx, nargin, kindAt + 1, kErrNonScalarArg, &style, &id))
      return e;
  }
  MatrixArg x, y, w;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, kindAt == 1 ? 0 : 1), &y)) return e;
  if (kindAt >= 2) {
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 0), &x)) return e;
  }
  if (kindAt == 3) {
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 2), &w)) return e;
  }
  double groupShare = kDefaultBarWidth, barShare = kDefaultBarWidth;
  if (!w.Empty()) {
    if (w.Count() > 2) return kErrBadSize;
    barShare = w.At(0);
    if (w.Count() == 2) groupShare = w.At(1);
  }
  const bool interval = kind == BarKind::kInterval;
  if (interval && y.rows % 2 != 0) return kErrBadSize;
  const int32_t series = interval ? y.rows / 2 : y.rows, n = y.cols;
  const bool hasX = !x.Empty();
  if (hasX && (x.cols != n || (x.rows != 1 && x.rows != series))) return kErrIncompSize;
  if (y.Empty()) return FinishPlotCall(ctx, nargin);

  // Bar width and the shift of series i: shift + i * step.
  const double dx = hasX && x.cols >= 2 ? x.At(1) - x.At(0) : 1;
  double width = barShare * dx, shift = 0, step = 0;
  if (kind == BarKind::kStacked) {
    width = barShare;
  } else if (series >= 2) {
    step = dx * groupShare / ((series - 1) + barShare);
    width = step * barShare;
    shift = width / 2 - dx * groupShare / 2;
  }
  const uint64_t ends = interval ? 2 : 1;
  if (ErrCode e = ReservePlotRoom(t, RoomFor(series, (ends + 1) * n + 9))) return e;

  if (kind == BarKind::kStacked) {
    for (int32_t r = 1; r < y.rows; r++)
      for (int32_t j = 0; j < n; j++) y.re[int64_t{r} * n + j] += y.re[int64_t{r - 1} * n + j];
  }
  const double payloadKind = (horizontal ? kBarHorizontal : 0) + (interval ? kBarInterval : 0);
  // Stacked bars from the largest sums (the last row) down.
  for (int32_t c = 0; c < series; c++) {
    const int32_t i = kind == BarKind::kStacked ? series - 1 - c : c;
    PlotStyle ps;
    if (ErrCode e = SeriesStyle(style, c, CycleStyleWord(c) | kStyleFilled, &ps)) return e;
    CommandWriter cw(t, kCmdBars, id, interval ? 2 * c + 1 : c + 1, ps.flags, StyleColour(ps));
    cw.Put(payloadKind);
    cw.Put(width);
    cw.Put(n);
    Range positions;
    for (int32_t j = 0; j < n; j++) {
      const double p = (hasX ? x.Series(i, j) : j + 1.0) + shift + i * step;
      positions.Add(p);
      cw.Put(p);
    }
    // Plain bars end at row i; interval bars run from row 2i up to 2i + 1.
    const int32_t first = interval ? 2 * i + 1 : i;
    for (uint64_t k = 0; k < ends; k++)
      for (int32_t j = 0; j < n; j++)
        cw.Put(y.re[int64_t{first - static_cast<int32_t>(k)} * n + j]);
    const double* data = cw.Data();
    if (ErrCode e = cw.Commit()) return e;
    // The value axis is y for bar, x for barh.
    WidenAxis(t.subplot, horizontal, data + 3 + n, static_cast<int32_t>(ends * n));
    if (!interval) WidenAxisRange(t.subplot, horizontal, 0, 0);
    WidenAxisRange(t.subplot, !horizontal, positions.low - std::fabs(width) / 2,
                   positions.high + std::fabs(width) / 2);
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode AddQuiverObject(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  if (nargin < 2) return kErrTooFewArgin;
  if (nargin > 6) return kErrTooManyArgin;
  const bool hasStyle = (nargin == 4 || nargin == 6) && IsCharArray(ctx, 0);
  const int32_t numeric = nargin - hasStyle;
  const bool hasXY = numeric >= 4;
  const int32_t uvAt = hasXY ? 2 : 0;
  MatrixArg x, y, u, v;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, uvAt), &u)) return e;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, uvAt + 1), &v)) return e;
  if (u.rows != v.rows || u.cols != v.cols) return kErrIncompSize;
  const int32_t m = u.rows, n = u.cols;
  // x: one value per arrow or per column; y: per arrow or per row.
  bool xFull = false, yFull = false;
  if (hasXY) {
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 0), &x)) return e;
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 1), &y)) return e;
    xFull = x.rows == m && x.cols == n;
    yFull = y.rows == m && y.cols == n;
    const bool xVector = (x.rows == 1 || x.cols == 1) && x.Count() == n;
    const bool yVector = (y.rows == 1 || y.cols == 1) && y.Count() == m;
    if (!(xFull || xVector) || !(yFull || yVector)) return kErrIncompSize;
  }
  double scale = 1;
  if (numeric == 3 || numeric == 5) {
    if (ErrCode e = GetScalarArg(ctx, ArgDepth(nargin, uvAt + 2), &scale)) return e;
  }
  StyleArg style;
  if (hasStyle) {
    if (ErrCode e = ReadStyleArg(ctx, 0, &style)) return e;
  }
  if (u.Empty()) return FinishPlotCall(ctx, nargin);
  auto xAt = [&](int32_t i, int32_t j) {
    return !hasXY ? j + 1.0 : x.At(xFull ? int64_t{i} * n + j : j);
  };
  auto yAt = [&](int32_t i, int32_t j) {
    return !hasXY ? i + 1.0 : y.At(yFull ? int64_t{i} * n + j : i);
  };

  // The spacing of the arrows; an axis along which it cannot be measured
  // takes the other's, or 1 when neither can be.
  Range xs, ys;
  double longest = std::ldexp(1.0, -52);
  for (int32_t i = 0; i < m; i++) {
    for (int32_t j = 0; j < n; j++) {
      xs.Add(xAt(i, j));
      ys.Add(yAt(i, j));
      const int64_t k = int64_t{i} * n + j;
      const double q = u.At(k) * u.At(k) + v.At(k) * v.At(k);
      if (q > longest) longest = q;
    }
  }
  double dx = ArrowSpacing(xs, n), dy = ArrowSpacing(ys, m);
  if (std::isnan(dx)) dx = std::isnan(dy) ? 1 : dy;
  if (std::isnan(dy)) dy = dx;
  const double spacing = std::min(dx, dy);
  const double head = (scale != 0 ? scale : 1) * spacing * kHeadFraction;
  const double length = scale != 0 ? scale * spacing / std::sqrt(longest) * kLengthFraction : 1;
  const double q = head / std::sqrt(longest);
  PlotStyle ps;
  if (ErrCode e = SeriesStyle(style, 0, kCurveStyleWord, &ps)) return e;
  // A shaft of two points and a head of three: 11 + 13 doubles.
  if (ErrCode e = ReservePlotRoom(t, RoomFor(int64_t{m} * n, 24))) return e;
  WidenAxisRange(t.subplot, true, xs.low - dx, xs.high + dx);
  WidenAxisRange(t.subplot, false, ys.low - dy, ys.high + dy);

  for (int32_t i = 0; i < m; i++) {
    for (int32_t j = 0; j < n; j++) {
      const int64_t k = int64_t{i} * n + j;
      const double x0 = xAt(i, j), y0 = yAt(i, j);
      const double x1 = x0 + length * u.At(k), y1 = y0 + length * v.At(k);
      const double a = q * u.At(k), b = q * v.At(k);
      CommandWriter shaft(t, kCmdPolyline, kNoPlotId, -1, ps.flags, StyleColour(ps));
      for (double d : {2.0, x0, x1, y0, y1}) shaft.Put(d);
      if (ErrCode e = shaft.Commit()) return e;
      CommandWriter tip(t, kCmdPolyline, kNoPlotId, -1, ps.flags, StyleColour(ps));
      for (double d : {3.0, x1 - a - b / 2, x1, x1 - a + b / 2, y1 - b + a / 2, y1, y1 - b - a / 2})
        tip.Put(d);
      if (ErrCode e = tip.Commit()) return e;
    }
  }
  return FinishPlotCall(ctx, nargin);
}

}  // namespace vke
