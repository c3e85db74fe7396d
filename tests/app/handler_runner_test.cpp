// The handler runner. Handlers without a function make their inputs their
// outputs, which carries every kind of input and output through the runner
// without running code: constants, the reversed order, key names, figure
// size, _param, event inputs, the message, cursor, idle and clipboard
// outputs. Then the busy guard, the growth retry, the failures and the state
// a run leaves, and the calls of compiled handlers with the break test, the
// busy indicator and the debugger stop.
#include "app/handler_runner.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "app/error_place.hpp"
#include "app/host_clock.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/natives/app_files.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"
#include "compiler/compile.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/engine.hpp"
#include "engine/registry/native_record.hpp"
#include "engine/threads/threads.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/port.hpp"
#include "tests/app/handler_test_host.hpp"
#include "tests/host/assembler.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::Descriptor;
using test::ElementListBuilder;
using test::HandlerTestHost;
using test::RequestFor;

constexpr int32_t kA = 106, kB = 107, kC = 108, kD = 109;

constexpr int32_t Constant(int32_t n) {
  return n >= 0 ? (1 << 30) + n : n - (1 << 30);
}

// A host whose list holds one handler at a time.
class Runner : public ::testing::Test {
 protected:
  Runner() : h({kA, kB, kC, kD}) {}

  // Loads a list with one menu item of that descriptor and runs it.
  ErrCode RunOne(const Descriptor& d, HandlerRequest r = {}) {
    ElementListBuilder b;
    b.Instance(0, "app.kv").TextHandler(kElemMenuItem, "Item", d);
    EXPECT_EQ(h.Load(b), kOk);
    r.descriptor = static_cast<int32_t>(b.LastDescriptor());
    return h.Run(r);
  }
  ErrCode StoreList(int32_t variable, const std::vector<double>& items) {
    for (double v : items) PushRealScalar(h.ctx(), v);
    if (ErrCode e =
            PushListFromEntries(h.ctx(), static_cast<int32_t>(items.size()), false, nullptr, 0))
      return e;
    return StoreUndoValue(h.block(), 0, 0, variable);
  }
  ErrCode StoreMatrix(int32_t variable, int32_t rows, int32_t cols, std::vector<double> values) {
    double* re;
    if (ErrCode e = PushNewMatrix(h.ctx(), rows, cols, &re, nullptr)) return e;
    std::memcpy(re, values.data(), sizeof(double) * values.size());
    return StoreUndoValue(h.block(), 0, 0, variable);
  }
  InstanceRecord* Record() { return FindInstance(h.block(), 0); }

  HandlerTestHost h;
};

TEST_F(Runner, WithoutFunctionTheInputsBecomeTheOutputsInReverse) {
  ASSERT_EQ(h.SetScalar(kD, 42), kOk);
  Record()->changed = 0;
  const int32_t entries = test::EntryCount(h.ctx());
  ASSERT_EQ(RunOne({-1, {kA, kB, kC}, {Constant(5), Constant(-3), kD}}), kOk);
  EXPECT_EQ(h.Scalar(kA), 42);
  EXPECT_EQ(h.Scalar(kB), -3);
  EXPECT_EQ(h.Scalar(kC), 5);
  EXPECT_EQ(Record()->changed, 1);
  EXPECT_EQ(test::EntryCount(h.ctx()), entries);

  // Inputs beyond the outputs are dropped; outputs beyond the inputs would
  // take entries that are not the handler's.
  ASSERT_EQ(RunOne({-1, {kA}, {Constant(1), Constant(2)}}), kOk);
  EXPECT_EQ(h.Scalar(kA), 2);
  EXPECT_EQ(RunOne({-1, {kA, kB}, {Constant(7)}}), kErrTooManyArgout);
  EXPECT_EQ(h.Scalar(kA), 2);
  EXPECT_EQ(test::EntryCount(h.ctx()), entries);
}

TEST_F(Runner, KeyDescriptorAndFigureSizeInputs) {
  // Arrow keys by their low 16 bits, other keys as one character.
  const std::pair<uint32_t, std::string> keys[] = {
      {0xF700, "up"}, {0xF703, "right"}, {0x1F701, "down"}, {'a', "a"}, {0, ""}};
  for (const auto& [key, name] : keys) {
    HandlerRequest r;
    r.key = key;
    ASSERT_EQ(RunOne({-1, {kA}, {kVarKey}}, r), kOk);
    EXPECT_EQ(h.Text(kA), name) << key;
  }
  HandlerRequest r;
  r.fdValue = -7;
  ASSERT_EQ(RunOne({-1, {kA}, {kVarFd}}, r), kOk);
  EXPECT_EQ(h.Scalar(kA), -7);

  // Width and height: the figure extent times the port's scales.
  static GraphicsPort port{};
  port.pixelScale = [](double* sx, double* sy) { *sx = 2, *sy = 3; };
  double* rect = Record()->figure.rect;
  rect[0] = 1, rect[1] = 4, rect[2] = 5, rect[3] = 2;
  SetGraphicsPortFunctions(h.block(), &port);
  ASSERT_EQ(RunOne({-1, {kA, kB}, {kVarHeight, kVarWidth}}), kOk);
  EXPECT_EQ(h.Scalar(kA), 6);
  EXPECT_EQ(h.Scalar(kB), 9);
  SetGraphicsPortFunctions(h.block(), nullptr);
  ASSERT_EQ(RunOne({-1, {kA, kB}, {kVarHeight, kVarWidth}}), kOk);
  EXPECT_EQ(h.Scalar(kA), 3);
  EXPECT_EQ(h.Scalar(kB), 3);
}

