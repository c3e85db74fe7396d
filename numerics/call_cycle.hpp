// The call-and-resume cycle of the natives that evaluate a function value
// of the language (optimisation, quadrature, ODE solvers). Such a native
// never runs the engine itself: it keeps its state in values above its
// arguments, pushes the point to evaluate and the extra arguments, starts
// the call with CallFunctionValue and returns; the engine enters it again
// with a negative argument count once fun has returned, its result on top.
// Here: starting a call, taking its result back, the state row, the
// evaluation budget, trace lines, and leaving the stack clean on failure.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "engine/context.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

// Where a native keeps its values while fun runs: `working` entries above
// its nargin arguments, fun as the first argument, and the arguments from
// 1-based position `firstExtra` on passed to fun after the point.
struct CycleLayout {
  int32_t working;
  int32_t firstExtra;
};

// How many extra arguments fun receives after the point.
int32_t ExtraArgumentCount(const CycleLayout& layout, int32_t nargin);

// With the point on top of the working entries: copies the extra arguments
// above it and starts fun with one result. The native returns this code.
ErrCode CallWithPointOnTop(EngineContext* ctx, const CycleLayout& layout, int32_t nargin);
// The same for a real scalar point, pushed first.
ErrCode CallAtPoint(EngineContext* ctx, const CycleLayout& layout, int32_t nargin, double x);

// On a re-entry (nargin < 0): pops fun's one result as a real scalar. A
// call that gave no result is refused with 127.
ErrCode PopScalarResult(EngineContext* ctx, int32_t nargin, double* y);

// Pushes a 1 x size row of zeros for the state of a run.
ErrCode PushStateRow(EngineContext* ctx, int32_t size, double** state);
// The state row at the depth: its data when that entry is a real 1 x size
// row, else null (the stack is not the native's).
double* StateRowAt(EngineContext* ctx, int32_t depth, int32_t size);

// A whole-number setting held as a double, as an int (NaN gives 0; values
// beyond the int range are clamped).
int32_t TruncateToInt(double value);

// The evaluation budget: refuses another evaluation when the count made so
// far exceeds the limit (so at most limit + 1 are made); otherwise counts it.
bool TakeEvaluation(double* count, double limit);

// The trace lines of an entry the host makes again when it fails for lack
// of room: the lines the failed attempt wrote are passed over by the next,
// which reaches them in the same order, so that each is written once.
// Outside such an entry a line written stops the entry from being made
// again.
struct TraceLines {
  int64_t before;       // lines the attempts before wrote
  int64_t reached = 0;  // lines this attempt has reached, written or passed over
};

// The trace lines of the entry it spans; what they have come to is kept
// across the growth when the entry fails for lack of room unchanged. Any
// native that writes lines (a trace, a warning) before it has all its room
// spans its entry with one.
class EntryTraceLines {
 public:
  // A native of the cycle that fun names runs at once, inside the entry
  // that calls it: its lines are counted apart from the caller's.
  explicit EntryTraceLines(EngineContext* ctx);
  ~EntryTraceLines();
  EntryTraceLines(const EntryTraceLines&) = delete;
  EntryTraceLines& operator=(const EntryTraceLines&) = delete;
  // Called with the entry's code once its stack stands as it found it.
  ErrCode Failed(EngineContext* ctx, ErrCode e) const;

 private:
  TraceLines lines_;
  TraceLines* outer_;
};

// Whether the native writes its next trace line: false for a line the
// attempt before wrote, when the entry is made again after growth. After
// writing it, TraceLineWritten takes the code of its writes.
bool TraceLineDue(EngineContext* ctx);
ErrCode TraceLineWritten(EngineContext* ctx, ErrCode e);

// One trace line on descriptor 2 (when due): the label, the numbers in the
// display format separated by "," without blanks, the tail when given, a
// line end.
ErrCode WriteTraceLine(EngineContext* ctx, const char* label, std::initializer_list<double> numbers,
                       const char* tail = nullptr);

// The entries of a native of the cycle: its first entry (nargin >= 0) and
// its re-entries.
using CycleEntry = ErrCode (*)(EngineContext* ctx, int32_t nargin, int32_t nargout);
// Runs the entry nargin asks for; a failed one leaves the arguments as they
// came (KeepArgumentsOnFailure), with `working` entries above them between
// calls. Where the host grows for room, an entry that fails for lack of it
// is made again with the trace lines it wrote passed over. `self` is the
// native's own function, for CheckCycleNesting.
ErrCode EnterCycle(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t working,
                   CycleEntry start, CycleEntry resume, const void* self);

// A native of the cycle runs inside the functions it calls at most this
// many times over (a function that starts its own solver again, without
// end, would otherwise fill memory before any stack did).
inline constexpr int32_t kMaxCycleNesting = 40;

// At a first entry: kErrStackOverflow when the native `self` already runs
// kMaxCycleNesting times in the functions below.
ErrCode CheckCycleNesting(EngineContext* ctx, const void* self);

// The stack level up to which the native's arguments reach: the top at a
// first entry (nargin >= 0), below fun's results and the working entries
// at a re-entry.
uint32_t ArgumentsTop(EngineContext* ctx, int32_t nargin, int32_t working);
// A failed entry leaves the arguments as they came: whatever the native
// pushed above that level is dropped. Gives e back.
ErrCode KeepArgumentsOnFailure(EngineContext* ctx, uint32_t level, ErrCode e);

}  // namespace vke
