// Calls of small scalar leaf functions (decoded_leaf.hpp): the table of
// decoded leaves, decoding a function's body, checking an entry again and
// the call itself.
#include "engine/loop/decoded_leaf.hpp"

#include <algorithm>
#include <cstring>

#include "engine/code/function_table.hpp"
#include "engine/fast_forms.hpp"

namespace vke {

constinit thread_local DecodedLeaf tDecodedLeaves[kDecodedLeaves] = {};
constinit thread_local uint64_t tLeafKeys[kLeafKeys] = {};
constinit thread_local LeafSite tLeafSites[kLeafSites] = {};

namespace {

// Whether the block at `block` is still the header and code the entry was
// decoded from, all of it before `end`.
bool SameLeafWords(const DecodedLeaf& d, const int16_t* block, const int16_t* end) {
  if (std::memcmp(d.header, block, sizeof d.header) != 0) return false;
  const uint32_t codeAt = ReadFunctionHeader(reinterpret_cast<const uint8_t*>(block)).CodeAt();
  if (end - block < static_cast<ptrdiff_t>(codeAt) + d.words) return false;
  return std::memcmp(d.code, block + codeAt, sizeof(int16_t) * d.words) == 0;
}

// Decodes a function's body into a DecodedLeaf, a path at a time: each
// piece of a path is its statements up to a return, a tested comparison
// (whose two ways are decoded as pieces of their own, each with what the
// path held so far) or the first thing that is not for a leaf.
class LeafDecoder {
 public:
  LeafDecoder(const FunctionHeader& h, const int16_t* code, const int16_t* last,
              const BuiltinDispatch* rows, DecodedLeaf* d)
      : h_(h), last_(last), rows_(rows), d_(d), regs_(h.inputs), seen_(code) {}

  // The values a path has stored so far, in order: a variable's value is
  // the register of its last store, else, for an input, the input's.
  struct Path {
    struct Stored {
      int32_t variable, reg;
    } stored[DecodedLeaf::kMaxOps];
    int32_t storedCount = 0;
    int32_t needInputs = 0;
    // The call's first instruction and the caller's next one.
    int32_t polls = 2;
    // The registers of the values the statement has pushed so far, the
    // deepest first.
    uint8_t pushed[kChainDepth];
    int32_t depth = 0;
  };

  // The piece of the path from `p`, decoded with what follows it; the
  // index of its segment.
  int32_t Piece(const int16_t* p, Path path) {
    // The last segment is kept for the general path's.
    if (segments_ >= DecodedLeaf::kMaxSegments - 1) return General();
    const int32_t index = segments_++;
    LeafSegment& s = d_->segments[index];
    s = {};
    s.first = static_cast<uint8_t>(ops_);
    const LeafSegment::Kind end = Statements(p, path);
    if (end == LeafSegment::kGeneral) {
      ops_ = s.first;
      s.kind = LeafSegment::kGeneral;
      return index;
    }
    d_->ops[ops_++] = {ChainStep::kEnd, 0, 0, 0, 0};
    s.kind = end;
    if (end == LeafSegment::kReturn) {
      s.result = -1;
      if (h_.outputs > 0) s.result = static_cast<int8_t>(ValueOf(path, 0));
      s.polls = static_cast<uint16_t>(path.polls);
      for (int32_t given = path.needInputs; given <= h_.inputs; given++)
        for (int32_t outputs = -1; outputs <= std::min(1, int32_t{h_.outputs}); outputs++)
          if (outputs < 1 || s.result >= 0) s.calls |= CallBit(given, outputs);
      calls_ |= s.calls;
      return index;
    }
    if (end == LeafSegment::kCall) {
      // The path goes on after the call with the call's result pushed.
      s.option = callSteps_ - 1;
      s.polls = static_cast<uint16_t>(path.polls);
      const int16_t* const after = call_;
      d_->segments[index].onTrue = static_cast<uint8_t>(Piece(after, path));
      return index;
    }
    s.left = test_.left;
    s.right = test_.right;
    s.option = test_.option;
    const int16_t* const jump = test_.jump;
    const int16_t* const taken = jump + 2 + jump[1];
    const bool onTrueJumps = jump[0] == kOpJumpTrue;
    // The way that falls through first: the branches of an if and of its
    // elseifs, in order, keep the table's places before what follows them.
    const int32_t fallen = Piece(jump + 2, path);
    const int32_t jumped = jump[1] >= 0 ? Piece(taken, path) : General();
    d_->segments[index].onTrue = static_cast<uint8_t>(onTrueJumps ? jumped : fallen);
    d_->segments[index].onFalse = static_cast<uint8_t>(onTrueJumps ? fallen : jumped);
    return index;
  }