TEST_F(Runner, EventInputsParamAndVersions) {
  EventState& ev = h.block()->event;
  ev.x = 3, ev.y = 4;
  ev.flags = kEventX | kEventY;
  HandlerRequest r;
  r.kind = kElemMouseDown;
  // Without an event the event inputs are [].
  for (int32_t code : {kVarX, kVarTheta, kVarRho1, kVarM, kVarAction}) {
    ASSERT_EQ(RunOne({-1, {kA}, {code}}, r), kOk);
    EXPECT_EQ(h.Count(kA), 0) << code;
  }
  // With one they are the values the natives give, angle, modulus and
  // action name included.
  r.event = true;
  ASSERT_EQ(RunOne({-1, {kA, kB, kC, kD}, {kVarAction, kVarRho, kVarTheta, kVarX}}, r), kOk);
  EXPECT_EQ(h.Scalar(kA), 3);
  EXPECT_DOUBLE_EQ(h.Scalar(kB), std::atan2(4.0, 3.0));
  EXPECT_EQ(h.Scalar(kC), 5);
  EXPECT_EQ(h.Text(kD), "mousedown");

  // _param is the object's entry of _ppl, with or without an event.
  ASSERT_EQ(StoreList(kVarPpl, {10, 20}), kOk);
  r = {};
  for (const int32_t object : {2, -1}) {
    r.objectId = object;
    ASSERT_EQ(RunOne({-1, {kA}, {kVarParam}}, r), kOk);
    EXPECT_EQ(h.Count(kA), 0) << object;
  }
  r.objectId = 1;
  ASSERT_EQ(RunOne({-1, {kA}, {kVarParam}}, r), kOk);
  EXPECT_EQ(h.Scalar(kA), 20);

  // Inputs one version back; a top-level handler stores into the current
  // version, a nested one asked for the previous version one back.
  ASSERT_EQ(h.SetScalar(kD, 1), kOk);
  ASSERT_EQ(PushUndoVersion(h.block()->UndoArea(), 0), kOk);
  ASSERT_EQ(h.SetScalar(kD, 2), kOk);
  r = {};
  r.previous = true;
  ASSERT_EQ(RunOne({-1, {kA}, {kD}}, r), kOk);
  EXPECT_EQ(h.Scalar(kA), 1);
  r.nested = true;
  ASSERT_EQ(ClearUndoValue(h.block()->UndoArea(), 0, 0, kB, false), kOk);
  ASSERT_EQ(RunOne({-1, {kB}, {Constant(8)}}, r), kOk);
  EXPECT_EQ(h.Scalar(kB, 1), 8);
  EXPECT_FALSE(h.HasValue(kB));
  // A version that does not exist gives [], not a failure.
  ASSERT_EQ(UndoSetStepBack(h.block()->UndoArea(), 0), kOk);
  r.nested = false;
  ASSERT_EQ(RunOne({-1, {kA}, {kD}}, r), kOk);
  EXPECT_EQ(h.Count(kA), 0);
}

TEST_F(Runner, MessageCursorIdleAndParamOutputs) {
  ASSERT_EQ(h.SetText(kA, "first\r\nsecond"), kOk);
  ASSERT_EQ(h.SetText(kB, "ab\ncd"), kOk);
  char message[32];
  int32_t length = -1;
  HandlerRequest r;
  r.message = message;
  r.messageCapacity = sizeof message;
  r.messageLength = &length;
  ASSERT_EQ(RunOne({-1, {kVarMsg}, {kA}}, r), kOk);
  EXPECT_EQ(std::string(message, length), "first");
  r.messageCapacity = 3;
  ASSERT_EQ(RunOne({-1, {kVarMsg}, {kA}}, r), kOk);
  EXPECT_EQ(std::string(message, length), "fir");
  // Without a length out the text ends with a NUL within the capacity.
  r.messageLength = nullptr;
  ASSERT_EQ(RunOne({-1, {kVarMsg}, {kA}}, r), kOk);
  EXPECT_STREQ(message, "fi");
  r.messageCapacity = sizeof message;
  ASSERT_EQ(RunOne({-1, {kVarMsg}, {kB}}, r), kOk);
  EXPECT_STREQ(message, "ab");

  ASSERT_EQ(RunOne({-1, {kVarCursor}, {Constant(0)}}), kOk);
  EXPECT_EQ(h.block()->cursor, 0u);
  ASSERT_EQ(RunOne({-1, {kVarCursor}, {Constant(3)}}), kOk);
  EXPECT_EQ(h.block()->cursor, 1u);

  ASSERT_EQ(h.SetScalar(kA, 0.25), kOk);
  ASSERT_EQ(RunOne({-1, {kVarIdleRate}, {kA}}), kOk);
  EXPECT_EQ(Record()->idleMode, kIdleModeRate);
  EXPECT_EQ(Record()->idleValue, 0.25);
  ASSERT_EQ(StoreMatrix(kA, 1, 2, {3, 4}), kOk);
  ASSERT_EQ(RunOne({-1, {kVarIdleAmount}, {kA}}), kOk);
  EXPECT_EQ(Record()->idleMode, kIdleModeAmount);
  EXPECT_EQ(Record()->idleValue, 3);
  ASSERT_EQ(RunOne({-1, {kVarIdleAmount}, {kC}}), kOk);  // [] stops the pacing
  EXPECT_EQ(Record()->idleMode, kIdleModeNone);

  // _param becomes the object's entry of _ppl, padded with [].
  ASSERT_EQ(StoreList(kVarPpl, {1}), kOk);
  HandlerRequest p;
  p.objectId = 2;
  ASSERT_EQ(RunOne({-1, {kVarParam}, {Constant(9)}}, p), kOk);
  EXPECT_EQ(PushUndoValue(h.block(), 0, 0, kVarPpl), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetListParts(h.ctx(), 0, &parts), kOk);
  EXPECT_EQ(parts.elements, 3);
  ASSERT_EQ(GetListElement(h.ctx(), 0, 3), kOk);
  EXPECT_EQ(test::TopScalar(h.ctx()), 9);
  ASSERT_EQ(GetListElement(h.ctx(), 1, 2), kOk);
  EXPECT_EQ(ViewNumeric(h.ctx(), 0).shape.count, 0);
  ASSERT_EQ(GetListElement(h.ctx(), 2, 1), kOk);
  EXPECT_EQ(test::TopScalar(h.ctx()), 1);
  Drop(h.ctx(), 4);
}

