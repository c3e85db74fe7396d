// Calls of compiled and inline functions and the returns from them: setting
// up a frame from the function's header, moving the inputs into variable
// blocks, and leaving the results on the value stacks.
#include "engine/frames/frames.hpp"

#include <algorithm>
#include <cstddef>

#include "engine/code/code_generation.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/fast_forms.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/frames/frame_internal.hpp"
#include "engine/frames/function_block.hpp"
#include "engine/heap_fast.hpp"
#include "engine/memory_retry.hpp"
#include "engine/values/value.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// The called code: its header and where its first instruction lies.
struct CallTarget {
  FunctionHeader header;
  int32_t headerWord = -1;  // frame word 21
  uint32_t codeKind = kCodeNone;
  uint32_t codeOffset = 0;  // bytes from the base of the code's area
};

ErrCode LocateCompiled(EngineContext* ctx, int32_t function, CallTarget* t) {
  if (static_cast<uint32_t>(function) >= ctx->funcCount) return kErrIllegal;
  const uint8_t* entry = ctx->CodeBytes() + 16ull * function;
  int32_t nameId = Load<int32_t>(entry);
  int32_t pos = Load<int32_t>(entry + 8);
  if (nameId >= 0 || pos <= 0 || uint64_t{uint32_t(pos)} + kFnHeaderUnits > ctx->codeEnd)
    return kErrIllegal;
  t->header = ReadFunctionHeader(ctx->CodeBytes() + 2ull * pos);
  if (!t->header.Consistent() || uint64_t{uint32_t(pos)} + t->header.CodeAt() >= ctx->codeEnd)
    return kErrIllegal;
  t->headerWord = pos;
  t->codeKind = kCodeArea;
  t->codeOffset = 2 * (static_cast<uint32_t>(pos) + t->header.CodeAt());
  return kOk;
}

// The located code of the functions called lately, per thread: a call of a
// function called before finds its header read and checked while the code's
// generation lasts (any compilation, table change, image load or area move
// ends it). Kept outside the engine's area, so nothing stored changes.
// With the fast forms switched off nothing is kept: every call locates its
// function again (the switch ended the generation of what was kept).
struct LocatedFunction {
  const EngineContext* ctx = nullptr;
  const uint8_t* code = nullptr;
  uint32_t generation = 0;
  int32_t function = -1;
  CallTarget target;
};
constexpr uint32_t kLocatedFunctions = 16;
thread_local LocatedFunction tLocated[kLocatedFunctions];

// The table's located target of a compiled function; null when it is not
// known there.
VKE_HOT_INLINE const CallTarget* KnownTarget(EngineContext* ctx, int32_t function) {
  const LocatedFunction& known = tLocated[static_cast<uint32_t>(function) % kLocatedFunctions];
  if (known.function == function && known.ctx == ctx && known.generation == CodeGeneration() &&
      known.code == ctx->CodeBytes()) [[likely]]
    return &known.target;
  return nullptr;
}

// The located target of a compiled function: the table's when known, else
// located into *scratch.
ErrCode LocateCompiledOnce(EngineContext* ctx, int32_t function, CallTarget* scratch,
                           const CallTarget** t) {
  if ((*t = KnownTarget(ctx, function))) return kOk;
  const ErrCode e = LocateCompiled(ctx, function, scratch);
  if (!e && FastFormsOn())
    tLocated[static_cast<uint32_t>(function) % kLocatedFunctions] = {
        ctx, ctx->CodeBytes(), CodeGeneration(), function, *scratch};
  *t = scratch;
  return e;
}

