// The builtin table, its count codes, lookups and enumeration, and the
// dispatch by opcode with the builtins it carries out itself.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "app/runtime_tables.hpp"
#include "builtins/builtin.hpp"
#include "compiler/compile_calls.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/assembler.hpp"
#include "tests/host/builtin_stand_in.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::Assembler;
using test::BuiltinStandIn;
using test::EntryCount;
using test::RunBaseCode;
using test::TestHost;
using test::TopScalar;
using test::TopString;

int32_t IndexOf(const char* name) {
  for (int32_t i = 0; i < kBuiltinCount; i++)
    if (std::string(kBuiltinTable[i].name) == name) return i;
  return -1;
}

// The dispatch row of an opcode as the runtime installs it.
const BuiltinDispatch& Row(int32_t op) {
  return RuntimeBuiltinHooks()->rows[op];
}

const BuiltinRecord* Find(const std::string& name) {
  return FindBuiltinRecord(name.data(), static_cast<int32_t>(name.size()));
}

TEST(BuiltinTable, RecordsAliasesAndTerminator) {
  std::set<uint32_t> ids;
  for (int32_t i = 0; i < kBuiltinCount; i++) {
    const BuiltinRecord& r = kBuiltinTable[i];
    ASSERT_NE(r.name[0], 0) << i;
    EXPECT_EQ(r.name[sizeof r.name - 1], 0) << r.name;
    EXPECT_LT(r.id, static_cast<uint32_t>(kOpcodeCount)) << r.name;
    ids.insert(r.id);
  }
  EXPECT_EQ(kBuiltinTable[kBuiltinCount].name[0], 0);
  EXPECT_EQ(ids.size(), 254u);
  EXPECT_EQ(Find("i")->id, Find("j")->id);
  EXPECT_EQ(Find("inf")->id, Find("Inf")->id);
  EXPECT_EQ(Find("nan")->id, Find("NaN")->id);
  // The ids and the internal instructions share one numbering: exactly the
  // opcodes that are not builtin ids have no dispatch entry.
  int32_t internal = 0;
  for (int32_t op = 0; op < kOpcodeCount; op++) {
    bool builtin = ids.count(op) != 0;
    EXPECT_EQ(Row(op).fn != nullptr, builtin) << op;
    internal += !builtin;
  }
  EXPECT_EQ(internal, 79);
}

TEST(BuiltinTable, StoredOrderIsByteOrderWithItsExceptions) {
  EXPECT_STREQ(kBuiltinTable[0].name, "abs");
  EXPECT_STREQ(kBuiltinTable[kBuiltinCount - 1].name, "zeros");
  // The places where the stored order leaves byte order.
  const std::vector<std::vector<const char*>> runs = {
      {"findstr", "isfinite", "fix"},
      {"ndgrid", "deal", "variables", "ndims"},
      {"char", "ceil", "cell"},
      {"inf", "Inf", "info"},
      {"inv", "int16"},
      {"isnumeric", "isfloat", "isinteger"},
      {"nan", "NaN", "nargin"},
      {"plus", "pi", "power"},
      {"rmfield", "replist"},
      {"typecast", "true", "uint16"},
  };
  for (const auto& run : runs)
    for (size_t k = 1; k < run.size(); k++)
      EXPECT_EQ(IndexOf(run[k]), IndexOf(run[k - 1]) + 1) << run[k - 1] << " " << run[k];
}

TEST(BuiltinTable, LookupIsCaseSensitiveOnWholeNames) {
  EXPECT_EQ(Find("Inf")->id, static_cast<uint32_t>(kOpInf));
  EXPECT_EQ(Find("inf")->id, static_cast<uint32_t>(kOpInf));
  EXPECT_EQ(Find("INF"), nullptr);
  EXPECT_EQ(Find("j")->id, 3u);
  EXPECT_EQ(FindBuiltinRecord("pizza", 2), Find("pi"));  // only the given length counts
  EXPECT_EQ(Find("piz"), nullptr);
  EXPECT_EQ(Find(""), nullptr);
  EXPECT_EQ(Find("orderfieldsx"), nullptr);  // longer than any stored name
  EXPECT_EQ(FindBuiltinRecord(nullptr, 3), nullptr);
  EXPECT_STREQ(FindBuiltinById(kOpNan)->name, "nan");
  EXPECT_EQ(FindBuiltinById(kOpJump), nullptr);
}

