// The preferences the application reads at start, reduced to the values the
// engine, the interaction code and the graphics port are given: the block
// sizes clamped, the code option, and the number format's letters.
#pragma once

#include <string_view>

#include "shell/preferences.hpp"

namespace vke {

// The block may not start smaller, nor grow beyond the largest size.
inline constexpr int32_t kMemSmallest = 0x7E8000;
inline constexpr int32_t kMemLargest = 0x7FF00000;

struct StartupSettings {
  uint32_t memMin;        // kMemSmallest to kMemLargest
  uint32_t memMax;        // memMin to kMemLargest
  int32_t codeOption;     // 4 optimise, 0 none
  uint8_t discardAssert;  // low byte of "DiscardAssert"
  int32_t interactiveHilight;
  int32_t thickLines;
  uint32_t bkColor;     // 0x00BBGGRR
  char formatType;      // a letter
  char imagSymbol;      // 'i' or 'j'
  uint8_t formatLoose;  // low byte of "FormatLoose"
  int32_t formatDigits;
};

StartupSettings ReadStartupSettings(const Preferences& preferences);

// The figure font's em height in pixels from "FigFontSize", a font height
// whose sign only tells how it was measured: its magnitude, clamped before
// any arithmetic to the largest size the port draws; 0 keeps the port's
// default size.
int32_t FigureFontPixels(const Preferences& preferences);

// A stored text reduced to its first character by the rule of its key: a
// letter for "FormatType" ('g' else), 'i' or 'j' for "FormatImagSymbol"
// ('j' else).
char FormatTypeLetter(std::string_view text);
char ImagSymbolLetter(std::string_view text);

}  // namespace vke
