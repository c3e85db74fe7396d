// fplot: a function of x sampled over a range with a step that adapts to how
// straight the curve is in device units. The native calls the function
// through the interpreter once per point: it sets the call up and returns,
// and is entered again with a negative nargin and the function's result on
// the stack. Between calls its state is a row of doubles on the stack above
// its arguments; the accepted points wait in the capture buffer, behind the
// commands written, where the command is finally written around them.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/values/values.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/plot_natives.hpp"
#include "graphics/scale.hpp"

namespace vke {

namespace {

// The state row: the sampler's seven values, then these.
enum StateField : int32_t {
  kFieldInputs = 7,  // nargin of the first call
  kFieldStart,       // used count when sampling began; the points lie behind it
  kFieldStyle,
  kFieldColour,
  kFieldId,
  kStateFields,
};

constexpr double kDefaultLow = -5;
constexpr double kDefaultHigh = 5;
constexpr double kStepsPerRange = 100;
constexpr double kSmallestStepShare = 0.1;  // of the first step
constexpr double kRefineDistance = 0.5;     // device units
constexpr double kCoarsenDistance = 0.2;
// A step that ends this close to xMax (relative to the step) ends there.
constexpr double kEndTolerance = 1e-6;
// Room below which fplot does not start: the header and five points.
constexpr uint64_t kLeastPoints = 5;
// Arguments before the extra parameters: fun, range, style, id.
constexpr int32_t kFixedArgs = 4;

double NextX(double last, const SamplerState& s) {
  const double next = last + s.step;
  return next >= s.xMax - s.step * kEndTolerance ? s.xMax : next;
}

// The points waiting in the buffer: x from the first data position of the
// command to come, y behind room for maxPoints x values.
double* WaitingPoints(PlotTarget& t, uint32_t start, int64_t offset) {
  return reinterpret_cast<double*>(
      t.payload + (size_t{start} + kCommandHeaderDoubles + 1 + static_cast<size_t>(offset)) * 8);
}

// Copies the function value and the extra parameters above the state row,
// pushes x among them and calls the function; the interpreter enters the
// native again with its result.
ErrCode RequestSample(EngineContext* ctx, int32_t inputs, double x) {
  if (ErrCode e = DuplicateStackEntries(ctx, inputs, 1)) return e;
  if (ErrCode e = PushRealScalar(ctx, x)) return e;
  const int32_t extra = std::max(inputs - kFixedArgs, 0);
  if (ErrCode e = DuplicateStackEntries(ctx, 3, extra)) return e;
  return CallFunctionValue(ctx, 1 + extra, 1 + extra, 1, 1);
}

// The range to sample: the range argument, within the visible x range when
// the x axis is released or fixed; -5 to 5 when neither is given.
ErrCode SampledRange(EngineContext* ctx, int32_t nargin, const SubplotRecord& subplot, double* low,
                     double* high) {
  double visibleLow = 0, visibleHigh = 0;
  if (subplot.scaleState[kAxisX] >= kScaleReleased)
    GetViewportXRange(subplot, &visibleLow, &visibleHigh);
  const bool visible =
      std::isfinite(visibleLow) && std::isfinite(visibleHigh) && visibleLow < visibleHigh;
  MatrixArg range;
  if (nargin >= 2) {
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, 1), &range)) return e;
    if (range.Count() != 0 && range.Count() != 2) return kErrBadSize;
  }
  *low = visible ? visibleLow : kDefaultLow;
  *high = visible ? visibleHigh : kDefaultHigh;
  if (range.Count() == 2) {
    *low = visible ? std::max(range.At(0), visibleLow) : range.At(0);
    *high = visible ? std::min(range.At(1), visibleHigh) : range.At(1);
  }
  return std::isfinite(*low) && std::isfinite(*high) ? kOk : kErrOutOfRangeArg;
}

ErrCode StartFunctionPlot(EngineContext* ctx, int32_t nargin, PlotTarget& t) {
  if (nargin < 1) return kErrTooFewArgin;
  const char* types = IsCharArray(ctx, ArgDepth(nargin, 0)) ? "S[RSr*" : "f[RSr*";
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, types)) return e;
  double low, high;
  if (ErrCode e = SampledRange(ctx, nargin, *t.subplot, &low, &high)) return e;
  StyleArg style;
  int32_t id = kNoPlotId;
  if (ErrCode e = ReadStyleAndId(ctx, nargin, 2, kErrNonScalarArg, &style, &id)) return e;
  PlotStyle ps;
  if (ErrCode e = SeriesStyle(style, 0, kCurveStyleWord, &ps)) return e;
  if (low > high) return FinishPlotCall(ctx, nargin);
  if (ErrCode e = ReservePlotRoom(t, RoomFor(kLeastPoints, 2, kCommandHeaderDoubles + 1))) return e;

  const uint32_t maxPoints = (PlotRoomLeft(t) - kCommandHeaderDoubles - 1) / 2;
  const SamplerState s = StartSampling(low, high, maxPoints);
  double* row;
  if (ErrCode e = PushNewMatrix(ctx, 1, kStateFields, &row, nullptr)) return e;
  const double fields[kStateFields] = {s.maxPoints,
                                       s.count,
                                       s.xMax,
                                       s.x,
                                       s.minStep,
                                       s.maxStep,
                                       s.step,
                                       1.0 * nargin,
                                       1.0 * *t.used,
                                       1.0 * ps.flags,
                                       1.0 * StyleColour(ps),
                                       1.0 * id};
  std::copy(fields, fields + kStateFields, row);
  return RequestSample(ctx, nargin, s.x);
}

