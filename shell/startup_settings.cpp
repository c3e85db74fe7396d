// The start-up preferences with their clamps and reductions.
#include "shell/startup_settings.hpp"

#include <algorithm>

#include "graphics/port.hpp"

namespace vke {

namespace {

constexpr int32_t kCodeOptimise = 4;

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

char FormatTypeLetter(std::string_view text) {
  return !text.empty() && IsAsciiLetter(text[0]) ? text[0] : 'g';
}

char ImagSymbolLetter(std::string_view text) {
  return !text.empty() && (text[0] == 'i' || text[0] == 'j') ? text[0] : 'j';
}

int32_t FigureFontPixels(const Preferences& preferences) {
  const int32_t height =
      std::clamp(preferences.ReadInt(PrefKey::FigFontSize), -kLargestFontSize, kLargestFontSize);
  return height < 0 ? -height : height;
}

StartupSettings ReadStartupSettings(const Preferences& preferences) {
  StartupSettings s;
  const int32_t memMin =
      std::clamp(preferences.ReadInt(PrefKey::MemMin), kMemSmallest, kMemLargest);
  const int32_t memMax = std::clamp(preferences.ReadInt(PrefKey::MemMax), memMin, kMemLargest);
  s.memMin = static_cast<uint32_t>(memMin);
  s.memMax = static_cast<uint32_t>(memMax);
  s.codeOption = preferences.ReadInt(PrefKey::CodeOptimization) != 0 ? kCodeOptimise : 0;
  s.discardAssert = static_cast<uint8_t>(preferences.ReadInt(PrefKey::DiscardAssert));
  s.interactiveHilight = preferences.ReadInt(PrefKey::InteractiveHilight);
  s.thickLines = preferences.ReadInt(PrefKey::ThickLines);
  s.bkColor = static_cast<uint32_t>(preferences.ReadInt(PrefKey::BkColor));
  s.formatType = FormatTypeLetter(preferences.ReadText(PrefKey::FormatType));
  s.imagSymbol = ImagSymbolLetter(preferences.ReadText(PrefKey::FormatImagSymbol));
  s.formatLoose = static_cast<uint8_t>(preferences.ReadInt(PrefKey::FormatLoose));
  s.formatDigits = preferences.ReadInt(PrefKey::FormatNDigits);
  return s;
}

}  // namespace vke
