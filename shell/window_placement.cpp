// Reading, checking and writing the window's placement.
#include "shell/window_placement.hpp"

#include <algorithm>

namespace vke {

namespace {

constexpr int32_t kLargestCoordinate = 1000;

int32_t ReadOr(const Preferences& preferences, PrefKey key, int32_t current) {
  const std::optional<std::string> text =
      preferences.Read(kPreferenceGroup, PreferenceKeyOf(key).name);
  int32_t value;
  return text && ParsePreferenceInt(*text, &value) ? value : current;
}

}  // namespace

std::optional<WindowPlacement> RestoredPlacement(const Preferences& preferences,
                                                 const WindowPlacement& current,
                                                 const ScreenSize& screen) {
  WindowPlacement p;
  p.flags = ReadOr(preferences, PrefKey::WindowFlags, current.flags);
  p.showCmd = ReadOr(preferences, PrefKey::WindowShowCmd, current.showCmd);
  p.left = preferences.ReadInt(PrefKey::WindowLeft);
  p.right = preferences.ReadInt(PrefKey::WindowRight);
  p.top = preferences.ReadInt(PrefKey::WindowTop);
  p.bottom = preferences.ReadInt(PrefKey::WindowBottom);
  if (p.left < 0 || p.top < 0 || p.right < 0 || p.bottom < 0 || p.left > p.right ||
      p.right > kLargestCoordinate || p.top > p.bottom || p.bottom > kLargestCoordinate)
    return std::nullopt;
  p.left = std::min(p.left, screen.width - screen.iconWidth);
  p.top = std::min(p.top, screen.height - screen.iconHeight);
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
