// The operator builtins on two real double scalars, the commonest operands
// of all, served without their general paths: the execution loop takes them
// directly, skipping the builtin call, where the dispatch row of the opcode
// gives a scalar form. Anything else is left to the general paths.
#pragma once

#include <utility>

#include "engine/builtin_hooks.hpp"
#include "engine/values/element_operations.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/values.hpp"

namespace vke {

// Whether the top two entries of the current frame are real double scalars.
VKE_HOT_INLINE bool TopTwoRealDoubleScalars(EngineContext* ctx) {
  return FrameHasEntries(ctx, 2) && IsRealDoubleScalar(*DescAt(ctx, 0)) &&
         IsRealDoubleScalar(*DescAt(ctx, 1));
}

// The element-wise option that an operator builtin applies to two real
// double scalars; 0 for rows without an arithmetic scalar form.
VKE_HOT_INLINE int32_t ScalarArithOption(const BuiltinDispatch& b) {
  return b.scalarForm == ScalarForm::kNone || b.scalarForm == ScalarForm::kCompare ||
                 b.scalarForm == ScalarForm::kUnary
             ? 0
             : b.scalarOption;
}

// The function of one element of a unary scalar form (abs 'a', or a
// rounding option) of x.
VKE_HOT_INLINE double UnaryOnScalar(int32_t option, double x) {
  return option == 'a' ? std::fabs(x) : RoundElement(x, option);
}

// A unary scalar form on the real double scalar on top, replaced by its
// result in place; false, with nothing changed, for anything else.
VKE_HOT_INLINE bool ScalarUnary(EngineContext* ctx, int32_t option) {
  if (!FrameHasEntries(ctx, 1) || !IsRealDoubleScalar(*DescAt(ctx, 0))) return false;
  double* const x = ctx->DataUnits() + ctx->dataTop - 1;
  *x = UnaryOnScalar(option, *x);
  return true;
}

// x op y for an element-wise arithmetic option other than power; false for
// options without a scalar path.
VKE_HOT_INLINE bool ArithOnScalars(int32_t option, double x, double y, double* result) {
  if (option == '\\') std::swap(x, y), option = '/';
  return option != '^' &&
         WithRealOperation<double>(option, [x, y, result](auto f) { *result = f(x, y); });
}

// x op y for a comparison option; false for options of other families.
VKE_HOT_INLINE bool CompareScalars(int32_t option, double x, double y, bool* truth) {
  if (!IsFamilyOption(option, "=~<>LG")) return false;
  bool swapped;
  const int32_t ordered = OrderedComparison(option, &swapped);
  if (swapped) std::swap(x, y);
  WithComparison<double>(ordered, [x, y, truth](auto f) { *truth = f(x, y) != 0; });
  return true;
}

// An element-wise arithmetic option on two real double scalars on top: the
// result replaces the first and the second is dropped. False, with nothing
// changed, for anything else.
VKE_HOT_INLINE bool ScalarArith(EngineContext* ctx, int32_t option) {
  if (!option || !TopTwoRealDoubleScalars(ctx)) return false;
  double* first = ctx->DataUnits() + ctx->dataTop - 2;
  if (!ArithOnScalars(option, first[0], first[1], first)) return false;
  ctx->descTop -= 3;
  ctx->dataTop -= 1;
  return true;
}

// The truth of a comparison option of the two real double scalars on top,
// which stay; false for anything else.
VKE_HOT_INLINE bool CompareTopScalars(EngineContext* ctx, int32_t option, bool* truth) {
  if (!TopTwoRealDoubleScalars(ctx)) return false;
  const double* pair = ctx->DataUnits() + ctx->dataTop - 2;
  return CompareScalars(option, pair[0], pair[1], truth);
}

// The room the logical result of a comparison needs above its operands.
VKE_HOT_INLINE ErrCode CheckRoomForComparison(const EngineContext* ctx) {
  return CheckRoomToPush(ctx, static_cast<uint32_t>(TypedArrayUnits(2, 1)), false);
}

// A comparison option on two real double scalars on top: their logical
// result replaces them, *result telling whether it found room. False, with
// nothing changed, for anything else.
VKE_HOT_INLINE bool ScalarCompare(EngineContext* ctx, int32_t option, ErrCode* result) {
  bool truth;
  if (!CompareTopScalars(ctx, option, &truth)) return false;
  // The result needs room above the operands, as on the general path: that
  // test is the one request for room; the result then takes room the
  // operands leave, which no shortage can refuse.
  if ((*result = CheckRoomForComparison(ctx))) return true;
  ctx->descTop -= 6;
  ctx->dataTop -= 2;
  PlaceLogicalScalar(ctx, truth);
  return true;
}

// The builtin of an opcode on two real double scalars on top, when it is an
// operator with such a path: the element-wise operators, the comparisons,
// and mtimes and mrdivide, which are element-wise for scalars; or on one,
// for abs and the rounding functions. False when
// neither applies; else *result is the builtin's result.
VKE_HOT_INLINE bool TryScalarOperator(EngineContext* ctx, const BuiltinDispatch& builtin,
                                      ErrCode* result) {
  *result = kOk;
  if (builtin.scalarForm == ScalarForm::kCompare)
    return ScalarCompare(ctx, builtin.scalarOption, result);
  if (builtin.scalarForm == ScalarForm::kUnary) return ScalarUnary(ctx, builtin.scalarOption);
  return ScalarArith(ctx, ScalarArithOption(builtin));
}

}  // namespace vke
