// The plain instructions of the execution loop: those that neither take a
// fused scalar form nor start a call the loop must follow (literals, stack
// shuffles, the variable and indexing instructions, the loop and switch
// instructions that go through the general paths) and the builtins by
// opcode. Each runs through one general operation and tells where the run
// goes on; the loop's tail deals with a failure.
#include "engine/builtin_hooks.hpp"
#include "engine/code/function_ref.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/loop/loop_internal.hpp"
#include "engine/loop/scalar_chain.hpp"
#include "engine/memory_retry.hpp"
#include "engine/room_requests.hpp"
#include "engine/text/display.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

constexpr int32_t kOneByOne[2] = {1, 1};

// The integer literal instructions, pushint8 to pushuint64.
ErrCode PushIntegerOperand(EngineContext* ctx, const int16_t* at) {
  const int16_t w0 = at[1];
  const auto widened = static_cast<uint64_t>(static_cast<int64_t>(w0));
  switch (at[0]) {
    case kOpPushInt8:
      return PushIntegerLiteral(ctx, 1, false, widened);
    case kOpPushUInt8:
      return PushIntegerLiteral(ctx, 1, true, widened);
    case kOpPushInt16:
      return PushIntegerLiteral(ctx, 2, false, widened);
    case kOpPushUInt16:
      return PushIntegerLiteral(ctx, 2, true, static_cast<uint16_t>(w0));
    case kOpPushInt32Short:
      return PushIntegerLiteral(ctx, 4, false, widened);
    case kOpPushUInt32Short:
      return PushIntegerLiteral(ctx, 4, true, widened);
    case kOpPushInt64Short:
      return PushIntegerLiteral(ctx, 8, false, widened);
    case kOpPushUInt64Short:
      return PushIntegerLiteral(ctx, 8, true, widened);
    case kOpPushInt32:
      return PushIntegerLiteral(ctx, 4, false, OperandU32(at + 1));
    case kOpPushUInt32:
      return PushIntegerLiteral(ctx, 4, true, OperandU32(at + 1));
    case kOpPushInt64:
      return PushIntegerLiteral(ctx, 8, false, OperandU64(at + 1));
    default:
      return PushIntegerLiteral(ctx, 8, true, OperandU64(at + 1));
  }
}

ErrCode PushSingleLiteral(EngineContext* ctx, double x, bool imaginary) {
  float *re, *im;
  ErrCode e = PushNewSingleArray(ctx, 2, kOneByOne, &re, imaginary ? &im : nullptr);
  if (e) return e;
  *re = imaginary ? 0.0f : static_cast<float>(x);
  if (imaginary) *im = static_cast<float>(x);
  return kOk;
}

// print8 and print16: the text operand to descriptor 1.
ErrCode PrintText(EngineContext* ctx, const int16_t* at) {
  const int32_t n = OperandLength(at + 1);
  if (at[0] == kOpPrint8) return WriteToFd(ctx, kFdOut, reinterpret_cast<const char*>(at + 2), n);
  char buffer[256];
  int32_t length = 0;
  for (int32_t i = 0; i < n; i++) {
    if (length > static_cast<int32_t>(sizeof buffer) - 4) {
      ErrCode e = WriteToFd(ctx, kFdOut, buffer, length);
      if (e) return e;
      length = 0;
    }
    AppendUtf8Char(reinterpret_cast<uint8_t*>(buffer), &length, static_cast<uint16_t>(at[2 + i]),
                   sizeof buffer);
  }
  return WriteToFd(ctx, kFdOut, buffer, length);
}

// pushrange: the range W0:W1:W2 as the colon builtin makes it.
ErrCode PushRangeOperands(EngineContext* ctx, const int16_t* at) {
  for (int32_t k = 1; k <= 3; k++) {
    ErrCode e = PushRealScalar(ctx, at[k]);
    if (e) {
      Drop(ctx, k - 1);
      return e;
    }
  }
  ErrCode e = CallBuiltinOf(ctx, kOpColon, 3, 1);
  // The bounds a failure leaves go, so that the instruction can run again.
  if (e && IsEngineMemoryCode(e) && GetFrameEntryCount(ctx) >= 3) Drop(ctx, 3);
  return e;
}

