// Reset Data, closing an instance, and its instance-wide code.
#include "app/reset_data.hpp"

#include "app/draw_cycle.hpp"
#include "app/errors.hpp"
#include "app/handler_elements.hpp"
#include "app/handler_runner_internal.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "app/startup_script.hpp"
#include "app/undo_buffer.hpp"
#include "compiler/compile.hpp"
#include "engine/code/function_table.hpp"
#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/calls.hpp"
#include "graphics/object_store.hpp"

namespace vke {

namespace {

bool HasElement(KVContextBlock* block, int32_t id, uint32_t kind, int32_t* at = nullptr) {
  int32_t pos = -1;
  if (FindElement(block, id, &pos, kind) != kOk) return false;
  if (at) *at = pos;
  return true;
}

// The request of the init and terminate handlers: no event, no object.
HandlerRequest FamilyRequest(uint32_t kind) {
  HandlerRequest r;
  r.kind = kind;
  r.fdValue = 1;
  return r;
}

// The layout of a reset instance: one subplot showing the first figure, and
// the user-interface word of kind 6.
ErrCode ResetLayout(KVContextBlock* block, int32_t id) {
  if (ErrCode e = ResetInstanceLayout(block, id, false)) return e;
  InstanceRecord* r = FindInstance(block, id);
  uint32_t start;
  FindInstanceStart(block, id, &start);
  int32_t at;
  if (HasElement(block, id, kElemFigure, &at)) {
    InstanceFigureHost host(block, id);
    if (ErrCode e =
            ResetSubplots(&r->figure, host, -1, -1, at - static_cast<int32_t>(start), false))
      return e;
  }
  uint32_t word;
  if (GetInstanceElement(block, id, kElemUiOptions, nullptr, &word) == kOk) r->figure.flags = word;
  return kOk;
}

// The init handlers, the drawing deleted and the start-up script.
ErrCode InitialiseInstance(KVContextBlock** slot, int32_t id) {
  InstanceRecord* r = FindInstance(*slot, id);
  r->figure.selection = 0;
  if (ErrCode e = ResetUndoSet((*slot)->UndoArea(), id)) return e;
  if (ErrCode e = ResetLayout(*slot, id)) return e;
  ErrCode e = RunElementsOfKind(slot, id, kElemInit, FamilyRequest(kElemInit));
  ObjectListDelete(ObjectList((*slot)->DataArea()), id);
  if (e) return e;
  int32_t at;
  if (!HasElement(*slot, id, kElemStartupScript, &at)) return kOk;
  ElementListView list;
  ElementRef script;
  std::string_view text;
  if (!InstanceElementAt(*slot, id, at, &list, &script) || !ElementText(list, script, 0, &text))
    return kKvUndefElement;
  return CompileHandlerWrapper(slot, id, text.data(), static_cast<int32_t>(text.size()));
}

// Command lines find the functions of the instance's library, as its
// handlers do: it becomes the most recently used library of theirs.
ErrCode UseInstanceLibrary(KVContextBlock* block, int32_t id) {
  EngineContext* ctx = block->Engine();
  const FunctionTableEntry* library =
      GetLibraryEntry(ctx, static_cast<int32_t>(GetInstanceHeaderWord(block, id)));
  if (!library) return kOk;
  const auto name = static_cast<int16_t>(library->info);
  int32_t commandLines;
  if (ErrCode e = CommandLineLibrary(ctx, &commandLines)) return e;
  return SetLibraryUseList(ctx, commandLines, &name, 1, "", 0);
}

// One run of the instance-wide code: 10040 when the instance has none. An
// instruction that runs out of room waits while the block grows and goes
// on, as in a handler.
ErrCode RunInstanceCodeOnce(KVContextBlock** slot, int32_t id) {
  KVContextBlock* block = *slot;
  uint32_t start;
  if (FindInstanceStart(block, id, &start)) return kKvUndefElement;
  ElementListView list = BlockElements(block, start, kNoLanguage);
  ElementRef e;
  std::string_view text;
  if (!ReadElementAt(list, start, &e) || !ReadElementAt(list, start + e.length, &e) ||
      e.kind != kElemInstanceCode || !ElementText(list, e, 0, &text))
    return kKvUndefElement;
  EngineContext* ctx = block->Engine();
  UnwindCallFrames(ctx, 0);
  const InstanceRecord* r = FindInstance(block, id);
  if (!r) return kKvNonexistentInstance;
  SetCurrentInstanceContext(&block->nativeCall, static_cast<uint32_t>(id), 1);
  block->capture.currentObject = r->figure.rows * r->figure.columns - 1;
  if (ErrCode e = UseInstanceLibrary(block, id)) return e;
  SavedCodePointer before;
  SaveCodePointer(ctx, &before);
  ErrCode rc = CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size()));
  if (rc == kStatusSuspended) rc = kOk;  // compiled and ready to run
  if (!rc) {
    const bool retry = ctx->memoryRetry != 0;
    SetMemoryRetry(ctx, true);
    const bool sliced = block->breakTest != nullptr;
    rc = RunEngineCode(slot, ExecuteBytecode(ctx, sliced ? 1 : 0), sliced, false);
    ctx = (*slot)->Engine();
    SetMemoryRetry(ctx, retry);
  }
  if (rc) AbandonRun(ctx, rc, before);
  return rc;
}

}  // namespace

