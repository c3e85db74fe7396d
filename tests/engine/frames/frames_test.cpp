// Call frames: calls of hand-built compiled and inline functions, returns,
// unwinding, the catch search, frame queries and the abort poll.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/entry_items.hpp"
#include "engine/frames/function_block.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::EntryCount;
using test::TestHost;
using test::TopScalar;

constexpr uint16_t kHalt = 322;

// A function block into zeroed memory: header, variable table, names (v0,
// v1 ... unless given) and one halt instruction.
void WriteBlock(uint8_t* p, FunctionHeader h, const std::vector<std::string>& names) {
  Store(p, h);
  for (uint32_t i = 0; h.HasNames() && i < h.vars; i++) {
    std::string name = i < names.size() ? names[i] : "v" + std::to_string(i);
    std::memcpy(p + 2 * (h.NamesAt() + kFnNameUnits * i), name.data(), name.size());
  }
  Store<uint16_t>(p + 2 * h.CodeAt(), kHalt);
}

// Adds a compiled function behind the code area's fill position.
int32_t AddFunction(EngineContext* ctx, FunctionHeader h, std::vector<std::string> names = {}) {
  uint32_t pos = (ctx->codeEnd + 3) & ~3u;
  std::memset(ctx->CodeBytes() + 2 * pos, 0, 2 * (h.CodeAt() + 1));
  WriteBlock(ctx->CodeBytes() + 2 * pos, h, names);
  int32_t index = static_cast<int32_t>(ctx->funcCount++);
  const int32_t entry[4] = {-1 - index, 0, static_cast<int32_t>(pos), 0};
  std::memcpy(ctx->CodeBytes() + 16 * index, entry, 16);
  ctx->codeEnd = pos + h.CodeAt() + 1;
  return index;
}

uint32_t* Frame(EngineContext* ctx) {
  return FrameWords(ctx, ctx->curFrame);
}
int32_t Word(EngineContext* ctx, int w) {
  return static_cast<int32_t>(Frame(ctx)[w]);
}
int32_t Slot(EngineContext* ctx, int32_t i) {
  return Word(ctx, kFrameHeaderWords + i);
}
double SlotScalar(EngineContext* ctx, int32_t i) {
  return Load<double>(BlockData(ctx, Slot(ctx, i)) + 16);
}

// Moves the value on top into variable i of the current frame.
void SetVariable(EngineContext* ctx, int32_t i) {
  int32_t block;
  ASSERT_EQ(AllocEngineBlock(ctx, DescAt(ctx, 0)->size + 2, &block), kOk);
  WriteEntryAsItem(ctx, 0, BlockData(ctx, block));
  Drop(ctx);
  Frame(ctx)[kFrameHeaderWords + i] = static_cast<uint32_t>(block);
}
void SetScalar(EngineContext* ctx, int32_t i, double v) {
  PushRealScalar(ctx, v);
  SetVariable(ctx, i);
}
void SetList(EngineContext* ctx, int32_t i, std::vector<double> values) {
  for (double v : values) PushRealScalar(ctx, v);
  ASSERT_EQ(PushListFromEntries(ctx, static_cast<int32_t>(values.size()), false, nullptr, 0), kOk);
  SetVariable(ctx, i);
}

// Every block but the error messages is free again: after those are freed
// the whole heap can be taken at once.
bool HeapIsFree(EngineContext* ctx) {
  for (int32_t* message : {&ctx->pendingError, &ctx->lastError}) {
    FreeEngineBlock(ctx, *message);
    *message = -1;
  }
  int32_t b;
  if (AllocEngineBlock(ctx, ctx->heapSize - 1, &b)) return false;
  FreeEngineBlock(ctx, b);
  return true;
}

