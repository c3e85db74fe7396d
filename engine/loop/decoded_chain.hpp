// Runs of scalar instructions decoded once: the instructions that a run of
// RunScalarChain would read at a code position, kept beside the code as
// steps with their operands resolved (variable numbers, literals as
// doubles, the operator itself) and the way the run ends. The decoded runs
// live in a small table outside the engine's area, one per thread, keyed by
// the address of the run's first instruction. An entry serves as it is while
// the code generation it was decoded in lasts and the same dispatch rows are
// installed (engine/code/code_generation.hpp); after that it serves again
// only when the code there is still the words it was decoded from (it holds
// a copy), else it is decoded again. What depends on the values (a variable
// that holds a real double scalar, a block of a scalar's size) is checked
// at every run, as the instructions one by one would. The run itself is
// inline in the loop; decoding and checking again live in decoded_chain.cpp.
// The same table holds decoded rounds: a for-range loop whose body is one
// scalar statement, keyed by its step, done whole (step, loop variable,
// statement, line markers) or not at all.
#pragma once

#include "engine/code/code_generation.hpp"
#include "engine/loop/scalar_chain.hpp"

namespace vke {

// An operator of a decoded run on its registers: registers[result] =
// registers[left] op registers[right].
// Its fields are wider than bytes so that the compiler need not read them
// again after every register written.
struct ChainStep {
  enum Kind : uint16_t {
    kPlus,
    kMinus,
    kTimes,
    kDivide,
    kArith,  // another element-wise option, through ArithOnScalars
    kUnary,  // registers[result] = UnaryOnScalar(option, registers[left])
    // A round's element read: registers[result] = element (registers[left],
    // and registers[right] when option & 1) of the round's matrix
    // option >> 1; fails outside its size.
    kElement,
    kEnd,  // after the run's last operator
  } kind;
  uint16_t result, left, right;
  int32_t option;
};

// A variable a decoded run reads, each once, into its register; a negative
// `variable` reads element -1 - variable of the run's elements instead.
struct ChainLoad {
  int32_t variable;
  int32_t reg;
};

// A decoded run. Every value the run makes has a register of its own; the
// literals' registers are filled when the run is decoded, the variables'
// at the start of each use, before any operator. An entry's size is a
// power of two (its alignment) so that the run finds its address in the
// table by a shift of the index, not a multiplication; the run computes it
// more than once, where the loop has no register left to keep it.
struct alignas(1024) DecodedChain {
  static constexpr int32_t kMaxSteps = 16;
  static constexpr int32_t kMaxWords = 48;
  const int16_t* start;  // null: a free entry
  const BuiltinDispatch* rows;
  uint32_t generation;  // the code generation it is trusted in; 0 none
  uint16_t words;       // the run's words, from start
  uint16_t checked;     // the code words compared before each use: a comparison's jump too
  uint16_t lastAt;      // the word offset of the run's last instruction
  uint8_t steps;        // the instructions the run does; 0 when the first does not apply
  uint8_t polls;        // the same counted as the loop counts them (an element's are several)
  uint8_t loadCount, opCount, pending;
  uint8_t depth;          // the most values the run holds at once
  uint8_t registerCount;  // the registers the run uses
  // A run that begins with an operator takes its first operands off the
  // stack: the entries it takes (the result of a call before it, say), and
  // their registers, the deepest first.
  static constexpr int32_t kMaxInputs = 2;
  uint8_t inputs;
  uint8_t inputRegs[kMaxInputs];
  ChainEnd end;    // kStored, kTested or kPushed
  int32_t target;  // kStored: the variable; kTested: the comparison option
  // The elements the run reads, and the one a kStoredElement run assigns.
  static constexpr int32_t kMaxElements = 4;
  uint8_t elementCount;
  ChainElement elements[kMaxElements];
  ChainElement stored;
  int8_t storedRead;  // the index in elements of the same element read before; -1 none
  // The registers of the values the run leaves, bottom first: the value
  // stored, the two compared or the values pushed.
  uint8_t left[kChainDepth];
  ChainLoad loads[kMaxSteps];
  ChainStep ops[kMaxSteps + 1];  // ended by a kEnd step
  // A round's register for the loop variable's value.
  static constexpr uint8_t kRangeRegister = kMaxSteps;
  double registers[kMaxSteps + 1];
  // A round (DecodeRound): its statements' operators one after another in
  // ops, each value on a register of its own; its loads are the reads of
  // variables other than the loop variable before the round stores them
  // (the loop variable's reads take kRangeRegister, the reads after a store
  // the stored value's register); its stores in order. Its line markers,
  // when it has any, leave the last function operand other than -1 (-1:
  // none) and the last position in the frame.
  static constexpr int32_t kMaxStores = 8;
  static constexpr int32_t kMaxRoundWords = 96;
  struct RoundStore {
    int16_t variable;
    uint8_t reg;
    int8_t load;  // the index in loads of the variable's read before it is stored; -1 none
  };
  RoundStore stores[kMaxStores];
  uint8_t storeCount;
  // The matrices whose elements a round reads (kElement steps), none of
  // them a variable the round stores.
  static constexpr int32_t kMaxMatrices = 4;
  int16_t matrices[kMaxMatrices];
  uint8_t matrixCount;
  uint16_t storedLoads;  // bit i: load i reads a variable the round stores
  bool roundSite;        // decoded by DecodeRound, a round or not
  bool round;
  bool lines;
  uint8_t jump;  // the word offset from start of the jump back
  int16_t rangeVariable;
  int16_t lineFunction, linePosition;
  int16_t code[kMaxRoundWords + 1];
};
static_assert(sizeof(DecodedChain) == alignof(DecodedChain), "an entry outgrew its alignment");

// Does a decoded run's operators, `steps` up to its kEnd step, on its
// registers; false when an element-wise option has no result on these
// values or an element is outside its matrix (the registers then are of no
// use). `matrices`: the items of a round's matrices (null for a run, which
// reads its elements before its steps).
bool RunChainSteps(const ChainStep* steps, double* registers, uint8_t* const* matrices = nullptr);

// RunChainSteps inline, for the runs of a statement or two: the three
// commonest operators here, the rest from the first other one on through
// RunChainSteps.
VKE_HOT_INLINE bool RunChainStepsInline(const ChainStep* s, double* r) {
  for (;; s++) {
    switch (s->kind) {
      case ChainStep::kPlus:
        r[s->result] = r[s->left] + r[s->right];
        continue;
      case ChainStep::kMinus:
        r[s->result] = r[s->left] - r[s->right];
        continue;
      case ChainStep::kTimes:
        r[s->result] = r[s->left] * r[s->right];
        continue;
      case ChainStep::kEnd:
        return true;
      default:
        return RunChainSteps(s, r);
    }
  }
}

// Decodes the run at `at` as RunScalarChain would read it with the dispatch
// rows `rows`, stopping early where a decoded entry is full (the rest then
// runs as a run of its own).
void DecodeChain(const int16_t* at, const BuiltinDispatch* rows, DecodedChain* out);

// Decodes the round of a for-range loop at its forrangenext `at`: a round
// when the step's value is stored in the loop variable and the body is
// runs that each end in a store (reading elements of matrices the round
// does not store), line markers between them, followed by the
// jump back to `at`, all within the entry's bounds. Any other code gives an
// entry whose `round` is false.
void DecodeRound(const int16_t* at, const BuiltinDispatch* rows, DecodedChain* out);

// Decoded runs per thread, in pairs: a code position has the two entries of
// its pair. A run whose entry another run took is decoded again when it
// comes back.
inline constexpr uint32_t kDecodedChains = 64;
extern constinit thread_local DecodedChain tDecodedChains[kDecodedChains];

// The entry of the run at `at`: the one of its pair that holds it, else the
// one to decode it in, the first unless that one serves another run in this
// code generation (runs near each other in one loop share a pair).
VKE_HOT_INLINE DecodedChain& DecodedChainAt(const int16_t* at) {
  const auto word = reinterpret_cast<uintptr_t>(at) >> 1;
  DecodedChain* const pair = &tDecodedChains[((word ^ (word >> 5)) % (kDecodedChains / 2)) * 2];
  if (pair[0].start == at) [[likely]]
    return pair[0];
  if (pair[1].start == at || (pair[0].start && pair[0].generation == CodeGeneration()))
    return pair[1];
  return pair[0];
}

// Whether an entry may be used without reading the code again: decoded at
// `at` with these rows in this generation.
VKE_HOT_INLINE bool TrustedChain(const DecodedChain& d, const int16_t* at,
                                 const BuiltinDispatch* rows) {
  return d.start == at && d.generation == CodeGeneration() && d.rows == rows;
}

// Makes the entry that of the code at `at` in this generation, a round's
// (DecodeRound) or a run's: kept when the words it was decoded from are
// still there, else decoded again. False, the entry left untrusted, while
// the fast forms are switched off (engine/fast_forms.hpp): the code then
// runs as its instructions.
bool RefreshDecodedChain(const int16_t* at, const BuiltinDispatch* rows, bool round,
                         DecodedChain* d);

// The item of a decoded run's element, its subscripts' values on the
// registers `r` (ScopeSlots::RealElement); null otherwise.
VKE_HOT_INLINE uint8_t* ElementIn(const ScopeSlots& vars, const ChainElement& e, const double* r) {
  const double subs[2] = {r[e.reg[0]], e.count > 1 ? r[e.reg[1]] : 0};
  return vars.RealElement(e.matrix, e.count, subs);
}

// The values of a run's inputs (DecodedChain::inputs), the top entries of
// the current frame, on their registers: false, with nothing read, unless
// they are real double scalars.
VKE_HOT_INLINE bool ReadChainInputs(EngineContext* ctx, const DecodedChain& d, double* r) {
  const int32_t n = d.inputs;
  if (!FrameHasEntries(ctx, n)) return false;
  const double* const top = ctx->DataUnits() + ctx->dataTop - 1;
  for (int32_t i = 0; i < n; i++) {
    if (!IsRealDoubleScalar(*DescAt(ctx, i))) return false;
    r[d.inputRegs[n - 1 - i]] = top[-i];
  }
  return true;
}

// RunScalarChain through the decoded run at `at`: the same results, the
// same end and the same position. `vars` are the slots of the scope frame
// `scope`. A run cut short by `budget` or one that does not fit a decoded
// entry goes through RunScalarChain itself. `atOperator`: the run begins
// with an operator, whose operands are on the stack; only a run that takes
// them and goes on past the operator is done (else kNothing, nothing done).
VKE_HOT_INLINE ChainEnd RunDecodedChain(EngineContext* ctx, int32_t scope, const ScopeSlots& slots,
                                        const int16_t* at, int32_t budget, ScalarChain* out,
                                        bool atOperator = false) {
  const BuiltinHooks* const hooks = ctx->builtinHooks;
  // A scope frame means a current frame.
  if (!hooks || scope < 0 || !RoomAbove(ctx, kChainRoomEntries, kChainRoomUnits)) [[unlikely]]
    return RunScalarChain(ctx, scope, at, budget, out);
  DecodedChain& d = DecodedChainAt(at);
  if (!TrustedChain(d, at, hooks->rows) && !RefreshDecodedChain(at, hooks->rows, false, &d))
      [[unlikely]]
    return ChainEnd::kNothing;
  const int32_t steps = d.polls, loads = d.loadCount, inputs = d.inputs;
  const ChainEnd end = d.end;
  // An operator alone or followed only by a variable's store (whose own
  // forms are as quick), or one whose operands are not real double scalars,
  // is left to the operator's own form.
  if (atOperator && (inputs == 0 || (d.steps < 3 && end != ChainEnd::kStoredElement) ||
                     budget < steps || !ReadChainInputs(ctx, d, d.registers)))
    return ChainEnd::kNothing;
  // A run cut short, or one whose variable is no real double scalar, goes
  // one instruction at a time: nothing has been changed yet.
  if (steps == 0 || budget < steps) [[unlikely]]
    return RunScalarChain(ctx, scope, at, budget, out);
  if (inputs && !atOperator && !ReadChainInputs(ctx, d, d.registers)) [[unlikely]]
    return RunScalarChain(ctx, scope, at, budget, out);
  // Copied: the registers' stores would make the compiler read the slots
  // and the entry's fields again after each (the code may alias anything).
  const ScopeSlots vars = slots;
  double* const r = d.registers;
  // The items of the elements read, for an assignment to one of them.
  uint8_t* elements[DecodedChain::kMaxElements];
  for (const ChainLoad *load = d.loads, *last = load + loads; load != last; load++) {
    double value;
    if (load->variable >= 0) [[likely]] {
      if (!vars.LoadScalar(load->variable, &value)) [[unlikely]]
        return RunScalarChain(ctx, scope, at, budget, out);
    } else {
      uint8_t* const element = ElementIn(vars, d.elements[-1 - load->variable], r);
      if (!element) [[unlikely]]
        return RunScalarChain(ctx, scope, at, budget, out);
      elements[-1 - load->variable] = element;
      value = Load<double>(element);
    }
    r[load->reg] = value;
  }
  if (!RunChainStepsInline(d.ops, r)) [[unlikely]]
    return RunScalarChain(ctx, scope, at, budget, out);
  out->ip = at + d.words;
  out->steps = steps;
  if (inputs) [[unlikely]] {
    // A comparison that has no truth leaves everything to the instructions.
    if (end == ChainEnd::kTested &&
        !CompareScalars(d.target, r[d.left[0]], r[d.left[1]], &out->truth))
      return RunScalarChain(ctx, scope, at, budget, out);
    // The inputs are used: the instructions would have popped them.
    ctx->descTop -= 3 * static_cast<uint32_t>(inputs);
    ctx->dataTop -= static_cast<uint32_t>(inputs);
  }
  switch (end) {
    case ChainEnd::kStored:
      if (vars.StoreScalar(d.target, r[d.left[0]])) return ChainEnd::kStored;
      // The value waits on the stack for the store's own path.
      out->ip = at + d.lastAt;
      out->steps--;
      PushScalarInRoom(ctx, r[d.left[0]]);
      return ChainEnd::kPushed;
    case ChainEnd::kStoredElement:
      // The element read before is where it was: the run wrote nothing.
      if (uint8_t* const element =
              d.storedRead >= 0 ? elements[d.storedRead] : ElementIn(vars, d.stored, r)) {
        Store<double>(element, r[d.left[0]]);
        return ChainEnd::kStoredElement;
      }
      out->ip = at + d.lastAt;
      out->steps -= d.stored.count + 2;
      PushScalarInRoom(ctx, r[d.left[0]]);
      return ChainEnd::kPushed;
    case ChainEnd::kTested:
      if (CompareScalars(d.target, r[d.left[0]], r[d.left[1]], &out->truth))
        return ChainEnd::kTested;
      return RunScalarChain(ctx, scope, at, budget, out);
    default:
      for (int32_t i = 0; i < d.pending; i++) PushScalarInRoom(ctx, r[d.left[i]]);
      return ChainEnd::kPushed;
  }
}

// The step a sliced run of this thread last resumed at and its decoded
// round (null: not a round), as DecodedRoundAt found them: a run resumes at
// the same step round after round and finds the answer here, without the
// table's look-up, for as long as the code generation and the rows last
// (and, for a round, its entry is still that step's).
struct RoundHint {
  const int16_t* step;
  uint32_t generation;
  const BuiltinDispatch* rows;
  DecodedChain* round;
};
extern constinit thread_local RoundHint tRoundHint;

// DecodedRoundAt through the table; keeps the answer in tRoundHint.
DecodedChain* FindDecodedRound(const int16_t* at, const BuiltinDispatch* rows);

// The decoded round at the forrangenext `at`, when the code there is one
// (DecodeRound); null otherwise.
VKE_HOT_INLINE DecodedChain* DecodedRoundAt(const EngineContext* ctx, const int16_t* at) {
  const BuiltinHooks* const hooks = ctx->builtinHooks;
  if (!hooks) [[unlikely]]
    return nullptr;
  const RoundHint& hint = tRoundHint;
  if (hint.step == at && hint.generation == CodeGeneration() && hint.rows == hooks->rows &&
      (!hint.round || hint.round->start == at)) [[likely]]
    return hint.round;
  return FindDecodedRound(at, hooks->rows);
}

// Where a round of the decoded round `d` reads and writes: the items of its
// loop variable, of the variables it reads and of those it stores, and the
// frame its line markers mark. They hold from round to round for as long
// as nothing but the rounds runs (the rounds write only into these items).
struct RoundItems {
  uint32_t* frame;
  uint8_t* loopItem;
  uint8_t* items[DecodedChain::kMaxSteps];
  uint8_t* stored[DecodedChain::kMaxStores];
  uint8_t* matrices[DecodedChain::kMaxMatrices];
};

// The items of the next round of `d` (RoundItems); false, with nothing
// changed, where the round would not go on as one: a variable of another
// kind or size, no room for a statement's pushes, a stop request.
VKE_HOT_INLINE bool FindRoundItems(EngineContext* ctx, const ScopeSlots& slots,
                                   const DecodedChain& d, RoundItems* out) {
  if (ctx->curFrame < 0 || !RoomAbove(ctx, d.depth, d.depth)) [[unlikely]]
    return false;
  out->frame = FrameWords(ctx, ctx->curFrame);
  // Copied: the stores into out would make the compiler read the slots
  // again after each.
  const ScopeSlots vars = slots;
  uint8_t* const loopItem = vars.ItemToStore(d.rangeVariable);
  if (out->frame[kFwStopRequest] != 0 || !loopItem) [[unlikely]]
    return false;
  out->loopItem = loopItem;
  // The variables are read before the loop variable is stored, so none of
  // them may be its block. A variable the round stores as well is read in a
  // block of a scalar's size, the item its store then goes into (a larger
  // block would refuse the store anyway).
  for (int32_t i = 0; i < d.loadCount; i++) {
    uint8_t* const item = vars.ScalarItem(d.loads[i].variable, (d.storedLoads >> i) & 1);
    if (!item || item == loopItem) [[unlikely]]
      return false;
    out->items[i] = item;
  }
  // The matrices read, each a real double matrix (the elements' own
  // checks are the steps').
  for (int32_t i = 0; i < d.matrixCount; i++) {
    uint8_t* const item = vars.RealMatrixItem(d.matrices[i]);
    if (!item || item == loopItem) [[unlikely]]
      return false;
    out->matrices[i] = item;
  }
  // Where each store goes (a round stores at least once).
  int32_t i = 0;
  do {
    const DecodedChain::RoundStore& s = d.stores[i];
    uint8_t* item;
    if (s.load >= 0)
      item = out->items[s.load];
    else if (s.variable != d.rangeVariable)
      item = vars.ItemToStore(s.variable);
    else
      item = loopItem;
    if (!item) [[unlikely]]
      return false;
    out->stored[i] = item;
  } while (++i < d.storeCount);
  return true;
}

// A whole round of the decoded round `d` at the forrangenext `at` into the
// items FindRoundItems found, as its instructions one by one would do it:
// the step of the real range on top (`step`, peeked, with a value left)
// stored into the loop variable, the statements and their stores, the line
// markers (the caller has found lines quiet when the round has any); the
// jump back is the caller's. False, with nothing changed, when an
// element-wise option has no real result: the instructions then run as
// usual.
VKE_HOT_INLINE bool RunRound(DecodedChain& d, const RoundItems& at, const RealRangeStep& step) {
  double* const r = d.registers;
  const double value = step.value;
  r[DecodedChain::kRangeRegister] = value;
  for (int32_t i = 0; i < d.loadCount; i++)
    r[d.loads[i].reg] = Load<double>(at.items[i] + kItemHeaderBytes);
  if (!RunChainSteps(d.ops, r, at.matrices)) [[unlikely]]
    return false;
  step.Take();
  ScopeSlots::WriteScalar(at.loopItem, value);
  int32_t i = 0;
  do ScopeSlots::WriteScalar(at.stored[i], r[d.stores[i].reg]);
  while (++i < d.storeCount);
  // What the markers leave in the frame, as MarkQuietLine marks them.
  if (d.lines) {
    if (d.lineFunction != -1) at.frame[kFwFunction] = static_cast<uint32_t>(d.lineFunction);
    at.frame[kFwPosition] = static_cast<uint32_t>(d.linePosition);
  }
  return true;
}

// A whole round (FindRoundItems, then RunRound); false, with nothing
// changed, where either refuses.
VKE_HOT_INLINE bool TakeDecodedRound(EngineContext* ctx, const ScopeSlots& slots, DecodedChain& d,
                                     const RealRangeStep& step) {
  RoundItems items;
  return FindRoundItems(ctx, slots, d, &items) && RunRound(d, items, step);
}

}  // namespace vke
