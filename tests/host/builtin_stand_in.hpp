// Test helper: installs in an engine a copy of its builtin table whose row
// for one opcode calls a test function (with no scalar form, so that the
// loop always calls it), for as long as it is in scope.
#pragma once

#include <array>

#include "engine/builtin_hooks.hpp"

namespace vke::test {

class BuiltinStandIn {
 public:
  BuiltinStandIn(EngineContext* ctx, int32_t opcode, BuiltinFn fn)
      : ctx_(ctx), previous_(ctx->builtinHooks) {
    for (int32_t op = 0; op < kOpcodeCount; op++) rows_[op] = GetBuiltinDispatch(ctx, op);
    BuiltinDispatch& row = rows_[opcode];
    row.fn = fn;
    row.scalarForm = ScalarForm::kNone;
    row.scalarOption = 0;
    SetBuiltinHooks(ctx, &hooks_);
  }
  ~BuiltinStandIn() { SetBuiltinHooks(ctx_, previous_); }
  BuiltinStandIn(const BuiltinStandIn&) = delete;
  BuiltinStandIn& operator=(const BuiltinStandIn&) = delete;

 private:
  EngineContext* ctx_;
  const BuiltinHooks* previous_;
  std::array<BuiltinDispatch, kOpcodeCount> rows_{};
  BuiltinHooks hooks_{rows_.data()};
};

}  // namespace vke::test
