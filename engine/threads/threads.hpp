// Cooperative interpreter threads, semaphores and the tic/toc timer.
//
// Threads share the host's one operating-system thread. Thread 0 is the
// host's code; its record lies in the context. Every other thread lives in a
// heap block: its InterpThreadRecord, then its stack space, whose first half
// holds the thread's host timer area followed by its data stack and whose
// second half is its descriptor stack. A thread is named inside the engine
// by the block index of that block (0 = thread 0) and in the language by its
// id. While a thread is current the context holds its live stack fields,
// random state, code pointer and error location; its record holds the copies
// saved at the last switch. SwitchThread and KillThread are declared with the
// loop (engine/loop/loop.hpp).
#pragma once

#include "engine/context.hpp"

namespace vke {

// ---- Threads (threads.cpp) ----

// Sets up the first call of a new thread on the thread's own stacks: the
// function value lies under its `args` arguments on top; the call pushes
// its frame and sets the code pointer (a native runs at once).
using ThreadCallFn = ErrCode (*)(EngineContext* ctx, int32_t scope, int32_t args);
// The call of a function value with no outputs, names resolved in scope.
ErrCode CallThreadFunction(EngineContext* ctx, int32_t scope, int32_t args);

// What a new thread is made with.
struct ThreadSpec {
  double stackBytes = 8192;  // at least 1024 are given
  int32_t scope = 0;
  int32_t args = 0;  // arguments above the function value
  bool sandbox = false;
  int32_t step = 21;  // priority step, 1 to 41
};

// Moves the function value and its arguments (the top args + 1 entries)
// onto the stacks of a new thread, sets up its call there and lists it as
// the newest thread; *id receives its id. A native has done its work when
// this returns: its thread is not listed, and its id names no thread (a
// builtin finds no frame to take its inputs from and fails with 12). The
// entries stay where they were on failure: 5 when the heap has no room for
// the block, 1 or 3 when the entries do not fit the thread's stacks, or the
// code of the call.
ErrCode CreateInterpThread(EngineContext* ctx, const ThreadSpec& spec, uint32_t* id,
                           ThreadCallFn call = CallThreadFunction);

// Copies the live stack fields, random state, code pointer and error
// location of the context into a thread's record.
void SaveLiveThreadFields(EngineContext* ctx, InterpThreadRecord* t);
// Makes the record of the thread block target the live one; the current
// thread's live fields are saved in its own. Nothing else of either record
// changes, and the target need not be listed.
void ExchangeLiveThreadFields(EngineContext* ctx, uint32_t target);

// Ends every listed thread whose id was given since nextThreadId read
// `mark`: what a run started, when the run is made again from the start.
void KillThreadsSince(EngineContext* ctx, uint32_t mark);

// True when ExecuteBytecode came back with the failure of a thread other
// than thread 0: the engine printed its error and trace and ended it, and
// thread 0 is still inside its own code, which goes on when ExecuteBytecode
// is called again. A thread's failure is its own: the run it interrupted
// is no worse for it. Thread 0's own failures and breaks leave it without
// code.
bool IsWorkerFailure(const EngineContext* ctx, ErrCode e);

// The threads other than thread 0 that are listed (running or sleeping).
int32_t CountListedThreads(EngineContext* ctx);
// The block of the thread with that id: true with block 0 for id 0.
bool FindThread(EngineContext* ctx, double id, uint32_t* block);
// The current thread's record; null for thread 0.
InterpThreadRecord* GetCurrentThreadRecord(EngineContext* ctx);
// Empty stacks without a frame, the initial random state, no code and no
// error location, in the live fields of the context.
void ResetThreadStacks(EngineContext* ctx);
// The priority step of a "Priority" option value: Priority + 21 within
// 1 .. 41.
int32_t PriorityStep(double priority);

// What the natives here leave for a call as a statement (nargout < 0): the
// no-value marker.
ErrCode StatementResult(EngineContext* ctx, int32_t nargout);

// ---- Timing (tictoc.cpp) ----

// The process clock: whole milliseconds since the program started, in
// seconds.
double ProcessClockSeconds();
// Forgets the tic of earlier tests: toc then reads the process clock.
void ResetTicTimerForTesting();

}  // namespace vke
