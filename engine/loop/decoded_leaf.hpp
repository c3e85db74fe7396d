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
  static constexpr int32_t kMaxRegisters = 48;
  static constexpr int32_t kMaxOps = 32;
  // The code words the body may take, through its return.
  static constexpr int32_t kMaxWords = 128;
  const int16_t* block;  // the function block (its header); null: a free entry
  int32_t function;      // the index it was last called by
  const BuiltinDispatch* rows;
  uint32_t generation;  // the code generation it is trusted in; 0 none
  uint16_t words;       // the code words compared before reuse, from the block's code
  bool leaf;            // false: the function is no leaf, its calls take the general path
  uint8_t inputs;       // the inputs it declares (registers 0 on)
  uint8_t outputs;      // the outputs it declares
  uint8_t needInputs;   // the inputs a call must give: the body reads them before it sets them
  int8_t result;        // the register of the first output's value at the return; -1 unset
  // The instructions the loop counts towards the abort poll for a call of
  // it: the first of the body, each statement's as its run counts them, and
  // the caller's next one after the return.
  uint16_t polls;
  uint16_t vars;  // the variables it declares (its frame's slots)
  int16_t header[kFnHeaderUnits];
  ChainStep ops[kMaxOps + 1];  // ended by a kEnd step
  double registers[kMaxRegisters];
  int16_t code[kMaxWords];
};

// Decodes the function block at `block` (its header, its code behind the
// variable table), which ends before `end`, as the loop would run its body
// with the dispatch rows `rows`.
void DecodeLeaf(const int16_t* block, const int16_t* end, const BuiltinDispatch* rows,
                DecodedLeaf* out);

// Decoded leaves per thread, by function index.
inline constexpr uint32_t kDecodedLeaves = 16;
extern constinit thread_local DecodedLeaf tDecodedLeaves[kDecodedLeaves];

// The entry of function index `function`.
VKE_HOT_INLINE DecodedLeaf& DecodedLeafOf(int32_t function) {
  return tDecodedLeaves[static_cast<uint32_t>(function) % kDecodedLeaves];
}

// Whether function index `function` was found no leaf in this generation:
// its calls go their general way without a look at the function. (The
// entry may be another engine's: a leaf missed then, never a wrong one.)
VKE_HOT_INLINE bool KnownNoLeaf(int32_t function) {
  const DecodedLeaf& d = DecodedLeafOf(function);
  return !d.leaf && d.function == function && d.generation == CodeGeneration();
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
