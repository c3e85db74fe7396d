// Calls set up without the execution loop: texts evaluated in a frame's
// scope, inline functions, the call builtins, calls from natives through
// the call-back protocol, fevalx, hasfeature and the pending-call queue.
#include "compiler/compile_calls.hpp"

#include <gtest/gtest.h>

#include <string>

#include "builtins/builtin.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/code_text.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::EntryCount;
using test::TestHost;
using test::TopScalar;
using test::TopString;

// ---- Test natives ----

ErrCode Twice(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  double x;
  if (ErrCode e = PopRealScalar(ctx, &x)) return e;
  return PushRealScalar(ctx, 2 * x);
}

// addtwo(a, b): a + b of two real matrices of one size.
ErrCode AddTwo(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  int32_t m, n, m2, n2;
  double *a, *b, *ai, *bi;
  if (GetNumericArg(ctx, 1, &m, &n, &a, &ai) || GetNumericArg(ctx, 0, &m2, &n2, &b, &bi) ||
      m != m2 || n != n2)
    return kErrIncompSize;
  std::vector<double> sum(static_cast<size_t>(m) * n);
  for (size_t i = 0; i < sum.size(); i++) sum[i] = a[i] + b[i];
  Drop(ctx, 2);
  double *re, *im;
  if (ErrCode e = PushNewMatrix(ctx, m, n, &re, &im)) return e;
  std::copy(sum.begin(), sum.end(), re);
  return kOk;
}

// iterate(f, x, n): f applied n times, through the call-back protocol.
ErrCode Iterate(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (nargin >= 0) {
    // [f, x, n] -> [n, f, x]: the count stays under the call.
    if (ErrCode e = RollStackEntries(ctx, 3, 2)) return e;
    return CallFunctionValue(ctx, 1, 1, 1, 1);
  }
  // Called back: [n, f, y].
  const double n = TopScalar(ctx, 2);
  if (n > 1) {
    Store<double>(DataAt(ctx, 2), n - 1);
    return CallFunctionValue(ctx, 1, 1, 1, 1);
  }
  return DropStackEntries(ctx, 1, 2);
}

// halve(x): x/2 of a real double scalar; 44 for any other class, as the
// natives that leave other classes to the engine's retry answer.
ErrCode HalveDoubles(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  if (ViewNumeric(ctx, 0).cls != ValueClass::kDouble) return kErrWrongTypeOverload;
  double x;
  if (ErrCode e = PopRealScalar(ctx, &x)) return e;
  return PushRealScalar(ctx, x / 2);
}

int g_steps = 0;
ErrCode Step(EngineContext*, int32_t, int32_t, uintptr_t) {
  g_steps++;
  return kOk;
}

const NativeFunctionRecord kTestNatives[] = {
    MakeRecord("@calltest"),
    MakeRecord("dbstep", &Step, 0, 0, 0, 0),
    MakeRecord("twice", &Twice, 1, 1, 0, 1),
    MakeRecord("addtwo", &AddTwo, 2, 2, 0, 1),
    MakeRecord("iterate", &Iterate, 3, 3, 0, 1),
    MakeRecord("halve", &HalveDoubles, 1, 1, 0, 1),
    MakeRecord(""),
};

struct Host : TestHost {
  Host() { EXPECT_EQ(RegisterLibrary(ctx(), kTestNatives, true), kOk); }
  // Puts the code pointer behind a call instruction of the native `name`,
  // as the loop does before it calls a native.
  void AtNativeCall(const char* name, int16_t inputs, int16_t outputs) {
    int32_t index, position;
    ASSERT_TRUE(FindLibraryRecord(ctx(), name, nullptr, 0, &index));
    ASSERT_EQ(ReserveCodeBlock(ctx(), 4, &position), kOk);
    auto* code = reinterpret_cast<int16_t*>(ctx()->CodeBytes()) + position;
    code[0] = static_cast<int16_t>(kFirstNativeOpcode + index);
    code[1] = inputs;
    code[2] = outputs;
    code[3] = kOpHalt;
    ctx()->cpKind = kCodeArea;
    ctx()->cpOffset = 2u * static_cast<uint32_t>(position + 3);
  }
};

