// The execution loop: ExecuteBytecode's entry (where a sliced run that
// resumes at a decoded round takes it whole), the checks at the top of the
// loop, and the dispatch of every opcode: the light instructions here, the
// fused scalar forms through scalar_forms.hpp, the calls and returns the run
// follows here, natives by global index, and every other instruction through
// RunPlainInstruction. Also the code pointer.
#include "engine/loop/loop.hpp"

#include "engine/builtin_hooks.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop_internal.hpp"
#include "engine/loop/scalar_forms.hpp"
#include "engine/memory_retry.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// The abort poll runs once every 503 instructions that pass the loop top.
constexpr int32_t kAbortPollAfter = 501;

// The base of a code area kind and its size in bytes; null, size 0, for
// kinds that hold no code.
VKE_HOT_INLINE const uint8_t* CodeArea(EngineContext* ctx, uint32_t kind, uint64_t* size) {
  // The code area first: almost every run and every slice is there.
  if (kind == kCodeArea) [[likely]] {
    *size = 2ull * ctx->codeSize;
    return ctx->CodeBytes();
  }
  switch (kind) {
    case kCodeDataStack:
      *size = 8ull * ctx->dataCap;
      return ctx->DataBytes();
    case kCodeHeap:
      *size = 8ull * ctx->heapSize;
      return ctx->HeapBytes();
    default:
      *size = 0;
      return nullptr;
  }
}

// GetCodePointer, inline where a run starts or resumes.
VKE_HOT_INLINE const int16_t* CodePointerAddress(EngineContext* ctx) {
  uint64_t size;
  const uint8_t* base = CodeArea(ctx, ctx->cpKind, &size);
  if (!base || ctx->cpOffset >= size) return nullptr;
  return reinterpret_cast<const int16_t*>(base + ctx->cpOffset);
}

// SetCodePointer, inline where a slice ends.
VKE_HOT_INLINE void StoreCodePointer(EngineContext* ctx, const int16_t* address) {
  uint64_t size;
  const uint8_t* base = CodeArea(ctx, ctx->cpKind, &size);
  if (base && address)
    ctx->cpOffset = static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(address) - base);
}

// The end of a slice of thread 0, as HandleError ends it, without the call.
VKE_HOT_INLINE ErrCode EndSlice(EngineContext* ctx, const int16_t* ip) {
  StoreCodePointer(ctx, ip);
  LeaveRun(ctx);
  return kStatusSuspended;
}

// The end of the thread's code at the loop top (no code pointer): thread 0
// takes over again and the run is left. Out of line, as the other rare paths
// of the top, so that the loop's own code stays small.
[[gnu::noinline, gnu::cold]] ErrCode LeaveAtEndOfCode(EngineContext* ctx) {
  ctx->cpKind = kCodeNone;
  if (ctx->currentThread != 0) SwitchThreadFromLoop(ctx, 0);
  LeaveRun(ctx);
  return ctx->cpKind != kCodeNone ? ErrCode{kStatusSuspended} : ErrCode{kOk};
}

// A failure's block that the previous instruction left behind is freed.
[[gnu::noinline, gnu::cold]] void FreePendingError(EngineContext* ctx) {
  FreeEngineBlock(ctx, ctx->pendingError);
  ctx->pendingError = -1;
}

// A sliced run resumes at the step of a for-range loop after every round
// (its jump back ended the slice). When the loop's body is one scalar
// statement (a decoded round) and the loop top would find nothing to do
// there (no failure's block, no queued call, no listed thread, thread 0
// running), the round is done here whole, as the instructions one by one
// would do it in the loop (a pass that starts here is far from the abort
// poll's count), and the slice ends again at its jump back, the code pointer
// where it is. kReturn with the run's result then; kContinue, with nothing
// done, for the loop to run from run.ip. Inline in ExecuteBytecode, whose
// frame it shares.
VKE_HOT_INLINE Next ResumeAtRound(LoopRun& run, ErrCode* result) {
  EngineContext* const ctx = run.ctx;
  const int16_t* const at = run.ip;
  if (!at || at[0] != kOpForRangeNext || ctx->pendingError != -1 || ctx->pendingArgCount ||
      ctx->firstThread || ctx->currentThread != 0)
    return Next::kContinue;
  DecodedChain* const round = DecodedRoundAt(ctx, at);
  RealRangeStep range;
  if (!round || (round->lines && !LinesAreQuiet(ctx)) || !PeekRealRange(ctx, &range) || !range.more)
    return Next::kContinue;
  ClearInstructionLocation(ctx);
  ctx->instructionLevel = ctx->descTop;
  if (!TakeDecodedRound(ctx, ScopeSlots(ctx, ScopeFrame(ctx)), *round, range))
    return Next::kContinue;
  const ErrCode e = CheckBreakAtSliceEnd(ctx);
  if (e == kStatusSuspended) [[likely]] {
    LeaveRun(ctx);
    *result = e;
    return Next::kReturn;
  }
  return HandleError(run, e, at + round->jump, result);
}