TEST_F(Runner, ClipboardTextOfMatricesStringsAndTypes) {
  char text[256];
  int32_t written = -1;
  HandlerRequest r;
  r.data = text;
  r.dataLength = sizeof text;
  r.dataWritten = &written;
  auto clipboard = [&] { return std::string(text, written); };

  ASSERT_EQ(StoreMatrix(kA, 2, 2, {1, 2.5, -3, 1e-20}), kOk);
  ASSERT_EQ(RunOne({-1, {kVarXData}, {kA}}, r), kOk);
  EXPECT_EQ(clipboard(), "1\t2.5\r\n-3\t1e-20\r\n");
  h.block()->newlineMode = 1;
  ASSERT_EQ(StoreMatrix(kA, 1, 2, {0.1, 1.0 / 3}), kOk);
  ASSERT_EQ(RunOne({-1, {kVarXData}, {kA}}, r), kOk);
  EXPECT_EQ(clipboard(), "0.1\t0.333333333333333\n");
  h.block()->newlineMode = 2;
  ASSERT_EQ(h.SetText(kB, "as\nit is"), kOk);
  ASSERT_EQ(RunOne({-1, {kVarXData}, {kB}}, r), kOk);
  EXPECT_EQ(clipboard(), "as\nit is");

  // The type line, with a link line when there is a link id.
  ASSERT_EQ(h.SetText(kC, "my \"kind\""), kOk);
  r.linkId = 7;
  ASSERT_EQ(RunOne({-1, {kVarXDataType}, {kC}}, r), kOk);
  EXPECT_EQ(clipboard(), "%KV xdata \"my 'kind'\"\r\n%KV link 00 07\r\n");
  r.linkId = -1;
  ASSERT_EQ(RunOne({-1, {kVarXDataType}, {kC}}, r), kOk);
  EXPECT_EQ(clipboard(), "%KV xdata \"my 'kind'\"\r\n");

  // Each number needs 50 free bytes; a full buffer is an exhausted resource.
  r.dataLength = 55;
  r.allowGrowth = false;
  ASSERT_EQ(StoreMatrix(kA, 2, 2, {1, 2, 3, 4}), kOk);
  EXPECT_EQ(RunOne({-1, {kVarXData}, {kA}}, r), kKvExhaustedRsrc);
  r.dataLength = 12;
  EXPECT_EQ(RunOne({-1, {kVarXDataType}, {kC}}, r), kKvExhaustedRsrc);

  // Without a buffer the outputs are only dropped.
  ASSERT_EQ(RunOne({-1, {kVarXData, kVarXDataType}, {kC, kA}}), kOk);

  // Pasted bytes without a type line are text; the type line names the type.
  HandlerRequest paste;
  std::string pasted = "plain\r\ntext";
  paste.data = pasted.data();
  paste.dataLength = static_cast<int32_t>(pasted.size());
  ASSERT_EQ(RunOne({-1, {kA, kB}, {kVarXDataType, kVarXData}}, paste), kOk);
  EXPECT_EQ(h.Text(kA), pasted);
  EXPECT_EQ(h.Text(kB), "text");
  pasted = "%KV xdata \"poly\"\r\n[1 2]";
  paste.data = pasted.data();
  paste.dataLength = static_cast<int32_t>(pasted.size());
  ASSERT_EQ(RunOne({-1, {kB}, {kVarXDataType}}, paste), kOk);
  EXPECT_EQ(h.Text(kB), "poly");
  paste.dataLength = 0;
  ASSERT_EQ(RunOne({-1, {kA, kB}, {kVarXDataType, kVarXData}}, paste), kOk);
  EXPECT_EQ(h.Text(kA), "");
  EXPECT_EQ(h.Text(kB), "");
}

// A clock the tests move: the seconds of the fake clock since the area's
// last restart.
int g_timerStarts = 0;
double FakeTimer(void* area, int32_t, int32_t restart) {
  const double elapsed = test::TestHost::Now() - Load<double>(area);
  if (restart) {
    Store<double>(area, test::TestHost::Now());
    g_timerStarts++;
  }
  return elapsed;
}

std::vector<std::pair<int32_t, double>> g_busyCalls;
void RecordBusy(int32_t on, double seconds, uintptr_t) {
  g_busyCalls.emplace_back(on, seconds);
}

TEST_F(Runner, BusyRunRefusesBeforeTheTimerAndTheMakePass) {
  alignas(8) uint8_t records[6 * 8] = {};
  SetEngineTimeCallbacks(h.block(), &FakeTimer, records, 8);
  SetShowBusyCallback(h.block(), &RecordBusy, 0);
  ElementListBuilder b;
  b.Instance(0, "app.kv").Handler(kElemMake, {-1, {kB}, {kA}});
  b.TextHandler(kElemMenuItem, "Read", {-1, {kC}, {kB}});
  ASSERT_EQ(h.Load(b), kOk);
  ASSERT_EQ(h.SetScalar(kA, 5), kOk);

  h.block()->handlerBusy = 1;
  g_timerStarts = 0;
  g_busyCalls.clear();
  EXPECT_EQ(h.Run(RequestFor(b)), kStatusNoPrint);
  EXPECT_EQ(g_timerStarts, 0);
  EXPECT_FALSE(h.HasValue(kB));
  EXPECT_FALSE(h.HasValue(kC));
  EXPECT_EQ(h.block()->handlerBusy, 1);
  // A nested run passes the guard but runs no make element.
  HandlerRequest nested = RequestFor(b);
  nested.nested = true;
  ASSERT_EQ(h.Run(nested), kOk);
  EXPECT_EQ(h.Count(kC), 0);
  EXPECT_EQ(h.block()->handlerBusy, 1);

  h.block()->handlerBusy = 0;
  ASSERT_EQ(h.Run(RequestFor(b)), kOk);
  EXPECT_EQ(g_timerStarts, 1);
  EXPECT_EQ(h.Scalar(kC), 5);
  EXPECT_EQ(h.block()->handlerBusy, 0);
  EXPECT_TRUE(g_busyCalls.empty());  // never shown, never switched off
}

TEST_F(Runner, MemoryFailuresGrowTheBlockAndRunAgain) {
  // Pasted text too large for the engine's stack and the undo buffer of a
  // 1 MiB block.
  std::string pasted(200000, 'x');
  HandlerRequest r;
  r.data = pasted.data();
  r.dataLength = static_cast<int32_t>(pasted.size());
  r.allowGrowth = false;
  const ErrCode refused = RunOne({-1, {kA}, {kVarXData}}, r);
  EXPECT_TRUE(IsMemoryCode(refused)) << refused;
  EXPECT_EQ(h.growths(), 0);
  EXPECT_FALSE(h.HasValue(kA));

  r.allowGrowth = true;
  const int32_t entries = test::EntryCount(h.ctx());
  ASSERT_EQ(RunOne({-1, {kA}, {kVarXData}}, r), kOk);
  EXPECT_GT(h.growths(), 0);
  EXPECT_EQ(h.Count(kA), 200000);
  EXPECT_NE(h.Output(2).find("KV memory expanded to"), std::string::npos);
  EXPECT_EQ(test::EntryCount(h.ctx()), entries);
}

