// The header of a compiled function block, as the compiler writes it and the
// call machinery reads it. A block is four 16-bit words {flags, variables,
// inputs, outputs}, then the variable table (one 16-bit word per variable,
// then, unless the names were removed, each variable's name in 32 zero-padded
// bytes), then the code. Blocks live in the code area (compiled functions)
// or inside an inline function's value on the data stack.
//
// Variables are numbered outputs first (varargout last among them), then
// inputs (varargin last among them), then the function's other variables.
#pragma once

#include "engine/base.hpp"

namespace vke {

inline constexpr uint16_t kFnVarargin = 1;     // the last input is "varargin"
inline constexpr uint16_t kFnVarargout = 2;    // the last output is "varargout"
inline constexpr uint16_t kFnDefine = 4;       // a constant made by "define"
inline constexpr uint16_t kFnNoNames = 8;      // the variable names were removed
inline constexpr uint16_t kFnTrusted = 16;     // trusted by sandboxed code ("sandboxtrust")
inline constexpr uint16_t kFnRestricted = 32;  // restricted origin

inline constexpr uint32_t kFnHeaderUnits = 4;  // 16-bit units
inline constexpr uint32_t kFnNameUnits = 16;   // one 32-byte name

struct FunctionHeader {
  uint16_t flags = 0;
  uint16_t vars = 0;
  uint16_t inputs = 0;
  uint16_t outputs = 0;

  bool Varargin() const { return flags & kFnVarargin; }
  bool Varargout() const { return flags & kFnVarargout; }
  bool HasNames() const { return !(flags & kFnNoNames); }
  // Inputs and outputs without varargin and varargout.
  int32_t FixedInputs() const { return inputs - (Varargin() ? 1 : 0); }
  int32_t FixedOutputs() const { return outputs - (Varargout() ? 1 : 0); }
  // 16-bit units from the block's start to the first name and to the code.
  uint32_t NamesAt() const { return kFnHeaderUnits + vars; }
  uint32_t CodeAt() const { return NamesAt() + (HasNames() ? kFnNameUnits * vars : 0); }
  // The arguments fit the variable table and each vararg flag names one.
  bool Consistent() const {
    return inputs + outputs <= vars && (!Varargin() || inputs > 0) && (!Varargout() || outputs > 0);
  }
};

inline FunctionHeader ReadFunctionHeader(const uint8_t* block) {
  return FunctionHeader{Load<uint16_t>(block), Load<uint16_t>(block + 2), Load<uint16_t>(block + 4),
                        Load<uint16_t>(block + 6)};
}

}  // namespace vke
