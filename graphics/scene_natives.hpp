// The natives that set up the 3-D scene of the current subplot: the lights
// (command 17), the surface material (command 16), draggable 3-D sensors
// (command 18), and the camera natives, which only read their arguments and
// move the subplot's camera. Each checks all its inputs before it writes or
// changes anything.
#pragma once

#include "graphics/plot_frame.hpp"
#include "graphics/settings_natives.hpp"

namespace vke {

// lightangle(az, el) or lightangle(az, el, colours): one light per angle
// pair (radians), white or coloured by the rows of colours (k x 3, 0 to 1).
ErrCode SetLightAngle(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// material(m): 1 to 5 values, the rest taking 0.8, 1, 3, 1.
ErrCode SetMaterial(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// sensor3(kind, data, id) or sensor3(kind1, data1, kind2, data2, id): kind
// "p" with 6 values or "s" with 3.
ErrCode AddSensor3Object(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);

// campos, camtarget and camup: a 3-element vector, "auto" or "manual";
// they give the field as a column.
ErrCode SetCameraPosition(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
ErrCode SetCameraTarget(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
ErrCode SetCameraUp(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
// camdolly([dx dy dz]): moves camera and target along the camera's right,
// up and back axes (scaled data units).
ErrCode DollyCamera(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
// camorbit(a1[, a2]), campan(a1, a2), camroll(a): angles in radians.
ErrCode OrbitCamera(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
ErrCode PanCamera(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
ErrCode RollCamera(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
// camzoom(k), k positive.
ErrCode ZoomCamera(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
// camva() or camva(degrees), 0 (orthographic) up to below 180.
ErrCode SetCameraViewAngle(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
// camproj() or camproj("orthographic" / "o" / "perspective" / "p").
ErrCode SetCameraProjection(EngineContext* ctx, int32_t nargin, int32_t nargout,
                            PlotTarget& target);

}  // namespace vke