TEST_F(Runner, FailuresAndTheStateARunLeaves) {
  KVContextBlock* b = h.block();
  const int32_t entries = test::EntryCount(h.ctx());
  HandlerRequest r;
  r.instance = 99;
  EXPECT_EQ(RunOne({-1, {kA}, {Constant(1)}}, r), kKvNonexistentInstance);
  EXPECT_EQ(b->handlerBusy, 0);
  r = {};
  r.descriptor = 100000;
  EXPECT_EQ(h.Run(r), kKvUndefElement);
  // A function id the name buffer does not know; the cursor output of a
  // failed handler resets the cursor.
  b->cursor = 1;
  EXPECT_EQ(RunOne({5000, {kVarCursor}, {Constant(1)}}), kKvVarNotFound);
  EXPECT_EQ(b->cursor, 0u);
  // A failing input leaves no entries behind.
  EXPECT_EQ(RunOne({-1, {kA, kB}, {Constant(1), 4321}}), kKvVarNotFound);
  EXPECT_EQ(test::EntryCount(h.ctx()), entries);
  // The first failure is kept for the host until it takes it.
  EXPECT_EQ(TakeHandlerFailure(b), kKvNonexistentInstance);
  EXPECT_EQ(TakeHandlerFailure(b), kOk);
  // A nested run's failure is its caller's; a refused run is no failure.
  r = {};
  r.nested = true;
  EXPECT_EQ(RunOne({5000, {kA}, {Constant(1)}}, r), kKvVarNotFound);
  b->handlerBusy = 1;
  EXPECT_EQ(RunOne({5000, {kA}, {Constant(1)}}), kStatusNoPrint);
  b->handlerBusy = 0;
  EXPECT_EQ(TakeHandlerFailure(b), kOk);

  // Afterwards no handler is named; the event word is kept when an event
  // was given.
  b->eventStamp = 77;
  r = {};
  r.kind = kElemMouseUp;
  r.objectId = 3;
  ASSERT_EQ(RunOne({-1, {}, {}}, r), kOk);
  EXPECT_NE(b->handledEventStamp, 77u);
  r.event = true;
  ASSERT_EQ(RunOne({-1, {}, {}}, r), kOk);
  EXPECT_EQ(b->handledEventStamp, 77u);
  EXPECT_EQ(b->handlerKind, 0u);
  EXPECT_EQ(b->nativeCall.instanceId, 0u);
  EXPECT_EQ(b->capture.currentObject, -1);
}

// ---- Compiled handlers ----

// Break tests that answer from a script and move the fake clock.
int g_breakCalls = 0;
int g_breakAt = 0;
double g_clockStep = 0;
bool ScriptedBreak(uintptr_t) {
  test::TestHost::AdvanceClock(g_clockStep);
  return ++g_breakCalls == g_breakAt;
}

// "shortonce": once armed, its next call fails for lack of room in the
// element list, a shortage that the engine cannot wait out in place; or, with
// g_shortCode set so, in the figure's store, which it can.
bool g_shortOnce = false;
ErrCode g_shortCode = kKvNotEnoughMemForKVFile;
ErrCode ShortOnce(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  if (std::exchange(g_shortOnce, false)) return g_shortCode;
  return nargout < 0 ? PushNoValue(ctx) : kOk;
}
// "narrowonce(text)": reads its text as natives read options (narrowed in
// place on the stack); once armed, it then fails for lack of room on the
// stack. It gives 1 when the text it read is "gain".
ErrCode NarrowOnce(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  const char* text;
  int32_t length;
  if (nargin != 1 || GetStringArg(ctx, 0, &text, &length)) return kErrWrongType;
  if (std::exchange(g_shortOnce, false)) return kErrDataOverflow;
  const bool same = std::string(text, static_cast<size_t>(length)) == "gain";
  Drop(ctx);
  return PushRealScalar(ctx, same ? 1 : 0);
}
const NativeFunctionRecord kShortOnceTable[] = {
    MakeRecord("@shortonce"), MakeRecord("shortonce", &ShortOnce),
    MakeRecord("narrowonce", &NarrowOnce, 1, 1, 0, 1), MakeRecord("")};

// Handlers assembled as compiled functions: "swap" gives its two inputs back
// exchanged; "spin" counts its input up for ever, one round per slice.
class CompiledHandlers : public Runner {
 protected:
  void SetUp() override {
    test::Assembler swap;
    swap.Op(kOpLoadVar, {3}).Op(kOpStoreVar, {0}).Op(kOpLoadVar, {2}).Op(kOpStoreVar, {1});
    swap.Op(kOpReturn);
    test::InstallFunction(h.ctx(), {"swap", 2, 2, {"p", "q", "a", "b"}}, swap);
    test::Assembler spin;
    spin.Op(kOpLoadVar, {1}).Op(kOpStoreVar, {0});
    spin.Label("round").Op(kOpIncVar, {0}).Jump(kOpJump, "round");
    test::InstallFunction(h.ctx(), {"spin", 1, 1, {"r", "a"}}, spin);
    void* names = h.block()->NameArea();
    ASSERT_EQ(AddNameSlot(names, kSwap, "swap", -1), kOk);
    ASSERT_EQ(AddNameSlot(names, kSpin, "spin", -1), kOk);
    ASSERT_EQ(AddNameSlot(names, kMissing, "nosuchfunction", -1), kOk);
    g_breakCalls = 0;
    g_breakAt = 0;
    g_clockStep = 0;
    g_busyCalls.clear();
    g_shortOnce = false;
    g_shortCode = kKvNotEnoughMemForKVFile;
    ASSERT_EQ(RegisterEngineLibrary(h.block(), kShortOnceTable), kOk);
  }

  // Defines the functions of the source and names the first as `id`.
  void Define(const std::string& source, int32_t id, const char* name) {
    ASSERT_EQ(DefineSourceFunctions(h.ctx(), source.data(), static_cast<int32_t>(source.size()), 0),
              kOk);
    ASSERT_EQ(AddNameSlot(h.block()->NameArea(), id, name, -1), kOk);
  }

