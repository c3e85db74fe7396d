// Style strings: colours, kinds and options, the splitting into entries, the
// cycling over series and the rejection of bad strings.
#include "graphics/style.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/errors/errors.hpp"

namespace vke {
namespace {

struct Parsed {
  ErrCode err;
  PlotStyle style;
};

Parsed Parse(const std::string& text, int32_t series = 0, uint32_t defaults = 0,
             const uint8_t* rgb = nullptr) {
  Parsed p{};
  p.err = ParsePlotStyle(text.data(), static_cast<int32_t>(text.size()), series, defaults, rgb,
                         &p.style);
  return p;
}

int32_t Count(const std::string& text) {
  int32_t n = -1;
  EXPECT_EQ(CountStyleEntries(text.data(), static_cast<int32_t>(text.size()), &n), kOk) << text;
  return n;
}

void ExpectRgb(const PlotStyle& s, int r, int g, int b) {
  EXPECT_EQ(s.red, r);
  EXPECT_EQ(s.green, g);
  EXPECT_EQ(s.blue, b);
}

TEST(StyleStrings, ColourLettersSetIndexBytesAndThickness) {
  Parsed p = Parse("r");
  EXPECT_EQ(p.err, kOk);
  EXPECT_EQ(p.style.flags, 4u);
  ExpectRgb(p.style, 255, 0, 0);
  // Green and cyan keep the parser's full shades in the bytes.
  ExpectRgb(Parse("g").style, 0, 255, 0);
  ExpectRgb(Parse("c").style, 0, 255, 255);
  EXPECT_EQ(Parse("w").style.flags, 7u);

  // Upper case is thick and drops fill; lower case keeps the width bits.
  EXPECT_EQ(Parse("B", 0, kStyleFilled).style.flags, 0x11u);
  EXPECT_EQ(Parse("b", 0, kStyleThick).style.flags, 0x11u);
  EXPECT_EQ(Parse("R:").style.flags, 0x94u);

  // "k" is black; "K" is thick and keeps whatever explicit colour is given.
  const uint8_t olive[3] = {128, 128, 0};
  p = Parse("k", 0, 4, olive);
  EXPECT_EQ(p.style.flags, 0u);
  ExpectRgb(p.style, 0, 0, 0);
  p = Parse("K", 0, 4, olive);
  EXPECT_EQ(p.style.flags, 0x10u);
  ExpectRgb(p.style, 128, 128, 0);
}

TEST(StyleStrings, ExplicitColours) {
  Parsed p = Parse("h(f00)");
  EXPECT_EQ(p.err, kOk);
  EXPECT_EQ(p.style.flags, 0u);
  ExpectRgb(p.style, 255, 0, 0);
  p = Parse("h(12aB3c)", 0, 0x16);
  EXPECT_EQ(p.style.flags, 0x10u);  // index dropped, thickness kept
  ExpectRgb(p.style, 0x12, 0xAB, 0x3C);
  p = Parse("H(0a0)");
  EXPECT_EQ(p.style.flags, 0x10u);
  ExpectRgb(p.style, 0, 170, 0);
  // The digits inside the parentheses are not style letters.
  EXPECT_EQ(Count("h(abc)-"), 1);
  EXPECT_EQ(Parse("h(abc)-").style.flags, 0x40u);

  for (const char* bad : {"h", "h(", "h()", "h(f0)", "h(f000)", "h(f00", "h f00", "h(ggg)",
                          "h(1234567)", "r,H(12)"}) {
    EXPECT_EQ(Parse(bad).err, kErrUnknownOpt) << bad;
  }
  // A malformed colour fails in any entry, not only in the one parsed.
  EXPECT_EQ(Parse("r,h(1)", 0).err, kErrUnknownOpt);
}

TEST(StyleStrings, KindsAndOptionsReplaceEachOther) {
  const struct {
    const char* text;
    uint32_t flags;
  } cases[] = {
      {"-", 0x40}, {"_", 0}, {" ", 0x140}, {".", 0x180}, {"<", 0x380}, {"f", 0x20}, {"A", 0x3000},
  };
  // Defaults: a kind, fill, an option and the default-record bit, all
  // dropped; colour and thickness stay.
  const uint32_t defaults = kKindDot | kStyleFilled | kStyleStairs | kStyleDefaultRecord | 0x10 | 5;
  for (const auto& c : cases) {
    const Parsed p = Parse(c.text, 0, defaults);
    EXPECT_EQ(p.err, kOk) << c.text;
    EXPECT_EQ(p.style.flags, c.flags | 0x15) << "'" << c.text << "'";
  }
  // Colour after the kind in the same entry keeps the kind.
  EXPECT_EQ(Parse("-r").style.flags, kKindDash | 4);
  EXPECT_EQ(Parse("o-", 0).style.flags, uint32_t{kKindCircle});
  EXPECT_EQ(Parse("o-", 1).style.flags, uint32_t{kKindDash});
}

TEST(StyleStrings, EntriesAndSeries) {
  EXPECT_EQ(Count(""), 0);
  EXPECT_EQ(Count("rgb"), 3);
  EXPECT_EQ(Count("r-g:"), 2);
  EXPECT_EQ(Count("bo,g:"), 2);
  EXPECT_EQ(Count("o-"), 2);
  EXPECT_EQ(Count("-r"), 1);
  EXPECT_EQ(Count("r-,g"), 2);
  EXPECT_EQ(Count("r,,g,"), 2);
  EXPECT_EQ(Count("r-b"), 2);

  EXPECT_EQ(Parse("r", 0).style.flags, 4u);
  EXPECT_EQ(Parse("r", 1).style.flags, 4u);
  EXPECT_EQ(Parse("rb", 0).style.flags, 4u);
  EXPECT_EQ(Parse("rb", 1).style.flags, 1u);
  EXPECT_EQ(Parse("rb", 2).style.flags, 4u);
  EXPECT_EQ(Parse("rb", -1).style.flags, 1u);  // counted from the end
  EXPECT_EQ(Parse("bo,g:", 1).style.flags, kKindDot | 2u);
  EXPECT_EQ(Parse("r-g:", 1).style.flags, kKindDot | 2u);

  // Only `length` bytes are read.
  const char text[] = "r-zzz";
  PlotStyle s{};
  EXPECT_EQ(ParsePlotStyle(text, 2, 0, 0, nullptr, &s), kOk);
  EXPECT_EQ(s.flags, kKindDash | 4u);
}

TEST(StyleStrings, DefaultsAndEmptyString) {
  const uint8_t rgb[3] = {1, 2, 3};
  Parsed p = Parse("", 3, 0x2C, rgb);
  EXPECT_EQ(p.err, kOk);
  EXPECT_EQ(p.style.flags, 0x2Cu);
  ExpectRgb(p.style, 1, 2, 3);
  EXPECT_EQ(p.style.spare, 0);
  ExpectRgb(Parse("", 0, 0).style, 0, 0, 0);
  // A kind alone keeps the explicit default colour.
  ExpectRgb(Parse("-", 0, 0, rgb).style, 1, 2, 3);
  // A colour index from the defaults sets the bytes once a string is parsed.
  ExpectRgb(Parse("-", 0, 6, rgb).style, 255, 255, 0);
}

TEST(StyleStrings, BadCharactersFailOnlyInTheEntryParsed) {
  EXPECT_EQ(Parse("z").err, kErrUnknownOpt);
  EXPECT_EQ(Parse(",r").err, kErrUnknownOpt);
  int32_t n = 0;
  EXPECT_EQ(CountStyleEntries(",r", 2, &n), kErrUnknownOpt);

  Parsed p = Parse("r,z", 0);
  EXPECT_EQ(p.err, kOk);
  EXPECT_EQ(p.style.flags, 4u);
  EXPECT_EQ(Parse("r,z", 1).err, kErrUnknownOpt);
  for (const char* bad : {"{", "\t", "\x7f", "\xc3\xa9", "Z", "?", "p"}) {
    EXPECT_EQ(Parse(bad).err, kErrUnknownOpt) << int(static_cast<uint8_t>(bad[0]));
  }
  // The record keeps what came before the bad character.
  p = Parse("rz");
  EXPECT_EQ(p.err, kErrUnknownOpt);
  EXPECT_EQ(p.style.flags & kStyleColourMask, 4u);

  // Entry parsing alone, without a record.
  EXPECT_EQ(ParsePlotStyleChars("r,z", 3, 0, nullptr, nullptr), kOk);
  EXPECT_EQ(ParsePlotStyleChars("r,z", 3, 1, nullptr, nullptr), kErrUnknownOpt);
  EXPECT_EQ(ParsePlotStyleChars(nullptr, 5, 0, &n, nullptr), kOk);
  EXPECT_EQ(n, 0);
}

}  // namespace
}  // namespace vke
