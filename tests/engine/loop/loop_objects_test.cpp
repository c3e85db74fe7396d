// The loop's object path and its display and list instructions: operators
// on objects without methods, operands retried as doubles, natives of a
// library's value type, objects shown as their fields, the display
// instructions, comma lists expanded, printing, and the pending-call queue.
#include <gtest/gtest.h>

#include <string>

#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/loop/loop.hpp"
#include "engine/registry/registry.hpp"
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
using test::RunBaseCode;
using test::SetBaseVariables;
using test::TestHost;
using test::TopScalar;

// plus of real doubles only: 44 for anything else.
ErrCode PlusOfDoubles(EngineContext* ctx, int32_t, int32_t, int32_t) {
  double a, b;
  if (ViewNumeric(ctx, 0).cls != ValueClass::kDouble ||
      ViewNumeric(ctx, 1).cls != ValueClass::kDouble || GetScalarArg(ctx, 1, &a) ||
      GetScalarArg(ctx, 0, &b))
    return kErrWrongTypeOverload;
  Drop(ctx, 2);
  return PushRealScalar(ctx, a + b);
}

// The native "plus" of a library's value type: the sum of the two values'
// first bytes.
ErrCode TypePlus(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (nargin != 2) return kErrIllegal;
  const double sum = DataAt(ctx, 0)[0] + DataAt(ctx, 1)[0];
  Drop(ctx, 2);
  return PushRealScalar(ctx, sum);
}

int g_pending = 0;
ErrCode CountPending(EngineContext*, uintptr_t argument) {
  g_pending += static_cast<int>(argument);
  return kOk;
}

class LoopObjects : public ::testing::Test {
 protected:
  EngineContext* ctx() { return host_.ctx(); }
  int32_t Name(const char* text) {
    int32_t id = 0;
    EXPECT_EQ(InternName(ctx(), text, static_cast<int32_t>(std::strlen(text)), 32, &id), kOk);
    return id;
  }
  // An object of class myclass with one field f = 1; its kind word the
  // negated name id of the class, as class makes it, or the id itself.
  void PushObject(bool negated = true) {
    PushRealScalar(ctx(), 1);
    ASSERT_EQ(PushListFromEntries(ctx(), 1, false, "f", 1), kOk);
    DescAt(ctx(), 0)->word = negated ? -Name("myclass") : Name("myclass");
  }

  TestHost host_;
};

TEST_F(LoopObjects, AnOperatorWithoutAMethodOfTheClassNamesIt) {
  for (const bool negated : {true, false}) {
    host_.ClearOutput();
    SetBaseVariables(ctx(), {"o"});
    PushObject(negated);
    ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
    BuiltinStandIn plus(ctx(), kOpPlus, &PlusOfDoubles);
    Assembler a;
    a.Op(kOpLoadVar, {1}).Op(kOpPushOne).Op(kOpPlus).Op(kOpHalt);
    EXPECT_EQ(RunBaseCode(ctx(), a), kErrUndefFun);
    EXPECT_EQ(host_.Output(2).substr(0, 38), "Undefined function 'myclass::plus'\n") << negated;
  }
}

TEST_F(LoopObjects, IntegerCharAndLogicalOperandsAreRetriedAsDoubles) {
  BuiltinStandIn plus(ctx(), kOpPlus, &PlusOfDoubles);
  Assembler a;
  a.Op(kOpPushInt8, {5}).Op(kOpPushSmallInt, {2}).Op(kOpPlus).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
  EXPECT_EQ(ViewNumeric(ctx(), 0).cls, ValueClass::kDouble);
  EXPECT_EQ(TopScalar(ctx()), 7);
  Drop(ctx());
  // A text operand that is no scalar keeps the builtin's own error.
  Assembler b;
  b.Str("ab").Op(kOpPushOne).Op(kOpPlus).Op(kOpHalt);
  EXPECT_EQ(RunBaseCode(ctx(), b), kErrWrongTypeOverload);
}

TEST_F(LoopObjects, ALibrarysValueTypeIsServedByItsNative) {
  NativeFunctionRecord records[3] = {
      MakeRecord("@typelib"), MakeRecord("plus", &TypePlus, 2, 2, 1, 1, 0, 1), MakeRecord("")};
  ASSERT_EQ(RegisterLibrary(ctx(), records, true), kOk);
  const int32_t kind = 0 * 128 + 1 + 6;  // registry entry 0, record kind 1
  BuiltinStandIn plus(ctx(), kOpPlus, &PlusOfDoubles);
  for (uint8_t byte : {20, 22}) {
    void* data;
    ASSERT_EQ(PushTypedEntry(ctx(), kind, 8, &data), kOk);
    std::memset(data, 0, 8);
    static_cast<uint8_t*>(data)[0] = byte;
  }
  Assembler a;
  a.Op(kOpPlus).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
  EXPECT_EQ(TopScalar(ctx()), 42);
}

