// The about box's layout.
#include "shell/splash_layout.hpp"

namespace vke {

namespace {

constexpr int32_t kSmallBitmapHeight = 200;
constexpr int32_t kSmallBitmapTop = 10;
constexpr int32_t kHeadingBelowBitmap = 20;
constexpr int32_t kBodyBelowBitmap = 40;
constexpr int32_t kRightEdge = 505;  // of right-aligned texts
constexpr int32_t kLargeHeadingTop = 95;
constexpr int32_t kLargeBodyTop = 150;
constexpr int32_t kFooterTop = 335;

}  // namespace

std::vector<std::string> SplashBodyLines(std::string_view body) {
  std::vector<std::string> lines;
  size_t k = 0;
  while (k < body.size()) {
    const size_t end = body.find_first_of("\r\n", k);
    if (end != k) lines.emplace_back(body.substr(k, end - k));
    if (end == std::string_view::npos) break;
    k = body.find_first_not_of("\r\n", end);
    if (k == std::string_view::npos) break;
  }
  return lines;
}

SplashLayout LayOutSplash(int32_t bitmapWidth, int32_t bitmapHeight, const std::string& heading,
                          const std::string& body, const std::string& footer,
                          const MeasureText& measure) {
  const bool small = bitmapHeight < kSmallBitmapHeight;
  SplashLayout layout{(kSplashWidth - bitmapWidth) / 2,
                      small ? kSmallBitmapTop : (kSplashHeight - bitmapHeight) / 2,
                      {}};
  // Centred under a small bitmap, else right-aligned.
  auto place = [&](const std::string& text, int32_t y) {
    const TextSize size = measure(text);
    const int32_t x = small ? (kSplashWidth - size.width) / 2 : kRightEdge - size.width;
    layout.texts.push_back({text, x, y});
    return size.height;
  };
  if (!heading.empty())
    place(heading, small ? bitmapHeight + kHeadingBelowBitmap : kLargeHeadingTop);
  int32_t y = small ? bitmapHeight + kBodyBelowBitmap : kLargeBodyTop;
  for (const std::string& line : SplashBodyLines(body)) y += place(line, y);
  if (!footer.empty()) place(footer, kFooterTop);
  return layout;
}

}  // namespace vke
