// Creating, resetting and configuring an engine: the operations a host calls
// on the context, the debugger holders, the error location, the reserved-name
// list and the call-argument adders handed to callbacks.
#pragma once

#include "engine/context.hpp"

namespace vke {

// ---- Creation and reset ----
ErrCode CreateEngine(void* area, uint32_t size, EngineContext** out);
const char* GetEngineVersion();
void ResetEngineState(EngineContext* ctx);
ErrCode ResetEngine(EngineContext* ctx);

// ---- Host setters ----
void SetEngineCallbacks(EngineContext* ctx, ThreadTimerFn fn, uintptr_t argument,
                        uint32_t hostAreaSize);
void SetHookUserData(EngineContext* ctx, uintptr_t word);
void SetHostCallbackPair(EngineContext* ctx, AbortFn fn, uintptr_t argument);
// Nonzero: compiled code carries line markers and may declare persistent
// variables, as the application compiles.
void SetContextFlag(EngineContext* ctx, uint8_t lineMarkers);
// With retry on, a builtin of the main thread that fails for lack of room (a code
// IsEngineMemoryCode accepts) with its operands still on the stack ends
// ExecuteBytecode with that code before anything is unwound or printed, and
// MemoryRetryPending tells so; once the host has grown the area
// (MakeContextAbsolute) and turned retry on again, ExecuteBytecode runs the
// builtin again. With retry off such failures take the error path.
void SetMemoryRetry(EngineContext* ctx, bool on);
bool MemoryRetryPending(const EngineContext* ctx);

void SetCompileOptions(EngineContext* ctx, int32_t level, uint8_t byte);
void SetHostCallbacks(EngineContext* ctx, ContextResolverFn fn, uintptr_t argument);
void SetTextEncoding(EngineContext* ctx, char letter);
void SetDisplayOptions(EngineContext* ctx, char formatLetter, int32_t digits, char imagLetter,
                       uint8_t looseSpacing, int32_t word, uint8_t on);
void GetDisplayOptions(EngineContext* ctx, char* formatLetter, int32_t* digits, char* imagLetter,
                       uint8_t* looseSpacing, int32_t* word, uint8_t* on);

// ---- Debugger holders ----
bool IsDebugging(EngineContext* ctx);
ErrCode DebugUp(EngineContext* ctx);
ErrCode SetBreakpoint(EngineContext* ctx, const char* name, int32_t length, int32_t line);
ErrCode ClearBreakpoint(EngineContext* ctx, const char* name, int32_t length, int32_t line);
void SetInterruptDebug(EngineContext* ctx, uint8_t on);
uint8_t GetInterruptDebug(EngineContext* ctx);
ErrCode SetEchoMode(EngineContext* ctx, bool on, const char* name, int32_t length, int32_t level);
// The function a name given to the debugger stands for, looked up as the
// name queries look names up (from the library of the current frame's
// function); kErrUndefFun raised with the name when there is none.
ErrCode FindDebugFunction(EngineContext* ctx, const char* name, int32_t length, int32_t* index);
// Breakpoint i in the order they were set; false beyond the last.
bool GetBreakpoint(EngineContext* ctx, uint32_t i, int32_t* function, int32_t* line);
// The execution loop's stepping words keep the last function the line
// instruction asked about and whether any breakpoint names it (-1:
// unknown); a change of the breakpoints makes it unknown.
enum StepWord : int { kStepCachedFunction = 0, kStepCachedHasBreakpoint = 1 };
inline void ForgetCachedBreakpoint(EngineContext* ctx) {
  ctx->stepWords[kStepCachedHasBreakpoint] = -1;
}

// ---- Error location ----
void SetErrorLocation(EngineContext* ctx, ErrCode code, int32_t position);
void ClearErrorLocation(EngineContext* ctx);
int32_t GetErrorLocationText(EngineContext* ctx, char* buffer, int32_t size, char* nameBuffer,
                             int32_t nameSize);
// Whether function n is a command's own code (-1: text code where the
// current frame stands, not that of a text run nested in a function or in
// the command) or a function of library "_cli", which commands define.
bool IsCommandLineCode(EngineContext* ctx, int32_t n);
void GetFunctionNameOfIndex(EngineContext* ctx, int32_t n, const char** name, int32_t* length);
int32_t GetFunctionNameAndLine(EngineContext* ctx, int32_t n, char* buffer, int32_t size,
                               int32_t* length);

// ---- Reserved names ----
ErrCode AddReservedName(EngineContext* ctx, const char* name, intptr_t value);
intptr_t FindReservedName(EngineContext* ctx, const char* name);

// ---- Calling back from natives ----
ErrCode CallHookByName(EngineContext* ctx, const char* name, int32_t kind, uintptr_t argument);

using AddCallArgumentFn = bool (*)(ContextResolverFn resolver, uintptr_t, uintptr_t,
                                   uintptr_t holder, uintptr_t value, uintptr_t extra);
using AddCallArgumentValueFn = bool (*)(ContextResolverFn resolver, uintptr_t, uintptr_t,
                                        uintptr_t holder, uintptr_t value);
struct CallArgumentAdders {
  ContextResolverFn resolver;
  AddCallArgumentFn add;
  AddCallArgumentValueFn addValue;
  uintptr_t holder;  // the resolver's argument, or the context itself
};
void GetCallArgumentAdders(EngineContext* ctx, CallArgumentAdders* record);
bool AddCallArgument(ContextResolverFn resolver, uintptr_t, uintptr_t, uintptr_t holder,
                     uintptr_t value, uintptr_t extra);
bool AddCallArgumentValue(ContextResolverFn resolver, uintptr_t, uintptr_t, uintptr_t holder,
                          uintptr_t value);
ErrCode ComputeCallFrameSize(EngineContext* ctx, int32_t n, int32_t count, int32_t* size);
ErrCode PrepareFunctionCall(EngineContext* ctx, int32_t n, int32_t count,
                            CallArgumentAdders* record, void* buffer);

}  // namespace vke
