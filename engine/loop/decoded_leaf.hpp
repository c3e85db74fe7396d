// Calls of small scalar functions without a frame. A compiled function
// whose body is line markers, scalar statements (loads of its inputs and of
// variables it set before, literals, the operators the decoded runs do,
// calls of functions for one value, each statement ending in the store of a
// variable) and comparisons of two such values that a conditional jump
// tests, each path through it ending in a return, is decoded once into runs
// on registers, a path at a time, kept beside the code in a small table per
// thread, keyed by the function block's address and trusted as the decoded
// runs are (decoded_chain.hpp): while the code generation and the dispatch
// rows last, and after that only when the block's header and code are still
// the words it was decoded from. A path that reaches anything else (a loop,
// a value that is not a scalar's) is decoded as one that leaves the call to
// the general path.
// A call of such a function by callfn, with real double scalar inputs and
// asking for at most one result, runs the body on the registers and leaves
// its result where the return would have left it, with no frame, no blocks
// and nothing for the return to free. The calls on its path are done the
// same way, each on registers of its own, nested a few deep: a recursion
// takes the quick way for its small cases and the general one above them.
// Whatever the body could not finish as its instructions would (a path to
// the general call, calls nested deeper, a callee whose place in the table
// holds the leaf of a call further up, a value of another kind, a read of
// an input not given, an output not set, an operator or comparison without
// a real result, a debugger or profiler that watches the lines, too little
// room, an abort poll due within the call) leaves the call to the general
// path, nothing changed: until its return the body writes nothing but its
// registers, and no call replaces the entry of a leaf still running above it.
#pragma once

#include "engine/frames/function_block.hpp"
#include "engine/loop/decoded_chain.hpp"

namespace vke {

// A piece of a decoded leaf's path: its operators, then how it ends.
struct LeafSegment {
  enum Kind : uint8_t {
    kReturn,   // the path returns
    kTest,     // a comparison picks the piece that follows
    kCall,     // a call of a leaf (DecodedLeaf::callSteps[option]), then the piece onTrue
    kGeneral,  // the path leaves the call to the general path, its operators not run
  };
  Kind kind;
  uint8_t first;  // its first operator in DecodedLeaf::ops, a kEnd step after its last
  // kTest: the registers compared, and the pieces that follow on each truth.
  uint8_t left, right;
  uint8_t onTrue, onFalse;
  // kReturn: the register of the first output's value (-1 unset).
  int8_t result;
  // kReturn: the instructions the loop counts towards the abort poll for a
  // call that takes the path: the first of the body, each statement's and
  // each tested jump's as its run counts them, and the caller's next one
  // after the return; those of the calls on the way not included. kCall:
  // the same up to the call.
  uint16_t polls;
  // kReturn: the calls that may take the path, as DecodedLeaf::calls: the
  // path reads no input beyond those given before it sets it and sets an
  // output asked for.
  uint32_t calls;
  int32_t option;  // kTest: the comparison option; kCall: the call's step
};

// A call of a function for one value within a leaf's path: done on
// registers of its own when the path the function takes is a leaf's that
// calls nothing, else the whole call is left to the general path.
struct LeafCallStep {
  int32_t function;  // its index
  uint8_t given;     // the inputs, their registers in the caller's
  uint8_t inputs[7];
  uint8_t result;  // the caller's register of the result
  // The function's decoded leaf found last, while the code generation
  // found in lasts and the entry still holds the block; 0: none yet.
  uint32_t generation;
  const int16_t* block;
  struct DecodedLeaf* leaf;
};

struct DecodedLeaf {
  static constexpr int32_t kMaxInputs = 7;
  static constexpr int32_t kMaxRegisters = 40;
  static constexpr int32_t kMaxOps = 24;
  static constexpr int32_t kMaxSegments = 12;
  static constexpr int32_t kMaxCallSteps = 4;
  // The code words the body may take, through its returns.
  static constexpr int32_t kMaxWords = 96;
  const int16_t* block;  // the function block (its header); null: a free entry
  const BuiltinDispatch* rows;
  uint32_t generation;  // the code generation it is trusted in; 0 none
  uint16_t words;       // the code words compared before reuse, from the block's code
  bool leaf;            // false: no path returns, the calls take the general path
  uint32_t bit;         // its bit in a set of the table's entries (1 << its index)
  // The calls that may take the leaf: bit CallBit(inputs given, outputs
  // asked) is set when the function declares that many inputs and outputs
  // and some path may take such a call (the path taken is checked at its
  // return).
  uint32_t calls;
  // The descriptor words the call's frame would take with the room its
  // runs need above it.
  uint32_t room;
  int16_t header[kFnHeaderUnits];
  uint8_t inputs;  // the inputs declared, on the first registers
  // The registers of the literals, which a call on registers of its own
  // takes from here.
  uint8_t literalCount;
  uint8_t literals[kMaxRegisters];
  LeafSegment segments[kMaxSegments];  // the first is where the body starts
  LeafCallStep callSteps[kMaxCallSteps];
  ChainStep ops[kMaxOps + kMaxSegments];
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

// The decoded leaf a call instruction found last, per thread, by the
// instruction's address: while the code generation and the dispatch rows
// last, the instruction is the same call of the same block, and the entry
// is that block's for as long as it holds the block.
struct LeafSite {
  const int16_t* at;  // the call instruction; null: a free site
  uint32_t generation;
  const BuiltinDispatch* rows;
  const int16_t* block;
  DecodedLeaf* leaf;
};
inline constexpr uint32_t kLeafSites = 64;
extern constinit thread_local LeafSite tLeafSites[kLeafSites];
VKE_HOT_INLINE LeafSite& LeafSiteOf(const int16_t* at) {
  const auto word = reinterpret_cast<uintptr_t>(at) >> 1;
  return tLeafSites[(word ^ (word >> 6)) % kLeafSites];
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