ErrCode LocateInline(EngineContext* ctx, int32_t depth, CallTarget* t) {
  const uint8_t* block;
  int32_t units;
  if (GetInlineFunctionParts(ctx, depth, nullptr, nullptr, nullptr, nullptr, &block, &units) ||
      !block)
    return kErrIllegal;
  t->header = ReadFunctionHeader(block);
  if (!t->header.Consistent() || 2ull * t->header.CodeAt() >= 8ull * units) return kErrIllegal;
  uint32_t offset = static_cast<uint32_t>(block - ctx->DataBytes());
  t->headerWord = kInlineHeaderBase - static_cast<int32_t>(offset / 2);
  NoteCodeChanged();
  t->codeKind = kCodeDataStack;
  t->codeOffset = offset + 2 * t->header.CodeAt();
  return kOk;
}

// Whether a breakpoint before the first line names the function. Out of
// line: breakpoints are rare.
[[gnu::noinline]] bool BreakpointBeforeFirstLine(EngineContext* ctx, int32_t function) {
  uint32_t pairs = BlockUnits(ctx, ctx->bpTable);
  if (ctx->bpCount < pairs) pairs = ctx->bpCount;
  const uint8_t* p = BlockData(ctx, ctx->bpTable);
  for (uint32_t i = 0; i < pairs; i++)
    if (Load<int32_t>(p + 8ull * i) == function && Load<int32_t>(p + 8ull * i + 4) < 1) return true;
  return false;
}

// Frame word 20 of a new frame: stop at its first line when the caller steps
// into functions or a breakpoint before the first line names the function.
VKE_HOT_INLINE uint32_t InitialStopRequest(EngineContext* ctx, int32_t function) {
  if (ctx->curFrame >= 0 && FrameWords(ctx, ctx->curFrame)[kFwStopRequest] == kStepIntoCalls)
    return kStopAtNextLine;
  if (function < 0 || ctx->bpTable <= 0) [[likely]]
    return 0;
  return BreakpointBeforeFirstLine(ctx, function) ? kStopAtNextLine : 0;
}

// Sets `count` variable slots to -1 (unset). A few slots, the common case,
// are cheaper stored one by one than through a library call.
inline void MarkSlotsUnset(uint32_t* slots, uint32_t count) {
  constexpr auto kUnset = static_cast<uint32_t>(-1);
  switch (count) {
    case 6:
      slots[5] = kUnset;
      [[fallthrough]];
    case 5:
      slots[4] = kUnset;
      [[fallthrough]];
    case 4:
      slots[3] = kUnset;
      [[fallthrough]];
    case 3:
      slots[2] = kUnset;
      [[fallthrough]];
    case 2:
      slots[1] = kUnset;
      [[fallthrough]];
    case 1:
      slots[0] = kUnset;
      [[fallthrough]];
    case 0:
      return;
    default:
      std::fill(slots, slots + count, kUnset);
  }
}

// Undoes the first `done` input moves: each moved input's descriptor word 0
// holds its block, whose header keeps the original flags.
void RestoreMovedInputs(EngineContext* ctx, uint32_t first, int32_t done) {
  uint32_t* w = ctx->DescWords() + first;
  for (int32_t j = 0; j < done; j++) {
    int32_t block = static_cast<int32_t>(w[3 * j]);
    w[3 * j] = Load<uint32_t>(BlockData(ctx, block));
    FreeEngineBlock(ctx, block);
  }
}

// The top `surplus` entries as the list of a new block (*block); true, with
// nothing taken, when the heap has no room for it. Kept out of the common
// path of a call.
[[gnu::noinline]] bool GatherVarargin(EngineContext* ctx, int32_t surplus, int32_t* block) {
  uint64_t units = kItemHeaderUnits;
  for (int32_t d = 0; d < surplus; d++) units += DescAt(ctx, d)->size + kItemHeaderUnits;
  if (units > kBlockSizeMask || AllocEngineBlock(ctx, static_cast<uint32_t>(units), block))
    return true;
  uint8_t* p = BlockData(ctx, *block);
  Store(p, ValueDescriptor{kFlagStructured, static_cast<uint32_t>(units) - kItemHeaderUnits,
                           kKindList});
  Store<int32_t>(p + 12, 0);
  p += kItemHeaderBytes;
  for (int32_t d = surplus - 1; d >= 0; d--) p += WriteEntryAsItem(ctx, d, p);
  return false;
}