TEST(CountCodes, DecodeRangesAndOpenEnds) {
  auto limits = [](uint32_t code) {
    CountLimits c = DecodeCountCode(code);
    return std::pair{c.min, c.max};
  };
  EXPECT_EQ(limits(0x8283), std::pair(3, 5));
  EXPECT_EQ(limits(0x8101), std::pair(1, 2));
  EXPECT_EQ(limits(0x8801), std::pair(1, 16));
  EXPECT_EQ(limits(0x8880), std::pair(0, 17));
  EXPECT_EQ(limits(0x8080), std::pair(0, 1));
  EXPECT_EQ(limits(0xFF80), std::pair(0, kNoMaximumCount));
  EXPECT_EQ(limits(0xFF81), std::pair(1, kNoMaximumCount));
  EXPECT_EQ(limits(2), std::pair(2, 2));
  EXPECT_EQ(CountRange(3, 5), 0x8283u);
  EXPECT_EQ(CountAtLeast(1), 0xFF81u);
  // Records as the compiler checks calls against them.
  EXPECT_EQ(limits(Find("sum")->inputCode), std::pair(1, 2));
  EXPECT_EQ(limits(Find("zeros")->inputCode), std::pair(1, 16));
  EXPECT_EQ(limits(Find("vertcat")->inputCode), std::pair(0, kNoMaximumCount));
  EXPECT_EQ(limits(Find("filter")->inputCode), std::pair(3, 5));
  EXPECT_EQ(limits(Find("unique")->outputCode), std::pair(1, 3));
}

TEST(Enumeration, BuiltinsThenNativesWithTheirLibraries) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  NativeFunctionRecord table[] = {
      MakeRecord("first"), MakeRecord("+write"), MakeRecord("@mylib"),
      MakeRecord("+read"), MakeRecord("9lives"), MakeRecord("alpha"),
      MakeRecord("!sw"),   MakeRecord("_beta"),  MakeRecord(""),
  };
  ASSERT_EQ(RegisterLibrary(ctx, table, true), kOk);
  const char* library = nullptr;
  bool switchable = true;
  EXPECT_STREQ(EnumBuiltins(ctx, 0, false, &library, &switchable), "abs");
  EXPECT_STREQ(library, "VKE");
  EXPECT_STREQ(EnumBuiltins(ctx, IndexOf("isfinite"), false, nullptr, nullptr), "isfinite");
  EXPECT_STREQ(EnumBuiltins(ctx, 256, false, nullptr, nullptr), "zeros");
  EXPECT_STREQ(EnumBuiltins(ctx, 257, false, &library, &switchable), "first");
  EXPECT_STREQ(library, "VKE");  // no header passed yet
  EXPECT_FALSE(switchable);
  EXPECT_STREQ(EnumBuiltins(ctx, 258, false, &library, &switchable), "alpha");
  EXPECT_STREQ(library, "mylib");
  EXPECT_FALSE(switchable);
  EXPECT_STREQ(EnumBuiltins(ctx, 259, false, &library, &switchable), "_beta");
  EXPECT_STREQ(library, "sw");
  EXPECT_TRUE(switchable);
  // Walking on reaches the end of the registry.
  int32_t i = 260;
  while (EnumBuiltins(ctx, i, false, nullptr, nullptr)) i++;
  EXPECT_LT(i, 260 + 1000);
  EXPECT_EQ(EnumBuiltins(ctx, -1, false, nullptr, nullptr), nullptr);

  EXPECT_STREQ(EnumBuiltins(ctx, 0, true, nullptr, nullptr), ";");
  EXPECT_STREQ(EnumBuiltins(ctx, 30, true, nullptr, nullptr), ".'");
  EXPECT_EQ(EnumBuiltins(ctx, 31, true, nullptr, nullptr), nullptr);
}

