// The builtins that compiled code calls by opcode, reached through a table
// the host hands to the engine (SetBuiltinHooks), as the compiler is reached
// through CompileHooks: their calling convention, the dispatch row of an
// opcode, and the call of a builtin instruction. An engine without the table
// refuses builtin opcodes with kErrNotSupported.
//
// Calling convention (every implementing function):
//   ErrCode fn(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t option)
// - The inputs are the top nargin entries of the value stacks, the first
//   input deepest, the last on top.
// - The function replaces them by its outputs, pushed last to first so that
//   the FIRST output ends on top.
// - nargin and nargout come from the instruction: the fixed count of the
//   builtin's count code, or the operand word that carries it. nargout is
//   negative for a statement call whose value is not used (-1: give the
//   first output if there is one).
// - option is the family's option character or flag (0 for a builtin with a
//   function of its own).
// - The result is kOk or an error code. kErrWrongTypeOverload lets the loop
//   try the class method of the builtin's name for object operands,
//   kErrWrongType does not.
#pragma once

#include "engine/code/opcodes.hpp"
#include "engine/context.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

using BuiltinFn = ErrCode (*)(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t option);

// The count of a builtin's inputs or outputs without an upper bound.
inline constexpr int32_t kNoMaximumCount = 32767;

// Where an implementing function's counts come from.
inline constexpr int8_t kCountFromW0 = -1;  // operand word W0
inline constexpr int8_t kCountFromW1 = -2;  // operand word W1

// What the loop may do itself, without the call, when the two operands on
// top are real double scalars: the four commonest element-wise operations,
// another element-wise option (power excepted), or a comparison; or, when
// the one operand on top is, a function of one element.
enum class ScalarForm : uint8_t {
  kNone,
  kPlus,
  kMinus,
  kTimes,
  kDivide,
  kArith,    // the element-wise option scalarOption
  kCompare,  // the comparison option scalarOption
  kUnary,    // one operand: abs 'a', or fix 't', floor 'f', ceil 'c', round 'r'
};

// The dispatch row of one opcode.
struct BuiltinDispatch {
  BuiltinFn fn;    // null for opcodes that are not builtin ids
  int32_t option;  // passed as the fourth argument
  int8_t inputs;   // a fixed count, kCountFromW0 or kCountFromW1
  int8_t outputs;  // the same
  ScalarForm scalarForm;
  int32_t scalarOption;  // the option of the scalar form
  // The name of the opcode's first builtin row, null for opcodes that are
  // not builtin ids. The compiler's rows have their name while their
  // function is still null, before the host lays it over them.
  const char* name = nullptr;
};

// What the host installs: the rows, kOpcodeCount of them, indexed by
// opcode, and the builtins' concatenation of the n structures or structure
// arrays on top along dimension d (0-based) into one structure array, their
// fields conformed (StructListToArray uses it).
struct BuiltinHooks {
  const BuiltinDispatch* rows;
  ErrCode (*concatenateStructures)(EngineContext* ctx, int32_t n, int32_t d) = nullptr;
};

// A type mismatch (kErrWrongType) reported as kErrWrongTypeOverload, so that an object operand
// reaches the class method of the builtin's name; other codes unchanged.
inline ErrCode AllowOverload(ErrCode e) {
  return e == kErrWrongType ? kErrWrongTypeOverload : e;
}

// Installs the table (null removes it); it must outlive the engine's use.
void SetBuiltinHooks(EngineContext* ctx, const BuiltinHooks* hooks);

// The dispatch row of an opcode: the empty row outside the opcodes and when
// no table is installed.
const BuiltinDispatch& GetBuiltinDispatch(const EngineContext* ctx, int32_t opcode);

// Calls the builtin whose instruction starts at code with the counts of its
// operand words. kErrNotSupported for opcodes that are not builtins,
// kErrIllegal when the input count is negative or exceeds the entries of the
// current frame. The loop expands comma lists before horzcat itself.
ErrCode CallBuiltin(EngineContext* ctx, const int16_t* code);

// Calls the builtin of an opcode with the given counts, as the loop would.
ErrCode CallBuiltinOf(EngineContext* ctx, int32_t opcode, int32_t nargin, int32_t nargout);

}  // namespace vke
