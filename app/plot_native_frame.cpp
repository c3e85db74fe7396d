// The plot natives' frame: from the native-call context to the capture
// buffer and the current subplot record.
#include "app/plot_native_frame.hpp"

#include "app/instances.hpp"
#include "engine/errors/errors.hpp"
#include "engine/room_requests.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {

ErrCode FindPlotTarget(uintptr_t option, NativeCallContext** call, PlotTarget* target) {
  *call = reinterpret_cast<NativeCallContext*>(option);
  if (*call == nullptr) return kErrBadContext;
  KVContextBlock* block = (*call)->Block();
  ObjectWriterState& writer = block->capture;
  // Commands go only into an object open for drawing: outside a draw
  // handler the buffer's positions may belong to a closed object.
  if (writer.currentObject < 0 || writer.currentObject >= kMaxSubplots || writer.id == -1)
    return kErrBadContext;
  // Each drawing native asks the figure store for room for its commands.
  if (RoomRefused(RoomKind::kFigures)) return kErrPlotOverflow;
  InstanceRecord* instance = FindInstance(block, static_cast<int32_t>((*call)->instanceId));
  if (instance == nullptr) return kErrBadContext;
  *target = PlotTarget{&instance->figure.subplots[writer.currentObject],
                       ObjectList(block->DataArea()).At(writer.start), writer.capacity,
                       &writer.used, writer.currentObject};
  return kOk;
}

ErrCode TakeBackOnShortage(PlotTarget* target, uint32_t before, ErrCode e) {
  if (target && IsEngineMemoryCode(e)) *target->used = before;
  return e;
}

ErrCode RunPlotNative(EngineContext* ctx, int32_t nargin, uintptr_t option, PlotImplFn impl,
                      uint32_t flag, bool marksDrawn) {
  NativeCallContext* call;
  PlotTarget target;
  if (ErrCode e = FindPlotTarget(option, &call, &target)) return e;
  const uint32_t before = *target.used;
  if (ErrCode e = impl(ctx, nargin, target, flag)) return TakeBackOnShortage(&target, before, e);
  if (marksDrawn) call->flags |= kCallFlagDrew;
  return kOk;
}

ErrCode RunControlNative(EngineContext* ctx, int32_t nargin, uintptr_t option, PlotImplFn impl,
                         uint32_t flag) {
  NativeCallContext* call;
  PlotTarget target;
  if (ErrCode e = FindPlotTarget(option, &call, &target)) return e;
  const uint32_t before = *target.used;
  const ErrCode e = impl(ctx, nargin, target, flag);
  if (*target.used != before) call->flags |= kCallFlagDrew;
  return TakeBackOnShortage(&target, before, e);
}

ErrCode RunPanelLayoutNative(EngineContext* ctx, int32_t nargin, uintptr_t option,
                             PlotImplFn impl) {
  NativeCallContext* call;
  PlotTarget target;
  if (ErrCode e = FindPlotTarget(option, &call, &target)) return e;
  const uint32_t before = *target.used;
  if (ErrCode e = impl(ctx, nargin, target, 0)) {
    // A shortage is handed on, so that the store grows and the handler
    // runs again; an argument the layout cannot use is passed over.
    if (IsEngineMemoryCode(e)) return TakeBackOnShortage(&target, before, e);
    Drop(ctx, nargin);
  }
  call->flags |= kCallFlagDrew;
  return kOk;
}

ErrCode RunSettingNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option,
                         SettingImplFn impl, bool queryKeepsFlags) {
  NativeCallContext* call;
  PlotTarget target;
  if (ErrCode e = FindPlotTarget(option, &call, &target)) return e;
  const uint32_t before = *target.used;
  if (ErrCode e = impl(ctx, nargin, nargout, target)) return TakeBackOnShortage(&target, before, e);
  if (nargin > 0 || !queryKeepsFlags) call->flags |= kCallFlagDrew;
  return kOk;
}

}  // namespace vke
