// Calls of small scalar leaf functions (decoded_leaf.hpp): the table of
// decoded leaves, decoding a function's body, checking an entry again and
// the call itself.
#include "engine/loop/decoded_leaf.hpp"

#include <algorithm>
#include <cstring>

#include "engine/code/function_table.hpp"

namespace vke {

constinit thread_local DecodedLeaf tDecodedLeaves[kDecodedLeaves] = {};
constinit thread_local uint64_t tLeafKeys[kLeafKeys] = {};

namespace {

// The first instructions of a statement that the loop starts a run of
// scalar instructions at.
bool StartsRun(int32_t op) {
  return op == kOpLoadVar || op == kOpPushSmallInt || op == kOpPushDouble;
}

// Whether the block at `block` is still the header and code the entry was
// decoded from, all of it before `end`.
bool SameLeafWords(const DecodedLeaf& d, const int16_t* block, const int16_t* end) {
  if (std::memcmp(d.header, block, sizeof d.header) != 0) return false;
  const uint32_t codeAt = ReadFunctionHeader(reinterpret_cast<const uint8_t*>(block)).CodeAt();
  if (end - block < static_cast<ptrdiff_t>(codeAt) + d.words) return false;
  return std::memcmp(d.code, block + codeAt, sizeof(int16_t) * d.words) == 0;
}

}  // namespace

void DecodeLeaf(const int16_t* block, const int16_t* end, const BuiltinDispatch* rows,
                DecodedLeaf* d) {
  d->block = block;
  d->rows = rows;
  d->leaf = false;
  d->words = 0;
  std::memcpy(d->header, block, sizeof d->header);
  const FunctionHeader h = ReadFunctionHeader(reinterpret_cast<const uint8_t*>(block));
  if (!h.Consistent() || h.Varargin() || h.Varargout() || h.inputs > DecodedLeaf::kMaxInputs ||
      end - block <= static_cast<ptrdiff_t>(h.CodeAt()))
    return;
  const int16_t* const code = block + h.CodeAt();
  const int16_t* const last = std::min(end, code + DecodedLeaf::kMaxWords);
  int32_t needInputs = 0;
  // The values the body has stored so far, in order: a variable's value is
  // the register of its last store, else, for an input, the input's.
  struct Stored {
    int32_t variable, reg;
  } stored[DecodedLeaf::kMaxOps];
  int32_t storedCount = 0;
  const auto valueOf = [&](int32_t v) -> int32_t {
    for (int32_t i = storedCount - 1; i >= 0; i--)
      if (stored[i].variable == v) return stored[i].reg;
    const int32_t input = v - h.outputs;
    if (input < 0 || input >= h.inputs) return -1;
    needInputs = std::max(input + 1, needInputs);
    return input;
  };
  int32_t regs = h.inputs, ops = 0;
  // The call's first instruction and the caller's next one.
  int32_t polls = 2;
  // A body that is no leaf keeps the words read up to where that showed: a
  // change further on costs a call that could have been quick, never a
  // wrong one.
  const int16_t* p = code;
  const auto keep = [&](const int16_t* upTo) {
    d->words = static_cast<uint16_t>(std::min(upTo, last) - code);
    std::memcpy(d->code, code, sizeof(int16_t) * d->words);
  };
  for (;;) {
    if (p >= last) return keep(last);
    if (p[0] == kOpNop) {
      p += 1;
      continue;
    }
    if (p[0] == kOpLine) {
      p += 3;
      continue;
    }
    if (p[0] == kOpReturn) break;
    // The pushes of 0 and 1 that begin a statement are light instructions
    // of the loop, not counted; the run starts after them, taking their
    // values off the stack.
    double pushed[DecodedChain::kMaxInputs];
    int32_t pushes = 0;
    for (; p < last && (p[0] == kOpPushZero || p[0] == kOpPushOne || p[0] == kOpNop); p++)
      if (p[0] != kOpNop) {
        if (pushes == DecodedChain::kMaxInputs) return keep(p + 1);
        pushed[pushes++] = p[0] == kOpPushOne ? 1 : 0;
      }
    if (p + 2 > last) return keep(last);
    if (pushes == 1 && p[0] == kOpStoreVar) {
      // x = 0 or x = 1: the store alone counts.
      if (p[1] < 0 || p[1] >= h.vars || storedCount == DecodedLeaf::kMaxOps ||
          regs == DecodedLeaf::kMaxRegisters)
        return keep(p + 2);
      d->registers[regs] = pushed[0];
      stored[storedCount++] = {p[1], regs++};
      polls++;
      p += 2;
      continue;
    }
    if (!StartsRun(p[0])) return keep(p + 1);
    DecodedChain part;
    std::fill(std::begin(part.registers), std::end(part.registers), 0.0);
    DecodeChain(p, rows, &part);
    if (part.end != ChainEnd::kStored || part.inputs != pushes || part.elementCount != 0 ||
        part.registerCount > DecodedChain::kMaxSteps || part.target < 0 || part.target >= h.vars ||
        storedCount == DecodedLeaf::kMaxOps ||
        regs + part.registerCount > DecodedLeaf::kMaxRegisters ||
        ops + part.opCount > DecodedLeaf::kMaxOps || p + part.words > last)
      return keep(p + part.checked);
    // The run's registers after the body's others; its loads read the
    // values the body holds.
    uint8_t reg[DecodedChain::kMaxSteps];
    for (int32_t i = 0; i < part.registerCount; i++) {
      reg[i] = static_cast<uint8_t>(regs + i);
      d->registers[regs + i] = part.registers[i];
    }
    for (int32_t i = 0; i < pushes; i++) d->registers[regs + part.inputRegs[i]] = pushed[i];
    for (int32_t i = 0; i < part.loadCount; i++) {
      const int32_t variable = part.loads[i].variable;
      const int32_t value = variable < h.vars ? valueOf(variable) : -1;
      if (value < 0) return keep(p + part.checked);
      reg[part.loads[i].reg] = static_cast<uint8_t>(value);
    }
    for (int32_t i = 0; i < part.opCount; i++) {
      const ChainStep& op = part.ops[i];
      d->ops[ops++] = {op.kind, reg[op.result], reg[op.left], reg[op.right], op.option};
    }
    stored[storedCount++] = {part.target, reg[part.left[0]]};
    regs += part.registerCount;
    polls += part.polls;
    p += part.words;
  }
  d->ops[ops] = {ChainStep::kEnd, 0, 0, 0, 0};
  d->result = -1;
  if (h.outputs > 0)
    for (int32_t i = storedCount - 1; i >= 0 && d->result < 0; i--)
      if (stored[i].variable == 0) d->result = static_cast<int8_t>(stored[i].reg);
  d->polls = static_cast<uint16_t>(polls);
  d->room = kFrameHeaderWords + h.vars + 3 * kChainRoomEntries;
  d->calls = 0;
  for (int32_t given = needInputs; given <= h.inputs; given++)
    for (int32_t outputs = -1; outputs <= std::min(1, int32_t{h.outputs}); outputs++)
      if (outputs < 1 || d->result >= 0) d->calls |= CallBit(given, outputs);
  d->leaf = true;
  keep(p + 1);
}

void RefreshDecodedLeaf(const int16_t* block, const int16_t* end, const BuiltinDispatch* rows,
                        DecodedLeaf* d) {
  if (d->block != block || d->rows != rows || !SameLeafWords(*d, block, end))
    DecodeLeaf(block, end, rows, d);
  d->generation = CodeGeneration();
}

int32_t TakeLeafCall(EngineContext* ctx, const int16_t* at, int32_t budget) {
  const int32_t function = at[1], given = at[2], outputs = at[3];
  const BuiltinHooks* const hooks = ctx->builtinHooks;
  const int32_t caller = ctx->curFrame;
  if (static_cast<uint32_t>(function) >= ctx->funcCount || !hooks || caller < 0 ||
      static_cast<uint32_t>(given) > DecodedLeaf::kMaxInputs ||
      static_cast<uint32_t>(outputs + 1) > 2)
    return -1;
  const FunctionTableEntry& entry = FunctionEntries(ctx)[function];
  if (!IsFunctionEntry(entry) || entry.code <= 0) return -1;
  const auto* const code = reinterpret_cast<const int16_t*>(ctx->CodeBytes());
  const int16_t* const block = code + entry.code;
  DecodedLeaf* const d = &DecodedLeafAt(block);
  if (d->block != block || d->generation != CodeGeneration() || d->rows != hooks->rows)
      [[unlikely]] {
    if (uint64_t{static_cast<uint32_t>(entry.code)} + kFnHeaderUnits > ctx->codeEnd) return -1;
    RefreshDecodedLeaf(block, code + ctx->codeEnd, hooks->rows, d);
  }
  if (!d->leaf) {
    LeafKeyOf(function) = LeafKey(function, false);
    return -1;
  }
  if (!(d->calls & CallBit(given, outputs)) || d->polls - 1 > budget) return -1;
  // The room the frame would take, and above it what the body's runs need
  // to go as one, so that the instructions too would have found it.
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  const uint32_t frame = descTop - 3 * static_cast<uint32_t>(given);
  if (!FrameHasEntries(ctx, given) || uint64_t{frame} + d->room >= ctx->descCap ||
      uint64_t{dataTop} + kChainRoomUnits >= ctx->dataCap)
    return -1;
  // A caller that steps into calls stops at the function's first line.
  uint32_t* const words = ctx->DescWords();
  if (words[static_cast<uint32_t>(caller) + kFwStopRequest] == kStepIntoCalls) return -1;
  // Each input's data is one unit, the first input's deepest.
  const auto* const inputs = reinterpret_cast<const ValueDescriptor*>(words + frame);
  double* const data = ctx->DataUnits() + dataTop - given;
  double* const r = d->registers;
  for (int32_t i = 0; i < given; i++) {
    if (!IsRealDoubleScalar(inputs[i])) return -1;
    r[i] = data[i];
  }
  if (!RunChainStepsInline(d->ops, r)) return -1;
  // The inputs give way to the result, as the return leaves it: the value,
  // or, for a statement call, the no-value marker when there is none.
  ctx->descTop = frame;
  ctx->dataTop = dataTop - given;
  if (outputs == 1 || (outputs < 0 && d->result >= 0))
    PushScalarInRoom(ctx, r[d->result]);
  else if (outputs < 0)
    PushNoValue(ctx);
  // As the call would leave the code pointer's flag.
  ctx->cpFlag = 0;
  return d->polls;
}

}  // namespace vke
