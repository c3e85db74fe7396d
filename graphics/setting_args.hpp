// Argument readers and result writers shared by the setting natives and the
// 3-D scene natives: real arrays, texts in the engine's 8-bit encoding,
// rows pushed as results, and when a query answers.
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

// A real double array at `depth`; kErrWrongTypeOverload for anything else.
inline ErrCode ReadRealArray(EngineContext* ctx, int32_t depth, NumericView* out) {
  *out = ViewNumeric(ctx, depth);
  return out->cls == ValueClass::kDouble && !out->complex ? kOk : kErrWrongTypeOverload;
}

inline double ArrayElement(const NumericView& v, int64_t i) {
  return ViewElement(v, i, false);
}

// Calls use(bytes, length) with the text at `depth` converted to 8-bit text
// in the engine's encoding; the converted copy is dropped afterwards. kErrWrongTypeOverload for
// a value that is no text.
template <typename Use>
ErrCode WithTextArg(EngineContext* ctx, int32_t depth, Use use) {
  if (!IsCharArray(ctx, depth)) return kErrWrongTypeOverload;
  if (ErrCode e = GetStringArgCopy(ctx, depth)) return e;
  const NumericView v = ViewNumeric(ctx, 0);
  const ErrCode rc = use(reinterpret_cast<const char*>(v.elements), v.shape.count);
  DropStackEntries(ctx, 0, 1);
  return rc;
}

// Pushes an m x n matrix of the values, row by row.
inline ErrCode PushMatrixValue(EngineContext* ctx, const double* values, int32_t m, int32_t n) {
  double* re;
  if (ErrCode e = PushNewMatrix(ctx, m, n, &re, nullptr)) return e;
  std::copy_n(values, int64_t{m} * n, re);
  return kOk;
}

inline ErrCode PushRowValue(EngineContext* ctx, const double* values, int32_t n) {
  return PushMatrixValue(ctx, values, 1, n);
}

// A query answers without inputs: with an output, or as a statement.
inline bool AnswersQuery(int32_t nargin, int32_t nargout) {
  return nargout > 0 || (nargin == 0 && nargout < 0);
}

}  // namespace vke
