// What the natives of the language's tools share: reading a name given to
// them, the frames the debugger looks at, function names written to a
// descriptor, and errors raised by a look-up whose failure they tolerate.
#pragma once

#include <initializer_list>

#include "engine/context.hpp"
#include "engine/frames/frames.hpp"

namespace vke {

// The engine's own library: the builtins' and operators' module, whose help
// file documents them.
inline constexpr char kEngineLibrary[] = "VKE";

// Room for a name given to a tool: "lib::name" and more, so that a longer
// text is still reported as the name it is.
inline constexpr int32_t kToolNameBytes = 256;

// A name given as a char row at the depth (terminated); kErrWrongType for any other
// value. A text longer than any name is no name: with tooLong given, *tooLong
// is set and name holds the text's start; without, kErrUndefFun is raised
// with its start.
ErrCode ReadToolName(EngineContext* ctx, int32_t depth, char* name, int32_t* length,
                     bool* tooLong = nullptr);

// A name at the depth and the function it stands for, looked up as the
// debugger looks names up (kErrUndefFun raised when there is none).
ErrCode ReadDebugFunction(EngineContext* ctx, int32_t depth, char* name, int32_t* length,
                          int32_t* function);

// An option given as a text at the depth: *which receives the index of the
// word it equals; kErrUnknownOpt for any other text.
ErrCode ReadOption(EngineContext* ctx, int32_t depth, std::initializer_list<const char*> words,
                   int32_t* which);

// True for frames of functions (compiled or inline), false for code that is
// not a function (command lines, eval texts).
inline bool IsFunctionFrame(EngineContext* ctx, int32_t f) {
  const int32_t fn = static_cast<int32_t>(FrameWords(ctx, f)[kFwFunction]);
  return fn >= 0 || fn == -2;
}

// The frame where execution stopped for the debugger, -1 when it has not.
int32_t StoppedFrame(EngineContext* ctx);

// Writes the name of function `fn` as errors name it ("lib/name"), or
// "(inline)" for inline code.
ErrCode WriteFunctionName(EngineContext* ctx, int32_t fd, int32_t fn);

// Keeps the error state as it is while a look-up whose failure is
// tolerated (a missing help file) may raise one: Forget() drops what was
// raised since.
class TolerantLookup {
 public:
  explicit TolerantLookup(EngineContext* ctx);
  void Forget();

 private:
  EngineContext* ctx_;
  int32_t pending_;
  ErrCode code_;
  int32_t function_, position_;
  char name_[32];
};

}  // namespace vke