void PushText(EngineContext* ctx, const std::string& s) {
  ASSERT_EQ(PushCString(ctx, static_cast<int32_t>(s.size()), s.data()), kOk);
}

std::string VariableName(EngineContext* ctx, int32_t i) {
  const char* name = GetVariableName(ctx, i);
  return name ? std::string(name, strnlen(name, 32)) : "(none)";
}

// ---- Texts ----

TEST(EvaluateText, RunsInTheFrameWithItsNewVariablesAppended) {
  Host host;
  EngineContext* ctx = host.ctx();
  const std::string text = "z = 5; w = z + 1;";
  ASSERT_EQ(
      EvaluateSourceText(ctx, text.data(), static_cast<int32_t>(text.size()), 0, 0, kEvalKeepAns),
      kOk);
  // The base frame holds ans, z, w; a text frame above it runs the code,
  // which is its first entry.
  ASSERT_GT(ctx->curFrame, 0);
  EXPECT_EQ(PreviousFrame(ctx, ctx->curFrame), 0);
  EXPECT_EQ(FrameWords(ctx, 0)[kFwVarCount], 3u);
  EXPECT_EQ(VariableName(ctx, 1), "z");
  EXPECT_EQ(VariableName(ctx, 2), "w");
  EXPECT_EQ(GetFrameEntryCount(ctx), 1);
  ASSERT_EQ(ctx->cpKind, kCodeDataStack);
  const auto* code = reinterpret_cast<const int16_t*>(ctx->DataBytes() + ctx->cpOffset);
  EXPECT_EQ(test::Disassemble(code, 11),
            "pushsmallint 5 storevar 1 loadvar 1 pushone plus storevar 2 halt");
}

TEST(EvaluateText, GrowingTheTableKeepsSlotsAndTheFramesAbove) {
  Host host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(EvaluateSourceText(ctx, "a = 1;", 6, 0, 0, kEvalKeepAns), kOk);
  const int32_t first = ctx->curFrame;
  // Past the base frame's 16 names: the frame is rebuilt, the text frame
  // above it moves and stays linked to it, and no slot moves.
  std::string text;
  for (int i = 0; i < 20; i++) text += "v" + std::to_string(i) + " = " + std::to_string(i) + ";";
  ASSERT_EQ(
      EvaluateSourceText(ctx, text.data(), static_cast<int32_t>(text.size()), 0, 0, kEvalKeepAns),
      kOk);
  EXPECT_EQ(FrameWords(ctx, 0)[kFwVarCount], 22u);
  EXPECT_EQ(VariableName(ctx, 0), "ans");
  EXPECT_EQ(VariableName(ctx, 1), "a");
  EXPECT_EQ(VariableName(ctx, 21), "v19");
  const int32_t moved = PreviousFrame(ctx, ctx->curFrame);
  EXPECT_GT(moved, first);
  EXPECT_EQ(PreviousFrame(ctx, moved), 0);
  // A compile error sets nothing up.
  const int32_t frame = ctx->curFrame;
  EXPECT_EQ(EvaluateSourceText(ctx, "x = 1 +", 7, 0, 0, kEvalKeepAns), kErrIncompleteExpr);
  EXPECT_EQ(ctx->curFrame, frame);
}

// A text's variables take room of the compilation's scratch: more than it
// holds is a shortage, which leaves the frame as it was for a run again in
// a grown area, where thousands of them compile.
TEST(EvaluateText, ManyVariablesAreAShortageOfRoomNotALimit) {
  std::string text;
  for (int i = 0; i < 6000; i++) text += "v" + std::to_string(i) + "=1;";
  const auto length = static_cast<int32_t>(text.size());
  {
    TestHost host;
    EngineContext* ctx = host.ctx();
    EXPECT_EQ(EvaluateSourceText(ctx, text.data(), length, 0, 0, kEvalKeepAns),
              kErrCompOutOfMemory);
    EXPECT_EQ(FrameWords(ctx, 0)[kFwVarCount], 1u);
    EXPECT_EQ(ctx->curFrame, 0);
  }
  test::TestHostOptions large;
  large.areaBytes = 64u << 20;
  TestHost host(large);
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(EvaluateSourceText(ctx, text.data(), length, 0, 0, kEvalKeepAns), kOk);
  EXPECT_EQ(FrameWords(ctx, 0)[kFwVarCount], 6001u);
  EXPECT_EQ(VariableName(ctx, 6000), "v5999");
}

