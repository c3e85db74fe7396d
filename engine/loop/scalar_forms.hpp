// The fused scalar forms of the execution loop, the one door through which
// RunLoop takes them: runs of scalar instructions done as one (the chain),
// a comparison that a conditional jump tests, the for-range step that stores
// straight into the loop variable, the operators on two scalars, and the
// shortcuts of the variable instructions (scalar loads and stores, s = [s x])
// and the calls of small scalar leaf functions (decoded_leaf.hpp).
// The pieces they are made of live in scalar_chain.hpp, scalar_operators.hpp
// and scalar_variables.hpp; the loop includes only this file.
//
// A form that applies leaves no pending error, error location or call
// behind, changes no frame and does not move the area, so the next
// instruction may run at once, counted for the abort poll, without passing
// the loop top; the scope frame of the variables and its slots, once found,
// hold until the top is passed again (or a form changes a variable's block).
#pragma once

#include <cmath>
#include <cstddef>

#include "engine/builtin_hooks.hpp"
#include "engine/loop/decoded_chain.hpp"
#include "engine/loop/decoded_leaf.hpp"
#include "engine/loop/loop_internal.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

// How a fused form left the instruction it was given.
enum class Fused : uint8_t {
  kOn,    // done: the instruction at ip runs at once
  kTail,  // done, or failed with the code in e: the loop's tail follows
  kAsIs,  // the form does not apply: the instruction runs as compiled
};