// The number of elements of a varargout value and its first element item;
// -1 when the value is not a list or cell array.
int32_t ListBlockElements(EngineContext* ctx, int32_t block, const uint8_t** first) {
  if (block <= 0) return -1;
  const uint8_t* p = BlockData(ctx, block);
  ValueDescriptor d = Load<ValueDescriptor>(p);
  if (!IsStructured(d) || (d.word != kKindList && d.word != kKindCell) ||
      uint64_t{d.size} + kItemHeaderUnits > BlockUnits(ctx, block))
    return -1;
  const uint8_t* item = p + kItemHeaderBytes;
  const uint8_t* end = item + 8ull * d.size;
  int32_t items = 0;
  for (const uint8_t* q = item; q < end; q += ItemBytes(q)) items++;
  if (d.word == kKindCell && items > 0) {
    item += ItemBytes(item);  // the dimension item
    items--;
  }
  *first = item;
  return items;
}

// The return of a call that asks for at most one result, which a declared
// output holds: varargout cannot take part, and the results need neither
// reversal nor room beyond the frame's header. Gives -1, nothing changed,
// for every other return, which the general path then takes.
int32_t ReturnSingleResult(EngineContext* ctx, int32_t f, uint32_t* w, uint32_t* callBack) {
  const int32_t vars = static_cast<int32_t>(w[kFwVarCount]);
  const auto declared = static_cast<int32_t>(w[kFwResultsDelivered]);
  if (declared > vars || declared < 0) return -1;
  const auto wanted = static_cast<int32_t>(w[kFwResultsWanted]);
  uint32_t* slots = w + kFrameHeaderWords;
  int32_t result = 0;  // the result's value block
  if (wanted == 1 || (wanted == -1 && declared > 0)) {
    if (declared < 1) return -1;
    result = VariableValueBlock(ctx, static_cast<int32_t>(slots[0]));
    if (result <= 0 && wanted == 1) return -1;  // unset: the general path raises
  } else if (wanted != 0 && wanted != -2) {
    return -1;
  }
  // The frame's entries, none as a rule when its code returns.
  const uint32_t entries = FrameEntriesStart(ctx, f);
  const uint32_t dataStart =
      ctx->dataTop - (ctx->descTop > entries ? EntryUnitsAbove(ctx, entries) : 0);
  const uint8_t* item = result > 0 ? BlockData(ctx, result) : nullptr;
  // The result's descriptor is read and written word by word, not through
  // a copy of it.
  const uint32_t size = item ? Load<uint32_t>(item + offsetof(ValueDescriptor, size)) : 0;
  if (item &&
      (uint64_t{dataStart} + size >= ctx->dataCap || uint64_t{uint32_t(f)} + 3 >= ctx->descCap))
    return -1;
  const SavedCodePointer back{w[kFwReturnKind], w[kFwReturnOffset]};
  const uint32_t again = back.kind != kCodeNone ? w[kFwContinue] : 0;
  const int32_t previous = PreviousFrame(ctx, f);
  // The result is copied out before any block is freed; freeing only
  // clears the in-use bits, so the order leaves the heap as the general
  // path leaves it.
  const uint32_t first = vars > 0 ? slots[0] : 0;
  ctx->descTop = static_cast<uint32_t>(f);
  ctx->dataTop = dataStart;
  ctx->curFrame = previous;
  if (item) {
    // The room was checked above: the result goes where the frame began.
    uint32_t* d = ctx->DescWords() + f;
    Store<uint64_t>(d, Load<uint64_t>(item));
    Store<uint32_t>(d + 2, Load<uint32_t>(item + 8));
    CopyUnits(ctx->DataBytes() + 8ull * dataStart, item + kItemHeaderBytes, size);
    ctx->descTop = static_cast<uint32_t>(f) + 3;
    ctx->dataTop = dataStart + size;
  } else if (wanted < 0) {
    // The frame's room takes the marker: no request for room.
    const RoomRequestsPaused checked;
    PushNoValue(ctx);
  }
  // The first output first, then the others from the last: the reverse of
  // the order in which a call commonly takes its blocks (its inputs at the
  // call, then its locals and outputs as they are first stored, the output
  // last), so that each block ends where the heap's walk starts when freed,
  // the quickest free. In the order of the slots a block below one still in
  // use would be listed first.
  FreeBlockBelowWalkStart(ctx, static_cast<int32_t>(first));
  for (int32_t i = vars; i-- > 1;) FreeBlockBelowWalkStart(ctx, static_cast<int32_t>(slots[i]));
  ctx->cpKind = back.kind;
  ctx->cpOffset = back.offset;
  if (callBack) *callBack = again;
  return kOk;
}

