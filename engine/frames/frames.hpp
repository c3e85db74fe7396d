// The block heap and call frames: allocation of engine blocks, frames of
// compiled-function calls on the descriptor stack, returns and unwinding,
// the catch search, frame queries and the abort poll.
#pragma once

#include "engine/context.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

// ---- Block heap ----
// Each block starts with a header unit whose first word holds the size in
// units (header not counted) and the bits below. A block is named by the
// index of its first data unit; 0 names none.
inline constexpr uint32_t kBlockSizeMask = 0x3FFFFFFF;
inline constexpr uint32_t kBlockInUse = 1u << 30;
inline constexpr uint32_t kBlockKept = 1u << 31;

// First fit; free neighbours are merged while walking. 0 units gives index 0.
// kErrVarOverflow when no free block is large enough. The data is not cleared.
ErrCode AllocEngineBlock(EngineContext* ctx, uint32_t units, int32_t* index);
// Clears the in-use bit; indices outside the heap are ignored.
void FreeEngineBlock(EngineContext* ctx, int32_t index);
// Tells the allocator of a free block that starts at the unit (a header
// written outside this file).
void NoteFreeBlock(EngineContext* ctx, uint32_t unit);
// The allocator's hints forgotten: the next walk starts at the heap's first
// unit (after the headers were rewritten wholesale).
void ForgetHeapHints(EngineContext* ctx);
// Grows the block in place to at least `units` over the free blocks behind
// it; false, nothing changed, when they are too few.
bool ExtendEngineBlock(EngineContext* ctx, int32_t index, uint32_t units);
inline uint8_t* BlockData(EngineContext* ctx, int32_t index) {
  return ctx->HeapBytes() + 8ull * static_cast<uint32_t>(index);
}
inline uint32_t BlockUnits(EngineContext* ctx, int32_t index) {
  return Load<uint32_t>(ctx->HeapBytes() + 8ull * static_cast<uint32_t>(index - 1)) &
         kBlockSizeMask;
}
// Copies a heap to a new place of at least its size (the places may
// overlap); extra room becomes one free block. Large free blocks keep their
// headers only, not their (meaningless) data. kErrIllegal for a smaller
// new size, nothing moved.
// A host's way of moving bytes inside its area as memmove does (for instance
// by remapping whole pages); null means memmove.
using AreaMoveFn = void (*)(void* to, const void* from, size_t bytes);
ErrCode MoveBlockHeap(uint8_t* oldBase, uint32_t oldSize, uint8_t* newBase, uint32_t newSize,
                      AreaMoveFn move = nullptr);

// ---- Call frames ----
// Header words of a frame; the variable slots (block indices, -1 unset)
// follow, then, when kFwNameCapacity > 0, that many 32-byte names.
enum FrameWord : int {
  kFwReturnKind = 0,  // code area kind to return to; 0 native code, 6 the base frame
  kFwReturnOffset = 1,
  kFwBackLink = 2,  // words back to the previous frame; 0 or -1 for none
  kFwCatchKind = 3,
  kFwCatchOffset = 4,
  kFwCatchKeep = 5,       // value entries kept when the catch handler is entered,
  kFwCatchKeepExtra = 6,  // the sum of these two words
  kFwDebugKind = 7,       // code pointer saved when the debugger stopped here
  kFwDebugOffset = 8,
  kFwScope = 9,        // the function whose library resolves names
  kFwMethodCall = 10,  // nonzero while a class's method runs
  kFwVarCount = 11,
  kFwResultsWanted = 12,  // -1 statement call, -2 when the function declares no output
  kFwInputsGiven = 13,
  kFwResultsDelivered = 14,  // declared outputs without varargout
  kFwNameCapacity = 15,
  kFwContinue = 16,     // call the native again after the return
  kFwEntry = 17,        // entered from the host or a new thread (sandbox)
  kFwPosition = 18,     // current line, -1 none
  kFwFunction = 19,     // function index; -2 inline function, -1 other code
  kFwStopRequest = 20,  // debugger: 2 stop at the next line, 3 step into
  kFwHeader = 21,  // function block: > 0 in the code area, < -1 on the data stack, 0 names held
  kFrameHeaderWords = 22,
};
// Debugger stop requests of kFwStopRequest.
inline constexpr uint32_t kStopAtNextLine = 2;
inline constexpr uint32_t kStepIntoCalls = 3;
inline constexpr int kFrameNameBytes = 32;
inline constexpr uint32_t kBaseFrameKind = 6;
inline constexpr int kBaseFrameNames = 16;

