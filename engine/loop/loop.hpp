// The execution loop's entry points besides ExecuteBytecode (engine/frames/calls.hpp):
// running a compiled function for the host, the code pointer, the queue of
// pending calls, yielding to other interpreter threads, the error trace, the
// native call by global index and generated code run as a function.
//
// Running state:
// - The loop keeps the instruction pointer in a local variable. The code
//   pointer of the context is the only form in which a position survives
//   anything that may run other code or move memory: the loop stores it with
//   SetCodePointer before such an operation and reloads it afterwards.
// - ctx->running is set while a run is in progress. The code pointer's flag
//   byte (ctx->cpFlag) is the nested-run flag: while it is 0, ExecuteBytecode
//   called during a run returns 0 at once WITHOUT running anything, so a host
//   must check that ctx->running is 0 before it starts a run of its own (the
//   application's handler runner refuses with 402 while a handler runs).
// - A run ends with 0 (finished, results on the stacks), 500 (suspended: call
//   ExecuteBytecode again), 501 (the user's break), 505 (stopped for the
//   debugger) or the code of an uncaught error, which has been printed to
//   descriptor 2 with the call trace and made the last error.
#pragma once

#include "engine/context.hpp"

namespace vke {

// ---- Running compiled code ----

// Calls the compiled function of that name (at most 32 characters, looked up
// from the scope's library and its use list) with the top `inputs` entries as
// its inputs and runs it; sandbox marks its frame as an entry frame. 121
// (undefFun) when there is no compiled function of that name; a failure
// before the run is printed (the name recorded as the error's name).
ErrCode RunCompiledFunction(EngineContext* ctx, const char* name, int32_t scope, int32_t inputs,
                            int32_t outputs, uint8_t sandbox, uint8_t sliced);

// ExecuteBytecode(ctx, 1) for a host that does nothing between slices but
// call it again: a slice that ends at a loop end, the abort callback asked
// and no break found, goes on at once in the same run instead of returning
// 500 (the callback is still asked at every backward jump; a break ends the
// run as it ends a sliced run). 500 comes back where a sliced run ends its
// slice for any other reason, and at every loop end while interpreter
// threads are listed.
ErrCode ExecuteBreakChecked(EngineContext* ctx);

// The address the code pointer designates; null for kCodeNone and kinds that
// hold no code here (kCodeStatic), and for an offset outside its area.
const int16_t* GetCodePointer(EngineContext* ctx);
// The bytes from the code pointer to the end of its area; 0 where
// GetCodePointer gives null.
uint64_t CodePointerRoom(EngineContext* ctx);
// Stores an address as the offset from the base of the current kind's area.
void SetCodePointer(EngineContext* ctx, const int16_t* address);

// Runs the first entry of the pending-call queue (the others move up): an
// entry with a function is called as function(ctx, argument); an entry
// without one points to a saved call record {double n; the function value
// and its n arguments as CopyEntryToBytes writes them}, whose call is set up
// with no outputs. A failure unwinds to the stack level the call started at
// and is returned. With ipCell the code pointer is saved from it before and
// reloaded into it afterwards.
using PendingCallFn = ErrCode (*)(EngineContext* ctx, uintptr_t argument);
ErrCode PrepareExecution(EngineContext* ctx, const int16_t** ipCell);

// Saves the instruction pointer and lets the thread chooser pick the next
// thread; reloads the pointer of the chosen thread and answers false (go
// on), or answers true when no thread has code to run.
bool YieldToThreads(EngineContext* ctx, const int16_t** ipCell);

// Prints the error (not kept) and one "-> function;line" line per frame
// from the current one outward to descriptor 2; runs of frames at the same
// function and line are counted ("3 recursive calls").
void PrintErrorTrace(EngineContext* ctx, ErrCode code);

// Calls the native record whose global index over the registry is
// opcode - 333 with its option word (InvokeNative, with the kFwContinue
// word for its call-backs); 12 (illegal) when there is no such function
// record.
ErrCode CallNativeByGlobalIndex(EngineContext* ctx, int32_t opcode, int32_t inputs, int32_t outputs,
                                uint32_t continuation);

// How many frames, from the current one down, will call back a native of
// this function when they return: how deeply that native runs inside the
// functions it called (a solver whose function starts the solver again).
int32_t CountCallBacksOf(EngineContext* ctx, const void* function);

// Runs `words` words of code (a halt is appended) as a function of its own
// whose entries are the top `inputs` stack entries, with `variables` unset
// variables of its own; the code lies in a value on the data stack below
// them. When the code halts, the top `outputs` entries replace the inputs
// and execution continues at the code pointer saved before the call. The
// call is only set up: the loop runs the code. 1 or 3 when the stacks are
// full, 12 for counts that do not fit.
ErrCode RunFunctionCode(EngineContext* ctx, const int16_t* code, int32_t words, int32_t inputs,
                        int32_t outputs, int32_t variables);
// The room RunFunctionCode takes for `words` words of code with `variables`
// variables, asked for at once before the caller lays its operands out as
// the inputs: with it found, and the stacks not raised before the call,
// RunFunctionCode run while RoomRequestsPaused finds its room, so that a
// shortage leaves the operands as they came. 0, or 1 or 3.
ErrCode FunctionCodeRoom(EngineContext* ctx, int32_t words, int32_t variables);

// ---- Cooperative threads (served elsewhere) ----
// SwitchThread: target is a thread's block index, 0 for thread 0, -1 to let
// the chooser pick. KillThread: ends the thread of that block (0: nothing).
ErrCode SwitchThread(EngineContext* ctx, int32_t target);
void KillThread(EngineContext* ctx, uint32_t block);

}  // namespace vke
