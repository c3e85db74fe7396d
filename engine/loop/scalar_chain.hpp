// Straight runs of real double scalar instructions done on local values.
// A statement such as "s = s + k .* 0.5 - 1" compiles to loads, literals and
// operators that each push or pop an entry; run as one, the values stay in
// registers and only the end of the run touches the stacks: the store of
// the result, the truth for the conditional jump that tests a comparison,
// or, at any other instruction, the values still pending pushed as the
// instructions one by one would have left them.
#pragma once

#include "engine/code/opcodes.hpp"
#include "engine/loop/loop_internal.hpp"
#include "engine/loop/scalar_operators.hpp"
#include "engine/loop/scalar_variables.hpp"

namespace vke {

// The length of a builtin's instruction: its operands are words.
inline int32_t BuiltinLength(int32_t op) {
  const OpcodeDescriptor& d = kOpcodeTable[op];
  return 1 + (d.kind == kOperWords ? d.count : 0);
}

// What a run makes of an opcode: one of its own instructions, an
// element-wise arithmetic option (the four commonest apart), a comparison
// option, or nothing; with the instruction's length.
struct ChainOpcode {
  enum Kind : uint8_t {
    kNone,
    kNop,
    kLoad,
    kPushZero,
    kPushOne,
    kPushSmallInt,
    kPushDouble,
    kStore,
    kBuiltin,  // a builtin's: its dispatch row's scalar form, if any
    kPlus,
    kMinus,
    kTimes,
    kDivide,
    kArith,  // another element-wise option, through ArithOnScalars
    kCompare,
    kUnary,         // a function of one element (UnaryOnScalar)
    kElement,       // loadindexed: x(i) or x(i, j) read (ParseElement; its length varies)
    kElementStore,  // loadindexedfirst: x(i) or x(i, j) assigned
  } kind;
  uint8_t length;
  int32_t option;
};
// The table over the opcodes below the natives', made on first use
// (scalar_chain.cpp).
const ChainOpcode* ChainOpcodes();

// What a run makes of a builtin's opcode: the scalar form of its dispatch
// row.
VKE_HOT_INLINE ChainOpcode::Kind ChainKindOf(ScalarForm form) {
  switch (form) {
    case ScalarForm::kPlus:
      return ChainOpcode::kPlus;
    case ScalarForm::kMinus:
      return ChainOpcode::kMinus;
    case ScalarForm::kTimes:
      return ChainOpcode::kTimes;
    case ScalarForm::kDivide:
      return ChainOpcode::kDivide;
    case ScalarForm::kArith:
      return ChainOpcode::kArith;
    case ScalarForm::kCompare:
      return ChainOpcode::kCompare;
    case ScalarForm::kUnary:
      return ChainOpcode::kUnary;
    default:
      return ChainOpcode::kNone;
  }
}

// An element of a real double matrix variable read or assigned, x(i) or
// x(i, j): each subscript a variable's value or a small integer.
struct ChainElement {
  int16_t matrix;     // the variable
  uint8_t count;      // its subscripts, 1 or 2
  uint8_t variables;  // bit i: subscript i is variable sub[i], else the number sub[i]
  int16_t sub[2];
  uint8_t reg[2];  // in a decoded run: the registers that hold the subscripts' values
};

// The element that the instructions at `at` begin, loadindexed reading it
// as a value (... parenafterindex count 0 1) or loadindexedfirst assigning
// it the value on top (... parenafterbrace count 0), each subscript a
// variable's load or a small integer (pushsmallint or pushone): the
// instruction after them, or null for any other code.
VKE_HOT_INLINE const int16_t* ParseElement(const int16_t* at, ChainElement* e) {
  const bool write = at[0] == kOpLoadIndexedFirst;
  const int16_t* sub = at + 2;
  int32_t count = 0;
  e->variables = 0;
  for (; count < 2; count++) {
    if (sub[0] == kOpLoadVar) {
      e->variables = static_cast<uint8_t>(e->variables | 1u << count);
      e->sub[count] = sub[1];
      sub += 2;
    } else if (sub[0] == kOpPushSmallInt) {
      e->sub[count] = sub[1];
      sub += 2;
    } else if (sub[0] == kOpPushOne) {
      // x(1): the literal 1 has an instruction of its own.
      e->sub[count] = 1;
      sub += 1;
    } else {
      break;
    }
  }
  if (count == 0 || sub[1] != count || sub[2] != 0 ||
      (write ? sub[0] != kOpParenAfterBrace : sub[0] != kOpParenAfterIndex || sub[3] != 1))
    return nullptr;
  e->matrix = at[1];
  e->count = static_cast<uint8_t>(count);
  return sub + (write ? 3 : 4);
}

// The item of the element's value (ScopeSlots::RealElement), its subscript
// variables read as real double scalars; null otherwise.
VKE_HOT_INLINE uint8_t* ElementOf(const ScopeSlots& vars, const ChainElement& e) {
  double subs[2];
  for (int32_t i = 0; i < e.count; i++) {
    if (!((e.variables >> i) & 1))
      subs[i] = e.sub[i];
    else if (!vars.LoadScalar(e.sub[i], &subs[i]))
      return nullptr;
  }
  return vars.RealElement(e.matrix, e.count, subs);
}

// How a run of scalar instructions ended.
enum class ChainEnd : uint8_t {
  kNothing,        // the first instruction does not apply: nothing was done
  kPushed,         // the pending values are on the stacks; the loop goes on at ip
  kStored,         // the last instruction stored the result; the loop goes on at ip
  kStoredElement,  // the same into an element of a real double matrix
  kTested,         // a comparison's truth is for the conditional jump at ip
};

// The values a run holds at most; a run that reaches as many ends there,
// the values pushed.
inline constexpr int32_t kChainDepth = 8;
// The room above the tops that a decoded run needs: its values pushed, and
// above them a comparison's result or an element's reference with two
// subscripts (TypedArrayUnits(2, 1) is far less).
inline constexpr int32_t kChainRoomEntries = kChainDepth + 2;
inline constexpr int32_t kChainRoomUnits = kChainDepth + 6;

struct ScalarChain {
  const int16_t* ip;  // where the loop goes on
  int32_t steps;      // instructions done, for the abort poll
  bool truth;         // kTested: the comparison's truth
};

// Whether `entries` entries holding `units` data units in all could be
// pushed above the current tops.
VKE_HOT_INLINE bool RoomAbove(const EngineContext* ctx, int32_t entries, int32_t units) {
  return uint64_t{ctx->descTop} + 3ull * static_cast<uint32_t>(entries) < ctx->descCap &&
         uint64_t{ctx->dataTop} + static_cast<uint32_t>(units) < ctx->dataCap;
}

// PushRealScalar where RoomAbove has found room for the entry: without
// asking again.
VKE_HOT_INLINE void PushScalarInRoom(EngineContext* ctx, double value) {
  // Every address read before the first store: the stores could alias the
  // context's fields as far as the compiler knows.
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  uint32_t* const w = ctx->DescWords() + descTop;
  double* const data = ctx->DataUnits() + dataTop;
  ctx->descTop = descTop + 3;
  ctx->dataTop = dataTop + 1;
  w[0] = 0;
  w[1] = 1;
  w[2] = 1;
  *data = value;
}

// Runs at most `budget` instructions from `at` in the scope frame `scope`
// as one, for as long as they are loads of real double scalar variables,
// double literals and the operators of two such values; the run ends at
// the store of its only value into a variable whose block has a scalar's
// size, at a comparison of its only two values that a conditional jump
// tests, or at the first instruction that does not apply, the values still
// pending then pushed. The results are those of the instructions one by
// one. A run needs room on the stacks for all its pushes and a comparison's
// result, so that none of them could have failed; near the stacks' ends
// the instructions go one by one. kNothing when the first instruction does
// not apply.
[[gnu::noinline]] inline ChainEnd RunScalarChain(EngineContext* ctx, int32_t scope,
                                                 const int16_t* at, int32_t budget,
                                                 ScalarChain* out) {
  constexpr int32_t kDepth = kChainDepth;
  if (budget <= 0 || ctx->curFrame < 0 || scope < 0 ||
      !RoomAbove(ctx, kDepth + 1, kDepth + static_cast<int32_t>(TypedArrayUnits(2, 1))))
    return ChainEnd::kNothing;
  if (!ctx->builtinHooks) return ChainEnd::kNothing;
  const ChainOpcode* const table = ChainOpcodes();
  const BuiltinDispatch* const rows = ctx->builtinHooks->rows;
  // Nothing in the run changes a frame or moves the area; stores write
  // into the variables' own blocks.
  const ScopeSlots vars(ctx, scope);
  double v[kDepth];
  int32_t depth = 0, steps = 0;
  const int16_t* p = at;
  for (;;) {
    const int32_t op = *p;
    if (static_cast<uint32_t>(op) >= static_cast<uint32_t>(kFirstNativeOpcode)) goto pending;
    ChainOpcode c = table[op];
    if (c.kind == ChainOpcode::kBuiltin) {
      c.kind = ChainKindOf(rows[op].scalarForm);
      c.option = rows[op].scalarOption;
    }
    double value;
    switch (c.kind) {
      case ChainOpcode::kNop:  // padding, as light as in the loop
        while (*++p == kOpNop) {
        }
        continue;
      case ChainOpcode::kLoad:
        if (!vars.LoadScalar(p[1], &value)) goto pending;
        break;
      case ChainOpcode::kPushZero:
        value = 0;
        break;
      case ChainOpcode::kPushOne:
        value = 1;
        break;
      case ChainOpcode::kPushSmallInt:
        value = p[1];
        break;
      case ChainOpcode::kPushDouble:
        value = OperandDouble(p + 1);
        break;
      case ChainOpcode::kStore:
        if (depth != 1 || !vars.StoreScalar(p[1], v[0])) goto pending;
        out->ip = p + c.length;
        out->steps = steps + 1;
        return ChainEnd::kStored;
      // The operators take the top two values; the result replaces them.
      case ChainOpcode::kPlus:
        if (depth < 2) goto pending;
        value = v[depth - 2] + v[depth - 1];
        depth -= 2;
        break;
      case ChainOpcode::kMinus:
        if (depth < 2) goto pending;
        value = v[depth - 2] - v[depth - 1];
        depth -= 2;
        break;
      case ChainOpcode::kTimes:
        if (depth < 2) goto pending;
        value = v[depth - 2] * v[depth - 1];
        depth -= 2;
        break;
      case ChainOpcode::kDivide:
        if (depth < 2) goto pending;
        value = v[depth - 2] / v[depth - 1];
        depth -= 2;
        break;
      case ChainOpcode::kArith:
        if (depth < 2 || !ArithOnScalars(c.option, v[depth - 2], v[depth - 1], &value))
          goto pending;
        depth -= 2;
        break;
      case ChainOpcode::kUnary:
        if (depth < 1) goto pending;
        value = UnaryOnScalar(c.option, v[--depth]);
        break;
      case ChainOpcode::kCompare: {
        const int16_t* next = p + c.length;
        if (depth != 2 || (next[0] != kOpJumpTrue && next[0] != kOpJumpFalse) ||
            !CompareScalars(c.option, v[0], v[1], &out->truth))
          goto pending;
        out->ip = next;
        out->steps = steps + 1;
        return ChainEnd::kTested;
      }
      default:
        goto pending;
    }
    p += c.length;
    v[depth++] = value;
    if (++steps >= budget || depth == kDepth) break;
  }
pending:
  // The values still pending go on the stacks, as the pushes left them.
  if (steps == 0) return ChainEnd::kNothing;
  for (int32_t i = 0; i < depth; i++) PushScalarInRoom(ctx, v[i]);
  out->ip = p;
  out->steps = steps;
  return ChainEnd::kPushed;
}

}  // namespace vke
