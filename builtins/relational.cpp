// The builtins that yield logical arrays element by element: the comparisons
// eq, ne, lt, gt, le and ge (RelationalOperator), the logical operators and,
// or and xor (LogicalOperator) and the tests isfinite, isinf and isnan
// (FloatClassBuiltin).
#include <cmath>
#include <utility>

#include "builtins/builtin.hpp"
#include "builtins/elementwise.hpp"
#include "engine/errors/errors.hpp"
#include "engine/loop/scalar_operators.hpp"
#include "engine/values/element_operations.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// The ordered comparison of real numbers of one type over paired elements.
template <typename T>
void CompareReals(int32_t op, int64_t n, const T* a, bool aFull, const T* b, bool bFull,
                  uint8_t* out) {
  WithComparison<T>(op, [&](auto f) { MapPairs(n, a, aFull, b, bFull, out, f); });
}

// Double or single operands: only eq and ne look at imaginary parts; the
// order compares real parts alone.
template <typename T>
void CompareFloats(int32_t op, int64_t n, const ElementwiseOperand& a, const ElementwiseOperand& b,
                   uint8_t* out) {
  bool equality = op == '=' || op == '~';
  if (!equality || (!ImagPartOf<T>(a) && !ImagPartOf<T>(b))) {
    CompareReals<T>(op, n, RealPartOf<T>(a), a.full, RealPartOf<T>(b), b.full, out);
    return;
  }
  const uint8_t negate = op == '~';
  ForEachComplexPair(n, ComplexOperand<T>(a), ComplexOperand<T>(b),
                     [&](int64_t i, T ar, T ai, T br, T bi) {
                       out[i] = static_cast<uint8_t>((ar == br && ai == bi) != negate);
                     });
}

// Pushes the logical result of the paired operands' shape, fills it with
// fill(out) and puts it in place of the two operands.
template <typename F>
ErrCode FinishLogicalPair(EngineContext* ctx, const Shape& shape, F fill) {
  void* out;
  ErrCode e = PushElementwiseResult(ctx, {kKindLogical, kCodeUInt8}, false, shape, &out);
  if (e) return e;
  fill(static_cast<uint8_t*>(out));
  return DropStackEntries(ctx, 1, 2);
}

}  // namespace

ErrCode RelationalOperator(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  if (!IsFamilyOption(option, "=~<>LG")) return kErrIllegal;
  ErrCode e;
  if (ScalarCompare(ctx, option, &e)) return e;
  bool swapped;
  option = OrderedComparison(option, &swapped);
  Shape shape;
  ElementwiseOperand ops[2];
  e = PairInCommonClass(ctx, &shape, ops);
  if (e) return e;
  if (swapped) std::swap(ops[0], ops[1]);
  const ElementwiseOperand &a = ops[0], &b = ops[1];
  return FinishLogicalPair(ctx, shape, [&](uint8_t* out) {
    switch (a.cls) {
      case OperandClass::kDouble:
        CompareFloats<double>(option, shape.count, a, b, out);
        break;
      case OperandClass::kSingle:
        CompareFloats<float>(option, shape.count, a, b, out);
        break;
      default:
        VisitIntegerClass(a.elementBytes, a.isUnsigned, [&](auto type) {
          using T = decltype(type);
          CompareReals<T>(option, shape.count, RealPartOf<T>(a), a.full, RealPartOf<T>(b), b.full,
                          out);
        });
        break;
    }
  });
}

ErrCode LogicalOperator(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  if (!IsFamilyOption(option, "&|^")) return kErrIllegal;
  ErrCode e = CheckArgumentTypes(ctx, 2, nullptr);
  if (e) return e;
  for (int32_t depth = 0; depth < 2; depth++) {
    e = ConvertToLogical(ctx, depth);
    if (e) return e;
  }
  Shape shape;
  ElementwiseOperand ops[2];
  e = GetElementwiseOperands(ctx, 2, &shape, ops);
  if (e) return e;
  const uint8_t* a = RealPartOf<uint8_t>(ops[0]);
  const uint8_t* b = RealPartOf<uint8_t>(ops[1]);
  const bool aFull = ops[0].full, bFull = ops[1].full;
  // The elements are 0 or 1 now.
  return FinishLogicalPair(ctx, shape, [&](uint8_t* out) {
    auto map = [&](auto f) { MapPairs(shape.count, a, aFull, b, bFull, out, f); };
    switch (option) {
      case '&':
        map([](uint8_t p, uint8_t q) -> uint8_t { return p & q; });
        break;
      case '|':
        map([](uint8_t p, uint8_t q) -> uint8_t { return p | q; });
        break;
      default:  // '^'
        map([](uint8_t p, uint8_t q) -> uint8_t { return p ^ q; });
        break;
    }
  });
}

// 'f' isfinite: both parts finite; 'i' isinf and 'n' isnan: either part
// infinite or NaN. Only double arrays are accepted.
ErrCode FloatClassBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t option) {
  if (!IsFamilyOption(option, "fin")) return kErrIllegal;
  Shape shape;
  double *re, *im;
  if (GetDoubleArrayArg(ctx, 0, &shape, &re, &im)) return kErrWrongTypeOverload;
  void* result;
  ErrCode e = PushElementwiseResult(ctx, {kKindLogical, kCodeUInt8}, false, shape, &result);
  if (e) return e;
  auto* out = static_cast<uint8_t*>(result);
  // isfinite is the negation of "either part is not finite".
  const uint8_t negate = option == 'f';
  auto fill = [&](auto test) {
    if (im) {
      for (int64_t i = 0; i < shape.count; i++) out[i] = (test(re[i]) || test(im[i])) != negate;
    } else {
      for (int64_t i = 0; i < shape.count; i++) out[i] = test(re[i]) != negate;
    }
  };
  switch (option) {
    case 'f':
      fill([](double x) { return !std::isfinite(x); });
      break;
    case 'i':
      fill([](double x) { return std::isinf(x); });
      break;
    default:  // 'n'
      fill([](double x) { return std::isnan(x); });
      break;
  }
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
