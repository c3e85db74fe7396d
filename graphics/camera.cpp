// The camera of a 3-D subplot: the projection recomputed from the camera and
// the limits, and the camera moves.
#include "graphics/camera.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "graphics/scale.hpp"

namespace vke {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Where an automatic camera looks from: the direction in orthographic
// projection, the offset from the target per unit of the box diagonal in
// perspective.
constexpr double kAutoDirection[3] = {-3, -2, 1};
constexpr double kAutoOffset[3] = {-7.8, -5.2, 2.6};

// The least share of each side of the viewport the box may fill.
constexpr double kLeastBoxShare = 0.5;

// The aspect ratios an automatic data aspect snaps to.
constexpr double kNiceRatios[] = {1, 1.2,  1.25, 4.0 / 3, 1.5, 5.0 / 3, 1.75,
                                  2, 2.25, 2.5,  3,       3.5, 4,       4.5};

void Set3(double* v, double x, double y, double z) {
  v[0] = x;
  v[1] = y;
  v[2] = z;
}

double Dot(const double* a, const double* b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void Cross(const double* a, const double* b, double* out) {
  const double x = a[1] * b[2] - a[2] * b[1];
  const double y = a[2] * b[0] - a[0] * b[2];
  const double z = a[0] * b[1] - a[1] * b[0];
  Set3(out, x, y, z);
}

// The length of v, without overflow or underflow on the way.
double Length(const double* v) {
  return std::hypot(v[0], v[1], v[2]);
}

// Scales v to unit length; false (v unchanged) when it has none.
bool Normalise(double* v) {
  const double n = Length(v);
  if (!(n > 0) || !std::isfinite(n)) return false;
  for (int i = 0; i < 3; ++i) v[i] /= n;
  return true;
}

bool Finite3(const double* v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

bool HasData(const SubplotRecord& r, int axis) {
  return (r.scaleState[axis] & ~kScaleHoldBit) != kScaleNone;
}

double Span(const SubplotRecord& r, int axis) {
  if (!HasData(r, axis)) return 0;
  double lo = 0;
  double hi = 0;
  ShownLimits(r, axis, &lo, &hi);
  return hi - lo;
}

// The middle of an axis' limits, 0 without data.
double Middle(const SubplotRecord& r, int axis) {
  if (!HasData(r, axis)) return 0;
  double lo = 0;
  double hi = 0;
  ShownLimits(r, axis, &lo, &hi);
  return lo / 2 + hi / 2;
}

// The part of the viewport the box may fill: with the frame, the room for
// its labels (twice the margins) is kept free, but never more than half of
// each side, so that a small cell still shows its box.
void UsableSize(const SubplotRecord& r, double* width, double* height) {
  *width = r.viewport[kRight] - r.viewport[kLeft];
  *height = std::fabs(r.viewport[kTop] - r.viewport[kBottom]);
  if (r.optionWord & kOptFrame) {
    double mw = 0;
    double mh = 0;
    GetMarginSizes(r, &mw, &mh);
    *width = std::max(*width - mw, *width * kLeastBoxShare);
    *height = std::max(*height - mh, *height * kLeastBoxShare);
  }
}

void UpdateAspect(SubplotRecord* r) {
  if (r->aspectAuto) {
    const double l = std::min({Span(*r, 0), Span(*r, 1), Span(*r, 2)});
    for (int a = 0; a < 3; ++a) {
      r->dataAspect[a] = !(l > 0) || (r->scaleKind & kScaleEqual) || !HasData(*r, a)
                             ? 1
                             : NiceAspectRatio(Span(*r, a) / l);
    }
  }
  for (int a = 0; a < 3; ++a) r->inverseAspect[a] = 1 / r->dataAspect[a];
}

}  // namespace

double ScaledDiagonal(const SubplotRecord& r) {
  double sides[3];
  for (int a = 0; a < 3; ++a) sides[a] = r.inverseAspect[a] * Span(r, a);
  const double d = Length(sides);
  return d > 0 && std::isfinite(d) ? d : 1;
}

namespace {

void UpdateAutomaticVectors(SubplotRecord* r, double diagonal) {
  if (r->viewFlags & kViewAutoTarget) {
    for (int a = 0; a < 3; ++a) {
      double lo = 0;
      double hi = 0;
      ShownLimits(*r, a, &lo, &hi);
      r->cameraTarget[a] = HasData(*r, a) ? (lo / 2 + hi / 2) * r->inverseAspect[a] : 0;
    }
  }
  if (r->viewFlags & kViewAutoPosition) {
    for (int a = 0; a < 3; ++a) {
      r->cameraPosition[a] =
          r->orthographic ? kAutoDirection[a] : r->cameraTarget[a] + diagonal * kAutoOffset[a];
    }
  }
  if (r->viewFlags & kViewAutoUp) Set3(r->cameraUp, 0, 0, 1);
}

// The direction the camera looks from: position - target in perspective,
// the position itself in orthographic projection.
void ViewDirection(const SubplotRecord& r, double* out) {
  for (int a = 0; a < 3; ++a) {
    out[a] = r.orthographic ? r.cameraPosition[a] : r.cameraPosition[a] - r.cameraTarget[a];
  }
}

// A unit vector perpendicular to the unit vector b, made of its two largest
// components.
void PerpendicularTo(const double* b, double* out) {
  int smallest = 0;
  for (int a = 1; a < 3; ++a) {
    if (std::fabs(b[a]) < std::fabs(b[smallest])) smallest = a;
  }
  const int i = (smallest + 1) % 3;
  const int j = (smallest + 2) % 3;
  out[smallest] = 0;
  out[i] = b[j];
  out[j] = -b[i];
  Normalise(out);
}

void UpdateViewMatrix(SubplotRecord* r) {
  double* back = r->backAxis;
  ViewDirection(*r, back);
  // A camera on its target (or given no direction) looks from the default
  // direction, so that no coordinate becomes NaN.
  if (!Normalise(back)) {
    std::copy_n(kAutoDirection, 3, back);
    Normalise(back);
  }
  double up[3] = {r->cameraUp[0], r->cameraUp[1], r->cameraUp[2]};
  Cross(up, back, r->rightAxis);
  if (!Finite3(r->rightAxis) || !Normalise(r->rightAxis) ||
      std::fabs(Dot(r->rightAxis, back)) > 1e-6) {
    PerpendicularTo(back, r->rightAxis);
  }
  Cross(back, r->rightAxis, r->trueUp);
  Normalise(r->trueUp);
  const double* origin = r->orthographic ? r->cameraTarget : r->cameraPosition;
  r->rightTerm = -Dot(r->rightAxis, origin);
  r->upTerm = -Dot(r->trueUp, origin);
  r->depthTerm = -Dot(back, origin);
}

// With the fit flag: scales both factors so that the limits box just fits
// the usable viewport.
void FitBox(SubplotRecord* r, double width, double height) {
  double farX = 0;
  double farY = 0;
  double lo[3];
  double hi[3];
  for (int a = 0; a < 3; ++a) ShownLimits(*r, a, &lo[a], &hi[a]);
  const ProjectionFrame frame = MakeProjectionFrame(*r);
  for (int corner = 0; corner < 8; ++corner) {
    double p[3];
    for (int a = 0; a < 3; ++a) p[a] = (corner >> a) & 1 ? hi[a] : lo[a];
    double X = 0;
    double Y = 0;
    double w = 0;
    ProjectPoint(*r, frame, p[0], p[1], p[2], true, &X, &Y, &w);
    if (std::isfinite(X)) farX = std::max(farX, std::fabs(X - r->xOffset));
    if (std::isfinite(Y)) farY = std::max(farY, std::fabs(Y - r->yOffset));
  }
  const double rx = width / 2 / farX;
  const double ry = height / 2 / farY;
  const double k = ry < rx ? ry : rx;
  if (!(k > 0) || !std::isfinite(k)) return;
  r->xFactor *= k;
  r->yFactor *= k;
}

// Turns v by `angle` about `axis`.
void Turn(const double* axis, double angle, double* v) {
  double m[9];
  RotationMatrix(axis, angle, m);
  double out[3];
  MatVec3(m, v, out);
  std::copy_n(out, 3, v);
}

// Turns v about the up vector by a1 (unless 0), then about the right vector,
// turned with it, by a2 (unless 0 or NaN).
void TurnTwice(const SubplotRecord& r, double a1, double a2, double* v) {
  double right[3] = {r.rightAxis[0], r.rightAxis[1], r.rightAxis[2]};
  if (a1 != 0) {
    Turn(r.cameraUp, a1, v);
    Turn(r.cameraUp, a1, right);
  }
  if (a2 != 0 && !std::isnan(a2)) Turn(right, a2, v);
}

// The camera's vectors, to undo a move that went wrong.
struct CameraVectors {
  double position[3], target[3], up[3];
  uint32_t flags;
};

CameraVectors SaveCamera(const SubplotRecord& r) {
  CameraVectors c{};
  std::copy_n(r.cameraPosition, 3, c.position);
  std::copy_n(r.cameraTarget, 3, c.target);
  std::copy_n(r.cameraUp, 3, c.up);
  c.flags = r.viewFlags;
  return c;
}

// A camera whose vectors are finite and, in perspective, whose position is
// off its target.
bool SoundCamera(const SubplotRecord& r) {
  if (!Finite3(r.cameraPosition) || !Finite3(r.cameraTarget) || !Finite3(r.cameraUp)) return false;
  double back[3];
  ViewDirection(r, back);
  return r.orthographic || Dot(back, back) > 0;
}

// Keeps the move when it left a sound camera, else puts the saved one back;
// recomputes either way.
void FinishMove(SubplotRecord* r, const CameraVectors& saved) {
  if (!SoundCamera(*r)) {
    std::copy_n(saved.position, 3, r->cameraPosition);
    std::copy_n(saved.target, 3, r->cameraTarget);
    std::copy_n(saved.up, 3, r->cameraUp);
    r->viewFlags = saved.flags;
  }
  ComputeProjection(r);
}

}  // namespace

double NiceAspectRatio(double r) {
  if (r >= 5) return std::floor(r + 0.5);
  for (double nice : kNiceRatios) {
    if (std::fabs(r - nice) < 0.05) return nice;
  }
  return r;
}

void ComputeProjection(SubplotRecord* r) {
  if (!r->is3d) return;
  double width = 0;
  double height = 0;
  UsableSize(*r, &width, &height);
  UpdateAspect(r);
  const double diagonal = ScaledDiagonal(*r);
  UpdateAutomaticVectors(r, diagonal);
  UpdateViewMatrix(r);
  r->xOffset = (r->viewport[kLeft] + r->viewport[kRight]) / 2;
  r->yOffset = (r->viewport[kTop] + r->viewport[kBottom]) / 2;
  if (r->viewFlags & kViewAutoZoom) r->zoom = 1.0;
  double scale = std::min(width, height) * r->zoom / diagonal;
  if (!r->orthographic) scale *= CameraDistance(*r);
  // A viewport not laid out yet has no size; the factors stay invertible as
  // those of a 2-D subplot do.
  if (!(scale > 0) || !std::isfinite(scale)) scale = 1e-30;
  r->xFactor = scale;
  r->yFactor = IsYAxisDown(*r) ? -scale : scale;
  if (r->viewFlags & kViewFitBox) FitBox(r, width, height);
}

void CameraDolly(SubplotRecord* r, const double* d, bool keepTarget) {
  const CameraVectors saved = SaveCamera(*r);
  if (!keepTarget) {
    for (int a = 0; a < 3; ++a) r->cameraTarget[a] += d[a];
    r->viewFlags &= ~kViewAutoTarget;
  }
  if (!r->orthographic) {
    for (int a = 0; a < 3; ++a) r->cameraPosition[a] += d[a];
    r->viewFlags &= ~kViewAutoPosition;
  }
  FinishMove(r, saved);
}

void CameraDollyScreen(SubplotRecord* r, double dx, double dy, double dz, bool keepTarget) {
  const double s = r->orthographic ? 1 : CameraDistance(*r);
  double d[3];
  for (int a = 0; a < 3; ++a) {
    d[a] = (dx * r->rightAxis[a] + dy * r->trueUp[a] + dz * r->backAxis[a]) * s / r->xFactor;
  }
  CameraDolly(r, d, keepTarget);
}

void CameraPan(SubplotRecord* r, double a1, double a2) {
  const CameraVectors saved = SaveCamera(*r);
  r->viewFlags &= ~kViewAutoTarget;
  // The point turned about: the position, or in orthographic projection a
  // point on the line of sight behind the target.
  double eye[3];
  double v[3];
  for (int a = 0; a < 3; ++a) {
    eye[a] = r->orthographic ? r->cameraTarget[a] + r->cameraPosition[a] : r->cameraPosition[a];
    v[a] = r->cameraTarget[a] - eye[a];
  }
  TurnTwice(*r, a1, a2, v);
  for (int a = 0; a < 3; ++a) r->cameraTarget[a] = eye[a] + v[a];
  FinishMove(r, saved);
}

void CameraOrbit(SubplotRecord* r, double a1, double a2) {
  const CameraVectors saved = SaveCamera(*r);
  r->viewFlags &= ~kViewAutoPosition;
  double v[3];
  ViewDirection(*r, v);
  TurnTwice(*r, a1, a2, v);
  for (int a = 0; a < 3; ++a) {
    r->cameraPosition[a] = r->orthographic ? v[a] : r->cameraTarget[a] + v[a];
  }
  FinishMove(r, saved);
}

void CameraRoll(SubplotRecord* r, double angle) {
  if (std::isnan(angle)) return;
  const CameraVectors saved = SaveCamera(*r);
  r->viewFlags &= ~kViewAutoUp;
  double axis[3];
  ViewDirection(*r, axis);
  Turn(axis, angle, r->cameraUp);
  FinishMove(r, saved);
}

void CameraZoom(SubplotRecord* r, double k) {
  r->zoom *= k;
  r->viewFlags &= ~kViewAutoZoom;
  ComputeProjection(r);
}

void SetOrthographic(SubplotRecord* r, bool orthographic) {
  if ((r->orthographic != 0) == orthographic) return;
  ComputeProjection(r);
  // A set position keeps the direction the camera looks from: a direction
  // becomes a point as far from the target as an automatic camera stands.
  if (!(r->viewFlags & kViewAutoPosition)) {
    double v[3];
    ViewDirection(*r, v);
    if (!orthographic && Normalise(v)) {
      const double far = ScaledDiagonal(*r) * Length(kAutoOffset);
      for (int a = 0; a < 3; ++a) r->cameraPosition[a] = r->cameraTarget[a] + far * v[a];
    } else if (orthographic) {
      std::copy_n(v, 3, r->cameraPosition);
    }
  }
  r->orthographic = orthographic ? 1 : 0;
  ComputeProjection(r);
}

double CameraDistance(const SubplotRecord& r) {
  if (!r.is3d || r.orthographic) return kInfinity;
  double v[3];
  ViewDirection(r, v);
  return Length(v);
}

ProjectionFrame MakeProjectionFrame(const SubplotRecord& r) {
  ProjectionFrame f{};
  f.unit = std::exp2(std::ilogb(ScaledDiagonal(r)));
  for (int a = 0; a < 3; ++a) f.centre[a] = Middle(r, a) * r.inverseAspect[a] / f.unit;
  // The view terms are minus the dot products of the axes with the view's
  // origin: divided by the unit and moved to the centre.
  f.rightTerm = r.rightTerm / f.unit + Dot(r.rightAxis, f.centre);
  f.upTerm = r.upTerm / f.unit + Dot(r.trueUp, f.centre);
  f.plainDepthTerm = r.depthTerm / f.unit;
  f.depthTerm = f.plainDepthTerm + Dot(r.backAxis, f.centre);
  return f;
}

double GetViewAngle(const SubplotRecord& r) {
  if (!r.is3d || r.orthographic) return 0;
  double width = 0;
  double height = 0;
  UsableSize(r, &width, &height);
  const double h = std::min(width, height) / 2;
  return 2 * std::atan(h / r.xFactor) * 180 / M_PI;
}

void SetViewAngle(SubplotRecord* r, double degrees) {
  constexpr double kSmallestAngle = 1.4901161193847656e-08;  // the root of the double epsilon
  if (!(degrees > kSmallestAngle)) {
    SetOrthographic(r, true);
    return;
  }
  SetOrthographic(r, false);
  const double current = GetViewAngle(*r) * M_PI / 180;
  const double wanted = degrees * M_PI / 180;
  const double k = std::tan(current / 2) / std::tan(wanted / 2);
  if (k > 0 && std::isfinite(k)) r->zoom *= k;
  r->viewFlags &= ~kViewAutoZoom;
  ComputeProjection(r);
}

void RotationMatrix(const double* axis, double angle, double m[9]) {
  double u[3] = {axis[0], axis[1], axis[2]};
  if (!Normalise(u)) Set3(u, 0, 0, 1);
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  const double t = 1 - c;
  m[0] = c + u[0] * u[0] * t;
  m[1] = u[0] * u[1] * t - u[2] * s;
  m[2] = u[0] * u[2] * t + u[1] * s;
  m[3] = u[1] * u[0] * t + u[2] * s;
  m[4] = c + u[1] * u[1] * t;
  m[5] = u[1] * u[2] * t - u[0] * s;
  m[6] = u[2] * u[0] * t - u[1] * s;
  m[7] = u[2] * u[1] * t + u[0] * s;
  m[8] = c + u[2] * u[2] * t;
}

void MatVec3(const double m[9], const double* v, double out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = m[3 * i] * v[0] + m[3 * i + 1] * v[1] + m[3 * i + 2] * v[2];
}

void GetViewFlags(const SubplotRecord& r, bool* autoTarget, bool* autoPosition, bool* autoUp,
                  bool* perspective) {
  *autoTarget = (r.viewFlags & kViewAutoTarget) != 0;
  *autoPosition = (r.viewFlags & kViewAutoPosition) != 0;
  *autoUp = (r.viewFlags & kViewAutoUp) != 0;
  *perspective = IsPerspective(r);
}

namespace {
void SetViewFlag(SubplotRecord* r, uint32_t flag, bool on) {
  r->viewFlags = on ? r->viewFlags | flag : r->viewFlags & ~flag;
}
}  // namespace

void SetAutoTarget(SubplotRecord* r, bool on) {
  SetViewFlag(r, kViewAutoTarget, on);
}
void SetAutoPosition(SubplotRecord* r, bool on) {
  SetViewFlag(r, kViewAutoPosition, on);
}
void SetAutoUp(SubplotRecord* r, bool on) {
  SetViewFlag(r, kViewAutoUp, on);
}

}  // namespace vke