// Moves one input, its descriptor at d and its data at data, into a new
// block, whose index replaces the descriptor's word 0; false, nothing
// changed, when the heap has no room.
VKE_HOT_INLINE bool MoveInputIntoBlock(EngineContext* ctx, uint32_t* d, const uint8_t* data) {
  // The descriptor's words copied as they are, not through a copy of it.
  const uint32_t size = d[1];
  int32_t block;
  if (AllocBlockAtWalkStart(ctx, size + kItemHeaderUnits, &block)) [[unlikely]]
    return false;
  uint8_t* item = BlockData(ctx, block);
  Store<uint64_t>(item, Load<uint64_t>(d));
  Store<uint64_t>(item + 8, d[2]);  // the word, then 0
  CopyUnits(item + kItemHeaderBytes, data, size);
  d[0] = static_cast<uint32_t>(block);
  return true;
}

// Moves the first `named` of the inputs (descriptors from word `frame`) into
// blocks; each moved input's descriptor word 0 keeps its block until the
// frame is built. The inputs' data lies in order from the first input's, at
// the end of the data stack: *inputUnits gives its size. kErrVarOverflow,
// nothing moved, when the heap has no room.
VKE_HOT_INLINE ErrCode MoveInputsIntoBlocks(EngineContext* ctx, uint32_t frame, int32_t inputs,
                                            int32_t named, uint32_t* inputUnits) {
  uint32_t* w = ctx->DescWords() + frame;
  if (inputs == 1 && named == 1) {
    // The commonest call: one input, moved without the loops.
    *inputUnits = w[1];
    if (!MoveInputIntoBlock(ctx, w, ctx->DataBytes() + 8ull * (ctx->dataTop - w[1]))) [[unlikely]]
      return kErrVarOverflow;
    return kOk;
  }
  uint32_t units = 0;
  for (int32_t j = 0; j < inputs; j++) units += w[3 * j + 1];
  *inputUnits = units;
  const uint8_t* data = ctx->DataBytes() + 8ull * (ctx->dataTop - units);
  for (int32_t j = 0; j < named; j++) {
    const uint32_t size = w[3 * j + 1];
    if (!MoveInputIntoBlock(ctx, w + 3 * j, data)) [[unlikely]] {
      RestoreMovedInputs(ctx, frame, j);
      return kErrVarOverflow;
    }
    data += 8ull * size;
  }
  return kOk;
}

// The words of a new frame's header that depend on the call.
struct FrameStart {
  uint32_t frame;
  int32_t function;
  int32_t inputs;
  int32_t wanted;     // kFwResultsWanted
  int32_t delivered;  // kFwResultsDelivered
  int32_t headerWord;
  uint32_t vars;
};