// Entered again with the function's value on top, the function value under
// it and the state row under that.
ErrCode ContinueFunctionPlot(EngineContext* ctx, int32_t nargin, PlotTarget& t) {
  if (nargin != -2) return kErrWrongType;  // one result
  double y;
  if (ErrCode e = GetScalarArg(ctx, 0, &y)) return e;
  if (ErrCode e = Drop(ctx, 2)) return e;
  MatrixArg row;
  if (ReadMatrixArg(ctx, 0, &row) || row.Count() != kStateFields) return kErrBadContext;
  double* f = row.re;
  SamplerState s{f[0], f[1], f[2], f[3], f[4], f[5], f[6]};
  const auto start = static_cast<uint32_t>(f[kFieldStart]);
  // The function must not have drawn into the buffer meanwhile.
  if (*t.used != start || RoomFor(static_cast<uint64_t>(s.maxPoints), 2, 7) > PlotRoomLeft(t))
    return kErrBadContext;
  double* xs = WaitingPoints(t, start, 0);
  double* ys = WaitingPoints(t, start, static_cast<int64_t>(s.maxPoints));
  const SampleStep step = TakeSample(&s, y, xs, ys, *t.subplot);
  const double state[] = {s.maxPoints, s.count, s.xMax, s.x, s.minStep, s.maxStep, s.step};
  std::copy(std::begin(state), std::end(state), f);
  const int32_t inputs = TruncToInt32(f[kFieldInputs]);
  if (step == SampleStep::kFull) return kErrPlotOverflow;
  if (step == SampleStep::kEvaluate) return RequestSample(ctx, inputs, s.x);

  const auto count = static_cast<int64_t>(s.count);
  CommandWriter w(t, kCmdPolyline, TruncToInt32(f[kFieldId]), 1,
                  static_cast<uint32_t>(f[kFieldStyle]), static_cast<uint32_t>(f[kFieldColour]));
  // The x values are already in place; the y values move down behind them.
  w.Put(static_cast<double>(count));
  for (int64_t i = 0; i < count; i++) w.Put(xs[i]);
  for (int64_t i = 0; i < count; i++) w.Put(ys[i]);
  const double* data = w.Data();
  if (ErrCode e = w.Commit()) return e;
  WidenWithCommandPoints(t, data, false);
  return FinishPlotCall(ctx, inputs + 1);
}

}  // namespace

SamplerState StartSampling(double xMin, double xMax, double maxPoints) {
  const double step = (xMax - xMin) / kStepsPerRange;
  return {maxPoints, 0, xMax, xMin, step * kSmallestStepShare, step, step};
}

SampleStep TakeSample(SamplerState* s, double y, double* xs, double* ys,
                      const SubplotRecord& subplot) {
  const auto count = static_cast<int64_t>(s->count);
  if (count >= 2) {
    const double x1 = xs[count - 1], y1 = ys[count - 1];
    const double x0 = xs[count - 2], y0 = ys[count - 2];
    const double predicted = y1 + (y1 - y0) * (s->x - x1) / (x1 - x0);
    const double distance =
        std::fabs(DataYToDevice(subplot, predicted) - DataYToDevice(subplot, y));
    if (distance >= kRefineDistance && s->step > s->minStep) {
      s->step = std::max(s->step / 2, s->minStep);
      s->x = NextX(x1, *s);
      return SampleStep::kEvaluate;
    }
    if (distance < kCoarsenDistance && s->step < s->maxStep)
      s->step = std::min(s->step * 2, s->maxStep);
  }
  if (count >= s->maxPoints) return SampleStep::kFull;
  xs[count] = s->x;
  ys[count] = y;
  s->count = static_cast<double>(count + 1);
  if (s->x >= s->xMax) return SampleStep::kDone;
  s->x = NextX(s->x, *s);
  return SampleStep::kEvaluate;
}

ErrCode AddFunctionPlot(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  return nargin >= 0 ? StartFunctionPlot(ctx, nargin, t) : ContinueFunctionPlot(ctx, nargin, t);
}

}  // namespace vke