  // Installs the scripted break test as the runner's alone (the engine keeps
  // its own): handlers then run in slices.
  void UseBreakTest() {
    h.block()->breakTest = &ScriptedBreak;
    h.block()->breakTestArg = 0;
  }

  // Outputs in their order, the entry option, an unknown function.
  void ExpectCallsServed() {
    const int32_t entries = test::EntryCount(h.ctx());
    ASSERT_EQ(RunOne({kSwap, {kA, kB}, {Constant(5), Constant(3)}}), kOk);
    EXPECT_EQ(h.Scalar(kA), 3);
    EXPECT_EQ(h.Scalar(kB), 5);
    Record()->entryOption = 1;  // handler calls start as entry frames
    ASSERT_EQ(RunOne({kSwap, {kC, kD}, {Constant(4), kA}}), kOk);
    EXPECT_EQ(h.Scalar(kC), 3);
    Record()->entryOption = 0;
    h.ClearOutput();
    EXPECT_EQ(RunOne({kMissing, {kC}, {Constant(1)}}), kErrUndefFun);
    EXPECT_NE(h.Output(2).find("Undefined function 'nosuchfunction'"), std::string::npos)
        << h.Output(2);
    EXPECT_EQ(test::EntryCount(h.ctx()), entries);
  }

  // The clipboard text of variable `data` (of type `type`, a text variable)
  // as a copy handler writes it.
  std::string Copy(int32_t data, int32_t type, int32_t linkId = -1) {
    char text[512];
    int32_t written = 0;
    HandlerRequest copy;
    copy.data = text;
    copy.dataLength = sizeof text;
    copy.dataWritten = &written;
    copy.linkId = linkId;
    EXPECT_EQ(RunOne({-1, {kVarXData, kVarXDataType}, {type, data}}, copy), kOk);
    return std::string(text, written);
  }
  // Runs the handler with the text pasted.
  ErrCode Paste(const Descriptor& d, std::string text) {
    HandlerRequest paste;
    paste.data = text.data();
    paste.dataLength = static_cast<int32_t>(text.size());
    return RunOne(d, paste);
  }

  static constexpr int32_t kSwap = 200, kSpin = 201, kMissing = 202;
};

TEST_F(CompiledHandlers, RunWhole) {
  ExpectCallsServed();
}

TEST_F(CompiledHandlers, RunInSlices) {
  UseBreakTest();
  ExpectCallsServed();
}

TEST_F(CompiledHandlers, BreakBetweenSlicesStopsWith500) {
  UseBreakTest();
  g_breakCalls = 0;
  g_breakAt = 3;
  const int32_t entries = test::EntryCount(h.ctx());
  h.ClearOutput();
  EXPECT_EQ(RunOne({kSpin, {kD}, {Constant(1)}}), kStatusSuspended);
  EXPECT_EQ(g_breakCalls, 3);
  EXPECT_NE(h.Output(2).find("Execution halted"), std::string::npos);
  EXPECT_FALSE(h.HasValue(kD));
  EXPECT_EQ(test::EntryCount(h.ctx()), entries);
  EXPECT_EQ(h.block()->handlerBusy, 0);
  // Nothing of the stopped run is left: the next handler runs and returns
  // to its caller, not into the stopped code.
  ASSERT_EQ(RunOne({kSwap, {kA, kB}, {Constant(1), Constant(2)}}), kOk);
  EXPECT_EQ(h.Scalar(kA), 2);
}

TEST_F(CompiledHandlers, BusyIndicatorAfterHalfASecondThenEveryTenth) {
  UseBreakTest();
  alignas(8) uint8_t records[6 * 8] = {};
  SetEngineTimeCallbacks(h.block(), &FakeTimer, records, 8);
  SetShowBusyCallback(h.block(), &RecordBusy, 0);
  g_breakCalls = 0;
  g_clockStep = 0.15;  // each slice takes 0.15 s
  g_breakAt = 8;
  EXPECT_EQ(RunOne({kSpin, {kD}, {Constant(1)}}), kStatusSuspended);
  const double shown[] = {0.6, 0.75, 0.9, 1.05};
  ASSERT_EQ(g_busyCalls.size(), 5u);
  for (size_t i = 0; i < 4; i++) {
    EXPECT_EQ(g_busyCalls[i].first, 1);
    EXPECT_NEAR(g_busyCalls[i].second, shown[i], 1e-9);
  }
  EXPECT_EQ(g_busyCalls[4], (std::pair<int32_t, double>{0, 0}));

  // A short run never shows it, and never switches it off.
  g_busyCalls.clear();
  g_breakAt = 0;
  ASSERT_EQ(RunOne({kSwap, {kA, kB}, {Constant(1), Constant(1)}}), kOk);
  EXPECT_TRUE(g_busyCalls.empty());
}

TEST_F(CompiledHandlers, DebuggerStopCannotStepAndUnwinds) {
  UseBreakTest();
  // The engine's break check at the end of a slice enters the debugger.
  h.ctx()->interruptDebug = 1;
  SetHostCallbackPair(h.ctx(), &ScriptedBreak, 0);
  g_breakCalls = 0;
  g_breakAt = 1;
  h.block()->breakTest = [](uintptr_t) { return false; };
  const int32_t entries = test::EntryCount(h.ctx());
  h.ClearOutput();
  EXPECT_EQ(RunOne({kSpin, {kD}, {Constant(1)}}), kStatusDebug);
  EXPECT_NE(h.Output(2).find("Cannot step in KV handlers.\nLocal variables:\n"), std::string::npos)
      << h.Output(2);
  EXPECT_EQ(test::EntryCount(h.ctx()), entries);
  ASSERT_EQ(RunOne({kSwap, {kA, kB}, {Constant(2), Constant(4)}}), kOk);
  EXPECT_EQ(h.Scalar(kA), 4);
}

TEST_F(CompiledHandlers, ClipboardSourceTextPastesBack) {
  ASSERT_EQ(h.SetScalar(kB, -3.25), kOk);
  ASSERT_EQ(h.SetText(kA, "pair \"m\""), kOk);
  const std::string text = Copy(kB, kA, 4);
  EXPECT_EQ(text, "%KV xdata \"pair 'm'\"\r\n%KV link 00 04\r\n-3.25\r\n");
  ASSERT_EQ(Paste({-1, {kC, kD}, {kVarXDataType, kVarXData}}, text), kOk);
  EXPECT_EQ(h.Text(kD), "pair 'm'");
  EXPECT_EQ(h.Scalar(kC), -3.25);
  // Source text that gives no value, or fails, is no input.
  const int32_t entries = test::EntryCount(h.ctx());
  for (std::string source : {"x = 1;", "undefinedname + 1"}) {
    EXPECT_NE(Paste({-1, {kC}, {kVarXData}}, "%KV xdata \"t\"\n" + source), kOk) << source;
    EXPECT_EQ(test::EntryCount(h.ctx()), entries);
  }
  ASSERT_EQ(RunOne({kSwap, {kA, kB}, {Constant(2), Constant(4)}}), kOk);
}