// A shared function-table entry holding the scalar v in a block of its own
// (*value), and a variable block linking to such an entry.
int32_t AddSharedScalar(EngineContext* ctx, double v, int32_t* value) {
  PushRealScalar(ctx, v);
  EXPECT_EQ(AllocEngineBlock(ctx, 3, value), kOk);
  WriteEntryAsItem(ctx, 0, BlockData(ctx, *value));
  Drop(ctx);
  const auto shared = static_cast<int32_t>(ctx->funcCount++);
  const int32_t entry[4] = {1, 0, *value, -1};
  std::memcpy(ctx->CodeBytes() + 16 * shared, entry, 16);
  return shared;
}
int32_t LinkTo(EngineContext* ctx, int32_t shared) {
  int32_t link = 0;
  EXPECT_EQ(AllocEngineBlock(ctx, 3, &link), kOk);
  Store(BlockData(ctx, link), ValueDescriptor{kFlagReference, 1, 0});
  Store<int32_t>(BlockData(ctx, link) + 16, shared);
  return link;
}

CallInfo ReturnTo(uint32_t offset, bool callBack = false) {
  CallInfo info;
  info.returnTo = {kCodeArea, offset};
  info.callBack = callBack;
  return info;
}

TEST(CallCompiledFunction, MovesInputsIntoVariablesAndEntersTheCode) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t f = AddFunction(ctx, {0, 4, 2, 1}, {"y", "a", "b", "t"});
  PushRealScalar(ctx, 99);  // the caller's own entry
  const uint32_t frame = ctx->descTop, data = ctx->dataTop;
  PushRealScalar(ctx, 7);
  PushCString(ctx, -1, "hi");
  ASSERT_EQ(CallCompiledFunction(ctx, ReturnTo(40), f, 2, 1), kOk);
  EXPECT_EQ(ctx->curFrame, static_cast<int32_t>(frame));
  EXPECT_EQ(ctx->dataTop, data);
  EXPECT_EQ(Slot(ctx, 0), -1);
  EXPECT_EQ(SlotScalar(ctx, 1), 7.0);
  ASSERT_EQ(PushItem(ctx, BlockData(ctx, Slot(ctx, 2))), kOk);
  EXPECT_EQ(test::TopString(ctx), "hi");
  EXPECT_STREQ(GetVariableName(ctx, 2), "b");
  EXPECT_EQ(GetVariableName(ctx, 4), nullptr);
  EXPECT_EQ(ctx->cpKind, kCodeArea);
  EXPECT_EQ(Load<uint16_t>(ctx->CodeBytes() + ctx->cpOffset), kHalt);
  ASSERT_EQ(UnwindCallFrames(ctx, 0), kOk);
  EXPECT_EQ(EntryCount(ctx), 1);
  EXPECT_EQ(TopScalar(ctx), 99);
}

