// Reading, checking and writing the window's placement, and a window kept
// inside the work area.
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

// How far a point lies outside a rectangle, along both axes together.
int64_t DistanceOutside(const ScreenRect& r, int64_t x, int64_t y) {
  const int64_t dx = x < r.left ? r.left - x : x >= r.right ? x - r.right + 1 : 0;
  const int64_t dy = y < r.top ? r.top - y : y >= r.bottom ? y - r.bottom + 1 : 0;
  return dx + dy;
}

// An extent [start, start + size) pulled inside [low, high).
void FitExtent(int32_t low, int32_t high, int32_t* start, int32_t* end) {
  const int64_t size = std::min<int64_t>(int64_t{*end} - *start, int64_t{high} - low);
  int64_t at = std::clamp<int64_t>(*start, low, high - size);
  *start = static_cast<int32_t>(at);
  *end = static_cast<int32_t>(at + size);
}

// The work area that holds the window's middle, else the nearest one.
const ScreenRect& AreaOf(const ScreenRect& window, const std::vector<ScreenRect>& workAreas) {
  const int64_t x = (int64_t{window.left} + window.right) / 2;
  const int64_t y = (int64_t{window.top} + window.bottom) / 2;
  const ScreenRect* area = &workAreas.front();
  for (const ScreenRect& r : workAreas)
    if (DistanceOutside(r, x, y) < DistanceOutside(*area, x, y)) area = &r;
  return *area;
}

// A page length at a zoom step, as the preview scales it.
int64_t Zoomed(int32_t length, int32_t zoom) {
  return int64_t{length} * zoom / 100;
}

}  // namespace

ScreenRect PlaceInWorkArea(const ScreenRect& window, const std::vector<ScreenRect>& workAreas) {
  if (workAreas.empty()) return window;
  const ScreenRect* area = &AreaOf(window, workAreas);
  ScreenRect placed = window;
  FitExtent(area->left, area->right, &placed.left, &placed.right);
  FitExtent(area->top, area->bottom, &placed.top, &placed.bottom);
  return placed;
}

PreviewPlacement PlacePreview(const ScreenRect& mainWindow, const PreviewContent& content,
                              const std::vector<ScreenRect>& workAreas) {
  const ScreenRect room = workAreas.empty() ? mainWindow : AreaOf(mainWindow, workAreas);
  const int64_t roomWidth = int64_t{room.right} - room.left;
  const int64_t roomHeight = int64_t{room.bottom} - room.top;
  int32_t zoom = kPreviewZoomSteps[0];
  for (const int32_t step : kPreviewZoomSteps) {
    if (Zoomed(content.pageWidth, step) + content.aroundWidth <= roomWidth &&
        Zoomed(content.pageHeight, step) + content.aroundHeight <= roomHeight)
      zoom = step;
  }
  const int64_t width =
      std::max<int64_t>(Zoomed(content.pageWidth, zoom) + content.aroundWidth, content.leastWidth);
  const int64_t height = Zoomed(content.pageHeight, zoom) + content.aroundHeight;
  const int64_t x = (int64_t{mainWindow.left} + mainWindow.right) / 2 - width / 2;
  const int64_t y = (int64_t{mainWindow.top} + mainWindow.bottom) / 2 - height / 2;
  // Edges beyond 32 bits cannot lie on a screen: clamped, then pulled in.
  auto edge = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
  };
  const ScreenRect window{edge(x), edge(y), edge(x + width), edge(y + height)};
  return {workAreas.empty() ? window : PlaceInWorkArea(window, {room}), zoom};
}

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
