// The host's setters: callbacks, compiler switches, text codec and display
// options.
#include "engine/compile_hooks.hpp"
#include "engine/engine.hpp"
#include "engine/text/text.hpp"

namespace vke {

void SetEngineCallbacks(EngineContext* ctx, ThreadTimerFn fn, uintptr_t argument,
                        uint32_t hostAreaSize) {
  ctx->threadTimer = fn;
  ctx->threadTimerArg = argument;
  ctx->threadHostAreaSize = hostAreaSize;
}

void SetHookUserData(EngineContext* ctx, uintptr_t word) {
  ctx->defaultUserData = word;
}

void SetHostCallbackPair(EngineContext* ctx, AbortFn fn, uintptr_t argument) {
  ctx->abortFn = fn;
  ctx->abortArg = argument;
}

void SetContextFlag(EngineContext* ctx, uint8_t lineMarkers) {
  ctx->lineMarkers = lineMarkers;
}

void SetMemoryRetry(EngineContext* ctx, bool on) {
  ctx->memoryRetry = on ? 1 : 0;
}

bool MemoryRetryPending(const EngineContext* ctx) {
  return ctx->memoryRetry == kMemoryRetryPending;
}

void SetCompileOptions(EngineContext* ctx, int32_t level, uint8_t byte) {
  ctx->optLevel = level;
  ctx->optByte = byte;
}

void SetCompileHooks(EngineContext* ctx, const CompileHooks* hooks) {
  ctx->compileHooks = hooks;
}

void SetHostCallbacks(EngineContext* ctx, ContextResolverFn fn, uintptr_t argument) {
  ctx->resolver = fn;
  ctx->resolverArg = argument;
}

void SetTextEncoding(EngineContext* ctx, char letter) {
  switch (letter) {
    case 'u':
      ctx->bomSkip = SkipUtf8Bom;
      ctx->decodeChar = DecodeUtf8Char;
      ctx->encodeChar = AppendUtf8CharCodec;
      break;
    case 's':
    case 'G':
      ctx->bomSkip = nullptr;
      ctx->decodeChar = DecodeTwoByteChar;
      ctx->encodeChar = AppendTwoByteChar;
      break;
    default:
      ctx->bomSkip = nullptr;
      ctx->decodeChar = nullptr;
      ctx->encodeChar = nullptr;
  }
}

void SetDisplayOptions(EngineContext* ctx, char formatLetter, int32_t digits, char imagLetter,
                       uint8_t looseSpacing, int32_t word, uint8_t on) {
  ctx->formatLetter = static_cast<uint8_t>(formatLetter);
  ctx->displayDigits = digits;
  ctx->imagLetter = static_cast<uint8_t>(imagLetter);
  ctx->looseSpacing = looseSpacing;
  ctx->displayWord = word;
  ctx->displayOnOff = on ? 0 : -1;
}

void GetDisplayOptions(EngineContext* ctx, char* formatLetter, int32_t* digits, char* imagLetter,
                       uint8_t* looseSpacing, int32_t* word, uint8_t* on) {
  if (formatLetter) *formatLetter = static_cast<char>(ctx->formatLetter);
  if (digits) *digits = ctx->displayDigits;
  if (imagLetter) *imagLetter = static_cast<char>(ctx->imagLetter);
  if (looseSpacing) *looseSpacing = ctx->looseSpacing;
  if (word) *word = ctx->displayWord;
  if (on) *on = ctx->displayOnOff >= 0 ? 1 : 0;
}

}  // namespace vke
