// The control-design plot natives' frame: from the native-call context to
// the capture buffer and subplot, or to no figure at all for a computation.
#include "app/control_native_frame.hpp"

#include "app/instances.hpp"
#include "app/plot_native_frame.hpp"

namespace vke {

namespace {

// The figure of the running draw handler, or, when none is being drawn and
// the native computes alone, none (a null target); 400 otherwise. A figure
// without room is no missing figure: its shortage is the call's.
ErrCode FindFigure(uintptr_t option, bool computes, NativeCallContext** call, PlotTarget* target,
                   PlotTarget** figure) {
  const ErrCode e = FindPlotTarget(option, call, target);
  *figure = e == kOk ? target : nullptr;
  if (e == kOk || (computes && !IsEngineMemoryCode(e))) return kOk;
  return e;
}

// Success of a call that drew records the change of the figure.
ErrCode Drew(NativeCallContext* call, ErrCode e, bool drew) {
  if (e == kOk && drew && call != nullptr) call->flags |= kCallFlagDrew;
  return e;
}

// The natives that draw only: a figure is needed whatever the outputs.
template <typename Impl>
ErrCode RunDrawingNative(uintptr_t option, int32_t nargout, Impl impl) {
  NativeCallContext* call;
  PlotTarget target;
  if (ErrCode e = FindPlotTarget(option, &call, &target)) return e;
  const uint32_t before = *target.used;
  return Drew(call, TakeBackOnShortage(&target, before, impl(target)), nargout < 1);
}

// The commands a figure holds so far (none without a figure).
uint32_t UsedOf(const PlotTarget* figure) {
  return figure ? *figure->used : 0;
}

}  // namespace

ErrCode RunResponseNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option,
                          const ResponseNativeRow& row) {
  NativeCallContext* call;
  PlotTarget target, *figure;
  if (ErrCode e = FindFigure(option, nargout >= 1, &call, &target, &figure)) return e;
  const uint32_t before = UsedOf(figure);
  const ErrCode e = AddResponsePlot(ctx, nargin, nargout, figure, row);
  return Drew(call, TakeBackOnShortage(figure, before, e), nargout < 1);
}

ErrCode HstepNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  return RunDrawingNative(option, nargout, [&](PlotTarget& target) {
    return AddHstepPlot(ctx, nargin, target, &HstepCurve);
  });
}

namespace {

ErrCode RunLsimNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option,
                      bool discrete) {
  NativeCallContext* call;
  PlotTarget target, *figure;
  if (ErrCode e = FindFigure(option, nargout >= 1, &call, &target, &figure)) return e;
  const uint32_t before = UsedOf(figure);
  const ErrCode e = AddLsimPlot(ctx, nargin, nargout, figure, discrete, &LsimCurve);
  return Drew(call, TakeBackOnShortage(figure, before, e), nargout < 1);
}

ErrCode RunInitialNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option,
                         bool discrete) {
  return RunDrawingNative(option, nargout, [&](PlotTarget& target) {
    return AddInitialPlot(ctx, nargin, nargout, target, discrete, &ImpulseResponseCurve);
  });
}

}  // namespace

ErrCode LsimNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  return RunLsimNative(ctx, nargin, nargout, option, false);
}

ErrCode DlsimNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  return RunLsimNative(ctx, nargin, nargout, option, true);
}

ErrCode InitialNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  return RunInitialNative(ctx, nargin, nargout, option, false);
}

ErrCode DinitialNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  return RunInitialNative(ctx, nargin, nargout, option, true);
}

ErrCode PlotRootsNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  return RunDrawingNative(option, nargout,
                          [&](PlotTarget& target) { return AddRootsPlot(ctx, nargin, target); });
}

ErrCode ErlocusNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  return RunDrawingNative(
      option, nargout, [&](PlotTarget& target) { return AddErlocusObject(ctx, nargin, target); });
}

ErrCode RunGridNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option,
                      DesignGrid grid) {
  NativeCallContext* call;
  PlotTarget target;
  if (ErrCode e = FindPlotTarget(option, &call, &target)) return e;
  const InstanceRecord* instance =
      FindInstance(call->Block(), static_cast<int32_t>(call->instanceId));
  const PlotStyle* style = &instance->figure.styles[kFigureStyleGrid];
  const uint32_t before = *target.used;
  const ErrCode e = AddGridObject(ctx, nargin, target, DesignGridRowOf(grid), style);
  return Drew(call, TakeBackOnShortage(&target, before, e), true);
}

}  // namespace vke
