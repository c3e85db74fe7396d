// Interpreter threads: their blocks and records, the switch of the live
// fields between records, the choice of the next thread by credit and
// priority step, and creating and ending threads.
#include "engine/threads/threads.hpp"

#include <type_traits>
#include <vector>

#include "engine/code/code_generation.hpp"
#include "engine/compile_hooks.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/image/image_walk.hpp"
#include "engine/loop/loop.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr double kMinStackBytes = 1024;
constexpr int32_t kMinStep = 1, kMaxStep = 41, kStepBias = 21;

InterpThreadRecord* RecordOf(EngineContext* ctx, uint32_t block) {
  return block ? reinterpret_cast<InterpThreadRecord*>(BlockData(ctx, static_cast<int32_t>(block)))
               : &ctx->mainThread;
}

void* HostAreaOf(EngineContext* ctx, const InterpThreadRecord& t) {
  return ctx->Bytes() + t.hostAreaOffset;
}

// Calls copy(live, saved) for each field that a thread switch exchanges
// between the context and a thread's record: the stacks, the random state,
// the code pointer and the error location (its name apart).
template <typename Copy>
void ForEachSwitchedField(EngineContext* ctx, InterpThreadRecord* t, Copy copy) {
  copy(ctx->descBase, t->descBase);
  copy(ctx->descCap, t->descCap);
  copy(ctx->descTop, t->descTop);
  copy(ctx->curFrame, t->curFrame);
  copy(ctx->dataBase, t->dataBase);
  copy(ctx->dataCap, t->dataCap);
  copy(ctx->dataTop, t->dataTop);
  for (int i = 0; i < 4; i++) copy(ctx->rng[i], t->rng[i]);
  copy(ctx->cpKind, t->cpKind);
  copy(ctx->cpFlag, t->cpFlag);
  copy(ctx->cpOffset, t->cpOffset);
  copy(ctx->errLocCode, t->errCode);
  copy(ctx->errLocFunc, t->errFunc);
  copy(ctx->errLocPos, t->errPos);
}

bool IsListed(EngineContext* ctx, uint32_t block) {
  bool found = false;
  ForEachListedThread(ctx, ctx->heapSize, [&](InterpThreadRecord&, const HeapBlock& b) {
    found = found || b.index == block;
  });
  return found;
}

// Credits grow without wrapping round: a long sleeper keeps the largest.
int32_t GrowCredit(int32_t credit, int32_t step) {
  const int64_t sum = int64_t{credit} + step;
  return sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : static_cast<int32_t>(sum);
}

bool IsAwake(EngineContext* ctx, const InterpThreadRecord& t) {
  return t.wakeTime < 0 || !ctx->threadTimer ||
         ctx->threadTimer(HostAreaOf(ctx, t), 0, 0) >= t.wakeTime;
}

// One pass over the listed threads, newest first: the awake thread with code
// whose credit beats the best so far wins (thread 0, credit 0, to begin
// with), and every thread with code gains its priority step.
uint32_t ChooseNextThread(EngineContext* ctx) {
  uint32_t best = 0;
  int32_t bestCredit = ctx->mainThread.credit;
  ForEachListedThread(ctx, ctx->heapSize, [&](InterpThreadRecord& t, const HeapBlock& b) {
    const uint32_t kind = b.index == ctx->currentThread ? ctx->cpKind : t.cpKind;
    if (kind == kCodeNone) return;
    if (t.credit > bestCredit && IsAwake(ctx, t)) {
      best = b.index;
      bestCredit = t.credit;
    }
    t.credit = GrowCredit(t.credit, t.priorityStep);
  });
  RecordOf(ctx, best)->wakeTime = -1;
  return best;
}

// Takes the thread out of the list; false when it is not listed.
bool Unlink(EngineContext* ctx, uint32_t block) {
  bool found = false;
  if (ctx->firstThread == block) {
    ctx->firstThread = RecordOf(ctx, block)->nextThread;
    return true;
  }
  ForEachListedThread(ctx, ctx->heapSize, [&](InterpThreadRecord& t, const HeapBlock&) {
    if (found || t.nextThread != block) return;
    t.nextThread = RecordOf(ctx, block)->nextThread;
    found = true;
  });
  return found;
}

