// Texts read as lists of values: the text becomes the elements of a cell
// array, evaluated in a run nested in the calling native's, whose frame
// returns to no code, so that the nested run ends with it.
#include "compiler/value_list.hpp"

#include <cstring>

#include "compiler/compile.hpp"
#include "compiler/compile_memory.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/memory_retry.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// "{" text "\n}": the line end keeps a comment at the text's end from
// hiding the brace.
constexpr char kOpen[] = "{";
constexpr char kClose[] = "\n}";

// Undoes what a failed attempt left: frames above the caller's, entries
// above the level it found, and the code pointer.
void Abandon(EngineContext* ctx, int32_t frame, uint32_t entries, const SavedCodePointer& before) {
  if (ctx->curFrame > frame) UnwindCallFrames(ctx, frame + 1);
  if (ctx->descTop > entries)
    DropStackEntries(ctx, 0, static_cast<int32_t>((ctx->descTop - entries) / 3));
  RestoreCodePointer(ctx, &before);
}

// Replaces the cell on top by its n elements, the first topmost.
ErrCode SpreadCell(EngineContext* ctx, int32_t n) {
  for (int32_t i = n; i >= 1; i--)
    if (ErrCode e = GetListElement(ctx, n - i, i)) return e;
  return DropStackEntries(ctx, n, 1);
}

// What the caller's instruction found, which the nested run changes: the
// level it runs again from and whether the host grows. A text that fails
// for lack of room having done nothing it cannot take back (no text
// written, no operand changed, no thread made) leaves them as they were, so
// that the native runs again on its arguments once the area has grown and
// reads the text anew; any other failure is final.
class RunFound {
 public:
  explicit RunFound(EngineContext* ctx)
      : ctx_(ctx),
        level_(ctx->instructionLevel),
        retry_(ctx->memoryRetry),
        threads_(ctx->nextThreadId),
        acts_(IrrevocableActs()) {}
  void Restore(ErrCode e) const {
    // What the nested run kept to be made again went with it.
    ForgetRerunProgress(ctx_);
    ctx_->keptReentry.opcode = 0;
    ctx_->memoryRetry = retry_;
    if (IsEngineMemoryCode(e) && IrrevocableActs() == acts_ && ctx_->nextThreadId == threads_)
      ctx_->instructionLevel = level_;
    else
      MarkOperandsChanged(ctx_);
  }

 private:
  EngineContext* ctx_;
  uint32_t level_;
  uint8_t retry_;
  uint32_t threads_;
  uint64_t acts_;
};

}  // namespace

ErrCode EvaluateValueList(EngineContext* ctx, const char* text, int32_t length, int32_t* count) {
  if (ctx->currentThread != 0) return kErrNotSupported;
  if (length < 0) return kErrBadArg;
  const int32_t frame = ctx->curFrame;
  const uint32_t entries = ctx->descTop;
  SavedCodePointer before;
  SaveCodePointer(ctx, &before);
  const RunFound found(ctx);
  ErrCode e;
  {
    WithheldSpace withheld(ctx);
    const int32_t total = length + static_cast<int32_t>(sizeof kOpen + sizeof kClose);
    char* source = reinterpret_cast<char*>(withheld.Data(static_cast<uint32_t>(total)));
    if (!source) return kErrDataOverflow;
    int32_t n = 0;
    std::memcpy(source, kOpen, sizeof kOpen - 1);
    n += sizeof kOpen - 1;
    std::memmove(source + n, text, static_cast<size_t>(length));
    n += length;
    std::memcpy(source + n, kClose, sizeof kClose - 1);
    n += sizeof kClose - 1;
    // The text's frame returns to no code: the nested run ends there.
    ctx->cpKind = kCodeNone;
    ctx->cpOffset = 0;
    e = EvaluateSourceText(ctx, source, n, CurrentScope(ctx), 1, 0);
  }
  if (!e) {
    ctx->cpFlag = 1;  // a run nested in the one that called the native
    e = ExecuteBytecode(ctx, 0);
  }
  if (!e && ctx->descTop != entries + 3) e = kErrIllegal;
  StructuredParts parts;
  if (!e) e = GetListParts(ctx, 0, &parts);
  if (!e) e = SpreadCell(ctx, parts.elements);
  if (e) {
    Abandon(ctx, frame, entries, before);
    found.Restore(e);
    // The failure stands where the native was called: its place is taken
    // there, not at the text's line.
    ctx->errLocFunc = -1;
    ctx->errLocPos = -1;
    ctx->errLocName[0] = 0;
    return e;
  }
  RestoreCodePointer(ctx, &before);
  *count = parts.elements;
  return kOk;
}

}  // namespace vke
