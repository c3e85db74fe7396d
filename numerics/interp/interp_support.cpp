// The options, the interval search and the node rules of interp1 and
// interpn.
#include "numerics/interp/interp_support.hpp"

#include <cmath>
#include <limits>

#include "builtins/option_text.hpp"
#include "engine/errors/raise.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode ReadInterpMethod(EngineContext* ctx, int32_t depth, InterpMethod* method) {
  const OptionText text(ctx, depth);
  if (!text.IsText()) return kErrWrongType;
  switch (text.IsEmpty() ? 'l' : text.Initial()) {
    case 'l':
    case '1':
      *method = InterpMethod::kLinear;
      return kOk;
    case 'n':
    case '0':
      *method = InterpMethod::kNearest;
      return kOk;
    case '<':
      *method = InterpMethod::kPrevious;
      return kOk;
    case '>':
      *method = InterpMethod::kNext;
      return kOk;
    default:
      return kErrUnknownOpt;
  }
}

namespace {

// The options alone.
ErrCode ReadOptionArgs(EngineContext* ctx, int32_t nargin, InterpOptions* options) {
  *options = InterpOptions{};
  options->extrapRe = std::numeric_limits<double>::quiet_NaN();
  if (nargin >= 2 && IsCharArray(ctx, 1)) {
    if (ErrCode e = ConvertToFloat(ctx, 0, false)) return e;
    Shape shape;
    double *re, *im;
    if (ErrCode e = GetDoubleArrayArg(ctx, 0, &shape, &re, &im)) return e;
    if (shape.count != 1) return kErrNonScalarArg;
    options->extrapRe = re[0];
    options->extrapIm = im ? im[0] : 0.0;
    options->count = 2;
    return ReadInterpMethod(ctx, 1, &options->method);
  }
  if (nargin >= 1 && IsCharArray(ctx, 0)) {
    options->count = 1;
    return ReadInterpMethod(ctx, 0, &options->method);
  }
  return kOk;
}

}  // namespace

ErrCode ReadInterpOptions(EngineContext* ctx, int32_t nargin, InterpOptions* options) {
  if (ErrCode e = ReadOptionArgs(ctx, nargin, options)) return e;
  for (int32_t d = options->count; d < nargin; d++)
    if (ErrCode e = ConvertToFloat(ctx, d, false)) return e;
  return kOk;
}

int32_t FindInterval(const double* c, int32_t m, double v) {
  if (m < 2 || std::isnan(v)) return -1;
  const bool descending = c[0] > c[m - 1];
  if (descending ? (v > c[0] || v < c[m - 1]) : (v < c[0] || v > c[m - 1])) return -1;
  int32_t lo = 0, hi = m - 1;
  while (lo < hi) {
    const int32_t mid = (lo + hi) / 2;
    if (descending ? v > c[mid] : v < c[mid]) {
      hi = mid;
    } else if (lo == mid) {
      break;
    } else {
      lo = mid;
    }
  }
  return lo;
}

int32_t PickNode(InterpMethod method, const double* c, int32_t i, double v) {
  switch (method) {
    case InterpMethod::kNearest:
      return std::fabs(c[i + 1] - v) < std::fabs(v - c[i]) ? i + 1 : i;
    case InterpMethod::kPrevious:
      return v == c[i + 1] ? i + 1 : i;
    case InterpMethod::kNext:
      return v == c[i] ? i : i + 1;
    case InterpMethod::kLinear:
      break;
  }
  return i;
}

double UpperWeight(const double* c, int32_t i, double v) {
  const double width = c[i + 1] - c[i];
  return width == 0 ? 1.0 : (v - c[i]) / width;
}

bool IsMonotonic(const double* c, int32_t m, bool either) {
  if (m < 2) return true;
  int32_t k = 1;
  while (k < m && !(c[k] < c[k - 1])) k++;
  if (k == m) return true;
  if (!either) return false;
  for (k = 1; k < m; k++)
    if (c[k] > c[k - 1]) return false;
  return true;
}

ErrCode RaiseUnsorted(EngineContext* ctx) {
  return RaiseErrorById(ctx, "VKE:unsorted", -1, "Coordinates are not monotonic", -1);
}

}  // namespace vke
