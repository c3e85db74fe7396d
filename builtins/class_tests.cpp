// The class tests: ischar, islogical, isnumeric, isfloat, isinteger,
// isscalar and isvector. Each takes one value and leaves a logical scalar in
// its place.
#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"

namespace vke {

namespace {

// Sets of value classes, one bit per ValueClass.
constexpr uint32_t Bit(ValueClass c) {
  return 1u << static_cast<uint32_t>(c);
}
constexpr uint32_t kFloatClasses = Bit(ValueClass::kDouble) | Bit(ValueClass::kSingle);
constexpr uint32_t kNumericClasses = kFloatClasses | Bit(ValueClass::kInteger);
constexpr uint32_t kIntegerCodedClasses =
    Bit(ValueClass::kInteger) | Bit(ValueClass::kChar) | Bit(ValueClass::kLogical);

// True when the value's class is one of the set; never fails on the class.
ErrCode ClassTest(EngineContext* ctx, uint32_t classes) {
  return ReplaceInputsWithLogical(ctx, 1, (Bit(ViewNumeric(ctx, 0).cls) & classes) != 0);
}

// isscalar and isvector accept arrays only.
ErrCode ShapeTest(EngineContext* ctx, bool (*test)(const Shape&)) {
  NumericView v = ViewNumeric(ctx, 0);
  if (v.cls == ValueClass::kOther) return kErrWrongTypeOverload;
  return ReplaceInputsWithLogical(ctx, 1, test(v.shape));
}

}  // namespace

ErrCode IscharBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return ClassTest(ctx, Bit(ValueClass::kChar));
}

ErrCode IslogicalBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return ClassTest(ctx, Bit(ValueClass::kLogical));
}

ErrCode IsnumericBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return ClassTest(ctx, kNumericClasses);
}

ErrCode IsfloatBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return ClassTest(ctx, kFloatClasses);
}

// Char and logical arrays count as integers.
ErrCode IsintegerBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return ClassTest(ctx, kIntegerCodedClasses);
}

ErrCode IsscalarBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return ShapeTest(ctx, [](const Shape& s) { return s.count == 1; });
}

// Two dimensions, one of them below 2: scalars, rows, columns and 0 x n.
ErrCode IsvectorBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return ShapeTest(ctx,
                   [](const Shape& s) { return s.ndims == 2 && (s.dims[0] < 2 || s.dims[1] < 2); });
}

}  // namespace vke
