// What the files of the execution loop share: the state of one run, the
// loop's own context fields, and the operations of its instructions that
// live outside the dispatch.
#pragma once

#include <vector>

#include "engine/code/opcodes.hpp"
#include "engine/context.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/range_count.hpp"
#include "engine/values/values.hpp"

namespace vke {

// The state of one run of ExecuteBytecode.
struct LoopRun {
  EngineContext* ctx;
  const int16_t* ip;  // next instruction; null when the code has ended
  uint8_t sliced;     // every backward jump ends a slice
  // A sliced run whose host only calls it again after each slice: a slice
  // that ends at a loop end without a break goes on at once, where nothing
  // but that call would come between (ExecuteBreakChecked).
  bool continuous = false;
  // LinesAreQuiet as the loop top last found it; kept here rather than in a
  // register, which the loop's hot paths need more.
  bool quietLines = false;
};

// The error location the loop top clears before each instruction: where a
// failure happened and the failing builtin's name. The code of the last
// error stays, for lasterr and lasterror to give.
VKE_HOT_INLINE void ClearInstructionLocation(EngineContext* ctx) {
  ctx->errLocFunc = -1;
  ctx->errLocPos = -1;
  ctx->errLocName[0] = 0;
}

// Builtins that may start other code: the instruction pointer goes through
// the code pointer.
inline bool StartsCode(int32_t op) {
  return op == kOpSubsasgn || op == kOpClear || op == kOpEval || op == kOpFeval || op == kOpBuiltin;
}

// ---- The code may move ----
// A call that can run other code or grow the area may move the code or start
// other code: the position to go on at is handed over in the code pointer
// before the call, and the run takes it back from there after the call when
// it went on, suspended or stopped for the debugger. After any other failure
// the error path decides where the run goes on.
VKE_HOT_INLINE bool GoesOnFromCodePointer(ErrCode e) {
  return e == kOk || e == kStatusSuspended || e == kStatusDebug;
}
template <typename Call>
ErrCode CodeMayMove(EngineContext* ctx, const int16_t*& ip, Call&& call) {
  SetCodePointer(ctx, ip);
  const ErrCode e = call();
  if (GoesOnFromCodePointer(e)) ip = GetCodePointer(ctx);
  return e;
}

// The plain instructions (plain_instructions.cpp): every opcode below the
// natives' that the loop itself and the fused scalar forms do not take. Sets
// *next to where the run goes on.
ErrCode RunPlainInstruction(EngineContext* ctx, const int16_t* at, const int16_t** next);

// How an instruction that did not simply succeed goes on.
enum class Next : uint8_t {
  kContinue,  // run the instruction at run.ip
  kReturn,    // the run is over; its result is the code returned alongside
};

// ---- Context fields the loop owns ----
// ctx->yieldRequested: the yield-requested word (no slice-test callback is
// ever installed). ctx->profileWords: the profiler's fields below; the profiler
// is off while ctx->profileTable holds no block.
enum LoopWord : int {
  kProfileFunction = 0,  // the profiled function's index
  kProfilePerLine = 1,   // nonzero: time per line
  kProfileFirstLine = 2,
  kProfileLength = 3,  // doubles in the profile table
  kProfileLine = 4,    // the line being timed, relative to the first; -1 none
};
inline uint32_t& YieldRequested(EngineContext* ctx) {
  return ctx->yieldRequested;
}

// The base address of a code area kind; null for kinds that hold no code.
const uint8_t* CodeAreaBase(EngineContext* ctx, uint32_t kind);
// The offset of a code address inside the area of the current kind.
inline uint32_t CodeOffsetOf(EngineContext* ctx, const int16_t* address) {
  return static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(address) -
                               CodeAreaBase(ctx, ctx->cpKind));
}

// Ends a run: the running flag is cleared unless runs are nested.
inline void LeaveRun(EngineContext* ctx) {
  if (!ctx->cpFlag) ctx->running = 0;
}

// ---- Threads and slices (loop_threads.cpp) ----
// Whether thread 0's slice, ended at a loop end without a break, goes on
// in the same run: its host would only call the run again, and nothing
// that the call does before the loop is due (no listed threads, whose
// clock it restarts; no queued call; no stop for the debugger).
VKE_HOT_INLINE bool SliceGoesOn(const LoopRun& run) {
  const EngineContext* ctx = run.ctx;
  return run.continuous && !ctx->firstThread && !ctx->pendingArgCount &&
         ctx->errLocCode != kStatusDebug;
}
// The end of a loop round in a sliced run: thread 0 ends its slice there
// (kStatusSuspended: the host asks for a break between slices), or goes on
// in place (kOk) where the host would only call the run again. Another
// thread has the break asked for and goes on for the rest of its time slice
// (the slice check after the instruction), rather than giving the
// processor back to thread 0 after every round. A break gives its code.
VKE_HOT_INLINE ErrCode EndOfRound(const LoopRun& run) {
  const ErrCode e = CheckBreakAtSliceEnd(run.ctx);
  return e == kStatusSuspended && (run.ctx->currentThread != 0 || SliceGoesOn(run)) ? kOk : e;
}
// Switches to a thread and keeps thread 0's slice accumulator fresh.
void SwitchThreadFromLoop(EngineContext* ctx, int32_t target);
// After an instruction while threads are listed: true when no thread has
// code left (the run ends with 0).
bool SliceCheck(LoopRun& run);
// The profiler's bookkeeping at a line (line >= 0) or when it closes (-1).
void ProfileLine(EngineContext* ctx, int32_t function, int32_t line);