TEST_F(LoopObjects, DisplayInstructionsAndObjectsWithoutADisplayMethod) {
  SetBaseVariables(ctx(), {"x", "o"});
  PushObject();
  ASSERT_EQ(StoreVariable(ctx(), 2), kOk);
  Assembler a;
  a.Op(kOpPushSmallInt, {3}).Op(kOpStoreVar, {1}).Op(kOpShowVar, {1});
  a.Op(kOpPushNoValue).Op(kOpStoreAnsShow, {0}).Op(kOpDisplayVar, {2}).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
  const std::string out = host_.Output(1);
  EXPECT_EQ(out.find("x ="), 0u) << out;
  EXPECT_NE(out.find("3"), std::string::npos) << out;
  EXPECT_NE(out.find("f"), std::string::npos) << out;  // the object's field
  EXPECT_EQ(out.find("ans"), std::string::npos) << out;
  EXPECT_EQ(EntryCount(ctx()), 0);
}

TEST_F(LoopObjects, CommaListsAreExpandedWhereListsAreBuilt) {
  // s(1).f = 1, s(2).f = 'two': {s.f, 3} is a list of three; ans = s.f
  // shows the first with disp and stores the last.
  SetBaseVariables(ctx(), {"s"});
  PushRealScalar(ctx(), 1);
  ASSERT_EQ(PushListFromEntries(ctx(), 1, false, "f", 1), kOk);
  PushCString(ctx(), 3, "two");
  ASSERT_EQ(PushListFromEntries(ctx(), 1, false, "f", 1), kOk);
  ASSERT_EQ(PushListFromEntries(ctx(), 2, false, nullptr, 0), kOk);
  ASSERT_EQ(StructListToArray(ctx()), kOk);
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  Assembler a;
  a.Op(kOpLoadVar, {1}).Op(kOpLoadField, {Name("f")}).Op(kOpPushSmallInt, {3});
  a.Op(kOpBraceList, {2}).Op(kOpLoadVar, {1}).Op(kOpLoadField, {Name("f")});
  a.Op(kOpStoreAnsShow, {0}).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetListParts(ctx(), 0, &parts), kOk);
  EXPECT_EQ(parts.elements, 3);
  ASSERT_EQ(LoadVariable(ctx(), 0), kOk);
  EXPECT_EQ(test::TopString(ctx()), "two");
  const std::string out = host_.Output(1);
  EXPECT_NE(out.find("1"), std::string::npos) << out;
  EXPECT_NE(out.find("ans ="), std::string::npos) << out;
}

TEST_F(LoopObjects, PrintInstructionsWriteTheirText) {
  Assembler a;
  a.Str8("hello ", kOpPrint8).Str("w\xC3", kOpPrint16).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
  EXPECT_EQ(host_.Output(1), "hello w\xC3\x83");
}

TEST_F(LoopObjects, PendingCallsRunOneAtATimeBeforeInstructions) {
  g_pending = 0;
  CallArgumentAdders adders;
  GetCallArgumentAdders(ctx(), &adders);
  const auto fn = reinterpret_cast<uintptr_t>(&CountPending);
  ASSERT_TRUE(adders.add(adders.resolver, 0, 0, adders.holder, 1, fn));
  ASSERT_TRUE(adders.add(adders.resolver, 0, 0, adders.holder, 10, fn));
  Assembler a;
  a.Op(kOpPushOne).Op(kOpPushOne).Op(kOpPop).Op(kOpHalt);
  ASSERT_EQ(RunBaseCode(ctx(), a), kOk);
  EXPECT_EQ(g_pending, 11);
  EXPECT_EQ(ctx()->pendingArgCount, 0u);
  // A saved call that cannot be set up unwinds what it pushed.
  const double record[5] = {0, 0, 0, 0, 0};  // no arguments; the function value []
  ASSERT_TRUE(
      adders.addValue(adders.resolver, 0, 0, adders.holder, reinterpret_cast<uintptr_t>(record)));
  const int32_t entries = EntryCount(ctx());
  EXPECT_NE(PrepareExecution(ctx(), nullptr), kOk);
  EXPECT_EQ(EntryCount(ctx()), entries);
}

}  // namespace
}  // namespace vke
