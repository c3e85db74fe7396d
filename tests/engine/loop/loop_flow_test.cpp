// The execution loop on assembled code: literals, jumps and short-circuit
// jumps, for loops over columns, lists and ranges, switch matching, sliced
// runs and the abort poll.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"
#include "tests/host/assembler.hpp"
#include "tests/host/builtin_stand_in.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::Assembler;
using test::BuiltinStandIn;
using test::EntryCount;
using test::LoadBaseCode;
using test::RunBaseCode;
using test::SetBaseVariables;
using test::TestHost;
using test::TopScalar;
using test::TopString;

ErrCode RunCode(TestHost& host, const Assembler& code) {
  return RunBaseCode(host.ctx(), code);
}

// plus for real scalars.
ErrCode AddScalars(EngineContext* ctx, int32_t, int32_t, int32_t) {
  double a, b;
  if (GetScalarArg(ctx, 1, &a) || GetScalarArg(ctx, 0, &b)) return kErrWrongTypeOverload;
  Drop(ctx, 2);
  return PushRealScalar(ctx, a + b);
}

// horzcat of real scalars: a row.
ErrCode RowOfScalars(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  double* re;
  ErrCode e = PushNewMatrix(ctx, 1, nargin, &re, nullptr);
  for (int32_t i = 0; !e && i < nargin; i++) e = GetScalarArg(ctx, nargin - i, &re[i]);
  return e ? e : DropStackEntries(ctx, 1, nargin);
}

// Integer value and class of the entry at the depth.
struct IntegerValue {
  int64_t value;
  uint32_t code;
};
IntegerValue TopInteger(EngineContext* ctx, int32_t depth = 0) {
  const NumericView v = ViewNumeric(ctx, depth);
  EXPECT_EQ(v.cls, ValueClass::kInteger);
  return {static_cast<int64_t>(ReadIntegerBits(v.elements, v.code, 0)), v.code};
}

TEST(LoopLiterals, PushEveryLiteralKind) {
  TestHost host;
  Assembler a;
  a.Op(kOpPushSmallInt, {-7})
      .Op(kOpPushSmallImag, {3})
      .Double(kOpPushDouble, 2.5)
      .Double(kOpPushSingle, 0.1)
      .Op(kOpPushInt8, {0x1FF})      // low byte, sign-extended: -1
      .Op(kOpPushUInt16, {-1})       // whole word, zero-extended
      .Op(kOpPushUInt32Short, {-2})  // sign-extended
      .Wide(kOpPushInt32, 70000, 2)
      .Wide(kOpPushInt64, 0x123456789ABCull, 4)
      .Str("abc")
      .Str8("xyz")
      .Op(kOpPushEmpty)
      .Op(kOpPushNoValue)
      .Op(kOpHalt);
  ASSERT_EQ(RunCode(host, a), kOk);
  EngineContext* ctx = host.ctx();
  EXPECT_TRUE(DescAt(ctx, 0)->flags & kFlagNoValue);
  EXPECT_EQ(DescAt(ctx, 1)->size, 0u);
  EXPECT_EQ(TopString(ctx, 2), "xyz");
  EXPECT_EQ(TopString(ctx, 3), "abc");
  EXPECT_EQ(TopInteger(ctx, 4).value, 0x123456789ABC);
  EXPECT_EQ(TopInteger(ctx, 4).code, kCodeInt64);
  EXPECT_EQ(TopInteger(ctx, 5).value, 70000);
  EXPECT_EQ(TopInteger(ctx, 6).value, 4294967294);
  EXPECT_EQ(TopInteger(ctx, 6).code, kCodeUInt32);
  EXPECT_EQ(TopInteger(ctx, 7).value, 65535);
  EXPECT_EQ(TopInteger(ctx, 8).value, -1);
  EXPECT_EQ(TopInteger(ctx, 8).code, kCodeInt8);
  EXPECT_EQ(ViewNumeric(ctx, 9).cls, ValueClass::kSingle);
  EXPECT_FLOAT_EQ(Load<float>(ViewNumeric(ctx, 9).elements), 0.1f);
  EXPECT_EQ(TopScalar(ctx, 10), 2.5);
  double re, im;
  Drop(ctx, 11);
  ASSERT_EQ(PopComplexScalar(ctx, &re, &im), kOk);
  EXPECT_EQ(re, 0);
  EXPECT_EQ(im, 3);
  EXPECT_EQ(TopScalar(ctx), -7);
}

