// The time-response natives with argument forms of their own: hstep (a
// sampled controller in a continuous loop), lsim and dlsim (the response to
// a given input) and initial and dinitial (the free response from a state).
#include <algorithm>

#include "engine/values/values.hpp"
#include "graphics/response_args.hpp"
#include "graphics/response_natives.hpp"
#include "numerics/call_cycle.hpp"

namespace vke {

namespace {

// The optional arguments behind the fixed ones: an options structure, then
// a style string and an id. 107 for arguments beyond them.
struct TrailingArgs {
  int32_t optionsDepth = -1;
  StyleArg style;
  int32_t id = kNoPlotId;
};

ErrCode ReadTrailingArgs(EngineContext* ctx, int32_t nargin, int32_t fixed, TrailingArgs* out) {
  int32_t at = fixed;
  if (nargin > at && IsStructValue(ctx, ArgDepth(nargin, at)))
    out->optionsDepth = ArgDepth(nargin, at++);
  if (nargin > at + 2) return kErrBadArg;
  return ReadStyleAndId(ctx, nargin, at, kErrNonScalarArg, &out->style, &out->id);
}

// B of n rows and m columns, or empty when either is 0.
bool InputMatrixFits(const RealMatrix& b, int32_t n, int32_t m) {
  return (b.rows == n && b.cols == m) || (b.Count() == 0 && int64_t{n} * m == 0);
}

// A transfer-function row pair with a non-zero denominator.
bool ValidDenominator(const RealMatrix& den) {
  for (int32_t r = 0; r < den.rows; r++) {
    if (StrippedRow(den.Row(r), den.cols).c[0] == 0) return false;
  }
  return true;
}

}  // namespace

ErrCode AddHstepPlot(EngineContext* ctx, int32_t nargin, PlotTarget& target, HstepCurveFn curve) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  if (nargin < 5 || nargin > 7) return kErrBadArg;
  StyleArg style;
  int32_t id = kNoPlotId;
  if (ErrCode e = ReadStyleAndId(ctx, nargin, 5, kErrBadArg, &style, &id)) return e;
  RealMatrix m[5];  // num1, den1, T, num2, den2
  for (int32_t k = 4; k >= 0; k--) {
    if (ErrCode e = ReadRealMatrix(ctx, ArgDepth(nargin, k), &m[k])) return e;
  }
  const RealMatrix &num1 = m[0], &den1 = m[1], &period = m[2], &num2 = m[3], &den2 = m[4];
  if (num2.rows != den2.rows) return kErrIncompSize;
  if (period.rows != 1 || period.cols != 1) return kErrBadArg;
  double t = 0;
  if (ErrCode e = ReadPeriod(ctx, ArgDepth(nargin, 2), &t)) return e;
  if (num1.rows != den1.rows) return kErrIncompSize;
  if (num1.Empty() || den1.Empty() || num2.Empty() || den2.Empty()) {
    return FinishPlotCall(ctx, nargin);
  }
  // Rows pair up one with one; a pair of one row serves every row.
  if (num1.rows != num2.rows && num1.rows != 1 && num2.rows != 1) return kErrIncompSize;
  if (!ValidDenominator(den1) || !ValidDenominator(den2)) return kErrBadArg;
  if (ErrCode e = ReservePlotRoom(target, 0)) return e;
  const int32_t curves = std::max(num1.rows, num2.rows);
  for (int32_t r = 0; r < curves; r++) {
    PlotStyle ps;
    if (ErrCode e = SeriesStyle(style, r, kSystemStyleWord, &ps)) return e;
    const int32_t r1 = num1.rows > 1 ? r : 0, r2 = num2.rows > 1 ? r : 0;
    const PolyRow n1 = StrippedRow(num1.Row(r1), num1.cols);
    const PolyRow d1 = StrippedRow(den1.Row(r1), den1.cols);
    const PolyRow n2 = StrippedRow(num2.Row(r2), num2.cols);
    const PolyRow d2 = StrippedRow(den2.Row(r2), den2.cols);
    const HstepCurveCall call{&target, n1.c,      n1.degree, d1.c, d1.degree, n2.c, n2.degree,
                              d2.c,    d2.degree, t,         ps,   id,        r + 1};
    if (ErrCode e = curve(ctx, call)) return e;
    if (id >= 0) id++;
  }
  return FinishPlotCall(ctx, nargin);
}

