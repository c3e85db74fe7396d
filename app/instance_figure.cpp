// The instance side of the figure operations.
#include "app/instance_figure.hpp"

#include "app/element_list.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "engine/calls.hpp"

namespace vke {

bool InstanceFigureHost::Initialised() {
  const InstanceRecord* r = FindInstance(block_, id_);
  return r && r->initialised;
}

ElementListView InstanceFigureHost::Elements() {
  uint32_t start = 0;
  const InstanceRecord* r = FindInstance(block_, id_);
  if (FindInstanceStart(block_, id_, &start)) return BlockElements(block_, 0, kNoLanguage);
  return BlockElements(block_, start, r ? r->currentLanguage : kNoLanguage);
}

ErrCode InstanceFigureHost::ResolveHandler(int32_t descriptor) {
  const ElementListView list = Elements();
  HandlerDescriptor d;
  if (descriptor < 0 || !ReadHandlerDescriptor(list, list.instanceStart + descriptor, &d))
    return kKvUndefElement;
  if (d.function < 0) return kOk;
  const char* name;
  int32_t length;
  if (ErrCode e = FindVariableSlot(block_->NameArea(), d.function, &name, &length)) return e;
  int32_t maxIn, maxOut;
  uint8_t varargin, varargout;
  return ResolveFunctionName(block_->Engine(), name, length, nullptr, 0, &maxIn, &maxOut, &varargin,
                             &varargout);
}

ErrCode InstanceFigureHost::PushUndoVersion() {
  return vke::PushUndoVersion(block_->UndoArea(), id_);
}

ErrCode InstanceFigureHost::ClearPlotProperties(int32_t) {
  return kErrNotSupported;
}

ErrCode InstanceFigureHost::RunDrawHandlers() {
  return kErrNotSupported;
}

ErrCode InstanceFigureHost::SaveFigureState() {
  return kErrNotSupported;
}

ErrCode InstanceFigureHost::RunResizeHandlers() {
  return kErrNotSupported;
}

}  // namespace vke
