// The response natives: their table, the classification of their
// arguments into a system form and its optional items, the system commands
// they store and the calls of their curve routines.
#include "graphics/response_natives.hpp"

#include <algorithm>
#include <array>

#include "engine/values/values.hpp"
#include "graphics/response_args.hpp"
#include "numerics/call_cycle.hpp"

namespace vke {

namespace {

using enum ResponseNative;
using enum Properness;

// Each row: native, transfer-function code, state-space code, curve
// routine, properness, single input, discrete, takes Ts, takes a vector,
// takes options.
constexpr std::array<ResponseNativeRow, static_cast<size_t>(kCount)> kResponseNatives = {{
    // bodemag: magnitude over frequency
    {kBodemag, 19, 27, &BodeMagnitudeCurve, kAny, true, false, false, true, true},
    // bodephase: phase over frequency
    {kBodephase, 20, 28, &BodePhaseCurve, kAny, true, false, false, true, true},
    // nyquist: the frequency response in the complex plane
    {kNyquist, 21, kFormRefused, &NyquistCurve, kAny, true, false, false, true, true},
    // nichols: phase against magnitude
    {kNichols, 22, kFormRefused, &NicholsCurve, kAny, true, false, false, true, true},
    // sigma: singular values of a multivariable response
    {kSigma, kFormRefused, 31, &SigmaCurve, kAny, false, false, false, true, true},
    // dbodemag, dbodephase, dnyquist, dnichols, dsigma: the discrete forms
    {kDbodemag, 23, 29, &BodeMagnitudeCurve, kAny, true, true, true, true, true},
    {kDbodephase, 24, 30, &BodePhaseCurve, kAny, true, true, true, true, true},
    {kDnyquist, 25, kFormRefused, &NyquistCurve, kAny, true, true, false, true, true},
    {kDnichols, 26, kFormRefused, &NicholsCurve, kAny, true, true, false, true, true},
    {kDsigma, kFormRefused, 32, &SigmaCurve, kAny, false, true, true, true, true},
    // step, dstep: step responses of proper systems
    {kStep, 34, 38, &StepResponseCurve, kProper, true, false, false, false, true},
    {kDstep, 36, 40, &StepResponseCurve, kProper, true, true, true, false, true},
    // impulse: strictly proper; dimpulse: proper, its first sample the direct term
    {kImpulse, 33, 37, &ImpulseResponseCurve, kStrictly, true, false, false, false, true},
    {kDimpulse, 35, 39, &ImpulseResponseCurve, kProper, true, true, true, false, true},
    // rlocus: the closed-loop roots over the gain; draws only
    {kRlocus, 45, kFormRefused, &RootLocusCurve, kAny, true, false, false, false, false},
}};

constexpr bool RowsInOrder() {
  for (size_t i = 0; i < kResponseNatives.size(); i++) {
    if (static_cast<size_t>(kResponseNatives[i].native) != i) return false;
  }
  return true;
}
static_assert(RowsInOrder());

// The arguments of one call, by position from the first (-1: absent).
struct ResponseArgs {
  bool stateSpace = false;
  int32_t fixed = 0;  // the system and Ts
  int32_t vectorAt = -1;
  int32_t optionsAt = -1;
  StyleArg style;
  int32_t id = kNoPlotId;
  double ts = 1;
  const double* vector = nullptr;
  int32_t vectorCount = 0;
};

// The system, then each optional item where the native allows it and in
// its order; an id is the last argument. 107 when the count does not fit
// the form, the form is refused or options come where none are allowed.
ErrCode ClassifyArgs(EngineContext* ctx, int32_t nargin, const ResponseNativeRow& row,
                     ResponseArgs* a) {
  const auto depth = [nargin](int32_t index) { return ArgDepth(nargin, index); };
  int32_t t = row.takesTs ? 3 : 2;
  if (nargin >= t + 2 && !IsTextOrStruct(ctx, depth(t)) && !IsTextOrStruct(ctx, depth(t + 1))) {
    a->stateSpace = true;
    t += 2;
  }
  a->fixed = t;
  if (row.vector && nargin >= t + 1 && !IsTextOrStruct(ctx, depth(t))) a->vectorAt = t++;
  if (nargin >= t + 1 && IsStructValue(ctx, depth(t))) {
    if (!row.options) return kErrBadArg;
    a->optionsAt = t++;
  }
  if (nargin >= t + 1 && IsCharArray(ctx, depth(t))) {
    if (ErrCode e = ReadStyleArg(ctx, depth(t), &a->style)) return e;
    t++;
  }
  int32_t counted = nargin;
  if (nargin >= t + 1) {
    if (ErrCode e = ReadIdArg(ctx, 0, kErrNonScalarArg, &a->id)) return e;
    counted--;
  }
  if (counted != t) return kErrBadArg;
  if ((a->stateSpace ? row.ssCode : row.tfCode) == kFormRefused) return kErrBadArg;
  if (row.takesTs) {
    if (ErrCode e = ReadPeriod(ctx, depth(a->fixed - 1), &a->ts)) return e;
  }
  if (a->vectorAt >= 0) {
    Shape shape;
    double* im = nullptr;
    double* re = nullptr;
    if (ErrCode e = GetDoubleArrayArg(ctx, depth(a->vectorAt), &shape, &re, &im)) return e;
    if (im != nullptr) return kErrBadArg;
    a->vector = re;
    a->vectorCount = shape.count;
  }
  return kOk;
}

ResponseCurveCall CurveCall(int32_t nargout, PlotTarget* target, const LtiSystemRecord* system,
                            const ResponseNativeRow& row, const ResponseArgs& a, int32_t nargin,
                            const PlotStyle* styles, int32_t series) {
  return {nargout,      target,        system,
          row.discrete, a.ts,          a.optionsAt >= 0 ? ArgDepth(nargin, a.optionsAt) : -1,
          a.vector,     a.vectorCount, styles,
          a.id,         series};
}

// Rows of num over den: checked whole before anything is stored.
ErrCode CheckTransferRows(const RealMatrix& num, const RealMatrix& den, Properness properness) {
  for (int32_t r = 0; r < den.rows; r++) {
    const PolyRow d = StrippedRow(den.Row(r), den.cols);
    const PolyRow n = StrippedRow(num.Row(r), num.cols);
    if (d.c[0] == 0) return kErrBadArg;  // a denominator of zeros
    if (properness == kProper && n.degree > d.degree) return kErrIncompSize;
    if (properness == kStrictly && n.degree >= d.degree) return kErrIncompSize;
  }
  return kOk;
}

ErrCode TransferFunctionPlot(EngineContext* ctx, int32_t nargin, int32_t nargout,
                             PlotTarget* figure, PlotTarget& target, const ResponseNativeRow& row,
                             const ResponseArgs& a) {
  RealMatrix num, den;
  if (ErrCode e = ReadRealMatrix(ctx, ArgDepth(nargin, 1), &den)) return e;
  if (ErrCode e = ReadRealMatrix(ctx, ArgDepth(nargin, 0), &num)) return e;
  if (num.Empty() || den.Empty()) return FinishEmptyResponse(ctx, nargin, nargout);
  if (num.rows != den.rows) return kErrIncompSize;
  if (num.rows > 1 && figure == nullptr) return kErrBadSize;
  if (ErrCode e = CheckTransferRows(num, den, row.properness)) return e;
  for (int32_t r = 0; r < den.rows; r++) {
    const PolyRow n = StrippedRow(num.Row(r), num.cols);
    const PolyRow d = StrippedRow(den.Row(r), den.cols);
    PlotStyle style;
    if (ErrCode e = SeriesStyle(a.style, r, kSystemStyleWord, &style)) return e;
    if (figure != nullptr) {
      const uint64_t need =
          kCommandHeaderDoubles + (row.takesTs ? 1 : 0) + 2 + (n.degree + 1) + (d.degree + 1);
      if (ErrCode e = ReservePlotRoom(*figure, need)) return e;
      CommandWriter w(*figure, row.tfCode, a.id, r + 1, style.flags, StyleColour(style));
      if (row.takesTs) w.Put(a.ts);
      w.Put(n.degree);
      w.Put(d.degree);
      for (int32_t k = 0; k <= n.degree; k++) w.Put(n.c[k]);
      for (int32_t k = 0; k <= d.degree; k++) w.Put(d.c[k]);
      if (ErrCode e = w.Commit()) return e;
    }
    const LtiSystemRecord system = TransferFunctionSystem(n, d);
    if (ErrCode e =
            row.curve(ctx, CurveCall(nargout, &target, &system, row, a, nargin, &style, r + 1))) {
      return e;
    }
  }
  return FinishResponseCall(ctx, nargin, nargout);
}

ErrCode StateSpacePlot(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget* figure,
                       PlotTarget& target, ResponseScratch& scratch, const ResponseNativeRow& row,
                       const ResponseArgs& a) {
  RealMatrix m[4];  // A, B, C, D
  for (int32_t k = 3; k >= 0; k--) {
    if (ErrCode e = ReadRealMatrix(ctx, ArgDepth(nargin, k), &m[k])) return e;
  }
  const RealMatrix &A = m[0], &B = m[1], &C = m[2], &D = m[3];
  const int32_t p = D.rows, inputs = D.cols, n = C.cols;
  if (row.singleInput && inputs != 1) return kErrIncompSize;
  if (n > 0 && C.rows != p) return kErrIncompSize;
  const bool bFits = (B.rows == n && B.cols == inputs) || (B.Count() == 0 && n * inputs == 0);
  if (!bFits || A.rows != n || A.cols != n) return kErrIncompSize;
  if (row.properness == kStrictly &&
      std::any_of(D.re, D.re + D.Count(), [](double v) { return v != 0; })) {
    return kErrBadArg;
  }
  if (figure != nullptr) {
    const int64_t nn = int64_t{n} * n, nm = int64_t{n} * inputs, pn = int64_t{p} * n;
    const uint64_t need = kCommandHeaderDoubles + (row.takesTs ? 1 : 0) + 2 +
                          (row.singleInput ? 0 : 1) + nn + nm + pn + D.Count();
    if (ErrCode e = ReservePlotRoom(*figure, need)) return e;
    CommandWriter w(*figure, row.ssCode, a.id, 1, kSystemStyleWord, 0);
    if (row.takesTs) w.Put(a.ts);
    w.Put(n);
    w.Put(p);
    if (!row.singleInput) w.Put(inputs);
    for (const RealMatrix* x : {&A, &B, &C, &D}) {
      for (int64_t k = 0; k < int64_t{x->rows} * x->cols && x->Count() > 0; k++) w.Put(x->re[k]);
    }
    if (ErrCode e = w.Commit()) return e;
  }
  PlotStyle* styles = nullptr;
  if (ErrCode e = ScratchStyles(scratch, a.style, row.singleInput ? p : inputs, &styles)) return e;
  const LtiSystemRecord system = StateSpaceSystem(A.re, B.re, C.re, D.re, n, inputs, p);
  if (ErrCode e = row.curve(ctx, CurveCall(nargout, &target, &system, row, a, nargin, styles, 1))) {
    return e;
  }
  return FinishResponseCall(ctx, nargin, nargout);
}

}  // namespace

const ResponseNativeRow& ResponseNativeRowOf(ResponseNative native) {
  return kResponseNatives[static_cast<size_t>(native)];
}

namespace {

ErrCode ResponsePlot(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget* figure,
                     const ResponseNativeRow& row) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  if (figure == nullptr && nargout < 1) return kErrBadContext;
  ResponseArgs a;
  if (ErrCode e = ClassifyArgs(ctx, nargin, row, &a)) return e;
  // Drawing begins the subplot's group; computing leaves the object alone.
  const bool draw = nargout < 1;
  if (draw) {
    if (ErrCode e = ReservePlotRoom(*figure, 0)) return e;
  }
  ResponseScratch scratch(ctx, figure == nullptr);
  PlotTarget& target = figure != nullptr ? *figure : scratch.temporary;
  PlotTarget* drawing = draw ? figure : nullptr;
  // Computed results stand above the arguments until all of them do: a
  // failure for lack of room leaves the arguments as they came.
  const uint32_t level = ctx->descTop;
  const ErrCode e = a.stateSpace
                        ? StateSpacePlot(ctx, nargin, nargout, drawing, target, scratch, row, a)
                        : TransferFunctionPlot(ctx, nargin, nargout, drawing, target, row, a);
  if (e && !draw) DropAboveLevel(ctx, level);
  return e;
}

}  // namespace

// The lines it writes (a warning) are written once when it runs again after growth.
ErrCode AddResponsePlot(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget* figure,
                        const ResponseNativeRow& row) {
  const EntryTraceLines lines(ctx);
  return lines.Failed(ctx, ResponsePlot(ctx, nargin, nargout, figure, row));
}

}  // namespace vke