TEST(EvaluateText, CommandLinesWhileStoppedInTheDebugger) {
  Host host;
  EngineContext* ctx = host.ctx();
  FrameWords(ctx, 0)[kFwDebugKind] = kCodeArea;  // stopped in the base frame
  g_steps = 0;
  ASSERT_EQ(CompileCommandLine(ctx, " \n", 2), kOk);
  EXPECT_EQ(g_steps, 1);
  EXPECT_EQ(ctx->curFrame, 0);
  ASSERT_EQ(CompileCommandLine(ctx, "q = 4;", 6), kOk);
  EXPECT_GT(ctx->curFrame, 0);
  EXPECT_EQ(VariableName(ctx, 1), "q");
}

TEST(EvaluateText, RunTextInFunctionScopeAndItsResults) {
  Host host;
  EngineContext* ctx = host.ctx();
  int32_t count = 1;
  ASSERT_EQ(RunTextInFunctionScope(ctx, "1 + 2", 5, &count), kOk);
  EXPECT_EQ(FrameWords(ctx, ctx->curFrame)[kFwResultsWanted], 1u);
  const auto* code = reinterpret_cast<const int16_t*>(ctx->DataBytes() + ctx->cpOffset);
  EXPECT_EQ(test::Disassemble(code, 5), "pushone pushsmallint 2 plus halt");
  // A text without a value cannot give one.
  EXPECT_EQ(RunTextInFunctionScope(ctx, "q = 1;", 6, &count), kErrIncorrectNargout);
}

// ---- Inline functions ----

TEST(InlineFunctions, BuiltFromTextWithCapturedValues) {
  Host host;
  EngineContext* ctx = host.ctx();
  PushText(ctx, "x^2");
  ASSERT_EQ(InlineBuiltin(ctx, 1, 1, 0), kOk);
  int32_t maxIn, maxOut;
  ASSERT_EQ(ResolveFunctionValue(ctx, 0, 0, &maxIn, &maxOut), kOk);
  EXPECT_EQ(maxIn, 1);
  EXPECT_EQ(maxOut, 1);
  ASSERT_EQ(Fun2strBuiltin(ctx, 1, 1, 0), kOk);
  EXPECT_EQ(TopString(ctx), "x^2");
  Drop(ctx);

  // What @(y) y + a makes when a is 3: the list of captured values comes
  // in as the first input.
  PushText(ctx, "y + a");
  PushText(ctx, "y");
  PushText(ctx, "a");
  PushRealScalar(ctx, 3);
  ASSERT_EQ(PushListFromEntries(ctx, 2, false, nullptr, 0), kOk);
  ASSERT_EQ(InlineBuiltin(ctx, 3, 1, 0), kOk);
  FunctionValue v;
  ASSERT_EQ(ReadFunctionValue(ctx, 0, 0, &v), kOk);
  EXPECT_TRUE(v.isInline && v.captured);
  EXPECT_EQ(v.header.inputs, 2);
  ASSERT_EQ(ResolveFunctionValue(ctx, 0, 0, &maxIn, &maxOut), kOk);
  EXPECT_EQ(maxIn, 1);
  // Called: a frame for inline code whose first entry is the value itself.
  PushRealScalar(ctx, 5);
  const int32_t entries = EntryCount(ctx);
  ASSERT_EQ(CallInlineFunction(ctx, 1, 1, false), kOk);
  const uint32_t* w = FrameWords(ctx, ctx->curFrame);
  EXPECT_EQ(static_cast<int32_t>(w[kFwFunction]), kCallInline);
  EXPECT_EQ(GetFrameEntryCount(ctx), 1);
  EXPECT_EQ(w[kFwInputsGiven], 2u);
  EXPECT_EQ(ctx->cpKind, kCodeDataStack);
  EXPECT_EQ(VariableName(ctx, 1), "_");
  EXPECT_EQ(VariableName(ctx, 3), "a");
  (void)entries;

  // Bad arguments.
  PushRealScalar(ctx, 1);
  EXPECT_EQ(InlineBuiltin(ctx, 1, 1, 0), kErrWrongTypeOverload);
  PushText(ctx, "x + ");
  EXPECT_EQ(InlineBuiltin(ctx, 1, 1, 0), kErrIncompleteExpr);
}

