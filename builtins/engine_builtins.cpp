// Builtins whose work lies in other parts of the engine under argument lists
// of their own: the adapters that give them the builtin calling convention.
#include "builtins/builtin.hpp"
#include "engine/errors/raise.hpp"
#include "engine/text/dump.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

// error (option 0) and warning (option 1).
ErrCode ErrorOrWarningBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t option) {
  return IssueErrorOrWarning(ctx, nargin, option != 0);
}

// lasterr (option 0) and lasterror (option 1, a structure).
ErrCode LasterrBuiltin(EngineContext* ctx, int32_t, int32_t nargout, int32_t option) {
  return LastErrorBuiltin(ctx, nargout, option != 0);
}

ErrCode RethrowErrorBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  return RethrowBuiltin(ctx, nargin);
}

ErrCode ClearBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  return ClearVariables(ctx, nargin);
}

// variables: a structure of the current function's variables.
ErrCode VariablesBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return ListVariables(ctx, -1, false);
}

// subsref(value, s) and subsasgn(value, s, rhs) for values that are not
// objects.
ErrCode SubsrefBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return ObjectSubsref(ctx);
}

ErrCode SubsasgnBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return ObjectSubsasgn(ctx);
}

}  // namespace vke
