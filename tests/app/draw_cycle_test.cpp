// The draw cycle of an instance: groups written for every subplot, a full
// store ending the loop, a failing handler that leaves the others drawn,
// the instance-wide step, drawing through the block's port, the copy that
// restores the figure on every path, the retry of a handler that ran out of
// plot room in a grown block, and the idle step with its pacing.
#include "app/draw_cycle.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/instance_figure.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_values.hpp"
#include "compiler/compile.hpp"
#include "engine/room_requests.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/port_recording.hpp"
#include "graphics/scale.hpp"
#include "tests/app/block_host.hpp"
#include "tests/app/figure_app.hpp"

namespace vke {
namespace {

using test::FigureApp;
using V = std::vector<double>;

size_t CountCalls(const RecordingPort& rec, PortSlot slot) {
  size_t n = 0;
  for (const PortCall& c : rec.calls()) n += c.slot == slot;
  return n;
}

// A name-buffer id whose name is no function: a handler calling it fails.
constexpr int32_t kNoFunction = kVarPl;

// Leaves the block's store room for a record of `capacity` payload doubles.
void FillStore(KVContextBlock* block, uint32_t capacity) {
  const ObjectList list(block->DataArea());
  ObjectWriterState w = kNoObjectWriter;
  BeginObjectListCapture(list, &w, 99, true);
  w.used = w.capacity - capacity - 2;
  ASSERT_EQ(EndObjectListCapture(list, &w), kOk);
}

// A rows x columns figure whose subplots show plots "p0", "p1" ... drawn by
// handlers that call `function` (none: subplots without draw handler), with
// the instance initialised.
struct Cycle : FigureApp {
  Cycle(int32_t rows, int32_t columns, bool draws = false, int32_t function = -1)
      : FigureApp(rows, columns) {
    for (int32_t k = 0; k < rows * columns; ++k) AddPlot("p" + std::to_string(k), draws, function);
    Load();
    InstanceFigureHost host(block(), 0);
    // A handler's function that does not resolve makes the reset answer
    // its failure, with the handlers set all the same.
    for (int32_t k = 0; k < rows * columns; ++k) {
      const ErrCode e = ResetSubplots(&figure(), host, k / columns, k % columns, plots[k], true);
      if (function < 0) {
        EXPECT_EQ(e, kOk);
      }
    }
    record()->initialised = 1;
  }
  InstanceRecord* record() { return FindInstance(block(), 0); }
  ErrCode Draw() { return RunDrawHandlers(slot(), 0); }
  KVContextBlock** slot() { return &slot_; }
  // The subplot indexes of the object's command-70 groups.
  std::vector<int32_t> Groups() {
    std::vector<int32_t> groups;
    for (int32_t k = 0; k < kMaxSubplots; ++k) {
      if (HasGroup(k)) groups.push_back(k);
    }
    return groups;
  }
  bool HasGroup(int32_t k) {
    const V p = Payload();
    for (size_t at = 0; at + 6 < p.size(); at += 6 + static_cast<size_t>(p[at + 5])) {
      if (p[at] == double{kCmdObjectBegin} && p[at + 6] == k) return true;
    }
    return false;
  }
  void FillStore(uint32_t capacity) { vke::FillStore(block(), capacity); }
  void UsePort(RecordingPort& rec) {
    block()->portFunctions = &rec.port();
    block()->portTarget = rec.target();
  }
  V Position(int32_t k) { return V(subplot(k).position, subplot(k).position + 4); }