TEST(CallCompiledFunction, RefusalsLeaveTheStacksAndTheHeap) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t f = AddFunction(ctx, {0, 2, 1, 1});
  int32_t three = AddFunction(ctx, {0, 3, 3, 0});
  PushRealScalar(ctx, 1);
  ASSERT_EQ(PushZeroMatrix(ctx, 1, 40, false), kOk);
  PushRealScalar(ctx, 3);
  const uint32_t desc = ctx->descTop, data = ctx->dataTop;
  EXPECT_EQ(CallCompiledFunction(ctx, {}, f, 2, 1), kErrTooManyArgin);
  EXPECT_EQ(CallCompiledFunction(ctx, {}, f, 1, 2), kErrTooManyArgout);
  EXPECT_EQ(CallCompiledFunction(ctx, {}, f, 4, 1), kErrIllegal);  // only 3 entries
  for (int32_t bad : {99, 0, -3, kCallInline})                     // 0: the base workspace entry
    EXPECT_EQ(CallCompiledFunction(ctx, {}, bad, 0, 0), kErrIllegal) << bad;
  EXPECT_EQ(CallCompiledFunction(ctx, {}, kCallText, 1, 0), kErrIllegal);
  EXPECT_EQ(CallCompiledFunction(ctx, {}, kCallText, 0, 2), kErrTooManyArgout);
  // No room in the heap for the second input: the first one is put back.
  int32_t filler;
  ASSERT_EQ(AllocEngineBlock(ctx, ctx->heapSize - 5, &filler), kOk);
  EXPECT_EQ(CallCompiledFunction(ctx, {}, three, 3, 0), kErrVarOverflow);
  FreeEngineBlock(ctx, filler);
  const uint32_t cap = ctx->descCap;
  ctx->descCap = desc + 10;
  EXPECT_EQ(CallCompiledFunction(ctx, {}, three, 3, 0), kErrStackOverflow);
  ctx->descCap = cap;
  EXPECT_EQ(ctx->descTop, desc);
  EXPECT_EQ(ctx->dataTop, data);
  EXPECT_EQ(TopScalar(ctx, 2), 1);
  EXPECT_EQ(TopScalar(ctx, 0), 3);
  EXPECT_TRUE(HeapIsFree(ctx));
  // A single input without room, on its own short path, alike; once there
  // is room the same call goes through.
  ASSERT_EQ(AllocEngineBlock(ctx, ctx->heapSize - 2, &filler), kOk);
  EXPECT_EQ(CallCompiledFunction(ctx, {}, f, 1, 1), kErrVarOverflow);
  EXPECT_EQ(ctx->descTop, desc);
  EXPECT_EQ(ctx->dataTop, data);
  EXPECT_EQ(TopScalar(ctx), 3);
  FreeEngineBlock(ctx, filler);
  EXPECT_TRUE(HeapIsFree(ctx));
  ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 1, 1), kOk);
  EXPECT_EQ(SlotScalar(ctx, 1), 3.0);
  ASSERT_EQ(UnwindCallFrames(ctx, 0), kOk);
  EXPECT_TRUE(HeapIsFree(ctx));
}

TEST(CallCompiledFunction, VararginGathersTheSurplusInputs) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t f = AddFunction(ctx, {kFnVarargin, 3, 2, 0}, {"a", "varargin", "x"});
  for (double v : {1, 2, 3}) PushRealScalar(ctx, v);
  ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 3, 0), kOk);
  EXPECT_EQ(SlotScalar(ctx, 0), 1);
  ASSERT_EQ(PushItem(ctx, BlockData(ctx, Slot(ctx, 1))), kOk);
  ASSERT_EQ(GetListElement(ctx, 0, 2), kOk);
  EXPECT_EQ(TopScalar(ctx), 3);
  ASSERT_EQ(UnwindCallFrames(ctx, 0), kOk);
  // Without surplus inputs varargin is an empty list {4, 0, 0}.
  ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 0, 0), kOk);
  EXPECT_EQ(Slot(ctx, 0), -1);
  EXPECT_EQ(BlockUnits(ctx, Slot(ctx, 1)), 2u);
  const uint32_t empty[3] = {kFlagStructured, 0, 0};
  EXPECT_EQ(std::memcmp(BlockData(ctx, Slot(ctx, 1)), empty, 12), 0);
}

