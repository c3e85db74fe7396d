// What a run again after growth finds: the progress a builtin kept is taken
// back only at the stack levels it was kept at, and entries copied aside
// are written back as they were taken, their shape included.
#include "engine/memory_retry.hpp"

#include <gtest/gtest.h>

#include "engine/entry_copies.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using test::TestHost;

TEST(RerunProgress, IsTakenBackOnlyAtTheLevelsItWasKeptAt) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ctx->memoryRetry = 1;
  ASSERT_TRUE(HostGrowsForRoom(ctx));
  KeepRerunProgress(ctx, 5);
  EXPECT_EQ(TakeRerunProgress(ctx), 5);
  EXPECT_EQ(TakeRerunProgress(ctx), 0);  // taken once
  // Another data top at the same descriptor top: another call's operands.
  KeepRerunProgress(ctx, 5);
  ctx->dataTop += 1;
  EXPECT_EQ(TakeRerunProgress(ctx), 0);
  ctx->dataTop -= 1;
  // Another descriptor top.
  KeepRerunProgress(ctx, 6);
  ASSERT_EQ(PushRealScalar(ctx, 1), kOk);
  EXPECT_EQ(TakeRerunProgress(ctx), 0);
  Drop(ctx);
  // Without growth nothing is kept.
  ctx->memoryRetry = 0;
  KeepRerunProgress(ctx, 7);
  EXPECT_EQ(TakeRerunProgress(ctx), 0);
}

TEST(EntryCopies, AreWrittenBackWithTheShapeTheyWereTakenWith) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(test::EvaluateText(ctx, "[1 2 3 4]"), kOk);
  EntryCopies copies(ctx);
  ASSERT_EQ(copies.Take(0, 1), kOk);
  // The same data as a 4 x 1 column: only the column count differs.
  ASSERT_EQ(test::EvaluateText(ctx, "[5; 6; 7; 8]"), kOk);
  ASSERT_EQ(DropStackEntries(ctx, 1, 1), kOk);
  ASSERT_EQ(DescAt(ctx, 0)->word, 1);
  ASSERT_TRUE(copies.WriteBack(0));
  EXPECT_EQ(DescAt(ctx, 0)->word, 4);
  EXPECT_EQ(DescAt(ctx, 0)->size, 4u);
  const double* re = reinterpret_cast<const double*>(DataAt(ctx, 0));
  EXPECT_EQ(re[0], 1);
  EXPECT_EQ(re[3], 4);
  // Written over an entry of the same shape, in place.
  re = nullptr;
  ASSERT_EQ(test::EvaluateText(ctx, "[9 9 9 9]"), kOk);
  ASSERT_EQ(DropStackEntries(ctx, 1, 1), kOk);
  ASSERT_TRUE(copies.WriteBack(0));
  EXPECT_EQ(reinterpret_cast<const double*>(DataAt(ctx, 0))[2], 3);
}

}  // namespace
}  // namespace vke
