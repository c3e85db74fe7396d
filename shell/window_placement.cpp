// Reading, checking and writing the window's placement.
#include "shell/window_placement.hpp"

#include <algorithm>

namespace vke {

namespace {

std::optional<int32_t> ReadStored(const Preferences& preferences, PrefKey key) {
  const std::optional<std::string> text =
      preferences.Read(kPreferenceGroup, PreferenceKeyOf(key).name);
  int32_t value;
  if (!text || !ParsePreferenceInt(*text, &value)) return std::nullopt;
  return value;
}

bool Overlaps(const WindowPlacement& p, const ScreenRect& r) {
  return p.left < r.right && r.left < p.right && p.top < r.bottom && r.top < p.bottom;
}

}  // namespace

std::optional<WindowPlacement> RestoredPlacement(const Preferences& preferences,
                                                 const WindowPlacement& current,
                                                 const ScreenSize& screen) {
  const std::optional<int32_t> left = ReadStored(preferences, PrefKey::WindowLeft);
  const std::optional<int32_t> top = ReadStored(preferences, PrefKey::WindowTop);
  const std::optional<int32_t> right = ReadStored(preferences, PrefKey::WindowRight);
  const std::optional<int32_t> bottom = ReadStored(preferences, PrefKey::WindowBottom);
  if (!left || !top || !right || !bottom) return std::nullopt;
  WindowPlacement p{ReadStored(preferences, PrefKey::WindowFlags).value_or(current.flags),
                    ReadStored(preferences, PrefKey::WindowShowCmd).value_or(current.showCmd),
                    *left,
                    *top,
                    *right,
                    *bottom};
  // Differences in 64 bits: stored edges may lie anywhere.
  if (int64_t{p.right} - p.left < screen.minWidth || int64_t{p.bottom} - p.top < screen.minHeight)
    return std::nullopt;
  if (std::none_of(screen.workAreas.begin(), screen.workAreas.end(),
                   [&](const ScreenRect& r) { return Overlaps(p, r); }))
    return std::nullopt;
  int32_t screensRight = screen.workAreas.front().right;
  int32_t screensBottom = screen.workAreas.front().bottom;
  for (const ScreenRect& r : screen.workAreas) {
    screensRight = std::max(screensRight, r.right);
    screensBottom = std::max(screensBottom, r.bottom);
  }
  p.left = std::min(p.left, screensRight - screen.iconWidth);
  p.top = std::min(p.top, screensBottom - screen.iconHeight);
  return p;
}

void SavePlacement(Preferences& preferences, const WindowPlacement& placement) {
  preferences.WriteInt(PrefKey::WindowFlags, placement.flags);
  preferences.WriteInt(PrefKey::WindowShowCmd, placement.showCmd);
  preferences.WriteInt(PrefKey::WindowLeft, placement.left);
  preferences.WriteInt(PrefKey::WindowRight, placement.right);
  preferences.WriteInt(PrefKey::WindowTop, placement.top);
  preferences.WriteInt(PrefKey::WindowBottom, placement.bottom);
  preferences.WriteInt(PrefKey::CmdPanelHeight, 0);
}

}  // namespace vke