// horzcat and bracelist gather their operands with comma lists expanded;
// without room for the result, with the operands left as they were, the
// lists are made again for the instruction to run again.
ErrCode GatherOperands(EngineContext* ctx, const int16_t* at) {
  int32_t n;
  CommaListExpansion lists;
  ErrCode e = lists.Expand(ctx, at[1], &n);
  if (e) return e;
  const uint32_t level = ctx->descTop;
  e = at[0] == kOpBraceList ? PushListFromEntries(ctx, n, false, nullptr, 0)
                            : CallBuiltinOf(ctx, kOpHorzcat, n, 1);
  if (IsEngineMemoryCode(e) && lists.Expanded() && (ctx->descTop != level || !lists.Undo(ctx)))
    MarkOperandsChanged(ctx);
  return e;
}

// joinlist: the top W0 values as one list, the last one's elements joined.
ErrCode JoinValues(EngineContext* ctx, int32_t n) {
  if (n < 1 || n > GetFrameEntryCount(ctx)) return kErrIllegal;
  ErrCode e = RollStackEntries(ctx, n, n - 1);
  if (!e) e = PushListFromEntries(ctx, n - 1, false, nullptr, 0);
  if (!e) e = RollStackEntries(ctx, 2, 1);
  if (e) return e;
  return CallBuiltinOf(ctx, kOpJoin, 2, 1);
}

// makefunref: the name on top ("@name" or "name") becomes a function
// reference resolved in the scope W0.
ErrCode MakeFunctionReference(EngineContext* ctx, int32_t scope) {
  char name[kMaxIdentifierLength + 2];
  int32_t length;
  ErrCode e = GetStringArgToBuffer(ctx, 0, name, sizeof name, &length);
  if (e) return e == kErrWrongType ? kErrWrongTypeOverload : kErrNameTooLong;
  const int32_t skip = length > 0 && name[0] == '@' ? 1 : 0;
  if (length - skip > kMaxIdentifierLength) return kErrNameTooLong;
  uint8_t* data;
  e = PushFunctionReference(ctx, name + skip, length - skip, scope, &data);
  return e ? e : DropStackEntries(ctx, 1, 1);
}

// The name id under which variable n is shown (0: none). A name the name
// table has no room for fails for lack of room, before anything changed,
// so that the instruction runs again once the area has grown; other
// failures show it without a name.
ErrCode ShownNameId(EngineContext* ctx, int32_t n, int32_t* nameId) {
  *nameId = 0;
  const char* name = GetVariableName(ctx, n);
  int32_t length = 0;
  while (name && length < kMaxIdentifierLength && name[length]) length++;
  if (length == 0) return kOk;
  const ErrCode e = InternName(ctx, name, length, kMaxIdentifierLength, nameId);
  if (e) *nameId = 0;
  return IsEngineMemoryCode(e) ? e : kOk;
}

// showvar and displayvar: variable n under its name.
ErrCode ShowVariable(EngineContext* ctx, int32_t n) {
  const bool nameShown = TakeRerunProgress(ctx) == kNameShown;
  int32_t nameId;
  ErrCode e = ShownNameId(ctx, n, &nameId);
  if (!e) e = LoadVariable(ctx, n);
  if (e) return e;
  // An object stays on top for its class's display method.
  return DisplayNamedValue(ctx, nameId, false, true, nameShown);
}

ErrCode StoreAnsAndShow(EngineContext* ctx, int32_t n) {
  const bool nameShown = TakeRerunProgress(ctx) == kNameShown;
  const ValueDescriptor d = *DescAt(ctx, 0);
  if (d.flags & kFlagNoValue) return Drop(ctx);
  int32_t nameId;
  ErrCode e = ShownNameId(ctx, n, &nameId);
  if (e) return e;
  int32_t count = 1;
  if (IsStructured(d) && d.word == kKindCommaList) {
    CommaListExpansion list;
    e = list.Expand(ctx, 1, &count);
    if (e) return e;
    for (int32_t i = 0; i + 1 < count; i++) {
      e = RollStackEntries(ctx, count - i, 1);
      if (!e) e = CallBuiltinOf(ctx, kOpDisp, 1, 0);
      if (e) return e;
    }
    if (count == 0) return kOk;
  }
  if ((e = StoreVariable(ctx, n))) return e;
  {
    // The value stored comes back in the room it left, without a request:
    // a failure here, the value gone into its variable, would not run again.
    const RoomRequestsPaused inItsRoom;
    e = LoadVariable(ctx, n);
  }
  return e ? e : DisplayNamedValue(ctx, nameId, false, true, nameShown);
}

