// The first entry of an ODE run: problem, options and working values.
#include "numerics/ode/ode_options.hpp"

#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/registry/option_tables.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "numerics/call_cycle.hpp"
#include "numerics/ode/ode_run.hpp"

namespace vke {

namespace {

constexpr double kEps = 2.220446049250313e-16;

}  // namespace

ErrCode ReadOdeProblem(EngineContext* ctx, int32_t nargin, int32_t funPosition, OdeProblem* p) {
  int32_t rows, cols;
  double *re, *im;
  if (ErrCode e = GetNumericArg(ctx, nargin - funPosition - 1, &rows, &cols, &re, &im)) return e;
  if (int64_t{rows} * cols != 2) return kErrBadSize;
  if (im) return kErrWrongType;
  if (!std::isfinite(re[0]) || !std::isfinite(re[1])) return kErrBadArg;
  p->t0 = re[0];
  p->tf = re[1];
  if (ErrCode e = GetNumericArg(ctx, nargin - funPosition - 2, &rows, &cols, &re, &im)) return e;
  if (cols != 1 || rows < 1) return kErrNonColumnVector;
  p->n = rows;
  p->complex = im != nullptr;
  return kOk;
}

ErrCode OptionIsEmptyNumber(EngineContext* ctx, int32_t depth, const char* name, bool* empty) {
  if (ErrCode e = GetOptionsArg(ctx, depth, name, kOdesetTable)) return e;
  const NumericView v = ViewNumeric(ctx, 0);
  *empty = v.cls == ValueClass::kDouble && v.shape.count == 0;
  return Drop(ctx);
}

ErrCode WantsEventIntegrator(EngineContext* ctx, int32_t depth, bool* events) {
  uint8_t past = 0;
  if (ErrCode e = GetBooleanOption(ctx, depth, "Past", kOdesetTable, 0, &past)) return e;
  *events = past != 0;
  for (const char* name : {"Events", "EventTime"}) {
    bool empty = true;
    if (!*events)
      if (ErrCode e = OptionIsEmptyNumber(ctx, depth, name, &empty)) return e;
    *events = *events || !empty;
  }
  return kOk;
}

ErrCode PushRunValues(EngineContext* ctx, int32_t nargin, int32_t funPosition,
                      const OdeMethod& method, const OdeProblem& p, int32_t between,
                      int32_t stateSize) {
  double *re, *im;
  // y, ynew and k, complex throughout.
  if (ErrCode e = PushNewMatrix(ctx, p.n, 1, &re, &im)) return e;
  double *y0Re, *y0Im;
  int32_t rows, cols;
  GetNumericArg(ctx, nargin - funPosition - 1, &rows, &cols, &y0Re, &y0Im);
  for (int32_t i = 0; i < p.n; i++) {
    re[i] = y0Re[i];
    im[i] = y0Im ? y0Im[i] : 0;
  }
  if (ErrCode e = PushZeroMatrix(ctx, p.n, 1, true)) return e;
  if (ErrCode e = PushZeroMatrix(ctx, p.n, method.Stages(), true)) return e;
  for (int32_t k = 0; k < between; k++)
    if (ErrCode e = PushEmptyMatrix(ctx)) return e;
  double* s;
  if (ErrCode e = PushStateRow(ctx, stateSize, &s)) return e;
  const int32_t above = 4 + between;

  const double span = p.tf - p.t0;
  double relTol = 1e-3, absTol = 1e-6, normControl = 0, minStep = span * 1e-6, maxStep = span * 0.1,
         initialStep = span * 1e-5, refine = method.refine, stats = 0;
  bool outputSet = false, eventsSet = false;
  double preArgs = 0;
  const bool withOptions = nargin >= funPosition + 3;
  if (withOptions) {
    const int32_t depth = above + nargin - funPosition - 3;
    const struct {
      const char* name;
      double* value;
    } fields[] = {{"RelTol", &relTol},   {"AbsTol", &absTol},   {"NormControl", &normControl},
                  {"MinStep", &minStep}, {"MaxStep", &maxStep}, {"InitialStep", &initialStep},
                  {"Refine", &refine},   {"Stats", &stats}};
    for (const auto& f : fields)
      if (ErrCode e = GetOptionField(ctx, depth, f.name, kOdesetTable, *f.value, f.value)) return e;
    bool empty;
    if (ErrCode e = OptionIsEmptyNumber(ctx, depth, "Events", &empty)) return e;
    eventsSet = !empty;
    if (ErrCode e = OptionIsEmptyNumber(ctx, depth, "OutputFcn", &empty)) return e;
    outputSet = !empty;
    if (ErrCode e = GetOptionsArg(ctx, depth, "PreArg", kOdesetTable)) return e;
    int32_t count = 0;
    if (ErrCode e = PushListItems(ctx, &count)) return e;
    if (ErrCode e = Drop(ctx, count)) return e;
    preArgs = count;
  }
  // Limits; a setting that is not a number takes the limit too.
  if (!(relTol >= kEps)) relTol = kEps;
  if (!(absTol >= kEps)) absTol = kEps;
  if (!(minStep >= kEps)) minStep = kEps;
  if (!(maxStep >= minStep)) maxStep = minStep;
  if (withOptions && !(initialStep >= minStep)) initialStep = minStep;
  refine = std::trunc(refine);
  if (!(refine >= 1)) refine = 1;
  if (refine > kMaxOdeRefine) refine = kMaxOdeRefine;

  s = StateRowAt(ctx, 0, stateSize);
  s[kOdePhase] = 0;
  s[kOdeNargin] = nargin;
  s[kOdeTime] = p.t0;
  s[kOdeStep] = initialStep;
  s[kOdeComplex] = p.complex;
  s[kOdeRelTol] = relTol;
  s[kOdeTolRatio] = absTol / relTol;
  s[kOdeNormControl] = normControl != 0;
  s[kOdeMaxStep] = maxStep;
  s[kOdeMinStep] = minStep;
  s[kOdeRefine] = refine;
  s[kOdeEventsSet] = eventsSet;
  s[kOdeEndTime] = p.tf;
  s[kOdeStats] = stats != 0;
  s[kOdePreArgs] = preArgs;
  s[kOdeOutputSet] = outputSet;

  // The accumulator's first row: [t0, y0.'].
  if (ErrCode e = PushNewMatrix(ctx, 1, p.n + 1, &re, &im)) return e;
  GetNumericArg(ctx, above + 1 + nargin - funPosition - 2, &rows, &cols, &y0Re, &y0Im);
  re[0] = p.t0;
  im[0] = 0;
  for (int32_t i = 0; i < p.n; i++) {
    re[1 + i] = y0Re[i];
    im[1 + i] = y0Im ? y0Im[i] : 0;
  }
  return kOk;
}

ErrCode FinishAtStart(EngineContext* ctx, int32_t nargin, int32_t funPosition, int32_t nargout,
                      double t0) {
  if (nargout <= 0) return ReplaceInputsWithNothing(ctx, nargin, nargout);
  for (int32_t k = nargout; k >= 3; k--)
    if (ErrCode e = PushEmptyMatrix(ctx)) return e;
  if (nargout >= 2) {
    // y0 as a row: its elements in the same order.
    int32_t rows, cols;
    double *re, *im, *rowRe, *rowIm;
    GetNumericArg(ctx, nargout - 2 + nargin - funPosition - 2, &rows, &cols, &re, &im);
    if (ErrCode e = PushNewMatrix(ctx, 1, rows, &rowRe, im ? &rowIm : nullptr)) return e;
    for (int32_t i = 0; i < rows; i++) {
      rowRe[i] = re[i];
      if (im) rowIm[i] = im[i];
    }
  }
  if (ErrCode e = PushRealScalar(ctx, t0)) return e;
  return DropStackEntries(ctx, nargout, nargin);
}

}  // namespace vke
