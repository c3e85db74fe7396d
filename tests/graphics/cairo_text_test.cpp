// Text through the cairo port: extents, alignment, colours, the font style
// bits, and fonts and text colours saved and restored with the clip.
#include <gtest/gtest.h>

#include <string>

#include "graphics/port.hpp"
#include "tests/graphics/pixels.hpp"

namespace vke {
namespace {

using test::Box;
using test::InkBox;
using test::NewImage;
using test::PixelAt;

struct Extent {
  double w, h;
};

Extent Measure(CairoTarget& t, const std::string& text) {
  Extent e{-1, -1};
  ScreenPort().textExtent(text.data(), static_cast<int32_t>(text.size()), &e.w, &e.h, &t);
  return e;
}

void Text(CairoTarget& t, double x, double y, const std::string& text, int32_t flags,
          const uint8_t* rgb = nullptr) {
  ScreenPort().drawText(x, y, text.data(), static_cast<int32_t>(text.size()), flags, rgb, &t);
}

void Font(CairoTarget& t, const char* name, double size, int32_t bits = 0,
          const uint8_t* rgb = nullptr) {
  ScreenPort().setFont(name, size, bits, rgb, &t);
}

// Counts pixels whose colour is mostly the given channel (16 red, 0 blue).
int CountTinted(CairoTarget& t, int shift) {
  int n = 0;
  for (int32_t y = 0; y < t.height(); ++y) {
    for (int32_t x = 0; x < t.width(); ++x) {
      const uint32_t p = PixelAt(t, x, y);
      const int c[3] = {int(p >> 16) & 255, int(p >> 8) & 255, int(p) & 255};
      const int main = shift == 16 ? c[0] : c[2];
      const int other = shift == 16 ? c[2] : c[0];
      if (main > 150 && other < 100 && c[1] < 100) ++n;
    }
  }
  return n;
}

class CairoText : public ::testing::Test {
 protected:
  void TearDown() override { ScreenPort().setFont(nullptr, 0, 0, nullptr, nullptr); }
};

TEST_F(CairoText, ExtentsFollowTheFont) {
  auto t = NewImage(200, 100);
  const Extent zero = Measure(*t, "0");
  EXPECT_GT(zero.w, 0);
  EXPECT_GT(zero.h, zero.w);
  EXPECT_EQ(Measure(*t, "00").w, 2 * zero.w);
  const Extent empty = Measure(*t, "");
  EXPECT_EQ(empty.w, 0);
  EXPECT_EQ(empty.h, zero.h);

  Font(*t, "DejaVu Sans", 30);
  const Extent big = Measure(*t, "0");
  EXPECT_GT(big.w, zero.w);
  EXPECT_GT(big.h, zero.h);
  Font(*t, "DejaVu Sans", 30, kFontBold);
  EXPECT_GT(Measure(*t, "MMMM").w, 0);
  // Size 0 and absurd sizes give a usable font.
  Font(*t, "DejaVu Sans", 0);
  EXPECT_GT(Measure(*t, "0").h, 0);
  Font(*t, "DejaVu Sans", 1e300);
  EXPECT_GT(Measure(*t, "0").h, 0);
  // No name: the figure font again.
  Font(*t, nullptr, 30);
  EXPECT_EQ(Measure(*t, "0").h, zero.h);

  // Output arguments are optional; bad bytes are measured, not trusted.
  ScreenPort().textExtent("0", 1, nullptr, nullptr, t.get());
  EXPECT_GT(Measure(*t, std::string("a\xff\xc3", 3)).w, Measure(*t, "a").w);
  EXPECT_GT(Measure(*t, std::string("a\0b", 3)).w, Measure(*t, "ab").w);
  double w = -1;
  ScreenPort().textExtent(nullptr, 5, &w, nullptr, t.get());
  EXPECT_EQ(w, 0);
  ScreenPort().textExtent("abc", -4, &w, nullptr, t.get());
  EXPECT_EQ(w, 0);
}

TEST_F(CairoText, AlignmentPutsTheCellAroundThePoint) {
  const std::string text = "Hg";
  auto probe = NewImage(200, 100);
  const Extent e = Measure(*probe, text);
  const int w = static_cast<int>(e.w);
  const int h = static_cast<int>(e.h);
  const struct {
    int32_t flags;
    int left, top;  // the text cell's top-left for the point (100, 50)
  } cases[] = {
      {kTextRight | kTextBelow, 100, 51},
      {kTextLeft | kTextAbove, 100 - w - 1, 49 - h},
      {0, 100 - w / 2, 50 + h / 2 - h},
  };
  for (const auto& c : cases) {
    auto t = NewImage(200, 100);
    Text(*t, 100.9, 50.9, text, c.flags);
    const Box ink = InkBox(*t);
    ASSERT_LE(ink.left, ink.right) << c.flags;
    EXPECT_GE(ink.left, c.left) << c.flags;
    EXPECT_LT(ink.right, c.left + w) << c.flags;
    EXPECT_GE(ink.top, c.top) << c.flags;
    EXPECT_LT(ink.bottom, c.top + h) << c.flags;
    // The ink fills most of the cell: it is not drawn somewhere else.
    EXPECT_LT(ink.left - c.left, w / 3) << c.flags;
    EXPECT_LT(ink.top - c.top, h / 2) << c.flags;
  }
}

TEST_F(CairoText, Colours) {
  const uint8_t red[3] = {255, 0, 0};
  const uint8_t blue[3] = {0, 0, 255};
  const uint8_t black[3] = {0, 0, 0};
  auto t = NewImage(200, 100);
  Text(*t, 10, 10, "MMM", kTextRight | kTextBelow, red);
  EXPECT_GT(CountTinted(*t, 16), 10);
  EXPECT_EQ(t->textRgb(), 0u);  // back to black after a coloured text

  // The command font's colour applies when no colour is given.
  t = NewImage(200, 100);
  Font(*t, "DejaVu Sans", 20, 0, blue);
  Text(*t, 10, 10, "MMM", kTextRight | kTextBelow);
  EXPECT_GT(CountTinted(*t, 0), 10);
  // An all-zero colour is no colour: the target's own colour is used.
  t = NewImage(200, 100);
  Font(*t, "DejaVu Sans", 20, 0, black);
  t->SetTextRgb(0xFF0000);
  Text(*t, 10, 10, "MMM", kTextRight | kTextBelow);
  EXPECT_GT(CountTinted(*t, 16), 10);
  EXPECT_EQ(t->textRgb(), 0xFF0000u);
  // A font selection without a name stops the colour from applying.
  t = NewImage(200, 100);
  Font(*t, "DejaVu Sans", 20, 0, blue);
  Font(*t, nullptr, 0);
  Text(*t, 10, 10, "MMM", kTextRight | kTextBelow);
  EXPECT_EQ(CountTinted(*t, 0), 0);
  EXPECT_NE(InkBox(*t).right, -1);
}

// Rows of the ink in which it spans most of the text's width.
int WideInkRows(CairoTarget& t, int width) {
  int rows = 0;
  for (int32_t y = 0; y < t.height(); ++y) {
    int first = -1;
    int last = -1;
    for (int32_t x = 0; x < t.width(); ++x) {
      if (PixelAt(t, x, y) != 0xFFFFFF) {
        if (first < 0) first = x;
        last = x;
      }
    }
    int run = 0;
    for (int32_t x = first; first >= 0 && x <= last; ++x) run += PixelAt(t, x, y) != 0xFFFFFF;
    if (run >= width * 8 / 10) ++rows;
  }
  return rows;
}

TEST_F(CairoText, StyleBitsBoldItalicUnderline) {
  auto draw = [](int32_t bits) {
    auto t = NewImage(200, 100);
    Font(*t, "DejaVu Sans", 40, bits);
    Text(*t, 10, 10, "iii", kTextRight | kTextBelow);
    return t;
  };
  auto plain = draw(0);
  const int width = InkBox(*plain).right - InkBox(*plain).left + 1;
  EXPECT_EQ(WideInkRows(*plain, width), 0);
  EXPECT_GT(WideInkRows(*draw(kFontUnderline), width), 0);
  // Italic slants the strokes and draws no line under them.
  auto italic = draw(kFontItalic);
  EXPECT_EQ(WideInkRows(*italic, width), 0);
  EXPECT_NE(test::Snapshot(*italic), test::Snapshot(*plain));
  auto bold = draw(kFontBold);
  EXPECT_GT(test::Ink(*bold).size(), test::Ink(*plain).size());
}

TEST_F(CairoText, ClipRestoresFontAndTextColour) {
  auto t = NewImage(200, 100);
  const Extent before = Measure(*t, "0");
  t->SetTextRgb(0x00FF00);
  ScreenPort().clipRect(0, 100, 0, 100, t.get());
  Font(*t, "DejaVu Sans", 40);
  t->SetTextRgb(0x0000FF);
  EXPECT_GT(Measure(*t, "0").h, before.h);
  ScreenPort().restoreClip(t.get());
  EXPECT_EQ(Measure(*t, "0").h, before.h);
  EXPECT_EQ(t->textRgb(), 0x00FF00u);

  // The command font's colour is shared state, not target state: it stays.
  const uint8_t blue[3] = {0, 0, 255};
  t = NewImage(200, 100);
  ScreenPort().clipRect(0, 200, 0, 100, t.get());
  Font(*t, "DejaVu Sans", 20, 0, blue);
  ScreenPort().restoreClip(t.get());
  Text(*t, 10, 10, "MMM", kTextRight | kTextBelow);
  EXPECT_GT(CountTinted(*t, 0), 10);
}

}  // namespace
}  // namespace vke