int32_t CurrentFrameWord(EngineContext* ctx, int word) {
  return ctx->curFrame < 0 ? 0 : static_cast<int32_t>(FrameWords(ctx, ctx->curFrame)[word]);
}

// settry: the catch position of the current frame and the entries it keeps.
void SetTry(EngineContext* ctx, const int16_t* at) {
  if (ctx->curFrame < 0) return;
  uint32_t* w = FrameWords(ctx, ctx->curFrame);
  const bool enter = at[1] > 0;
  w[kFwCatchKind] = enter ? ctx->cpKind : kCodeNone;
  w[kFwCatchOffset] = enter ? CodeOffsetOf(ctx, at + 3 + at[1]) : 0;
  w[kFwCatchKeep] = static_cast<uint32_t>(static_cast<int32_t>(at[2]));
  w[kFwCatchKeepExtra] = 0;
}

}  // namespace

ErrCode RunPlainInstruction(EngineContext* ctx, const int16_t* at, const int16_t** next) {
  const int32_t op = at[0];
  // Most instructions go on after their own words; the others set ip.
  const int16_t*& ip = *next;
  ip = at + GetInstructionLength(at);
  switch (op) {
    // ---- Literals and stack shuffles ----
    case kOpPushSmallImag:
      return PushComplexScalar(ctx, 0, at[1]);
    case kOpPushImag:
      return PushComplexScalar(ctx, 0, OperandDouble(at + 1));
    case kOpPushSingle:
    case kOpPushSingleImag:
      return PushSingleLiteral(ctx, OperandDouble(at + 1), op == kOpPushSingleImag);
    case kOpPushInt8:
    case kOpPushInt16:
    case kOpPushInt32Short:
    case kOpPushUInt8:
    case kOpPushUInt16:
    case kOpPushUInt32Short:
    case kOpPushInt32:
    case kOpPushUInt32:
    case kOpPushInt64Short:
    case kOpPushUInt64Short:
    case kOpPushInt64:
    case kOpPushUInt64:
      return PushIntegerOperand(ctx, at);
    case kOpPushRange:
      return PushRangeOperands(ctx, at);
    case kOpPushStr8:
      return PushCString(ctx, OperandLength(at + 1), reinterpret_cast<const char*>(at + 2));
    case kOpPushStr:
      return PushWideString(ctx, OperandLength(at + 1), reinterpret_cast<const uint16_t*>(at + 2));
    case kOpPushNoValue:
      return PushNoValue(ctx);
    case kOpPrint8:
    case kOpPrint16:
      return PrintText(ctx, at);
    case kOpDup:
      return DuplicateStackEntries(ctx, at[1] - at[2], at[2]);
    case kOpRoll:
      return RollStackEntries(ctx, at[1], at[2]);
    case kOpPushEmpty:
      return PushEmptyMatrix(ctx);
    case kOpHorzcat:
    case kOpBraceList:
      return GatherOperands(ctx, at);
    case kOpMakeList1:
      return PushListFromEntries(ctx, 1, true, nullptr, 0);
    case kOpJoinList:
      return JoinValues(ctx, at[1]);
    case kOpMakeFunRef:
      return MakeFunctionReference(ctx, at[1]);

    // ---- Variables and indexing ----
    case kOpDeclareGlobal:
      if (CurrentFrameWord(ctx, kFwEntry)) return kErrSecViolationGlobal;
      // A new shared entry may grow the function table.
      return CodeMayMove(ctx, ip, [&] {
        return DeclareGlobal(ctx, at[1], at[2] ? CurrentFrameWord(ctx, kFwFunction) : -1);
      });
    case kOpShowVar:
    case kOpDisplayVar:
      return ShowVariable(ctx, at[1]);
    case kOpStoreAnsShow:
      return StoreAnsAndShow(ctx, at[1]);
    case kOpIncVar:
    case kOpDecVar:
      return AddToVariable(ctx, at[1], op == kOpIncVar ? 1 : -1);
    case kOpClearVar:
      return UnsetVariable(ctx, at[1]);
    case kOpLoadField:
      return GetField(ctx, at[1], CurrentFrameWord(ctx, kFwMethodCall));
    case kOpLoadFieldByName:
      return GetFieldByNameValue(ctx, CurrentFrameWord(ctx, kFwMethodCall));
    case kOpIndexValue:
      return CodeMayMove(ctx, ip, [&] {
        return IndexOrCallValue(ctx, at[1], static_cast<uint16_t>(at[2]), true, at[3]);
      });
    case kOpParenAfterIndex:
      return CodeMayMove(ctx, ip, [&] {
        return IndexThroughReference(ctx, at[1], static_cast<uint16_t>(at[2]), at[3]);
      });
    case kOpBraceIndexValue:
      return IndexStructured(ctx, IndexForm::kBrace, at[1], static_cast<uint16_t>(at[2]), 0);
    case kOpIndexField:
      return IndexStructured(ctx, IndexForm::kParen, at[1], static_cast<uint16_t>(at[2]), at[3]);
    case kOpIndexGroup:
      return IndexStructuredGroup(ctx, at[1], static_cast<uint16_t>(at[2]));
    case kOpBeginningValue:
    case kOpEndValue:
      return EndValue(ctx, at[1], at[2], at[3], op == kOpBeginningValue);
    case kOpMatrixRowValue:
    case kOpMatrixColValue:
      return IndexArrayValue(ctx, at[1], at[2], at[3], op == kOpMatrixRowValue);
    case kOpLoadIndexed:
    case kOpLoadIndexedFirst:
      return MakeReference(ctx, at[1], op == kOpLoadIndexedFirst);
    case kOpApplyParen:
      return ResolveReference(ctx);
    case kOpApplyBrace:
      return AssignThroughReference(ctx);
    case kOpParenAfterBrace:
      return AssignIndexed(ctx, at[1], static_cast<uint16_t>(at[2]));

    // ---- Jumps, loops and switches ----
    case kOpOrJump:
    case kOpAndJump: {
      uint8_t truth = 0;
      ErrCode e = GetConditionTruth(ctx, 0, &truth);
      if (e) return e;
      if ((truth != 0) == (op == kOpOrJump)) {
        ip = at + 2 + at[1];
        return kOk;
      }
      return Drop(ctx);
    }
    case kOpCaseJump: {
      bool match = false;
      ErrCode e = SwitchCaseMatch(ctx, &match);
      if (!match) ip = at + 2 + at[1];
      return e;
    }
    case kOpForNext: {
      // Past the last element the loop's end.
      ErrCode e = ForNext(ctx);
      if (e != kErrIndexOutOfRange) return e;
      ip = at + 2 + at[1];
      return kOk;
    }
    case kOpForRangeInit:
      return ForRangeInit(ctx, at[1]);
    case kOpForRangeLast:
      return ForRangeLast(ctx);
    case kOpSetTry:
      SetTry(ctx, at);
      return kOk;
    case kOpReserved319:
      ip = at + 4;
      return kErrNotSupported;

    // ---- Builtins by opcode ----
    default: {
      const BuiltinDispatch& builtin = GetBuiltinDispatch(ctx, op);
      if (!builtin.fn) {
        ip = at + 1;
        return kErrNotSupported;
      }
      ip = at + BuiltinLength(op);
      if (!StartsCode(op)) return CallBuiltin(ctx, at);
      // feval and builtin call their value as this instruction's own call.
      if (op == kOpFeval || op == kOpBuiltin) ctx->reentryOpcode = kReentryThroughValue;
      const ErrCode e = CodeMayMove(ctx, ip, [&] { return CallBuiltin(ctx, at); });
      ctx->reentryOpcode = 0;
      return e;
    }
  }
}

}  // namespace vke
