// The decoded runs of scalar instructions (decoded_chain.hpp): the table of
// decoded runs, decoding runs and rounds and checking an entry again.
#include "engine/loop/decoded_chain.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "engine/code/code_generation.hpp"
#include "engine/fast_forms.hpp"

namespace vke {

constinit thread_local DecodedChain tDecodedChains[kDecodedChains] = {};
constinit thread_local RoundHint tRoundHint = {};

namespace {

// Whether the code at `at` is still the words the entry was decoded from.
// Read word by word up to the first that differs: no further than the code
// there runs on.
bool SameWords(const DecodedChain& d, const int16_t* at) {
  for (int32_t i = 0; i < d.checked; i++)
    if (at[i] != d.code[i]) return false;
  return true;
}

// The operator of a run's opcode, if it has one.
bool OperatorOf(ChainOpcode::Kind kind, ChainStep::Kind* out) {
  switch (kind) {
    case ChainOpcode::kPlus:
      *out = ChainStep::kPlus;
      return true;
    case ChainOpcode::kMinus:
      *out = ChainStep::kMinus;
      return true;
    case ChainOpcode::kTimes:
      *out = ChainStep::kTimes;
      return true;
    case ChainOpcode::kDivide:
      *out = ChainStep::kDivide;
      return true;
    case ChainOpcode::kArith:
      *out = ChainStep::kArith;
      return true;
    default:
      return false;
  }
}

// Whether the variables an element names (the matrix and the subscripts
// read from variables) are slot numbers, as a run's loads take them.
bool VariablesAreSlots(const ChainElement& e) {
  if (e.matrix < 0) return false;
  for (int32_t i = 0; i < e.count; i++)
    if (((e.variables >> i) & 1) && e.sub[i] < 0) return false;
  return true;
}

}  // namespace

void DecodeChain(const int16_t* at, const BuiltinDispatch* rows, DecodedChain* d) {
  const ChainOpcode* const table = ChainOpcodes();
  d->start = at;
  d->rows = rows;
  d->roundSite = d->round = false;
  d->steps = d->polls = d->loadCount = d->opCount = d->depth = d->elementCount = 0;
  d->inputs = 0;
  d->end = ChainEnd::kPushed;
  // The registers of the values on the run's stack.
  uint8_t* const stack = d->left;
  int32_t depth = 0;
  // The registers given out; a step's own is the next one.
  int32_t regs = 0;
  // The register of variable v's value: the one an earlier load gave it,
  // or `reg`, its load added. A run reads each variable once.
  const auto loadInto = [d](int32_t v, uint8_t reg) -> uint8_t {
    for (int32_t i = 0; i < d->loadCount; i++)
      if (d->loads[i].variable == v) return static_cast<uint8_t>(d->loads[i].reg);
    d->loads[d->loadCount++] = {v, reg};
    return reg;
  };
  const int16_t* p = at;
  while (d->end == ChainEnd::kPushed && depth < kChainDepth) {
    const int32_t op = *p;
    if (static_cast<uint32_t>(op) >= static_cast<uint32_t>(kFirstNativeOpcode)) break;
    ChainOpcode c = table[op];
    if (c.kind == ChainOpcode::kBuiltin) {
      c.kind = ChainKindOf(rows[op].scalarForm);
      c.option = rows[op].scalarOption;
    }
    if (regs == DecodedChain::kMaxSteps || p + c.length - at > DecodedChain::kMaxWords) break;
    // The register a value pushed here gets, and the registers a step takes
    // besides.
    const auto fresh = static_cast<uint8_t>(regs);
    int32_t extra = 0;
    // An operator short of operands (need: 1 or 2) takes the missing ones
    // off the stack, below the run's own values, each on a register of its
    // own; inputs taken before lie above them.
    const auto takeInputs = [&](int32_t need) {
      const int32_t more = need - depth;
      if (more <= 0) return true;
      if (d->inputs + more > DecodedChain::kMaxInputs ||
          regs + 1 + extra + more > DecodedChain::kMaxSteps)
        return false;
      // need 2, depth 1: the run's value goes above the input.
      if (depth == 1) stack[1] = stack[0];
      if (d->inputs == 1) d->inputRegs[1] = d->inputRegs[0];
      for (int32_t i = 0; i < more; i++) {
        stack[i] = d->inputRegs[i] = static_cast<uint8_t>(fresh + 1 + extra);
        extra++;
      }
      d->inputs = static_cast<uint8_t>(d->inputs + more);
      depth = need;
      return true;
    };
    double* const value = &d->registers[fresh];
    ChainStep::Kind kind;
    double unused;
    bool truth;
    switch (c.kind) {
      case ChainOpcode::kNop:
        p += 1;
        continue;
      case ChainOpcode::kLoad:
        // A load's variable number is a slot of the frame; a negative one
        // (damaged code) would read as one of the run's elements.
        if (p[1] < 0) goto done;
        stack[depth++] = loadInto(p[1], fresh);
        break;
      case ChainOpcode::kPushZero:
      case ChainOpcode::kPushOne:
      case ChainOpcode::kPushSmallInt:
      case ChainOpcode::kPushDouble:
        *value = c.kind == ChainOpcode::kPushOne        ? 1
                 : c.kind == ChainOpcode::kPushSmallInt ? p[1]
                 : c.kind == ChainOpcode::kPushDouble   ? OperandDouble(p + 1)
                                                        : 0;
        stack[depth++] = fresh;
        break;
      case ChainOpcode::kStore:
        if (depth != 1) goto done;
        d->target = p[1];
        d->end = ChainEnd::kStored;
        break;
      case ChainOpcode::kUnary:
        if (!takeInputs(1)) goto done;
        d->ops[d->opCount++] = {ChainStep::kUnary, fresh, stack[depth - 1], 0, c.option};
        stack[depth - 1] = fresh;
        break;
      case ChainOpcode::kElement:
      case ChainOpcode::kElementStore: {
        ChainElement element;
        const int16_t* const after = ParseElement(p, &element);
        if (!after || after - at > DecodedChain::kMaxWords) goto done;
        c.length = static_cast<uint8_t>(after - p);
        if (regs + 1 + element.count > DecodedChain::kMaxSteps || !VariablesAreSlots(element) ||
            (c.kind == ChainOpcode::kElementStore ? depth != 1
                                                  : d->elementCount == DecodedChain::kMaxElements))
          goto done;
        // The subscripts' values on registers: variables read with the
        // run's loads, numbers filled in here.
        for (int32_t i = 0; i < element.count; i++) {
          const auto next = static_cast<uint8_t>(fresh + 1 + extra);
          if ((element.variables >> i) & 1) {
            element.reg[i] = loadInto(element.sub[i], next);
          } else {
            d->registers[next] = element.sub[i];
            element.reg[i] = next;
          }
          if (element.reg[i] == next) extra++;
        }
        // The reference and the subscripts count as instructions.
        d->polls = static_cast<uint8_t>(d->polls + element.count + 1);
        if (c.kind == ChainOpcode::kElementStore) {
          d->stored = element;
          d->storedRead = -1;
          for (int32_t i = 0; i < d->elementCount; i++) {
            const ChainElement& read = d->elements[i];
            if (read.matrix == element.matrix && read.count == element.count &&
                read.reg[0] == element.reg[0] &&
                (element.count == 1 || read.reg[1] == element.reg[1]))
              d->storedRead = static_cast<int8_t>(i);
          }
          d->end = ChainEnd::kStoredElement;
          break;
        }
        d->loads[d->loadCount++] = {-1 - d->elementCount, fresh};
        d->elements[d->elementCount++] = element;
        stack[depth++] = fresh;
        break;
      }
      case ChainOpcode::kCompare:
        if (depth > 2 || (p[c.length] != kOpJumpTrue && p[c.length] != kOpJumpFalse) ||
            !CompareScalars(c.option, 0, 0, &truth) || !takeInputs(2))
          goto done;
        d->target = c.option;
        d->end = ChainEnd::kTested;
        break;
      default:
        // Whether an option has a scalar path does not depend on the values.
        if (!OperatorOf(c.kind, &kind) ||
            (kind == ChainStep::kArith && !ArithOnScalars(c.option, 1, 1, &unused)) ||
            !takeInputs(2))
          goto done;
        d->ops[d->opCount++] = {kind, fresh, stack[depth - 2], stack[depth - 1], c.option};
        stack[depth - 2] = fresh;
        depth -= 1;
        break;
    }
    if (depth > d->depth) d->depth = static_cast<uint8_t>(depth);
    d->lastAt = static_cast<uint16_t>(p - at);
    d->steps++;
    d->polls++;
    regs += 1 + extra;
    p += c.length;
  }
done:
  d->registerCount = static_cast<uint8_t>(regs);
  d->ops[d->opCount] = {ChainStep::kEnd, 0, 0, 0, 0};
  d->pending = static_cast<uint8_t>(depth);
  d->words = static_cast<uint16_t>(p - at);
  // A comparison's run is taken only before its jump.
  d->checked = static_cast<uint16_t>(d->words + (d->end == ChainEnd::kTested ? 1 : 0));
  std::memcpy(d->code, at, sizeof(int16_t) * d->checked);
}

void DecodeRound(const int16_t* at, const BuiltinDispatch* rows, DecodedChain* d) {
  const int16_t* p = at + 2;
  // Not a round: the entry holds the words read to find that out, as many
  // as it has room for (words further on that change later cost a round
  // missed, never a wrong one).
  const auto notRound = [&](const int16_t* end) {
    d->start = at;
    d->rows = rows;
    d->roundSite = true;
    d->round = false;
    d->steps = d->polls = 0;
    d->checked = static_cast<uint16_t>(std::min<ptrdiff_t>(end - at, DecodedChain::kMaxRoundWords));
    std::memcpy(d->code, at, sizeof(int16_t) * d->checked);
  };
  if (at[0] != kOpForRangeNext || p[0] != kOpStoreVar) return notRound(p + 1);
  const int16_t variable = p[1];
  p += 2;
  d->start = at;
  d->rows = rows;
  d->steps = d->polls = d->loadCount = d->opCount = d->depth = d->elementCount = 0;
  d->storeCount = 0;
  d->matrixCount = 0;
  d->storedLoads = 0;
  d->lines = false;
  d->lineFunction = -1;
  // The register of the value a statement of the round stored last in a
  // variable: its reads after that take it.
  const auto storedIn = [d](int32_t v) -> int32_t {
    for (int32_t i = d->storeCount - 1; i >= 0; i--)
      if (d->stores[i].variable == v) return d->stores[i].reg;
    return -1;
  };
  while (p[0] != kOpJump) {
    if (p[0] == kOpLine) {
      if (p + 3 - at > DecodedChain::kMaxRoundWords) return notRound(p + 1);
      d->lines = true;
      if (p[1] != -1) d->lineFunction = p[1];
      d->linePosition = p[2];
      p += 3;
      continue;
    }
    // A statement: a run that ends in a store, its registers after the
    // round's others.
    DecodedChain part;
    DecodeChain(p, rows, &part);
    const int32_t base = d->steps;
    // A round's statements store variables only; the elements they read
    // become steps before the statement's operators.
    if (part.end != ChainEnd::kStored || part.inputs ||
        base + part.registerCount > DecodedChain::kMaxSteps ||
        d->storeCount == DecodedChain::kMaxStores ||
        d->opCount + part.elementCount + part.opCount > DecodedChain::kMaxSteps ||
        p + part.words + 1 - at > DecodedChain::kMaxRoundWords)
      return notRound(p + part.checked);
    // The statement's registers in the round's order. The whole array is
    // filled (the places past the statement's registers go unread), so that
    // the loop's bound is the array's own: the optimiser takes a bound it
    // cannot join to the test above to run past the array.
    uint8_t reg[DecodedChain::kMaxSteps];
    for (int32_t i = 0; i < DecodedChain::kMaxSteps; i++) reg[i] = static_cast<uint8_t>(base + i);
    for (int32_t i = 0; i < part.registerCount; i++) d->registers[base + i] = part.registers[i];
    for (int32_t i = 0; i < part.loadCount; i++) {
      const ChainLoad& load = part.loads[i];
      if (load.variable < 0) continue;
      const int32_t stored = storedIn(load.variable);
      if (stored >= 0)
        reg[load.reg] = static_cast<uint8_t>(stored);
      else if (load.variable == variable)
        reg[load.reg] = DecodedChain::kRangeRegister;
      else
        d->loads[d->loadCount++] = {load.variable, base + load.reg};
    }
    for (int32_t i = 0; i < part.loadCount; i++) {
      const ChainLoad& load = part.loads[i];
      if (load.variable >= 0) continue;
      const ChainElement& e = part.elements[-1 - load.variable];
      int32_t matrix = 0;
      while (matrix < d->matrixCount && d->matrices[matrix] != e.matrix) matrix++;
      if (matrix == DecodedChain::kMaxMatrices || e.matrix == variable)
        return notRound(p + part.checked);
      if (matrix == d->matrixCount) d->matrices[d->matrixCount++] = e.matrix;
      d->ops[d->opCount++] = {ChainStep::kElement, reg[load.reg], reg[e.reg[0]],
                              reg[e.reg[e.count - 1]], matrix << 1 | (e.count - 1)};
    }
    for (int32_t i = 0; i < part.opCount; i++) {
      const ChainStep& op = part.ops[i];
      d->ops[d->opCount++] = {op.kind, reg[op.result], reg[op.left], reg[op.right], op.option};
    }
    // A variable read before the round first stores it: its read finds the
    // item its store goes into.
    int8_t load = -1;
    if (storedIn(part.target) < 0)
      for (int32_t i = 0; i < d->loadCount; i++)
        if (d->loads[i].variable == part.target) {
          load = static_cast<int8_t>(i);
          d->storedLoads = static_cast<uint16_t>(d->storedLoads | 1u << i);
        }
    d->stores[d->storeCount++] = {static_cast<int16_t>(part.target), reg[part.left[0]], load};
    if (part.depth > d->depth) d->depth = part.depth;
    d->steps = static_cast<uint8_t>(base + part.registerCount);
    p += part.words;
  }
  // A matrix the round stores would be read where its store has not been
  // made yet.
  for (int32_t i = 0; i < d->matrixCount; i++)
    if (storedIn(d->matrices[i]) >= 0) return notRound(p + 2);
  if (d->storeCount == 0 || p + 2 - at > DecodedChain::kMaxRoundWords || p + 2 + p[1] != at)
    return notRound(p + 2);
  d->ops[d->opCount] = {ChainStep::kEnd, 0, 0, 0, 0};
  d->roundSite = d->round = true;
  d->rangeVariable = variable;
  d->jump = static_cast<uint8_t>(p - at);
  d->checked = static_cast<uint16_t>(p + 2 - at);
  std::memcpy(d->code, at, sizeof(int16_t) * d->checked);
}

bool RunChainSteps(const ChainStep* s, double* r, uint8_t* const* matrices) {
  // Threaded: each step goes straight to the next one's code, without a
  // dispatch loop around them.
  static constexpr const void* kCode[] = {&&plus,  &&minus, &&times,   &&divide,
                                          &&arith, &&unary, &&element, &&end};
  static_assert(std::size(kCode) == ChainStep::kEnd + 1);
  goto* kCode[s->kind];
plus:
  r[s->result] = r[s->left] + r[s->right];
  s++;
  goto* kCode[s->kind];
minus:
  r[s->result] = r[s->left] - r[s->right];
  s++;
  goto* kCode[s->kind];
times:
  r[s->result] = r[s->left] * r[s->right];
  s++;
  goto* kCode[s->kind];
divide:
  r[s->result] = r[s->left] / r[s->right];
  s++;
  goto* kCode[s->kind];
arith:
  if (!ArithOnScalars(s->option, r[s->left], r[s->right], &r[s->result])) return false;
  s++;
  goto* kCode[s->kind];
unary:
  r[s->result] = UnaryOnScalar(s->option, r[s->left]);
  s++;
  goto* kCode[s->kind];
element : {
  const double subs[2] = {r[s->left], r[s->right]};
  const uint8_t* const item =
      ScopeSlots::ElementOfItem(matrices[s->option >> 1], (s->option & 1) + 1, subs);
  if (!item) return false;
  r[s->result] = Load<double>(item);
  s++;
  goto* kCode[s->kind];
}
end:
  return true;
}

DecodedChain* FindDecodedRound(const int16_t* at, const BuiltinDispatch* rows) {
  DecodedChain& d = DecodedChainAt(at);
  const bool decoded = TrustedChain(d, at, rows) || RefreshDecodedChain(at, rows, true, &d);
  tRoundHint = {at, CodeGeneration(), rows, decoded && d.round ? &d : nullptr};
  return tRoundHint.round;
}

bool RefreshDecodedChain(const int16_t* at, const BuiltinDispatch* rows, bool round,
                         DecodedChain* d) {
  if (!FastFormsOn()) return false;
  if (d->start != at || d->rows != rows || d->roundSite != round || !SameWords(*d, at)) {
    if (round)
      DecodeRound(at, rows, d);
    else
      DecodeChain(at, rows, d);
  }
  d->generation = CodeGeneration();
  return true;
}

}  // namespace vke
