// The execution loop: ExecuteBytecode's entry, the checks at the top of the
// loop, and the dispatch of every opcode through one switch: the light
// instructions, literals, stack shuffles, jumps, the variable and indexing
// instructions, builtins by opcode and natives by global index.
#include "engine/loop/loop.hpp"

#include "engine/builtin_hooks.hpp"
#include "engine/code/function_ref.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop_internal.hpp"
#include "engine/loop/scalar_chain.hpp"
#include "engine/loop/scalar_operators.hpp"
#include "engine/loop/scalar_variables.hpp"
#include "engine/text/display.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

// The abort poll runs once every 503 instructions that pass the loop top.
constexpr int32_t kAbortPollAfter = 501;
constexpr int32_t kOneByOne[2] = {1, 1};

// The integer literal instructions 19 to 30.
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

// horzcat and bracelist gather their operands with comma lists expanded.
ErrCode GatherOperands(EngineContext* ctx, const int16_t* at) {
  int32_t n;
  ErrCode e = ExpandCommaLists(ctx, at[1], &n);
  if (e) return e;
  if (at[0] == kOpBraceList) return PushListFromEntries(ctx, n, false, nullptr, 0);
  return CallBuiltinOf(ctx, kOpHorzcat, n, 1);
}

// s = [s x] compiled as loadvar s, one push of x, horzcat 2, storevar s:
// x goes straight into the variable's own block. Gives the instruction
// after the statement, or null when the code is not that statement or the
// values do not fit (the statement then runs as compiled).
const int16_t* AppendStatement(EngineContext* ctx, const int16_t* at) {
  const int16_t* x = at + 2;
  AppendPiece piece;
  switch (x[0]) {
    case kOpPushStr8:
      piece.bytes = reinterpret_cast<const uint8_t*>(x + 2);
      piece.count = OperandLength(x + 1);
      break;
    case kOpPushStr:
      piece.chars = reinterpret_cast<const uint16_t*>(x + 2);
      piece.count = OperandLength(x + 1);
      break;
    case kOpPushSmallInt:
      piece.scalar = x[1];
      piece.count = 1;
      break;
    case kOpPushDouble:
      piece.scalar = OperandDouble(x + 1);
      piece.count = 1;
      break;
    case kOpLoadVar:
      if (x[1] == at[1] || !AppendPieceOfVariable(ctx, x[1], &piece)) return nullptr;
      break;
    default:
      return nullptr;
  }
  const int16_t* cat = x + GetInstructionLength(x);
  if (cat[0] != kOpHorzcat || cat[1] != 2 || cat[2] != kOpStoreVar || cat[3] != at[1] ||
      !AppendToVariable(ctx, at[1], piece))
    return nullptr;
  return cat + 4;
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

// showvar, displayvar and storeansshow: variable n under its name.
ErrCode ShowVariable(EngineContext* ctx, int32_t n) {
  ErrCode e = LoadVariable(ctx, n);
  if (e) return e;
  int32_t nameId = 0;
  const char* name = GetVariableName(ctx, n);
  int32_t length = 0;
  while (name && length < kMaxIdentifierLength && name[length]) length++;
  if (length > 0 && InternName(ctx, name, length, kMaxIdentifierLength, &nameId)) nameId = 0;
  // An object stays on top for its class's display method.
  return DisplayNamedValue(ctx, nameId, false, true);
}

ErrCode StoreAnsAndShow(EngineContext* ctx, int32_t n) {
  const ValueDescriptor d = *DescAt(ctx, 0);
  if (d.flags & kFlagNoValue) return Drop(ctx);
  int32_t count = 1;
  if (IsStructured(d) && d.word == kKindCommaList) {
    ErrCode e = ExpandCommaLists(ctx, 1, &count);
    if (e) return e;
    for (int32_t i = 0; i + 1 < count; i++) {
      e = RollStackEntries(ctx, count - i, 1);
      if (!e) e = CallBuiltinOf(ctx, kOpDisp, 1, 0);
      if (e) return e;
    }
    if (count == 0) return kOk;
  }
  ErrCode e = StoreVariable(ctx, n);
  return e ? e : ShowVariable(ctx, n);
}

int32_t FrameWord(EngineContext* ctx, int word) {
  return ctx->curFrame < 0 ? 0 : static_cast<int32_t>(FrameWords(ctx, ctx->curFrame)[word]);
}

// settry: the catch position of the current frame and the entries it keeps.
void SetTry(EngineContext* ctx, const int16_t* at) {
  if (ctx->curFrame < 0) return;
  uint32_t* w = FrameWords(ctx, ctx->curFrame);
  const bool enter = at[1] > 0;
  w[kFwCatchKind] = enter ? ctx->cpKind : kCodeNone;
  w[kFwCatchOffset] = enter ? CodeOffsetOf(ctx, at + 3 + at[1]) : 0;
  w[kFwCatchKeep1] = static_cast<uint32_t>(static_cast<int32_t>(at[2]));
  w[kFwCatchKeep2] = 0;
}

// Pops a condition; true when it holds.
ErrCode PopTruth(EngineContext* ctx, bool* truth) {
  uint8_t t = 0;
  ErrCode e = PopConditionTruth(ctx, &t);
  *truth = t != 0;
  return e;
}

ErrCode RunLoop(LoopRun& run) {
  EngineContext* const ctx = run.ctx;
  const int16_t* ip = run.ip;
  int32_t abortCounter = 0;
  for (;;) {
    // ---- Top of the loop ----
    if (!ip) {
      ctx->cpKind = kCodeNone;
      if (ctx->currentThread != 0) SwitchThreadFromLoop(ctx, 0);
      LeaveRun(ctx);
      return ctx->cpKind != kCodeNone ? ErrCode{kStatusSuspended} : ErrCode{kOk};
    }
    if (ctx->pendingError != -1) {
      FreeEngineBlock(ctx, ctx->pendingError);
      ctx->pendingError = -1;
    }
    ctx->errLocFunc = -1;
    ctx->errLocPos = -1;
    ctx->errLocName[0] = 0;
    if (ctx->pendingArgCount) {
      // Through a copy: the pointer itself stays in a register.
      const int16_t* cell = ip;
      PrepareExecution(ctx, &cell);
      ip = cell;
    }
    const int16_t* at = ip;
    ErrCode e = kOk;
    if (abortCounter++ > kAbortPollAfter) {
      if (PollAbortRequest(ctx)) e = kStatusHalted;
      abortCounter = 0;
    }
    // A heavy instruction that took its fast path leaves no pending error,
    // error location or call behind: the next instruction runs at once,
    // counted for the abort poll, unless a queued call, listed threads or a
    // due poll need the top. The light instructions and the fast paths
    // change no frame, so the scope frame of the variables, once found,
    // holds until the top is passed again.
    // The fast paths start no call and list no thread: whether a queued call
    // or listed threads need the top is known here, once per pass.
    const int32_t chainLimit = ctx->pendingArgCount || ctx->firstThread ? -1 : kAbortPollAfter;
    auto mayGoOn = [&]() VKE_HOT_LAMBDA { return abortCounter <= chainLimit; };
    auto fastNext = [&]() VKE_HOT_LAMBDA {
      if (!mayGoOn()) return false;
      abortCounter++;
      return true;
    };
    int32_t scope = -1;
    run.quietLines = LinesAreQuiet(ctx);
    // A conditional jump at jumpAt with its condition's truth; a sliced run
    // ends its slice at a taken backward jumpfalse (the end of a loop).
    auto branch = [&](const int16_t* jumpAt, bool truth) VKE_HOT_LAMBDA {
      const bool jump = truth == (jumpAt[0] == kOpJumpTrue);
      ip = jump ? jumpAt + 2 + jumpAt[1] : jumpAt + 2;
      if (jump && jumpAt[0] == kOpJumpFalse && jumpAt[1] < 0 && run.sliced)
        e = CheckBreakAtSliceEnd(ctx);
    };
    while (!e) {
      at = ip;
      // The level an instruction that runs out of room must leave to run
      // again once the area has grown (see HandleFailure).
      ctx->instructionLevel = ctx->descTop;
      const int32_t op = *ip;
      switch (op) {
          // ---- Light instructions: straight to the next opcode ----
        case kOpNop:
          ip += 1;
          continue;
        case kOpPushZero:
        case kOpPushOne:
          ip += 1;
          e = PushRealScalar(ctx, op == kOpPushOne ? 1 : 0);
          if (!e) continue;
          break;
        case kOpPop:
          ip += 1;
          e = Drop(ctx);
          if (!e) continue;
          break;
        case kOpSkip:
          ip += 2;
          continue;
        case kOpJump:
          ip = at + 2 + at[1];
          if (at[1] >= 0 || !run.sliced) continue;
          e = CheckBreakAtSliceEnd(ctx);
          break;
        case kOpLine: {
          bool light = false;
          ip += 3;
          if (run.quietLines && MarkQuietLine(ctx, at)) continue;
          run.ip = ip;
          e = LineInstruction(run, at, &light);
          if (light) continue;
          break;
        }

          // ---- Literals and stack shuffles ----
        case kOpPushSmallInt:
        case kOpPushDouble:
        case kOpLoadVar: {
          // A run of scalar instructions from here, done as one.
          if (scope < 0) scope = ScopeFrame(ctx);
          ScalarChain c;
          const ChainEnd end = RunScalarChain(ctx, scope, at, chainLimit - abortCounter + 1, &c);
          if (end == ChainEnd::kNothing) {
            ip = at + (op == kOpPushDouble ? 5 : 2);
            if (op != kOpLoadVar) {
              e = PushRealScalar(ctx, op == kOpPushDouble ? OperandDouble(at + 1) : at[1]);
            } else if (!LoadScalarVariable(ctx, scope, at[1])) {
              if (const int16_t* after = AppendStatement(ctx, at)) {
                ip = after;
                if (fastNext()) continue;
                break;
              }
              e = LoadVariable(ctx, at[1]);
              break;
            }
            if (!e && fastNext()) continue;
            break;
          }
          // Each instruction of the run counted as one that went on.
          abortCounter += c.steps;
          if (end != ChainEnd::kTested) {
            ip = c.ip;
            continue;
          }
          branch(c.ip, c.truth);
          if (!e && fastNext()) continue;
          break;
        }
        case kOpPushSmallImag:
          e = PushComplexScalar(ctx, 0, at[1]);
          ip += 2;
          break;
        case kOpPushImag:
          e = PushComplexScalar(ctx, 0, OperandDouble(at + 1));
          ip += 5;
          break;
        case kOpPushSingle:
        case kOpPushSingleImag:
          e = PushSingleLiteral(ctx, OperandDouble(at + 1), op == kOpPushSingleImag);
          ip += 5;
          break;
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
          e = PushIntegerOperand(ctx, at);
          ip += GetInstructionLength(at);
          break;
        case kOpPushRange:
          e = PushRangeOperands(ctx, at);
          ip += 4;
          break;
        case kOpPushStr8:
          e = PushCString(ctx, OperandLength(at + 1), reinterpret_cast<const char*>(at + 2));
          ip += GetInstructionLength(at);
          break;
        case kOpPushStr:
          e = PushWideString(ctx, OperandLength(at + 1), reinterpret_cast<const uint16_t*>(at + 2));
          ip += GetInstructionLength(at);
          break;
        case kOpPushNoValue:
          e = PushNoValue(ctx);
          ip += 1;
          break;
        case kOpPrint8:
        case kOpPrint16:
          e = PrintText(ctx, at);
          ip += GetInstructionLength(at);
          break;
        case kOpDup:
          e = DuplicateStackEntries(ctx, at[1] - at[2], at[2]);
          ip += 3;
          break;
        case kOpRoll:
          e = RollStackEntries(ctx, at[1], at[2]);
          ip += 3;
          break;
        case kOpPushEmpty:
          e = PushEmptyMatrix(ctx);
          ip += 1;
          break;
        case kOpHorzcat:
        case kOpBraceList:
          e = GatherOperands(ctx, at);
          ip += 2;
          break;
        case kOpMakeList1:
          e = PushListFromEntries(ctx, 1, true, nullptr, 0);
          ip += 1;
          break;
        case kOpJoinList:
          e = JoinValues(ctx, at[1]);
          ip += 2;
          break;
        case kOpMakeFunRef:
          e = MakeFunctionReference(ctx, at[1]);
          ip += 2;
          break;

          // ---- Variables and indexing ----
        case kOpDeclareGlobal:
          ip += 3;
          if (FrameWord(ctx, kFwEntry)) {
            e = kErrSecViolationGlobal;
            break;
          }
          // A new shared entry may grow the function table, moving the code.
          SetCodePointer(ctx, ip);
          e = DeclareGlobal(ctx, at[1], at[2] ? FrameWord(ctx, kFwFunction) : -1);
          ip = GetCodePointer(ctx);
          break;
        case kOpStoreVar:
          ip += 2;
          if (scope < 0) scope = ScopeFrame(ctx);
          if (StoreScalarVariable(ctx, scope, at[1])) {
            if (fastNext()) continue;
            break;
          }
          e = StoreVariable(ctx, at[1]);
          break;
        case kOpShowVar:
        case kOpDisplayVar:
          e = ShowVariable(ctx, at[1]);
          ip += 2;
          break;
        case kOpStoreAnsShow:
          e = StoreAnsAndShow(ctx, at[1]);
          ip += 2;
          break;
        case kOpIncVar:
        case kOpDecVar:
          e = AddToVariable(ctx, at[1], op == kOpIncVar ? 1 : -1);
          ip += 2;
          break;
        case kOpClearVar:
          e = UnsetVariable(ctx, at[1]);
          ip += 2;
          break;
        case kOpLoadField:
          e = GetField(ctx, at[1], FrameWord(ctx, kFwCaller2));
          ip += 2;
          break;
        case kOpLoadFieldByName:
          e = GetFieldByNameValue(ctx, FrameWord(ctx, kFwCaller2));
          ip += 1;
          break;
        case kOpIndexValue:
        case kOpParenAfterIndex:
          ip += 4;
          SetCodePointer(ctx, ip);
          e = op == kOpIndexValue
                  ? IndexOrCallValue(ctx, at[1], static_cast<uint16_t>(at[2]), true, at[3])
                  : IndexThroughReference(ctx, at[1], static_cast<uint16_t>(at[2]), at[3]);
          if (!e) ip = GetCodePointer(ctx);
          break;
        case kOpBraceIndexValue:
          e = IndexStructured(ctx, IndexForm::kBrace, at[1], static_cast<uint16_t>(at[2]), 0);
          ip += 3;
          break;
        case kOpIndexField:
          e = IndexStructured(ctx, IndexForm::kParen, at[1], static_cast<uint16_t>(at[2]), at[3]);
          ip += 4;
          break;
        case kOpIndexGroup:
          e = IndexStructuredGroup(ctx, at[1], static_cast<uint16_t>(at[2]));
          ip += 3;
          break;
        case kOpBeginningValue:
        case kOpEndValue:
          e = EndValue(ctx, at[1], at[2], at[3], op == kOpBeginningValue);
          ip += 4;
          break;
        case kOpMatrixRowValue:
        case kOpMatrixColValue:
          e = IndexArrayValue(ctx, at[1], at[2], at[3], op == kOpMatrixRowValue);
          ip += 4;
          break;
        case kOpLoadIndexed:
        case kOpLoadIndexedFirst:
          e = MakeReference(ctx, at[1], op == kOpLoadIndexedFirst);
          ip += 2;
          break;
        case kOpApplyParen:
          e = ResolveReference(ctx);
          ip += 1;
          break;
        case kOpApplyBrace:
          e = AssignThroughReference(ctx);
          ip += 1;
          break;
        case kOpParenAfterBrace:
          e = AssignIndexed(ctx, at[1], static_cast<uint16_t>(at[2]));
          ip += 3;
          break;

          // ---- Jumps, loops and switches ----
        case kOpJumpTrue:
        case kOpJumpFalse: {
          bool truth;
          e = PopTruth(ctx, &truth);
          if (e) break;
          branch(at, truth);
          if (!e && fastNext()) continue;
          break;
        }
        case kOpOrJump:
        case kOpAndJump: {
          uint8_t truth = 0;
          e = GetConditionTruth(ctx, 0, &truth);
          if (e) break;
          if ((truth != 0) == (op == kOpOrJump)) {
            ip = at + 2 + at[1];
          } else {
            e = Drop(ctx);
            ip = at + 2;
          }
          break;
        }
        case kOpCaseJump: {
          bool match = false;
          e = SwitchCaseMatch(ctx, &match);
          ip = match ? at + 2 : at + 2 + at[1];
          break;
        }
        case kOpForRangeNext: {
          double value;
          bool more;
          if (!NextDoubleRangeValue(ctx, &value, &more)) {
            e = ForRangeNext(ctx);
            ip = e == kErrIndexOutOfRange ? at + 2 + at[1] : at + 2;
            if (e == kErrIndexOutOfRange) e = kOk;
            break;
          }
          ip = more ? at + 2 : at + 2 + at[1];
          // The value goes straight into the loop variable that the next
          // instruction stores it in, when the push would have had room.
          if (more && ip[0] == kOpStoreVar && mayGoOn() && CheckRoomToPush(ctx, 1, false) == kOk &&
              StoreScalarValue(ctx, scope < 0 ? (scope = ScopeFrame(ctx)) : scope, ip[1], value)) {
            abortCounter++;
            ip += 2;
          } else if (more) {
            e = PushRealScalar(ctx, value);
          }
          if (!e && fastNext()) continue;
          break;
        }
        case kOpForNext:
          e = ForNext(ctx);
          ip = e == kErrIndexOutOfRange ? at + 2 + at[1] : at + 2;
          if (e == kErrIndexOutOfRange) e = kOk;
          break;
        case kOpForRangeInit:
          e = ForRangeInit(ctx, at[1]);
          ip += 2;
          break;
        case kOpForRangeLast:
          e = ForRangeLast(ctx);
          ip += 1;
          break;
        case kOpSetTry:
          SetTry(ctx, at);
          ip += 3;
          break;

          // ---- Calls ----
        case kOpCallFn:
          run.ip = ip + 4;
          e = CallFunctionIndex(run, at);
          ip = run.ip;
          break;
        case kOpCallValue:
          run.ip = ip + 3;
          e = CallValueInstruction(run, at);
          ip = run.ip;
          break;
        case kOpReturn:
        case kOpHalt: {
          run.ip = ip + 1;
          const int16_t* failing = at;
          e = LeaveCall(run, op == kOpHalt, &failing);
          at = failing;
          ip = run.ip;
          // The outermost call has returned: the thread's code is done.
          if (!e && !ip) {
            if (EndOfThread(run) == Next::kReturn) return kOk;
            ip = run.ip;
          }
          break;
        }
        case kOpEndThread:
          if (EndOfThread(run) == Next::kReturn) return kOk;
          ip = run.ip;
          break;
        case kOpReserved319:
          e = kErrNotSupported;
          ip += 4;
          break;

          // ---- Builtins by opcode, natives by global index ----
        default: {
          const BuiltinDispatch& builtin = GetBuiltinDispatch(ctx, op);
          // Only a builtin has a length here; natives and unknown opcodes
          // have no dispatch entry.
          const int16_t* next = builtin.fn ? at + BuiltinLength(op) : at;
          bool truth;
          if (builtin.scalarForm == ScalarForm::kCompare &&
              (next[0] == kOpJumpTrue || next[0] == kOpJumpFalse) && mayGoOn() &&
              CompareTopScalars(ctx, builtin.scalarOption, &truth) &&
              CheckRoomForComparison(ctx) == kOk) {
            // A comparison of scalars that a conditional jump tests: the
            // jump takes its truth, without the logical value between them.
            abortCounter++;
            Drop(ctx);
            Drop(ctx);
            at = next;
            branch(at, truth);
            if (!e && fastNext()) continue;
          } else if (TryScalarOperator(ctx, builtin, &e)) {
            ip = next;
            if (!e && fastNext()) continue;
          } else if (op >= kFirstNativeOpcode) {
            run.ip = ip + kNativeCallLength;
            e = CallNativeInstruction(run, at);
            // A native that left no code to go on with (dbquit abandoned
            // every frame) ends the thread's code.
            if (!e && !run.ip && EndOfThread(run) == Next::kReturn) return kOk;
            ip = run.ip;
          } else if (!builtin.fn) {
            e = kErrNotSupported;
            ip += 1;
          } else if (StartsCode(op)) {
            ip += BuiltinLength(op);
            SetCodePointer(ctx, ip);
            e = CallBuiltin(ctx, at);
            if (!e) ip = GetCodePointer(ctx);
          } else {
            e = CallBuiltin(ctx, at);
            ip += BuiltinLength(op);
          }
          break;
        }
      }
      break;
    }
    // ---- Common tail: the error path or the thread-slice check ----
    run.ip = ip;
    if (e == kStatusSuspended && ctx->currentThread == 0) {
      // The end of a slice, as HandleError ends it, without the call.
      SetCodePointer(ctx, ip);
      LeaveRun(ctx);
      return e;
    }
    if (e) {
      ErrCode result;
      if (HandleError(run, e, at, &result) == Next::kReturn) return result;
    } else if (ctx->firstThread && SliceCheck(run)) {
      return kOk;
    }
    ip = run.ip;
  }
}

}  // namespace

