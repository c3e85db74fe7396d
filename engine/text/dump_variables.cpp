// The dumper's callers: the dumpvar native, the listing of a frame's
// variables (as dump statements or as the structure the variables builtin
// returns) and the debugger's buffered form of that listing.
#include "engine/builtin_hooks.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/text/dump_detail.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// dumpvar's name argument: up to this many bytes.
constexpr int32_t kMaxStatementName = 255;
// Frame word 19 of code that is no function.
constexpr int32_t kNoFunction = -1;

// The frame whose variables are listed: the innermost with variables, unless
// a function without variables comes first; -1 for none.
int32_t ListedFrame(EngineContext* ctx) {
  for (int32_t f = ctx->curFrame; f >= 0; f = PreviousFrame(ctx, f)) {
    const uint32_t* w = FrameWords(ctx, f);
    if (static_cast<int32_t>(w[kFwVarCount]) > 0) return f;
    if (static_cast<int32_t>(w[kFwFunction]) != kNoFunction) return -1;
  }
  return -1;
}

// The declaration keyword of a variable whose slot links to a shared value,
// null for others.
const char* SharedKeyword(EngineContext* ctx, int32_t slot) {
  if (slot <= 0 || static_cast<uint32_t>(slot) > ctx->heapSize) return nullptr;
  const uint8_t* block = BlockData(ctx, slot);
  if (!(Load<uint32_t>(block) & kFlagReference)) return nullptr;
  const uint32_t entry = Load<uint32_t>(block + 16);
  if (entry >= ctx->funcCount) return nullptr;
  const int32_t owner = Load<int32_t>(ctx->CodeBytes() + 16ull * entry + 12);
  return owner == -1 ? "global " : "persistent ";
}

// Pushes a copy of the value in a variable's value block.
ErrCode PushVariableValue(EngineContext* ctx, int32_t block) {
  const ValueDescriptor d = Load<ValueDescriptor>(BlockData(ctx, block));
  uint8_t* data;
  ErrCode e = PushEntry(ctx, d.flags, d.size, d.word, false, &data);
  if (e) return e;
  std::memcpy(data, BlockData(ctx, block) + 16, 8ull * d.size);
  return kOk;
}

ErrCode WriteDeclaration(EngineContext* ctx, int32_t fd, const char* keyword, const char* name,
                         int32_t length) {
  ErrCode e = WriteToFd(ctx, fd, keyword, -1);
  if (!e) e = WriteToFd(ctx, fd, name, length);
  return e ? e : WriteNewlineToFd(ctx, fd);
}

}  // namespace

ErrCode ListVariables(EngineContext* ctx, int32_t fd, bool declarations) {
  // The structure goes again when it finds no room, so that the call runs
  // again on the stack as it found it once the area has grown.
  const uint32_t level = ctx->descTop;
  if (fd < 0) {
    ErrCode e = PushEntry(ctx, kFlagStructured, 0, kKindStruct, false, nullptr);
    if (e) return e;
  }
  const int32_t f = ListedFrame(ctx);
  const int32_t count = f < 0 ? 0 : static_cast<int32_t>(FrameWords(ctx, f)[kFwVarCount]);
  for (int32_t i = 0; i < count; i++) {
    const char* name = GetVariableName(ctx, i);
    if (!name) continue;
    const auto length = static_cast<int32_t>(strnlen(name, kFrameNameBytes));
    char copy[kFrameNameBytes];
    std::memcpy(copy, name, length);
    const auto slot = static_cast<int32_t>(FrameWords(ctx, f)[kFrameHeaderWords + i]);
    const char* keyword = SharedKeyword(ctx, slot);
    if (fd >= 0 && declarations && keyword) {
      ErrCode e = WriteDeclaration(ctx, fd, keyword, copy, length);
      if (e) return e;
    }
    const int32_t block = VariableValueBlock(ctx, slot);
    if (!block) continue;
    ErrCode e = PushVariableValue(ctx, block);
    if (!e && fd < 0) {
      e = PushListFromEntries(ctx, 1, true, copy, length);
    } else if (!e) {
      e = DumpValue(ctx, nullptr, 0, nullptr, fd, copy, length, kDumpPrecision);
      Drop(ctx);
    }
    if (e) {
      DropAboveLevel(ctx, level);
      return e;
    }
  }
  return kOk;
}

ErrCode ListVariablesForDebugger(EngineContext* ctx, int32_t fd, bool declarations) {
  if (fd < 0) return kErrBadFileID;
  FlushFd(ctx, fd, kBufferingOn);
  ErrCode e = ListVariables(ctx, fd, declarations);
  FlushFd(ctx, fd, kBufferingOff);
  return e;
}

// dumpvar(value), dumpvar(name, value), dumpvar(fd, name, value): the value
// written to descriptor 1 or fd, as a statement when named; with an output,
// the text is returned instead.
ErrCode DumpvarNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  if (nargin < 1 || nargin > 3) return kErrIncorrectNargin;
  int32_t fd = kFdOut;
  if (nargin == 3) {
    if (nargout >= 1) return kErrTooManyArgout;
    const ValueClass cls = ViewNumeric(ctx, 2).cls;
    if (cls == ValueClass::kChar || cls == ValueClass::kLogical) return kErrWrongTypeOverload;
    ErrCode e = GetIntegerArg(ctx, 2, &fd);
    if (e) return AllowOverload(e);
    if (fd < 0) return kErrBadFileID;
  }
  char name[kMaxStatementName + 1];
  int32_t nameLength = -1;
  if (nargin >= 2) {
    ErrCode e = GetStringArgToBuffer(ctx, 1, name, sizeof name, &nameLength);
    if (e) return AllowOverload(e);
  }
  const char* statement = nameLength >= 0 ? name : nullptr;
  if (nargout < 1) {
    // A statement's no value takes its room above the inputs before the
    // text is written: a call without room runs again having written none.
    const int32_t marker = nargout < 0;
    if (marker)
      if (ErrCode e = PushNoValue(ctx)) return e;
    ErrCode e = dump::WriteDump(
        ctx, nullptr, 0, nullptr, fd, statement, nameLength,
        [&](dump::DumpWriter& out) { return dump::DumpEntry(out, marker, kDumpPrecision); });
    if (e) {
      if (marker) Drop(ctx);
      return e;
    }
    return marker ? DropInputsUnderResult(ctx, nargin) : Drop(ctx, nargin);
  }
  // The text is built in a char row above the value, then cut to its length.
  int32_t capacity = -2;
  uint16_t* text;
  ErrCode e = PushStringOfLength(ctx, &capacity, &text);
  if (e) return e;
  int32_t length = 0;
  e = dump::WriteDump(
      ctx, text, capacity, &length, -1, statement, nameLength,
      [&](dump::DumpWriter& out) { return dump::DumpEntry(out, 1, kDumpPrecision); });
  if (e == kErrDataOverflow) e = TextRoomError(capacity);
  if (!e) e = ShrinkTopCharRow(ctx, 0, length);
  if (e) {
    Drop(ctx);
    return e;
  }
  return DropInputsUnderResult(ctx, nargin);
}

}  // namespace vke
