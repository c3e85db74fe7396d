// The about box's layout: small and large bitmaps, body lines one line
// height apart however their ends are written, and no bitmap at all.
#include "shell/splash_layout.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vke {
namespace {

// Ten pixels a character, lines 14 high.
TextSize Measure(const std::string& text) {
  return {static_cast<int32_t>(text.size()) * 10, 14};
}

TEST(SplashLayout, BodyLinesSkipRunsOfLineEnds) {
  EXPECT_THAT(SplashBodyLines("one\r\n\r\ntwo"), ::testing::ElementsAre("one", "two"));
  EXPECT_THAT(SplashBodyLines("\n\ra\rb\n"), ::testing::ElementsAre("a", "b"));
  EXPECT_TRUE(SplashBodyLines("").empty());
  EXPECT_TRUE(SplashBodyLines("\r\n").empty());
}

TEST(SplashLayout, UnderASmallBitmapTheTextsAreCentred) {
  const SplashLayout l = LayOutSplash(64, 64, "Heading", "Demo\r\n\r\nApp", "v1", Measure);
  EXPECT_EQ(l.bitmapX, (520 - 64) / 2);
  EXPECT_EQ(l.bitmapY, 10);
  ASSERT_EQ(l.texts.size(), 4u);
  EXPECT_EQ(l.texts[0].text, "Heading");
  EXPECT_EQ(l.texts[0].x, (520 - 70) / 2);
  EXPECT_EQ(l.texts[0].y, 64 + 20);
  // Two lines, one line height apart.
  EXPECT_EQ(l.texts[1].text, "Demo");
  EXPECT_EQ(l.texts[1].y, 64 + 40);
  EXPECT_EQ(l.texts[2].text, "App");
  EXPECT_EQ(l.texts[2].y, 64 + 40 + 14);
  EXPECT_EQ(l.texts[2].x, (520 - 30) / 2);
  EXPECT_EQ(l.texts[3].text, "v1");
  EXPECT_EQ(l.texts[3].y, 335);
}

TEST(SplashLayout, BesideALargeBitmapTheTextsAreRightAligned) {
  const SplashLayout l = LayOutSplash(300, 250, "Heading", "Body", "", Measure);
  EXPECT_EQ(l.bitmapY, (355 - 250) / 2);
  ASSERT_EQ(l.texts.size(), 2u);
  EXPECT_EQ(l.texts[0].x, 505 - 70);
  EXPECT_EQ(l.texts[0].y, 95);
  EXPECT_EQ(l.texts[1].x, 505 - 40);
  EXPECT_EQ(l.texts[1].y, 150);
}

TEST(SplashLayout, WithoutABitmapTheTextsStayAtTheTop) {
  const SplashLayout l = LayOutSplash(0, 0, "", "Title", "", Measure);
  ASSERT_EQ(l.texts.size(), 1u);
  EXPECT_EQ(l.texts[0].y, 40);
}

}  // namespace
}  // namespace vke
