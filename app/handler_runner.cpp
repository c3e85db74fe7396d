// Running one handler: the busy guard and indicator, the make pass, the
// attempts with their growth retry, and the call of the handler's function.
#include "app/handler_runner.hpp"

#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>

#include "app/error_place.hpp"
#include "app/errors.hpp"
#include "app/handler_runner_internal.hpp"
#include "app/instances.hpp"
#include "app/languages.hpp"
#include "app/make_elements.hpp"
#include "app/name_buffer.hpp"
#include "app/natives/app_files.hpp"
#include "app/natives/app_natives.hpp"
#include "app/natives/embedded_files.hpp"
#include "app/runtime_native_table.hpp"
#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/memory_retry.hpp"
#include "engine/text/dump.hpp"
#include "engine/threads/threads.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr double kBusyDelay = 0.5;    // seconds before the indicator shows
constexpr double kBusyRefresh = 0.1;  // seconds between its refreshes
constexpr char kNoStepping[] = "Cannot step in KV handlers.";
constexpr char kLocalVariables[] = "Local variables:";

// ---- The busy indicator ----

bool HasBusyIndicator(const KVContextBlock* block) {
  return block->showBusy && block->timeFunction;
}

// The handler runner's timer: the second of the application's time records.
void* BusyTimer(KVContextBlock* block) {
  return block->timeRecords + block->timeRecordStride;
}

void StartBusyTimer(KVContextBlock* block) {
  if (!HasBusyIndicator(block)) return;
  block->timeFunction(BusyTimer(block), 0, 1);
  block->nextBusyTime = kBusyDelay;
}

void RefreshBusyIndicator(KVContextBlock* block) {
  if (!HasBusyIndicator(block)) return;
  const double elapsed = block->timeFunction(BusyTimer(block), 0, 0);
  if (elapsed < block->nextBusyTime) return;
  block->showBusy(1, elapsed, block->showBusyArg);
  block->nextBusyTime = elapsed + kBusyRefresh;
}

void StopBusyIndicator(KVContextBlock* block) {
  if (HasBusyIndicator(block) && block->nextBusyTime > kBusyDelay)
    block->showBusy(0, 0, block->showBusyArg);
}

// ---- Calling the function ----

void WriteErrorLine(EngineContext* ctx, const char* text) {
  WriteToFd(ctx, kFdErr, text, -1);
  WriteNewlineToFd(ctx, kFdErr);
}

// After the engine stopped for room (MemoryRetryPending): the block grows
// and the stop stays on for the next shortage; a block that cannot grow
// turns it off, so that the instruction, run again, fails as it would have
// and the failure takes its course. The engine then runs the instruction
// again where it stopped.
void AnswerMemoryStop(KVContextBlock** slot, ErrCode code) {
  // The block stays grown whatever becomes of the attempt, and so does the
  // report of its growth.
  KeepStdOutput(true);
  const bool grew = ExpandMemory(slot, code);
  KeepStdOutput(false);
  // A block that cannot grow fails this request alone: a later one (after
  // a catch) asks again.
  if (grew)
    SetMemoryRetry((*slot)->Engine(), true);
  else
    DeclineMemoryRetry((*slot)->Engine());
}

// Calls the descriptor's function on the inputs on the stack, leaving its
// outputs there; a failure unwinds its frames. With growth allowed an
// instruction that runs out of room waits while the block grows and then
// goes on: the handler is not run again and says nothing of it.
ErrCode CallHandlerFunction(KVContextBlock** slot, const HandlerRequest& r,
                            const DescriptorCodes& codes, int32_t scope, uint8_t entry) {
  KVContextBlock* block = *slot;
  EngineContext* ctx = block->Engine();
  const char* slotName;
  int32_t length;
  if (ErrCode e = FindVariableSlot(block->NameArea(), codes.Function(), &slotName, &length))
    return e;
  char name[kNameSlotChars + 1];
  std::memcpy(name, slotName, static_cast<size_t>(length));
  name[length] = 0;
  SavedCodePointer before;
  SaveCodePointer(ctx, &before);
  const bool retry = ctx->memoryRetry != 0;
  SetMemoryRetry(ctx, r.allowGrowth);
  const auto inputs = static_cast<int32_t>(codes.Inputs());
  const auto outputs = static_cast<int32_t>(codes.Outputs());
  ErrCode e;
  if (block->breakTest) {
    e = CallFunctionByName(ctx, name, length, scope, inputs, outputs);
    if (e == kOk) e = kStatusSuspended;
    if (e != kStatusSuspended) {
      if (!ctx->hostReportsFailures) PrintError(ctx, e, false);
    } else {
      if (entry) MarkFrameAsEntry(ctx);
      e = RunEngineCode(slot, e, true, !r.nested);
    }
  } else {
    e = RunEngineCode(slot, RunCompiledFunction(ctx, name, scope, inputs, outputs, entry, 0), false,
                      false);
  }
  ctx = (*slot)->Engine();
  SetMemoryRetry(ctx, retry);
  if (e == kStatusDebug) {
    WriteErrorLine(ctx, kNoStepping);
    WriteErrorLine(ctx, kLocalVariables);
    ListVariablesForDebugger(ctx, kFdErr, false);
  }
  if (e) AbandonRun(ctx, e, before);
  return e;
}