// Handlers written in VKE: a structure made by one handler goes to the
// clipboard as source text, is pasted back and read by another; a failing
// handler prints its message and leaves its output unchanged.
TEST_F(CompiledHandlers, HandlersWrittenInVke) {
  const std::string source =
      "function [s, n] = describe(x)\n"
      "  s.values = x;\n  s.label = sprintf('%d values', numel(x));\n  n = numel(x);\n"
      "endfunction\n"
      "function t = label(s)\n  t = s.label;\nendfunction\n"
      "function r = failing(x)\n  r = x(5);\nendfunction\n";
  ASSERT_EQ(DefineSourceFunctions(h.ctx(), source.data(), static_cast<int32_t>(source.size()), 0),
            kOk);
  constexpr int32_t kDescribe = 203, kLabel = 204, kFailing = 205;
  void* names = h.block()->NameArea();
  ASSERT_EQ(AddNameSlot(names, kDescribe, "describe", -1), kOk);
  ASSERT_EQ(AddNameSlot(names, kLabel, "label", -1), kOk);
  ASSERT_EQ(AddNameSlot(names, kFailing, "failing", -1), kOk);
  UseBreakTest();

  ASSERT_EQ(StoreMatrix(kA, 1, 3, {1, 2, 3}), kOk);
  ASSERT_EQ(RunOne({kDescribe, {kB, kC}, {kA}}), kOk);
  EXPECT_EQ(h.Scalar(kC), 3);
  ASSERT_EQ(h.SetText(kD, "record"), kOk);
  const std::string text = Copy(kB, kD);
  ASSERT_EQ(Paste({kLabel, {kD}, {kVarXData}}, text), kOk);
  EXPECT_EQ(h.Text(kD), "3 values") << text;

  h.ClearOutput();
  EXPECT_EQ(RunOne({kFailing, {kD}, {kA}}), kErrIndexOutOfRange);
  EXPECT_NE(h.Output(2).find("Index out of range for variable 'x'"), std::string::npos)
      << h.Output(2);
  EXPECT_EQ(h.Text(kD), "3 values");
}

// A host that reports a handler's failure itself gets it from the runner
// alone: the engine prints nothing of it, whether the handler fails to start
// or while it runs, whole or in slices, and what the handler writes itself
// still goes out. quit, with no window, ends the handler inside its try as
// cancel does.
TEST_F(CompiledHandlers, AFailureTheHostReportsIsPrintedByNone) {
  Define(
      "function r = failing(x)\n  fprintf(2, 'written\\n');\n  r = x(5);\nendfunction\n"
      "function r = quitting(x)\n  r = 1;\n  try\n    quit\n  catch\n    r = 2;\n  end\n"
      "  r = 3;\nendfunction\n",
      203, "failing");
  ASSERT_EQ(AddNameSlot(h.block()->NameArea(), 204, "quitting", -1), kOk);
  ASSERT_EQ(StoreMatrix(kA, 1, 3, {1, 2, 3}), kOk);
  ASSERT_EQ(h.SetScalar(kD, 9), kOk);
  for (const bool sliced : {false, true}) {
    if (sliced) UseBreakTest();
    SetHandlerFailuresReported(true);
    h.ClearOutput();
    EXPECT_EQ(RunOne({203, {kD}, {kA}}), kErrIndexOutOfRange);
    EXPECT_EQ(h.Output(2), "written\n");
    EXPECT_NE(ActionErrorText(h.block(), kErrIndexOutOfRange).find("for variable 'x'"),
              std::string::npos);
    EXPECT_EQ(RunOne({kMissing, {kD}, {kA}}), kErrUndefFun);
    EXPECT_EQ(h.Output(2), "written\n");
    EXPECT_EQ(RunOne({204, {kD}, {kA}}), kStatusNoPrint);
    EXPECT_EQ(h.Scalar(kD), 9);
    EXPECT_EQ(h.Output(2), "written\n");
    EXPECT_EQ(h.ctx()->hostReportsFailures, 0);
    // Reported by no host, the engine prints it.
    SetHandlerFailuresReported(false);
    EXPECT_EQ(RunOne({203, {kD}, {kA}}), kErrIndexOutOfRange);
    EXPECT_NE(h.Output(2).find("Index out of range for variable 'x'"), std::string::npos)
        << h.Output(2);
  }
}

// A handler retried in a grown block ends first the threads its failed
// attempt started: only those of the attempt that succeeds go on.
TEST_F(CompiledHandlers, RetryEndsTheThreadsOfTheFailedAttempt) {
  const std::string source =
      "function r = spawn(n)\n"
      "  for k = 1:3\n    threadnew(@wait_forever, []);\n  end\n"
      "  shortonce();\n  r = zeros(1, n);\nendfunction\n"
      "function wait_forever()\n  while true\n    threadsleep(1);\n  end\nendfunction\n";
  ASSERT_EQ(DefineSourceFunctions(h.ctx(), source.data(), static_cast<int32_t>(source.size()), 0),
            kOk);
  constexpr int32_t kSpawn = 203;
  ASSERT_EQ(AddNameSlot(h.block()->NameArea(), kSpawn, "spawn", -1), kOk);
  ASSERT_EQ(h.SetScalar(kA, 10), kOk);
  ASSERT_EQ(RunOne({kSpawn, {kB}, {kA}}), kOk);
  EXPECT_EQ(CountListedThreads(h.ctx()), 3);
  ASSERT_EQ(h.SetScalar(kA, 300000), kOk);
  g_shortOnce = true;
  ASSERT_EQ(RunOne({kSpawn, {kB}, {kA}}), kOk);
  EXPECT_GT(h.growths(), 0);
  EXPECT_EQ(h.Count(kB), 300000);
  // The three of the first run, three of the attempt that succeeded.
  EXPECT_EQ(CountListedThreads(h.ctx()), 6);
}

