// Calls in and out of the loop: natives by global index (with the sandbox
// rule), calls of compiled functions and function values, returns with the
// call-back of the native that started a call, the host's entry
// RunCompiledFunction, the queue of pending calls, and generated code run as
// a function.
#include <algorithm>

#include "engine/builtin_hooks.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/loop/loop_internal.hpp"
#include "engine/memory_retry.hpp"
#include "engine/registry/registry.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

// A native record found by its global index.
struct NativeTarget {
  const NativeFunctionRecord* record = nullptr;
  uint32_t entry = 0;  // registry entry
  uint32_t index = 0;  // record within the entry's table
};

bool LocateNative(EngineContext* ctx, int32_t global, NativeTarget* t) {
  if (global < 0) return false;
  const LibraryRegistryEntry* reg = ctx->Registry();
  auto at = static_cast<uint32_t>(global);
  for (uint32_t i = 0; i < ctx->registryCount; i++) {
    if (at < reg[i].count) {
      *t = NativeTarget{&reg[i].table[at], i, at};
      return true;
    }
    at -= reg[i].count;
  }
  return false;
}

// A sandboxed frame may call only natives of a "!" library: the last library
// header before the record in its table decides.
bool InSwitchableLibrary(EngineContext* ctx, const NativeTarget& t) {
  const NativeFunctionRecord* table = ctx->Registry()[t.entry].table;
  for (uint32_t k = t.index; k-- > 0;)
    if (table[k].IsHeader()) return table[k].name[0] == '!';
  return false;
}

ErrCode CallRecord(EngineContext* ctx, const NativeTarget& t, int32_t inputs, int32_t outputs,
                   uint32_t continuation) {
  const NativeFunctionRecord* r = t.record;
  if (!r->function || r->IsHeader() || r->IsHook() || r->IsEnd()) return kErrNotSupported;
  const int32_t kind = r->kind < 0 ? -r->kind : r->kind;
  return InvokeNative(ctx, reinterpret_cast<NativeFn>(r->function), RecordUserData(ctx, r),
                      static_cast<int32_t>(t.entry) * 128 + kind + 6, continuation, inputs,
                      outputs);
}

bool HasObjectArgument(EngineContext* ctx, int32_t inputs) {
  // The inputs are almost always all there: no division to count them.
  const int32_t count = inputs > 0 && FrameHasEntries(ctx, inputs)
                            ? inputs
                            : std::min(inputs, GetFrameEntryCount(ctx));
  const uint32_t* w = ctx->DescWords() + ctx->descTop;
  for (int32_t d = 0; d < count; d++) {
    w -= 3;  // the entry at depth d
    const auto* v = reinterpret_cast<const ValueDescriptor*>(w);
    if (IsStructured(*v) && IsObjectKind(v->word)) return true;
  }
  return false;
}

// Pushes a saved call record {double n; the function value and n
// arguments as CopyEntryToBytes writes them} and sets up the call.
ErrCode CallSavedRecord(EngineContext* ctx, const uint8_t* record) {
  const double n = Load<double>(record);
  if (!(n >= 0 && n <= kNoMaximumCount)) return kErrIllegal;
  const auto count = static_cast<int32_t>(n);
  const uint8_t* p = record + 8;
  for (int32_t i = 0; i <= count; i++) {
    ErrCode e = PushEntryFromBytes(ctx, p);
    if (e) return e;
    p += 8ull * (3 + DescAt(ctx, 0)->size);
  }
  return CallFunctionValueWithArguments(ctx, count + 1, 0);
}

// GetCodePointer without its call where the code pointer lies in the code
// area, as it does after almost every call and return.
VKE_HOT_INLINE const int16_t* CodeAddress(EngineContext* ctx) {
  if (ctx->cpKind == kCodeArea && ctx->cpOffset < 2ull * ctx->codeSize) [[likely]]
    return reinterpret_cast<const int16_t*>(ctx->CodeBytes() + ctx->cpOffset);
  return GetCodePointer(ctx);
}

// The data units of `words` words of code followed by halt.
uint32_t FunctionCodeUnits(int32_t words) {
  return (2u * static_cast<uint32_t>(words + 1) + 7) / 8;
}

}  // namespace

ErrCode CallNativeByGlobalIndex(EngineContext* ctx, int32_t opcode, int32_t inputs, int32_t outputs,
                                uint32_t continuation) {
  NativeTarget t;
  if (!LocateNative(ctx, opcode - kFirstNativeOpcode, &t)) return kErrIllegal;
  return CallRecord(ctx, t, inputs, outputs, continuation);
}