TEST(ReturnFromCall, ResultsReplaceTheFrameFirstOnTop) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t f = AddFunction(ctx, {0, 3, 1, 2}, {"p", "q", "x"});
  PushRealScalar(ctx, 5);
  ASSERT_EQ(CallCompiledFunction(ctx, ReturnTo(88, true), f, 1, 2), kOk);
  SetScalar(ctx, 0, 10);
  EXPECT_EQ(ReturnFromCall(ctx), kErrUndefVar);  // q is unset; the frame stays
  const char* text;
  ASSERT_TRUE(ReadErrorBlock(ctx, ctx->pendingError, nullptr, &text, nullptr));
  EXPECT_STREQ(text, "Undefined variable 'q'");
  SetScalar(ctx, 1, 20);
  PushRealScalar(ctx, 42);  // the frame's own entries go
  uint32_t again = 0;
  ASSERT_EQ(ReturnFromCall(ctx, &again), kOk);
  EXPECT_EQ(again, kContinueAtInstruction);
  EXPECT_EQ(ctx->curFrame, 0);
  EXPECT_EQ(ctx->cpOffset, 88u);
  EXPECT_EQ(EntryCount(ctx), 2);
  EXPECT_EQ(TopScalar(ctx, 0), 10);
  EXPECT_EQ(TopScalar(ctx, 1), 20);
  EXPECT_TRUE(HeapIsFree(ctx));
  // A statement call gives the first output when it is set, else the
  // no-value marker.
  Drop(ctx, 2);
  for (bool set : {false, true}) {
    PushRealScalar(ctx, 5);
    ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 1, -1), kOk);
    if (set) SetScalar(ctx, 0, 6);
    ASSERT_EQ(ReturnFromCall(ctx, &again), kOk);
    EXPECT_EQ(again, 0u);
    EXPECT_EQ(EntryCount(ctx), 1);
    EXPECT_EQ((DescAt(ctx, 0)->flags & kFlagNoValue) != 0, !set);
    Drop(ctx);
  }
  // Results that do not fit are raised for their variable.
  PushRealScalar(ctx, 5);
  ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 1, 1), kOk);
  SetScalar(ctx, 0, 6);
  const uint32_t cap = ctx->dataCap;
  ctx->dataCap = ctx->dataTop + 1;
  EXPECT_EQ(ReturnFromCall(ctx), kErrDataOverflowVar);
  ctx->dataCap = cap;
  EXPECT_EQ(ReturnFromCall(ctx), kOk);
}

TEST(ReturnFromCall, OneResultWithoutRoomForItsDescriptorLeavesTheFrame) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t f = AddFunction(ctx, {0, 2, 1, 1}, {"y", "x"});
  const uint32_t data = ctx->dataTop;
  for (int pass = 0; pass < 2; pass++) {  // the second call finds the function located
    PushRealScalar(ctx, 5);
    ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 1, 1), kOk);
    const int32_t frame = ctx->curFrame;
    SetScalar(ctx, 0, 6 + pass);
    // Entries of the frame's own on the second pass: they go with it.
    if (pass) {
      ASSERT_EQ(PushZeroMatrix(ctx, 2, 3, false), kOk);
    }
    const uint32_t cap = ctx->descCap;
    ctx->descCap = static_cast<uint32_t>(frame) + 3;
    EXPECT_EQ(ReturnFromCall(ctx), kErrStackOverflow);
    EXPECT_EQ(ctx->curFrame, frame);
    EXPECT_EQ(SlotScalar(ctx, 0), 6 + pass);
    ctx->descCap = cap;
    ASSERT_EQ(ReturnFromCall(ctx), kOk);
    EXPECT_EQ(EntryCount(ctx), 1);
    EXPECT_EQ(TopScalar(ctx), 6 + pass);
    EXPECT_EQ(ctx->dataTop, data + 1);
    Drop(ctx);
  }
  EXPECT_TRUE(HeapIsFree(ctx));
}

