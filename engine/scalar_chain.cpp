// The opcode table of the scalar runs (scalar_chain.hpp).
#include "engine/scalar_chain.hpp"

#include <array>

namespace vke {

namespace {

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
      c.kind = ChainOpcode::kArith;
      c.option = option;
    }
  }
  return table;
}

}  // namespace

const ChainOpcode* ChainOpcodes() {
  static const std::array<ChainOpcode, kFirstNativeOpcode> table = MakeChainOpcodes();
  return table.data();
}

}  // namespace vke