ErrCode ResetInstanceData(KVContextBlock** slot, int32_t id) {
  BeginTopLevelAction((*slot)->Engine());
  InstanceRecord* r = FindInstance(*slot, id);
  if (!r) return kKvNonexistentInstance;
  if (HasInstanceWideCode(*slot, id)) {
    r->firstRun = 1;
    return ResetInstanceLayout(*slot, id, false);
  }
  if (r->initialised) RunInstanceCloseHandlers(slot, id);
  r = FindInstance(*slot, id);
  r->idleValue = r->idleValue2 = -1;
  r->idleState = kIdleDuringReset;
  const ErrCode e = InitialiseInstance(slot, id);
  r = FindInstance(*slot, id);
  r->changed = 1;  // every variable was set anew
  r->idleMode = kIdleModeNone;
  if (e) {
    r->idleState = kIdleOff;
    return e;
  }
  r->initialised = 1;
  r->idleState = HasElement(*slot, id, kElemIdle) ? kIdleOn : kIdleOff;
  return kOk;
}

ErrCode RunInstanceCloseHandlers(KVContextBlock** slot, int32_t id) {
  InstanceRecord* r = FindInstance(*slot, id);
  if (!r) return kKvNonexistentInstance;
  if (!r->initialised) return kOk;
  r->initialised = 0;
  r->idleState = kIdleOff;
  return RunElementsOfKind(slot, id, kElemTerminate, FamilyRequest(kElemTerminate));
}

ErrCode CloseInstance(KVContextBlock** slot, int32_t id) {
  const ErrCode e = RunInstanceCloseHandlers(slot, id);
  if (e == kKvNonexistentInstance) return e;
  RemoveInstanceElements(*slot, id);
  RemoveInstance(*slot, id);
  return e;
}

ErrCode RunInitHandler(KVContextBlock** slot, int32_t id) {
  if ((*slot)->handlerBusy) return kStatusNoPrint;
  (*slot)->handlerBusy = 1;
  // Each attempt draws into the capture as the first found it.
  const uint32_t collected = (*slot)->capture.used;
  const ErrCode e = RunAttemptsGrowing(slot, id, true, [&](bool*) {
    (*slot)->capture.used = collected;
    return RunInstanceCodeOnce(slot, id);
  });
  ClearRunningHandler(*slot);
  (*slot)->handlerBusy = 0;
  return e;
}

}  // namespace vke