TEST(LoopLiterals, DupAndRollShuffleTheTopEntries) {
  TestHost host;
  Assembler a;
  a.Op(kOpPushSmallInt, {1}).Op(kOpPushSmallInt, {2}).Op(kOpPushSmallInt, {3});
  a.Op(kOpRoll, {3, 1});  // 3 1 2 from the bottom... the deepest comes to the top
  a.Op(kOpDup, {2, 1});   // a copy of the entry at depth 1
  a.Op(kOpHalt);
  ASSERT_EQ(RunCode(host, a), kOk);
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(EntryCount(ctx), 4);
  EXPECT_EQ(TopScalar(ctx, 0), 3);
  EXPECT_EQ(TopScalar(ctx, 1), 1);
  EXPECT_EQ(TopScalar(ctx, 2), 3);
  EXPECT_EQ(TopScalar(ctx, 3), 2);
}

TEST(LoopJumps, JumpsAndShortCircuitsLeaveTheDecidingOperand) {
  TestHost host;
  Assembler a;
  a.Jump(kOpJump, "over").Op(kOpPushSmallInt, {99}).Label("over");
  // 2 || ... leaves 2; 0 || 5 leaves 5.
  a.Op(kOpPushSmallInt, {2}).Jump(kOpOrJump, "or1").Op(kOpPushSmallInt, {98}).Label("or1");
  a.Op(kOpPushZero).Jump(kOpOrJump, "or2").Op(kOpPushSmallInt, {5}).Label("or2");
  // 0 && ... leaves 0; 1 && 7 leaves 7.
  a.Op(kOpPushZero).Jump(kOpAndJump, "and1").Op(kOpPushSmallInt, {97}).Label("and1");
  a.Op(kOpPushOne).Jump(kOpAndJump, "and2").Op(kOpPushSmallInt, {7}).Label("and2");
  a.Op(kOpPushOne).Jump(kOpJumpFalse, "no").Op(kOpPushSmallInt, {11}).Label("no");
  a.Op(kOpPushOne).Jump(kOpJumpTrue, "yes").Op(kOpPushSmallInt, {96}).Label("yes");
  a.Op(kOpSkip, {1000}).Op(kOpHalt);
  ASSERT_EQ(RunCode(host, a), kOk);
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(EntryCount(ctx), 5);
  EXPECT_EQ(TopScalar(ctx, 0), 11);
  EXPECT_EQ(TopScalar(ctx, 1), 7);
  EXPECT_EQ(TopScalar(ctx, 2), 0);
  EXPECT_EQ(TopScalar(ctx, 3), 5);
  EXPECT_EQ(TopScalar(ctx, 4), 2);
}

TEST(LoopJumps, AConditionThatIsNoNumberFails) {
  TestHost host;
  Assembler a;
  a.Op(kOpBraceList, {0}).Jump(kOpJumpFalse, "end").Label("end").Op(kOpHalt);
  EXPECT_EQ(RunCode(host, a), kErrWrongBoolType);
}

// for v = value: the iterations' values gathered in a list (variable 2),
// the number of iterations in variable 3.
Assembler ForLoop(const std::function<void(Assembler&)>& value) {
  Assembler a;
  a.Op(kOpBraceList, {0}).Op(kOpStoreVar, {2}).Op(kOpPushZero).Op(kOpStoreVar, {3});
  value(a);
  a.Label("next").Jump(kOpForNext, "done").Op(kOpStoreVar, {1});
  a.Op(kOpLoadVar, {2}).Op(kOpLoadVar, {1}).Op(kOpMakeList1).Op(kOpStoreVar, {2});
  a.Op(kOpIncVar, {3}).Jump(kOpJump, "next");
  a.Label("done").Op(kOpPop).Op(kOpLoadVar, {2}).Op(kOpLoadVar, {3}).Op(kOpHalt);
  return a;
}

