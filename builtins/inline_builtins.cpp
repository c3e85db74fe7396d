// The builtins the dispatch carries out with the value and frame operations:
// the constants i/j, pi and goldenratio, real, the integer casts, info,
// assert, nargin and nargout.
#include <cmath>
#include <numbers>

#include "builtins/builtin.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode ImaginaryUnitBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return PushComplexScalar(ctx, 0, 1);
}

ErrCode PiBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return PushRealScalar(ctx, std::numbers::pi);
}

ErrCode GoldenRatioBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return PushRealScalar(ctx, (std::sqrt(5.0) + 1) * 0.5);
}

// The real part, as a double.
ErrCode RealBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  ErrCode e = ConvertToFloat(ctx, 0, false);
  if (e) return AllowOverload(e);
  return MakeTopReal(ctx);
}

// option: the type code of the class (element bytes, plus 128 when unsigned).
ErrCode IntegerCastBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  bool isUnsigned = (option & kCodeUnsigned) != 0;
  return AllowOverload(ConvertToInteger(ctx, 0, option & ~kCodeUnsigned, isUnsigned, false));
}

ErrCode InfoBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return PushCString(ctx, -1, GetEngineVersion());
}

// Fails with 401 when the first input is false; the inputs are dropped.
ErrCode AssertBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin < 1) return kErrTooFewArgin;
  uint8_t truth = 0;
  ErrCode e = GetConditionTruth(ctx, nargin - 1, &truth);
  if (e) return e;
  e = Drop(ctx, nargin);
  if (e) return e;
  return truth ? kOk : kErrAssert;
}

// nargin (option 0) and nargout (option 1): of the current call, or of the
// function value given, resolved in the scope of the current call.
ErrCode ArgCountBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  if (nargin > 1) return kErrTooManyArgin;
  if (nargin < 1) return PushCallerArgCount(ctx, option != 0);
  int32_t scope =
      ctx->curFrame >= 0 ? static_cast<int32_t>(FrameWords(ctx, ctx->curFrame)[kFwScope]) : 0;
  return PushFunctionArgCount(ctx, 0, option, scope);
}

}  // namespace vke