// Writes the header of the frame at s.frame, makes it current and drops the
// inputs' data: the slots are in place.
VKE_HOT_INLINE void OpenFrame(EngineContext* ctx, const CallInfo& info, const FrameStart& s,
                              uint32_t inputUnits) {
  const uint32_t stopRequest = InitialStopRequest(ctx, s.function);
  const int32_t caller = ctx->curFrame;
  uint32_t* w = ctx->DescWords() + s.frame;
  // Every header word written one by one: a block clear first costs a call
  // its most expensive instruction.
  w[kFwReturnKind] = info.returnTo.kind;
  w[kFwReturnOffset] = info.returnTo.offset;
  w[kFwBackLink] = caller < 0 ? 0 : s.frame - static_cast<uint32_t>(caller);
  w[kFwCatchKind] = 0;
  w[kFwCatchOffset] = 0;
  w[kFwCatchKeep] = 0;
  w[kFwCatchKeepExtra] = 0;
  w[kFwDebugKind] = 0;
  w[kFwDebugOffset] = 0;
  w[kFwScope] = static_cast<uint32_t>(info.scope);
  w[kFwMethodCall] = static_cast<uint32_t>(info.method);
  w[kFwVarCount] = s.vars;
  w[kFwResultsWanted] = static_cast<uint32_t>(s.wanted);
  w[kFwInputsGiven] = static_cast<uint32_t>(s.inputs);
  w[kFwResultsDelivered] = static_cast<uint32_t>(s.delivered);
  w[kFwNameCapacity] = 0;
  w[kFwContinue] = info.callBack ? ctx->nativeContinuation : 0;
  w[kFwEntry] = 0;
  w[kFwPosition] = static_cast<uint32_t>(-1);
  w[kFwFunction] = static_cast<uint32_t>(s.function);
  w[kFwStopRequest] = stopRequest;
  w[kFwHeader] = static_cast<uint32_t>(s.headerWord);
  static_assert(kFwHeader + 1 == kFrameHeaderWords, "every header word is written above");
  ctx->descTop = s.frame + kFrameHeaderWords + s.vars;
  ctx->dataTop -= inputUnits;
  ctx->curFrame = static_cast<int32_t>(s.frame);
}

// The commonest call: a compiled function located before, without
// varargin, given at most its inputs and asked for at most its outputs, its
// frame within the stack. CallCompiledFunction's outcome for it, without its
// other kinds of call; false, with nothing done, for any other call.
VKE_HOT_INLINE bool EnterKnownFunction(EngineContext* ctx, const CallInfo& info, int32_t function,
                                       int32_t inputs, int32_t outputs, const CallTarget& t,
                                       ErrCode* e) {
  const FunctionHeader& h = t.header;
  const uint32_t frame = ctx->descTop - 3 * static_cast<uint32_t>(inputs);
  if (h.Varargin() || inputs > h.inputs || 3 * inputs > kFrameHeaderWords ||
      (outputs > h.FixedOutputs() && !h.Varargout()) ||
      uint64_t{frame} + kFrameHeaderWords + h.vars > ctx->descCap)
    return false;
  uint32_t inputUnits;
  *e = MoveInputsIntoBlocks(ctx, frame, inputs, inputs, &inputUnits);
  if (*e) return true;
  // The blocks lie under the slots: straight in.
  uint32_t* w = ctx->DescWords() + frame;
  uint32_t* slots = w + kFrameHeaderWords;
  MarkSlotsUnset(slots, h.vars);
  for (int32_t j = 0; j < inputs; j++) slots[h.outputs + j] = w[3 * j];
  const int32_t wanted = outputs >= 0 ? outputs : (h.outputs > 0 ? -1 : -2);
  OpenFrame(ctx, info, {frame, function, inputs, wanted, h.FixedOutputs(), t.headerWord, h.vars},
            inputUnits);
  ctx->cpKind = t.codeKind;
  ctx->cpOffset = t.codeOffset;
  ctx->cpFlag = 0;
  return true;
}

