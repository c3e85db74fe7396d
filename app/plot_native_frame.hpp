// The frame every plot native of the application library shares: it finds
// the figure context of the running handler (the instance, its current
// subplot and the open capture buffer), calls the implementation and, on
// success, records in the native-call context that the figure changed.
#pragma once

#include "app/block.hpp"
#include "engine/registry/native_record.hpp"
#include "graphics/contour.hpp"
#include "graphics/panel_natives.hpp"
#include "graphics/plot_natives.hpp"
#include "graphics/scene_natives.hpp"
#include "graphics/settings_natives.hpp"
#include "graphics/surface_natives.hpp"

namespace vke {

// The figure context of the running handler: its native-call context and
// the capture buffer with the current subplot; kErrBadContext when no draw handler of a
// subplot runs (no current subplot, no object open for drawing, or no such
// instance).
ErrCode FindPlotTarget(uintptr_t option, NativeCallContext** call, PlotTarget* target);

// A call that failed for room (with a figure) takes back the commands it
// wrote since the store held `before` doubles, so that, run again once the
// store has grown, it writes each of them once. Returns e.
ErrCode TakeBackOnShortage(PlotTarget* target, uint32_t before, ErrCode e);

// kErrBadContext as FindPlotTarget; otherwise the implementation's result, with bit
// kCallFlagDrew set on success when marksDrawn.
ErrCode RunPlotNative(EngineContext* ctx, int32_t nargin, uintptr_t option, PlotImplFn impl,
                      uint32_t flag, bool marksDrawn = true);

// The native of one table row: an implementation and its extra argument.
template <PlotImplFn Impl, uint32_t Flag = 0>
ErrCode PlotNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  return RunPlotNative(ctx, nargin, option, Impl, Flag);
}

// The control natives: as a plot native, except that every command written
// sets kCallFlagDrew, also when a later control of the call fails.
ErrCode RunControlNative(EngineContext* ctx, int32_t nargin, uintptr_t option, PlotImplFn impl,
                         uint32_t flag);

template <PlotImplFn Impl, uint32_t Flag = 0>
ErrCode ControlNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  return RunControlNative(ctx, nargin, option, Impl, Flag);
}

// The panel-layout natives (settabs, vertcontrols): outside a figure kErrBadContext;
// a shortage of the implementation's is handed on (what it wrote taken
// back); any other failure is ignored (its arguments are dropped), the flag
// is set and the call succeeds.
ErrCode RunPanelLayoutNative(EngineContext* ctx, int32_t nargin, uintptr_t option, PlotImplFn impl);

template <PlotImplFn Impl>
ErrCode PanelLayoutNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  return RunPanelLayoutNative(ctx, nargin, option, Impl);
}

// As PlotNative, but success leaves the result flags alone (sensor3).
template <PlotImplFn Impl>
ErrCode QuietPlotNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t option) {
  return RunPlotNative(ctx, nargin, option, Impl, 0, false);
}

// The setting natives, whose implementations see the output count: as a
// plot native, except that with QueryKeepsFlags a call without inputs (a
// query) leaves the flags alone.
ErrCode RunSettingNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option,
                         SettingImplFn impl, bool queryKeepsFlags);

template <SettingImplFn Impl, bool QueryKeepsFlags = false>
ErrCode SettingNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  return RunSettingNative(ctx, nargin, nargout, option, Impl, QueryKeepsFlags);
}

}  // namespace vke