// ---- Call builtins ----

TEST(CallBuiltins, DealCopiesAndReorders) {
  Host host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 7);
  ASSERT_EQ(DealBuiltin(ctx, 1, 2, 0), kOk);
  EXPECT_EQ(EntryCount(ctx), 2);
  EXPECT_EQ(TopScalar(ctx, 1), 7);
  Drop(ctx, 2);
  for (double x : {1, 2, 3}) PushRealScalar(ctx, x);
  ASSERT_EQ(DealBuiltin(ctx, 3, 2, 0), kOk);
  EXPECT_EQ(EntryCount(ctx), 2);
  EXPECT_EQ(TopScalar(ctx, 0), 1);
  EXPECT_EQ(TopScalar(ctx, 1), 2);
  EXPECT_EQ(DealBuiltin(ctx, 2, 3, 0), kErrTooManyArgout);
  Drop(ctx, 2);
  ASSERT_EQ(DealBuiltin(ctx, 0, -1, 0), kOk);
  EXPECT_TRUE(DescAt(ctx, 0)->flags & kFlagNoValue);
}

TEST(CallBuiltins, FunctionValuesByNameAndReference) {
  Host host;
  EngineContext* ctx = host.ctx();
  PushText(ctx, "twice");
  ASSERT_EQ(Str2funBuiltin(ctx, 1, 1, 0), kOk);
  ASSERT_EQ(Fun2strBuiltin(ctx, 1, 1, 0), kOk);
  EXPECT_EQ(TopString(ctx), "twice");
  ASSERT_EQ(Str2funBuiltin(ctx, 1, 1, 0), kOk);
  PushRealScalar(ctx, 4);
  ASSERT_EQ(FevalBuiltin(ctx, 2, 1, 0), kOk);
  EXPECT_EQ(EntryCount(ctx), 1);
  EXPECT_EQ(TopScalar(ctx), 8);
  PushText(ctx, "twice");
  PushRealScalar(ctx, 5);
  ASSERT_EQ(BuiltinCallBuiltin(ctx, 2, 1, 0), kOk);
  EXPECT_EQ(TopScalar(ctx), 10);
  EXPECT_EQ(FevalBuiltin(ctx, 0, 1, 0), kErrTooFewArgin);
  PushText(ctx, "");
  EXPECT_EQ(FevalBuiltin(ctx, 1, 1, 0), kErrNullName);
  EXPECT_EQ(Str2funBuiltin(ctx, 1, 1, 0), kErrNullName);
  Drop(ctx);
  PushText(ctx, "nothere");
  EXPECT_EQ(FevalBuiltin(ctx, 1, 1, 0), kErrUndefFun);
  PushText(ctx, "twice");
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 2);
  EXPECT_EQ(FevalBuiltin(ctx, 3, 1, 0), kErrIncorrectNargin);
}

// A call by name (as code read from an image may make one) that claims more
// inputs than its frame holds is refused before any search reads below
// the frame: the method search, the library-type search, the native.
TEST(CallBuiltins, ACallByNameTakesNoInputFromBelowItsFrame) {
  Host host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 3);
  PushRealScalar(ctx, 4);
  for (const int32_t inputs : {3, 1024, -1}) {
    EXPECT_EQ(CallFunctionByName(ctx, "twice", 5, 0, inputs, 1), kErrIllegal) << inputs;
    EXPECT_EQ(CallFunctionByName(ctx, "nothere", 7, 0, inputs, 1), kErrIllegal) << inputs;
    ASSERT_EQ(EntryCount(ctx), 2);
  }
  ASSERT_EQ(CallFunctionByName(ctx, "twice", 5, 0, 1, 1), kOk);
  EXPECT_EQ(TopScalar(ctx), 8);
  EXPECT_EQ(TopScalar(ctx, 1), 3);
}

