// The instruction set of compiled code: opcode numbering, the descriptor
// table that gives every opcode below kOpcodeCount its operand layout, call code and
// side-effect flag, the operand readers, and the queries that code walkers
// (execution loop, compiler, debugger, image walkers, optimisers) step with.
//
// Code is an array of int16_t words. An instruction is an opcode word
// followed by its operand words W0, W1, ...:
// - Opcodes below kOpcodeCount are described by kOpcodeTable; those equal to a builtin
//   id call that builtin, the others are internal instructions.
// - Opcodes from kFirstNativeOpcode on call the native record whose global index over the
//   registry is opcode - kFirstNativeOpcode (all records of all tables, headers and hooks
//   counted). They are always 3 words: opcode, W0 = inputs, W1 = outputs.
// - Negative opcode words are not instructions.
//
// Reading operands:
// - Operand words are signed 16-bit unless a layout says otherwise.
// - 32- and 64-bit constants are assembled from UNSIGNED words, lowest word
//   first (OperandU32, OperandU64); a signed low word would corrupt them.
// - Double operands are 4 words in little-endian order; the first operand
//   word lies on an 8-byte-aligned address, the compiler placing nop words
//   before the instruction. Code areas are 8-byte aligned for this.
// - Text operands: a length word n (read unsigned), then n 16-bit characters
//   (Text16), or the n bytes two to a word, first byte in the low half, the
//   last word padded (Text8).
// - Jumps: target = position of the jump opcode + W0 + 2 words (JumpTarget).
//   A jump whose W0 is -2 jumps to itself.
// - Call instructions: inputs are the high nibble of the call code or W0
//   when it is 15; outputs the low nibble or the next operand word when it
//   is 15. An output count of -1 asks a statement call for its first output
//   if there is one.
#pragma once

#include "engine/context.hpp"

