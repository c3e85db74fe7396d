// Make elements, with handlers without a function (output k is input k from
// the end), so that a make element copies its input into its output: a
// chain recomputed after its start changes, the changed variables keeping
// their new values, handlers that need nothing, cycles, constants and a
// failing make handler.
#include "app/make_elements.hpp"

#include <gtest/gtest.h>

#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "tests/app/handler_test_host.hpp"

namespace vke {
namespace {

using test::ElementListBuilder;
using test::HandlerTestHost;
using test::RequestFor;

constexpr int32_t kA = 106, kB = 107, kC = 108, kD = 109, kE = 110;

class Make : public ::testing::Test {
 protected:
  Make() : h({kA, kB, kC, kD, kE}) {}

  // No variable is stale between runs.
  void ExpectNoneStale() {
    for (int32_t v : {kA, kB, kC, kD, kE}) EXPECT_FALSE(h.IsStale(v)) << v;
  }
  HandlerRequest At(uint32_t descriptor) {
    HandlerRequest r;
    r.descriptor = static_cast<int32_t>(descriptor);
    return r;
  }

  HandlerTestHost h;
};

TEST_F(Make, ChainIsRecomputedAfterItsStartChanged) {
  ElementListBuilder b;
  b.Instance(0, "app.kv");
  b.Handler(kElemMake, {-1, {kC}, {kB}});  // c from b, listed before b's element
  b.Handler(kElemMake, {-1, {kB}, {kA}});  // b from a
  b.TextHandler(kElemMenuItem, "Set a", {-1, {kA}, {(1 << 30) + 7}});
  const uint32_t setA = b.LastDescriptor();
  b.TextHandler(kElemMenuItem, "Read c", {-1, {kD}, {kC}});
  const uint32_t readC = b.LastDescriptor();
  ASSERT_EQ(h.Load(b), kOk);
  for (int32_t v : {kA, kB, kC}) ASSERT_EQ(h.SetScalar(v, 1), kOk);

  // Storing a takes the values of b and c.
  ASSERT_EQ(h.Run(At(setA)), kOk);
  EXPECT_EQ(h.Scalar(kA), 7);
  EXPECT_FALSE(h.HasValue(kB));
  EXPECT_FALSE(h.HasValue(kC));
  ExpectNoneStale();
  // Reading c runs b's element, then c's, then the handler.
  ASSERT_EQ(h.Run(At(readC)), kOk);
  EXPECT_EQ(h.Scalar(kB), 7);
  EXPECT_EQ(h.Scalar(kC), 7);
  EXPECT_EQ(h.Scalar(kD), 7);
  ExpectNoneStale();

  // The same through the previous version: the make elements read and store
  // one version back.
  ASSERT_EQ(PushUndoVersion(h.block()->UndoArea(), 0), kOk);
  ASSERT_EQ(InvalidateMakeOutputs(h.block(), 0, kA, true), kOk);
  ASSERT_EQ(h.SetScalar(kB, 3, 1), kOk);
  ASSERT_EQ(ClearUndoValue(h.block()->UndoArea(), 0, 1, kC, false), kOk);
  HandlerRequest previous = At(readC);
  previous.previous = true;
  ASSERT_EQ(h.Run(previous), kOk);
  EXPECT_EQ(h.Scalar(kC, 1), 3);
  EXPECT_EQ(h.Scalar(kD), 3);
}

TEST_F(Make, ChangedVariablesKeepTheirNewValues) {
  // e gives a and b from x; a handler that stores d and a changes a itself.
  ElementListBuilder b;
  b.Instance(0, "app.kv");
  b.Handler(kElemMake, {-1, {kA, kB}, {kD, kD}});
  b.Handler(kElemMake, {-1, {kC}, {kA}});  // c from a
  b.Handler(kElemMake, {-1, {kE}, {kC}});  // e from c, and
  b.Handler(kElemMake, {-1, {kC}, {kE}});  // c from e: a cycle
  b.TextHandler(kElemMenuItem, "Set", {-1, {kD, kA}, {(1 << 30) + 1, (1 << 30) + 2}});
  ASSERT_EQ(h.Load(b), kOk);
  for (int32_t v : {kA, kB, kC, kD, kE}) ASSERT_EQ(h.SetScalar(v, 0), kOk);
  ASSERT_EQ(h.Run(RequestFor(b)), kOk);
  EXPECT_EQ(h.Scalar(kD), 2);
  EXPECT_EQ(h.Scalar(kA), 1);
  EXPECT_FALSE(h.HasValue(kB));
  EXPECT_FALSE(h.HasValue(kC));
  EXPECT_FALSE(h.HasValue(kE));
  ExpectNoneStale();

  // A single changed variable does the same.
  ASSERT_EQ(h.SetScalar(kC, 5), kOk);
  ASSERT_EQ(h.SetScalar(kE, 5), kOk);
  ASSERT_EQ(InvalidateMakeOutputs(h.block(), 0, kE, true), kOk);
  EXPECT_TRUE(h.HasValue(kE));
  EXPECT_FALSE(h.HasValue(kC));
  ASSERT_EQ(InvalidateMakeOutputs(h.block(), 7, kE, true), kKvNonexistentInstance);
}

TEST_F(Make, OnlyMissingVariablesRunTheirElements) {
  ElementListBuilder b;
  b.Instance(0, "app.kv");
  b.Handler(kElemMake, {-1, {kB}, {kA}});
  b.Handler(kElemMake, {-1, {kD}, {kC}});  // c, d: a cycle without values
  b.Handler(kElemMake, {-1, {kC}, {kD}});
  b.TextHandler(kElemMenuItem, "Events", {-1, {kE}, {kVarX, kVarY, kVarKey}});
  const uint32_t events = b.LastDescriptor();
  b.TextHandler(kElemMenuItem, "Constants", {-1, {kE}, {(1 << 30) + 4, -(1 << 30) - 4}});
  const uint32_t constants = b.LastDescriptor();
  b.TextHandler(kElemMenuItem, "Cycle", {-1, {kE}, {kC}});
  const uint32_t cycle = b.LastDescriptor();
  ASSERT_EQ(h.Load(b), kOk);
  ASSERT_EQ(h.SetScalar(kA, 1), kOk);

  // Event inputs and constants are never dependencies: nothing is stale and
  // b's element does not run.
  EXPECT_FALSE(PrepareMakePass(h.block(), 0, static_cast<int32_t>(events), false));
  EXPECT_FALSE(PrepareMakePass(h.block(), 0, static_cast<int32_t>(constants), false));
  ASSERT_EQ(h.Run(At(events)), kOk);
  ASSERT_EQ(h.Run(At(constants)), kOk);
  EXPECT_FALSE(h.HasValue(kB));

  // A cycle never gets values: the handler runs with [].
  ASSERT_EQ(h.Run(At(cycle)), kOk);
  EXPECT_EQ(h.Count(kE), 0);
  EXPECT_FALSE(h.HasValue(kC));
  ExpectNoneStale();

  // With descriptor -1 every variable of the set counts: b can be made.
  EXPECT_TRUE(PrepareMakePass(h.block(), 0, -1, false));
  ASSERT_EQ(RunPendingMakeHandlers(h.slot(), 0, -1, false, true), kOk);
  EXPECT_EQ(h.Scalar(kB), 1);
  ExpectNoneStale();
  EXPECT_EQ(RunPendingMakeHandlers(h.slot(), 5, -1, false, true), kKvNonexistentInstance);
}

TEST_F(Make, FailingMakeHandlerEndsThePass) {
  ElementListBuilder b;
  b.Instance(0, "app.kv");
  b.Handler(kElemMake, {4321, {kB}, {kA}});  // a function the name buffer lacks
  b.TextHandler(kElemMenuItem, "Read b", {-1, {kC}, {kB}});
  ASSERT_EQ(h.Load(b), kOk);
  ASSERT_EQ(h.SetScalar(kA, 1), kOk);
  EXPECT_EQ(h.Run(RequestFor(b)), kKvVarNotFound);
  EXPECT_FALSE(h.HasValue(kC));
  EXPECT_EQ(h.block()->handlerBusy, 0);
  ExpectNoneStale();
}

}  // namespace
}  // namespace vke