// Whether the function runs already and its frames, from its first one
// up, take more than half the descriptor stack: a recursion that has
// filled it, not a call that found the stack full of other work.
bool RecursionFillsStack(EngineContext* ctx, int32_t function) {
  int32_t first = -1;
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f))
    if (static_cast<int32_t>(FrameWords(ctx, f)[kFwFunction]) == function) first = f;
  return first >= 0 && ctx->descTop - static_cast<uint32_t>(first) > ctx->descCap / 2;
}

// CallCompiledFunction for every kind of call. Out of line, so that the
// commonest call (EnterKnownFunction) is set up without its work.
[[gnu::noinline]] ErrCode CallAnyFunction(EngineContext* ctx, const CallInfo& info,
                                          int32_t function, int32_t inputs, int32_t outputs) {
  const int32_t below = function == kCallInline ? 1 : 0;
  if (inputs < 0 || !HasEntriesAboveFrame(ctx, inputs + below)) return kErrIllegal;
  CallTarget located;
  const CallTarget* target = &located;
  if (function >= 0) {
    ErrCode e = LocateCompiledOnce(ctx, function, &located, &target);
    if (e) return e;
  } else if (function == kCallInline) {
    ErrCode e = LocateInline(ctx, inputs, &located);
    if (e) return e;
  } else if (function == kCallText) {
    if (inputs > 0) return kErrIllegal;
    located.header.outputs = 1;
  } else {
    return kErrIllegal;
  }
  const CallTarget& t = *target;
  const FunctionHeader& h = t.header;
  if (inputs > h.FixedInputs() && !h.Varargin()) return kErrTooManyArgin;
  if (outputs > h.FixedOutputs() && !h.Varargout()) return kErrTooManyArgout;

  const uint32_t frame = ctx->descTop - 3 * static_cast<uint32_t>(inputs);
  const uint64_t frameEnd = uint64_t{frame} + kFrameHeaderWords + h.vars;
  if (frameEnd + RoomRequestToll() > ctx->descCap &&
      StackRoomLacking(ctx, frameEnd > ctx->descCap)) {
    // A recursion that has filled the stack finds no room for one more
    // frame: the stack does not grow for it, and the recursion ends here
    // rather than once the area has reached its ceiling. Any other call,
    // a recursive one among them, runs again once the area has grown.
    return function >= 0 && RecursionFillsStack(ctx, function) ? NestingLimitReached(ctx)
                                                               : kErrStackOverflow;
  }

  const int32_t named = inputs < h.FixedInputs() ? inputs : h.FixedInputs();
  uint32_t inputUnits;
  if (MoveInputsIntoBlocks(ctx, frame, inputs, named, &inputUnits)) return kErrVarOverflow;
  int32_t varargin = -1;
  if (h.Varargin() && GatherVarargin(ctx, inputs - named, &varargin)) {
    RestoreMovedInputs(ctx, frame, named);
    return kErrVarOverflow;
  }

  // Drop the inputs and build the frame where they were.
  uint32_t* w = ctx->DescWords() + frame;
  uint32_t* slots = w + kFrameHeaderWords;
  const uint32_t firstInput = h.outputs;
  if (3 * named <= kFrameHeaderWords) {
    // The blocks lie under the slots: straight in.
    MarkSlotsUnset(slots, h.vars);
    for (int32_t j = 0; j < named; j++) slots[firstInput + j] = w[3 * j];
  } else {
    for (int32_t j = 0; j < named; j++) w[j] = w[3 * j];  // gather the blocks
    // Into their slots, the last first: the slots lie above.
    for (int32_t j = named; j-- > 0;) slots[firstInput + j] = w[j];
    for (uint32_t i = 0; i < h.vars; i++)
      if (i < firstInput || i >= firstInput + named) slots[i] = static_cast<uint32_t>(-1);
  }
  if (h.Varargin()) slots[firstInput + h.FixedInputs()] = static_cast<uint32_t>(varargin);

  const int32_t wanted = outputs >= 0 ? outputs : (h.outputs > 0 ? -1 : -2);
  const int32_t delivered = function == kCallText ? 0 : h.FixedOutputs();
  OpenFrame(ctx, info, {frame, function, inputs, wanted, delivered, t.headerWord, h.vars},
            inputUnits);
  if (t.codeKind != kCodeNone) {
    ctx->cpKind = t.codeKind;
    ctx->cpOffset = t.codeOffset;
    ctx->cpFlag = 0;
  }
  return kOk;
}