TEST(CallBuiltins, AFunctionValueRetriesTypedOperandsAsDoubles) {
  Host host;
  EngineContext* ctx = host.ctx();
  const int32_t one[] = {1, 1};
  void* element;
  PushText(ctx, "halve");
  ASSERT_EQ(PushNewTypedArray(ctx, 2, one, 1, false, &element), kOk);
  *static_cast<int8_t*>(element) = 9;
  ASSERT_EQ(FevalBuiltin(ctx, 2, 1, 0), kOk);
  EXPECT_EQ(EntryCount(ctx), 1);
  EXPECT_EQ(TopScalar(ctx), 4.5);
  PushText(ctx, "halve");
  PushText(ctx, "d");  // char code 100
  ASSERT_EQ(FevalBuiltin(ctx, 2, 1, 0), kOk);
  EXPECT_EQ(TopScalar(ctx), 50);
  // What no conversion serves is a final type error: the function value is
  // gone, so the calling instruction must not be tried again as it stood.
  PushText(ctx, "halve");
  ASSERT_EQ(PushListFromEntries(ctx, 0, false, nullptr, 0), kOk);
  EXPECT_EQ(FevalBuiltin(ctx, 2, 1, 0), kErrWrongType);
  EXPECT_EQ(EntryCount(ctx), 3);
}

TEST(CallBuiltins, ExistLooksAtVariablesFunctionsAndBuiltins) {
  Host host;
  EngineContext* ctx = host.ctx();
  auto exist = [&](const std::string& name, const std::string& kind) {
    PushText(ctx, name);
    if (!kind.empty()) PushText(ctx, kind);
    EXPECT_EQ(ExistBuiltin(ctx, kind.empty() ? 1 : 2, 1, 0), kOk);
    uint8_t found = 0;
    EXPECT_TRUE(IsLogicalArray(ctx, 0));
    EXPECT_EQ(GetBooleanArg(ctx, 0, &found), kOk);
    Drop(ctx);
    return found;
  };
  EXPECT_TRUE(exist("sin", ""));
  EXPECT_TRUE(exist("twice", "b"));
  EXPECT_FALSE(exist("twice", "v"));
  EXPECT_FALSE(exist("ans", ""));  // a variable without a value
  EXPECT_FALSE(exist("nothere", ""));
  EXPECT_FALSE(exist(std::string(32, 'a'), ""));
  // A name longer than any name can be is said to be one.
  PushText(ctx, std::string(100, 'a'));
  EXPECT_EQ(ExistBuiltin(ctx, 1, 1, 0), kErrNameTooLong);
  Drop(ctx);
  const std::string text = "function y = mine\n y = 1;\n";
  ASSERT_EQ(DefineSourceFunctions(ctx, text.data(), static_cast<int32_t>(text.size()), 0), kOk);
  EXPECT_TRUE(exist("mine", "f"));
  EXPECT_FALSE(exist("mine", "b"));
}

// ---- Calls from natives ----

TEST(CallsFromNatives, ANativeIteratesAFunctionThroughCallBacks) {
  Host host;
  EngineContext* ctx = host.ctx();
  host.AtNativeCall("iterate", 3, 1);
  PushText(ctx, "twice");
  PushRealScalar(ctx, 3);
  PushRealScalar(ctx, 4);
  ASSERT_EQ(InvokeNative(ctx, &Iterate, 0, 0, kContinueAtInstruction, 3, 1), kOk);
  EXPECT_EQ(EntryCount(ctx), 1);
  EXPECT_EQ(TopScalar(ctx), 48);
}

TEST(CallsFromNatives, ANativeIteratesAUserFunctionInTheLoop) {
  Host host;
  EngineContext* ctx = host.ctx();
  const std::string text =
      "disp(iterate('inc', 3, 4));\n"
      "disp(fevalx('inc', [1 2]));\n"
      "function y = inc(x)\n  y = x + 1;\nendfunction\n";
  ASSERT_EQ(CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size())), kOk);
  ErrCode e = ExecuteBytecode(ctx, 0);
  if (e == kErrNotSupported) GTEST_SKIP() << "needs the execution loop";
  EXPECT_EQ(e, kOk);
  EXPECT_EQ(host.Output(1), "         7\n         2         3\n");
}