namespace {

ErrCode LsimPlot(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget* figure,
                 bool discrete, LsimCurveFn curve) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  const bool draw = nargout < 1;
  if (figure == nullptr && draw) return kErrBadContext;
  const auto depth = [nargin](int32_t index) { return ArgDepth(nargin, index); };
  const bool stateSpace =
      nargin > 5 && !IsTextOrStruct(ctx, depth(4)) && !IsTextOrStruct(ctx, depth(5));
  int32_t fixed = stateSpace ? 6 : 4;
  const bool hasX0 = stateSpace && nargin >= 7 && !IsTextOrStruct(ctx, depth(6));
  if (hasX0) fixed = 7;
  if (nargin < fixed) return kErrBadArg;
  TrailingArgs trailing;
  if (ErrCode e = ReadTrailingArgs(ctx, nargin, fixed, &trailing)) return e;

  const int32_t uAt = stateSpace ? 4 : 2;
  RealMatrix u;
  if (ErrCode e = ReadRealMatrix(ctx, depth(uAt), &u)) return e;
  double ts = 1;
  RealMatrix t;
  if (discrete) {
    if (ErrCode e = ReadPeriod(ctx, depth(uAt + 1), &ts)) return e;
  } else if (ErrCode e = ReadRealMatrix(ctx, depth(uAt + 1), &t)) {
    return e;
  }

  LtiSystemRecord system{};
  int32_t samples = 0, systems = 1, styleCount = 0;
  RealMatrix num, den;
  const double* x0 = nullptr;
  if (stateSpace) {
    RealMatrix m[4];  // A, B, C, D
    for (int32_t k = 3; k >= 0; k--) {
      if (ErrCode e = ReadRealMatrix(ctx, depth(k), &m[k])) return e;
    }
    const RealMatrix &A = m[0], &B = m[1], &C = m[2], &D = m[3];
    const int32_t n = A.rows;
    if (A.cols != n) return kErrIncompSize;
    if (hasX0) {
      RealMatrix x;
      if (ErrCode e = ReadRealMatrix(ctx, depth(6), &x)) return e;
      if (x.Count() != n) return kErrIncompSize;
      x0 = x.re;
    }
    // A D without rows stands for zeros: the outputs come from C, the
    // inputs from B.
    const bool noD = D.rows == 0;
    const int32_t p = noD ? C.rows : D.rows, inputs = noD ? B.cols : D.cols;
    samples = u.rows;
    if (u.cols != inputs) {
      if (inputs != 1 || u.rows != 1) return kErrIncompSize;
      samples = u.cols;
    }
    if (C.rows != p || C.cols != n || !InputMatrixFits(B, n, inputs)) return kErrIncompSize;
    system = StateSpaceSystem(A.re, B.re, C.re, noD ? nullptr : D.re, n, inputs, p);
    styleCount = p;
  } else {
    if (ErrCode e = ReadRealMatrix(ctx, depth(1), &den)) return e;
    if (ErrCode e = ReadRealMatrix(ctx, depth(0), &num)) return e;
    if (num.Empty() || den.Empty()) return FinishEmptyResponse(ctx, nargin, nargout);
    if (num.rows >= 2 && den.rows >= 2 && num.rows != den.rows) return kErrIncompSize;
    if (num.cols > den.cols) return kErrIncompSize;
    if (!ValidDenominator(den)) return kErrBadArg;
    systems = std::max(num.rows, den.rows);
    if (systems > 1 && !draw) return kErrBadSize;
    // One input: its samples as one column.
    if (u.rows != 1 && u.cols != 1 && !u.Empty()) return kErrIncompSize;
    samples = static_cast<int32_t>(u.Count());
    styleCount = systems;
  }
  if (!discrete && t.Count() != samples) return kErrIncompSize;

  if (draw) {
    if (ErrCode e = ReservePlotRoom(*figure, 0)) return e;
  }
  ResponseScratch scratch(ctx, figure == nullptr);
  PlotTarget& target = figure != nullptr ? *figure : scratch.temporary;
  PlotStyle* styles = nullptr;
  if (ErrCode e = ScratchStyles(scratch, trailing.style, styleCount, &styles)) return e;
  LsimCurveCall call{nargout, &target,     &system, discrete, samples,
                     ts,      t.re,        u.re,    x0,       trailing.optionsDepth,
                     styles,  trailing.id, 1};
  // Computed results stand above the arguments until all of them do.
  const uint32_t level = ctx->descTop;
  for (int32_t s = 0; s < systems; s++) {
    if (!stateSpace) {
      const PolyRow n = StrippedRow(num.Row(num.rows > 1 ? s : 0), num.cols);
      const PolyRow d = StrippedRow(den.Row(den.rows > 1 ? s : 0), den.cols);
      system = TransferFunctionSystem(n, d);
      call.styles = styles + s;
      call.series = s + 1;
    }
    if (ErrCode e = curve(ctx, call)) {
      if (!draw) DropAboveLevel(ctx, level);
      return e;
    }
  }
  return FinishResponseCall(ctx, nargin, nargout);
}

}  // namespace

