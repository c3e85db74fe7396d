// The descriptor builtins: fclose, fflush, fseek, ftell, feof and clc, each
// a request to the descriptor layer.
#include "builtins/builtin.hpp"
#include "builtins/file_io.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/text.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Sends a request without a result to the descriptor of the argument on top
// (or to fd when there is no argument), and drops the argument.
ErrCode SimpleRequest(EngineContext* ctx, int32_t nargin, int32_t fd, int32_t request) {
  if (nargin > 1) return kErrTooManyArgin;
  if (nargin == 1)
    if (ErrCode e = GetFileIdArg(ctx, 0, &fd)) return e;
  ErrCode e = IoControlFd(ctx, fd, request, 0, nullptr, nullptr);
  if (e) return e;
  return Drop(ctx, nargin);
}

// The descriptor of a builtin whose one argument it is.
ErrCode OnlyFdArg(EngineContext* ctx, int32_t nargin, int32_t* fd) {
  if (nargin != 1) return nargin < 1 ? kErrTooFewArgin : kErrTooManyArgin;
  return GetFileIdArg(ctx, 0, fd);
}

// Replaces the n arguments by the request's result: the out word, or -1 when
// the layer reports a read/write error. The result takes the room of the
// descriptor's number: a request done is never asked again for want of it.
ErrCode PushRequestResult(EngineContext* ctx, int32_t n, ErrCode e, intptr_t word) {
  if (e && e != kErrIoErr) return e;
  return ReplaceInputsWithScalar(ctx, n, e ? -1.0 : static_cast<double>(word));
}

}  // namespace

// A number closes that descriptor, "all" closes every one: each library
// closes its own and passes the request on, so that no taker is no error.
ErrCode FcloseBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin != 1) return nargin < 1 ? kErrTooFewArgin : kErrTooManyArgin;
  int32_t fd;
  if (ViewNumeric(ctx, 0).cls == ValueClass::kChar) {
    const char* text;
    int32_t length;
    GetStringArg(ctx, 0, &text, &length);
    if (!StringsEqual(text, length, "all", 3, false)) return kErrUnknownOpt;
    fd = kAllFds;
  } else if (GetFileIdArg(ctx, 0, &fd)) {
    return kErrWrongTypeOverload;
  }
  ErrCode e = CloseFd(ctx, fd);
  if (e && !(fd == kAllFds && e == kErrBadFileID)) return e;
  return Drop(ctx);
}

ErrCode FflushBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin < 1) return kErrTooFewArgin;
  return SimpleRequest(ctx, nargin, 0, kIoFlush);
}

// clc [descriptor]: the descriptor defaults to 1.
ErrCode ClcBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  return SimpleRequest(ctx, nargin, kFdOut, kIoClear);
}

// descriptor, offset [, origin "b", "c" or "e" (first character)].
ErrCode FseekBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  if (nargin < 2) return kErrTooFewArgin;
  if (nargin > 3) return kErrTooManyArgin;
  int32_t request = kIoSeekBegin;
  if (nargin == 3) {
    const char* origin;
    int32_t length;
    if (GetStringArg(ctx, 0, &origin, &length) || length < 1) return kErrUnknownOpt;
    if (origin[0] == 'c')
      request = kIoSeekCurrent;
    else if (origin[0] == 'e')
      request = kIoSeekEnd;
    else if (origin[0] != 'b')
      return kErrUnknownOpt;
  }
  int32_t fd;
  double offset;
  ErrCode e = GetFileIdArg(ctx, nargin - 1, &fd);
  if (!e) e = GetScalarArg(ctx, nargin - 2, &offset);
  if (e) return e;
  e = IoControlFd(ctx, fd, request, static_cast<intptr_t>(TruncToInt64(offset)), nullptr, nullptr);
  if (nargout == 0) return e ? e : Drop(ctx, nargin);
  return PushRequestResult(ctx, nargin, e, 0);
}

ErrCode FtellBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  int32_t fd;
  ErrCode e = OnlyFdArg(ctx, nargin, &fd);
  if (e) return e;
  intptr_t position = 0;
  e = IoControlFd(ctx, fd, kIoTell, 0, &position, nullptr);
  return PushRequestResult(ctx, 1, e, position);
}

ErrCode FeofBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  int32_t fd;
  ErrCode e = OnlyFdArg(ctx, nargin, &fd);
  if (e) return e;
  uint8_t atEnd = 0;
  e = IoControlFd(ctx, fd, kIoEndOfFile, 0, nullptr, &atEnd);
  if (e) return e;
  return ReplaceInputsWithLogical(ctx, 1, atEnd != 0);
}

}  // namespace vke
