// The arithmetic of single quaternions w + x·i + y·j + z·k: the Hamilton
// product, the inverse, the elementary functions and the rotation
// conversions, each on one element. The array natives apply them element
// by element.
#pragma once

namespace vke {

struct Quat {
  double w = 0, x = 0, y = 0, z = 0;
};

// The squared norm w² + x² + y² + z².
inline double NormSquared(const Quat& q) {
  return q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z;
}

// a·b (i·j = k, j·i = -k).
inline Quat HamiltonProduct(const Quat& a, const Quat& b) {
  return {
      a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
      a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

// The conjugate over the squared norm; a zero quaternion gives the IEEE
// result (infinities and NaN).
inline Quat QuaternionInverse(const Quat& q) {
  const double n = NormSquared(q);
  return {q.w / n, -q.x / n, -q.y / n, -q.z / n};
}

Quat QuaternionExp(const Quat& q);
Quat QuaternionLog(const Quat& q);
Quat QuaternionSqrt(const Quat& q);
Quat QuaternionSin(const Quat& q);
Quat QuaternionCos(const Quat& q);
// exp(e·log b), the exponent on the left.
Quat QuaternionPowerOf(const Quat& base, const Quat& exponent);

// The rotation by yaw about z, then pitch about y, then roll about x.
Quat EulerToQuaternion(double roll, double pitch, double yaw);
// Roll, pitch and yaw of a rotation; a quaternion of squared norm below eps
// gives zeros, and near gimbal lock (|s| > 0.9999999) roll is 0.
void QuaternionToEuler(const Quat& q, double* roll, double* pitch, double* yaw);
// The 3 x 3 rotation matrix, row by row (the identity for a quaternion of
// squared norm below eps).
void QuaternionToRotationMatrix(const Quat& q, double m[9]);
// The spherical interpolation between unit quaternions q1 and q2 at t.
Quat SlerpUnit(const Quat& q1, const Quat& q2, double t);

}  // namespace vke