// ---- Instructions (loop_flow.cpp) ----
// A 1 x 1 integer array of that width holding the low bytes of bits.
ErrCode PushIntegerLiteral(EngineContext* ctx, int32_t bytes, bool isUnsigned, uint64_t bits);
ErrCode ForNext(EngineContext* ctx);
ErrCode ForRangeNext(EngineContext* ctx);
// The iterator of a real range loop is a plain row on top: the index of
// the next element, the element count (infinite for a range without end),
// start and step; a fifth element marks
// single bounds, whose elements are rounded to single.
inline constexpr uint32_t kRangeIteratorSize = 4;
VKE_HOT_INLINE bool IsRealRangeIterator(const ValueDescriptor& d) {
  return d.flags == 0 && d.word == static_cast<int32_t>(d.size) &&
         (d.size == kRangeIteratorSize || d.size == kRangeIteratorSize + 1);
}
// The next step of the iterator of a real range on top, read without
// taking it: whether a value is left and, when one is, the value; Take
// advances the iterator past it.
struct RealRangeStep {
  uint8_t* data;
  double index;
  double value;
  bool more;
  VKE_HOT_INLINE void Take() const { Store<double>(data, index + 1); }
};
// False, with nothing read, for other iterators.
VKE_HOT_INLINE bool PeekRealRange(EngineContext* ctx, RealRangeStep* step) {
  // Read in place: a copy of the descriptor goes through memory.
  const ValueDescriptor& d = *DescAt(ctx, 0);
  if (!IsRealRangeIterator(d)) return false;
  step->data = DataAt(ctx, 0);
  step->index = Load<double>(step->data);
  step->more = step->index < Load<double>(step->data + 8);
  if (step->more)
    step->value = RangeElement(Load<double>(step->data + 16), Load<double>(step->data + 24),
                               static_cast<int64_t>(step->index), d.size != kRangeIteratorSize);
  return true;
}
ErrCode ForRangeInit(EngineContext* ctx, int32_t n);
ErrCode ForRangeLast(EngineContext* ctx);
// Compares the case value on top with the switch value under it and pops
// the case value; *match tells the outcome.
ErrCode SwitchCaseMatch(EngineContext* ctx, bool* match);
// The comma lists among an instruction's operands expanded into their items
// (comma_lists.cpp), and made again from them when the instruction fails
// for lack of room with the items as it left them.
class CommaListExpansion {
 public:
  // Expands the comma lists among the top n entries; *count receives the
  // new number of entries. On failure the entries stand as they came (or
  // MarkOperandsChanged tells that they do not).
  ErrCode Expand(EngineContext* ctx, int32_t n, int32_t* count);
  // Makes the lists again from their items, which lie where Expand left
  // them, in the room the expansion took; false when that cannot be done.
  bool Undo(EngineContext* ctx);
  // Whether Expand found a list.
  bool Expanded() const { return !lists_.empty(); }

 private:
  struct List {
    ValueDescriptor desc;  // the list's own
    int32_t above;         // expanded entries above its items
    int32_t items;
  };
  std::vector<List> lists_;
  bool exact_ = true;  // every list is made again byte for byte
};

// ---- Calls (loop_calls.cpp) ----
// The native call instruction at `at` (nargin and nargout its operands).
ErrCode CallNativeInstruction(LoopRun& run, const int16_t* at);
// A call of a function by its index; *straight tells that it only set up
// the frame of a compiled function (nothing else ran) and run.ip is that
// function's first instruction.
ErrCode CallFunctionIndex(LoopRun& run, const int16_t* at, bool* straight);
ErrCode CallValueInstruction(LoopRun& run, const int16_t* at);
// return and halt: leaves the current call; the native before the return
// position is called again when the call asked for it. *plain tells that
// nothing but the frame's end ran and run.ip is the caller's code.
ErrCode LeaveCall(LoopRun& run, bool halt, const int16_t** failing, bool* plain);
// The thread whose code has ended: thread 0 ends the run.
Next EndOfThread(LoopRun& run);

// ---- Lines, errors and objects (loop_errors.cpp, loop_objects.cpp) ----
// Whether line markers have no observer: no profiler, no echo and no
// breakpoint. Asked once per pass of the loop top; everything that changes
// the answer is a call, which goes through the top.
VKE_HOT_INLINE bool LinesAreQuiet(const EngineContext* ctx) {
  return ctx->profileTable <= 0 && ctx->echoMode != -2 && ctx->echoMode < 0 && ctx->bpCount == 0;
}
// The line instruction at `at` while lines are quiet: the frame's function
// and position only. False when the frame has a stop request, which the full
// LineInstruction then serves.
VKE_HOT_INLINE bool MarkQuietLine(EngineContext* ctx, const int16_t* at) {
  if (ctx->curFrame < 0) return true;
  uint32_t* w = FrameWords(ctx, ctx->curFrame);
  if (at[1] != -1) w[kFwFunction] = static_cast<uint32_t>(at[1]);
  w[kFwPosition] = static_cast<uint32_t>(at[2]);
  return w[kFwStopRequest] == 0;
}
// The line instruction at `at`: 505 when the run stops for the debugger;
// *light tells that it neither stops nor asks for a yield.
ErrCode LineInstruction(LoopRun& run, const int16_t* at, bool* light);
// The error path for a failure of the instruction at `at`: gives kContinue
// when a yield, a catch or a class method lets the run go on at run.ip,
// else kReturn with *result the run's result.
Next HandleError(LoopRun& run, ErrCode code, const int16_t* at, ErrCode* result);
// The object path: true when a class method or a conversion took over the
// failed instruction (run.ip set to continue); *code receives a changed code.
bool TryObjectPath(LoopRun& run, const int16_t* at, ErrCode* code);
// The progress a statement's display keeps (KeepRerunProgress) when its
// object's display method found no room once the name was shown: the run
// again after growth shows the value without writing the name twice.
inline constexpr int64_t kNameShown = 1;

}  // namespace vke
