// The 3-D camera of a subplot as the scale code uses it: recomputing the
// projection, zooming the camera and projecting points.
#pragma once

#include "graphics/subplot.hpp"

namespace vke {

// Recomputes the data aspect, the automatic camera vectors, the view matrix
// and the factors and offsets of a 3-D subplot.
void ComputeProjection(SubplotRecord* record);

// Multiplies the camera zoom by k and turns the automatic zoom off.
void CameraZoom(SubplotRecord* record, double k);

// Projects the data point (x, y, z) with the subplot's view matrix: device
// *X, *Y and the depth *w (negative in front of the camera, -1 in
// orthographic projection). A point at or behind a perspective camera gives
// NaN. Without offsets the transform's offsets and the view terms of X and Y
// are left out, which projects a displacement.
void ProjectPoint(const SubplotRecord& record, double x, double y, double z, bool withOffsets,
                  double* X, double* Y, double* w);

}  // namespace vke