// A builtin that runs out of room waits while the block grows and then
// runs on: the handler runs once, whatever it printed before stays printed
// once, and the shortage is no error anywhere.
TEST_F(CompiledHandlers, TheEngineWaitsForRoomWithoutRunningTheHandlerAgain) {
  const std::string source =
      "function r = grow(n)\n  disp('started');\n  r = numel(zeros(1, n));\nendfunction\n";
  ASSERT_EQ(DefineSourceFunctions(h.ctx(), source.data(), static_cast<int32_t>(source.size()), 0),
            kOk);
  constexpr int32_t kGrow = 203;
  ASSERT_EQ(AddNameSlot(h.block()->NameArea(), kGrow, "grow", -1), kOk);
  for (bool sliced : {false, true}) {
    if (sliced) UseBreakTest();
    h.ClearOutput();
    const int before = h.growths();
    ASSERT_EQ(h.SetScalar(kA, sliced ? 1500000 : 300000), kOk);
    ASSERT_EQ(RunOne({kGrow, {kB}, {kA}}), kOk);
    EXPECT_GT(h.growths(), before);
    EXPECT_EQ(h.Scalar(kB), sliced ? 1500000 : 300000);
    EXPECT_EQ(h.Output(1), "started\n");
    EXPECT_EQ(h.Output(2).find("overflow"), std::string::npos) << h.Output(2);
    EXPECT_NE(h.Output(2).find("KV memory expanded to"), std::string::npos);
  }
  // A block that cannot grow far enough: the shortage is the handler's
  // error, reported as any other.
  h.SetMaxSize(h.size());
  h.ClearOutput();
  ASSERT_EQ(h.SetScalar(kA, 1e8), kOk);
  EXPECT_TRUE(IsMemoryCode(RunOne({kGrow, {kB}, {kA}})));
  EXPECT_NE(h.Output(2).find("overflow"), std::string::npos);
  EXPECT_EQ(h.block()->Engine()->memoryRetry, 0);
}

// A figure's store without room is a shortage the engine waits out: the
// native runs again once the block has grown, the handler once; what it
// printed stays printed once, and no catch sees the shortage.
TEST_F(CompiledHandlers, TheEngineWaitsForRoomInTheFiguresStore) {
  Define(
      "function r = drawn(x)\n  disp('started');\n  try\n    shortonce();\n  catch\n"
      "    disp('caught');\n  end\n  r = x + 1;\nendfunction\n",
      203, "drawn");
  for (bool sliced : {false, true}) {
    if (sliced) UseBreakTest();
    h.ClearOutput();
    const int before = h.growths();
    g_shortCode = kKvPlotOverflow;
    g_shortOnce = true;
    ASSERT_EQ(RunOne({203, {kB}, {Constant(4)}}), kOk) << h.Output(2);
    EXPECT_EQ(h.growths(), before + 1);
    EXPECT_EQ(h.Scalar(kB), 5);
    EXPECT_EQ(h.Output(1), "started\n");
    EXPECT_EQ(h.Output(2).find("plot"), std::string::npos) << h.Output(2);
  }
}

// A failure that the engine cannot wait out (here the undo buffer out of
// room) runs the handler again from its start in a grown block: the
// files the failed attempts opened are closed first, those opened before
// stay open.
TEST_F(CompiledHandlers, ARunAgainClosesTheFilesOfTheFailedAttempt) {
  const std::string path = ::testing::TempDir() + "vke_runner_files.txt";
  const std::string source = "function [r, fd] = openbig(n)\n  fd = fopen('" + path +
                             "', 'w');\n  shortonce();\n  r = ones(1, n);\nendfunction\n";
  ASSERT_EQ(DefineSourceFunctions(h.ctx(), source.data(), static_cast<int32_t>(source.size()), 0),
            kOk);
  constexpr int32_t kOpenBig = 203;
  ASSERT_EQ(AddNameSlot(h.block()->NameArea(), kOpenBig, "openbig", -1), kOk);
  ClearAppFileTable();
  ASSERT_EQ(h.SetScalar(kA, 10), kOk);
  ASSERT_EQ(RunOne({kOpenBig, {kB, kC}, {kA}}), kOk);
  ASSERT_EQ(CountOpenAppFiles(), 1);
  const double first = h.Scalar(kC);
  const int before = h.growths();
  ASSERT_EQ(h.SetScalar(kA, 60000), kOk);
  g_shortOnce = true;
  ASSERT_EQ(RunOne({kOpenBig, {kB, kC}, {kA}}), kOk);
  EXPECT_GT(h.growths(), before);
  EXPECT_EQ(h.Count(kB), 60000);
  // The first run's file and the one of the attempt that succeeded, which
  // took the next free slot.
  EXPECT_EQ(CountOpenAppFiles(), 2);
  EXPECT_EQ(h.Scalar(kC), first + 1);
  ClearAppFileTable();
  std::remove(path.c_str());
}

// A native that read its text in place and then ran out of room does not
// run again on what it left on the stack: the handler runs again from its
// start in the grown block, and the native reads its text as it was given.
TEST_F(CompiledHandlers, ANativeThatNarrowedItsTextIsNotRunAgainOnIt) {
  Define("function r = option(x)\n  r = narrowonce('gain');\nendfunction\n", 203, "option");
  const int before = h.growths();
  g_shortOnce = true;
  ASSERT_EQ(RunOne({203, {kB}, {kA}}), kOk) << h.Output(2);
  EXPECT_GT(h.growths(), before);
  EXPECT_EQ(h.Scalar(kB), 1);
}

// A handler that wrote to a file before it ran out of room is not run
// again: the line is written once and the shortage is its error.
TEST_F(CompiledHandlers, AHandlerThatWroteToAFileIsNotRunAgain) {
  const std::string path = ::testing::TempDir() + "vke_runner_written.txt";
  Define("function r = logged(x)\n  fd = fopen('" + path +
             "', 'a');\n  fprintf(fd, 'line\\n');\n  fclose(fd);\n  shortonce();\n"
             "  r = x;\nendfunction\n",
         203, "logged");
  std::fclose(std::fopen(path.c_str(), "wb"));
  ClearAppFileTable();
  const int before = h.growths();
  g_shortOnce = true;
  EXPECT_EQ(RunOne({203, {kB}, {Constant(4)}}), kKvNotEnoughMemForKVFile);
  EXPECT_EQ(h.growths(), before);
  EXPECT_FALSE(h.HasValue(kB));
  std::FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char text[32] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  EXPECT_EQ(std::string(text, n), "line\n");
  ClearAppFileTable();
  std::remove(path.c_str());
}

