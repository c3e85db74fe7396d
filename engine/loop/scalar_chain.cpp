// The opcode table of the scalar runs (scalar_chain.hpp).
#include "engine/loop/scalar_chain.hpp"

#include <array>

namespace vke {

namespace {

// The element-wise options that a run does without ArithOnScalars.
ChainOpcode::Kind ArithKind(int32_t option) {
  switch (option) {
    case '+':
      return ChainOpcode::kPlus;
    case '-':
      return ChainOpcode::kMinus;
    case '*':
      return ChainOpcode::kTimes;
    case '/':
      return ChainOpcode::kDivide;
    default:
      return ChainOpcode::kArith;
  }
}

std::array<ChainOpcode, kFirstNativeOpcode> MakeChainOpcodes() {
  std::array<ChainOpcode, kFirstNativeOpcode> table{};
  for (int32_t op = 0; op < kFirstNativeOpcode; op++) {
    const BuiltinDispatch& b = GetBuiltinDispatch(op);
    if (!b.fn) continue;
    ChainOpcode& c = table[op];
    c.length = static_cast<uint8_t>(BuiltinLength(op));
    if (b.fn == &RelationalOperator) {
      c.kind = ChainOpcode::kCompare;
      c.option = b.option;
    } else if (const int32_t option = ScalarArithOption(b)) {
      c.kind = ArithKind(option);
      c.option = option;
    }
  }
  // The run's own instructions, as the loop reads them.
  table[kOpNop] = {ChainOpcode::kNop, 1, 0};
  table[kOpLoadVar] = {ChainOpcode::kLoad, 2, 0};
  table[kOpPushZero] = {ChainOpcode::kPushZero, 1, 0};
  table[kOpPushOne] = {ChainOpcode::kPushOne, 1, 0};
  table[kOpPushSmallInt] = {ChainOpcode::kPushSmallInt, 2, 0};
  table[kOpPushDouble] = {ChainOpcode::kPushDouble, 5, 0};
  table[kOpStoreVar] = {ChainOpcode::kStore, 2, 0};
  return table;
}

}  // namespace

const ChainOpcode* ChainOpcodes() {
  static const std::array<ChainOpcode, kFirstNativeOpcode> table = MakeChainOpcodes();
  return table.data();
}

}  // namespace vke