// Inline in ExecuteBytecode, its only caller: a sliced run enters it at every
// backward jump where it does not resume a round.
[[gnu::always_inline]] inline ErrCode RunLoop(LoopRun& run) {
  EngineContext* const ctx = run.ctx;
  const int16_t* ip = run.ip;
  ScalarForms forms(run);
  for (;;) {
    // ---- Top of the loop ----
    if (!ip) [[unlikely]]
      return LeaveAtEndOfCode(ctx);
    if (ctx->pendingError != -1) [[unlikely]]
      FreePendingError(ctx);
    ClearInstructionLocation(ctx);
    if (ctx->pendingArgCount) {
      // Through a copy: the pointer itself stays in a register.
      const int16_t* cell = ip;
      PrepareExecution(ctx, &cell);
      ip = cell;
    }
    const int16_t* at = ip;
    ErrCode e = kOk;
    if (forms.PassTop(kAbortPollAfter) && PollAbortRequest(ctx)) e = kStatusHalted;
    // The fused forms and the light instructions go on to the next
    // instruction without coming back here, for as long as the forms allow.
    run.quietLines = LinesAreQuiet(ctx);
    while (!e) {
      at = ip;
      // The level an instruction that runs out of room must leave to run
      // again once the area has grown (see HandleFailure).
      ctx->instructionLevel = ctx->descTop;
      const int32_t op = *ip;
      switch (op) {
          // ---- Light instructions: straight to the next opcode ----
        case kOpNop:
          ip += 1;
          continue;
        case kOpPushZero:
        case kOpPushOne:
          ip += 1;
          e = PushRealScalar(ctx, op == kOpPushOne ? 1 : 0);
          if (!e) continue;
          break;
        case kOpPop:
          ip += 1;
          e = Drop(ctx);
          if (!e) continue;
          break;
        case kOpSkip:
          ip += 2;
          continue;
        case kOpJump:
          if (forms.Jump(at, ip, e) == Fused::kOn) continue;
          if (e == kStatusSuspended && ctx->currentThread == 0) return EndSlice(ctx, ip);
          break;
        case kOpLine: {
          bool light = false;
          ip += 3;
          if (run.quietLines && MarkQuietLine(ctx, at)) {
            // The markers that follow (a statement's and its branch's) at once.
            while (ip[0] == kOpLine && MarkQuietLine(ctx, ip)) ip += 3;
            continue;
          }
          run.ip = ip;
          e = LineInstruction(run, at, &light);
          forms.ForgetSlots();
          if (light) continue;
          break;
        }

          // ---- Fused scalar forms ----
        case kOpPushSmallInt:
        case kOpPushDouble:
        case kOpLoadVar:
          if (forms.Scalars(at, ip, e) == Fused::kOn) continue;
          break;
        case kOpStoreVar:
          if (forms.Store(at, ip, e) == Fused::kOn) continue;
          break;
        case kOpJumpTrue:
        case kOpJumpFalse:
          if (forms.ConditionalJump(at, ip, e) == Fused::kOn) continue;
          break;
        case kOpForRangeNext:
          if (forms.ForRange(at, ip, e) == Fused::kOn) continue;
          break;
        case kOpLoadIndexed:
        case kOpLoadIndexedFirst: {
          const Fused step = forms.Indexed(at, ip, e);
          if (step == Fused::kOn) continue;
          if (step == Fused::kAsIs) e = RunPlainInstruction(ctx, at, &ip);
          break;
        }

          // ---- Calls and returns ----
        case kOpCallFn: {
          if (forms.LeafCall(at, ip) == Fused::kOn) continue;
          run.ip = ip + 4;
          bool straight = false;
          e = CallFunctionIndex(run, at, &straight);
          ip = run.ip;
          // A frame set up and nothing else: the function's code starts at once.
          if (straight && forms.FrameChanged() == Fused::kOn) continue;
          break;
        }
        case kOpCallValue:
          run.ip = ip + 3;
          e = CallValueInstruction(run, at);
          ip = run.ip;
          break;
        case kOpReturn:
        case kOpHalt: {
          run.ip = ip + 1;
          const int16_t* failing = at;
          bool plain = false;
          e = LeaveCall(run, op == kOpHalt, &failing, &plain);
          at = failing;
          ip = run.ip;
          // Back in the caller's code with nothing else run: it goes on at once.
          if (!e && plain && forms.FrameChanged() == Fused::kOn) continue;
          // The outermost call has returned: the thread's code is done.
          if (!e && !ip) {
            if (EndOfThread(run) == Next::kReturn) return kOk;
            ip = run.ip;
          }
          break;
        }
        case kOpEndThread:
          if (EndOfThread(run) == Next::kReturn) return kOk;
          ip = run.ip;
          break;

          // ---- Operators on scalars, natives, and the plain instructions ----
        default: {
          const BuiltinDispatch& builtin = GetBuiltinDispatch(ctx, op);
          // Only a builtin has a length here; natives and unknown opcodes
          // have no dispatch entry.
          const int16_t* next = builtin.fn ? at + BuiltinLength(op) : at;
          const Fused step = forms.Operator(builtin, at, next, ip, e);
          if (step == Fused::kOn) continue;
          if (step == Fused::kTail) break;
          if (op < kFirstNativeOpcode) {
            e = RunPlainInstruction(ctx, at, &ip);
            break;
          }
          run.ip = ip + kNativeCallLength;
          e = CallNativeInstruction(run, at);
          // A native that left no code to go on with (dbquit abandoned
          // every frame) ends the thread's code.
          if (!e && !run.ip && EndOfThread(run) == Next::kReturn) return kOk;
          ip = run.ip;
          break;
        }
      }
      break;
    }
    // ---- Common tail: the error path or the thread-slice check ----
    run.ip = ip;
    if (e == kStatusSuspended && ctx->currentThread == 0) return EndSlice(ctx, ip);
    if (e) {
      ErrCode result;
      if (HandleError(run, e, at, &result) == Next::kReturn) return result;
    } else if (ctx->firstThread && SliceCheck(run)) {
      return kOk;
    }
    ip = run.ip;
  }
}
}  // namespace