TEST(CallsFromNatives, FevalxExpandsItsArgumentsToOneSize) {
  Host host;
  EngineContext* ctx = host.ctx();
  host.AtNativeCall("fevalx", 3, 1);
  PushText(ctx, "addtwo");
  double *re, *im;
  ASSERT_EQ(PushNewMatrix(ctx, 1, 3, &re, &im), kOk);
  re[0] = 1, re[1] = 2, re[2] = 3;
  PushRealScalar(ctx, 10);
  ASSERT_EQ(InvokeNative(ctx, &FevalxNative, 0, 0, kContinueAtInstruction, 3, 1), kOk);
  ASSERT_EQ(EntryCount(ctx), 1);
  int32_t m, n;
  ASSERT_EQ(GetNumericArg(ctx, 0, &m, &n, &re, &im), kOk);
  EXPECT_EQ(m, 1);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(std::vector<double>(re, re + 3), (std::vector<double>{11, 12, 13}));
  Drop(ctx);
  PushText(ctx, "addtwo");
  ASSERT_EQ(PushNewMatrix(ctx, 2, 3, &re, &im), kOk);
  ASSERT_EQ(PushNewMatrix(ctx, 3, 2, &re, &im), kOk);
  EXPECT_EQ(FevalxNative(ctx, 3, 1, 0), kErrIncompSize);
  Drop(ctx, 3);
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 1);
  EXPECT_EQ(FevalxNative(ctx, 2, 1, 0), kErrWrongTypeOverload);
  Drop(ctx, 2);
  // A name longer than any function's is not cut to one that may exist.
  for (int length : {33, 40, 80}) {
    PushText(ctx, std::string(length, 'a').c_str());
    PushRealScalar(ctx, 1);
    EXPECT_EQ(FevalxNative(ctx, 2, 1, 0), kErrFunNotFound) << length;
    Drop(ctx, 2);
  }
}

TEST(CallsFromNatives, HasFeatureAndThePendingCallQueue) {
  Host host;
  EngineContext* ctx = host.ctx();
  const auto features = reinterpret_cast<uintptr_t>(kRuntimeFeatures);
  uint8_t truth;
  PushText(ctx, "fileio");
  ASSERT_EQ(HasFeatureNative(ctx, 1, 1, features), kOk);
  ASSERT_EQ(GetBooleanArg(ctx, 0, &truth), kOk);
  EXPECT_EQ(truth, 1);
  PushText(ctx, "");
  ASSERT_EQ(HasFeatureNative(ctx, 1, 1, features), kOk);
  ASSERT_EQ(GetBooleanArg(ctx, 0, &truth), kOk);
  EXPECT_EQ(truth, 0);
  Drop(ctx, 2);

  // A function entry is called with its argument; a saved call pushes the
  // function value and its arguments and calls it.
  static uintptr_t seen = 0;
  using PendingFn = ErrCode (*)(EngineContext*, uintptr_t);
  PendingFn note = [](EngineContext*, uintptr_t a) -> ErrCode {
    seen = a;
    return kOk;
  };
  ASSERT_TRUE(AddCallArgument(nullptr, 0, 0, reinterpret_cast<uintptr_t>(ctx), 42,
                              reinterpret_cast<uintptr_t>(note)));
  PushText(ctx, "twice");
  PushRealScalar(ctx, 21);
  std::vector<uint8_t> record(8 + 8 * (GetEntryWordCount(ctx, 0) + GetEntryWordCount(ctx, 1)));
  Store<double>(record.data(), 1);
  CopyEntryToBytes(ctx, 1, record.data() + 8);
  CopyEntryToBytes(ctx, 0, record.data() + 8 + 8 * GetEntryWordCount(ctx, 1));
  Drop(ctx, 2);
  ASSERT_TRUE(AddCallArgumentValue(nullptr, 0, 0, reinterpret_cast<uintptr_t>(ctx),
                                   reinterpret_cast<uintptr_t>(record.data())));
  ASSERT_EQ(PrepareExecution(ctx, nullptr), kOk);
  EXPECT_EQ(seen, 42u);
  EXPECT_EQ(EntryCount(ctx), 0);
  ASSERT_EQ(PrepareExecution(ctx, nullptr), kOk);
  EXPECT_EQ(TopScalar(ctx), 42);
  EXPECT_EQ(ctx->pendingArgCount, 0u);
}

}  // namespace
}  // namespace vke
