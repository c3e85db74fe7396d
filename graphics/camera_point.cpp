// Projection of one data point through a 3-D subplot's view matrix.
#include <cmath>
#include <limits>

#include "graphics/camera.hpp"

namespace vke {
namespace {

double Dot(const double* a, const double* q) {
  return a[0] * q[0] + a[1] * q[1] + a[2] * q[2];
}

}  // namespace

void ProjectPoint(const SubplotRecord& r, const ProjectionFrame& f, double x, double y, double z,
                  bool withOffsets, double* X, double* Y, double* w) {
  const double p[3] = {x, y, z};
  double q[3];
  for (int a = 0; a < 3; ++a) {
    q[a] = p[a] * r.inverseAspect[a] / f.unit - (withOffsets ? f.centre[a] : 0);
  }
  // The distance along the view direction orders what hides what in both
  // projections; only perspective divides by it (where the unit cancels
  // out), orthographic projection by -1 in scaled units.
  const double depth = Dot(r.backAxis, q) + (withOffsets ? f.depthTerm : f.plainDepthTerm);
  if (!r.orthographic && depth >= 0) {
    *X = *Y = *w = std::numeric_limits<double>::quiet_NaN();
    return;
  }
  const double toDevice = r.orthographic ? f.unit : -1 / depth;
  const double rightTerm = withOffsets ? f.rightTerm : 0;
  const double upTerm = withOffsets ? f.upTerm : 0;
  *X = (withOffsets ? r.xOffset : 0) + (Dot(r.rightAxis, q) + rightTerm) * r.xFactor * toDevice;
  *Y = (withOffsets ? r.yOffset : 0) + (Dot(r.trueUp, q) + upTerm) * r.yFactor * toDevice;
  *w = depth;
}

void ProjectPoint(const SubplotRecord& r, double x, double y, double z, bool withOffsets, double* X,
                  double* Y, double* w) {
  ProjectPoint(r, MakeProjectionFrame(r), x, y, z, withOffsets, X, Y, w);
}

}  // namespace vke
