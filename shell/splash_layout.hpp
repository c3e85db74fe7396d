// The layout of the runtime's about box: a white 520 x 355 box with a
// bitmap, a heading, the body's lines and a footer. A small bitmap (under
// 200 pixels high) sits at the top with the texts centred below it; a large
// one is centred and the texts are right-aligned beside it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vke {

inline constexpr int32_t kSplashWidth = 520;
inline constexpr int32_t kSplashHeight = 355;

struct SplashText {
  std::string text;
  int32_t x;  // left edge
  int32_t y;  // top edge
};

struct SplashLayout {
  int32_t bitmapX;
  int32_t bitmapY;
  std::vector<SplashText> texts;  // heading, body lines, footer
};

// A line's width and height in the box's font.
struct TextSize {
  int32_t width;
  int32_t height;
};
using MeasureText = std::function<TextSize(const std::string& text)>;

// The body's lines: they end at CR or LF, and runs of them are skipped.
std::vector<std::string> SplashBodyLines(std::string_view body);

// Where everything goes for a bitmap of that size (0 x 0 without one);
// empty texts are left out.
SplashLayout LayOutSplash(int32_t bitmapWidth, int32_t bitmapHeight, const std::string& heading,
                          const std::string& body, const std::string& footer,
                          const MeasureText& measure);

}  // namespace vke
