// The 3-D camera of a subplot: recomputing the projection from the camera and
// the limits, the camera moves of the mouse tools and the camera natives
// (dolly, pan, orbit, roll, zoom, view angle, projection kind), and the
// projection of points.
#pragma once

#include <cstdint>

#include "graphics/subplot.hpp"

namespace vke {

// View flags of the camera.
inline constexpr uint32_t kViewAutoTarget = 1;
inline constexpr uint32_t kViewAutoPosition = 2;
inline constexpr uint32_t kViewAutoUp = 4;
inline constexpr uint32_t kViewAutoZoom = 8;
inline constexpr uint32_t kViewFitBox = 16;  // the box just fits the usable viewport

// The data aspect ratio nearest to r among the simple ratios (r unchanged
// when none is close; rounded from 5 on).
double NiceAspectRatio(double r);

// Recomputes the data aspect, the automatic camera vectors, the view matrix
// and the factors and offsets of a 3-D subplot.
void ComputeProjection(SubplotRecord* record);

// Moves the target by d (scaled units) unless keepTarget, and in
// perspective the position too; a move that would put the position on the
// target changes nothing.
void CameraDolly(SubplotRecord* record, const double* d, bool keepTarget);
// As CameraDolly with the displacement given along the camera's right, true
// up and back axes in device units.
void CameraDollyScreen(SubplotRecord* record, double dx, double dy, double dz, bool keepTarget);
// Turns the target around the position: about the up vector by a1, then
// about the right vector by a2 (radians).
void CameraPan(SubplotRecord* record, double a1, double a2);
// Turns the position around the target likewise (a2 NaN: no second turn).
void CameraOrbit(SubplotRecord* record, double a1, double a2);
// Turns the up vector about the line of sight (NaN: no turn).
void CameraRoll(SubplotRecord* record, double angle);
// Multiplies the camera zoom by k and turns the automatic zoom off.
void CameraZoom(SubplotRecord* record, double k);
// Switches to orthographic (true) or perspective projection, keeping the
// direction the camera looks from.
void SetOrthographic(SubplotRecord* record, bool orthographic);
// |target - position| in a perspective 3-D subplot, else infinity.
double CameraDistance(const SubplotRecord& record);
// The visible angle in degrees of a perspective 3-D subplot, else 0.
double GetViewAngle(const SubplotRecord& record);
// Above the root of the double epsilon: perspective with that visible
// angle; else orthographic.
void SetViewAngle(SubplotRecord* record, double degrees);

// The rotation by `angle` radians about the (normalised) axis, row by row.
void RotationMatrix(const double* axis, double angle, double out[9]);
void MatVec3(const double m[9], const double* v, double out[3]);

inline bool IsPerspective(const SubplotRecord& r) {
  return r.orthographic == 0;
}
void GetViewFlags(const SubplotRecord& record, bool* autoTarget, bool* autoPosition, bool* autoUp,
                  bool* perspective);
void SetAutoTarget(SubplotRecord* record, bool on);
void SetAutoPosition(SubplotRecord* record, bool on);
void SetAutoUp(SubplotRecord* record, bool on);

// The length of the limits box's diagonal in scaled units, 1 when it has
// none (or none a double holds).
double ScaledDiagonal(const SubplotRecord& record);

// Points are projected from the limits box's own frame: measured from the
// box's centre in units of a power of two near its scaled diagonal, so that
// the data of any finite box project without overflow or underflow on the
// way, and depths come out in box units, near 1 at every scale. The frame
// holds that centre and unit and the view terms measured in it.
struct ProjectionFrame {
  double centre[3];  // scaled units over the unit
  double unit;
  double rightTerm, upTerm, depthTerm;
  double plainDepthTerm;  // the depth term from 0, for displacements
};
ProjectionFrame MakeProjectionFrame(const SubplotRecord& record);

// Projects the data point (x, y, z) with the subplot's view matrix: device
// *X, *Y and the depth *w, the distance along the view direction in box
// units (larger is nearer; negative in front of a perspective camera, which
// divides by it; orthographic projection divides by -1). A point at or
// behind a perspective camera gives NaN. Without offsets the transform's
// offsets and the view terms of X and Y are left out, which projects a
// displacement. The frame is the subplot's, made once for many points.
void ProjectPoint(const SubplotRecord& record, const ProjectionFrame& frame, double x, double y,
                  double z, bool withOffsets, double* X, double* Y, double* w);
void ProjectPoint(const SubplotRecord& record, double x, double y, double z, bool withOffsets,
                  double* X, double* Y, double* w);

}  // namespace vke
