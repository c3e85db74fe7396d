// pdf, cdf and icdf: the distribution picked by name from the table, its
// function for the native's option letter run element by element over the
// parameters with scalar expansion.
#include <cstring>

#include "engine/registry/natives_decl.hpp"
#include "numerics/special/distributions.hpp"
#include "numerics/special/elementwise_special.hpp"

namespace vke {

namespace {

// The option letters of the rows.
constexpr uintptr_t kDensity = 'p';
constexpr uintptr_t kDistribution = 'c';

// Room for the longest name of the table and a terminator.
constexpr int32_t kNameRoom = 16;

const DistributionRow* FindDistribution(const char* name) {
  for (const DistributionRow* row = kDistributions; row->name; row++)
    if (std::strcmp(row->name, name) == 0) return row;
  return nullptr;
}

// The numeric arguments, converted to double when any is not.
ErrCode GetDistributionOperands(EngineContext* ctx, int32_t n, Shape* shape,
                                ElementwiseOperand* ops) {
  ErrCode e = GetElementwiseOperands(ctx, n, shape, ops);
  if (e) return e == kErrWrongType ? kErrWrongTypeOverload : e;
  bool allDouble = true;
  for (int32_t k = 0; k < n; k++) allDouble = allDouble && ops[k].cls == OperandClass::kDouble;
  if (allDouble) return kOk;
  // Without room for the doubles the shortage is the failure, so that the
  // call runs again once the area has grown.
  if ((e = ConvertToFloat(ctx, -n, false))) return e == kErrWrongType ? kErrWrongTypeOverload : e;
  return GetDoubleOperands(ctx, n, shape, ops);
}

}  // namespace

ErrCode EvaluateDistribution(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  char name[kNameRoom];
  int32_t length;
  ErrCode e = GetStringArgToBuffer(ctx, nargin - 1, name, kNameRoom - 1, &length);
  if (e == kErrObjTooLarge) return kErrUnknownOpt;
  if (e) return e == kErrWrongType ? kErrWrongTypeOverload : e;
  name[length] = 0;
  const int32_t operands = nargin - 1;
  Shape s;
  ElementwiseOperand ops[3];
  if ((e = GetDistributionOperands(ctx, operands, &s, ops))) return e;
  const DistributionRow* row = FindDistribution(name);
  if (!row) return kErrUnknownOpt;
  if (!row->defaults && operands < row->parameters + 1) return kErrTooFewArgin;
  if (operands > row->parameters + 1) return kErrTooManyArgin;
  const DistributionFunction f = option == kDensity        ? row->pdf
                                 : option == kDistribution ? row->cdf
                                                           : row->icdf;
  if (!f) return kErrNotSupported;
  double* out;
  if ((e = PushNewArray(ctx, s.ndims, s.dims, &out, nullptr))) return e;
  for (int64_t i = 0; i < s.count; i++) {
    const double x = RealElement(ops[0], i);
    const double a = operands > 1 ? RealElement(ops[1], i) : 0;
    const double b = operands > 2 ? RealElement(ops[2], i) : 1;
    if (!f(x, a, b, &out[i])) {
      Drop(ctx, 1);
      return kErrNoConvergence;
    }
  }
  return DropStackEntries(ctx, 1, nargin);
}

}  // namespace vke