// The function argument of CallCompiledFunction besides function indices.
inline constexpr int32_t kCallText = -1;    // code compiled on the fly: no header, no variables
inline constexpr int32_t kCallInline = -2;  // the inline function value under the inputs

struct SavedCodePointer {
  uint32_t kind;
  uint32_t offset;
};

// What the caller of CallCompiledFunction gives the new frame.
// Values of kFwContinue besides 0 (no call-back), told apart by bit 0:
// - set: the native whose call instruction lies before the return position;
//   the bits above give where the native's entries begin, as the distance
//   in descriptor words below the frame plus one (0 while not known), so
//   that the outputs it leaves at its end can be counted;
// - clear: a native named by its global index with the outputs it was asked
//   for (one reached through a function value, whose return position lies
//   after another instruction).
inline constexpr uint32_t kContinueAtInstruction = 1;
constexpr bool IsInstructionContinuation(uint32_t word) {
  return (word & 1) != 0;
}
constexpr uint32_t InstructionContinuation(uint32_t entriesBelowFrame) {
  return kContinueAtInstruction | (entriesBelowFrame + 1) << 1;
}
// The native's entries below the frame, -1 when not known.
constexpr int64_t ContinuationEntriesBelow(uint32_t word) {
  return static_cast<int64_t>(word >> 1) - 1;
}
constexpr uint32_t NativeContinuation(int32_t global, int32_t outputs) {
  return static_cast<uint32_t>(global + 1) << 1 | static_cast<uint32_t>(outputs + 1) << 16;
}
constexpr int32_t ContinuationNative(uint32_t word) {
  return static_cast<int32_t>((word & 0xFFFF) >> 1) - 1;
}
constexpr int32_t ContinuationOutputs(uint32_t word) {
  return static_cast<int32_t>(word >> 16) - 1;
}

struct CallInfo {
  SavedCodePointer returnTo{kCodeNone, 0};  // where the return continues; kCodeNone: native code
  int32_t scope = 0;                        // frame word 9
  int32_t method = 0;                       // kFwMethodCall
  bool callBack = false;                    // call the native again after the return
};

// Pushes the frame of a call. The inputs are the top `inputs` value entries
// (the first deepest); for kCallInline the inline function value lies right
// under them and stays there. function >= 0 is a function-table entry with
// compiled code; kCallText makes a frame that shares the innermost function's
// variables and takes no inputs (kErrIllegal) and at most one result. outputs < 0 is
// a call as a statement. The inputs move into variable blocks (surplus ones
// into the varargin list), the frame becomes current and, for compiled and
// inline functions, the code pointer goes to the first instruction (flag 0).
// kErrTooManyArgin too many inputs, kErrTooManyArgout too many outputs, kErrStackOverflow no room
// for the frame, kErrVarOverflow no room in the heap, kErrIllegal a target that is no function; the
// stacks and the heap are unchanged on failure.
ErrCode CallCompiledFunction(EngineContext* ctx, const CallInfo& info, int32_t function,
                             int32_t inputs, int32_t outputs);
