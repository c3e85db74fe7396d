// sprintf and fprintf: formatted text as a char row, or written to a file
// descriptor.
#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/printf.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode SprintfBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin < 1) return kErrTooFewArgin;
  if (ctx->descCap - ctx->descTop < 3) return kErrStackOverflow;
  ErrCode e = FormatWithTemplate(ctx, nargin, false, nullptr, nullptr);
  if (e) return e;
  return DropStackEntries(ctx, 1, nargin);
}

ErrCode FprintfBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  if (nargin < 1) return kErrTooFewArgin;
  int32_t fd = kFdOut;
  const bool hasFd = ViewNumeric(ctx, nargin - 1).cls != ValueClass::kChar;
  if (hasFd) {
    const NumericView v = ViewNumeric(ctx, nargin - 1);
    if (!IsPlain(*DescAt(ctx, nargin - 1)) || v.complex || v.shape.count != 1)
      return kErrNonScalarArg;
    fd = TruncToInt32(Load<double>(v.elements));
  }
  int64_t bytes;
  if (ErrCode e = WriteFormattedText(ctx, nargin - hasFd, fd, &bytes)) return e;
  // The text is out: the count, or a statement's no-value, takes the room
  // the inputs leave, which holds it, without a request that could have
  // the text written again.
  if (nargout <= 0) return ReplaceInputsWithNothing(ctx, nargin, nargout);
  return ReplaceInputsWithScalar(ctx, nargin, static_cast<double>(bytes));
}

}  // namespace vke