  // The calls some path takes to its return.
  uint32_t calls() const { return calls_; }
  // The furthest code word read.
  const int16_t* seen() const { return seen_; }

 private:
  // The one segment of the paths that leave the call to the general path.
  int32_t General() {
    if (general_ < 0) {
      general_ = segments_++;
      d_->segments[general_] = {};
      d_->segments[general_].kind = LeafSegment::kGeneral;
    }
    return general_;
  }

  void Saw(const int16_t* upTo) { seen_ = std::max(seen_, std::min(upTo, last_)); }

  int32_t ValueOf(Path& path, int32_t v) const {
    for (int32_t i = path.storedCount - 1; i >= 0; i--)
      if (path.stored[i].variable == v) return path.stored[i].reg;
    const int32_t input = v - h_.outputs;
    if (input < 0 || input >= h_.inputs) return -1;
    path.needInputs = std::max(input + 1, path.needInputs);
    return input;
  }

  // The statements from `p` onto the path's operators, up to its return
  // (kReturn), a comparison a jump tests (kTest, the comparison in test_),
  // a call for one value (kCall, its step the last in callSteps, the path
  // going on at call_) or what no leaf does (kGeneral).
  LeafSegment::Kind Statements(const int16_t* p, Path& path) {
    for (;;) {
      if (p >= last_) return Saw(last_), LeafSegment::kGeneral;
      if (p[0] == kOpNop) {
        p += 1;
        continue;
      }
      if (p[0] == kOpLine) {
        Saw(p + 3);
        p += 3;
        continue;
      }
      if (p[0] == kOpReturn)
        return Saw(p + 1), path.depth == 0 ? LeafSegment::kReturn : LeafSegment::kGeneral;
      // A forward jump (past an else) is a light instruction, not counted.
      if (p[0] == kOpJump) {
        Saw(p + 2);
        if (p + 2 > last_ || p[1] < 0) return LeafSegment::kGeneral;
        p += 2 + p[1];
        continue;
      }
      // The pushes of 0 and 1 are light instructions of the loop, not
      // counted; the run after them takes their values off the stack.
      if (p[0] == kOpPushZero || p[0] == kOpPushOne) {
        if (path.depth == kChainDepth || regs_ == DecodedLeaf::kMaxRegisters)
          return Saw(p + 1), LeafSegment::kGeneral;
        d_->registers[regs_] = p[0] == kOpPushOne ? 1 : 0;
        d_->literals[d_->literalCount++] = static_cast<uint8_t>(regs_);
        path.pushed[path.depth++] = static_cast<uint8_t>(regs_++);
        p += 1;
        continue;
      }
      Saw(p + 2);
      if (p + 2 > last_) return LeafSegment::kGeneral;
      if (p[0] == kOpStoreVar && path.depth == 1) {
        // A value pushed alone (x = 0, x = f(y)): the store alone counts.
        if (p[1] < 0 || p[1] >= h_.vars || path.storedCount == DecodedLeaf::kMaxOps)
          return LeafSegment::kGeneral;
        path.stored[path.storedCount++] = {p[1], path.pushed[--path.depth]};
        path.polls++;
        p += 2;
        continue;
      }
      if (p[0] == kOpCallFn) {
        // A call of a function for one value: done on the registers when
        // the function's path there is a leaf's (TakeLeafCall).
        Saw(p + 4);
        if (p + 4 > last_ || p[3] != 1 || p[2] < 0 || p[2] > path.depth ||
            path.depth - p[2] == kChainDepth || p[2] > DecodedLeaf::kMaxInputs ||
            callSteps_ == DecodedLeaf::kMaxCallSteps || regs_ == DecodedLeaf::kMaxRegisters)
          return LeafSegment::kGeneral;
        LeafCallStep& step = d_->callSteps[callSteps_++];
        step = {};
        step.function = p[1];
        step.given = static_cast<uint8_t>(p[2]);
        path.depth -= p[2];
        for (int32_t i = 0; i < p[2]; i++) step.inputs[i] = path.pushed[path.depth + i];
        step.result = static_cast<uint8_t>(regs_);
        d_->registers[regs_] = 0;
        path.pushed[path.depth++] = static_cast<uint8_t>(regs_++);
        call_ = p + 4;
        return LeafSegment::kCall;
      }
      DecodedChain part;
      std::fill(std::begin(part.registers), std::end(part.registers), 0.0);
      DecodeChain(p, rows_, &part);
      Saw(p + part.checked);
      if (part.steps == 0) return LeafSegment::kGeneral;
      const int32_t pushes = path.depth;
      const bool tested = part.end == ChainEnd::kTested;
      const bool pushing = part.end == ChainEnd::kPushed;
      // A statement's store or test takes every value pushed before it.
      if ((part.end != ChainEnd::kStored && !tested && !pushing) || part.inputs > pushes ||
          (!pushing && part.inputs != pushes) ||
          (pushing && pushes - part.inputs + part.pending > kChainDepth) ||
          part.elementCount != 0 || part.registerCount > DecodedChain::kMaxSteps ||
          (part.end == ChainEnd::kStored && (part.target < 0 || part.target >= h_.vars ||
                                             path.storedCount == DecodedLeaf::kMaxOps)) ||
          regs_ + part.registerCount > DecodedLeaf::kMaxRegisters ||
          ops_ + part.opCount > DecodedLeaf::kMaxOps || p + part.checked > last_)
        return LeafSegment::kGeneral;
      // The run's registers after the others; its loads read the values
      // the path holds.
      uint8_t reg[DecodedChain::kMaxSteps];
      for (int32_t i = 0; i < part.registerCount; i++) {
        reg[i] = static_cast<uint8_t>(regs_ + i);
        d_->registers[regs_ + i] = part.registers[i];
      }
      // Its inputs are the values on top, the deepest first.
      path.depth -= part.inputs;
      for (int32_t i = 0; i < part.inputs; i++)
        reg[part.inputRegs[i]] = path.pushed[path.depth + i];
      for (int32_t i = 0; i < part.loadCount; i++) {
        const int32_t variable = part.loads[i].variable;
        const int32_t value = variable < h_.vars ? ValueOf(path, variable) : -1;
        if (value < 0) return LeafSegment::kGeneral;
        reg[part.loads[i].reg] = static_cast<uint8_t>(value);
      }
      bool written[DecodedChain::kMaxSteps] = {};
      for (int32_t i = 0; i < part.opCount; i++) {
        const ChainStep& op = part.ops[i];
        d_->ops[ops_++] = {op.kind, reg[op.result], reg[op.left], reg[op.right], op.option};
        written[op.result] = true;
      }
      // The literals: its own registers that no operator writes.
      for (int32_t i = 0; i < part.registerCount; i++)
        if (reg[i] == regs_ + i && !written[i])
          d_->literals[d_->literalCount++] = static_cast<uint8_t>(regs_ + i);
      regs_ += part.registerCount;
      path.polls += part.polls;
      if (tested) {
        // The jump counts as the run's next instruction.
        Saw(p + part.words + 2);
        if (p + part.words + 2 > last_) return LeafSegment::kGeneral;
        path.polls++;
        test_ = {reg[part.left[0]], reg[part.left[1]], part.target, p + part.words};
        return LeafSegment::kTest;
      }
      p += part.words;
      if (pushing) {
        for (int32_t i = 0; i < part.pending; i++) path.pushed[path.depth++] = reg[part.left[i]];
        continue;
      }
      path.stored[path.storedCount++] = {part.target, reg[part.left[0]]};
    }
  }