  KVContextBlock* slot_ = block();
};

TEST(DrawCycle, EverySubplotGetsItsGroupAndIsSaved) {
  Cycle c(2, 2);
  c.figure().editField = 3;
  ASSERT_EQ(c.Draw(), kOk);
  EXPECT_EQ(c.Groups(), (std::vector<int32_t>{0, 1, 2, 3}));
  for (int32_t k = 0; k < 4; ++k) EXPECT_EQ(c.subplot(k).drawn, 1) << k;
  EXPECT_EQ(c.figure().editField, -1);
  EXPECT_EQ(c.block()->capture.id, -1);
  ASSERT_EQ(PushUndoValue(c.block(), 0, 0, kVarPl), kOk);
  const V pl = c.Numbers();
  ASSERT_EQ(pl.size(), 2u + 4 * 6);
  EXPECT_EQ(pl[2 + 6], c.plots[1]);
  EXPECT_EQ(RunDrawHandlers(c.slot(), 7), kKvNonexistentInstance);
  EXPECT_EQ(RunDrawHandlersNoInit(c.slot(), 7), kKvNonexistentInstance);
}

TEST(DrawCycle, AFullStoreShowsTheGroupsThatFitted) {
  Cycle c(2, 1);
  c.FillStore(13);  // one command 70 (7 doubles) fits, two do not
  ASSERT_EQ(c.Draw(), kOk);
  EXPECT_EQ(c.Groups(), std::vector<int32_t>{0});
}

TEST(DrawCycle, AFailingDrawHandlerLeavesTheOtherSubplotsDrawn) {
  Cycle c(1, 3, true, kNoFunction);
  c.subplot(0).handlers[kHandlerDraw] = kNoHandler;
  c.subplot(2).handlers[kHandlerDraw] = kNoHandler;
  EXPECT_NE(c.Draw(), kOk);
  // The failing subplot's group stays, undrawn; the one after it is drawn.
  EXPECT_EQ(c.Groups(), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(c.subplot(0).drawn, 1);
  EXPECT_EQ(c.subplot(1).drawn, 0);
  EXPECT_EQ(c.subplot(2).drawn, 1);
  EXPECT_EQ(c.block()->capture.id, -1);
  EXPECT_EQ(c.block()->capture.currentObject, -1);
}

TEST(DrawCycle, WithoutInitialisationOrMarksOfDrawing) {
  // Redrawn after a drag or an idle step: no subplot is marked drawn.
  Cycle c(1, 2);
  ASSERT_EQ(RunDrawHandlersNoInit(c.slot(), 0), kOk);
  EXPECT_EQ(c.Groups(), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(c.subplot(0).drawn, 0);
  // An initialised instance without figure elements draws nothing.
  FigureApp bare(1, 1);
  bare.Load();
  FindInstance(bare.block(), 0)->initialised = 1;
  KVContextBlock* slot = bare.block();
  EXPECT_EQ(RunDrawHandlers(&slot, 0), kOk);
  EXPECT_TRUE(bare.Payload().empty());
}

TEST(DrawCycle, InstanceWideStepClearsTheFirstRunBytes) {
  FigureApp h(1, 1);
  h.list.Text(kElemInstanceCode, "plot(1)");
  h.Load();
  InstanceRecord* r = FindInstance(h.block(), 0);
  r->firstRun = r->dragRedraw = 1;
  h.subplot(0).scaleState[kAxisX] = kScaleReleased;
  KVContextBlock* slot = h.block();
  RunDrawHandlers(&slot, 0);
  r = FindInstance(slot, 0);
  EXPECT_EQ(r->firstRun | r->dragRedraw, 0);
  EXPECT_EQ(slot->capture.id, -1);
  EXPECT_EQ(h.subplot(0).scaleState[kAxisX], kScaleAuto);
}

TEST(DrawCycle, PaintDrawsEveryGroupThroughTheBlocksPort) {
  Cycle c(1, 2);
  ASSERT_EQ(c.Draw(), kOk);
  RecordingPort rec;
  c.UsePort(rec);
  c.block()->subplotDrag.pending = 1;
  c.record()->redrawPending = 1;
  DrawInstanceSubplots(c.block(), 0);
  // The background, then each subplot's viewport.
  EXPECT_EQ(CountCalls(rec, PortSlot::fillBackground), 3u);
  EXPECT_EQ(c.block()->subplotDrag.pending, 0);
  EXPECT_EQ(c.record()->redrawPending, 0);
  c.block()->portFunctions = nullptr;
  rec.Clear();
  DrawInstanceSubplots(c.block(), 0);
  EXPECT_TRUE(rec.calls().empty());
}

TEST(CopyFigure, TheFigureIsRestoredOnEveryPath) {
  Cycle c(2, 2, true, kNoFunction);
  RecordingPort rec;
  c.UsePort(rec);
  const V cell = c.Position(1);
  c.figure().selection = 0b0010;
  // The subplot's handler fails: nothing is drawn, and the copy succeeds.
  EXPECT_EQ(CopyFigure(c.slot(), 0, 0, 100, 0, 50), kOk);
  EXPECT_EQ(CountCalls(rec, PortSlot::drawPolyline), 0u);
  EXPECT_EQ(c.Position(1), cell);
  // No room for the subplot's group.
  Cycle full(2, 2, true, kNoFunction);
  full.FillStore(6);
  full.figure().selection = 0b0010;
  EXPECT_EQ(CopyFigure(full.slot(), 0, 0, 100, 0, 50), kKvExhaustedRsrc);
  EXPECT_EQ(full.Position(1), cell);
  EXPECT_EQ(full.block()->capture.id, -1);
  // Two selected subplots: the whole figure.
  c.figure().selection = 0b0110;
  rec.Clear();
  EXPECT_EQ(CopyFigure(c.slot(), 0, 0, 100, 0, 50), kOk);
  EXPECT_GE(CountCalls(rec, PortSlot::fillBackground), 1u);
  EXPECT_EQ(CopyFigure(c.slot(), 5, 0, 1, 0, 1), kKvNonexistentInstance);
}

// ---- A draw handler out of plot room ----

// The draw handler of the one subplot: a short plot that fits the store, then
// a long one that does not until the block has grown.
constexpr char kTwoPlots[] = "function twoplots\n  plot(1:5);\n  plot(1:400);\nendfunction\n";

V Ramp(int32_t n) {
  V v;
  for (int32_t i = 1; i <= n; ++i) v.push_back(i);
  return v;
}

TEST(DrawCycle, AHandlerOutOfPlotRoomRunsAgainInTheGrownBlock) {
  // The commands as they look when the store has room from the start.
  FigureApp reference(1, 1);
  reference.Load();
  ASSERT_TRUE(reference.BeginSubplot(0));
  ASSERT_EQ(reference.Row(Ramp(5)).Run("plot"), kOk);
  ASSERT_EQ(reference.Row(Ramp(400)).Run("plot"), kOk);
  ASSERT_EQ(reference.Close(), kOk);
  const V expected = reference.Payload();

  test::BlockHost h(1u << 20, 2u << 20);
  ASSERT_EQ(h.init(), kOk);
  ASSERT_EQ(CreateInstance(h.block(), nullptr), kOk);
  FigureState& figure = FindInstance(h.block(), 0)->figure;
  SetRect(figure.rect, 0, 640, 0, 480);
  ASSERT_EQ(SetSubplotLayout(&figure, 1, 1), kOk);
  constexpr int32_t kHandler = 200;
  ASSERT_EQ(DefineSourceFunctions(h.ctx(), kTwoPlots, sizeof kTwoPlots - 1, 0), kOk);
  ASSERT_EQ(AddNameSlot(h.block()->NameArea(), kHandler, "twoplots", -1), kOk);
  test::ElementListBuilder list;
  list.Instance(0, "app.kv").Text(kElemFigure, "Grows");
  const auto plot = static_cast<int32_t>(list.LastOffset());
  list.Handler(kElemDraw, test::Descriptor(kHandler));
  ASSERT_EQ(list.LoadInto(h.block()), kOk);
  InstanceFigureHost host(h.block(), 0);
  ASSERT_EQ(ResetSubplots(&figure, host, 0, 0, plot, true), kOk);
  FindInstance(h.block(), 0)->initialised = 1;
  // Room for command 70 and the short plot: the long one fails with 10001.
  FillStore(h.block(), 100);

  ASSERT_EQ(RunDrawHandlers(h.slot(), 0), kOk);
  EXPECT_EQ(h.growths(), 1);
  EXPECT_EQ(h.block()->capture.id, -1);
  // The short plot once, though the first attempt had written it.
  const ObjectList store(h.block()->DataArea());
  ObjectSpan span{0, 0};
  ASSERT_TRUE(ObjectListFind(store, 0, &span));
  V payload;
  for (uint32_t i = 0; i < span.length; ++i) payload.push_back(store.Get(span.position + i));
  EXPECT_EQ(payload, expected);
  EXPECT_TRUE(ObjectListIsValid(store.Buffer(), (h.block()->dataBytes - kInstanceRecordBytes) / 8));
}

// The figure's state saved after drawing into an undo buffer without room
// for it: the block grows and the state is saved whole, nothing left on the
// stack.
TEST(DrawCycle, TheFigureStateIsSavedInAGrownBlockWhenTheUndoBufferIsFull) {
  test::BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  ASSERT_EQ(CreateInstance(h.block(), nullptr), kOk);
  FigureState& figure = FindInstance(h.block(), 0)->figure;
  SetRect(figure.rect, 0, 640, 0, 480);
  ASSERT_EQ(SetSubplotLayout(&figure, 1, 1), kOk);
  test::ElementListBuilder list;
  list.Instance(0, "app.kv").Text(kElemFigure, "Saved");
  ASSERT_EQ(list.LoadInto(h.block()), kOk);
  FindInstance(h.block(), 0)->initialised = 1;
  const int32_t entries = test::EntryCount(h.ctx());
  for (uint64_t k = 1;; ++k) {
    WatchRoomRequests(k);
    const ErrCode e = RunDrawHandlers(h.slot(), 0);
    RoomKind kind;
    const bool refused = RoomRequestRefused(&kind);
    StopWatchingRoomRequests();
    if (!refused) break;
    ASSERT_EQ(e, kOk) << k << " " << RoomKindName(kind);
    EXPECT_EQ(test::EntryCount(h.ctx()), entries) << k;
    ASSERT_EQ(PushUndoValue(h.block(), 0, 0, kVarPl), kOk);
    EXPECT_EQ(test::PopNumbers(h.ctx()).size(), 2u + 6) << k;
  }
}

// ---- The idle step ----

double g_clock = 0;
double FakeClock(void*, int32_t, int32_t) {
  return g_clock;
}

struct Idle : Cycle {
  explicit Idle(const test::Descriptor& handler = test::Descriptor(kNoFunction))
      : Cycle(1, 1, true) {
    list.Handler(kElemIdle, handler);
    Load();
    block()->timeFunction = &FakeClock;
    block()->timeRecords = records;
    record()->idleState = kIdleOn;
  }
  uint8_t records[24] = {};
};

TEST(IdleStep, RunsWhenDueAndTurnsOffOnFailure) {
  Idle h;
  g_clock = 5;
  h.record()->idleValue = 6;  // not yet
  EXPECT_EQ(RunIdleHandlerIfDue(h.slot(), 0, true), kOk);
  EXPECT_EQ(h.record()->idleValue2, -1);
  g_clock = 7;
  h.record()->idleState = kIdleOff;
  EXPECT_EQ(RunIdleHandlerIfDue(h.slot(), 0, true), kOk);
  EXPECT_EQ(h.record()->idleValue2, -1);
  // Due and on: the failing handler turns idle processing off; the next
  // time is scheduled all the same.
  h.record()->idleState = kIdleOn;
  h.record()->idleMode = kIdleModeRate;
  EXPECT_NE(RunIdleHandlerIfDue(h.slot(), 0, true), kOk);
  EXPECT_EQ(h.record()->idleState, kIdleOff);
  EXPECT_EQ(h.record()->idleMode, kIdleModeNone);
  EXPECT_DOUBLE_EQ(h.record()->idleValue, 7.1);
  EXPECT_EQ(h.record()->idleValue2, 7);
  // An instance without an idle element runs nothing.
  Cycle plain(1, 1);
  plain.record()->idleState = kIdleOn;
  EXPECT_EQ(RunIdleHandlerIfDue(plain.slot(), 0, true), kOk);
  EXPECT_EQ(plain.record()->idleValue2, -1);
}

TEST(IdleStep, TheHandlersPaceSchedulesTheNextRunAndTheFigureIsRedrawn) {
  // A handler without a function hands its inputs to its outputs: 2 to
  // _idlerate.
  constexpr int32_t kTwo = (1 << 30) + 2;
  Idle h(test::Descriptor(-1, {kVarIdleRate}, {kTwo}));
  g_clock = 10;
  EXPECT_EQ(RunIdleHandlerIfDue(h.slot(), 0, true), kStatusRepaint);
  EXPECT_EQ(h.record()->idleMode, kIdleModeRate);
  EXPECT_DOUBLE_EQ(h.record()->idleValue, 12);
  EXPECT_EQ(h.record()->idleValue2, 10);
  EXPECT_EQ(h.record()->idleState, kIdleOn);
  EXPECT_EQ(h.Groups(), std::vector<int32_t>{0});
  g_clock = 11;  // not yet
  EXPECT_EQ(RunIdleHandlerIfDue(h.slot(), 0, true), kOk);
  EXPECT_EQ(h.record()->idleValue2, 10);
  // Without redraw permission the step only runs the handler.
  g_clock = 12;
  DeleteFigureObject(h.block(), 0);
  EXPECT_EQ(RunIdleHandlerIfDue(h.slot(), 0, false), kOk);
  EXPECT_EQ(h.record()->idleValue2, 12);
  EXPECT_TRUE(h.Groups().empty());
}

TEST(IdleStep, NextTimeIsTheClockPlusAnInterval) {
  InstanceRecord r{};
  r.idleMode = kIdleModeNone;
  EXPECT_DOUBLE_EQ(NextIdleTime(r, 10), 10.1);
  // _idlerate: the interval in seconds.
  r.idleMode = kIdleModeRate;
  r.idleValue = 2;
  EXPECT_DOUBLE_EQ(NextIdleTime(r, 10), 12);
  // _idleamount: the time since the previous run divided by the share.
  r.idleMode = kIdleModeAmount;
  r.idleValue = 0.5;
  r.idleValue2 = 9;
  EXPECT_DOUBLE_EQ(NextIdleTime(r, 10), 12);
  r.idleValue2 = -1;  // no previous run yet
  EXPECT_DOUBLE_EQ(NextIdleTime(r, 10), 10.1);
  // A pace that is no positive number: the default interval.
  for (double bad : {0.0, -3.0, double{NAN}}) {
    r.idleMode = kIdleModeRate;
    r.idleValue = bad;
    EXPECT_DOUBLE_EQ(NextIdleTime(r, 10), 10.1) << bad;
    r.idleMode = kIdleModeAmount;
    r.idleValue2 = 9;
    EXPECT_DOUBLE_EQ(NextIdleTime(r, 10), 10.1) << bad;
  }
}

}  // namespace
}  // namespace vke