TEST(ReturnFromCall, VarargoutSuppliesTheResultsBeyondTheDeclaredOnes) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t f = AddFunction(ctx, {kFnVarargout, 2, 0, 2}, {"y", "varargout"});
  ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 0, 3), kOk);
  SetScalar(ctx, 0, 1);
  EXPECT_EQ(ReturnFromCall(ctx), kErrVarargoutNotList);  // unset
  SetScalar(ctx, 1, 2);
  EXPECT_EQ(ReturnFromCall(ctx), kErrVarargoutNotList);
  FreeEngineBlock(ctx, Slot(ctx, 1));
  SetList(ctx, 1, {2});
  EXPECT_EQ(ReturnFromCall(ctx), kErrNotEnoughVarargoutEl);
  FreeEngineBlock(ctx, Slot(ctx, 1));
  SetList(ctx, 1, {2, 3});
  ASSERT_EQ(ReturnFromCall(ctx), kOk);
  ASSERT_EQ(EntryCount(ctx), 3);
  for (int i = 0; i < 3; i++) EXPECT_EQ(TopScalar(ctx, i), i + 1);
  EXPECT_TRUE(HeapIsFree(ctx));
  // Only varargout, called as a statement: its first element.
  int32_t g = AddFunction(ctx, {kFnVarargout, 1, 0, 1});
  ASSERT_EQ(CallCompiledFunction(ctx, {}, g, 0, -1), kOk);
  SetList(ctx, 0, {7});
  ASSERT_EQ(ReturnFromCall(ctx), kOk);
  EXPECT_EQ(EntryCount(ctx), 4);
  EXPECT_EQ(TopScalar(ctx), 7);
}

TEST(ReturnFromCall, ManyArgumentsResultsAndSharedValues) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // More inputs and results than a frame header has words.
  int32_t many = AddFunction(ctx, {0, 31, 30, 1});
  for (int i = 0; i < 30; i++) PushRealScalar(ctx, i);
  ASSERT_EQ(CallCompiledFunction(ctx, {}, many, 30, 0), kOk);
  for (int i = 0; i < 30; i++) EXPECT_EQ(SlotScalar(ctx, 1 + i), i) << i;
  ASSERT_EQ(ReturnFromCall(ctx), kOk);

  // Variable 3 links to the shared value of function-table entry `shared`.
  int32_t value, link;
  const int32_t shared = AddSharedScalar(ctx, 40, &value);
  int32_t f = AddFunction(ctx, {0, 10, 0, 10});
  ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 0, 10), kOk);
  for (int32_t i = 0; i < 10; i++)
    if (i != 3) SetScalar(ctx, i, i + 1);
  link = LinkTo(ctx, shared);
  Frame(ctx)[kFrameHeaderWords + 3] = static_cast<uint32_t>(link);
  ASSERT_EQ(ReturnFromCall(ctx), kOk);
  ASSERT_EQ(EntryCount(ctx), 10);
  for (int32_t i = 0; i < 10; i++) EXPECT_EQ(TopScalar(ctx, i), i == 3 ? 40 : i + 1) << i;
  FreeEngineBlock(ctx, value);  // the shared value stayed; nothing else did
  EXPECT_TRUE(HeapIsFree(ctx));
}

TEST(ReturnFromCall, OneResultThroughALinkAndFramesWithoutVariables) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // The only output links to a shared value: the value is copied out and
  // stays, only the link goes.
  int32_t value, link;
  const int32_t shared = AddSharedScalar(ctx, 8, &value);
  int32_t f = AddFunction(ctx, {0, 2, 1, 1}, {"r", "n"});
  PushZeroMatrix(ctx, 2, 3, false);  // inputs of different sizes below the frame
  PushRealScalar(ctx, 4);
  const uint32_t desc = ctx->descTop, data = ctx->dataTop;
  ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 1, 1), kOk);
  EXPECT_EQ(SlotScalar(ctx, 1), 4);
  link = LinkTo(ctx, shared);
  Frame(ctx)[kFrameHeaderWords] = static_cast<uint32_t>(link);
  ASSERT_EQ(ReturnFromCall(ctx), kOk);
  EXPECT_EQ(ctx->descTop, desc);
  EXPECT_EQ(ctx->dataTop, data);
  EXPECT_EQ(TopScalar(ctx), 8);
  EXPECT_EQ(DescAt(ctx, 1)->size, 6u);
  EXPECT_EQ(Load<double>(BlockData(ctx, value) + 16), 8);
  Drop(ctx, 2);
  FreeEngineBlock(ctx, value);
  EXPECT_TRUE(HeapIsFree(ctx));
  // No variables at all: no result, the no-value marker for a statement.
  int32_t bare = AddFunction(ctx, {0, 0, 0, 0});
  for (int32_t outputs : {0, -1}) {
    ASSERT_EQ(CallCompiledFunction(ctx, {}, bare, 0, outputs), kOk);
    ASSERT_EQ(ReturnFromCall(ctx), kOk);
    EXPECT_EQ(EntryCount(ctx), outputs < 0 ? 1 : 0) << outputs;
    if (outputs < 0) {
      EXPECT_NE(DescAt(ctx, 0)->flags & kFlagNoValue, 0u);
    }
  }
  Drop(ctx);
  EXPECT_TRUE(HeapIsFree(ctx));
}

