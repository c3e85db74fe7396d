// The opcode table of the scalar runs (scalar_chain.hpp).
#include "engine/loop/scalar_chain.hpp"

#include <array>

namespace vke {

namespace {

// Every other opcode is a builtin's as far as a run goes: the dispatch row
// installed in the engine says whether it has a scalar form.
std::array<ChainOpcode, kFirstNativeOpcode> MakeChainOpcodes() {
  std::array<ChainOpcode, kFirstNativeOpcode> table{};
  for (int32_t op = 0; op < kFirstNativeOpcode; op++)
    table[op] = {ChainOpcode::kBuiltin, static_cast<uint8_t>(BuiltinLength(op)), 0};
  // The run's own instructions, as the loop reads them.
  table[kOpNop] = {ChainOpcode::kNop, 1, 0};
  table[kOpLoadVar] = {ChainOpcode::kLoad, 2, 0};
  table[kOpPushZero] = {ChainOpcode::kPushZero, 1, 0};
  table[kOpPushOne] = {ChainOpcode::kPushOne, 1, 0};
  table[kOpPushSmallInt] = {ChainOpcode::kPushSmallInt, 2, 0};
  table[kOpPushDouble] = {ChainOpcode::kPushDouble, 5, 0};
  table[kOpStoreVar] = {ChainOpcode::kStore, 2, 0};
  table[kOpLoadIndexed] = {ChainOpcode::kElement, 0, 0};
  table[kOpLoadIndexedFirst] = {ChainOpcode::kElementStore, 0, 0};
  return table;
}

}  // namespace

const ChainOpcode* ChainOpcodes() {
  static const std::array<ChainOpcode, kFirstNativeOpcode> table = MakeChainOpcodes();
  return table.data();
}

}  // namespace vke