TEST(LoopFor, RunsOverColumnsListsAndCharacters) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetBaseVariables(ctx, {"v", "seen", "n"});
  // [1 2 3; 4 5 6] gives its three columns.
  double* re;
  ASSERT_EQ(PushNewMatrix(ctx, 2, 3, &re, nullptr), kOk);
  for (int i = 0; i < 6; i++) re[i] = i + 1;
  ASSERT_EQ(StoreVariable(ctx, 1), kOk);
  ASSERT_EQ(RunCode(host, ForLoop([](Assembler& a) { a.Op(kOpLoadVar, {1}); })), kOk);
  EXPECT_EQ(TopScalar(ctx), 3);
  Drop(ctx);
  ASSERT_EQ(GetListElement(ctx, 0, 2), kOk);
  NumericView column = ViewNumeric(ctx, 0);
  ASSERT_EQ(column.shape.dims[0], 2);
  ASSERT_EQ(column.shape.dims[1], 1);
  EXPECT_EQ(Load<double>(column.elements), 2);
  EXPECT_EQ(Load<double>(column.elements + 8), 5);
  Drop(ctx, 2);

  // An empty matrix runs the body zero times.
  ASSERT_EQ(RunCode(host, ForLoop([](Assembler& a) { a.Op(kOpPushEmpty); })), kOk);
  EXPECT_EQ(TopScalar(ctx), 0);
  Drop(ctx, 2);

  // A list gives its items, a char row its characters.
  ASSERT_EQ(RunCode(host, ForLoop([](Assembler& a) {
                      a.Op(kOpPushSmallInt, {4}).Str("w").Op(kOpBraceList, {2});
                    })),
            kOk);
  EXPECT_EQ(TopScalar(ctx), 2);
  Drop(ctx);
  ASSERT_EQ(GetListElement(ctx, 0, 2), kOk);
  EXPECT_EQ(TopString(ctx), "w");
  Drop(ctx, 2);
  ASSERT_EQ(RunCode(host, ForLoop([](Assembler& a) { a.Str("hey"); })), kOk);
  EXPECT_EQ(TopScalar(ctx), 3);
  Drop(ctx);
  ASSERT_EQ(GetListElement(ctx, 0, 3), kOk);
  EXPECT_EQ(TopString(ctx), "y");
  Drop(ctx, 2);

  // A function value cannot be looped over.
  ASSERT_EQ(RunCode(host, ForLoop([](Assembler& a) { a.Str("sin").Op(kOpMakeFunRef, {0}); })),
            kErrWrongTypeOverload);
}

// for v = bounds...: the values in a list.
std::vector<double> RangeValues(TestHost& host, const std::function<void(Assembler&)>& bounds,
                                int32_t count, ErrCode expect = kOk, uint32_t* code = nullptr) {
  EngineContext* ctx = host.ctx();
  Assembler a;
  a.Op(kOpBraceList, {0}).Op(kOpStoreVar, {2});
  bounds(a);
  a.Op(kOpForRangeInit, {count}).Label("next").Jump(kOpForRangeNext, "done").Op(kOpStoreVar, {1});
  a.Op(kOpLoadVar, {2}).Op(kOpLoadVar, {1}).Op(kOpMakeList1).Op(kOpStoreVar, {2});
  a.Jump(kOpJump, "next").Label("done").Op(kOpPop).Op(kOpLoadVar, {2}).Op(kOpHalt);
  std::vector<double> values;
  EXPECT_EQ(RunCode(host, a), expect);
  if (expect != kOk) return values;
  StructuredParts parts;
  EXPECT_EQ(GetListParts(ctx, 0, &parts), kOk);
  for (int32_t i = 1; i <= parts.elements; i++) {
    EXPECT_EQ(GetListElement(ctx, 0, i), kOk);
    const NumericView v = ViewNumeric(ctx, 0);
    if (code) *code = v.code;
    values.push_back(v.cls == ValueClass::kInteger ? ReadIntegerElement(v.elements, v.code, 0)
                                                   : Load<double>(v.elements));
    Drop(ctx);
  }
  Drop(ctx);
  return values;
}

