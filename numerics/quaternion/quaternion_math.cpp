// The elementary functions and rotation conversions of single quaternions.
#include "numerics/quaternion/quaternion_math.hpp"

#include <cmath>
#include <numbers>

namespace vke {

namespace {

// Squared norms below this are treated as a zero rotation.
constexpr double kEps = 2.220446049250313e-16;
// Beyond this |s| the pitch is taken as ±π/2 (gimbal lock).
constexpr double kGimbalLimit = 0.9999999;
// Above this cosine slerp blends linearly.
constexpr double kLinearBlendCosine = 0.9995;

double VectorNorm(const Quat& q) {
  return std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
}

// w' with the vector part scaled by f.
Quat WithScaledVector(double w, const Quat& q, double f) {
  return {w, f * q.x, f * q.y, f * q.z};
}

double Cosh(double v) {
  return (std::exp(v) + std::exp(-v)) / 2;
}
double Sinh(double v) {
  return (std::exp(v) - std::exp(-v)) / 2;
}

}  // namespace

Quat QuaternionExp(const Quat& q) {
  const double e = std::exp(q.w);
  const double v = VectorNorm(q);
  if (v == 0) return {e, 0, 0, 0};
  return WithScaledVector(e * std::cos(v), q, e * std::sin(v) / v);
}

Quat QuaternionLog(const Quat& q) {
  const double w = std::log(std::sqrt(NormSquared(q)));
  const double v = VectorNorm(q);
  if (v == 0) return {w, q.w < 0 ? std::numbers::pi : 0.0, 0, 0};
  return WithScaledVector(w, q, std::atan2(v, q.w) / v);
}

Quat QuaternionSqrt(const Quat& q) {
  const double v = VectorNorm(q);
  if (v == 0) return q.w >= 0 ? Quat{std::sqrt(q.w), 0, 0, 0} : Quat{0, std::sqrt(-q.w), 0, 0};
  const double n = std::sqrt(NormSquared(q));
  double a, b;
  if (q.w >= 0) {
    a = std::sqrt((n + q.w) / 2);
    b = v / (2 * a);
  } else {
    b = std::sqrt((n - q.w) / 2);
    a = v / (2 * b);
  }
  return WithScaledVector(a, q, b / v);
}

Quat QuaternionSin(const Quat& q) {
  const double v = VectorNorm(q);
  if (v == 0) return {std::sin(q.w), 0, 0, 0};
  return WithScaledVector(std::sin(q.w) * Cosh(v), q, std::cos(q.w) * Sinh(v) / v);
}

Quat QuaternionCos(const Quat& q) {
  const double v = VectorNorm(q);
  if (v == 0) return {std::cos(q.w), 0, 0, 0};
  return WithScaledVector(std::cos(q.w) * Cosh(v), q, -std::sin(q.w) * Sinh(v) / v);
}

Quat QuaternionPowerOf(const Quat& base, const Quat& exponent) {
  return QuaternionExp(HamiltonProduct(exponent, QuaternionLog(base)));
}

Quat EulerToQuaternion(double roll, double pitch, double yaw) {
  const double cr = std::cos(roll / 2), sr = std::sin(roll / 2);
  const double cp = std::cos(pitch / 2), sp = std::sin(pitch / 2);
  const double cy = std::cos(yaw / 2), sy = std::sin(yaw / 2);
  return {cr * cp * cy + sr * sp * sy, sr * cp * cy - cr * sp * sy, cr * sp * cy + sr * cp * sy,
          cr * cp * sy - sr * sp * cy};
}

void QuaternionToEuler(const Quat& q, double* roll, double* pitch, double* yaw) {
  const double s2 = NormSquared(q);
  if (s2 < kEps) {
    *roll = *pitch = *yaw = 0;
    return;
  }
  const double f = 1 / std::sqrt(s2);
  const double w = q.w * f, x = q.x * f, y = q.y * f, z = q.z * f;
  const double s = 2 * (x * z - w * y);
  if (std::fabs(s) <= kGimbalLimit) {
    *roll = std::atan2(2 * (w * x + y * z), w * w - x * x - y * y + z * z);
    *pitch = std::asin(-s);
    *yaw = std::atan2(2 * (w * z + x * y), w * w + x * x - y * y - z * z);
  } else {
    *roll = 0;
    *pitch = s < 0 ? std::numbers::pi / 2 : -std::numbers::pi / 2;
    *yaw = std::atan2(2 * (w * z - x * y), -2 * s * (w * y + x * z));
  }
}

void QuaternionToRotationMatrix(const Quat& q, double m[9]) {
  const double s2 = NormSquared(q);
  if (s2 < kEps) {
    for (int i = 0; i < 9; i++) m[i] = i % 4 == 0 ? 1 : 0;
    return;
  }
  const double f = 1 / std::sqrt(s2);
  const double w = q.w * f, x = q.x * f, y = q.y * f, z = q.z * f;
  const double ww = w * w, xx = x * x, yy = y * y, zz = z * z;
  m[0] = ww + xx - yy - zz;
  m[1] = 2 * (x * y - w * z);
  m[2] = 2 * (w * y + x * z);
  m[3] = 2 * (w * z + x * y);
  m[4] = ww - xx + yy - zz;
  m[5] = 2 * (y * z - w * x);
  m[6] = 2 * (x * z - w * y);
  m[7] = 2 * (w * x + y * z);
  m[8] = ww - xx - yy + zz;
}

Quat SlerpUnit(const Quat& q1, const Quat& q2, double t) {
  const double c = q1.w * q2.w + q1.x * q2.x + q1.y * q2.y + q1.z * q2.z;
  if (c > kLinearBlendCosine)
    return {(1 - t) * q1.w + t * q2.w, (1 - t) * q1.x + t * q2.x, (1 - t) * q1.y + t * q2.y,
            (1 - t) * q1.z + t * q2.z};
  const double theta = c < -1 ? t * std::numbers::pi : t * std::acos(c);
  Quat u{q2.w - c * q1.w, q2.x - c * q1.x, q2.y - c * q1.y, q2.z - c * q1.z};
  double n = std::sqrt(NormSquared(u));
  if (n == 0) {
    // q2 = -q1: any direction orthogonal to q1.
    if (q1.x == 0 && q1.y == 0 && q1.z == 0)
      u = {0, 1, 0, 0};
    else
      u = {1 - q1.w * q1.w, -q1.w * q1.x, -q1.w * q1.y, -q1.w * q1.z};
    n = std::sqrt(NormSquared(u));
  }
  const double a = std::cos(theta), b = std::sin(theta) / n;
  return {a * q1.w + b * u.w, a * q1.x + b * u.x, a * q1.y + b * u.y, a * q1.z + b * u.z};
}

}  // namespace vke