// ReturnFromCall for every return; out of line, as CallAnyFunction.
[[gnu::noinline]] ErrCode ReturnAnyResults(EngineContext* ctx, int32_t f, uint32_t* w,
                                           uint32_t* callBack) {
  uint32_t* slots = w + kFrameHeaderWords;
  const int32_t vars = static_cast<int32_t>(w[kFwVarCount]);
  int32_t declared = static_cast<int32_t>(w[kFwResultsDelivered]);
  if (declared > vars) declared = vars;
  if (declared < 0) declared = 0;
  FrameFunction fn;
  const bool hasVarargout =
      FindFrameFunction(ctx, f, &fn) && fn.header.Varargout() && declared < vars;
  const int32_t voSlot = hasVarargout ? static_cast<int32_t>(slots[declared]) : -1;
  const uint8_t* voFirst = nullptr;
  const int32_t voElements =
      hasVarargout ? ListBlockElements(ctx, VariableValueBlock(ctx, voSlot), &voFirst) : -1;

  const int32_t wanted = static_cast<int32_t>(w[kFwResultsWanted]);
  int32_t n = 0;
  if (wanted >= 0) {
    n = wanted;
  } else if (wanted == -1) {
    bool firstSet = declared > 0 && VariableValueBlock(ctx, static_cast<int32_t>(slots[0])) > 0;
    n = firstSet || (declared == 0 && voElements > 0) ? 1 : 0;
  }
  if (n > declared) {
    if (voElements < 0) return kErrVarargoutNotList;
    if (voElements < n - declared) return kErrNotEnoughVarargoutEl;
  }
  const int32_t fixed = n < declared ? n : declared;
  for (int32_t i = 0; i < fixed; i++)
    if (VariableValueBlock(ctx, static_cast<int32_t>(slots[i])) <= 0)
      return RaiseError(ctx, kErrUndefVar, i, 0, -1, nullptr);

  // Room for the results where the frame begins.
  const uint32_t dataStart = ctx->dataTop - EntryUnitsAbove(ctx, FrameEntriesStart(ctx, f));
  uint64_t dataEnd = dataStart;
  const uint8_t* item = voFirst;
  for (int32_t r = 0; r < n; r++) {
    int32_t variable = r < declared ? r : declared;
    const uint8_t* src =
        r < declared ? BlockData(ctx, VariableValueBlock(ctx, static_cast<int32_t>(slots[r])))
                     : item;
    if (r >= declared) item += ItemBytes(item);
    dataEnd += Load<ValueDescriptor>(src).size;
    if (dataEnd + RoomRequestToll() >= ctx->dataCap &&
        StackRoomLacking(ctx, dataEnd >= ctx->dataCap))
      return RaiseError(ctx, kErrDataOverflowVar, variable, 0, -1, nullptr);
  }
  const bool moveSlots = 3 * n > kFrameHeaderWords;
  if (uint64_t{uint32_t(f)} + 3ull * n >= ctx->descCap && n > 0) return kErrStackOverflow;
  if (moveSlots && uint64_t{uint32_t(f)} + 3ull * n + fixed > ctx->descCap)
    return kErrStackOverflow;

  // Leave the frame. The returned variables' slots move out of the way of
  // the result descriptors, which are written from the frame's start.
  const SavedCodePointer back{w[kFwReturnKind], w[kFwReturnOffset]};
  const uint32_t again = back.kind != kCodeNone ? w[kFwContinue] : 0;
  const int32_t previous = PreviousFrame(ctx, f);
  const int32_t keepVarargout = n > declared ? declared : -1;
  for (int32_t i = fixed; i < vars; i++)
    if (i != keepVarargout) FreeEngineBlock(ctx, static_cast<int32_t>(slots[i]));
  uint32_t* kept = slots;
  if (moveSlots) {
    kept = w + 3 * n;
    std::memmove(kept, slots, 4ull * fixed);
  }
  ctx->descTop = static_cast<uint32_t>(f);
  ctx->dataTop = dataStart;
  ctx->curFrame = previous;
  // The results' room was found above: their pushes are no requests.
  const RoomRequestsPaused checked;
  item = voFirst;
  for (int32_t r = 0; r < n; r++) {
    if (r < declared) {
      PushItem(ctx, BlockData(ctx, VariableValueBlock(ctx, static_cast<int32_t>(kept[r]))));
    } else {
      PushItem(ctx, item);
      item += ItemBytes(item);
    }
  }
  for (int32_t i = 0; i < fixed; i++) FreeEngineBlock(ctx, static_cast<int32_t>(kept[i]));
  if (keepVarargout >= 0) FreeEngineBlock(ctx, voSlot);
  if (n > 1) ReverseStackEntries(ctx, n);
  // A call as a statement that gives nothing leaves the no-value marker, so
  // that the statement's code finds one entry either way.
  if (wanted < 0 && n == 0) PushNoValue(ctx);
  ctx->cpKind = back.kind;
  ctx->cpOffset = back.offset;
  if (callBack) *callBack = again;
  return kOk;
}

}  // namespace