namespace {

// The base of a code area kind and its size in bytes; null, size 0, for
// kinds that hold no code.
VKE_HOT_INLINE const uint8_t* CodeArea(EngineContext* ctx, uint32_t kind, uint64_t* size) {
  switch (kind) {
    case kCodeArea:
      *size = 2ull * ctx->codeSize;
      return ctx->CodeBytes();
    case kCodeDataStack:
      *size = 8ull * ctx->dataCap;
      return ctx->DataBytes();
    case kCodeHeap:
      *size = 8ull * ctx->heapSize;
      return ctx->HeapBytes();
    default:
      *size = 0;
      return nullptr;
  }
}

}  // namespace

const uint8_t* CodeAreaBase(EngineContext* ctx, uint32_t kind) {
  uint64_t size;
  return CodeArea(ctx, kind, &size);
}

uint64_t CodePointerRoom(EngineContext* ctx) {
  uint64_t size;
  return CodeArea(ctx, ctx->cpKind, &size) && ctx->cpOffset < size ? size - ctx->cpOffset : 0;
}

const int16_t* GetCodePointer(EngineContext* ctx) {
  uint64_t size;
  const uint8_t* base = CodeArea(ctx, ctx->cpKind, &size);
  if (!base || ctx->cpOffset >= size) return nullptr;
  return reinterpret_cast<const int16_t*>(base + ctx->cpOffset);
}

void SetCodePointer(EngineContext* ctx, const int16_t* address) {
  uint64_t size;
  const uint8_t* base = CodeArea(ctx, ctx->cpKind, &size);
  if (base && address)
    ctx->cpOffset = static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(address) - base);
}

ErrCode ExecuteBytecode(EngineContext* ctx, uint8_t sliced) {
  // A run inside a run that does not allow nesting does nothing (see loop.hpp).
  if (ctx->running && !ctx->cpFlag) return kOk;
  if (ctx->errLocCode == kStatusDebug) return kStatusDebug;
  if (ctx->pendingArgCount) PrepareExecution(ctx, nullptr);
  if (ctx->cpKind == kCodeNone) {
    if (!ctx->firstThread) return kOk;
    SwitchThreadFromLoop(ctx, -1);
  }
  if (ctx->threadTimer && ctx->firstThread)
    ctx->threadTimer(reinterpret_cast<void*>(ctx->threadTimerArg), 0, 1);
  LoopRun run{ctx, GetCodePointer(ctx), sliced};
  ctx->running = 1;
  return RunLoop(run);
}

}  // namespace vke