// ---- Dispatch ----

struct Recorded {
  int32_t nargin = -100, nargout = -100, option = -100;
};
Recorded gRecorded;
ErrCode Record(EngineContext*, int32_t nargin, int32_t nargout, int32_t option) {
  gRecorded = {nargin, nargout, option};
  return kOk;
}

Recorded CallRecorded(EngineContext* ctx, std::vector<int16_t> code) {
  BuiltinStandIn standIn(ctx, code[0], &Record);
  gRecorded = {};
  EXPECT_EQ(CallBuiltin(ctx, code.data()), kOk) << code[0];
  return gRecorded;
}

TEST(Dispatch, CountsComeFromTheInstructionAsItsLengthSays) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (int i = 0; i < 10; i++) PushRealScalar(ctx, i);
  // Every builtin reads exactly the operand words its instruction holds, and
  // agrees with the call code where it has one.
  for (int32_t op = 0; op < kOpcodeCount; op++) {
    if (!Row(op).fn) continue;
    std::vector<int16_t> code = {static_cast<int16_t>(op), 7, 9};
    int32_t words = GetInstructionLength(code.data()) - 1;
    Recorded r = CallRecorded(ctx, code);
    const BuiltinRecord* b = FindBuiltinById(op);
    EXPECT_EQ(r.nargin, IsVariableCount(b->inputCode) ? 7 : static_cast<int32_t>(b->inputCode));
    int32_t outWord = IsVariableCount(b->inputCode) ? 9 : 7;
    EXPECT_EQ(r.nargout,
              IsVariableCount(b->outputCode) ? outWord : static_cast<int32_t>(b->outputCode));
    EXPECT_EQ(words, IsVariableCount(b->inputCode) + IsVariableCount(b->outputCode)) << op;
    int32_t in, out;
    if (GetOpcodeInfo(code.data(), &in, &out) == kOk) {
      EXPECT_EQ(in, r.nargin) << op;
      EXPECT_EQ(out, r.nargout) << op;
    }
  }
  EXPECT_EQ(EntryCount(ctx), 10);
}

TEST(Dispatch, FamiliesShareAFunctionAndTellTheirMembersApart) {
  EXPECT_EQ(Row(kOpLdivide).option, '\\');
  EXPECT_EQ(Row(kOpSec).option, 'c' | kReciprocal);
  EXPECT_EQ(Row(kOpCos).option, 'c');
  EXPECT_EQ(Row(kOpSec).fn, Row(kOpCos).fn);
  EXPECT_EQ(Row(kOpSqueeze).fn, Row(kOpReshape).fn);
  EXPECT_EQ(Row(kOpSqueeze).option, kOptSqueeze);
  EXPECT_EQ(Row(kOpUInt16).option, static_cast<int32_t>(kCodeUInt16));
  EXPECT_NE(Row(kOpFliplr).fn, Row(kOpFlipud).fn);
}

TEST(Dispatch, RefusesWhatIsNotABuiltinCall) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 1);
  const int16_t jump[] = {kOpJump, 0}, native[] = {333, 0, 0}, negative[] = {-2};
  EXPECT_EQ(CallBuiltin(ctx, jump), kErrNotSupported);
  EXPECT_EQ(CallBuiltin(ctx, native), kErrNotSupported);
  EXPECT_EQ(CallBuiltin(ctx, negative), kErrNotSupported);
  // Input counts the stack cannot hold never reach the function.
  BuiltinStandIn standIn(ctx, kOpHorzcat, &Record);
  gRecorded = {};
  const int16_t tooMany[] = {kOpHorzcat, 2}, belowZero[] = {kOpHorzcat, -1};
  EXPECT_EQ(CallBuiltin(ctx, tooMany), kErrIllegal);
  EXPECT_EQ(CallBuiltin(ctx, belowZero), kErrIllegal);
  EXPECT_EQ(gRecorded.nargin, -100);
  const int16_t fits[] = {kOpHorzcat, 1};
  EXPECT_EQ(CallBuiltin(ctx, fits), kOk);
}

