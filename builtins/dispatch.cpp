// The dispatch rows by opcode: a table over the opcodes built at compile time
// from the builtin table's rows (the first row of each id), which the host
// installs in the engine, with the scalar form of each operator.
#include <array>

#include "builtins/builtin.hpp"
#include "engine/code/opcodes.hpp"

namespace vke {

namespace {

using namespace builtin_rows;

// The element-wise option of an arithmetic row as the loop does it on two
// real double scalars; power has no such path.
constexpr ScalarForm ArithForm(int32_t option) {
  switch (option) {
    case '+':
      return ScalarForm::kPlus;
    case '-':
      return ScalarForm::kMinus;
    case '*':
      return ScalarForm::kTimes;
    case '/':
      return ScalarForm::kDivide;
    case '^':
      return ScalarForm::kNone;
    default:
      return ScalarForm::kArith;
  }
}

// The families with a scalar form, told apart by their implementing function:
// the element-wise operators and the comparisons take their option; mtimes
// and mrdivide are element-wise for scalars.
// abs and the rounding functions of one operand have a scalar form of one
// element.
enum class Family : uint8_t { kOther, kElementwise, kCompare, kMtimes, kMrdivide, kAbs, kRounding };
template <BuiltinFn F>
inline constexpr Family kFamilyOf = Family::kOther;
template <>
inline constexpr Family kFamilyOf<&ElementwiseArith> = Family::kElementwise;
template <>
inline constexpr Family kFamilyOf<&RelationalOperator> = Family::kCompare;
template <>
inline constexpr Family kFamilyOf<&MtimesBuiltin> = Family::kMtimes;
template <>
inline constexpr Family kFamilyOf<&MrdivideBuiltin> = Family::kMrdivide;
template <>
inline constexpr Family kFamilyOf<&AbsBuiltin> = Family::kAbs;
template <>
inline constexpr Family kFamilyOf<&RoundingBuiltin> = Family::kRounding;

// A variable input count is the first operand word; a variable output count
// the word after it.
constexpr BuiltinDispatch MakeEntry(const char* name, BuiltinFn fn, Family family, int32_t option,
                                    uint32_t in, uint32_t out) {
  BuiltinDispatch d{fn, option, 0, 0, ScalarForm::kNone, 0, name};
  d.inputs = IsVariableCount(in) ? kCountFromW0 : static_cast<int8_t>(in);
  d.outputs = !IsVariableCount(out) ? static_cast<int8_t>(out)
              : IsVariableCount(in) ? kCountFromW1
                                    : kCountFromW0;
  switch (family) {
    case Family::kCompare:
      d.scalarForm = ScalarForm::kCompare;
      d.scalarOption = option;
      break;
    case Family::kElementwise:
    case Family::kMtimes:
    case Family::kMrdivide:
      d.scalarOption = family == Family::kMtimes ? '*' : family == Family::kMrdivide ? '/' : option;
      d.scalarForm = ArithForm(d.scalarOption);
      if (d.scalarForm == ScalarForm::kNone) d.scalarOption = 0;
      break;
    case Family::kAbs:
    case Family::kRounding:
      if (in != 1 || out != 1) break;
      d.scalarForm = ScalarForm::kUnary;
      d.scalarOption = family == Family::kAbs ? 'a' : option;
      break;
    case Family::kOther:
      break;
  }
  return d;
}

constexpr std::array<BuiltinDispatch, kOpcodeCount> MakeDispatchTable() {
  std::array<BuiltinDispatch, kOpcodeCount> t{};
  std::array<bool, kOpcodeCount> filled{};
#define VKE_BUILTIN(name, id, in, out, function, opt) \
  if (!filled[id])                                    \
    t[id] = MakeEntry(name, &function, kFamilyOf<&function>, opt, in, out), filled[id] = true;
#define VKE_COMPILER_BUILTIN(name, id, in, out, function, opt) \
  if (!filled[id])                                             \
    t[id] = MakeEntry(name, nullptr, Family::kOther, opt, in, out), filled[id] = true;
#include "builtins/builtin_table.def"
#undef VKE_COMPILER_BUILTIN
#undef VKE_BUILTIN
  return t;
}

}  // namespace

constinit const std::array<BuiltinDispatch, kOpcodeCount> kBuiltinDispatch = MakeDispatchTable();

}  // namespace vke