// How many functions of this engine the calls' table of located functions
// holds for the current code generation (none with the fast forms off).
int32_t LocatedFunctionCount(const EngineContext* ctx);
// Ends the current function: its results (declared outputs, then varargout
// elements) replace the frame with the first result on top, the previous
// frame becomes current and the code pointer the frame's return record.
// kErrVarargoutNotList, kErrNotEnoughVarargoutEl for a varargout that cannot supply the results,
// kErrUndefVar raised with an unset output, kErrDataOverflowVar raised with the output that does
// not fit, kErrStackOverflow; the frame stays on failure; kErrIllegal without a function frame.
// *callBack gives the frame's kFwContinue word (0 when nothing is to be called back).
ErrCode ReturnFromCall(EngineContext* ctx, uint32_t* callBack = nullptr);
// Ends the current frame keeping as many of its top entries as kFwResultsWanted
// asks for (or as there are), moved down to where the frame began.
ErrCode ReturnToCaller(EngineContext* ctx, uint32_t* callBack = nullptr);
// level 0: every frame down to the base frame, and the code pointer's kind
// is cleared; -1: down to the frame where the debugger stopped; > 0: the
// frames that start at or above that descriptor-stack level.
ErrCode UnwindCallFrames(EngineContext* ctx, int32_t level);
// Finds the innermost catch handler (respectEntry: not beyond a sandboxed
// entry frame); with a handler record it also pops the frames above it, trims
// its entries to the kept count and gives the handler's code pointer. With a
// `left` record too, it gives the return point of the last frame it pops
// (where the handler's frame had gone out of its code; kind kCodeNone for
// a call from native code), and leaves it as it was when it pops none.
bool FindCatchFrame(EngineContext* ctx, bool respectEntry, SavedCodePointer* handler,
                    SavedCodePointer* left = nullptr);
// The descriptor word from which an error unwinds the entries: those above
// the kept ones of the frame whose catch handler takes it, else those of
// the frame where the search for one stops; 0 (all) for an error no handler
// may take (catchable false) or without a frame.
uint32_t UnwoundEntriesStart(EngineContext* ctx, bool catchable, bool respectEntry);

ErrCode GetStackLevel(EngineContext* ctx, int32_t* level);
void SaveCodePointer(EngineContext* ctx, SavedCodePointer* record);
void RestoreCodePointer(EngineContext* ctx, const SavedCodePointer* record);
void MarkFrameAsEntry(EngineContext* ctx);
bool IsInFunctionContext(EngineContext* ctx);
// The 32-byte name (not always terminated) of variable i of the innermost
// frame that has variables; null when it has no such name.
const char* GetVariableName(EngineContext* ctx, int32_t i);
// nargout (results) or nargin of the current call, as a real scalar.
ErrCode PushCallerArgCount(EngineContext* ctx, bool results);
// nargin (which 0) or nargout of the function value at the depth, resolved
// in the scope; the value is dropped and the count pushed.
ErrCode PushFunctionArgCount(EngineContext* ctx, int32_t depth, int32_t which, int32_t scope);

// The block holding a variable's value: the slot's own block, or, for a link
// to a global or persistent value (descriptor flag bit 3, the first data word
// the index of a shared function-table entry), that entry's value block.
// 0 when there is no value.
int32_t VariableValueBlock(EngineContext* ctx, int32_t slotBlock);

// ---- Frame facts and growth ----
// The scope of the current frame (0 without one, or when its word is not a
// scope).
int32_t CurrentScope(EngineContext* ctx);
// The current frame's scope word as it stands (0 without a frame).
int32_t ScopeWord(EngineContext* ctx);
// The innermost frame that has variables, -1 when none.
int32_t InnermostVariableFrame(EngineContext* ctx);
// Its variable count.
int32_t InnermostFrameVariables(EngineContext* ctx);
// True when its variable i holds a value.
bool VariableIsSet(EngineContext* ctx, int32_t i);
// The 32-byte name of variable i of frame f (null when it has none).
const char* FrameVariableName(EngineContext* ctx, int32_t f, int32_t i);
// Grows frame f by `count` variables named by `names` (32 bytes each),
// holding every name in the frame. The entries and frames above it move up;
// kErrStackOverflow when the descriptor stack has no room.
ErrCode GrowFrameVariables(EngineContext* ctx, int32_t f, const char* names, int32_t count);
// The free descriptor-stack words GrowFrameVariables needs for that (0 when
// the frame holds room for the names already).
uint64_t FrameGrowthRoom(EngineContext* ctx, int32_t f, int32_t count);