// Outputs too large for the undo buffer are stored in a block grown for
// them, after the one run of the function: what it wrote is written once,
// the values it was given are those it changed, and where the block may
// not grow no output is stored at all.
TEST_F(CompiledHandlers, OutputsThatOverflowTheUndoBufferAreStoredOnce) {
  Define(
      "function [n, big] = step(n, size)\n  disp('ran');\n  n = n + 1;\n"
      "  big = ones(1, size);\nendfunction\n"
      "function r = warm(n)\n  x = zeros(1, n);\n  r = numel(x);\nendfunction\n",
      203, "step");
  ASSERT_EQ(AddNameSlot(h.block()->NameArea(), 204, "warm", -1), kOk);
  // An engine grown beyond the undo buffer holds a value that the buffer
  // cannot take; a block that may not grow then stores no output at all.
  ASSERT_EQ(RunOne({204, {kC}, {Constant(300000)}}), kOk);
  const auto beyondUndo = [&] { return static_cast<int32_t>(h.block()->undoBytes / 8 + 100); };
  ASSERT_EQ(h.SetScalar(kA, 0), kOk);
  h.SetMaxSize(h.size());
  EXPECT_EQ(RunOne({203, {kA, kB}, {kA, Constant(beyondUndo())}}), kKvVarTooLargeForUndo);
  h.SetMaxSize(test::kHostMaxBytes);
  EXPECT_EQ(h.Scalar(kA), 0);
  EXPECT_FALSE(h.HasValue(kB));
  for (const bool sliced : {false, true}) {
    if (sliced) UseBreakTest();
    h.ClearOutput();
    const int before = h.growths();
    const int32_t n = beyondUndo();
    ASSERT_EQ(RunOne({203, {kA, kB}, {kA, Constant(n)}}), kOk);
    EXPECT_GT(h.growths(), before);
    EXPECT_EQ(h.Output(1), "ran\n");
    EXPECT_EQ(h.Count(kB), n);
  }
  EXPECT_EQ(h.Scalar(kA), 2);
}

// A worker thread's failure is its own: the engine prints it with its place
// and ends the thread, and the handler that started it goes on. A worker
// short of room on its own stack fails alone: the block does not grow.
TEST_F(CompiledHandlers, AWorkerThreadFailsAloneAndTheHandlerGoesOn) {
  // The host's clock, by which the engine switches between threads.
  alignas(8) uint8_t records[6 * 8] = {};
  SetEngineTimeCallbacks(h.block(), &GetTimeValue, records, 8);
  Define(
      "function r = setup(k)\n  global done\n  done = 0;\n  threadnew(@work, [], k);\n"
      "  tic;\n  while done == 0 && toc < 2\n  end\n  r = 5 + done;\nendfunction\n"
      "function work(k)\n  global done\n  done = 1;\n  if k == 1\n    error('boom');\n"
      "  end\n  x = zeros(1, 2000);\nendfunction\n",
      203, "setup");
  for (const bool sliced : {false, true}) {
    if (sliced) UseBreakTest();
    for (const int32_t k : {1, 2}) {
      h.ClearOutput();
      ASSERT_EQ(h.SetScalar(kA, 0), kOk);
      const int before = h.growths();
      ASSERT_EQ(RunOne({203, {kA}, {Constant(k)}}), kOk) << h.Output(2);
      EXPECT_EQ(h.Scalar(kA), 6);  // the worker ran first
      EXPECT_EQ(h.growths(), before);
      EXPECT_NE(h.Output(2).find(k == 1 ? "boom" : "Data stack overflow"), std::string::npos)
          << h.Output(2);
      EXPECT_NE(h.Output(2).find("work;"), std::string::npos) << h.Output(2);
      EXPECT_EQ(CountListedThreads(h.ctx()), 0);
    }
  }
}

// A handler of an instance whose handlers start as entry frames runs
// sandboxed: a native outside a switchable library and a global
// declaration fail with 403 and 404, which its own try does not catch;
// other errors it catches as usual.
TEST_F(CompiledHandlers, SandboxedHandlersCannotCatchSecurityErrors) {
  const std::string source =
      "function r = native(x)\n  try\n    path();\n    r = 1;\n  catch\n    r = 2;\n  end\n"
      "endfunction\n"
      "function r = shared(x)\n  try\n    global g\n    r = 1;\n  catch\n    r = 2;\n  end\n"
      "endfunction\n"
      "function r = plain(x)\n  try\n    error('plain');\n  catch\n    r = 3;\n  end\n"
      "endfunction\n";
  ASSERT_EQ(DefineSourceFunctions(h.ctx(), source.data(), static_cast<int32_t>(source.size()), 0),
            kOk);
  const int32_t ids[] = {210, 211, 212};
  const char* names[] = {"native", "shared", "plain"};
  for (int32_t i = 0; i < 3; i++)
    ASSERT_EQ(AddNameSlot(h.block()->NameArea(), ids[i], names[i], -1), kOk);
  for (const bool sliced : {false, true}) {
    if (sliced) UseBreakTest();
    Record()->entryOption = 1;
    ASSERT_EQ(h.SetScalar(kA, 0), kOk);
    EXPECT_EQ(RunOne({ids[0], {kA}, {Constant(0)}}), kErrSecViolation);
    EXPECT_EQ(RunOne({ids[1], {kA}, {Constant(0)}}), kErrSecViolationGlobal);
    EXPECT_EQ(h.Scalar(kA), 0);
    ASSERT_EQ(RunOne({ids[2], {kA}, {Constant(0)}}), kOk);
    EXPECT_EQ(h.Scalar(kA), 3);
    Record()->entryOption = 0;
    ASSERT_EQ(RunOne({ids[0], {kA}, {Constant(0)}}), kOk);
    EXPECT_EQ(h.Scalar(kA), 1);
    ASSERT_EQ(RunOne({ids[1], {kA}, {Constant(0)}}), kOk);
    EXPECT_EQ(h.Scalar(kA), 1);
  }
}

}  // namespace
}  // namespace vke