  const FunctionHeader& h_;
  const int16_t* const last_;
  const BuiltinDispatch* const rows_;
  DecodedLeaf* const d_;
  // The inputs' registers come first.
  int32_t regs_;
  const int16_t* seen_;
  int32_t segments_ = 0, ops_ = 0, general_ = -1, callSteps_ = 0;
  uint32_t calls_ = 0;
  // Where the path goes on after the call that ended the last piece.
  const int16_t* call_ = nullptr;
  // The comparison that ended the last piece, and its jump.
  struct {
    uint8_t left, right;
    int32_t option;
    const int16_t* jump;
  } test_ = {};
};

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
  d->literalCount = 0;
  d->inputs = static_cast<uint8_t>(h.inputs);
  LeafDecoder decoder(h, code, last, rows, d);
  decoder.Piece(code, {});
  // A body that is no leaf on some path keeps the words read up to where
  // that showed: a change further on costs a call that could have been
  // quick, never a wrong one.
  d->words = static_cast<uint16_t>(decoder.seen() - code);
  std::memcpy(d->code, code, sizeof(int16_t) * d->words);
  d->room = kFrameHeaderWords + h.vars + 3 * kChainRoomEntries;
  d->calls = decoder.calls();

  d->leaf = d->calls != 0;
}

void RefreshDecodedLeaf(const int16_t* block, const int16_t* end, const BuiltinDispatch* rows,
                        DecodedLeaf* d) {
  if (d->block != block || d->rows != rows || !SameLeafWords(*d, block, end))
    DecodeLeaf(block, end, rows, d);
  d->generation = CodeGeneration();
}

namespace {

// The calls within a leaf's path nest at most this deep: deeper ones are
// left to the general path, which a recursion then takes for its larger
// cases (whose tries cost more the deeper they may go).
constexpr int32_t kLeafCallDepth = 3;

static_assert(kDecodedLeaves <= 32, "the entries outgrew the bits of their sets");

// The decoded leaf of function `function`, decoded again where its entry
// does not hold it in this generation; null where the function has none,
// or where that entry is one of `running` (a call further up the chain goes
// on with it after this one).
DecodedLeaf* FindLeafOfFunction(EngineContext* ctx, int32_t function, uint32_t running) {
  // With the fast forms switched off every function is taken for none, and
  // its calls look no further in this generation.
  if (!FastFormsOn()) {
    LeafKeyOf(function) = LeafKey(function, false);
    return nullptr;
  }
  const BuiltinHooks* const hooks = ctx->builtinHooks;
  if (static_cast<uint32_t>(function) >= ctx->funcCount || !hooks) return nullptr;
  const FunctionTableEntry& entry = FunctionEntries(ctx)[function];
  if (!IsFunctionEntry(entry) || entry.code <= 0) return nullptr;
  const auto* const code = reinterpret_cast<const int16_t*>(ctx->CodeBytes());
  const int16_t* const block = code + entry.code;
  DecodedLeaf* const d = &DecodedLeafAt(block);
  if (d->block != block || d->generation != CodeGeneration() || d->rows != hooks->rows) {
    d->bit = 1u << (d - tDecodedLeaves);
    if (running & d->bit) return nullptr;
    if (uint64_t{static_cast<uint32_t>(entry.code)} + kFnHeaderUnits > ctx->codeEnd) return nullptr;
    RefreshDecodedLeaf(block, code + ctx->codeEnd, hooks->rows, d);
  }
  if (!d->leaf) {
    LeafKeyOf(function) = LeafKey(function, false);
    return nullptr;
  }
  return d;
}

// The decoded leaf of the function that the call at `at` calls, kept for
// the call's site; null where the call cannot take a leaf.
[[gnu::noinline]] DecodedLeaf* FindLeafOfCall(EngineContext* ctx, const int16_t* at) {
  const int32_t given = at[2], outputs = at[3];
  if (static_cast<uint32_t>(given) > DecodedLeaf::kMaxInputs ||
      static_cast<uint32_t>(outputs + 1) > 2)
    return nullptr;
  DecodedLeaf* const d = FindLeafOfFunction(ctx, at[1], 0);
  if (d) LeafSiteOf(at) = {at, d->generation, ctx->builtinHooks->rows, d->block, d};
  return d;
}

// The path of `d` that the values on the registers `r` take, up to its
// return: the segment of the return, or null where the path is the general
// one or an operator or comparison has no real result. The calls on the
// way, nested at most `depth` deep, add their instructions to *polls and
// the most room their frames would take to *room; the path gives up as
// soon as they and its own would count more than `budget` instructions.
// `running`: the entries of the chain's leaves, d's among them, which the
// calls on the way leave as they are.
const LeafSegment* RunLeafPath(EngineContext* ctx, DecodedLeaf* d, double* r, int32_t depth,
                               int32_t budget, int32_t* polls, uint32_t* room, uint32_t running);

// A call step of a path on the caller's registers `r`: the function's own
// path on registers of its own, its calls nested at most `depth` deep, all
// of it counting at most `budget` instructions. `running`: the entries of
// the caller's leaf and of those above it, never decoded again here.
[[gnu::noinline]] bool RunLeafCallStep(EngineContext* ctx, const DecodedLeaf* caller,
                                       LeafCallStep& step, double* r, int32_t depth, int32_t budget,
                                       int32_t* polls, uint32_t* room, uint32_t running) {
  DecodedLeaf* d = step.leaf;
  if (step.generation != CodeGeneration() || d->block != step.block ||
      d->generation != step.generation || d->rows != caller->rows) [[unlikely]] {
    d = FindLeafOfFunction(ctx, step.function, running);
    if (!d) return false;
    step.leaf = d;
    step.block = d->block;
    step.generation = d->generation;
  }
  if (!(d->calls & CallBit(step.given, 1))) return false;
  double own[DecodedLeaf::kMaxRegisters];
  for (int32_t i = 0; i < d->literalCount; i++) own[d->literals[i]] = d->registers[d->literals[i]];
  for (int32_t i = 0; i < step.given; i++) own[i] = r[step.inputs[i]];
  // Inputs not given are read only by a path that then refuses the call.
  for (int32_t i = step.given; i < d->inputs; i++) own[i] = 0;
  int32_t nestedPolls = 0;
  uint32_t nestedRoom = 0;
  const LeafSegment* const s =
      RunLeafPath(ctx, d, own, depth, budget, &nestedPolls, &nestedRoom, running | d->bit);
  if (!s || !(s->calls & CallBit(step.given, 1)) || s->polls + nestedPolls > budget) return false;
  r[step.result] = own[s->result];
  *polls += s->polls + nestedPolls;
  *room = std::max(*room, d->room + nestedRoom);
  return true;
}

const LeafSegment* RunLeafPath(EngineContext* ctx, DecodedLeaf* d, double* r, int32_t depth,
                               int32_t budget, int32_t* polls, uint32_t* room, uint32_t running) {
  const LeafSegment* s = d->segments;
  // Branches rather than a jump table: the kinds follow each other in
  // patterns that the values decide.
  for (;;) {
    if (s->kind == LeafSegment::kTest) {
      bool truth;
      if (!RunChainStepsInline(d->ops + s->first, r) ||
          !CompareScalars(s->option, r[s->left], r[s->right], &truth))
        return nullptr;
      s = d->segments + (truth ? s->onTrue : s->onFalse);
    } else if (s->kind == LeafSegment::kCall) {
      if (depth == 0 || *polls + s->polls >= budget || !RunChainStepsInline(d->ops + s->first, r) ||
          !RunLeafCallStep(ctx, d, d->callSteps[s->option], r, depth - 1,
                           budget - *polls - s->polls, polls, room, running))
        return nullptr;
      s = d->segments + s->onTrue;
    } else {
      return s->kind == LeafSegment::kReturn && RunChainStepsInline(d->ops + s->first, r) ? s
                                                                                          : nullptr;
    }
  }
}

}  // namespace

int32_t TakeLeafCall(EngineContext* ctx, const int16_t* at, int32_t budget) {
  const int32_t given = at[2], outputs = at[3];
  const int32_t caller = ctx->curFrame;
  if (caller < 0) return -1;
  const LeafSite& site = LeafSiteOf(at);
  DecodedLeaf* d = site.leaf;
  if (site.at != at || site.generation != CodeGeneration() || !ctx->builtinHooks ||
      site.rows != ctx->builtinHooks->rows || d->block != site.block) [[unlikely]] {
    d = FindLeafOfCall(ctx, at);
    if (!d) return -1;
  }
  const uint32_t call = CallBit(given, outputs);
  if (!(d->calls & call) || !FrameHasEntries(ctx, given)) return -1;
  // Each input's data is one unit, the first input's deepest.
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  const uint32_t frame = descTop - 3 * static_cast<uint32_t>(given);
  uint32_t* const words = ctx->DescWords();
  const auto* const inputs = reinterpret_cast<const ValueDescriptor*>(words + frame);
  const double* const data = ctx->DataUnits() + dataTop - given;
  double* const r = d->registers;
  for (int32_t i = 0; i < given; i++) {
    if (!IsRealDoubleScalar(inputs[i])) return -1;
    r[i] = data[i];
  }
  // The path the inputs take, up to its return; the registers of inputs
  // not given hold what an earlier call left, read only by a path that
  // then refuses the call. The path is found first, so that a call whose
  // path is the general one costs little more than its look-up. The calls
  // it makes take frames above the call's own.
  int32_t polls = 0;
  uint32_t room = 0;
  // A body of one path, the commonest, runs its operators without the walk.
  const LeafSegment* s = d->segments;
  if (s->kind != LeafSegment::kReturn) [[unlikely]] {
    s = RunLeafPath(ctx, d, r, kLeafCallDepth, budget + 1, &polls, &room, d->bit);
    if (!s) return -1;
  } else if (!RunChainStepsInline(d->ops + s->first, r)) {
    return -1;
  }
  if (!(s->calls & call)) return -1;
  polls += s->polls;
  if (polls - 1 > budget) return -1;
  // The room the frame would take, and above it what the body's runs need
  // to go as one, so that the instructions too would have found it.
  if (uint64_t{frame} + d->room + room >= ctx->descCap ||
      uint64_t{dataTop} + 2 * kChainRoomUnits >= ctx->dataCap)
    return -1;
  // A caller that steps into calls stops at the function's first line.
  if (words[static_cast<uint32_t>(caller) + kFwStopRequest] == kStepIntoCalls) return -1;
  // The inputs give way to the result, as the return leaves it: the value,
  // or, for a statement call, the no-value marker when there is none.
  ctx->descTop = frame;
  ctx->dataTop = dataTop - given;
  if (outputs == 1 || (outputs < 0 && s->result >= 0))
    PushScalarInRoom(ctx, r[s->result]);
  else if (outputs < 0) {
    // Its room is tested above: a test refuses no request here.
    const RoomRequestsPaused paused;
    PushNoValue(ctx);
  }
  // As the call would leave the code pointer's flag.
  ctx->cpFlag = 0;
  return polls;
}

}  // namespace vke