// The lines it writes (a warning) are written once when it runs again after growth.
ErrCode AddLsimPlot(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget* figure,
                    bool discrete, LsimCurveFn curve) {
  const EntryTraceLines lines(ctx);
  return lines.Failed(ctx, LsimPlot(ctx, nargin, nargout, figure, discrete, curve));
}

namespace {

ErrCode InitialPlot(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target,
                    bool discrete, ResponseCurveCallback curve) {
  if (ErrCode e = CheckArgumentTypes(ctx, nargin, nullptr)) return e;
  const auto depth = [nargin](int32_t index) { return ArgDepth(nargin, index); };
  const int32_t tsExtra = discrete ? 1 : 0;
  const bool longForm = nargin >= 5 + tsExtra && !IsTextOrStruct(ctx, depth(3 + tsExtra));
  const int32_t fixed = (longForm ? 5 : 3) + tsExtra;
  if (nargin < fixed) return kErrBadArg;
  TrailingArgs trailing;
  if (ErrCode e = ReadTrailingArgs(ctx, nargin, fixed, &trailing)) return e;

  RealMatrix x0;
  if (ErrCode e = ReadRealMatrix(ctx, depth(fixed - 1), &x0)) return e;
  if (x0.cols > 1) return kErrNonColumnVector;
  const int32_t n = x0.rows;
  double ts = 1;
  if (discrete) {
    if (ErrCode e = ReadPeriod(ctx, depth(fixed - 2), &ts)) return e;
  }
  RealMatrix A, C;
  if (ErrCode e = ReadRealMatrix(ctx, depth(0), &A)) return e;
  if (ErrCode e = ReadRealMatrix(ctx, depth(longForm ? 2 : 1), &C)) return e;
  int32_t p = C.rows, inputs = 0;
  if (longForm) {
    RealMatrix B, D;
    if (ErrCode e = ReadRealMatrix(ctx, depth(1), &B)) return e;
    if (ErrCode e = ReadRealMatrix(ctx, depth(3), &D)) return e;
    if (D.rows > 0) p = D.rows;
    inputs = D.cols;
    if (!InputMatrixFits(B, n, inputs)) return kErrIncompSize;
  }
  if (A.rows != n || A.cols != n || C.rows != p || C.cols != n) return kErrIncompSize;

  if (nargout < 1) {
    const int64_t nn = int64_t{n} * n, pn = int64_t{p} * n;
    if (ErrCode e = ReservePlotRoom(target, kCommandHeaderDoubles + tsExtra + 2 + nn + pn + n))
      return e;
    CommandWriter w(target, discrete ? kCmdInitialDiscrete : kCmdInitialState, trailing.id, 1,
                    kSystemStyleWord, 0);
    if (discrete) w.Put(ts);
    w.Put(n);
    w.Put(p);
    for (int64_t k = 0; k < nn; k++) w.Put(A.re[k]);
    for (int64_t k = 0; k < pn; k++) w.Put(C.re[k]);
    for (int32_t k = 0; k < n; k++) w.Put(x0.re[k]);
    if (ErrCode e = w.Commit()) return e;
  }
  ResponseScratch scratch(ctx, false);
  PlotStyle* styles = nullptr;
  if (ErrCode e = ScratchStyles(scratch, trailing.style, p, &styles)) return e;
  const LtiSystemRecord system = StateSpaceSystem(A.re, x0.re, C.re, nullptr, n, inputs, p);
  const ResponseCurveCall call{nargout, &target, &system, discrete,    ts, trailing.optionsDepth,
                               nullptr, 0,       styles,  trailing.id, 1};
  if (ErrCode e = curve(ctx, call)) return e;
  return FinishResponseCall(ctx, nargin, nargout);
}

}  // namespace

// The lines it writes (a warning) are written once when it runs again after growth.
ErrCode AddInitialPlot(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target,
                       bool discrete, ResponseCurveCallback curve) {
  const EntryTraceLines lines(ctx);
  return lines.Failed(ctx, InitialPlot(ctx, nargin, nargout, target, discrete, curve));
}

ErrCode LsimOutputsNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return AddLsimPlot(ctx, nargin, nargout, nullptr, false, &LsimCurve);
}

ErrCode DlsimOutputsNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return AddLsimPlot(ctx, nargin, nargout, nullptr, true, &LsimCurve);
}

}  // namespace vke
