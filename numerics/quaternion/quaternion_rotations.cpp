// Quaternions as rotations: rpy2q and q2rpy between roll, pitch and yaw and
// quaternion arrays, q2mat (the rotation matrix of one quaternion) and
// qslerp (spherical interpolation between unit quaternions).
#include <cmath>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/indexing.hpp"
#include "numerics/quaternion/quaternion_math.hpp"
#include "numerics/quaternion/quaternion_value.hpp"

namespace vke {

namespace {

// The most outputs of q2rpy: roll, pitch, yaw.
constexpr int32_t kAngleOutputs = 3;

// A real double argument read with scalar expansion.
struct RealArg {
  Shape shape;
  double* re = nullptr;
  double At(int64_t i) const { return re[shape.count == 1 ? 0 : i]; }
};

// Merges an operand's shape into the result's: one with other than one
// element sets it while the result has one element, and must match it
// otherwise (20).
ErrCode MergeShape(const Shape& operand, Shape* result) {
  if (operand.count == 1) return kOk;
  if (result->count == 1) {
    *result = operand;
    return kOk;
  }
  return SameDims(operand, *result) ? kOk : kErrIncompSize;
}

Quat ElementOf(const QuaternionView& q, int64_t i) {
  const int64_t at = q.Count() == 1 ? 0 : i;
  return {q.c[0][at], q.c[1][at], q.c[2][at], q.c[3][at]};
}

// Scales every element to norm 1 (a zero quaternion gives NaN).
void Normalise(const QuaternionView& q) {
  for (int32_t i = 0; i < q.Count(); i++) {
    const Quat v = ElementOf(q, i);
    const double f = 1 / std::sqrt(NormSquared(v));
    for (int k = 0; k < 4; k++) q.c[k][i] *= f;
  }
}

}  // namespace

ErrCode Rpy2qNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  RealArg a[3];
  Shape shape;
  shape.dims[0] = shape.dims[1] = shape.count = 1;
  for (int32_t k = 0; k < 3; k++) {
    double* im;
    if (GetDoubleArrayArg(ctx, 2 - k, &a[k].shape, &a[k].re, &im)) return kErrWrongTypeOverload;
    if (ErrCode e = MergeShape(a[k].shape, &shape)) return e;
  }
  QuaternionView q;
  if (ErrCode e = PushNewQuaternionArray(ctx, shape, &q)) return e;
  for (int32_t k = 0; k < 3; k++) {
    double* im;
    GetDoubleArrayArg(ctx, 3 - k, &a[k].shape, &a[k].re, &im);
  }
  for (int32_t i = 0; i < q.Count(); i++) {
    const Quat v = EulerToQuaternion(a[0].At(i), a[1].At(i), a[2].At(i));
    q.c[0][i] = v.w;
    q.c[1][i] = v.x;
    q.c[2][i] = v.y;
    q.c[3][i] = v.z;
  }
  return DropStackEntries(ctx, 1, 3);
}

ErrCode Q2rpyNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, 0, &q)) return e;
  const int32_t outputs = nargout < 1 ? 1 : std::min(nargout, kAngleOutputs);
  double* angle[kAngleOutputs] = {};
  const uint32_t level = ctx->descTop;
  // The last output first, so that roll ends on top.
  for (int32_t j = outputs - 1; j >= 0; j--) {
    if (ErrCode e = PushDoubleArrayOfShape(ctx, q.shape, &angle[j]))
      return DropAboveLevel(ctx, level, e);
  }
  GetQuaternionArg(ctx, outputs, &q);
  for (int32_t i = 0; i < q.Count(); i++) {
    double a[kAngleOutputs];
    QuaternionToEuler(ElementOf(q, i), &a[0], &a[1], &a[2]);
    for (int32_t j = 0; j < outputs; j++) angle[j][i] = a[j];
  }
  return DropStackEntries(ctx, outputs, 1);
}

ErrCode Q2matNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  QuaternionView q;
  if (ErrCode e = GetQuaternionArg(ctx, 0, &q)) return e;
  if (q.Count() != 1) return kErrBadSize;
  double m[9];
  QuaternionToRotationMatrix(ElementOf(q, 0), m);
  double* out;
  if (ErrCode e = PushNewMatrix(ctx, 3, 3, &out, nullptr)) return e;
  for (int i = 0; i < 9; i++) out[i] = m[i];
  return DropStackEntries(ctx, 1, 1);
}

ErrCode QslerpNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  RealArg t;
  double* im;
  if (GetDoubleArrayArg(ctx, 0, &t.shape, &t.re, &im)) return kErrWrongTypeOverload;
  for (int32_t depth = 2; depth >= 1; depth--) {
    QuaternionOperand x;
    if (GetQuaternionOperand(ctx, depth, &x)) return kErrWrongTypeOverload;
    if (ErrCode e = ConvertToQuaternionAt(ctx, depth)) return e;
  }
  QuaternionView q1, q2;
  GetQuaternionArg(ctx, 2, &q1);
  GetQuaternionArg(ctx, 1, &q2);
  Shape shape = t.shape;
  if (ErrCode e = MergeShape(q1.shape, &shape)) return e;
  if (ErrCode e = MergeShape(q2.shape, &shape)) return e;
  QuaternionView r;
  if (ErrCode e = PushNewQuaternionArray(ctx, shape, &r)) return e;
  GetQuaternionArg(ctx, 3, &q1);
  GetQuaternionArg(ctx, 2, &q2);
  GetDoubleArrayArg(ctx, 1, &t.shape, &t.re, &im);
  Normalise(q1);
  Normalise(q2);
  for (int32_t i = 0; i < r.Count(); i++) {
    const Quat v = SlerpUnit(ElementOf(q1, i), ElementOf(q2, i), t.At(i));
    r.c[0][i] = v.w;
    r.c[1][i] = v.x;
    r.c[2][i] = v.y;
    r.c[3][i] = v.z;
  }
  return DropStackEntries(ctx, 1, 3);
}

}  // namespace vke
