// The 3-D scene natives: lightangle, material, sensor3 and the camera.
#include "graphics/scene_natives.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "graphics/camera.hpp"
#include "graphics/setting_args.hpp"

namespace vke {
namespace {

// The light of lightangle without angles (radians).
constexpr double kDefaultAzimuth = 4;
constexpr double kDefaultElevation = 1;
constexpr double kLightDoubles = 6;  // direction and colour

constexpr double kMaterialDefaults[5] = {0, 0.8, 1, 3, 1};

// Sensor kinds: the first character of the kind text and the data count.
struct SensorKind {
  char letter;
  int32_t values;
};
constexpr SensorKind kSensorKinds[] = {
    {'p', 6},  // a point with its drag plane
    {'s', 3},  // a point
};
constexpr double kSingleSensor = 3;  // the part of a sensor given alone

bool AllFinite(const NumericView& v) {
  for (int64_t i = 0; i < v.shape.count; ++i) {
    if (!std::isfinite(ArrayElement(v, i))) return false;
  }
  return true;
}

// A finite real scalar at `depth`.
ErrCode ReadAngle(EngineContext* ctx, int32_t depth, double* out) {
  NumericView v;
  if (ErrCode e = ReadRealArray(ctx, depth, &v)) return e;
  if (v.shape.count != 1) return kErrNonScalarArg;
  *out = ArrayElement(v, 0);
  return std::isfinite(*out) ? kOk : kErrOutOfRangeArg;
}

// A finite real 3-element vector at `depth`.
ErrCode ReadVector3(EngineContext* ctx, int32_t depth, double out[3]) {
  NumericView v;
  if (ErrCode e = ReadRealArray(ctx, depth, &v)) return e;
  if (v.shape.count != 3) return kErrBadSize;
  if (!AllFinite(v)) return kErrOutOfRangeArg;
  for (int i = 0; i < 3; ++i) out[i] = ArrayElement(v, i);
  return kOk;
}

// ---- lightangle ----

struct LightColours {
  NumericView rgb;
  int32_t rows = 0;  // 0: every light white
};

ErrCode ReadLightColours(EngineContext* ctx, int32_t depth, LightColours* out) {
  if (ErrCode e = ReadRealArray(ctx, depth, &out->rgb)) return e;
  if (out->rgb.shape.count == 0) return kOk;
  if (out->rgb.shape.dims[1] != 3) return kErrBadSize;
  for (int64_t i = 0; i < out->rgb.shape.count; ++i) {
    const double c = ArrayElement(out->rgb, i);
    if (!(c >= 0 && c <= 1)) return kErrOutOfRangeArg;
  }
  out->rows = out->rgb.shape.dims[0];
  return kOk;
}

// Colour component c of light i: its row, the only row, or white.
double LightColour(const LightColours& colours, int32_t i, int c) {
  if (colours.rows == 0) return 1;
  const int32_t row = colours.rows == 1 ? 0 : i;
  return ArrayElement(colours.rgb, int64_t{row} * 3 + c);
}

// ---- camera ----

enum class CameraField { kPosition, kTarget, kUp };

double* FieldOf(SubplotRecord* s, CameraField field) {
  switch (field) {
    case CameraField::kPosition:
      return s->cameraPosition;
    case CameraField::kTarget:
      return s->cameraTarget;
    case CameraField::kUp:
      break;
  }
  return s->cameraUp;
}

uint32_t AutoFlagOf(CameraField field) {
  switch (field) {
    case CameraField::kPosition:
      return kViewAutoPosition;
    case CameraField::kTarget:
      return kViewAutoTarget;
    case CameraField::kUp:
      break;
  }
  return kViewAutoUp;
}

// A vector, "auto" or "manual" for one camera field; a set position or
// target may not put a perspective camera on its target.
ErrCode ApplyCameraField(EngineContext* ctx, SubplotRecord* s, CameraField field) {
  const uint32_t flag = AutoFlagOf(field);
  if (IsCharArray(ctx, 0)) {
    return WithTextArg(ctx, 0, [&](const char* text, int32_t length) {
      const std::string_view word(text, static_cast<size_t>(length));
      if (word == "auto") {
        s->viewFlags |= flag;
      } else if (word == "manual") {
        s->viewFlags &= ~flag;
      } else {
        return kErrUnknownOpt;
      }
      return kOk;
    });
  }
  double v[3];
  if (ErrCode e = ReadVector3(ctx, 0, v)) return e;
  if (field != CameraField::kUp && !s->orthographic) {
    const double* other = field == CameraField::kPosition ? s->cameraTarget : s->cameraPosition;
    if (std::equal(v, v + 3, other)) return kErrOutOfRangeArg;
  }
  std::copy_n(v, 3, FieldOf(s, field));
  s->viewFlags &= ~flag;
  return kOk;
}

ErrCode CameraVectorNative(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& t,
                           CameraField field) {
  SubplotRecord* s = t.subplot;
  if (nargin == 1) {
    if (ErrCode e = ApplyCameraField(ctx, s, field)) return e;
    ComputeProjection(s);
    if (ErrCode e = FinishPlotCall(ctx, nargin)) return e;
  }
  if (!AnswersQuery(nargin, nargout)) return kOk;
  return PushMatrixValue(ctx, FieldOf(s, field), 3, 1);
}

}  // namespace

ErrCode SetLightAngle(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  if (nargin < 2) return kErrTooFewArgin;
  if (nargin > 3) return kErrTooManyArgin;
  LightColours colours;
  if (nargin == 3) {
    if (ErrCode e = ReadLightColours(ctx, 0, &colours)) return e;
  }
  NumericView az;
  NumericView el;
  if (ErrCode e = ReadRealArray(ctx, ArgDepth(nargin, 1), &el)) return e;
  if (ErrCode e = ReadRealArray(ctx, ArgDepth(nargin, 0), &az)) return e;
  const int64_t count = el.shape.count;
  if (count > 1 && colours.rows > 1 && count != colours.rows) return kErrIncompSize;
  if (az.shape.count != count) return kErrIncompSize;
  // A light without a direction would shade every face with NaN.
  if (!AllFinite(az) || !AllFinite(el)) return kErrOutOfRangeArg;
  const int64_t lights = std::max<int64_t>(count, 1);
  if (ErrCode e = ReservePlotRoom(t, RoomFor(lights, kLightDoubles, kCommandHeaderDoubles))) {
    return e;
  }
  CommandWriter w(t, kCmdLight, -1, -1, 0, 0);
  for (int64_t i = 0; i < lights; ++i) {
    const double a = count == 0 ? kDefaultAzimuth : ArrayElement(az, i);
    const double e = count == 0 ? kDefaultElevation : ArrayElement(el, i);
    w.Put(std::cos(a) * std::cos(e));
    w.Put(std::sin(a) * std::cos(e));
    w.Put(std::sin(e));
    for (int c = 0; c < 3; ++c) w.Put(LightColour(colours, static_cast<int32_t>(i), c));
  }
  if (ErrCode e = w.Commit()) return e;
  return FinishPlotCall(ctx, nargin);
}

ErrCode SetMaterial(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  NumericView m;
  if (ErrCode e = ReadRealArray(ctx, 0, &m)) return e;
  if (m.shape.count < 1 || m.shape.count > 5) return kErrBadSize;
  if (ErrCode e = ReservePlotRoom(t, RoomFor(1, 5, kCommandHeaderDoubles))) return e;
  CommandWriter w(t, kCmdMaterial, -1, -1, 0, 0);
  for (int32_t i = 0; i < 5; ++i)
    w.Put(i < m.shape.count ? ArrayElement(m, i) : kMaterialDefaults[i]);
  if (ErrCode e = w.Commit()) return e;
  return FinishPlotCall(ctx, nargin);
}

namespace {

// One sensor command from the kind text at `depth` and the data below it.
ErrCode AppendSensor3Command(EngineContext* ctx, int32_t depth, int32_t id, double part,
                             PlotTarget& t) {
  const SensorKind* kind = nullptr;
  if (ErrCode e = WithTextArg(ctx, depth, [&](const char* text, int32_t length) {
        for (const SensorKind& k : kSensorKinds) {
          if (length > 0 && text[0] == k.letter) kind = &k;
        }
        return kind != nullptr ? kOk : kErrUnknownOpt;
      })) {
    return e;
  }
  NumericView data;
  if (ErrCode e = ReadRealArray(ctx, depth - 1, &data)) return e;
  if (data.shape.count != kind->values) return kErrBadSize;
  if (ErrCode e = ReservePlotRoom(t, RoomFor(1, kind->values, kCommandHeaderDoubles + 2))) {
    return e;
  }
  CommandWriter w(t, kCmdSensor3, id, 0, 0, 0);
  w.Put(kind->letter);
  w.Put(part);
  for (int32_t i = 0; i < kind->values; ++i) w.Put(ArrayElement(data, i));
  return w.Commit();
}

}  // namespace

ErrCode AddSensor3Object(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  if (nargin != 3 && nargin != 5) return nargin < 3 ? kErrTooFewArgin : kErrBadArg;
  int32_t id = 0;
  if (ErrCode e = ReadIdArg(ctx, 0, kErrNonScalarArg, &id)) return e;
  if (nargin == 3) {
    if (ErrCode e = AppendSensor3Command(ctx, 2, id, kSingleSensor, t)) return e;
  } else {
    if (ErrCode e = AppendSensor3Command(ctx, 4, id, 1, t)) return e;
    if (ErrCode e = AppendSensor3Command(ctx, 2, id, 2, t)) return e;
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode SetCameraPosition(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& t) {
  return CameraVectorNative(ctx, nargin, nargout, t, CameraField::kPosition);
}

ErrCode SetCameraTarget(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& t) {
  return CameraVectorNative(ctx, nargin, nargout, t, CameraField::kTarget);
}

ErrCode SetCameraUp(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& t) {
  return CameraVectorNative(ctx, nargin, nargout, t, CameraField::kUp);
}

ErrCode DollyCamera(EngineContext* ctx, int32_t nargin, int32_t, PlotTarget& t) {
  double d[3];
  if (ErrCode e = ReadVector3(ctx, 0, d)) return e;
  SubplotRecord* s = t.subplot;
  double move[3];
  for (int a = 0; a < 3; ++a) {
    move[a] = d[0] * s->rightAxis[a] + d[1] * s->trueUp[a] + d[2] * s->backAxis[a];
  }
  CameraDolly(s, move, false);
  return FinishPlotCall(ctx, nargin);
}

ErrCode OrbitCamera(EngineContext* ctx, int32_t nargin, int32_t, PlotTarget& t) {
  double a1 = 0;
  double a2 = 0;
  if (ErrCode e = ReadAngle(ctx, ArgDepth(nargin, 0), &a1)) return e;
  if (nargin > 1) {
    if (ErrCode e = ReadAngle(ctx, 0, &a2)) return e;
  }
  CameraOrbit(t.subplot, a1, a2);
  return FinishPlotCall(ctx, nargin);
}

ErrCode PanCamera(EngineContext* ctx, int32_t nargin, int32_t, PlotTarget& t) {
  double a1 = 0;
  double a2 = 0;
  if (ErrCode e = ReadAngle(ctx, 1, &a1)) return e;
  if (ErrCode e = ReadAngle(ctx, 0, &a2)) return e;
  CameraPan(t.subplot, a1, a2);
  return FinishPlotCall(ctx, nargin);
}

ErrCode RollCamera(EngineContext* ctx, int32_t nargin, int32_t, PlotTarget& t) {
  double a = 0;
  if (ErrCode e = ReadAngle(ctx, 0, &a)) return e;
  CameraRoll(t.subplot, a);
  return FinishPlotCall(ctx, nargin);
}

ErrCode ZoomCamera(EngineContext* ctx, int32_t nargin, int32_t, PlotTarget& t) {
  double k = 0;
  if (ErrCode e = ReadAngle(ctx, 0, &k)) return e;
  if (!(k > 0)) return kErrOutOfRangeArg;
  CameraZoom(t.subplot, k);
  return FinishPlotCall(ctx, nargin);
}

ErrCode SetCameraViewAngle(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& t) {
  SubplotRecord* s = t.subplot;
  if (nargin == 1) {
    double degrees = 0;
    if (ErrCode e = ReadAngle(ctx, 0, &degrees)) return e;
    if (!(degrees >= 0 && degrees < 180)) return kErrOutOfRangeArg;
    SetViewAngle(s, degrees);
    if (ErrCode e = FinishPlotCall(ctx, nargin)) return e;
  }
  if (!AnswersQuery(nargin, nargout)) return kOk;
  const double angle = GetViewAngle(*s);
  return PushRowValue(ctx, &angle, 1);
}

ErrCode SetCameraProjection(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& t) {
  SubplotRecord* s = t.subplot;
  if (nargin == 1) {
    bool orthographic = false;
    if (ErrCode e = WithTextArg(ctx, 0, [&](const char* text, int32_t length) {
          const std::string_view word(text, static_cast<size_t>(length));
          orthographic = word == "orthographic" || word == "o";
          return orthographic || word == "perspective" || word == "p" ? kOk : kErrUnknownOpt;
        })) {
      return e;
    }
    SetOrthographic(s, orthographic);
    if (ErrCode e = FinishPlotCall(ctx, nargin)) return e;
  }
  if (!AnswersQuery(nargin, nargout)) return kOk;
  const std::string_view name = s->orthographic ? "orthographic" : "perspective";
  return PushCString(ctx, static_cast<int32_t>(name.size()), name.data());
}

}  // namespace vke
