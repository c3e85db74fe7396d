// Helpers of the tool natives: names given to them, the stopped frame,
// function names on a descriptor, tolerated look-up errors.
#include "compiler/tool_support.hpp"

#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kFunctionNameBytes = 101;  // "lib/.qualifier::name", at most 100
constexpr int32_t kReportedNameBytes = 64;
constexpr int32_t kOptionBytes = 16;

}  // namespace

ErrCode ReadToolName(EngineContext* ctx, int32_t depth, char* name, int32_t* length,
                     bool* tooLong) {
  const ErrCode e = GetStringArgToBuffer(ctx, depth, name, kToolNameBytes - 1, length);
  if (tooLong) *tooLong = e == kErrObjTooLarge;
  if (e && e != kErrObjTooLarge) return e;
  name[*length] = 0;
  if (!e || tooLong) return kOk;
  // Longer than the room: no function has such a name. The buffer holds
  // the text's start, which the error names.
  char start[kReportedNameBytes];
  CopyCStringBounded(start, sizeof start, name, sizeof start - 1);
  return RaiseError(ctx, kErrUndefFun, -1, 0, -1, start);
}

ErrCode ReadDebugFunction(EngineContext* ctx, int32_t depth, char* name, int32_t* length,
                          int32_t* function) {
  ErrCode e = ReadToolName(ctx, depth, name, length);
  return e ? e : FindDebugFunction(ctx, name, *length, function);
}

ErrCode ReadOption(EngineContext* ctx, int32_t depth, std::initializer_list<const char*> words,
                   int32_t* which) {
  char text[kOptionBytes];
  int32_t length;
  ErrCode e = GetStringArgToBuffer(ctx, depth, text, sizeof text, &length);
  if (e == kErrObjTooLarge) return kErrUnknownOpt;  // longer than any option
  if (e) return e;
  *which = 0;
  for (const char* word : words) {
    if (StringsEqual(text, length, word, -1, false)) return kOk;
    ++*which;
  }
  return kErrUnknownOpt;
}

int32_t StoppedFrame(EngineContext* ctx) {
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f))
    if (FrameWords(ctx, f)[kFwDebugKind] != 0) return f;
  return -1;
}

ErrCode WriteFunctionName(EngineContext* ctx, int32_t fd, int32_t fn) {
  if (fn == -2) return WriteToFd(ctx, fd, "(inline)", 8);
  char text[kFunctionNameBytes];
  int32_t length = 0;
  GetFunctionNameAndLine(ctx, fn, text, sizeof text, &length);
  return WriteToFd(ctx, fd, text, length);
}

TolerantLookup::TolerantLookup(EngineContext* ctx)
    : ctx_(ctx),
      pending_(ctx->pendingError),
      code_(static_cast<ErrCode>(ctx->errLocCode)),
      function_(ctx->errLocFunc),
      position_(ctx->errLocPos) {
  std::memcpy(name_, ctx->errLocName, sizeof name_);
}

void TolerantLookup::Forget() {
  if (ctx_->pendingError != pending_ && ctx_->pendingError != -1) {
    FreeEngineBlock(ctx_, ctx_->pendingError);
    ctx_->pendingError = -1;
  }
  ctx_->errLocCode = static_cast<int32_t>(code_);
  ctx_->errLocFunc = function_;
  ctx_->errLocPos = position_;
  std::memcpy(ctx_->errLocName, name_, sizeof name_);
}

}  // namespace vke