TEST(CallCompiledFunction, InlineFunctionsRunFromTheDataStack) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const FunctionHeader h{0, 2, 1, 1};
  const uint32_t bytes = 8 + 2 * (h.CodeAt() + 1);  // two empty texts, then the block
  void* data;
  ASSERT_EQ(PushTypedEntry(ctx, kKindInline, bytes, &data), kOk);
  std::memset(data, 0, bytes);
  WriteBlock(static_cast<uint8_t*>(data) + 8, h, {"y", "x"});
  PushRealScalar(ctx, 4);
  ASSERT_EQ(CallCompiledFunction(ctx, {}, kCallInline, 1, 1), kOk);
  EXPECT_STREQ(GetVariableName(ctx, 1), "x");
  EXPECT_EQ(ctx->cpKind, kCodeDataStack);
  EXPECT_EQ(Load<uint16_t>(ctx->DataBytes() + ctx->cpOffset), kHalt);
  SetScalar(ctx, 0, 16);
  ASSERT_EQ(ReturnFromCall(ctx), kOk);
  EXPECT_EQ(TopScalar(ctx, 0), 16);
  EXPECT_TRUE(IsTypedKind(*DescAt(ctx, 1), kKindInline));
}

TEST(ReturnToCaller, TextFramesShareVariablesAndKeepTheirResults) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 1);
  ASSERT_EQ(CallCompiledFunction(ctx, ReturnTo(12, true), kCallText, 0, 1), kOk);
  EXPECT_STREQ(GetVariableName(ctx, 0), "ans");  // the base frame's
  EXPECT_FALSE(IsInFunctionContext(ctx));
  PushRealScalar(ctx, 5);
  PushRealScalar(ctx, 6);
  uint32_t again = 0;
  ASSERT_EQ(ReturnToCaller(ctx, &again), kOk);
  EXPECT_EQ(again, kContinueAtInstruction);
  EXPECT_EQ(ctx->curFrame, 0);
  EXPECT_EQ(EntryCount(ctx), 2);
  EXPECT_EQ(TopScalar(ctx, 0), 6);
  ASSERT_EQ(CallCompiledFunction(ctx, {}, kCallText, 0, 1), kOk);  // no result left
  ASSERT_EQ(ReturnToCaller(ctx), kOk);
  EXPECT_EQ(EntryCount(ctx), 2);
  EXPECT_EQ(ReturnToCaller(ctx), kErrIllegal);  // never past the base frame
}

