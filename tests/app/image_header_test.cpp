// The first record of an application image: the block header fields it
// carries come back into the loading block, and its padding is written as
// zero whatever an image held there.
#include <gtest/gtest.h>

#include "app/image.hpp"
#include "tests/app/image_parts.hpp"

namespace vke {
namespace {

using test::Application;
using test::BlockHost;
using test::ImageParts;

TEST(ImageHeaderFields, BlockFieldsComeBackAndPaddingIsDropped) {
  Application saver;
  KVContextBlock* a = saver.block();
  a->savedWord = 0xC0FFEE01;
  a->nextInstanceId = 9;
  a->defaultInstanceFlag = 0;
  a->figureMode = 5;
  a->styleB = a->styleA;
  a->styleA.colour = 0xABCDEF;
  a->imageFlag = 1;
  a->savedByte = 0x7E;
  ImageParts parts = test::SaveParts(a);
  ImageHeader& h = parts.header();
  EXPECT_EQ(h.savedWord, 0xC0FFEE01u);
  EXPECT_EQ(h.unused1[0] | h.unused1[1] | h.unused1[2] | h.unused2[0] | h.unused2[1], 0);
  h.unused1 = {1, 2, 3};
  h.unused2 = {4, 5};

  BlockHost loader;
  ASSERT_EQ(test::LoadParts(loader.slot(), parts), kOk);
  KVContextBlock* b = loader.block();
  EXPECT_EQ(b->savedWord, 0xC0FFEE01u);
  EXPECT_EQ(b->nextInstanceId, 9u);
  EXPECT_EQ(b->defaultInstanceFlag, 0);
  EXPECT_EQ(b->figureMode, 5u);
  EXPECT_EQ(b->styleA.colour, 0xABCDEFu);
  EXPECT_EQ(b->styleB.colour, a->styleB.colour);
  EXPECT_EQ(b->imageFlag, 1);
  EXPECT_EQ(b->savedByte, 0x7E);

  const ImageParts again = test::SaveParts(b);
  h.unused1 = {0, 0, 0};
  h.unused2 = {0, 0};
  EXPECT_EQ(again.records[test::kRecHeader], parts.records[test::kRecHeader]);
}

}  // namespace
}  // namespace vke