// ---- One attempt ----

// Pushes the inputs in order; 10044 gives []. A failure to push is printed.
ErrCode PushInputs(KVContextBlock* block, const HandlerRequest& r, const DescriptorCodes& codes) {
  EngineContext* ctx = block->Engine();
  for (uint32_t i = 0; i < codes.Inputs(); i++) {
    const int32_t code = codes.Input(i);
    ErrCode e = PushHandlerInput(block, r, code);
    if (e == kKvNonexistentUndoSet) e = PushEmptyMatrix(ctx);
    if (e == kErrStackOverflow || e == kErrDataOverflow) {
      if (code != kVarXData && !ctx->hostReportsFailures) PrintError(ctx, e, false);
    }
    if (e) return e;
  }
  return kOk;
}

// Inputs, call and outputs, with the stack left as it was found. *called
// tells whether the function ran to its end: from then on the attempt is
// not made again, its outputs are stored in a block grown in place.
ErrCode RunAttempt(KVContextBlock** slot, const HandlerRequest& r, uint32_t start,
                   uint32_t collected, bool* called) {
  KVContextBlock* block = *slot;
  EngineContext* ctx = block->Engine();
  DescriptorCodes codes;
  if (!codes.Read(block, start, r.descriptor)) return kKvUndefElement;
  const auto scope = static_cast<int32_t>(GetInstanceHeaderWord(block, r.instance));
  block->capture.used = collected;
  const InstanceRecord* rec = FindInstance(block, r.instance);
  if (!rec) return kKvNonexistentInstance;
  const uint8_t entry = rec->entryOption;
  SetCurrentInstanceContext(&block->nativeCall, static_cast<uint32_t>(r.instance), 0);
  block->capture.currentObject = r.objectId;
  block->handlerKind = r.kind;

  const int32_t base = GetFrameEntryCount(ctx);
  ErrCode e = PushInputs(block, r, codes);
  if (!e && codes.Function() >= 0) {
    e = CallHandlerFunction(slot, r, codes, scope, entry);
    // The call may have grown the block: the list and the engine moved, the
    // descriptor kept its place in the list.
    block = *slot;
    ctx = block->Engine();
    codes.Read(block, start, r.descriptor);
  }
  if (r.event) {
    block->handledEventStamp = block->eventStamp;
    block->eventSubplot = r.objectId;
  }
  // Without a function the inputs are the results: output 1 takes the last
  // input. Fewer results than outputs (more outputs than inputs there) would
  // take entries that are not the handler's.
  if (!e && GetFrameEntryCount(ctx) - base < static_cast<int64_t>(codes.Outputs()))
    e = kErrTooManyArgout;
  *called = !e;
  if (!e) {
    if (r.dataWritten) *r.dataWritten = 0;
    e = StoreOutputsGrowing(slot, r, start, &codes);
    block = *slot;
    ctx = block->Engine();
    if (!e && !r.nested && codes.Outputs() > 0)
      e = InvalidateMakeOutputs(block, r.instance, r.descriptor, false);
  } else {
    if (codes.HasOutput(kVarCursor)) block->cursor = 0;
    if (IsHandlerBusyCode(block, e)) e = kOk;
  }
  const int32_t left = GetFrameEntryCount(ctx) - base;
  if (left > 0) Drop(ctx, left);
  return e;
}

// What an attempt leaves behind it outside the block: the threads it
// started, the files it opened and the text it wrote; and what cannot be
// taken back: the bytes it wrote to files, the dialogs it showed and the
// text that reached the sink.
struct AttemptMark {
  uint32_t threads;
  uint64_t files, embeddedFiles, output, fileWrites, dialogs;
};

AttemptMark MarkAttempt(KVContextBlock* block) {
  return {block->Engine()->nextThreadId, CountAppFileOpens(),  CountEmbeddedFileOpens(),
          StdOutputPosition(),           CountAppFileWrites(), CountDialogsAsked()};
}

