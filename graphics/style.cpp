// Plot style strings: the character vocabulary, the splitting of a string
// into entries and the application of one entry to a style record.
#include "graphics/style.hpp"

#include <array>

#include "engine/errors/errors.hpp"

namespace vke {
namespace {

// What a character does besides masking and or-ing the style word.
enum class Extra : uint8_t {
  kNone,
  kBlack,      // red, green and blue become 0
  kHexColour,  // "(" three or six hexadecimal digits ")" follow
};

struct StyleChar {
  char ch;
  bool colour;  // colour part of an entry, else the other part
  uint16_t keep;
  uint16_t set;
  Extra extra;
};

// The vocabulary: w = (w & keep) | set.
constexpr std::array<StyleChar, 37> kStyleChars{{
    {'k', true, 0xFBF0, 0, Extra::kBlack},           // black, explicit colour
    {'b', true, 0xFBF0, 1, Extra::kNone},            // blue
    {'g', true, 0xFBF0, 2, Extra::kNone},            // green
    {'c', true, 0xFBF0, 3, Extra::kNone},            // cyan
    {'r', true, 0xFBF0, 4, Extra::kNone},            // red
    {'m', true, 0xFBF0, 5, Extra::kNone},            // magenta
    {'y', true, 0xFBF0, 6, Extra::kNone},            // yellow
    {'w', true, 0xFBF0, 7, Extra::kNone},            // white
    {'K', true, 0xFBC0, 0x10, Extra::kNone},         // thick, explicit colour kept
    {'B', true, 0xFBC0, 0x11, Extra::kNone},         // thick blue
    {'G', true, 0xFBC0, 0x12, Extra::kNone},         // thick green
    {'C', true, 0xFBC0, 0x13, Extra::kNone},         // thick cyan
    {'R', true, 0xFBC0, 0x14, Extra::kNone},         // thick red
    {'M', true, 0xFBC0, 0x15, Extra::kNone},         // thick magenta
    {'Y', true, 0xFBC0, 0x16, Extra::kNone},         // thick yellow
    {'W', true, 0xFBC0, 0x17, Extra::kNone},         // thick white
    {'h', true, 0xFBF0, 0, Extra::kHexColour},       // h(rgb) or h(rrggbb)
    {'H', true, 0xFBC0, 0x10, Extra::kHexColour},    // the same, thick
    {'-', false, 0x17, kKindDash, Extra::kNone},     // dashed
    {':', false, 0x17, kKindDot, Extra::kNone},      // dotted
    {'!', false, 0x17, kKindDashDot, Extra::kNone},  // dash-dot
    {'_', false, 0x17, kKindSolid, Extra::kNone},    // solid
    {'n', false, 0x17, kKindPlain, Extra::kNone},    // plain solid
    {' ', false, 0x17, kKindNone, Extra::kNone},     // nothing drawn
    {'.', false, 0x17, kKindPoint, Extra::kNone},    // point markers
    {'o', false, 0x17, kKindCircle, Extra::kNone},   // circles
    {'x', false, 0x17, kKindCross, Extra::kNone},    // crosses
    {'+', false, 0x17, kKindPlus, Extra::kNone},     // plus signs
    {'*', false, 0x17, kKindStar, Extra::kNone},     // stars
    {'^', false, 0x17, kKindTriangleUp, Extra::kNone},
    {'v', false, 0x17, kKindTriangleDown, Extra::kNone},
    {'[', false, 0x17, kKindBox, Extra::kNone},                            // boxes
    {'<', false, 0x17, kKindDiamond, Extra::kNone},                        // diamonds
    {'f', false, 0x17, kStyleFilled, Extra::kNone},                        // filled
    {'s', false, 0x17, kStyleStairs, Extra::kNone},                        // option s
    {'a', false, 0x17, kStyleArrowLast, Extra::kNone},                     // option a
    {'A', false, 0x17, kStyleArrowFirst | kStyleArrowLast, Extra::kNone},  // option A
}};

// Colours of the indexes 1..7 as the parser stores them.
constexpr uint8_t kIndexColours[8][3] = {
    {0, 0, 0},        // 0: explicit
    {0, 0, 255},      // 1 blue
    {0, 255, 0},      // 2 green
    {0, 255, 255},    // 3 cyan
    {255, 0, 0},      // 4 red
    {255, 0, 255},    // 5 magenta
    {255, 255, 0},    // 6 yellow
    {255, 255, 255},  // 7 white
};

const StyleChar* FindStyleChar(char c) {
  for (const StyleChar& s : kStyleChars) {
    if (s.ch == c) return &s;
  }
  return nullptr;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of "(" + 3 or 6 hexadecimal digits + ")" at text, 0 when malformed;
// the colour goes to rgb.
int32_t ParseHexColour(const char* text, int32_t length, uint8_t rgb[3]) {
  if (length < 1 || text[0] != '(') return 0;
  int32_t digits = 0;
  while (digits < 6 && digits + 1 < length && HexDigit(text[digits + 1]) >= 0) ++digits;
  if ((digits != 3 && digits != 6) || digits + 1 >= length || text[digits + 1] != ')') return 0;
  for (int i = 0; i < 3; ++i) {
    rgb[i] = digits == 3
                 ? static_cast<uint8_t>(HexDigit(text[1 + i]) * 17)
                 : static_cast<uint8_t>(HexDigit(text[1 + 2 * i]) * 16 + HexDigit(text[2 + 2 * i]));
  }
  return digits + 2;
}

}  // namespace

void StyleIndexColour(uint32_t index, uint8_t rgb[3]) {
  if (index > 7) index = 0;
  for (int i = 0; i < 3; ++i) rgb[i] = kIndexColours[index][i];
}

ErrCode ParsePlotStyleChars(const char* text, int32_t length, int32_t index, int32_t* count,
                            PlotStyle* style) {
  if (text == nullptr || length < 0) length = 0;
  if (length > 0 && text[0] == ',') return kErrUnknownOpt;
  PlotStyle scratch{};
  if (style == nullptr) style = &scratch;

  int32_t entry = -1;
  bool open = false;          // the current entry can still take a character
  bool openIsColour = false;  // class of the current entry's first character
  int32_t pos = 0;
  while (pos < length) {
    const char c = text[pos];
    if (c == ',') {
      open = false;
      ++pos;
      continue;
    }
    const StyleChar* s = FindStyleChar(c);
    const bool isColour = s != nullptr && s->colour;
    uint8_t rgb[3] = {0, 0, 0};
    int32_t span = 1;
    if (s != nullptr && s->extra == Extra::kHexColour) {
      const int32_t n = ParseHexColour(text + pos + 1, length - pos - 1, rgb);
      if (n == 0) return kErrUnknownOpt;
      span += n;
    }
    // A character of the other class completes the open entry; anything
    // else starts a new one.
    if (open && isColour != openIsColour) {
      open = false;
    } else {
      ++entry;
      open = true;
      openIsColour = isColour;
    }
    if (entry == index) {
      if (s == nullptr) return kErrUnknownOpt;
      style->flags = (style->flags & s->keep) | s->set;
      if (s->extra != Extra::kNone) {
        style->red = rgb[0];
        style->green = rgb[1];
        style->blue = rgb[2];
      }
    }
    pos += span;
  }
  if (count != nullptr) *count = entry + 1;
  return kOk;
}

ErrCode CountStyleEntries(const char* text, int32_t length, int32_t* count) {
  return ParsePlotStyleChars(text, length, -1, count, nullptr);
}

ErrCode ParsePlotStyle(const char* text, int32_t length, int32_t series, uint32_t defaultFlags,
                       const uint8_t* defaultRgb, PlotStyle* out) {
  *out = PlotStyle{defaultFlags, 0, 0, 0, 0};
  if (defaultRgb != nullptr) {
    out->red = defaultRgb[0];
    out->green = defaultRgb[1];
    out->blue = defaultRgb[2];
  }
  if (text == nullptr || length <= 0) return kOk;
  int32_t n = 0;
  ErrCode err = CountStyleEntries(text, length, &n);
  if (err != kOk) return err;
  if (n <= 0) return kOk;
  int32_t k = series % n;
  if (k < 0) k += n;
  err = ParsePlotStyleChars(text, length, k, nullptr, out);
  if (err != kOk) return err;
  const uint32_t index = out->flags & kStyleColourMask;
  if (index != 0) {
    uint8_t rgb[3];
    StyleIndexColour(index, rgb);
    out->red = rgb[0];
    out->green = rgb[1];
    out->blue = rgb[2];
  }
  return kOk;
}

}  // namespace vke