TEST(Dispatch, AnEngineWithoutTheTableRefusesBuiltins) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 2);
  PushRealScalar(ctx, 3);
  SetBuiltinHooks(ctx, nullptr);
  const int16_t plus[] = {kOpPlus};
  EXPECT_EQ(CallBuiltin(ctx, plus), kErrNotSupported);
  EXPECT_EQ(CallBuiltinOf(ctx, kOpColon, 2, 1), kErrNotSupported);
  EXPECT_EQ(EntryCount(ctx), 2);
  // The loop refuses the instruction too, scalar operands or not.
  Assembler a;
  a.Op(kOpPushOne).Op(kOpPushOne).Op(kOpPlus).Op(kOpHalt);
  EXPECT_EQ(RunBaseCode(ctx, a), kErrNotSupported);
  SetBuiltinHooks(ctx, RuntimeBuiltinHooks());
  PushRealScalar(ctx, 2);
  PushRealScalar(ctx, 3);
  EXPECT_EQ(CallBuiltin(ctx, plus), kOk);
  EXPECT_EQ(TopScalar(ctx), 5);
}

TEST(Dispatch, TheInstalledRowIsTheOneCalled) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // Scalar operands take the row's function once it has no scalar form.
  BuiltinStandIn standIn(ctx, kOpPlus, &Record);
  gRecorded = {};
  Assembler a;
  a.Op(kOpPushOne).Op(kOpPushOne).Op(kOpPlus).Op(kOpHalt);
  EXPECT_EQ(RunBaseCode(ctx, a), kOk);
  EXPECT_EQ(gRecorded.nargin, 2);
  EXPECT_EQ(gRecorded.option, '+');
}

TEST(Dispatch, RowsCarryTheCompilersFunctionsAndTheScalarForms) {
  // The builtins' own rows leave the compiler's functions to the host.
  EXPECT_EQ(kBuiltinDispatch[kOpFeval].fn, nullptr);
  EXPECT_EQ(Row(kOpFeval).fn, &FevalBuiltin);
  for (const CompilerBuiltinRow& row : CompilerBuiltinRows()) EXPECT_EQ(Row(row.opcode).fn, row.fn);
  EXPECT_EQ(Row(kOpPlus).scalarForm, ScalarForm::kPlus);
  EXPECT_EQ(Row(kOpMtimes).scalarForm, ScalarForm::kTimes);
  EXPECT_EQ(Row(kOpMtimes).scalarOption, '*');
  EXPECT_EQ(Row(kOpRem).scalarForm, ScalarForm::kArith);
  EXPECT_EQ(Row(kOpRem).scalarOption, '%');
  EXPECT_EQ(Row(kOpPower).scalarForm, ScalarForm::kNone);
  EXPECT_EQ(Row(kOpLt).scalarForm, ScalarForm::kCompare);
  EXPECT_EQ(Row(kOpLt).scalarOption, '<');
  EXPECT_EQ(Row(kOpSin).scalarForm, ScalarForm::kNone);
  EXPECT_EQ(Row(kOpAbs).scalarForm, ScalarForm::kUnary);
  EXPECT_EQ(Row(kOpAbs).scalarOption, 'a');
  EXPECT_EQ(Row(kOpFloor).scalarForm, ScalarForm::kUnary);
  EXPECT_EQ(Row(kOpFloor).scalarOption, 'f');
}

// ---- Builtins the dispatch carries out itself ----

ErrCode Call(EngineContext* ctx, std::vector<int16_t> code) {
  return CallBuiltin(ctx, code.data());
}

TEST(InlineBuiltins, Constants) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(Call(ctx, {kOpImagUnit}), kOk);
  NumericView v = ViewNumeric(ctx, 0);
  ASSERT_TRUE(v.complex);
  EXPECT_EQ(Load<double>(v.elements), 0);
  EXPECT_EQ(Load<double>(v.elements + 8), 1);
  ASSERT_EQ(Call(ctx, {kOpPi}), kOk);
  EXPECT_EQ(TopScalar(ctx), std::numbers::pi);
  ASSERT_EQ(Call(ctx, {kOpGoldenRatio}), kOk);
  EXPECT_EQ(TopScalar(ctx), (std::sqrt(5.0) + 1) * 0.5);
  ASSERT_EQ(Call(ctx, {kOpInfo}), kOk);
  EXPECT_EQ(TopString(ctx), "VKE 5.1");
  EXPECT_EQ(EntryCount(ctx), 4);
}