// A failed attempt that wrote to a file, asked the user or printed what
// was sent on is not made again: its shortage is its error.
bool CanRunAgain(const AttemptMark& mark) {
  return CountAppFileWrites() == mark.fileWrites && CountDialogsAsked() == mark.dialogs &&
         !StdOutputSentSince(mark.output);
}

// Ends what the failed attempt left, so that the next one starts afresh;
// its text ended at `written` (the growth's report came after it).
void UndoAttempt(KVContextBlock* block, const AttemptMark& mark, uint64_t written) {
  EngineContext* ctx = block->Engine();
  DropStdOutput(mark.output, written, mark.threads, ctx->nextThreadId);
  KillThreadsSince(ctx, mark.threads);
  CloseAppFilesOpenedAfter(mark.files);
  CloseEmbeddedFilesOpenedAfter(mark.embeddedFiles);
}

// The instance's figure as the first attempt found it (its layout, scales
// and cameras), so that each attempt made again starts from it: a setting
// that turns the camera by an angle turns it once.
class FigureSeen {
 public:
  FigureSeen(KVContextBlock* block, int32_t instance) {
    static_assert(std::is_trivially_copyable_v<FigureState>);
    if (const InstanceRecord* r = FindInstance(block, instance))
      seen_ = std::make_unique<FigureState>(r->figure);
  }
  void Restore(KVContextBlock* block, int32_t instance) const {
    InstanceRecord* r = FindInstance(block, instance);
    if (seen_ && r) r->figure = *seen_;
  }

 private:
  std::unique_ptr<FigureState> seen_;
};

// The attempts of a handler's run: again in a grown block after a memory
// failure that the engine could not wait out in place.
ErrCode RunAttempts(KVContextBlock** slot, const HandlerRequest& r) {
  const uint32_t collected = (*slot)->capture.used;
  const ErrCode e = RunAttemptsGrowing(slot, r.instance, r.allowGrowth, [&](bool* called) {
    uint32_t start;
    if (ErrCode found = FindInstanceStart(*slot, r.instance, &start)) return found;
    return RunAttempt(slot, r, start, collected, called);
  });
  ClearRunningHandler(*slot);
  return e;
}

}  // namespace

ErrCode RunAttemptsGrowing(KVContextBlock** slot, int32_t instance, bool allowGrowth,
                           const std::function<ErrCode(bool* final)>& attempt) {
  if (!allowGrowth) {
    bool final = false;
    return attempt(&final);
  }
  HoldStdOutput();
  const FigureSeen seen(*slot, instance);
  ErrCode e;
  for (;;) {
    const AttemptMark mark = MarkAttempt(*slot);
    bool final = false;
    e = attempt(&final);
    const uint64_t written = StdOutputPosition();
    if (final || !IsMemoryCode(e) || !CanRunAgain(mark) || !ExpandMemory(slot, e)) break;
    UndoAttempt(*slot, mark, written);
    seen.Restore(*slot, instance);
  }
  ReleaseStdOutput();
  return e;
}

void ClearRunningHandler(KVContextBlock* block) {
  block->nativeCall.instanceId = 0;
  block->nativeCall.flag = 0;
  block->capture.currentObject = -1;
  block->handlerKind = 0;
}

void AbandonRun(EngineContext* ctx, ErrCode code, const SavedCodePointer& before) {
  if (code == kStatusDebug) {
    // No frame is left to step in: the stop is over.
    UnwindCallFrames(ctx, 0);
    ClearErrorLocation(ctx);
  } else {
    UnwindCallFrames(ctx, -1);
  }
  RestoreCodePointer(ctx, &before);
}

ErrCode RunEngineCode(KVContextBlock** slot, ErrCode e, bool sliced, bool showBusy) {
  for (;;) {
    EngineContext* ctx = (*slot)->Engine();
    if (MemoryRetryPending(ctx)) {
      AnswerMemoryStop(slot, e);
    } else if (!IsWorkerFailure(ctx, e)) {
      if (e == kStatusQuit) return kStatusNoPrint;
      if (e != kStatusSuspended || !sliced) return e;
      KVContextBlock* block = *slot;
      if (block->breakTest(block->breakTestArg)) {
        SetErrorLocation(ctx, kStatusSuspended, 0);
        PrintError(ctx, kStatusSuspended, false);
        return kStatusSuspended;
      }
      if (showBusy) RefreshBusyIndicator(block);
    }
    e = ExecuteBytecode((*slot)->Engine(), sliced ? 1 : 0);
  }
}

