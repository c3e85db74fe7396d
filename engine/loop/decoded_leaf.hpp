// Calls of small scalar leaf functions without a frame. A compiled function
// whose whole body is line markers and scalar statements (loads of its
// inputs and of variables it set before, literals, the operators the
// decoded runs do, each statement ending in the store of a variable),
// followed by its return, is decoded once into one run on registers, kept
// beside the code in a small table per thread, keyed by the function
// block's address and trusted as the decoded runs are (decoded_chain.hpp):
// while the code generation and the dispatch rows last, and after that only
// when the block's header and code are still the words it was decoded from.
// A call of such a function by callfn, with real double scalar inputs and
// asking for at most one result, runs the body on the registers and leaves
// its result where the return would have left it, with no frame, no blocks
// and nothing for the return to free. Whatever the body could not finish as
// its instructions would (a value of another kind, a read of an input not
// given, an output not set, an operator without a real result, a debugger
// or profiler that watches the lines, too little room, an abort poll due
// within the call) leaves the call to the general path, nothing changed.
#pragma once

#include "engine/frames/function_block.hpp"
#include "engine/loop/decoded_chain.hpp"

namespace vke {

struct DecodedLeaf {
  static constexpr int32_t kMaxInputs = 7;
  static constexpr int32_t kMaxRegisters = 40;
  static constexpr int32_t kMaxOps = 24;
  // The code words the body may take, through its return.
  static constexpr int32_t kMaxWords = 96;
  const int16_t* block;  // the function block (its header); null: a free entry
  const BuiltinDispatch* rows;
  uint32_t generation;  // the code generation it is trusted in; 0 none
  uint16_t words;       // the code words compared before reuse, from the block's code
  bool leaf;            // false: the function is no leaf, its calls take the general path
  int8_t result;        // the register of the first output's value at the return; -1 unset
  // The calls that may take the leaf: bit CallBit(inputs given, outputs
  // asked) is set when the function declares that many inputs and outputs,
  // the body reads no input beyond those given before it sets it, and an
  // output asked for is set.
  uint32_t calls;
  // The instructions the loop counts towards the abort poll for a call of
  // it: the first of the body, each statement's as its run counts them, and
  // the caller's next one after the return.
  uint16_t polls;
  // The descriptor words the call's frame would take with the room its
  // runs need above it.
  uint32_t room;
  int16_t header[kFnHeaderUnits];
  ChainStep ops[kMaxOps + 1];  // ended by a kEnd step
  double registers[kMaxRegisters];
  int16_t code[kMaxWords];
};

// The bit of DecodedLeaf::calls for a call with `inputs` inputs (at most
// kMaxInputs) asking for `outputs` outputs (-1, 0 or 1).
constexpr uint32_t CallBit(int32_t inputs, int32_t outputs) {
  return 1u << (3 * inputs + outputs + 1);
}
static_assert(3 * DecodedLeaf::kMaxInputs + 2 < 32, "the calls of a leaf outgrew their bits");

// Decodes the function block at `block` (its header, its code behind the
// variable table), which ends before `end`, as the loop would run its body
// with the dispatch rows `rows`.
void DecodeLeaf(const int16_t* block, const int16_t* end, const BuiltinDispatch* rows,
                DecodedLeaf* out);

// Decoded leaves per thread, in pairs by the block's address: a block has
// the two entries of its pair.
inline constexpr uint32_t kDecodedLeaves = 32;
extern constinit thread_local DecodedLeaf tDecodedLeaves[kDecodedLeaves];

// The entry of the block: the one of its pair that holds it, else the one to
// decode it in, the first unless that one serves another block in this code
// generation.
VKE_HOT_INLINE DecodedLeaf& DecodedLeafAt(const int16_t* block) {
  const auto word = reinterpret_cast<uintptr_t>(block) >> 3;
  DecodedLeaf* const pair = &tDecodedLeaves[((word ^ (word >> 7)) % (kDecodedLeaves / 2)) * 2];
  if (pair[0].block == block) return pair[0];
  if (pair[1].block == block || (pair[0].block && pair[0].generation == CodeGeneration()))
    return pair[1];
  return pair[0];
}

// What the calls of each function index found last, per thread, by the
// index's low bits: the code generation, the index and whether it was a
// leaf, in one word (LeafKey), so that the call of a function known to be
// none costs one comparison. The word may be another engine's: a leaf then
// looked at once more, or one missed, never a wrong one.
inline constexpr uint32_t kLeafKeys = 256;
extern constinit thread_local uint64_t tLeafKeys[kLeafKeys];
VKE_HOT_INLINE uint64_t LeafKey(int32_t function, bool leaf) {
  return uint64_t{CodeGeneration()} << 32 | static_cast<uint32_t>(function) << 1 |
         static_cast<uint32_t>(leaf);
}
VKE_HOT_INLINE uint64_t& LeafKeyOf(int32_t function) {
  return tLeafKeys[static_cast<uint32_t>(function) % kLeafKeys];
}

// Whether function index `function` was found no leaf in this generation:
// its calls go their general way without a look at the function.
VKE_HOT_INLINE bool KnownNoLeaf(int32_t function) {
  return LeafKeyOf(function) == LeafKey(function, false);
}

// Makes the entry that of the block in this generation: kept when the
// block's header and code are still the words it was decoded from, else
// decoded again.
void RefreshDecodedLeaf(const int16_t* block, const int16_t* end, const BuiltinDispatch* rows,
                        DecodedLeaf* d);

// The call instruction at `at` (callfn function inputs outputs) of a run
// whose lines are quiet, done through the function's decoded leaf: the
// inputs popped, the result or the no-value marker pushed as the return
// would leave them. Gives the instructions the loop would have counted from
// the call to the caller's next instruction, or -1, with nothing changed,
// where the call is left to the general path: among others when more than
// `budget` + 1 of them would be counted before the loop top is passed again.
int32_t TakeLeafCall(EngineContext* ctx, const int16_t* at, int32_t budget);

}  // namespace vke