ErrCode CallCompiledFunction(EngineContext* ctx, const CallInfo& info, int32_t function,
                             int32_t inputs, int32_t outputs) {
  if (function >= 0 && inputs >= 0 && HasEntriesAboveFrame(ctx, inputs)) [[likely]] {
    ErrCode e;
    const CallTarget* known = KnownTarget(ctx, function);
    if (known && EnterKnownFunction(ctx, info, function, inputs, outputs, *known, &e)) return e;
  }
  return CallAnyFunction(ctx, info, function, inputs, outputs);
}

int32_t LocatedFunctionCount(const EngineContext* ctx) {
  int32_t count = 0;
  for (const LocatedFunction& known : tLocated)
    count += known.ctx == ctx && known.generation == CodeGeneration();
  return count;
}

// Out of line: inside the loop it would crowd the code of every instruction.
[[gnu::noinline]] ErrCode ReturnFromCall(EngineContext* ctx, uint32_t* callBack) {
  const int32_t f = ctx->curFrame;
  if (f < 0 || FrameWords(ctx, f)[kFwReturnKind] == kBaseFrameKind) return kErrIllegal;
  uint32_t* w = FrameWords(ctx, f);
  if (ReturnSingleResult(ctx, f, w, callBack) == kOk) return kOk;
  return ReturnAnyResults(ctx, f, w, callBack);
}

ErrCode ReturnToCaller(EngineContext* ctx, uint32_t* callBack) {
  const int32_t f = ctx->curFrame;
  if (f < 0 || FrameWords(ctx, f)[kFwReturnKind] == kBaseFrameKind) return kErrIllegal;
  const uint32_t* w = FrameWords(ctx, f);
  const SavedCodePointer back{w[kFwReturnKind], w[kFwReturnOffset]};
  const uint32_t again = back.kind != kCodeNone ? w[kFwContinue] : 0;
  int32_t keep = static_cast<int32_t>(w[kFwResultsWanted]);
  LeaveFrame(ctx, keep < 0 ? 0 : keep);
  ctx->cpKind = back.kind;
  ctx->cpOffset = back.offset;
  if (callBack) *callBack = again;
  return kOk;
}

}  // namespace vke