const uint8_t* CodeAreaBase(EngineContext* ctx, uint32_t kind) {
  uint64_t size;
  return CodeArea(ctx, kind, &size);
}

uint64_t CodePointerRoom(EngineContext* ctx) {
  uint64_t size;
  return CodeArea(ctx, ctx->cpKind, &size) && ctx->cpOffset < size ? size - ctx->cpOffset : 0;
}

const int16_t* GetCodePointer(EngineContext* ctx) {
  return CodePointerAddress(ctx);
}

void SetCodePointer(EngineContext* ctx, const int16_t* address) {
  StoreCodePointer(ctx, address);
}

namespace {

// A run that resumes after the host has grown the area for a native's entry
// kept as it failed (KeepFailedReentry) makes that entry again first, as the
// instruction it followed made it, and goes on from where that leaves it:
// kReturn with the run's result, or kContinue for the loop to go on from
// run.ip. An entry whose stacks no longer stand as it left them is dropped.
[[gnu::noinline, gnu::cold]] Next ResumeKeptReentry(LoopRun& run, ErrCode* result) {
  EngineContext* ctx = run.ctx;
  const KeptReentry r = TakeKeptReentry(ctx);
  if (!r.opcode || !run.ip) return Next::kContinue;
  // The native's own instruction, for the name an error gives; a native
  // reached through a function value has none before the run goes on.
  const int16_t* at =
      IsInstructionContinuation(r.continuation) ? run.ip - kNativeCallLength : run.ip;
  ClearInstructionLocation(ctx);
  ctx->instructionLevel = UINT32_MAX;
  ctx->reentryOpcode = r.opcode;
  const ErrCode e = CodeMayMove(ctx, run.ip, [&] {
    return CallNativeByGlobalIndex(ctx, r.opcode, r.inputs, r.outputs, r.continuation);
  });
  ctx->reentryOpcode = 0;
  if (!e) {
    if (!run.ip && EndOfThread(run) == Next::kReturn) {
      *result = kOk;
      return Next::kReturn;
    }
    return Next::kContinue;
  }
  if (e == kStatusSuspended && ctx->currentThread == 0) {
    *result = EndSlice(ctx, run.ip);
    return Next::kReturn;
  }
  return HandleError(run, e, at, result);
}

// ExecuteBytecode, its slices going on in place when `continuous`.
[[gnu::noinline]] ErrCode Execute(EngineContext* ctx, uint8_t sliced, bool continuous) {
  // A run inside a run that does not allow nesting does nothing (see loop.hpp).
  if (ctx->running && !ctx->cpFlag) return kOk;
  if (ctx->errLocCode == kStatusDebug) return kStatusDebug;
  if (ctx->pendingArgCount) PrepareExecution(ctx, nullptr);
  if (ctx->cpKind == kCodeNone) {
    if (!ctx->firstThread) return kOk;
    SwitchThreadFromLoop(ctx, -1);
  }
  if (ctx->threadTimer && ctx->firstThread)
    ctx->threadTimer(reinterpret_cast<void*>(ctx->threadTimerArg), 0, 1);
  LoopRun run{ctx, CodePointerAddress(ctx), sliced, continuous};
  ctx->running = 1;
  if (ctx->keptReentry.opcode) [[unlikely]] {
    if (ErrCode result; ResumeKeptReentry(run, &result) == Next::kReturn) return result;
  } else if (ErrCode result; sliced && ResumeAtRound(run, &result) == Next::kReturn) {
    return result;
  }
  return RunLoop(run);
}

}  // namespace

ErrCode ExecuteBytecode(EngineContext* ctx, uint8_t sliced) {
  return Execute(ctx, sliced, false);
}

ErrCode ExecuteBreakChecked(EngineContext* ctx) {
  return Execute(ctx, 1, true);
}

}  // namespace vke
