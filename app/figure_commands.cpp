// Figure commands that run handlers or step undo versions.
#include "app/figure_commands.hpp"

#include "app/draw_cycle.hpp"
#include "app/element_list.hpp"
#include "app/errors.hpp"
#include "app/figure_mouse.hpp"
#include "app/figure_variables.hpp"
#include "app/handler_elements.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "app/post_event.hpp"
#include "app/undo_buffer.hpp"
#include "engine/text/text.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/figure_menu.hpp"
#include "graphics/text_field_edit.hpp"

namespace vke {
namespace {

// Whether the key list of a key element names the key.
bool ListsKey(std::string_view keys, uint32_t key) {
  const auto* text = reinterpret_cast<const uint8_t*>(keys.data());
  const auto length = static_cast<int32_t>(keys.size());
  for (int32_t at = 0; at < length;) {
    uint16_t ch = 0;
    bool produced = false;
    const int32_t used = DecodeUtf8Char(text + at, length - at, &ch, &produced);
    if (produced && ch == key) return true;
    at += used > 0 ? used : 1;
  }
  return false;
}

// The key element that takes the key: the first that lists it, else the
// first that lists no key; -1 when none does.
int32_t FindKeyElement(KVContextBlock* block, int32_t id, uint32_t key) {
  uint32_t start = 0;
  if (FindInstanceStart(block, id, &start) != kOk) return -1;
  const InstanceRecord* r = FindInstance(block, id);
  const ElementListView list = BlockElements(block, start, r->currentLanguage);
  int32_t fallback = -1;
  for (int32_t at = -1; FindElement(block, id, &at, kElemKey) == kOk;) {
    ElementRef e;
    std::string_view keys;
    if (!ReadElementAt(list, static_cast<uint32_t>(at), &e) || !ElementText(list, e, 0, &keys)) {
      continue;
    }
    if (keys.empty()) {
      if (fallback < 0) fallback = at;
    } else if (ListsKey(keys, key)) {
      return at;
    }
  }
  return fallback;
}

// After a step of the undo buffer: the figure from its variables, drawn
// anew, and the handlers that follow a change.
ErrCode AfterUndoStep(KVContextBlock** slot, int32_t id) {
  RestoreFigureStateWithGrowth(slot, id);
  RunDrawHandlers(slot, id);
  RunPostEventHandlers(slot, id);
  return kStatusRepaint;
}

}  // namespace

ErrCode ChoosePlot(KVContextBlock** slot, int32_t id, int32_t plotId) {
  InstanceRecord* r = FindInstance(*slot, id);
  if (r == nullptr) return kKvNonexistentInstance;
  if (ErrCode e = InstanceFigureHost(slot, id).PushUndoVersion()) return e;
  // The plots reset clear their properties in the new version: without
  // room there the block grows and the change is made again.
  const ErrCode rc =
      ChangeFigureWithGrowth(slot, id, [id, plotId](KVContextBlock* block, FigureState* figure) {
        InstanceFigureHost host(block, id);
        return ChangeSubplotPlot(figure, host, plotId);
      });
  r = FindInstance(*slot, id);
  const FigureState& fig = r->figure;
  if (!fig.freeLayout && fig.rows == 1 && fig.columns == 1 &&
      fig.subplots[0].handlers[kHandlerDraw] < 0) {
    DeleteFigureObject(*slot, id);
  }
  RunDrawHandlers(slot, id);
  // Every route to a new plot (the Plots menu, the figure's keys) repaints.
  return rc == kOk ? kStatusRepaint : rc;
}

ErrCode HandleFigureKey(KVContextBlock** slot, int32_t id, uint32_t key, char* text, int32_t size,
                        int32_t* length) {
  BeginTopLevelAction((*slot)->Engine());
  const InstanceRecord* r = FindInstance(*slot, id);
  if (r == nullptr) return kKvNonexistentInstance;
  if (r->figure.editField >= 0) return TextFieldKey(slot, id, key, text, size, length);
  const int32_t at = FindKeyElement(*slot, id, key);
  if (at < 0) return FigureKeyCommand(slot, id, key);
  HandlerRequest request;
  request.kind = kElemKey;
  request.key = key;
  return RunActionAt(slot, id, at, request);
}

ErrCode FigureKeyCommand(KVContextBlock** slot, int32_t id, uint32_t key) {
  const InstanceRecord* r = FindInstance(*slot, id);
  if (r == nullptr) return kKvNonexistentInstance;
  if (key == kKeyBackspace || key == kKeyDelete) return ChoosePlot(slot, id, kRemovePlot);
  if (key != '+' && key != '-') return kKvUndefElement;
  InstanceFigureHost host(*slot, id);
  const int32_t plot = SteppedPlot(r->figure, host, key == '+' ? 1 : -1);
  return plot == kNoSubplot ? kOk : ChoosePlot(slot, id, plot);
}

ErrCode UndoFigureStep(KVContextBlock** slot, int32_t id) {
  BeginTopLevelAction((*slot)->Engine());
  if (FindInstance(*slot, id) == nullptr) return kKvNonexistentInstance;
  if (UndoSetStepBack((*slot)->UndoArea(), id) != kOk) return kOk;
  return AfterUndoStep(slot, id);
}

ErrCode RedoFigureStep(KVContextBlock** slot, int32_t id) {
  BeginTopLevelAction((*slot)->Engine());
  if (FindInstance(*slot, id) == nullptr) return kKvNonexistentInstance;
  if (UndoSetStepForward((*slot)->UndoArea(), id) != kOk) return kOk;
  return AfterUndoStep(slot, id);
}

bool CanUndoFigure(KVContextBlock* block, int32_t id) {
  return UndoSetCanStepBack(block->UndoArea(), id);
}

bool CanRedoFigure(KVContextBlock* block, int32_t id) {
  return UndoSetCanStepForward(block->UndoArea(), id);
}

ErrCode SelectAllSubplots(KVContextBlock* block, int32_t id, bool on) {
  InstanceRecord* r = FindInstance(block, id);
  if (r == nullptr) return kKvNonexistentInstance;
  FigureState& fig = r->figure;
  if (!FigureCommandAvailable(fig, 9)) return kOk;
  const int32_t n = ActiveSubplotCount(fig);
  const uint32_t all = n >= 32 ? ~0u : (1u << n) - 1;
  if (block->portFunctions == nullptr) {
    fig.selection = on ? all : 0;
    return kStatusRepaint;
  }
  return SetSubplotSelection(InstanceCanvas(block, r, block->portFunctions, block->portTarget),
                             on ? all : 0, true);
}

}  // namespace vke