// s = [s x] compiled as loadvar s, one push of x, horzcat 2, storevar s:
// x goes straight into the variable's own block. Gives the instruction
// after the statement, or null when the code is not that statement or the
// values do not fit (the statement then runs as compiled).
inline const int16_t* AppendStatement(EngineContext* ctx, const int16_t* at) {
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

// The fused forms for one pass of the loop top. Each takes the instruction
// at `at`, sets ip to where the run goes on and e to a failure or the end
// of a slice.
class ScalarForms {
 public:
  VKE_HOT_INLINE explicit ScalarForms(LoopRun& run) : run_(run), ctx_(run.ctx) {}

  // At the loop top: true when the abort poll is due (the count starts
  // again). Whether a queued call or listed threads need the top is known
  // once per pass (the forms start no call and list no thread): then every
  // instruction goes back through it. The scope frame is found again.
  VKE_HOT_INLINE bool PassTop(int32_t pollAfter) {
    const bool due = polls_++ > pollAfter;
    if (due) polls_ = 0;
    limit_ = ctx_->pendingArgCount || ctx_->firstThread ? -1 : pollAfter;
    scope_ = -1;
    haveSlots_ = false;
    return due;
  }

  // The scope's slots are read again at their next use: something other
  // than the forms ran without passing the top.
  VKE_HOT_INLINE void ForgetSlots() { haveSlots_ = false; }

  // After a call's frame was set up or ended with nothing else run (no
  // native, no compilation, no failure): the scope is found again, and the
  // next instruction may run at once, counted, as after a form.
  VKE_HOT_INLINE Fused FrameChanged() {
    scope_ = -1;
    haveSlots_ = false;
    return GoOn();
  }

  // Whether the next instruction may run without passing the top.
  VKE_HOT_INLINE bool MayGoOn() const { return polls_ <= limit_; }
  // kOn, the instruction counted, when the next one may run at once.
  VKE_HOT_INLINE Fused GoOn() {
    if (!MayGoOn()) return Fused::kTail;
    polls_++;
    return Fused::kOn;
  }

  // pushsmallint, pushdouble and loadvar: a run of scalar instructions from
  // here done as one; else the single push or load.
  VKE_HOT_INLINE Fused Scalars(const int16_t*& at, const int16_t*& ip, ErrCode& e) {
    const int32_t op = at[0];
    ScalarChain c;
    const ChainEnd end = RunDecodedChain(ctx_, Scope(), Slots(), at, limit_ - polls_ + 1, &c);
    if (end == ChainEnd::kNothing) {
      ip = at + (op == kOpPushDouble ? 5 : 2);
      if (op != kOpLoadVar) {
        e = PushRealScalar(ctx_, op == kOpPushDouble ? OperandDouble(at + 1) : at[1]);
      } else if (double value;
                 !Slots().LoadScalar(at[1], &value) || PushRealScalar(ctx_, value) != kOk) {
        if (const int16_t* after = AppendStatement(ctx_, at)) {
          // The variable's block may be another one now.
          haveSlots_ = false;
          ip = after;
          return GoOn();
        }
        e = LoadVariable(ctx_, at[1]);
        return Fused::kTail;
      }
      return e ? Fused::kTail : GoOn();
    }
    return AfterChain(end, c, at, ip, e);
  }

  // Where a run of scalar instructions from `at` that did something leaves
  // the loop: at the instruction after it, the jump back of a loop taken at
  // once, or the conditional jump that tests its comparison.
  VKE_HOT_INLINE Fused AfterChain(ChainEnd end, const ScalarChain& c, const int16_t*& at,
                                  const int16_t*& ip, ErrCode& e) {
    // Each instruction of the run counted as one that went on.
    polls_ += c.steps;
    if (end != ChainEnd::kTested) {
      ip = c.ip;
      QuietLineAt(ip);
      // The jump that closes a loop's body is taken here, as the loop would.
      if (ip[0] != kOpJump) return Fused::kOn;
      at = ip;
      return Jump(at, ip, e);
    }
    return Branch(c.ip, c.truth, ip, e);
  }

  // storevar: a real double scalar on top into a scalar-sized variable.
  VKE_HOT_INLINE Fused Store(const int16_t* at, const int16_t*& ip, ErrCode& e) {
    ip = at + 2;
    if (PopScalarInto(ctx_, Slots(), at[1])) return GoOn();
    e = StoreVariable(ctx_, at[1]);
    if (e) return Fused::kTail;
    // A store runs no other code and leaves nothing for the top: the first
    // value of a function's output or local goes on at once. Its block may
    // be a new one.
    haveSlots_ = false;
    return GoOn();
  }

  // jumptrue and jumpfalse on the condition on top.
  VKE_HOT_INLINE Fused ConditionalJump(const int16_t* at, const int16_t*& ip, ErrCode& e) {
    uint8_t truth = 0;
    e = PopConditionTruth(ctx_, &truth);
    if (e) return Fused::kTail;
    return Branch(at, truth != 0, ip, e);
  }

  // forrangenext: the step of a real range; the value goes straight into
  // the loop variable that the next instruction stores it in, when the push
  // would have had room. When the body goes on with a variable's load, its
  // run starts at once (at moves to it).
  VKE_HOT_INLINE Fused ForRange(const int16_t*& at, const int16_t*& ip, ErrCode& e) {
    if (run_.sliced && MayGoOn()) {
      const Fused rounds = Rounds(at, ip, e);
      if (rounds != Fused::kAsIs) return rounds;
    }
    // The iterator advances once the value stands (ForRangeNext).
    RealRangeStep range;
    if (!PeekRealRange(ctx_, &range)) {
      e = ForRangeNext(ctx_);
      ip = e == kErrIndexOutOfRange ? at + 2 + at[1] : at + 2;
      if (e == kErrIndexOutOfRange) e = kOk;
      return Fused::kTail;
    }
    const bool more = range.more;
    ip = more ? at + 2 : at + 2 + at[1];
    if (more && ip[0] == kOpStoreVar && MayGoOn() && RoomAbove(ctx_, 1, 1) &&
        Slots().StoreScalar(ip[1], range.value)) {
      range.Take();
      polls_++;
      ip += 2;
      QuietLineAt(ip);
    } else if (more) {
      e = PushRealScalar(ctx_, range.value);
      if (!e) range.Take();
    }
    if (e) return Fused::kTail;
    const Fused step = GoOn();
    if (step != Fused::kOn || ip[0] != kOpLoadVar) return step;
    // As the loop would start the next instruction.
    at = ip;
    ctx_->instructionLevel = ctx_->descTop;
    return Scalars(at, ip, e);
  }

  // loadindexed and loadindexedfirst that begin x(i) or x(i, j), each
  // subscript a variable's load or a small integer, read as a value or
  // assigned the value on top: with x a real double matrix, the subscripts
  // real double scalars that are whole numbers within its size and, for an
  // assignment, a real double scalar on top, the element is pushed or
  // written in place without the reference between; a read that begins a
  // run of scalar instructions is done with the run. Anything else, errors
  // included, is left to the instructions as compiled (kAsIs).
  VKE_HOT_INLINE Fused Indexed(const int16_t*& at, const int16_t*& ip, ErrCode& e) {
    const bool write = at[0] == kOpLoadIndexedFirst;
    if (!write) {
      ScalarChain c;
      const ChainEnd end = RunDecodedChain(ctx_, Scope(), Slots(), at, limit_ - polls_ + 1, &c);
      if (end != ChainEnd::kNothing) return AfterChain(end, c, at, ip, e);
    }
    ChainElement element;
    const int16_t* const after = ParseElement(at, &element);
    if (!after) return Fused::kAsIs;
    uint8_t* const item = ElementOf(Slots(), element);
    if (!item) return Fused::kAsIs;
    const int32_t count = element.count;
    // The reference (four units) and the subscripts the instructions push
    // must have had room: a full stack fails there, as before.
    if (uint64_t{ctx_->descTop} + 3ull * (count + 1) >= ctx_->descCap ||
        uint64_t{ctx_->dataTop} + 4ull + count >= ctx_->dataCap)
      return Fused::kAsIs;
    if (write) {
      if (!FrameHasEntries(ctx_, 1) || !IsRealDoubleScalar(*DescAt(ctx_, 0))) return Fused::kAsIs;
      vke::Store<double>(item, Load<double>(ctx_->DataUnits() + ctx_->dataTop - 1));
      ctx_->descTop -= 3;
      ctx_->dataTop -= 1;
    } else {
      // Within the room just found: no request.
      PushScalarInRoom(ctx_, Load<double>(item));
    }
    ip = after;
    // The instructions taken, counted as the loop would count them.
    polls_ += count + 1;
    return GoOn();
  }

  // callfn of a small scalar leaf function (decoded_leaf.hpp) while lines
  // are quiet: the call, its body and its return done at once, counted as
  // the instructions would count them; kAsIs, nothing done, for the call
  // to run as compiled. The scope and its slots stay: no frame changed.
  VKE_HOT_INLINE Fused LeafCall(const int16_t* at, const int16_t*& ip) {
    if (KnownNoLeaf(at[1]) || !run_.quietLines || !MayGoOn()) return Fused::kAsIs;
    const int32_t counted = TakeLeafCall(ctx_, at, limit_ - polls_);
    if (counted < 0) return Fused::kAsIs;
    polls_ += counted;
    ip = at + 4;
    return Fused::kOn;
  }

  // jump, the loop's own and the one after a run: a light instruction (not
  // counted); a sliced run ends its slice at a backward one.
  VKE_HOT_INLINE Fused Jump(const int16_t* jumpAt, const int16_t*& ip, ErrCode& e) {
    ip = jumpAt + 2 + jumpAt[1];
    if (jumpAt[1] >= 0 || !run_.sliced) return Fused::kOn;
    EndOfRound(e);
    // A slice of thread 0 that goes on in place: the next round starts at
    // once, counted as an instruction.
    return !e && ctx_->currentThread == 0 ? GoOn() : Fused::kTail;
  }

  // The end of a loop round in a sliced run (EndOfRound).
  VKE_HOT_INLINE void EndOfRound(ErrCode& e) { e = vke::EndOfRound(run_); }

  // A builtin's opcode whose dispatch row has a scalar form, on two real
  // double scalars: the run of scalar instructions it begins, when it goes
  // on past the operator; else a comparison that a conditional jump tests gives the
  // jump its truth without the logical value between them (at moves to the
  // jump); an operator replaces its operands by its result. ip is next, the
  // instruction after the builtin's.
  VKE_HOT_INLINE Fused Operator(const BuiltinDispatch& builtin, const int16_t*& at,
                                const int16_t* next, const int16_t*& ip, ErrCode& e) {
    // Operands on the stack (a call's result) that begin a run of scalar
    // instructions: the operator is done with the run.
    if (builtin.scalarForm != ScalarForm::kNone && MayGoOn()) {
      ScalarChain c;
      const ChainEnd end =
          RunDecodedChain(ctx_, Scope(), Slots(), at, limit_ - polls_ + 1, &c, true);
      if (end != ChainEnd::kNothing) return AfterChain(end, c, at, ip, e);
    }
    bool truth;
    if (builtin.scalarForm == ScalarForm::kCompare &&
        (next[0] == kOpJumpTrue || next[0] == kOpJumpFalse) && MayGoOn() &&
        CompareTopScalars(ctx_, builtin.scalarOption, &truth)) {
      // The room of the logical value the jump skips is asked for once, as
      // the comparison's own path asks: without it the operator fails there.
      if ((e = CheckRoomForComparison(ctx_))) {
        ip = next;
        return Fused::kTail;
      }
      polls_++;
      Drop(ctx_);
      Drop(ctx_);
      at = next;
      return Branch(at, truth, ip, e);
    }
    if (!TryScalarOperator(ctx_, builtin, &e)) return Fused::kAsIs;
    ip = next;
    return e ? Fused::kTail : GoOn();
  }

 private:
  // The for-range step at `at` of a sliced run of thread 0 whose loop is a
  // decoded round (a body of scalar statements): whole rounds, each as its
  // instructions one by one would do it, each ending its slice at the jump
  // back (the abort callback asked); while the slices go on in place, the
  // next round follows at once. kAsIs, for the step to run as usual, when
  // the loop is no round, the range has ended or a round does not go on as
  // one; else the end of the slice or a break at the jump (at moves there).
  VKE_HOT_INLINE Fused Rounds(const int16_t*& at, const int16_t*& ip, ErrCode& e) {
    if (ctx_->currentThread != 0) return Fused::kAsIs;
    DecodedChain* const round = DecodedRoundAt(ctx_, at);
    if (!round || (round->lines && !run_.quietLines)) return Fused::kAsIs;
    // The items found once serve every round that follows at once.
    RoundItems items;
    if (!FindRoundItems(ctx_, Slots(), *round, &items)) return Fused::kAsIs;
    for (;;) {
      RealRangeStep range;
      if (!PeekRealRange(ctx_, &range) || !range.more || !RunRound(*round, items, range))
        return Fused::kAsIs;
      e = CheckBreakAtSliceEnd(ctx_);
      if (e != kStatusSuspended || !SliceGoesOn(run_)) break;
      e = kOk;
    }
    ip = at;
    at += round->jump;
    return Fused::kTail;
  }

  // A line marker at ip while lines are quiet, as the loop marks it (a light
  // instruction, not counted); one with a stop request is left to the loop.
  VKE_HOT_INLINE void QuietLineAt(const int16_t*& ip) {
    while (ip[0] == kOpLine && run_.quietLines && MarkQuietLine(ctx_, ip)) ip += 3;
  }

  VKE_HOT_INLINE int32_t Scope() { return scope_ < 0 ? (scope_ = ScopeFrame(ctx_)) : scope_; }
  VKE_HOT_INLINE const ScopeSlots& Slots() {
    if (!haveSlots_) {
      slots_ = ScopeSlots(ctx_, Scope());
      haveSlots_ = true;
    }
    return slots_;
  }

  // The conditional jump at jumpAt with its condition's truth; a sliced run
  // ends its slice at a taken backward jumpfalse (the end of a loop).
  VKE_HOT_INLINE Fused Branch(const int16_t* jumpAt, bool truth, const int16_t*& ip, ErrCode& e) {
    const bool jump = truth == (jumpAt[0] == kOpJumpTrue);
    ip = jump ? jumpAt + 2 + jumpAt[1] : jumpAt + 2;
    if (jump && jumpAt[0] == kOpJumpFalse && jumpAt[1] < 0 && run_.sliced) EndOfRound(e);
    return e ? Fused::kTail : GoOn();
  }

  LoopRun& run_;
  EngineContext* const ctx_;
  int32_t polls_ = 0;  // instructions since the last abort poll
  int32_t limit_ = -1;
  int32_t scope_ = -1;
  bool haveSlots_ = false;
  ScopeSlots slots_;
};

}  // namespace vke
