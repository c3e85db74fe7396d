// sscanf and fscanf: the scanning engine over a string or over one line read
// from a file descriptor.
#include "builtins/builtin.hpp"
#include "builtins/file_io.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/scanf.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Scans the char array at depth 1 with the template on top; *pushed is the
// number of results pushed above them.
ErrCode ScanBelowTemplate(EngineContext* ctx, int32_t nargout, int32_t* pushed) {
  const NumericView text = ViewNumeric(ctx, 1);
  if (text.cls != ValueClass::kChar) return kErrBadArg;
  return ScanWithTemplate(ctx, reinterpret_cast<const uint16_t*>(text.elements), text.shape.count,
                          nargout, pushed);
}

}  // namespace

ErrCode SscanfBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  if (nargin != 2) return nargin < 2 ? kErrTooFewArgin : kErrTooManyArgin;
  int32_t pushed;
  if (ErrCode e = ScanBelowTemplate(ctx, nargout, &pushed)) return e;
  return DropStackEntries(ctx, pushed, 2);
}

// [descriptor,] template; the descriptor defaults to 0. A line read that
// waits for data resumes as fgetl does. The line's bytes stay, under the
// text decoded from them, until its values stand: without room for the
// text or the values they go back to the stream, the arguments stand as
// given, and the run after growth reads the same line.
ErrCode FscanfBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  if (nargin < 1) return kErrTooFewArgin;
  if (nargin > 2) return kErrTooManyArgin;
  int32_t progress = 0;
  const bool resumed = TakeResumeMarker(ctx, &progress);
  int32_t fd = 0;
  ErrCode e = ViewNumeric(ctx, resumed).cls == ValueClass::kChar ? kOk : kErrBadArg;
  if (!e && nargin == 2) e = GetFileIdArg(ctx, resumed + 1, &fd);
  if (e) {
    Drop(ctx, resumed);
    return e;
  }
  int32_t n;
  if ((e = ReadLineBytesFromFd(ctx, fd, -1, resumed, progress, &n))) return e;
  FinishByteString(ctx, (n + 1) / 2);
  DropStackEntries(ctx, 1, resumed);
  const char* bytes = reinterpret_cast<const char*>(ViewNumeric(ctx, 0).elements);
  const int32_t text = n > 0 && bytes[n - 1] == '\n' ? n - 1 : n;
  e = PushEncodedString(ctx, text, bytes);
  if (!e) {
    RollStackEntries(ctx, 3, 1);  // the template on top, the text below it
    int32_t pushed;
    e = ScanBelowTemplate(ctx, nargout, &pushed);
    if (!e) return DropStackEntries(ctx, pushed, nargin + 2);
    RollStackEntries(ctx, 3, 2);  // the template back under the bytes and text
    Drop(ctx);
  }
  if (IsEngineMemoryCode(e) &&
      GiveBackToFd(ctx, fd, reinterpret_cast<const char*>(ViewNumeric(ctx, 0).elements), n))
    e = kErrIoErr;
  Drop(ctx);
  return e;
}

}  // namespace vke
