// Builtins: the functions compiled code calls directly by opcode. This header
// owns the builtin table's record and count codes, the lookups over the
// table, and its dispatch rows, which the host installs in the engine
// (engine/builtin_hooks.hpp holds the calling convention).
//
// The option of the families: trigonometric and hyperbolic members add
// kReciprocal, squeeze passes kOptSqueeze to the reshape function, the
// integer casts pass the type code of their class. A function turns
// kErrWrongType into kErrWrongTypeOverload only where its family's rules say
// so.
#pragma once

#include <array>

#include "engine/builtin_hooks.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value.hpp"

namespace vke {

// Option flags of the families.
inline constexpr int32_t kReciprocal = 0x100;  // trigonometric and hyperbolic: 1 / f(x)
inline constexpr int32_t kOptSqueeze = -1;     // reshape function: squeeze

// One record of the builtin table (24 bytes).
struct BuiltinRecord {
  uint32_t id;          // the builtin's opcode
  uint32_t inputCode;   // count code of the inputs
  uint32_t outputCode;  // count code of the outputs
  char name[12];        // NUL-padded, at most 11 characters; empty ends the table
};
static_assert(sizeof(BuiltinRecord) == 24);

inline constexpr int32_t kBuiltinCount = 257;

// The table in stored order, ending with a record whose name is empty.
extern const BuiltinRecord kBuiltinTable[kBuiltinCount + 1];

// ---- Count codes ----
// Bit 15 clear: exactly the code. Bit 15 set: minimum = code & 0x7F, maximum
// = (code >> 7) & 0x7F, and (code & 0xFF80) == 0xFF80 means no maximum.
inline constexpr uint32_t kCountRangeBit = 0x8000;
inline constexpr uint32_t kCountUnbounded = 0xFF80;

constexpr uint32_t CountRange(int32_t lo, int32_t hi) {
  return kCountRangeBit | static_cast<uint32_t>(lo) | static_cast<uint32_t>(hi) << 7;
}
constexpr uint32_t CountAtLeast(int32_t lo) {
  return kCountUnbounded | static_cast<uint32_t>(lo);
}
constexpr bool IsVariableCount(uint32_t code) {
  return (code & kCountRangeBit) != 0;
}

// The spellings the rows of builtin_table.def use.
namespace builtin_rows {
constexpr uint32_t Range(int32_t lo, int32_t hi) {
  return CountRange(lo, hi);
}
constexpr uint32_t AtLeast(int32_t lo) {
  return CountAtLeast(lo);
}
}  // namespace builtin_rows

// A builtin's count codes against the call code and operand count of its
// opcode's descriptor: fixed counts equal the call code's, and each variable
// count takes one operand word.
constexpr bool CountsAgreeWithCallCode(uint32_t inputCode, uint32_t outputCode, int32_t callCode,
                                       int32_t operandCount) {
  if (callCode == kNoCall) return true;
  const bool varIn = IsVariableCount(inputCode), varOut = IsVariableCount(outputCode);
  if (!varIn && inputCode != static_cast<uint32_t>((callCode >> 4) & 15)) return false;
  if (!varOut && outputCode != static_cast<uint32_t>(callCode & 15)) return false;
  const int32_t words = varIn + varOut;
  return words == 0 || words == operandCount;
}

// Every builtin record up to the one with the empty name has an id of the
// descriptor table (kOpcodeCount rows) whose call code agrees with its
// counts.
constexpr bool BuiltinsAgreeWithOpcodes(const OpcodeDescriptor* table,
                                        const BuiltinRecord* builtins) {
  for (const BuiltinRecord* b = builtins;; b++) {
    if (!b->name[0]) return true;
    if (b->id >= static_cast<uint32_t>(kOpcodeCount)) return false;
    const OpcodeDescriptor& d = table[b->id];
    if (!CountsAgreeWithCallCode(b->inputCode, b->outputCode, d.callCode, d.count)) return false;
  }
}

struct CountLimits {
  int32_t min;
  int32_t max;  // kNoMaximumCount when there is none
};
constexpr CountLimits DecodeCountCode(uint32_t code) {
  if (!IsVariableCount(code)) return {static_cast<int32_t>(code), static_cast<int32_t>(code)};
  int32_t lo = static_cast<int32_t>(code & 0x7F);
  if ((code & kCountUnbounded) == kCountUnbounded) return {lo, kNoMaximumCount};
  return {lo, static_cast<int32_t>((code >> 7) & 0x7F)};
}

// ---- Lookups ----
// The first record whose whole name equals the text (case-sensitive); null
// when there is none.
const BuiltinRecord* FindBuiltinRecord(const char* name, int32_t length);
// The first record of an id; null when the id is not a builtin's.
const BuiltinRecord* FindBuiltinById(int32_t id);

// Entry i of the builtin enumeration. Entries 0 to 256 are the builtin
// records in stored order; then come the native records of the registry
// whose names begin with a letter or "_", in registry order. Each library
// header passed sets *library to the header's name without its first
// character and *switchable to whether that character is "!" ("VKE" and
// false before the first header). With operators set, entry i is the i-th
// row of the operator table. Gives the entry's name, null past the end.
const char* EnumBuiltins(EngineContext* ctx, int32_t i, bool operators, const char** library,
                         bool* switchable);

// ---- Dispatch by opcode ----
// The rows made at compile time from the table's rows (the first row of
// each id). The compiler's rows (VKE_COMPILER_BUILTIN) have no function here:
// the host lays the compiler's functions over them when it installs the
// table (CompilerBuiltinRows).
extern const std::array<BuiltinDispatch, kOpcodeCount> kBuiltinDispatch;

// ---- Implementing functions, one declaration per row of the table ----
#define VKE_BUILTIN(name, id, in, out, function, opt) \
  ErrCode function(EngineContext*, int32_t, int32_t, int32_t);
#define VKE_COMPILER_BUILTIN(name, id, in, out, function, opt)
#include "builtins/builtin_table.def"
#undef VKE_COMPILER_BUILTIN
#undef VKE_BUILTIN

}  // namespace vke