TEST(InlineBuiltins, RealAndIntegerCastsLetObjectsOverload) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(PushComplexScalar(ctx, 3, 4), kOk);
  ASSERT_EQ(Call(ctx, {kOpReal}), kOk);
  NumericView v = ViewNumeric(ctx, 0);
  EXPECT_EQ(v.cls, ValueClass::kDouble);
  EXPECT_FALSE(v.complex);
  EXPECT_EQ(TopScalar(ctx), 3);

  PushRealScalar(ctx, 7);
  ASSERT_EQ(Call(ctx, {kOpUInt16}), kOk);
  v = ViewNumeric(ctx, 0);
  EXPECT_EQ(v.cls, ValueClass::kInteger);
  EXPECT_EQ(v.code, kCodeUInt16);
  EXPECT_EQ(ReadIntegerElement(v.elements, v.code, 0), 7);

  PushRealScalar(ctx, -2);
  ASSERT_EQ(Call(ctx, {kOpInt64}), kOk);
  v = ViewNumeric(ctx, 0);
  EXPECT_EQ(v.code, kCodeInt64);
  EXPECT_EQ(ReadIntegerElement(v.elements, v.code, 0), -2);

  // A structure: 44, so that an object's class method is tried.
  PushRealScalar(ctx, 1);
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, "f", -1), kOk);
  EXPECT_EQ(Call(ctx, {kOpInt8}), kErrWrongTypeOverload);
  EXPECT_EQ(Call(ctx, {kOpReal}), kErrWrongTypeOverload);
  EXPECT_TRUE(IsStructValue(ctx, 0));
}

TEST(InlineBuiltins, AssertTestsItsFirstInput) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 99);
  PushRealScalar(ctx, 1);
  ASSERT_EQ(Call(ctx, {kOpAssert, 1}), kOk);
  EXPECT_EQ(EntryCount(ctx), 1);
  PushRealScalar(ctx, 0);
  PushCString(ctx, -1, "message");
  EXPECT_EQ(Call(ctx, {kOpAssert, 2}), kErrAssert);
  EXPECT_EQ(EntryCount(ctx), 1);
  EXPECT_EQ(TopScalar(ctx), 99);
  EXPECT_EQ(Call(ctx, {kOpAssert, 0}), kErrTooFewArgin);
}

TEST(InlineBuiltins, ArgumentCountsOfTheCurrentCall) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  uint32_t* frame = FrameWords(ctx, ctx->curFrame);
  frame[kFwInputsGiven] = 3;
  frame[kFwResultsWanted] = static_cast<uint32_t>(-1);  // a statement call counts as 0
  ASSERT_EQ(Call(ctx, {kOpNargin, 0}), kOk);
  EXPECT_EQ(TopScalar(ctx), 3);
  ASSERT_EQ(Call(ctx, {kOpNargout, 0}), kOk);
  EXPECT_EQ(TopScalar(ctx), 0);
  EXPECT_EQ(Call(ctx, {kOpNargin, 2}), kErrTooManyArgin);
  EXPECT_EQ(EntryCount(ctx), 2);
}

TEST(EngineBuiltins, ErrorBuiltinsAreReachedThroughTheDispatch) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushCString(ctx, -1, "careful");
  ASSERT_EQ(Call(ctx, {kOpWarning, 1}), kOk);
  EXPECT_NE(host.Output(2).find("careful"), std::string::npos);
  PushCString(ctx, -1, "broken");
  EXPECT_EQ(Call(ctx, {kOpError, 1}), kErrUser);
  ASSERT_EQ(Call(ctx, {kOpLasterror}), kOk);
  EXPECT_TRUE(IsStructValue(ctx, 0));
  EXPECT_EQ(Call(ctx, {kOpRethrow}), kErrUser);
}

}  // namespace
}  // namespace vke
