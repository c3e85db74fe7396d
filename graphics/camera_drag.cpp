// The camera tools as drags, over the camera moves of camera.cpp.
#include "graphics/camera_drag.hpp"

#include <algorithm>
#include <cmath>

#include "graphics/camera.hpp"

namespace vke {
namespace {

constexpr double kHalfPi = 1.570796326794895;
// Pan and tilt per radian of orbit angle, over the view angle in degrees.
constexpr double kPanTiltRate = 0.06;

void ViewportCentre(const SubplotRecord& s, double* cx, double* cy) {
  *cx = (s.viewport[kLeft] + s.viewport[kRight]) / 2;
  *cy = (s.viewport[kTop] + s.viewport[kBottom]) / 2;
}

}  // namespace

void OrbitDragAngles(const SubplotRecord& s, double x0, double y0, double x, double y,
                     double* theta, double* phi) {
  const double half = std::max(std::fabs(s.viewport[kRight] - s.viewport[kLeft]),
                               std::fabs(s.viewport[kBottom] - s.viewport[kTop])) /
                      2;
  *theta = (x - x0) * kHalfPi;
  *phi = (y - y0) * kHalfPi;
  if (s.marginUnit[1] >= 0) *phi = -*phi;
  if (half > 0) {
    *theta /= half;
    *phi /= half;
  } else {
    *theta = *phi = 0;
  }
}

double RollDragAngle(const SubplotRecord& s, double x0, double y0, double x, double y) {
  double cx = 0, cy = 0;
  ViewportCentre(s, &cx, &cy);
  return std::atan2(y - cy, x - cx) - std::atan2(y0 - cy, x0 - cx);
}

double DistanceFromViewportCentre(const SubplotRecord& s, double x, double y) {
  double cx = 0, cy = 0;
  ViewportCentre(s, &cx, &cy);
  return std::hypot(x - cx, y - cy);
}

void OrbitCameraDrag(SubplotRecord* s, double x0, double y0, double x, double y) {
  double theta = 0, phi = 0;
  OrbitDragAngles(*s, x0, y0, x, y, &theta, &phi);
  CameraOrbit(s, -theta, phi);
}

void PanTiltCameraDrag(SubplotRecord* s, double x0, double y0, double x, double y) {
  const double angle = GetViewAngle(*s);
  if (!(angle > 0) || !std::isfinite(angle)) return;
  double theta = 0, phi = 0;
  OrbitDragAngles(*s, x0, y0, x, y, &theta, &phi);
  CameraPan(s, kPanTiltRate / angle * theta, -kPanTiltRate / angle * phi);
}

void RollCameraDrag(SubplotRecord* s, double x0, double y0, double x, double y) {
  CameraRoll(s, RollDragAngle(*s, x0, y0, x, y));
}

void DollyCameraDrag(SubplotRecord* s, double x0, double y0, double x, double y) {
  const double dy = s->marginUnit[1] >= 0 ? y - y0 : y0 - y;
  CameraDollyScreen(s, x0 - x, dy, 0, false);
}

void DollyForwardCameraDrag(SubplotRecord* s, double d0, double r0, double x, double y,
                            bool keepTarget) {
  const double r = DistanceFromViewportCentre(*s, x, y);
  const double distance = CameraDistance(*s);
  const double diagonal = std::hypot(s->viewport[kRight] - s->viewport[kLeft],
                                     s->viewport[kBottom] - s->viewport[kTop]);
  const double forward = (r - r0) * (2 * d0 * s->xFactor / distance) / diagonal;
  if (!std::isfinite(forward)) return;
  // Forward is against the back axis, which points from the target to the
  // camera.
  CameraDollyScreen(s, 0, 0, -forward, keepTarget);
}

}  // namespace vke
