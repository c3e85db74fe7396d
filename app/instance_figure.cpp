// The instance side of the figure operations.
#include "app/instance_figure.hpp"

#include "app/draw_cycle.hpp"
#include "app/element_list.hpp"
#include "app/figure_variables.hpp"
#include "app/handler_elements.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/plot_properties.hpp"
#include "app/undo_buffer.hpp"
#include "compiler/compile_calls.hpp"
#include "engine/frames/calls.hpp"
#include "engine/values/values.hpp"

namespace vke {

bool InstanceFigureHost::Initialised() {
  const InstanceRecord* r = FindInstance(block(), id_);
  return r && r->initialised;
}

ElementListView InstanceFigureHost::Elements() {
  uint32_t start = 0;
  const InstanceRecord* r = FindInstance(block(), id_);
  if (FindInstanceStart(block(), id_, &start)) return BlockElements(block(), 0, kNoLanguage);
  return BlockElements(block(), start, r ? r->currentLanguage : kNoLanguage);
}

ErrCode InstanceFigureHost::ResolveHandler(int32_t descriptor) {
  const ElementListView list = Elements();
  HandlerDescriptor d;
  if (descriptor < 0 || !ReadHandlerDescriptor(list, list.instanceStart + descriptor, &d))
    return kKvUndefElement;
  if (d.function < 0) return kOk;
  const char* name;
  int32_t length;
  if (ErrCode e = FindVariableSlot(block()->NameArea(), d.function, &name, &length)) return e;
  // Looked up from the instance's code, as its handlers are called.
  int32_t maxIn, maxOut;
  uint8_t varargin, varargout;
  return ResolveFunctionInScope(block()->Engine(), name, length,
                                static_cast<int32_t>(GetInstanceHeaderWord(block(), id_)), &maxIn,
                                &maxOut, &varargin, &varargout);
}

ErrCode InstanceFigureHost::PushUndoVersion() {
  return vke::PushUndoVersion(block()->UndoArea(), id_);
}

ErrCode InstanceFigureHost::ClearPlotProperties(int32_t subplot) {
  EngineContext* ctx = block()->Engine();
  if (ErrCode e = PushEmptyMatrix(ctx)) return e;
  // A store that fails leaves its value on top: it goes, so that the stack
  // is as it was.
  const ErrCode e = GetPlotProperties(block(), id_, subplot);
  if (e) Drop(ctx);
  return e;
}

ErrCode InstanceFigureHost::RunDrawHandlers() {
  return vke::RunDrawHandlers(slot_, id_);
}

ErrCode InstanceFigureHost::SaveFigureState() {
  return vke::SaveFigureState(block(), id_);
}

ErrCode InstanceFigureHost::RunResizeHandlers() {
  HandlerRequest request;
  request.kind = kElemResize;
  for (int32_t at = -1; FindElement(block(), id_, &at, kElemResize) == kOk;) {
    if (ErrCode e = RunElementHandler(slot_, id_, at, request)) return e;
  }
  return kOk;
}

}  // namespace vke