// The heap block of a new thread and its record, laid out for its stack
// space; 5 when the heap has no room, 109 for stacks no area can hold.
ErrCode AllocThreadBlock(EngineContext* ctx, double stackBytes, uint32_t* block) {
  const double want = stackBytes >= kMinStackBytes ? stackBytes : kMinStackBytes;
  // Stacks past what 32-bit offsets address fit in no area, however grown.
  if (want >= 4294967296.0 - sizeof(InterpThreadRecord) - 16) return kErrObjTooLarge;
  if (want > 8.0 * ctx->heapSize) return kErrVarOverflow;
  // Halves of whole units keep both stacks aligned.
  const uint32_t space = static_cast<uint32_t>(want) & ~15u;
  const uint32_t half = space / 2;
  int32_t index = 0;
  if (ErrCode e = AllocEngineBlock(ctx, (space + sizeof(InterpThreadRecord)) / 8 + 1, &index))
    return e;
  *block = static_cast<uint32_t>(index);
  InterpThreadRecord* t = RecordOf(ctx, *block);
  std::memset(t, 0, sizeof *t);
  const uint32_t stacks = ctx->heapBase + 8 * *block + sizeof(InterpThreadRecord);
  const uint64_t hostBytes = (uint64_t{ctx->threadHostAreaSize} + 7) & ~uint64_t{7};
  const uint32_t host = hostBytes < half ? static_cast<uint32_t>(hostBytes) : half;
  t->hostAreaOffset = stacks;
  t->dataBase = stacks + host;
  t->dataCap = (half - host) / 8;
  t->descBase = stacks + half;
  t->descCap = half / 4;
  return kOk;
}

uint32_t TakeThreadId(EngineContext* ctx) {
  const uint32_t id = ctx->nextThreadId++;
  if (ctx->nextThreadId == 0) ctx->nextThreadId = 1;  // 0 names thread 0
  return id;
}

}  // namespace

void SaveLiveThreadFields(EngineContext* ctx, InterpThreadRecord* t) {
  ForEachSwitchedField(ctx, t, [](const auto& live, auto& saved) {
    saved = static_cast<std::remove_reference_t<decltype(saved)>>(live);
  });
  std::memcpy(t->errName, ctx->errLocName, sizeof t->errName);
}

void ExchangeLiveThreadFields(EngineContext* ctx, uint32_t target) {
  SaveLiveThreadFields(ctx, RecordOf(ctx, ctx->currentThread));
  InterpThreadRecord* to = RecordOf(ctx, target);
  ForEachSwitchedField(ctx, to, [](auto& live, const auto& saved) {
    live = static_cast<std::remove_reference_t<decltype(live)>>(saved);
  });
  std::memcpy(ctx->errLocName, to->errName, sizeof to->errName);
  ctx->errLocName[sizeof to->errName] = 0;
  ctx->currentThread = target;
  // The running native's floor was a level of the other thread's stack.
  ctx->nativeFloor = 0;
}

ErrCode CallThreadFunction(EngineContext* ctx, int32_t scope, int32_t args) {
  if (!ctx->compileHooks) return kErrNotSupported;
  return ctx->compileHooks->callValueWithArgs(ctx, scope, args + 1, 0, false);
}

ErrCode SwitchThread(EngineContext* ctx, int32_t target) {
  NoteCodeChanged();
  if (target == -1) {
    if (!ctx->firstThread) return kOk;
    target = static_cast<int32_t>(ChooseNextThread(ctx));
    if (static_cast<uint32_t>(target) == ctx->currentThread) {
      // Nothing else can run: the current thread starts a new slice.
      RecordOf(ctx, ctx->currentThread)->sliceTime = 0;
      return kOk;
    }
  } else if (target != 0 && (target < 0 || !IsListed(ctx, static_cast<uint32_t>(target)))) {
    return kErrInvalidID;
  }
  const auto block = static_cast<uint32_t>(target);
  if (block == ctx->currentThread) return kOk;
  ExchangeLiveThreadFields(ctx, block);
  InterpThreadRecord* t = RecordOf(ctx, block);
  t->sliceTime = 0;
  t->credit = 0;
  return kOk;
}

void KillThread(EngineContext* ctx, uint32_t block) {
  if (block == 0 || !IsListed(ctx, block)) return;
  // The variables of its frames go with it.
  const uint32_t previous = ctx->currentThread;
  if (previous != block) ExchangeLiveThreadFields(ctx, block);
  UnwindCallFrames(ctx, 0);
  if (previous != block)
    ExchangeLiveThreadFields(ctx, previous);
  else
    SwitchThread(ctx, 0);
  Unlink(ctx, block);
  FreeEngineBlock(ctx, static_cast<int32_t>(block));
}

void KillThreadsSince(EngineContext* ctx, uint32_t mark) {
  // Ids count up from the mark (past the wrap too); the blocks are gathered
  // first, as ending a thread changes the list.
  const uint32_t given = ctx->nextThreadId - mark;
  std::vector<uint32_t> blocks;
  ForEachListedThread(ctx, ctx->heapSize, [&](InterpThreadRecord& t, const HeapBlock& b) {
    if (t.threadId - mark < given) blocks.push_back(b.index);
  });
  for (uint32_t block : blocks) KillThread(ctx, block);
}