namespace vke {

enum OperandKind : int32_t {
  kOperNone = 0,     // length 1
  kOperWords = 1,    // count 16-bit words
  kOperInt32 = 2,    // count 32-bit values, two words each, low word first
  kOperUInt32 = 3,   // the same, unsigned
  kOperInt64 = 4,    // count 64-bit integers, four words each, lowest first
  kOperDoubles = 5,  // count IEEE doubles, four words each, 8-byte aligned
  kOperText8 = 6,    // length n, then (n + 1) / 2 words of bytes
  kOperText16 = 7,   // length n, then n characters
};

inline constexpr int32_t kNoCall = -2;
inline constexpr int32_t kCountInOperand = 15;  // call-code nibble: the count is an operand word
inline constexpr int32_t kOpFlagPure = 1;       // flags bit 0: no side effect
inline constexpr int32_t kOpFlagSafe = 2;       // flags bit 1: cannot fail either
// The rows of opcodes.def, counted.
inline constexpr int32_t kOpcodeCount = 0
#define VKE_OPCODE(code, name, kind, count, call, flags) +1
#include "engine/code/opcodes.def"
#undef VKE_OPCODE
    ;
// Native calls are numbered from the first word past the opcodes.
inline constexpr int32_t kFirstNativeOpcode = kOpcodeCount;
inline constexpr int32_t kNativeCallLength = 3;
inline constexpr int16_t kSelfJumpOffset = -2;

// One row of the descriptor table (five signed 32-bit fields).
struct OpcodeDescriptor {
  int32_t opcode;
  int32_t kind;
  int32_t count;
  int32_t callCode;  // kNoCall, or inputs in bits 4-7 and outputs in bits 0-3
  int32_t flags;
};
static_assert(sizeof(OpcodeDescriptor) == 20);

enum Opcode : int16_t {
#define VKE_OPCODE(code, name, kind, count, call, flags) kOp##name = code,
#include "engine/code/opcodes.def"
#undef VKE_OPCODE
};

namespace opcode_rows {
inline constexpr int32_t Pure = kOpFlagPure;
inline constexpr int32_t Safe = kOpFlagPure | kOpFlagSafe;
inline constexpr int32_t Effect = 0;
inline constexpr int32_t None = kOperNone, Words = kOperWords, Int32 = kOperInt32,
                         UInt32 = kOperUInt32, Int64 = kOperInt64, Doubles = kOperDoubles,
                         Text8 = kOperText8, Text16 = kOperText16;
}  // namespace opcode_rows

inline constexpr OpcodeDescriptor kOpcodeTable[kOpcodeCount] = {
#define VKE_OPCODE(code, name, kind, count, call, flags) \
  {code, opcode_rows::kind, count, call, opcode_rows::flags},
#include "engine/code/opcodes.def"
#undef VKE_OPCODE
};

// ---- Operand readers ----
inline uint32_t OperandU32(const int16_t* w) {
  return static_cast<uint16_t>(w[0]) | static_cast<uint32_t>(static_cast<uint16_t>(w[1])) << 16;
}
inline uint64_t OperandU64(const int16_t* w) {
  return OperandU32(w) | static_cast<uint64_t>(OperandU32(w + 2)) << 32;
}
inline double OperandDouble(const int16_t* w) {
  return Load<double>(w);
}
inline void StoreOperandDouble(int16_t* w, double x) {
  Store<double>(w, x);
}
inline int32_t OperandLength(const int16_t* w) {
  return static_cast<uint16_t>(w[0]);
}
// The word position a jump at position p with offset w0 lands on.
inline int32_t JumpTarget(int32_t p, int16_t w0) {
  return p + w0 + 2;
}
// True for the instructions whose W0 is a jump offset.
inline bool HasJumpOffset(int32_t op) {
  return (op >= kOpJump && op <= kOpJumpFalse) || (op >= kOpCaseJump && op <= kOpForRangeNext) ||
         op == kOpOrJump || op == kOpAndJump;
}

// ---- Queries ----

// 0 when the descriptor rows agree with their indexes and with their
// operand layouts; else kErrInit. The table must have kOpcodeCount rows.
// (The builtin rows' count codes are held to the call codes where both
// tables are compiled.)
ErrCode CheckOpcodeTable(const OpcodeDescriptor* table, int32_t rows);
// The same for the engine's own tables; engine creation fails with its code.
ErrCode CheckOpcodeTable();

// Length in words of the instruction at code, opcode word included: 3 for
// native calls, 1 for negative opcode words.
int32_t GetInstructionLength(const int16_t* code);
// The length of the instruction at position p of code that ends at end, or 0
// when it (or its text length word) does not fit before end.
int32_t InstructionLengthWithin(const int16_t* code, int32_t p, int32_t end);

// The input and output counts of the call instruction at code (either output
// may be null); kErrBadArg for an instruction that is not a call.
ErrCode GetOpcodeInfo(const int16_t* code, int32_t* inputs, int32_t* outputs);

// The builtin's name (of the first record of that id, as the installed
// dispatch table holds it), the native record's name for opcodes from
// kFirstNativeOpcode, or "" for anything else (and for builtins without a
// context or table); with asOperator, the operator
// characters of the first operator row naming that builtin. Gives 32 when the
// name fills all 32 characters without a terminator, else 0.
ErrCode GetOpcodeName(EngineContext* ctx, int32_t opcode, bool asOperator, char name[32]);

// Native calls, calls whose output nibble is 2 or more, and callfn.
bool IsMultiOutputCall(int32_t opcode);
// True when the range is exactly pushone / true 0 (truth set) or pushzero /
// false 0 (truth clear).
bool IsConstantCondition(const int16_t* code, int32_t length, bool truth);
// True when no instruction of the range can act or fail, so that a statement
// made of it may be dropped (an empty range is): every one is safe and takes
// no inputs from the stack other than what the range itself pushed.
bool IsSideEffectFree(const int16_t* code, int32_t length);

}  // namespace vke
