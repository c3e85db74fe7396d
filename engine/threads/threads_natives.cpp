// The thread natives: threadnew, threadkill, threadsleep and threadset.
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/option_tables.hpp"
#include "engine/threads/threads.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// The options structure at the depth: stack size, priority and sandbox.
ErrCode ReadThreadOptions(EngineContext* ctx, int32_t depth, ThreadSpec* spec) {
  double priority = 0;
  uint8_t sandbox = 0;
  ErrCode e = GetOptionField(ctx, depth, "StackSize", kThreadsetTable, 0, &spec->stackBytes);
  if (!e) e = GetOptionField(ctx, depth, "Priority", kThreadsetTable, 0, &priority);
  if (!e) e = GetBooleanOption(ctx, depth, "Sandbox", kThreadsetTable, 0, &sandbox);
  spec->step = PriorityStep(priority);
  spec->sandbox = sandbox != 0;
  return e;
}

// Swaps the function value and the options structure, the two deepest of
// threadnew's n arguments, leaving the arguments above them in order: the
// function and its arguments lie on top for the thread to take, the
// options under them until the thread is made.
void SwapFunctionAndOptions(EngineContext* ctx, int32_t n, bool back) {
  if (back) {
    RollStackEntries(ctx, n - 1, 1);
    RollStackEntries(ctx, n, n - 1);
  } else {
    RollStackEntries(ctx, n, 1);
    RollStackEntries(ctx, n - 1, n - 2);
  }
}

// Finds the function (compiled when its source has not been yet, here: the
// new thread's stacks are too small to compile on; without a compiler the
// call finds what it can), makes the room of the id and starts the thread.
ErrCode StartThread(EngineContext* ctx, const ThreadSpec& spec, uint32_t* id) {
  int32_t maxIn, maxOut;
  ErrCode e = ResolveFunctionValue(ctx, spec.args, spec.scope, &maxIn, &maxOut);
  if (e && e != kErrNotSupported) return e;
  // The id's room comes before the thread: a call without it starts none.
  if ((e = MakeRoomForResult(ctx, 1))) return e;
  return CreateInterpThread(ctx, spec, id);
}

}  // namespace

ErrCode StatementResult(EngineContext* ctx, int32_t nargout) {
  return nargout < 0 ? PushNoValue(ctx) : kOk;
}

// threadnew(fun, options, args...): the id of a new thread running
// fun(args...). A call that fails leaves its arguments as they were, so that
// one without room runs again once the area has grown and starts one thread.
ErrCode ThreadnewNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (nargin < 1) return kErrTooFewArgin;
  ThreadSpec spec;
  spec.scope = CurrentScope(ctx);
  const bool options = nargin >= 2;
  if (options) {
    spec.args = nargin - 2;
    if (ErrCode e = ReadThreadOptions(ctx, spec.args, &spec)) return e;
    SwapFunctionAndOptions(ctx, nargin, false);
  }
  uint32_t id = 0;
  if (ErrCode e = StartThread(ctx, spec, &id)) {
    if (options) SwapFunctionAndOptions(ctx, nargin, true);
    return e;
  }
  if (options) Drop(ctx);
  return PushRealScalar(ctx, id);
}

// threadkill(id): ends the thread; 100 for thread 0 and unknown ids.
ErrCode ThreadkillNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (nargin < 1) return kErrTooFewArgin;
  double id = 0;
  if (ErrCode e = GetScalarArg(ctx, 0, &id)) return e;
  uint32_t block = 0;
  if (id == 0 || !FindThread(ctx, id, &block)) return kErrInvalidID;
  // The result goes first, in the room of the id: a thread that ends itself
  // leaves its stacks.
  if (ErrCode e = ReplaceInputsWithNothing(ctx, nargin, nargout)) return e;
  KillThread(ctx, block);
  return kOk;
}

// threadsleep(t, periodic): 504 lets other threads run while the current
// one sleeps; thread 0 never sleeps.
ErrCode ThreadsleepNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (nargin < 1) return kErrTooFewArgin;
  uint8_t periodic = 0;
  double t = 0;
  ErrCode e = nargin >= 2 ? GetBooleanArg(ctx, 0, &periodic) : kOk;
  if (!e) e = GetScalarArg(ctx, nargin - 1, &t);
  if (!e) e = ReplaceInputsWithNothing(ctx, nargin, nargout);
  if (e) return e;
  InterpThreadRecord* r = GetCurrentThreadRecord(ctx);
  if (!r || !(t > 0) || !ctx->threadTimer) return kOk;
  void* area = ctx->Bytes() + r->hostAreaOffset;
  // A periodic sleep ends one period after the previous one was to end;
  // lastSleep keeps that wake-up time, measured from its timer restart.
  const double since = ctx->threadTimer(area, 0, 1);
  r->wakeTime = periodic ? t + r->lastSleep - since : t;
  r->lastSleep = r->wakeTime;
  return kStatusYield;
}

ErrCode ThreadsetNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  return SetOptions(ctx, nargin, kThreadsetTable);
}

}  // namespace vke