TEST(UnwindCallFrames, LevelsStopsAndTheBaseFrame) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetScalar(ctx, 0, 1);  // ans
  PushRealScalar(ctx, 100);
  int32_t level;
  ASSERT_EQ(GetStackLevel(ctx, &level), kOk);
  int32_t f = AddFunction(ctx, {0, 2, 1, 1});
  auto nest = [&] {
    for (int i = 0; i < 2; i++) {
      PushRealScalar(ctx, i);
      ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 1, 1), kOk);
      PushRealScalar(ctx, 50);
    }
  };
  nest();
  ctx->cpKind = kCodeArea;
  ASSERT_EQ(UnwindCallFrames(ctx, level), kOk);
  EXPECT_EQ(ctx->descTop, static_cast<uint32_t>(level));
  nest();
  const int32_t outer = PreviousFrame(ctx, ctx->curFrame);
  FrameWords(ctx, outer)[kFwDebugKind] = kCodeArea;
  ASSERT_EQ(UnwindCallFrames(ctx, -1), kOk);
  EXPECT_EQ(ctx->curFrame, outer);
  EXPECT_EQ(UnwindCallFrames(ctx, -2), kErrBadArg);
  ASSERT_EQ(UnwindCallFrames(ctx, 0), kOk);
  EXPECT_EQ(ctx->curFrame, 0);
  EXPECT_EQ(ctx->cpKind, kCodeNone);
  EXPECT_EQ(EntryCount(ctx), 1);
  EXPECT_EQ(SlotScalar(ctx, 0), 1.0);  // ans survives
  FreeEngineBlock(ctx, Slot(ctx, 0));
  EXPECT_TRUE(HeapIsFree(ctx));
}

TEST(FindCatchFrame, PopsToTheHandlerAndTrimsItsEntries) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t f = AddFunction(ctx, {0, 2, 1, 1});
  auto call = [&](CallInfo info) {
    PushRealScalar(ctx, 0);
    ASSERT_EQ(CallCompiledFunction(ctx, info, f, 1, 1), kOk);
  };
  call(ReturnTo(0));
  const int32_t outer = ctx->curFrame;
  const uint32_t handler[4] = {kCodeArea, 200, 1, 1};  // keeps 1 + 1 entries
  std::memcpy(Frame(ctx) + kFwCatchKind, handler, 16);
  for (int i = 1; i <= 3; i++) PushRealScalar(ctx, i);
  call(ReturnTo(0));
  call(ReturnTo(0));
  MarkFrameAsEntry(ctx);
  EXPECT_FALSE(FindCatchFrame(ctx, true, nullptr));  // not beyond a sandbox
  EXPECT_TRUE(FindCatchFrame(ctx, false, nullptr));
  EXPECT_NE(ctx->curFrame, outer);  // only asked
  SavedCodePointer at{};
  ASSERT_TRUE(FindCatchFrame(ctx, false, &at));
  EXPECT_EQ(ctx->curFrame, outer);
  EXPECT_EQ(at.offset, 200u);
  EXPECT_EQ(GetFrameEntryCount(ctx), 2);
  EXPECT_EQ(TopScalar(ctx), 2);
  // A frame called from native code ends the search.
  call({});
  call(ReturnTo(0));
  EXPECT_FALSE(FindCatchFrame(ctx, false, &at));
}

TEST(CallCompiledFunction, StepIntoAndEarlyBreakpointsStopAtTheFirstLine) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t f = AddFunction(ctx, {0, 0, 0, 0});
  int32_t g = AddFunction(ctx, {0, 0, 0, 0});
  ASSERT_EQ(AllocEngineBlock(ctx, 2, &ctx->bpTable), kOk);
  const int32_t pairs[4] = {g, 5, f, 0};
  std::memcpy(BlockData(ctx, ctx->bpTable), pairs, 16);
  ctx->bpCount = 2;
  ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 0, 0), kOk);
  EXPECT_EQ(Word(ctx, kFwStopRequest), 2);
  ASSERT_EQ(CallCompiledFunction(ctx, {}, g, 0, 0), kOk);
  EXPECT_EQ(Word(ctx, kFwStopRequest), 0);
  Frame(ctx)[kFwStopRequest] = kStepIntoCalls;
  ASSERT_EQ(CallCompiledFunction(ctx, {}, g, 0, 0), kOk);
  EXPECT_EQ(Word(ctx, kFwStopRequest), 2);
  // Called again, located before: the breakpoint still stops it.
  ASSERT_EQ(CallCompiledFunction(ctx, {}, f, 0, 0), kOk);
  EXPECT_EQ(Word(ctx, kFwStopRequest), 2);
  ASSERT_EQ(CallCompiledFunction(ctx, {}, g, 0, 0), kOk);
  EXPECT_EQ(Word(ctx, kFwStopRequest), 0);
}

