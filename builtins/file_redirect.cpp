// The redirect builtin: sets and shows the redirection of descriptors 1 and
// 2.
#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/number_text.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Writes "stdout (fd=1) -> fd=T" (" copy" when copying) as one line.
ErrCode ListRedirection(EngineContext* ctx, int32_t fd) {
  char line[64];
  int32_t at = 0;
  const int32_t size = sizeof line;
  AppendCString(line, &at, fd == kFdOut ? "stdout (fd=" : "stderr (fd=", size);
  AppendFormattedInt(line, &at, fd, false, 0, false, false, false, 1, size);
  AppendCString(line, &at, ") -> fd=", size);
  AppendFormattedInt(line, &at, ctx->redirectTarget[fd - 1], false, 0, false, false, false, 1,
                     size);
  if (ctx->redirectCopy[fd - 1]) AppendCString(line, &at, " copy", size);
  ErrCode e = WriteToFd(ctx, kFdOut, line, at);
  return e ? e : WriteNewlineToFd(ctx, kFdOut);
}

}  // namespace

// [descriptor 1 or 2 [, target [, copy flag]]]. Without outputs the streams
// concerned (the given one, or both) are listed; with one, their [target
// copy] rows are the result.
ErrCode RedirectBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  if (nargin > 3) return kErrTooManyArgin;
  int32_t fd = 0;
  if (nargin >= 1) {
    if (ErrCode e = GetIntegerArg(ctx, nargin - 1, &fd)) return e;
    if (fd != kFdOut && fd != kFdErr) return kErrBadFileID;
  }
  if (nargin >= 2) {
    int32_t target;
    uint8_t copy = 0;
    ErrCode e = GetIntegerArg(ctx, nargin - 2, &target);
    if (!e && nargin == 3) e = GetBooleanArg(ctx, 0, &copy);
    if (e) return e;
    const int32_t other = fd == kFdOut ? kFdErr : kFdOut;
    if (target == other && ctx->redirectTarget[other - 1] == fd)
      return RaiseErrorById(ctx, "VKE:redirectLoop", -1, "stdout <-> stderr redirection loop", -1);
    SetRedirect(ctx, fd, target, copy);
  }
  const int32_t first = fd ? fd : kFdOut;
  const int32_t last = fd ? fd : kFdErr;
  // The result, or the no value a statement gives, takes its room above the
  // arguments before anything is listed: without room the call has written
  // nothing and runs again as it stands once the area has grown.
  if (nargout > 0) {
    double* rows;
    ErrCode e = PushNewMatrix(ctx, last - first + 1, 2, &rows, nullptr);
    if (e) return e;
    for (int32_t s = first; s <= last; s++) {
      *rows++ = ctx->redirectTarget[s - 1];
      *rows++ = ctx->redirectCopy[s - 1];
    }
  } else {
    if (nargout < 0)
      if (ErrCode e = PushNoValue(ctx)) return e;
    for (int32_t s = first; s <= last; s++)
      if (ErrCode e = ListRedirection(ctx, s)) {
        if (nargout < 0) Drop(ctx);
        return e;
      }
  }
  return DropStackEntries(ctx, nargout != 0 ? 1 : 0, nargin);
}

}  // namespace vke
