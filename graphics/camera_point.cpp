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

void ProjectPoint(const SubplotRecord& r, double x, double y, double z, bool withOffsets, double* X,
                  double* Y, double* w) {
  const double q[3] = {x * r.inverseAspect[0], y * r.inverseAspect[1], z * r.inverseAspect[2]};
  // The distance along the view direction orders what hides what in both
  // projections; only perspective divides by it.
  const double depth = Dot(r.backAxis, q) + r.depthTerm;
  double divisor = -1;
  if (!r.orthographic) {
    divisor = depth;
    if (depth >= 0) {
      *X = *Y = *w = std::numeric_limits<double>::quiet_NaN();
      return;
    }
  }
  const double rightTerm = withOffsets ? r.rightTerm : 0;
  const double upTerm = withOffsets ? r.upTerm : 0;
  *X = (withOffsets ? r.xOffset : 0) - (Dot(r.rightAxis, q) + rightTerm) * r.xFactor / divisor;
  *Y = (withOffsets ? r.yOffset : 0) - (Dot(r.trueUp, q) + upTerm) * r.yFactor / divisor;
  *w = depth;
}

}  // namespace vke