TEST(LoopFor, DoubleRangesStopAtTheirEnd) {
  TestHost host;
  SetBaseVariables(host.ctx(), {"v", "seen"});
  auto bounds = [](std::initializer_list<int> b) {
    return [b](Assembler& a) {
      for (int x : b) a.Op(kOpPushSmallInt, {x});
    };
  };
  EXPECT_EQ(RangeValues(host, bounds({1, 3}), 2), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(RangeValues(host, bounds({3, -1, 1}), 3), (std::vector<double>{3, 2, 1}));
  EXPECT_EQ(RangeValues(host, bounds({3, 1}), 2), (std::vector<double>{}));
  // A zero step toward the stop is refused as the range 1:0:5 is; NaN
  // bounds give no value.
  RangeValues(host, bounds({1, 0, 5}), 3, kErrObjTooLarge);
  EXPECT_EQ(RangeValues(host, bounds({5, 0, 1}), 3), (std::vector<double>{}));
  EXPECT_EQ(
      RangeValues(
          host, [](Assembler& a) { a.Op(kOpPushOne).Double(kOpPushDouble, std::nan("")); }, 2),
      (std::vector<double>{}));
  // A complex top bound loses its imaginary part.
  EXPECT_EQ(RangeValues(
                host, [](Assembler& a) { a.Op(kOpPushOne).Op(kOpPushSmallImag, {1}); }, 2),
            (std::vector<double>{}));
}

TEST(LoopFor, IntegerRangesNeverWrap) {
  TestHost host;
  SetBaseVariables(host.ctx(), {"v", "seen"});
  uint32_t code = 0;
  // int8 125:127 ends at 127 although 127 + 1 wraps.
  EXPECT_EQ(RangeValues(
                host, [](Assembler& a) { a.Op(kOpPushInt8, {125}).Op(kOpPushInt8, {127}); }, 2, kOk,
                &code),
            (std::vector<double>{125, 126, 127}));
  EXPECT_EQ(code, kCodeInt8);
  // uint8 250:5:255 stops at 255.
  EXPECT_EQ(RangeValues(
                host,
                [](Assembler& a) {
                  a.Op(kOpPushUInt8, {250}).Op(kOpPushUInt8, {5}).Op(kOpPushUInt8, {255});
                },
                3),
            (std::vector<double>{250, 255}));
  // int8 -126:-3:-128 stops before passing the stop.
  EXPECT_EQ(RangeValues(
                host,
                [](Assembler& a) {
                  a.Op(kOpPushInt8, {-126}).Op(kOpPushInt8, {-3}).Op(kOpPushInt8, {-128});
                },
                3),
            (std::vector<double>{-126}));
  // An unsigned range with a negative step counts down: uint8(5):int8(-2):uint8(0).
  EXPECT_EQ(
      RangeValues(
          host,
          [](Assembler& a) { a.Op(kOpPushUInt8, {5}).Op(kOpPushInt8, {-2}).Op(kOpPushUInt8, {0}); },
          3, kOk, &code),
      (std::vector<double>{5, 3, 1}));
  EXPECT_EQ(code, kCodeUInt8);
  // uint64 near its top.
  EXPECT_EQ(
      RangeValues(
          host,
          [](Assembler& a) { a.Wide(kOpPushUInt64, ~0ull - 1, 4).Wide(kOpPushUInt64, ~0ull, 4); },
          2)
          .size(),
      2u);
  // Bounds that are not scalars are refused.
  RangeValues(
      host, [](Assembler& a) { a.Op(kOpPushInt8, {1}).Op(kOpPushEmpty); }, 2, kErrNonScalarArg);
}

TEST(LoopFor, RangeLastGivesTheLastValue) {
  TestHost host;
  Assembler a;
  a.Op(kOpPushOne).Op(kOpPushSmallInt, {3}).Op(kOpPushSmallInt, {10}).Op(kOpForRangeInit, {3});
  a.Op(kOpForRangeLast).Op(kOpHalt);
  ASSERT_EQ(RunCode(host, a), kOk);
  EXPECT_EQ(TopScalar(host.ctx()), 10);
  // An empty range (3:Inf:5 counts no element) leaves no value.
  Assembler empty;
  empty.Op(kOpPushSmallInt, {3}).Double(kOpPushDouble, INFINITY).Op(kOpPushSmallInt, {5});
  empty.Op(kOpForRangeInit, {3}).Op(kOpForRangeLast).Op(kOpHalt);
  ASSERT_EQ(RunCode(host, empty), kOk);
  EXPECT_EQ(DescAt(host.ctx(), 0)->flags, kFlagNoValue);
}

// Runs switch value, case value, casejump: 1 for a match, 0 otherwise.
ErrCode Matches(TestHost& host, const std::function<void(Assembler&)>& values, bool* match) {
  Assembler a;
  values(a);
  a.Jump(kOpCaseJump, "no").Op(kOpPushOne).Op(kOpHalt).Label("no").Op(kOpPushZero).Op(kOpHalt);
  ErrCode e = RunCode(host, a);
  if (e) return e;
  *match = TopScalar(host.ctx()) == 1;
  EXPECT_EQ(EntryCount(host.ctx()), 2);  // the switch value stays
  Drop(host.ctx(), 2);
  return kOk;
}

TEST(LoopSwitch, CaseMatchingRules) {
  TestHost host;
  BuiltinStandIn row(host.ctx(), kOpHorzcat, &RowOfScalars);
  bool match = false;
  auto check = [&](std::function<void(Assembler&)> values) {
    EXPECT_EQ(Matches(host, values, &match), kOk);
    return match;
  };
  // Numbers, lists of candidates, arrays of candidates, texts.
  EXPECT_TRUE(check([](Assembler& a) { a.Op(kOpPushSmallInt, {3}).Op(kOpPushSmallInt, {3}); }));
  EXPECT_FALSE(check([](Assembler& a) { a.Op(kOpPushSmallInt, {3}).Op(kOpPushSmallInt, {4}); }));
  EXPECT_TRUE(check([](Assembler& a) {
    a.Op(kOpPushSmallInt, {3}).Op(kOpPushOne).Op(kOpPushSmallInt, {3}).Op(kOpBraceList, {2});
  }));
  EXPECT_TRUE(check([](Assembler& a) {
    a.Op(kOpPushInt8, {2}).Op(kOpPushOne).Op(kOpPushSmallInt, {2}).Op(kOpHorzcat, {2});
  }));
  EXPECT_TRUE(check([](Assembler& a) { a.Str("abc").Str("abc"); }));
  EXPECT_FALSE(check([](Assembler& a) { a.Str("abc").Str("abd"); }));
  EXPECT_FALSE(check([](Assembler& a) { a.Str("ab").Str("abc"); }));
  EXPECT_TRUE(check([](Assembler& a) { a.Str("b").Str("a").Str("b").Op(kOpBraceList, {2}); }));
  EXPECT_FALSE(check([](Assembler& a) { a.Str("1").Op(kOpPushOne); }));
  // An empty switch value matches nothing, whatever the case.
  EXPECT_FALSE(check([](Assembler& a) { a.Op(kOpPushEmpty).Op(kOpPushEmpty); }));

  // Refused switch and case values.
  auto code = [&](std::function<void(Assembler&)> values) { return Matches(host, values, &match); };
  EXPECT_EQ(code([](Assembler& a) { a.Op(kOpPushSmallImag, {1}).Op(kOpPushOne); }), kErrWrongType);
  EXPECT_EQ(code([](Assembler& a) {
              a.Op(kOpPushOne).Op(kOpPushOne).Op(kOpHorzcat, {2}).Op(kOpPushOne);
            }),
            kErrWrongType);
  EXPECT_EQ(code([](Assembler& a) {
              a.Op(kOpPushSmallInt, {1}).Op(kOpPushInt8, {1}).Op(kOpBraceList, {1});
            }),
            kErrNotSupported);
  EXPECT_EQ(code([](Assembler& a) { a.Op(kOpPushSmallInt, {1}).Str("x").Op(kOpBraceList, {1}); }),
            kErrWrongType);
  EXPECT_EQ(code([](Assembler& a) { a.Str("x").Op(kOpPushOne).Op(kOpBraceList, {1}); }),
            kErrWrongType);
}

TEST(LoopSlices, ASlicedRunSuspendsAtEachBackwardJumpAndResumes) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetBaseVariables(ctx, {"n"});
  Assembler a;
  // n = 0; while n < 3 (counted down from a copy): n += 1 per slice.
  a.Op(kOpPushZero).Op(kOpStoreVar, {1});
  a.Label("loop").Op(kOpIncVar, {1}).Op(kOpLoadVar, {1}).Op(kOpPushSmallInt, {-3}).Op(kOpPlus);
  a.Jump(kOpJumpFalse, "done").Jump(kOpJump, "loop").Label("done").Op(kOpHalt);
  BuiltinStandIn plus(ctx, kOpPlus, &AddScalars);
  LoadBaseCode(ctx, a);
  EXPECT_EQ(ExecuteBytecode(ctx, 1), kStatusSuspended);
  EXPECT_EQ(ctx->running, 0);
  ASSERT_EQ(LoadVariable(ctx, 1), kOk);
  EXPECT_EQ(TopScalar(ctx), 1);
  Drop(ctx);
  EXPECT_EQ(ExecuteBytecode(ctx, 1), kStatusSuspended);
  EXPECT_EQ(ExecuteBytecode(ctx, 1), kOk);  // n reached 3: the condition is 0
  ASSERT_EQ(LoadVariable(ctx, 1), kOk);
  EXPECT_EQ(TopScalar(ctx), 3);
  Drop(ctx);

  // A break at the end of a slice halts the run.
  LoadBaseCode(ctx, a);
  host.ScriptBreaks({true});
  EXPECT_EQ(ExecuteBytecode(ctx, 1), kStatusHalted);
  EXPECT_EQ(ctx->cpKind, kCodeNone);
  EXPECT_NE(host.Output(2).find("Execution halted"), std::string::npos);
}

TEST(LoopSlices, TheAbortPollRunsEvery503Instructions) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetBaseVariables(ctx, {"n"});
  Assembler a;
  a.Op(kOpPushZero).Op(kOpStoreVar, {1});
  a.Label("loop").Op(kOpIncVar, {1}).Jump(kOpJump, "loop");
  host.ScriptBreaks({false, true});
  EXPECT_EQ(RunCode(host, a), kStatusHalted);
  ASSERT_EQ(LoadVariable(ctx, 1), kOk);
  // Two instructions before the loop; polls before the 503rd and the 1006th
  // instruction that passed the loop top (jumps are light).
  EXPECT_EQ(TopScalar(ctx), 2 * 503 - 2);
  Drop(ctx);

  // Light instructions alone never reach the poll.
  Assembler light;
  for (int i = 0; i < 600; i++) light.Op(kOpNop);
  light.Op(kOpHalt);
  host.ScriptBreaks({true});
  EXPECT_EQ(RunCode(host, light), kOk);
}

}  // namespace
}  // namespace vke
