// Test helper: installs a test function in place of a builtin's implementing
// function for as long as it is in scope.
#pragma once

#include "builtins/builtin.hpp"

namespace vke::test {

class BuiltinStandIn {
 public:
  BuiltinStandIn(int32_t opcode, BuiltinFn fn)
      : opcode_(opcode), previous_(ReplaceBuiltinFunctionForTest(opcode, fn)) {}
  ~BuiltinStandIn() { ReplaceBuiltinFunctionForTest(opcode_, previous_); }
  BuiltinStandIn(const BuiltinStandIn&) = delete;
  BuiltinStandIn& operator=(const BuiltinStandIn&) = delete;

 private:
  int32_t opcode_;
  BuiltinFn previous_;
};

}  // namespace vke::test
