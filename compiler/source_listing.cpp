// dbtype: a function's source listed with line numbers, the current line
// marked ">" and lines with a breakpoint "#", from its definition up to the
// next definition of its source.
#include <cstdio>

#include "builtins/builtin_helpers.hpp"
#include "compiler/help_files.hpp"
#include "compiler/lexer_helpers.hpp"
#include "compiler/library_source.hpp"
#include "compiler/tool_natives.hpp"
#include "compiler/tool_support.hpp"
#include "engine/engine.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kNumberColumns = 4;  // widened for lines of 10000 and more
constexpr int32_t kMarkBytes = 24;

bool HasBreakpoint(EngineContext* ctx, int32_t fn, int32_t line, bool firstLine) {
  int32_t f, l;
  for (uint32_t i = 0; GetBreakpoint(ctx, i, &f, &l); i++)
    if (f == fn && (l == line || (firstLine && l == 0))) return true;
  return false;
}

// The function dbtype lists without a name: the current frame's, or its
// caller's; -1 when neither runs a function.
int32_t FunctionOfCurrentFrame(EngineContext* ctx) {
  for (int32_t f = ctx->curFrame, k = 0; f >= 0 && k < 2; f = PreviousFrame(ctx, f), k++) {
    const auto fn = static_cast<int32_t>(FrameWords(ctx, f)[kFwFunction]);
    if (fn >= 0) return fn;
  }
  return -1;
}

// The line the current frame, or its caller, stands at in function fn; -1
// when neither runs it.
int32_t CurrentLineIn(EngineContext* ctx, int32_t fn) {
  for (int32_t f = ctx->curFrame, k = 0; f >= 0 && k < 2; f = PreviousFrame(ctx, f), k++) {
    const uint32_t* w = FrameWords(ctx, f);
    if (static_cast<int32_t>(w[kFwFunction]) == fn) return static_cast<int32_t>(w[kFwPosition]);
  }
  return -1;
}

// True when the line at pos, blanks and comments skipped, begins another
// definition.
bool StartsDefinition(const char* text, int32_t length, int32_t pos) {
  int32_t lines = 0;
  SkipSpaceAndComments(text, length, &pos, false, &lines);
  return MatchKeywordAt(text, length, &pos, "function") ||
         MatchKeywordAt(text, length, &pos, "define");
}

ErrCode WriteListing(EngineContext* ctx, int32_t fn, const char* text, int32_t length,
                     int32_t line) {
  const int32_t current = CurrentLineIn(ctx, fn);
  const int32_t first = line;
  for (int32_t pos = 0; pos < length; line++) {
    if (PollAbortRequest(ctx)) return kOk;
    if (line > first && StartsDefinition(text, length, pos)) return kOk;
    int32_t end = pos;
    while (end < length && !IsLineEnd(text[end])) end++;
    char mark[kMarkBytes];
    int32_t at = 0;
    mark[at++] = line == current ? '>' : ' ';
    mark[at++] = HasBreakpoint(ctx, fn, line, line == first) ? '#' : ' ';
    char digits[kMarkBytes];
    const int32_t n = std::snprintf(digits, sizeof digits, "%*d", kNumberColumns, line);
    AppendBytes(mark, &at, digits, n, sizeof mark);
    AppendBytes(mark, &at, " ", 1, sizeof mark);
    ErrCode e = WriteToFd(ctx, kFdOut, mark, at);
    if (!e) e = WriteToFd(ctx, kFdOut, text + pos, end - pos);
    if (!e) e = WriteNewlineToFd(ctx, kFdOut);
    if (e) return e;
    pos = end;
    if (pos < length && text[pos] == '\r' && pos + 1 < length && text[pos + 1] == '\n') pos++;
    if (pos < length) pos++;
  }
  return kOk;
}

}  // namespace

ErrCode DbtypeNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  int32_t fn = -1;
  char name[kToolNameBytes];
  int32_t length;
  if (nargin == 1) {
    if (ErrCode e = ReadDebugFunction(ctx, 0, name, &length, &fn)) return e;
  } else {
    fn = FunctionOfCurrentFrame(ctx);
  }
  if (fn >= 0) {
    TextRoom room(ctx);
    int32_t line = 0;
    length = 0;
    ErrCode e = room.data()
                    ? FindFunctionSource(ctx, fn, room.data(), room.capacity(), &length, &line)
                    : kErrDataOverflow;
    if (e) return e;
    FlushFd(ctx, kFdOut, kBufferingOn);
    e = WriteListing(ctx, fn, room.data(), length, line);
    FlushFd(ctx, kFdOut, kBufferingOff);
    if (e) return e;
  }
  return ReplaceInputsWithNothing(ctx, nargin, nargout);
}

}  // namespace vke
