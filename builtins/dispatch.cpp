// The dispatch by opcode: a 333-entry table built at compile time from the
// builtin table's rows (the first row of each id), and the call of a builtin
// instruction with the counts of its operand words.
#include <array>

#include "builtins/builtin.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

namespace {

using namespace builtin_rows;

// A variable input count is the first operand word; a variable output count
// the word after it.
constexpr BuiltinDispatch MakeEntry(BuiltinFn fn, int32_t option, uint32_t in, uint32_t out) {
  int8_t inputs = IsVariableCount(in) ? kCountFromW0 : static_cast<int8_t>(in);
  int8_t outputs = !IsVariableCount(out) ? static_cast<int8_t>(out)
                   : IsVariableCount(in) ? kCountFromW1
                                         : kCountFromW0;
  return {fn, option, inputs, outputs};
}

constexpr std::array<BuiltinDispatch, kOpcodeCount> MakeDispatchTable() {
  std::array<BuiltinDispatch, kOpcodeCount> t{};
  std::array<bool, kOpcodeCount> filled{};
#define VKE_BUILTIN(name, id, in, out, function, opt) \
  if (!filled[id]) t[id] = MakeEntry(&function, opt, in, out), filled[id] = true;
#include "builtins/builtin_table.def"
#undef VKE_BUILTIN
  return t;
}

constinit std::array<BuiltinDispatch, kOpcodeCount> gDispatch = MakeDispatchTable();
constexpr BuiltinDispatch kNoDispatch{};

int32_t CountOf(int8_t source, const int16_t* code) {
  return source >= 0 ? source : code[-source];
}

}  // namespace

const BuiltinDispatch& GetBuiltinDispatch(int32_t opcode) {
  return opcode >= 0 && opcode < kOpcodeCount ? gDispatch[opcode] : kNoDispatch;
}

ErrCode CallBuiltin(EngineContext* ctx, const int16_t* code) {
  const BuiltinDispatch& e = GetBuiltinDispatch(code[0]);
  if (!e.fn) return kErrNotSupported;
  int32_t nargin = CountOf(e.inputs, code);
  int32_t nargout = CountOf(e.outputs, code);
  if (nargin < 0 || nargin > GetFrameEntryCount(ctx)) return kErrIllegal;
  return e.fn(ctx, nargin, nargout, e.option);
}

BuiltinFn ReplaceBuiltinFunctionForTest(int32_t opcode, BuiltinFn fn) {
  if (opcode < 0 || opcode >= kOpcodeCount || !gDispatch[opcode].fn) return nullptr;
  BuiltinFn previous = gDispatch[opcode].fn;
  gDispatch[opcode].fn = fn;
  return previous;
}

}  // namespace vke