int32_t CountCallBacksOf(EngineContext* ctx, const void* function) {
  int32_t count = 0;
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f)) {
    const uint32_t* w = FrameWords(ctx, f);
    const uint32_t callBack = w[kFwContinue];
    if (!callBack) continue;
    int32_t global = ContinuationNative(callBack);
    if (IsInstructionContinuation(callBack)) {
      // The native whose call instruction lies before the return position.
      const uint8_t* base = CodeAreaBase(ctx, w[kFwReturnKind]);
      const uint32_t offset = w[kFwReturnOffset];
      if (!base || offset < 2u * kNativeCallLength) continue;
      const auto* native = reinterpret_cast<const int16_t*>(base + offset) - kNativeCallLength;
      global = native[0] - kFirstNativeOpcode;
    }
    NativeTarget t;
    if (LocateNative(ctx, global, &t) && t.record->function == function) count++;
  }
  return count;
}

ErrCode CallNativeInstruction(LoopRun& run, const int16_t* at) {
  EngineContext* ctx = run.ctx;
  NativeTarget t;
  if (!LocateNative(ctx, at[0] - kFirstNativeOpcode, &t)) return kErrNotSupported;
  if (ctx->curFrame >= 0 && FrameWords(ctx, ctx->curFrame)[kFwEntry] &&
      !InSwitchableLibrary(ctx, t))
    return kErrSecViolation;
  if (t.record->kind > 0) return kErrWrongTypeOverload;
  // Code read from an image may claim inputs the frame does not hold: the
  // native would read entries below its frame.
  if (at[1] < 0 || at[1] > EntriesAboveFrame(ctx)) return kErrIllegal;
  // It may also give a native fewer or more inputs than the native reads.
  if (!t.record->AdmitsInputs(at[1])) return kErrIncorrectNargin;
  ctx->reentryOpcode = at[0];
  const ErrCode e = CodeMayMove(
      ctx, run.ip, [&] { return CallRecord(ctx, t, at[1], at[2], kContinueAtInstruction); });
  ctx->reentryOpcode = 0;
  return e;
}

ErrCode CallFunctionIndex(LoopRun& run, const int16_t* at, bool* straight) {
  EngineContext* ctx = run.ctx;
  const int32_t function = at[1], inputs = at[2], outputs = at[3];
  const FunctionTableEntry* entry = GetFunctionEntry(ctx, function);
  if (entry && IsFunctionEntry(*entry) && entry->code > 0 && !HasObjectArgument(ctx, inputs)) {
    // Compiled already, and no class method can take the call: straight in.
    // Nothing runs but the frame's set-up, so the code stays where it is.
    if (ctx->cpKind == kCodeArea) [[likely]]
      ctx->cpOffset =
          static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(run.ip) - ctx->CodeBytes());
    else
      SetCodePointer(ctx, run.ip);
    CallInfo info;
    info.returnTo = {ctx->cpKind, ctx->cpOffset};
    info.scope = static_cast<int32_t>(entry->info & kEntrySourceMask);
    // A call whose frame or inputs found no room runs again once the area
    // has grown, unless it ends a recursion (CallCompiledFunction).
    if (const ErrCode e = CallCompiledFunction(ctx, info, function, inputs, outputs)) return e;
    run.ip = CodeAddress(ctx);
    *straight = run.ip != nullptr;
    return kOk;
  }
  // What the call by name did before it ran out of room stands and is not
  // done again when it runs again after growth: the callee compiled stays
  // compiled, and the method found is found again.
  return CodeMayMove(ctx, run.ip, [&] {
    const char* name;
    int32_t length;
    GetFunctionNameOfIndex(ctx, function, &name, &length);
    return CallFunctionByName(ctx, name, std::min(length, kMaxIdentifierLength), ScopeWord(ctx),
                              inputs, outputs);
  });
}

ErrCode CallValueInstruction(LoopRun& run, const int16_t* at) {
  EngineContext* ctx = run.ctx;
  int32_t n = at[1];
  if (n < 1 || n > GetFrameEntryCount(ctx)) return kErrIllegal;
  const ValueDescriptor top = *DescAt(ctx, 0);
  // An empty marker on top: the function value is the deepest entry.
  const bool marked = top.flags == 0 && top.size == 0;
  ErrCode e = marked ? Drop(ctx) : RollStackEntries(ctx, n, n - 1);
  if (marked) n--;
  if (!e && n < 1) e = kErrIllegal;
  if (e) return e;
  int32_t arguments = 0;
  CommaListExpansion lists;
  e = lists.Expand(ctx, n - 1, &arguments);
  if (!e) {
    const uint32_t level = ctx->descTop;
    ctx->reentryOpcode = kReentryThroughValue;
    e = CodeMayMove(ctx, run.ip,
                    [&] { return CallFunctionValueWithArguments(ctx, arguments + 1, at[2]); });
    ctx->reentryOpcode = 0;
    // A call without room that has left its value and arguments as they
    // came gets its operands back as the instruction found them; a native's
    // entry kept for the run after growth leaves the stacks as it left them.
    if (!IsEngineMemoryCode(e) || ctx->descTop != level || ReentryKept(ctx)) return e;
    if (!lists.Undo(ctx)) {
      MarkOperandsChanged(ctx);
      return e;
    }
  }
  if (marked) {
    uint8_t* data;
    const RoomRequestsPaused inTheRoomItLeft;
    if (PushEntry(ctx, top.flags, top.size, top.word, false, &data)) MarkOperandsChanged(ctx);
  } else {
    RollStackEntries(ctx, n, 1);
  }
  return e;
}

