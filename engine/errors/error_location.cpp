// Where an error happened: the function and code position recorded with the
// error, and the texts that name functions for messages and traces.
#include <cstring>

#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/frames/frames.hpp"
#include "engine/text/text.hpp"

namespace vke {

namespace {

const uint8_t* FunctionEntry(EngineContext* ctx, int32_t n) {
  return ctx->CodeBytes() + 16ull * static_cast<uint32_t>(n);
}

// Writes "lib/" or "lib/." and "qualifier::" and the name of function n.
int32_t ComposeFunctionName(EngineContext* ctx, int32_t n, char* buffer, int32_t size) {
  int32_t pos = 0;
  if (size <= 0) return 0;
  buffer[0] = 0;
  if (n < 0 || static_cast<uint32_t>(n) >= ctx->funcCount) return 0;
  const uint8_t* e = FunctionEntry(ctx, n);
  uint32_t w1 = Load<uint32_t>(e + 4);
  uint32_t lib = w1 & 0x3FFFFFFF;
  int32_t len;
  if (lib != 0 && lib < ctx->funcCount) {
    const char* libName = NameText(ctx, Load<int32_t>(FunctionEntry(ctx, lib) + 4), &len);
    if (libName) {
      AppendBytes(buffer, &pos, libName, len, size);
      AppendBytes(buffer, &pos, "/", 1, size);
      if (w1 & 0x80000000u) AppendBytes(buffer, &pos, ".", 1, size);
    }
  }
  const char* qual = NameText(ctx, Load<int32_t>(e + 12), &len);
  if (qual) {
    AppendBytes(buffer, &pos, qual, len, size);
    AppendBytes(buffer, &pos, "::", 2, size);
  }
  const char* name;
  GetFunctionNameOfIndex(ctx, n, &name, &len);
  AppendBytes(buffer, &pos, name, len, size);
  buffer[pos] = 0;
  return pos;
}

}  // namespace

void SetErrorLocation(EngineContext* ctx, ErrCode code, int32_t position) {
  int32_t func = -1;
  int32_t framePos = -1;
  int32_t f = ctx->curFrame;
  while (f >= 0) {
    const uint32_t* w = FrameWords(ctx, f);
    if (static_cast<int32_t>(w[kFwFunction]) != -1 || w[kFwReturnKind] == 0) {
      func = static_cast<int32_t>(w[kFwFunction]);
      framePos = static_cast<int32_t>(w[kFwPosition]);
      break;
    }
    if (w[kFwReturnKind] == kBaseFrameKind) {
      framePos = static_cast<int32_t>(w[kFwPosition]);
      break;
    }
    f = PreviousFrame(ctx, f);
  }
  ctx->errLocCode = code;
  ctx->errLocFunc = func;
  ctx->errLocPos = position > 0 ? position : framePos;
}

void ClearErrorLocation(EngineContext* ctx) {
  ctx->errLocCode = 0;
  ctx->errLocFunc = -1;
  ctx->errLocPos = 0;
  ctx->errLocName[0] = 0;
}

int32_t GetErrorLocationText(EngineContext* ctx, char* buffer, int32_t size, char* nameBuffer,
                             int32_t nameSize) {
  if (buffer && size > 0) {
    if (ctx->errLocFunc == -2) {
      int32_t pos = 0;
      AppendBytes(buffer, &pos, "(inline)", 8, size);
      buffer[pos] = 0;
    } else if (ctx->errLocFunc >= 0) {
      ComposeFunctionName(ctx, ctx->errLocFunc, buffer, size);
    } else {
      buffer[0] = 0;
    }
  }
  if (nameBuffer && nameSize > 0) {
    if (static_cast<uint8_t>(ctx->errLocName[0]) > ' ') {
      int32_t n = 0;
      while (n < 32 && ctx->errLocName[n]) n++;
      if (n > nameSize - 1) n = nameSize - 1;
      std::memcpy(nameBuffer, ctx->errLocName, n);
      nameBuffer[n] = 0;
    } else {
      nameBuffer[0] = 0;
    }
  }
  return ctx->errLocPos;
}

namespace {

// Whether the text code in which an error now stands is the command's own:
// the frame SetErrorLocation takes for it (the first from the current one
// that runs a function or starts a run) stands on the base frame or on the
// frame where the debugger stopped, not on code that runs a text of its own
// in a nested run (str2obj). A function's frame there means the text's
// place is not the error's.
bool RunsCommandText(EngineContext* ctx) {
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f)) {
    const uint32_t* w = FrameWords(ctx, f);
    if (w[kFwReturnKind] == kBaseFrameKind) return true;
    if (static_cast<int32_t>(w[kFwFunction]) != -1) return false;
    if (w[kFwReturnKind] != kCodeNone) continue;
    const int32_t below = PreviousFrame(ctx, f);
    if (below < 0) return true;
    const uint32_t* b = FrameWords(ctx, below);
    return b[kFwReturnKind] == kBaseFrameKind || b[kFwDebugKind] != 0;
  }
  return true;
}

}  // namespace

bool IsCommandLineCode(EngineContext* ctx, int32_t n) {
  if (n == -1) return RunsCommandText(ctx);
  if (n < 0 || static_cast<uint32_t>(n) >= ctx->funcCount) return false;
  const uint32_t lib = Load<uint32_t>(FunctionEntry(ctx, n) + 4) & 0x3FFFFFFF;
  if (lib == 0 || lib >= ctx->funcCount) return false;
  int32_t len = 0;
  const char* name = NameText(ctx, Load<int32_t>(FunctionEntry(ctx, lib) + 4), &len);
  return name && len == 4 && std::memcmp(name, "_cli", 4) == 0;
}

void GetFunctionNameOfIndex(EngineContext* ctx, int32_t n, const char** name, int32_t* length) {
  if (n < 0) {
    *name = "(none)";
    *length = 6;
    return;
  }
  const char* text = nullptr;
  int32_t len = 0;
  if (static_cast<uint32_t>(n) < ctx->funcCount) {
    int32_t id = Load<int32_t>(FunctionEntry(ctx, n));
    if (id < 0) text = NameText(ctx, id, &len);
  }
  if (!text) {
    *name = "(base)";
    *length = 6;
    return;
  }
  *name = text;
  *length = len;
}

int32_t GetFunctionNameAndLine(EngineContext* ctx, int32_t n, char* buffer, int32_t size,
                               int32_t* length) {
  int32_t len = ComposeFunctionName(ctx, n, buffer, size);
  if (length) *length = len;
  return len;
}

}  // namespace vke
