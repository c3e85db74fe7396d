// Operand handling shared by the matrix operators.
#include "builtins/matrix_ops.hpp"

#include <algorithm>
#include <cstring>

#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

bool AreDoubleMatrices(EngineContext* ctx, int32_t n, int32_t depth) {
  for (int32_t d = depth; d < depth + n; d++) {
    NumericView v = ViewNumeric(ctx, d);
    if (v.cls != ValueClass::kDouble || v.shape.ndims != 2) return false;
  }
  return true;
}

MatrixOperand ReadMatrixOperand(EngineContext* ctx, int32_t depth) {
  NumericView v = ViewNumeric(ctx, depth);
  MatrixOperand m;
  m.rows = v.shape.dims[0];
  m.cols = v.shape.dims[1];
  m.re = reinterpret_cast<double*>(v.elements);
  m.im = v.complex ? m.re + v.shape.count : nullptr;
  return m;
}

ErrCode TypedOperandsElementwise(EngineContext* ctx, ScalarRule rule, int32_t option) {
  NumericView below = ViewNumeric(ctx, 1), top = ViewNumeric(ctx, 0);
  if (below.cls == ValueClass::kOther || top.cls == ValueClass::kOther)
    return kErrWrongTypeOverload;
  bool belowScalar = below.shape.count == 1, topScalar = top.shape.count == 1;
  bool fits = rule == ScalarRule::kEither ? belowScalar || topScalar
              : rule == ScalarRule::kTop  ? topScalar
                                          : belowScalar;
  // An array of more than two dimensions is no matrix: with no scalar to
  // make the operation elementwise it is the wrong type of operand.
  if (!fits)
    return below.shape.ndims > 2 || top.shape.ndims > 2 ? kErrWrongTypeOverload : kErrBadSize;
  return ElementwiseArith(ctx, 2, 1, option);
}

ErrCode MakeBelowTopComplex(EngineContext* ctx) {
  ErrCode e = RollStackEntries(ctx, 2, 1);
  if (!e) e = MakeTopComplex(ctx, nullptr);
  ErrCode back = RollStackEntries(ctx, 2, 1);
  return e ? e : back;
}

ErrCode PushIdentity(EngineContext* ctx, int32_t n, bool complex) {
  double *re, *im = nullptr;
  ErrCode e = PushNewMatrix(ctx, n, n, &re, complex ? &im : nullptr);
  if (e) return e;
  int64_t count = int64_t(n) * n;
  std::fill(re, re + count * (complex ? 2 : 1), 0.0);
  for (int32_t i = 0; i < n; i++) re[int64_t(i) * (n + 1)] = 1;
  return kOk;
}

ErrCode ReservePermutation(EngineContext* ctx, int32_t n, int32_t** perm) {
  if (uint64_t{ctx->descTop} + static_cast<uint64_t>(n) > ctx->descCap) return kErrStackOverflow;
  *perm = reinterpret_cast<int32_t*>(ctx->DescWords() + ctx->descTop);
  return kOk;
}

bool IsNativeServedOperator(const char* builtinName) {
  for (const char* name : kNativeServedOperators)
    if (std::strcmp(name, builtinName) == 0) return true;
  return false;
}

bool CallOperatorNative(EngineContext* ctx, const char* name, ErrCode* e) {
  const NativeFunctionRecord* rec = nullptr;
  while ((rec = FindLibraryRecord(ctx, name, rec, 0, nullptr))) {
    if (rec->kind != 0 || !rec->function) continue;
    *e = reinterpret_cast<NativeFn>(rec->function)(ctx, 2, 1, RecordUserData(ctx, rec));
    return true;
  }
  return false;
}

ErrCode ReplaceTopByPseudoInverse(EngineContext* ctx) {
  const NativeFunctionRecord* rec = FindLibraryRecord(ctx, "pinv", nullptr, 0, nullptr);
  if (!rec || !rec->function) return kErrNonSquareSize;
  auto fn = reinterpret_cast<NativeFn>(rec->function);
  return fn(ctx, 1, 1, RecordUserData(ctx, rec));
}

}  // namespace vke
