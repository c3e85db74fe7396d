// The header of a stored engine state: the context fields it carries come
// back as they were saved, a loaded engine saves the very same header, and
// bytes that carry nothing are written as zero whatever an image held there.
#include <gtest/gtest.h>

#include "engine/image/engine_image.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::MemoryImage;
using test::TestHost;

TEST(EngineImageHeader, FieldsComeBackAndSaveTheSameHeader) {
  TestHost saver;
  test::FillSampleState(saver.ctx());
  saver->nextThreadId = 77;
  saver->lastSemaphoreId = 0x5A5A5A5A;
  saver->semCap = 12;
  MemoryImage image = test::SaveToMemory(saver.ctx());
  EXPECT_EQ(image.header().nextThreadId, 77u);
  EXPECT_EQ(image.header().cpFlag, saver->cpFlag);
  EXPECT_EQ(image.header().reserved1, 0);

  // Whatever lies in the bytes that carry nothing is not carried on.
  image.header().reserved1 = 0xAB;
  TestHost loader;
  ASSERT_EQ(test::LoadFromMemory(loader.ctx(), image), kOk);
  EXPECT_EQ(loader->nextThreadId, 77u);
  EXPECT_EQ(loader->lastSemaphoreId, 0x5A5A5A5Au);
  EXPECT_EQ(loader->semCap, 12u);
  EXPECT_EQ(loader->curFrame, saver->curFrame);
  EXPECT_EQ(loader->cpKind, saver->cpKind);
  EXPECT_EQ(loader->cpFlag, saver->cpFlag);
  EXPECT_EQ(loader->cpOffset, saver->cpOffset);
  EXPECT_EQ(loader->displayDigits, saver->displayDigits);
  EXPECT_EQ(loader->formatLetter, saver->formatLetter);
  EXPECT_EQ(loader->displayOnOff, saver->displayOnOff);

  image.header().reserved1 = 0;
  const MemoryImage again = test::SaveToMemory(loader.ctx());
  EXPECT_EQ(again.records[0], image.records[0]);
}

}  // namespace
}  // namespace vke
