// sscanf and fscanf: the scanning engine over a string or over one line read
// from a file descriptor.
#include "builtins/builtin.hpp"
#include "builtins/file_io.hpp"
#include "engine/errors/errors.hpp"
#include "engine/text/scanf.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Scans the char array at depth 1 with the template on top and replaces the
// `entries` entries below the results by them.
ErrCode ScanEntryBelowTemplate(EngineContext* ctx, int32_t nargout, int32_t entries) {
  const NumericView text = ViewNumeric(ctx, 1);
  if (text.cls != ValueClass::kChar) return kErrBadArg;
  int32_t pushed;
  ErrCode e = ScanWithTemplate(ctx, reinterpret_cast<const uint16_t*>(text.elements),
                               text.shape.count, nargout, &pushed);
  if (e) return e;
  return DropStackEntries(ctx, pushed, entries);
}

}  // namespace

ErrCode SscanfBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  if (nargin != 2) return nargin < 2 ? kErrTooFewArgin : kErrTooManyArgin;
  return ScanEntryBelowTemplate(ctx, nargout, 2);
}

// [descriptor,] template; the descriptor defaults to 0. A line read that
// waits for data resumes as fgetl does.
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
  e = ReadLineFromFd(ctx, fd, -1, resumed, progress, true);
  if (e) return e;
  RollStackEntries(ctx, 2, 1);  // the template back on top, the line below it
  return ScanEntryBelowTemplate(ctx, nargout, nargin + 1);
}

}  // namespace vke
