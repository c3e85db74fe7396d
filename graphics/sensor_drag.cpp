// The drag of a 3-D sensor: the pointer's pixel fixes two linear equations
// on the data point under it (the subplot's projection, perspective or not);
// a point sensor adds its plane, a sphere sensor intersects the ray with its
// sphere.
#include <cmath>

#include "graphics/control_hit.hpp"

namespace vke {
namespace {

double Dot(const double* a, const double* b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void Cross(const double* a, const double* b, double* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

// A plane n . p = d in data coordinates.
struct Plane {
  double n[3];
  double d;
};

// The two planes of data points that project to pixel (X, Y): device X =
// xOffset - (right . q + rightTerm) x factor / depth, q the point scaled by
// the inverse aspect, depth = back . q + depthTerm (-1 in orthographic
// projection), and the same for Y with the true up axis.
void PixelPlanes(const SubplotRecord& r, double X, double Y, Plane* planes) {
  const double a[2] = {(X - r.xOffset) / r.xFactor, (Y - r.yOffset) / r.yFactor};
  const double* axes[2] = {r.rightAxis, r.trueUp};
  const double terms[2] = {r.rightTerm, r.upTerm};
  for (int i = 0; i < 2; ++i) {
    Plane& p = planes[i];
    for (int j = 0; j < 3; ++j) {
      const double back = r.orthographic ? 0 : a[i] * r.backAxis[j];
      p.n[j] = (axes[i][j] + back) * r.inverseAspect[j];
    }
    p.d = r.orthographic ? a[i] - terms[i] : -(terms[i] + a[i] * r.depthTerm);
  }
}

// The point on three planes; false when they do not meet in one point.
bool SolvePlanes(const Plane* p, double* out) {
  double c01[3], c12[3], c20[3];
  Cross(p[1].n, p[2].n, c12);
  Cross(p[2].n, p[0].n, c20);
  Cross(p[0].n, p[1].n, c01);
  const double det = Dot(p[0].n, c12);
  const double scale = std::sqrt(Dot(p[0].n, p[0].n) * Dot(p[1].n, p[1].n) * Dot(p[2].n, p[2].n));
  if (!(std::fabs(det) > 1e-12 * scale)) return false;
  for (int j = 0; j < 3; ++j) out[j] = (p[0].d * c12[j] + p[1].d * c20[j] + p[2].d * c01[j]) / det;
  return std::isfinite(out[0]) && std::isfinite(out[1]) && std::isfinite(out[2]);
}

void StorePoint(const double* p, EventState* hit) {
  hit->x1 = p[0];
  hit->y1 = p[1];
  hit->z1 = p[2];
  hit->flags |= kEventX1 | kEventY1 | kEventZ1;
}

// Where the ray o + t d first meets the sphere of radius r around the
// origin (the smaller t); its point nearest to the origin when it misses.
bool RaySphere(const double* o, const double* d, double r, double* p) {
  const double dd = Dot(d, d);
  if (!(dd > 0)) return false;
  const double b = Dot(o, d) / dd;
  const double c = (Dot(o, o) - r * r) / dd;
  const double disc = b * b - c;
  const double t = disc >= 0 ? -b - std::sqrt(disc) : -b;
  for (int j = 0; j < 3; ++j) p[j] = o[j] + t * d[j];
  return true;
}

// Azimuth and elevation of a point about the origin.
void Angles(const double* p, double* azimuth, double* elevation) {
  *azimuth = std::atan2(p[1], p[0]);
  *elevation = std::atan2(p[2], std::hypot(p[0], p[1]));
}

}  // namespace

bool PointSensorDrag(const SubplotRecord& subplot, double X, double Y, const double point[3],
                     const double normal[3], EventState* hit) {
  Plane planes[3];
  PixelPlanes(subplot, X, Y, planes);
  planes[2] = {{normal[0], normal[1], normal[2]}, Dot(normal, point)};
  double p[3];
  if (!SolvePlanes(planes, p)) return false;
  StorePoint(p, hit);
  return true;
}

bool SphereSensorDrag(const SubplotRecord& subplot, double X, double Y, const double centre[3],
                      const double grabbed[3], EventState* hit) {
  Plane planes[3];
  PixelPlanes(subplot, X, Y, planes);
  // The ray's direction, and its point nearest to the centre.
  double direction[3];
  Cross(planes[0].n, planes[1].n, direction);
  planes[2] = {{direction[0], direction[1], direction[2]}, Dot(direction, centre)};
  double nearest[3];
  if (!SolvePlanes(planes, nearest)) return false;
  // The ray runs from the camera into the scene.
  double toCentre[3], origin[3];
  for (int j = 0; j < 3; ++j) toCentre[j] = centre[j] - subplot.cameraPosition[j];
  if (Dot(direction, toCentre) < 0) {
    for (double& v : direction) v = -v;
  }
  for (int j = 0; j < 3; ++j) origin[j] = nearest[j] - centre[j];
  const double g[3] = {grabbed[0] - centre[0], grabbed[1] - centre[1], grabbed[2] - centre[2]};
  const double radius = std::sqrt(Dot(g, g));
  double p[3];
  if (!RaySphere(origin, direction, radius, p)) return false;
  Angles(p, &hit->q[0], &hit->q[1]);
  for (int j = 0; j < 3; ++j) p[j] += centre[j];
  StorePoint(p, hit);
  hit->flags |= kEventQ | kEventQPair;
  return true;
}

bool RayToAngles(const double origin[3], const double direction[3], double radius, double* azimuth,
                 double* elevation) {
  double p[3];
  if (!RaySphere(origin, direction, radius, p)) return false;
  Angles(p, azimuth, elevation);
  return true;
}

}  // namespace vke