bool IsWorkerFailure(const EngineContext* ctx, ErrCode e) {
  const bool status =
      e == kStatusNoPrint || (e >= kStatusSuspended && e <= kStatusDebug) || e == kStatusQuit;
  return e != kOk && !status && ctx->currentThread == 0 && ctx->cpKind != kCodeNone;
}

int32_t CountListedThreads(EngineContext* ctx) {
  int32_t n = 0;
  ForEachListedThread(ctx, ctx->heapSize, [&](InterpThreadRecord&, const HeapBlock&) { n++; });
  return n;
}

bool FindThread(EngineContext* ctx, double id, uint32_t* block) {
  *block = 0;
  if (id == 0) return true;
  bool found = false;
  ForEachListedThread(ctx, ctx->heapSize, [&](InterpThreadRecord& t, const HeapBlock& b) {
    if (!found && t.threadId == id) {
      *block = b.index;
      found = true;
    }
  });
  return found;
}

InterpThreadRecord* GetCurrentThreadRecord(EngineContext* ctx) {
  return ctx->currentThread ? RecordOf(ctx, ctx->currentThread) : nullptr;
}

void ResetThreadStacks(EngineContext* ctx) {
  ctx->descTop = 0;
  ctx->dataTop = 0;
  ctx->curFrame = -1;
  constexpr uint32_t kFirstRandomState[4] = {0, 1, 0, 1};
  std::memcpy(ctx->rng, kFirstRandomState, sizeof ctx->rng);
  ctx->cpKind = kCodeNone;
  ctx->errLocCode = 0;
  ctx->errLocFunc = -1;
  ctx->errLocPos = 0;
  ctx->errLocName[0] = 0;
}

int32_t PriorityStep(double priority) {
  const double step = priority + kStepBias;
  if (!(step >= kMinStep)) return kMinStep;
  return step > kMaxStep ? kMaxStep : static_cast<int32_t>(step);
}

ErrCode CreateInterpThread(EngineContext* ctx, const ThreadSpec& spec, uint32_t* id,
                           ThreadCallFn call) {
  if (spec.args < 0 || EntriesAboveFrame(ctx) <= spec.args) return kErrTooFewArgin;
  const uint32_t words = 3 * static_cast<uint32_t>(spec.args + 1);
  const uint32_t units = EntryUnitsAbove(ctx, ctx->descTop - words);
  uint32_t block = 0;
  if (ErrCode e = AllocThreadBlock(ctx, spec.stackBytes, &block)) return e;
  InterpThreadRecord* t = RecordOf(ctx, block);
  ErrCode e = words > t->descCap                     ? kErrStackOverflow
              : units > t->dataCap                   ? kErrDataOverflow
              : RoomRefused(RoomKind::kThreadStacks) ? kErrDataOverflow
                                                     : kOk;
  if (e) {
    FreeEngineBlock(ctx, static_cast<int32_t>(block));
    return e;
  }
  // The function value and its arguments move to the new stacks.
  std::memcpy(ctx->Bytes() + t->descBase, ctx->DescWords() + ctx->descTop - words, 4ull * words);
  std::memcpy(ctx->Bytes() + t->dataBase, ctx->DataBytes() + 8ull * (ctx->dataTop - units),
              8ull * units);
  const uint32_t creator = ctx->currentThread;
  ExchangeLiveThreadFields(ctx, block);
  ResetThreadStacks(ctx);
  ctx->descTop = words;
  ctx->dataTop = units;
  e = call(ctx, spec.scope, spec.args);
  if (!e && spec.sandbox) MarkFrameAsEntry(ctx);
  // A native has done its work already: nothing is left to run.
  const bool runs = !e && ctx->cpKind != kCodeNone;
  if (!runs) UnwindCallFrames(ctx, 0);
  ExchangeLiveThreadFields(ctx, creator);
  if (e) {
    FreeEngineBlock(ctx, static_cast<int32_t>(block));
    return e;
  }
  Drop(ctx, spec.args + 1);
  *id = TakeThreadId(ctx);
  if (!runs) {
    FreeEngineBlock(ctx, static_cast<int32_t>(block));
    return kOk;
  }
  t->threadId = *id;
  t->nextThread = ctx->firstThread;
  ctx->firstThread = block;
  t->sliceTime = 0;
  t->totalTime = 0;
  t->credit = 0;
  t->priorityStep = spec.step;
  t->wakeTime = -1;
  t->lastSleep = 0;
  if (ctx->threadTimer) ctx->threadTimer(HostAreaOf(ctx, *t), 0, 1);
  return kOk;
}

}  // namespace vke
