// The operator builtins on two real double scalars, the commonest operands
// of all, served without their general paths. The builtins take these paths
// first themselves; the execution loop takes them directly, skipping the
// builtin call. Anything else is left to the general paths.
#pragma once

#include <utility>

#include "builtins/arith.hpp"
#include "builtins/builtin.hpp"
#include "builtins/relational.hpp"
#include "engine/value_build.hpp"

namespace vke {

// Whether the top two entries of the current frame are real double scalars.
VKE_HOT_INLINE bool TopTwoRealDoubleScalars(EngineContext* ctx) {
  return FrameHasEntries(ctx, 2) && IsRealDoubleScalar(*DescAt(ctx, 0)) &&
         IsRealDoubleScalar(*DescAt(ctx, 1));
}

// An element-wise arithmetic option (ElementwiseArith's, power aside) on two
// real double scalars on top: the result replaces the first and the second
// is dropped. False, with nothing changed, for anything else.
VKE_HOT_INLINE bool ScalarArith(EngineContext* ctx, int32_t option) {
  if (option == '^' || !TopTwoRealDoubleScalars(ctx)) return false;
  double* first = ctx->DataUnits() + ctx->dataTop - 2;
  double x = first[0], y = first[1];
  if (option == '\\') std::swap(x, y), option = '/';
  if (!WithRealOperation<double>(option, [&](auto f) { first[0] = f(x, y); })) return false;
  ctx->descTop -= 3;
  ctx->dataTop -= 1;
  return true;
}

// The truth of a comparison option (RelationalOperator's) of the two real
// double scalars on top, which stay; false for anything else.
VKE_HOT_INLINE bool CompareTopScalars(EngineContext* ctx, int32_t option, bool* truth) {
  if (!IsFamilyOption(option, "=~<>LG") || !TopTwoRealDoubleScalars(ctx)) return false;
  bool swapped;
  const int32_t ordered = OrderedComparison(option, &swapped);
  const double* pair = ctx->DataUnits() + ctx->dataTop - 2;
  const double a = pair[swapped ? 1 : 0], b = pair[swapped ? 0 : 1];
  WithComparison<double>(ordered, [&](auto f) { *truth = f(a, b) != 0; });
  return true;
}

// The room the logical result of a comparison needs above its operands.
VKE_HOT_INLINE ErrCode CheckRoomForComparison(const EngineContext* ctx) {
  return CheckRoomToPush(ctx, static_cast<uint32_t>(TypedArrayUnits(2, 1)), false);
}

// A comparison option on two real double scalars on top: their logical
// result replaces them, *result telling how the push went. False, with
// nothing changed, for anything else.
VKE_HOT_INLINE bool ScalarCompare(EngineContext* ctx, int32_t option, ErrCode* result) {
  bool truth;
  if (!CompareTopScalars(ctx, option, &truth)) return false;
  // The result needs room above the operands, as on the general path.
  if ((*result = CheckRoomForComparison(ctx))) return true;
  ctx->descTop -= 6;
  ctx->dataTop -= 2;
  *result = PushLogicalScalar(ctx, truth);
  return true;
}

// The builtin of an opcode on two real double scalars on top, when it is an
// operator with such a path: the element-wise operators, the comparisons,
// and mtimes and mrdivide, which are element-wise for scalars. False when
// neither applies; else *result is the builtin's result.
VKE_HOT_INLINE bool TryScalarOperator(EngineContext* ctx, const BuiltinDispatch& builtin,
                                      ErrCode* result) {
  *result = kOk;
  if (builtin.fn == &ElementwiseArith) return ScalarArith(ctx, builtin.option);
  if (builtin.fn == &MtimesBuiltin) return ScalarArith(ctx, '*');
  if (builtin.fn == &MrdivideBuiltin) return ScalarArith(ctx, '/');
  if (builtin.fn == &RelationalOperator) return ScalarCompare(ctx, builtin.option, result);
  return false;
}

}  // namespace vke
