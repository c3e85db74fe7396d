// Stand-in for the display of a named value until the display module lands:
// the name line, then the disp builtin (through the dispatch) shows the value.
#include "engine/loop_display.hpp"

#include "builtins/builtin.hpp"
#include "compiler/names.hpp"
#include "compiler/opcodes.hpp"
#include "engine/errors.hpp"
#include "engine/fd.hpp"
#include "engine/values.hpp"

namespace vke {

ErrCode DisplayNamedValue(EngineContext* ctx, int32_t nameId, bool objectsAllowed, bool drop) {
  if (!objectsAllowed && IsObjectValue(ctx, 0)) return kErrWrongTypeOverload;
  int32_t length = 0;
  const char* name = NameText(ctx, nameId, &length);
  ErrCode e = name ? WriteToFd(ctx, kFdOut, name, length) : WriteToFd(ctx, kFdOut, "???", 3);
  if (!e) e = WriteToFd(ctx, kFdOut, " =", 2);
  if (!e) e = WriteNewlineToFd(ctx, kFdOut);
  if (!e && !drop) e = DuplicateStackEntries(ctx, 0, 1);
  const BuiltinDispatch& disp = GetBuiltinDispatch(kOpDisp);
  return e ? e : disp.fn(ctx, 1, 0, disp.option);
}

}  // namespace vke