bool DescriptorCodes::Read(KVContextBlock* block, uint32_t start, int32_t offset) {
  list_ = BlockElements(block, start, kNoLanguage);
  return offset >= 0 && ReadHandlerDescriptor(list_, start + static_cast<uint32_t>(offset), &d_);
}

int32_t DescriptorCodes::Code(uint32_t i) const {
  return Load<int32_t>(list_.words + 4 * (size_t{d_.codes} + i));
}

bool DescriptorCodes::HasOutput(int32_t code, uint32_t from) const {
  for (uint32_t i = from; i < d_.outputs; i++)
    if (Output(i) == code) return true;
  return false;
}

bool IsHandlerBusyCode(KVContextBlock* block, ErrCode code) {
  return code == kStatusNoPrint && (block->nativeCall.flags & kCallFlagQuietCancel) != 0;
}

ErrCode TakeHandlerFailure(KVContextBlock* block) {
  const ErrCode e = block->handlerFailure;
  block->handlerFailure = kOk;
  return e;
}

namespace {

bool g_failuresReported = false;  // SetHandlerFailuresReported

// While a top-level run lasts, the engine leaves its failures to the host
// when the host reports them (the block may move meanwhile).
class FailuresLeftToHost {
 public:
  explicit FailuresLeftToHost(KVContextBlock** slot)
      : slot_(slot), was_((*slot)->Engine()->hostReportsFailures) {
    (*slot)->Engine()->hostReportsFailures = g_failuresReported ? 1 : was_;
  }
  ~FailuresLeftToHost() { (*slot_)->Engine()->hostReportsFailures = was_; }
  FailuresLeftToHost(const FailuresLeftToHost&) = delete;
  FailuresLeftToHost& operator=(const FailuresLeftToHost&) = delete;

 private:
  KVContextBlock** slot_;
  uint8_t was_;
};

// A failure of a top-level run: kept for the host, the first since it took
// the last, and its text as it reads now.
ErrCode NoteFailure(KVContextBlock* block, ErrCode e) {
  if (e == kOk) return e;
  if (block->handlerFailure == kOk) block->handlerFailure = e;
  KeepFailureText(block, e);
  return e;
}

int32_t CurrentLanguageOf(KVContextBlock* block, int32_t id) {
  const InstanceRecord* r = FindInstance(block, id);
  return r ? r->currentLanguage : kNoLanguage;
}

// A handler that made another language current ("kvcurrentlanguage") has
// the new language's init handlers run after it, their values stored
// beside its own; a handler that failed leaves the language it found.
// Init handlers that switch again start no further round.
ErrCode FinishLanguageSwitch(KVContextBlock** slot, const HandlerRequest& request, int32_t before,
                             ErrCode e) {
  if (request.kind == kElemLanguageInit || CurrentLanguageOf(*slot, request.instance) == before)
    return e;
  if (e) {
    if (InstanceRecord* r = FindInstance(*slot, request.instance)) r->currentLanguage = before;
    return e;
  }
  int32_t ran = 0;
  return RunLanguageInitHandlers(slot, request.instance, &ran);
}

}  // namespace

void SetHandlerFailuresReported(bool reported) {
  g_failuresReported = reported;
}

ErrCode RunHandler(KVContextBlock** slot, const HandlerRequest& request) {
  const int32_t language = CurrentLanguageOf(*slot, request.instance);
  std::optional<FailuresLeftToHost> leftToHost;
  if (!request.nested) {
    leftToHost.emplace(slot);
    // A request while a handler runs changes nothing: not the timer, not the
    // variables through a make pass.
    if ((*slot)->handlerBusy) return kStatusNoPrint;
    // Its own error's line alone; the kept text of a failure earlier in the
    // same action stays for the action's report.
    ClearErrorLocation((*slot)->Engine());
    StartBusyTimer(*slot);
    const ErrCode e = RunWithGrowth(slot, [&](KVContextBlock*) {
      return RunPendingMakeHandlers(slot, request.instance, request.descriptor, request.previous,
                                    request.allowGrowth);
    });
    if (e) {
      StopBusyIndicator(*slot);
      return NoteFailure(*slot, e);
    }
    (*slot)->handlerBusy = 1;
  }
  ErrCode e = RunAttempts(slot, request);
  if (!request.nested) {
    (*slot)->handlerBusy = 0;
    StopBusyIndicator(*slot);
    e = FinishLanguageSwitch(slot, request, language, e);
    NoteFailure(*slot, e);
  }
  return e;
}

}  // namespace vke