ErrCode LeaveCall(LoopRun& run, bool halt, const int16_t** failing, bool* plain) {
  EngineContext* ctx = run.ctx;
  const int32_t f = ctx->curFrame;
  if (f < 0 || FrameWords(ctx, f)[kFwReturnKind] == kBaseFrameKind) {
    // Code of the base workspace ends here.
    ctx->cpKind = kCodeNone;
    run.ip = nullptr;
    return kOk;
  }
  if (!halt && ctx->profileTable > 0)
    ProfileLine(ctx, static_cast<int32_t>(FrameWords(ctx, f)[kFwFunction]), -1);
  uint32_t callBack = 0;
  ErrCode e = halt ? ReturnToCaller(ctx, &callBack) : ReturnFromCall(ctx, &callBack);
  if (e) return e;
  run.ip = CodeAddress(ctx);
  if (!callBack || !run.ip) {
    *plain = run.ip != nullptr;
    return kOk;
  }
  const int32_t results = static_cast<int32_t>(ctx->descTop - static_cast<uint32_t>(f)) / 3;
  int32_t opcode, outputs;
  if (IsInstructionContinuation(callBack)) {
    // The native before the return position takes the results.
    const int16_t* native = run.ip - kNativeCallLength;
    if (native[0] < kFirstNativeOpcode) return kErrIllegal;
    *failing = native;
    opcode = native[0];
    outputs = native[2];
  } else {
    opcode = ContinuationNative(callBack) + kFirstNativeOpcode;
    outputs = ContinuationOutputs(callBack);
  }
  // A native called back has used its inputs: failing, it cannot run again,
  // but its entry with the results may be made again (KeepFailedReentry).
  ctx->instructionLevel = UINT32_MAX;
  ctx->reentryOpcode = opcode;
  e = CodeMayMove(ctx, run.ip, [&] {
    return CallNativeByGlobalIndex(ctx, opcode, -(results + 1), outputs, callBack);
  });
  ctx->reentryOpcode = 0;
  return e;
}

Next EndOfThread(LoopRun& run) {
  EngineContext* ctx = run.ctx;
  ctx->cpKind = kCodeNone;
  run.ip = nullptr;
  if (ctx->currentThread != 0) {
    const uint32_t ended = ctx->currentThread;
    SwitchThreadFromLoop(ctx, 0);
    KillThread(ctx, ended);
    run.ip = GetCodePointer(ctx);
  }
  if (run.ip) return Next::kContinue;
  LeaveRun(ctx);
  return Next::kReturn;
}

ErrCode RunCompiledFunction(EngineContext* ctx, const char* name, int32_t scope, int32_t inputs,
                            int32_t outputs, uint8_t sandbox, uint8_t sliced) {
  int32_t length = 0;
  while (length < kMaxIdentifierLength && name[length]) length++;
  const int32_t function = FindFunction(ctx, name, length, nullptr, 0, scope, true, nullptr);
  const FunctionTableEntry* entry = GetFunctionEntry(ctx, function);
  ErrCode e = kErrUndefFun;
  if (function >= 0 && entry && entry->code > 0) {
    CallInfo info;
    info.scope = scope;
    e = CallCompiledFunction(ctx, info, function, inputs, outputs);
  }
  if (e) {
    std::memcpy(ctx->errLocName, name, length);
    ctx->errLocName[length] = 0;
    ctx->errLocFunc = -1;
    ctx->errLocPos = 0;
    if (!ctx->hostReportsFailures) PrintError(ctx, e, false);
    ctx->cpKind = kCodeNone;
    return e;
  }
  if (sandbox) MarkFrameAsEntry(ctx);
  return ExecuteBytecode(ctx, sliced);
}

