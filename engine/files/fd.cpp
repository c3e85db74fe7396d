// File descriptors: every operation is offered to the hook records of the
// registry in order until one takes it.
#include "engine/files/fd.hpp"

#include "engine/errors/errors.hpp"
#include "engine/memory_retry.hpp"
#include "engine/registry/hook_records.hpp"
#include "engine/registry/registry.hpp"
#include "engine/text/text.hpp"

namespace vke {

namespace {

// The hook records of each request, kept between requests.
thread_local HookRecords t_writeHooks{"+write"};
thread_local HookRecords t_bufferingHooks{"+iocbuffering"};
thread_local HookRecords t_controlHooks{"+iocontrol"};
thread_local HookRecords t_readHooks{"+read"};
thread_local HookRecords t_closeHooks{"+fclose"};

// The descriptor that output to fd goes to: 1 and 2 follow a plain
// redirection (one without copy).
int32_t RedirectedFd(EngineContext* ctx, int32_t fd) {
  if (fd == kFdOut || fd == kFdErr) {
    int32_t t = ctx->redirectTarget[fd - 1];
    if (t != fd && !ctx->redirectCopy[fd - 1]) return t;
  }
  return fd;
}

// The copy target of fd, or 0 when there is none.
int32_t CopyTarget(EngineContext* ctx, int32_t fd) {
  if (fd != kFdOut && fd != kFdErr) return 0;
  int32_t t = ctx->redirectTarget[fd - 1];
  if (t == fd || !ctx->redirectCopy[fd - 1]) return 0;
  if ((t == kFdOut || t == kFdErr) && ctx->redirectCopy[t - 1]) return 0;
  return t;
}

bool IsConsoleFd(int32_t fd) {
  return fd >= kFdOut && fd <= kFdConsole3;
}

// Offers a write to the "+write" hooks; newline selects each hook's line end.
ErrCode OfferWrite(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length,
                   bool newline) {
  const NativeFunctionRecord* rec = nullptr;
  bool any = false;
  while ((rec = t_writeHooks.Next(ctx, rec))) {
    if (!rec->function) continue;
    any = true;
    const char* text = bytes;
    int32_t n = length;
    if (newline) text = LineEndBytes(rec->minIn, &n);
    auto fn = reinterpret_cast<WriteHookFn>(rec->function);
    ErrCode e = fn(ctx, fd, text, n, RecordUserData(ctx, rec));
    if (e != kErrBadFileID) return e;
  }
  if (!any && IsConsoleFd(fd)) return kOk;
  return kErrBadFileID;
}

ErrCode AppendCapture(EngineContext* ctx, const char* bytes, int32_t length) {
  if (!ctx->captureBuf) return kOk;
  uint32_t len = *ctx->captureLen;
  if (uint64_t{len} + uint32_t(length) >= ctx->captureCap) return kErrDataOverflow;
  std::memcpy(ctx->captureBuf + len, bytes, length);
  *ctx->captureLen = len + length;
  ctx->captureBuf[len + length] = 0;
  return kOk;
}

ErrCode WriteOrNewline(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length,
                       bool newline) {
  if (fd == kFdCapture)
    return newline ? AppendCapture(ctx, "\n", 1) : AppendCapture(ctx, bytes, length);
  CountIrrevocableAct();
  int32_t target = RedirectedFd(ctx, fd);
  ErrCode e = OfferWrite(ctx, target, bytes, length, newline);
  if (e) return e;
  if (int32_t copy = CopyTarget(ctx, fd)) return OfferWrite(ctx, copy, bytes, length, newline);
  return kOk;
}

// After a CR that ended a line: a CR LF pair is one line end, so an LF
// that follows is read too; any other byte is given back. Only a stream with
// a position can give a byte back: on any other a CR alone ends the line,
// and a read that would wait for the next byte is not made.
void PassLineFeedAfterCr(EngineContext* ctx, int32_t fd, ReadHookFn fn, uintptr_t user) {
  if (IoControlFd(ctx, fd, kIoSeekCurrent, 0, nullptr, nullptr) != kOk) return;
  char next = 0;
  int32_t got = 0;
  if (fn(ctx, fd, &next, 1, &got, user) != kOk || got != 1 || next == '\n') return;
  IoControlFd(ctx, fd, kIoSeekCurrent, -1, nullptr, nullptr);
}

// The context whose line read is being offered to a hook that reads whole
// lines itself.
thread_local const EngineContext* t_lineReader = nullptr;

}  // namespace

bool IsLineRead(const EngineContext* ctx) {
  return ctx && t_lineReader == ctx;
}

ErrCode WriteToFd(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length) {
  if (length < 0) length = CStringLength(bytes);
  return WriteOrNewline(ctx, fd, bytes, length, false);
}

ErrCode WriteNewlineToFd(EngineContext* ctx, int32_t fd) {
  return WriteOrNewline(ctx, fd, nullptr, 0, true);
}

ErrCode FlushFd(EngineContext* ctx, int32_t fd, int32_t mode) {
  if (fd == kFdCapture) return kOk;
  auto offer = [&](int32_t target) -> ErrCode {
    const NativeFunctionRecord* rec = nullptr;
    bool any = false;
    while ((rec = t_bufferingHooks.Next(ctx, rec))) {
      if (!rec->function) continue;
      any = true;
      auto fn = reinterpret_cast<BufferingHookFn>(rec->function);
      ErrCode e = fn(ctx, target, mode, RecordUserData(ctx, rec));
      if (e != kErrBadFileID) return e;
    }
    return !any && IsConsoleFd(target) ? kOk : kErrBadFileID;
  };
  ErrCode e = offer(RedirectedFd(ctx, fd));
  if (e) return e;
  if (int32_t copy = CopyTarget(ctx, fd)) return offer(copy);
  return kOk;
}

ErrCode IoControlFd(EngineContext* ctx, int32_t fd, int32_t code, intptr_t input, intptr_t* outWord,
                    uint8_t* outByte) {
  const NativeFunctionRecord* rec = nullptr;
  while ((rec = t_controlHooks.Next(ctx, rec))) {
    if (!rec->function) continue;
    intptr_t word = input;
    auto fn = reinterpret_cast<IoControlHookFn>(rec->function);
    ErrCode e = fn(ctx, fd, code, &word, RecordUserData(ctx, rec));
    if (e == kErrBadFileID) continue;
    if (code == kIoEndOfFile && outByte) *outByte = word != 0;
    if ((code == kIoTell || code == kIoGiveBack) && outWord) *outWord = word;
    return e;
  }
  return kErrBadFileID;
}

ErrCode ReadFromFd(EngineContext* ctx, int32_t fd, char* buffer, int32_t size, bool lineMode,
                   int32_t* count) {
  *count = 0;
  const NativeFunctionRecord* rec = nullptr;
  while ((rec = t_readHooks.Next(ctx, rec))) {
    if (!rec->function) continue;
    auto fn = reinterpret_cast<ReadHookFn>(rec->function);
    uintptr_t user = RecordUserData(ctx, rec);
    if (!lineMode || rec->minIn != 0) {
      const EngineContext* outer = t_lineReader;
      t_lineReader = lineMode ? ctx : nullptr;
      ErrCode e = fn(ctx, fd, buffer, size, count, user);
      t_lineReader = outer;
      if (e == kErrBadFileID) continue;
      return e;
    }
    // A byte-driven hook: one byte at a time up to the line end.
    int32_t n = 0;
    for (;;) {
      if (n >= size) {
        *count = n;  // a full buffer ends the read; the next call goes on
        return kOk;
      }
      int32_t got = 0;
      ErrCode e = fn(ctx, fd, buffer + n, 1, &got, user);
      if (e == kErrBadFileID && n == 0) break;  // not this hook's descriptor
      if (e == kErrEof) {
        *count = n;
        return n == 0 ? kErrEof : kOk;
      }
      if (e) {
        *count = n;
        return e;
      }
      if (got == 0) {
        *count = n;
        return kStatusRetry;
      }
      char c = buffer[n];
      if (c == '\r' || c == '\n') {
        buffer[n] = '\n';
        *count = n + 1;
        if (c == '\r') PassLineFeedAfterCr(ctx, fd, fn, user);
        return kOk;
      }
      n++;
    }
  }
  return fd == 0 ? kErrEof : kErrBadFileID;
}

ErrCode GiveBackToFd(EngineContext* ctx, int32_t fd, const char* bytes, int32_t n) {
  if (n <= 0) return kOk;
  GivenBackBytes given{bytes, n};
  intptr_t word = -1;
  if (IoControlFd(ctx, fd, kIoGiveBack, reinterpret_cast<intptr_t>(&given), &word, nullptr) ==
          kOk &&
      word == 0)
    return kOk;
  return IoControlFd(ctx, fd, kIoSeekCurrent, -intptr_t{n}, nullptr, nullptr) == kOk ? kOk
                                                                                     : kErrIoErr;
}

ErrCode CloseFd(EngineContext* ctx, int32_t fd) {
  const NativeFunctionRecord* rec = nullptr;
  while ((rec = t_closeHooks.Next(ctx, rec))) {
    if (!rec->function) continue;
    auto fn = reinterpret_cast<CloseHookFn>(rec->function);
    ErrCode e = fn(ctx, fd, RecordUserData(ctx, rec));
    if (e != kErrBadFileID) return e;
  }
  return kErrBadFileID;
}

ErrCode SetRedirect(EngineContext* ctx, int32_t fd, int32_t target, uint8_t copy) {
  if (fd != kFdOut && fd != kFdErr) return kErrBadFileID;
  ctx->redirectTarget[fd - 1] = target;
  ctx->redirectCopy[fd - 1] = copy;
  return kOk;
}

int32_t AllocateFdRange(EngineContext* ctx, int32_t n) {
  int32_t first = ctx->nextFd;
  ctx->nextFd += n;
  return first;
}

}  // namespace vke
