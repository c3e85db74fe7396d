// The argument readers, the scratch and the ends of a call shared by the
// control-design plot natives.
#include "graphics/response_args.hpp"

#include <algorithm>
#include <cmath>

#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {

ErrCode ReadRealMatrix(EngineContext* ctx, int32_t depth, RealMatrix* out) {
  double* im = nullptr;
  if (ErrCode e = GetNumericArg(ctx, depth, &out->rows, &out->cols, &out->re, &im)) return e;
  return im != nullptr ? kErrBadArg : kOk;
}

ErrCode ReadPeriod(EngineContext* ctx, int32_t depth, double* ts) {
  if (ErrCode e = GetScalarArg(ctx, depth, ts)) return e;
  return *ts > 0 && std::isfinite(*ts) ? kOk : kErrBadArg;
}

PolyRow StrippedRow(const double* row, int32_t cols) {
  int32_t k = 0;
  while (k + 1 < cols && row[k] == 0) k++;
  return {row + k, cols - 1 - k};
}

LtiSystemRecord TransferFunctionSystem(PolyRow num, PolyRow den) {
  LtiSystemRecord s{};
  s.form = LtiForm::kTransferFunction;
  s.num = num.c;
  s.den = den.c;
  s.numDegree = num.degree;
  s.denDegree = den.degree;
  return s;
}

LtiSystemRecord StateSpaceSystem(const double* a, const double* b, const double* c, const double* d,
                                 int32_t n, int32_t m, int32_t p) {
  LtiSystemRecord s{};
  s.form = LtiForm::kStateSpace;
  s.a = a;
  s.b = b;
  s.c = c;
  s.d = d;
  s.states = n;
  s.inputs = m;
  s.outputs = p;
  return s;
}

bool IsTextOrStruct(EngineContext* ctx, int32_t depth) {
  return IsCharArray(ctx, depth) || IsStructValue(ctx, depth);
}

ResponseScratch::ResponseScratch(EngineContext* ctx, bool commandHalf) {
  uint32_t bytes = 0;
  void* p = nullptr;
  GetDataStackFree(ctx, &bytes, &p);
  at = static_cast<double*>(p);
  doubles = bytes / 8;
  if (commandHalf) {
    // The upper half: outputs pushed from the command area land in the
    // lower one.
    const uint32_t half = doubles / 2;
    temporary =
        PlotTarget{nullptr, reinterpret_cast<std::byte*>(at + (doubles - half)), half, &used_, -1};
    doubles -= half;
  }
}

ErrCode ScratchStyles(ResponseScratch& scratch, const StyleArg& style, int32_t count,
                      PlotStyle** out) {
  static_assert(sizeof(PlotStyle) == sizeof(double));
  if (count < 0 || static_cast<uint32_t>(count) > scratch.doubles) return kErrPlotOverflow;
  auto* records = reinterpret_cast<PlotStyle*>(scratch.at);
  for (int32_t i = 0; i < count; i++) {
    if (ErrCode e = SeriesStyle(style, i, kSystemStyleWord, &records[i])) return e;
  }
  *out = records;
  return kOk;
}

ErrCode FinishResponseCall(EngineContext* ctx, int32_t nargin, int32_t nargout) {
  if (nargout <= 0) return ReplaceInputsWithNothing(ctx, nargin, nargout);
  return DropStackEntries(ctx, nargout, nargin);
}

ErrCode FinishEmptyResponse(EngineContext* ctx, int32_t nargin, int32_t nargout) {
  if (nargout <= 0) return ReplaceInputsWithNothing(ctx, nargin, nargout);
  // The empty results stand above the arguments before they go.
  const uint32_t level = ctx->descTop;
  for (int32_t k = 0; k < nargout; k++) {
    if (ErrCode e = PushEmptyMatrix(ctx)) {
      DropAboveLevel(ctx, level);
      return e;
    }
  }
  return DropStackEntries(ctx, nargout, nargin);
}

}  // namespace vke