ErrCode PrepareExecution(EngineContext* ctx, const int16_t** ipCell) {
  if (ctx->pendingArgCount == 0) return kOk;
  const PendingCallArg call = ctx->pendingArgs[0];
  ctx->pendingArgCount--;
  std::memmove(ctx->pendingArgs, ctx->pendingArgs + 1, sizeof call * ctx->pendingArgCount);
  if (ipCell) SetCodePointer(ctx, *ipCell);
  const uint32_t level = ctx->descTop;
  ErrCode e = call.extra ? reinterpret_cast<PendingCallFn>(call.extra)(ctx, call.value)
                         : CallSavedRecord(ctx, reinterpret_cast<const uint8_t*>(call.value));
  if (e && level > 0) {
    UnwindCallFrames(ctx, static_cast<int32_t>(level));
    if (ctx->descTop > level && ctx->curFrame < static_cast<int32_t>(level))
      Drop(ctx, static_cast<int32_t>((ctx->descTop - level) / 3));
  }
  if (ipCell) *ipCell = GetCodePointer(ctx);
  return e;
}

ErrCode FunctionCodeRoom(EngineContext* ctx, int32_t words, int32_t variables) {
  if (words < 0 || variables < 0) return kErrIllegal;
  // The code's entry, the frame above it and the variables of its own.
  const uint64_t descEnd =
      uint64_t{ctx->descTop} + 3 + kFrameHeaderWords + static_cast<uint32_t>(variables);
  if (descEnd >= ctx->descCap) return kErrStackOverflow;
  const bool short_ = uint64_t{ctx->dataTop} + FunctionCodeUnits(words) >= ctx->dataCap;
  return StackRoomLacking(ctx, short_) ? kErrDataOverflow : kOk;
}

ErrCode RunFunctionCode(EngineContext* ctx, const int16_t* code, int32_t words, int32_t inputs,
                        int32_t outputs, int32_t variables) {
  if (words < 0 || inputs < 0 || variables < 0 || inputs > EntriesAboveFrame(ctx))
    return kErrIllegal;
  // The code, followed by halt, as a value under the inputs.
  const uint32_t units = FunctionCodeUnits(words);
  uint8_t* data;
  ErrCode e = PushEntry(ctx, 0, units, static_cast<int32_t>(units), false, &data);
  if (e) return e;
  std::memset(data, 0, 8ull * units);
  std::memcpy(data, code, 2ull * static_cast<uint32_t>(words));
  Store<int16_t>(data + 2ull * static_cast<uint32_t>(words), kOpHalt);
  e = RollStackEntries(ctx, inputs + 1, inputs);
  const auto codeOffset = static_cast<uint32_t>(DataAt(ctx, inputs) - ctx->DataBytes());
  CallInfo info;
  info.returnTo = {ctx->cpKind, ctx->cpOffset};
  info.scope = ScopeWord(ctx);
  if (!e) e = CallCompiledFunction(ctx, info, kCallText, 0, outputs);
  const auto f = static_cast<uint32_t>(ctx->curFrame);
  if (!e && uint64_t{ctx->descTop} + static_cast<uint32_t>(variables) > ctx->descCap) {
    ctx->curFrame = PreviousFrame(ctx, static_cast<int32_t>(f));
    ctx->descTop = f;
    e = kErrStackOverflow;
  }
  if (e) {
    DropStackEntries(ctx, inputs, 1);
    return e;
  }
  // Variables of its own, then the frame moves under the code and inputs,
  // which become its entries.
  uint32_t* w = FrameWords(ctx, static_cast<int32_t>(f));
  w[kFwVarCount] = static_cast<uint32_t>(variables);
  std::fill(w + kFrameHeaderWords, w + kFrameHeaderWords + variables, static_cast<uint32_t>(-1));
  ctx->descTop += static_cast<uint32_t>(variables);
  const int32_t previous = PreviousFrame(ctx, static_cast<int32_t>(f));
  const uint32_t span = 3 * static_cast<uint32_t>(inputs + 1);
  uint32_t* stack = ctx->DescWords();
  std::rotate(stack + f - span, stack + f, stack + ctx->descTop);
  const uint32_t moved = f - span;
  ctx->curFrame = static_cast<int32_t>(moved);
  FrameWords(ctx, ctx->curFrame)[kFwBackLink] =
      previous < 0 ? 0 : moved - static_cast<uint32_t>(previous);
  NoteCodeChanged();
  ctx->cpKind = kCodeDataStack;
  ctx->cpOffset = codeOffset;
  ctx->cpFlag = 0;
  return kOk;
}

ErrCode ClearFrameFlagAndContinue(EngineContext* ctx) {
  if (ctx->curFrame < 0) return kErrIllegal;
  FrameWords(ctx, ctx->curFrame)[kFwStopRequest] = 0;
  return ReturnToCaller(ctx);
}

}  // namespace vke