TEST(FrameQueries, AFrameWithoutTheBaseBelowIt) {
  TestHost host(test::TestHostOptions{.reset = false});
  EngineContext* ctx = host.ctx();
  EXPECT_EQ(ReturnFromCall(ctx), kErrIllegal);
  EXPECT_FALSE(IsInFunctionContext(ctx));
  ASSERT_EQ(CallCompiledFunction(ctx, ReturnTo(0), kCallText, 0, 0), kOk);
  EXPECT_TRUE(IsInFunctionContext(ctx));
  SetErrorLocation(ctx, kErrIllegal, 0);  // walks off the bottom frame
  EXPECT_EQ(ctx->errLocFunc, -1);
  ASSERT_EQ(UnwindCallFrames(ctx, 0), kOk);
  EXPECT_EQ(ctx->curFrame, -1);
  EXPECT_EQ(ctx->descTop, 0u);
}

// A slice end forgets the first half of a debugger break even when no
// callback is installed to ask for a new one.
TEST(AbortPoll, ASliceEndWithoutACallbackForgetsAHalfBreak) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const AbortFn always = [](uintptr_t) { return true; };
  SetInterruptDebug(ctx, 1);
  SetHostCallbackPair(ctx, always, 0);
  EXPECT_FALSE(PollAbortRequest(ctx));  // the first of the two
  SetHostCallbackPair(ctx, nullptr, 0);
  EXPECT_FALSE(PollAbortRequest(ctx));
  EXPECT_EQ(CheckBreakAtSliceEnd(ctx), kStatusSuspended);
  SetHostCallbackPair(ctx, always, 0);
  EXPECT_FALSE(PollAbortRequest(ctx));  // a first one again
  EXPECT_TRUE(PollAbortRequest(ctx));
}

int g_aborts = 0;
ErrCode CountAbort(EngineContext*, uintptr_t, uintptr_t user) {
  g_aborts += static_cast<int>(user);
  return kOk;
}

TEST(AbortPoll, BreaksRunTheHooksAndTheDebuggerNeedsTwo) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  NativeFunctionRecord table[] = {
      MakeRecord("@aborts"), MakeRecord("+onabort", &CountAbort, 0, 0, 0, 0, 10), MakeRecord("")};
  ASSERT_EQ(RegisterLibrary(ctx, table, false), kOk);
  g_aborts = 0;
  EXPECT_FALSE(PollAbortRequest(ctx));
  host.ScriptBreaks({true});
  EXPECT_TRUE(PollAbortRequest(ctx));
  EXPECT_EQ(g_aborts, 10);
  SetInterruptDebug(ctx, 1);
  host.ScriptBreaks({true, true, true});
  EXPECT_FALSE(PollAbortRequest(ctx));
  EXPECT_TRUE(PollAbortRequest(ctx));
  EXPECT_FALSE(PollAbortRequest(ctx));
  EXPECT_EQ(CheckBreakAtSliceEnd(ctx), kStatusSuspended);  // and forgets that break
  host.ScriptBreaks({true, true});
  EXPECT_FALSE(PollAbortRequest(ctx));
  EXPECT_EQ(CheckBreakAtSliceEnd(ctx), kStatusDebug);
  EXPECT_EQ(Word(ctx, kFwStopRequest), 2);
  SetInterruptDebug(ctx, 0);
  host.ScriptBreaks({true});
  EXPECT_EQ(CheckBreakAtSliceEnd(ctx), kStatusHalted);
  EXPECT_EQ(g_aborts, 70);
}

}  // namespace
}  // namespace vke