// ---- Abort poll ----
// Asks the host's abort callback; on a break runs the "+onabort" hooks, each
// called as (context, 0, option word or the default user data).
bool PollAbortRequest(EngineContext* ctx);
void RunOnAbortHooks(EngineContext* ctx);
// A break asked for at the end of a run's slice: the hooks run, then
// kStatusHalted, or kStatusDebug with the debugger's interrupt on.
ErrCode BreakAtSliceEnd(EngineContext* ctx);
// Whether the host's abort callback, when there is one, asks for a break.
VKE_HOT_INLINE bool AbortRequested(EngineContext* ctx) {
  return ctx->abortFn && ctx->abortFn(ctx->abortArg);
}
// kStatusSuspended without a break, else BreakAtSliceEnd's code. Inline: a
// sliced run ends a slice at every loop end.
VKE_HOT_INLINE ErrCode CheckBreakAtSliceEnd(EngineContext* ctx) {
  ctx->abortToggle = 0;
  if (!AbortRequested(ctx)) [[likely]]
    return kStatusSuspended;
  return BreakAtSliceEnd(ctx);
}

// ---- Frame layout helpers ----
inline uint32_t* FrameWords(EngineContext* ctx, int32_t f) {
  return ctx->DescWords() + f;
}

// The frame below frame f, -1 for the bottom frame.
inline int32_t PreviousFrame(EngineContext* ctx, int32_t f) {
  int32_t link = static_cast<int32_t>(FrameWords(ctx, f)[kFwBackLink]);
  return link > 0 && link <= f ? f - link : -1;
}

// Header, variable slots and held names: 22 + 9 x capacity when the frame
// holds its names, else 22 + the variable count.
inline uint32_t FrameFixedWords(const uint32_t* f) {
  uint32_t cap = f[kFwNameCapacity];
  return kFrameHeaderWords + (cap ? cap + cap * (kFrameNameBytes / 4) : f[kFwVarCount]);
}

// Whether the current frame has at least n >= 1 value entries above its
// fixed part (GetFrameEntryCount(ctx) >= n, without the division).
VKE_HOT_INLINE bool FrameHasEntries(EngineContext* ctx, int32_t n) {
  if (ctx->curFrame < 0) return false;
  const uint64_t start =
      static_cast<uint32_t>(ctx->curFrame) + FrameFixedWords(FrameWords(ctx, ctx->curFrame));
  return ctx->descTop >= start + 3ull * static_cast<uint32_t>(n);
}

// Whether at least n entries lie above the current frame (all entries
// count without a frame): EntriesAboveFrame(ctx) >= n without its division.
VKE_HOT_INLINE bool HasEntriesAboveFrame(EngineContext* ctx, int32_t n) {
  if (n == 0) return true;
  if (ctx->curFrame < 0) return ctx->descTop >= 3ull * static_cast<uint32_t>(n);
  return FrameHasEntries(ctx, n);
}

// Number of value entries above the current frame's fixed part.
VKE_HOT_INLINE int32_t GetFrameEntryCount(EngineContext* ctx) {
  if (ctx->curFrame < 0) return 0;
  uint32_t start =
      static_cast<uint32_t>(ctx->curFrame) + FrameFixedWords(FrameWords(ctx, ctx->curFrame));
  return ctx->descTop > start ? static_cast<int32_t>((ctx->descTop - start) / 3) : 0;
}
// Value entries above the current frame; all entries without a frame.
int32_t EntriesAboveFrame(EngineContext* ctx);
// Data units of the entries whose descriptors lie at or above word `from`.
uint32_t EntryUnitsAbove(EngineContext* ctx, uint32_t from);

}  // namespace vke
