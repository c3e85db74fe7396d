// Objects that are not polylines of data points: infinite lines in 2-D and
// 3-D, circles, and the invisible active regions that the mouse code
// hit-tests.
#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "graphics/plot_natives.hpp"
#include "graphics/scale.hpp"

namespace vke {

namespace {

// Element i of an element-wise operand: a scalar serves every element.
double Elementwise(const MatrixArg& m, int64_t i) {
  return m.Count() == 1 ? m.re[0] : m.re[i];
}

// Widens the automatic limits with the square around one circle.
void WidenWithCircle(SubplotRecord* subplot, double x, double y, double r) {
  const double xs[2] = {x - r, x + r};
  const double ys[2] = {y - r, y + r};
  UpdateAutoLimits(subplot, xs, ys, nullptr, 2);
}

}  // namespace

ErrCode AddLineObject(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t flag) {
  const bool is3d = flag == kPlot3d;
  if (nargin < 2) return kErrTooFewArgin;
  if (nargin > 4) return kErrTooManyArgin;
  int32_t id = kNoPlotId;
  StyleArg style;
  if (ErrCode e = ReadStyleAndId(ctx, nargin, 2, kErrBadArg, &style, &id)) return e;
  MatrixArg coef, rhs;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 0), &coef)) return e;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 1), &rhs)) return e;
  if (rhs.rows > 0 && rhs.cols > 1) return kErrBadSize;
  if ((coef.Empty() && rhs.rows <= 1) || (rhs.Empty() && coef.rows <= 1))
    return FinishPlotCall(ctx, nargin);
  if (coef.cols != (is3d ? 3 : 2)) return kErrBadSize;
  if ((coef.rows != rhs.rows && coef.rows != 1 && rhs.rows != 1) || rhs.Empty())
    return kErrIncompSize;
  const int32_t rows = std::max(coef.rows, rhs.rows);
  // In 3-D each line is where two planes, given by consecutive rows, meet.
  if (is3d && rows > 1 && rows % 2 != 0) return kErrBadSize;
  const int32_t lines = is3d ? (rows + 1) / 2 : rows;
  if (ErrCode e = ReservePlotRoom(t, RoomFor(lines, is3d ? 14 : 9))) return e;

  for (int32_t k = 0; k < lines; k++) {
    PlotStyle ps;
    if (ErrCode e = SeriesStyle(style, k, kCurveStyleWord, &ps)) return e;
    CommandWriter w(t, is3d ? kCmdInfiniteLine3 : kCmdInfiniteLine, id, k + 1, ps.flags,
                    StyleColour(ps));
    const int32_t planes = is3d ? 2 : 1;
    for (int32_t p = 0; p < planes; p++) {
      const int32_t row = planes * k + p;
      for (int32_t c = 0; c < coef.cols; c++) w.Put(row < rows ? coef.Series(row, c) : 0);
      w.Put(row < rows ? rhs.Series(row, 0) : 0);
    }
    if (ErrCode e = w.Commit()) return e;
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode AddCircleObject(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  if (nargin < 3) return kErrTooFewArgin;
  if (nargin > 5) return kErrTooManyArgin;
  int32_t id = kNoPlotId;
  StyleArg style;
  if (ErrCode e = ReadStyleAndId(ctx, nargin, 3, kErrBadArg, &style, &id)) return e;
  // x, y and r as element-wise operands: the arrays share one shape, scalars
  // are repeated.
  MatrixArg m[3];
  const MatrixArg* shape = nullptr;
  for (int32_t a = 0; a < 3; a++) {
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, a), &m[a])) return e;
    if (m[a].Count() == 1) continue;
    if (shape && (shape->rows != m[a].rows || shape->cols != m[a].cols)) return kErrIncompSize;
    shape = &m[a];
  }
  const int64_t n = shape ? shape->Count() : 1;
  if (n == 0) return FinishPlotCall(ctx, nargin);
  int32_t alternatives = 0;
  if (ErrCode e = CountStyleEntries(style.text, style.length, &alternatives)) return e;
  // With several style alternatives every circle is a command of its own.
  const bool separate = alternatives > 1;
  if (ErrCode e = ReservePlotRoom(t, separate ? RoomFor(n, 10) : RoomFor(n, 3, 7))) return e;

  const int64_t commands = separate ? n : 1;
  for (int64_t k = 0; k < commands; k++) {
    PlotStyle ps;
    if (ErrCode e = SeriesStyle(style, static_cast<int32_t>(k), kCurveStyleWord, &ps)) return e;
    const int64_t from = separate ? k : 0, to = separate ? k + 1 : n;
    CommandWriter w(t, kCmdCircles, id, separate ? static_cast<int32_t>(k + 1) : -1, ps.flags,
                    StyleColour(ps));
    w.Put(static_cast<double>(to - from));
    for (int32_t a = 0; a < 3; a++)
      for (int64_t i = from; i < to; i++) w.Put(Elementwise(m[a], i));
    if (ErrCode e = w.Commit()) return e;
    for (int64_t i = from; i < to; i++)
      WidenWithCircle(t.subplot, Elementwise(m[0], i), Elementwise(m[1], i), Elementwise(m[2], i));
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode AddActiveRegion(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  if (nargin < 3 || nargin == 4) return kErrTooFewArgin;
  if (nargin > 5) return kErrTooManyArgin;
  int32_t id;
  if (ErrCode e = ReadIdArg(ctx, 0, kErrNonScalarArg, &id)) return e;
  // The polygon's corners, x then y.
  MatrixArg x, y;
  double rect[4];
  int64_t n = 4;
  if (nargin == 3) {
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 0), &x)) return e;
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 1), &y)) return e;
    if (x.Count() != y.Count()) return kErrIncompSize;
    n = x.Count();
  } else {
    for (int32_t a = 0; a < 4; a++)
      if (ErrCode e = GetScalarArg(ctx, ArgDepth(nargin, a), &rect[a])) return e;
  }
  if (ErrCode e = ReservePlotRoom(t, RoomFor(n, 2, 7))) return e;
  CommandWriter w(t, kCmdActiveRegion, id, -1, 0, 0);
  w.Put(static_cast<double>(n));
  if (nargin == 3) {
    for (int64_t i = 0; i < n; i++) w.Put(x.At(i));
    for (int64_t i = 0; i < n; i++) w.Put(y.At(i));
  } else {
    // (xmin, ymin), (xmax, ymin), (xmax, ymax), (xmin, ymax).
    for (int32_t a : {0, 1, 1, 0}) w.Put(rect[a]);
    for (int32_t a : {2, 2, 3, 3}) w.Put(rect[a]);
  }
  if (ErrCode e = w.Commit()) return e;
  return FinishPlotCall(ctx, nargin);
}

}  // namespace vke
