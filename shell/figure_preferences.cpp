// The figure's preference commands.
#include "shell/figure_preferences.hpp"

#include <algorithm>
#include <cmath>

#include "graphics/port.hpp"

namespace vke {

int32_t FontHeightOfPoints(double points, double dotsPerInch) {
  const double pixels = std::round(points * dotsPerInch / 72.0);
  if (!std::isfinite(pixels) || pixels < 1) return -1;
  return -static_cast<int32_t>(std::min<double>(pixels, kLargestFontSize));
}

double PointsOfFontHeight(int32_t height, double dotsPerInch) {
  const int32_t pixels = std::clamp(height < 0 ? -height : height, 1, kLargestFontSize);
  return dotsPerInch > 0 ? pixels * 72.0 / dotsPerInch : pixels;
}

void FigurePreferences::ToggleInteractiveHighlight() {
  highlight_ = !highlight_;
  if (engine_.Created()) engine_.SetInteractiveHighlight(highlight_ ? 1 : 0);
  preferences_.WriteInt(PrefKey::InteractiveHilight, highlight_ ? 1 : 0);
}

void FigurePreferences::ToggleThickLines() {
  thickLines_ = !thickLines_;
  SetDrawingOption(thickLines_);
  preferences_.WriteInt(PrefKey::ThickLines, thickLines_ ? 1 : 0);
}

bool FigurePreferences::ChooseBackgroundColor() {
  if (!vke::ChooseBackgroundColor([this](uint32_t* c) { return dialogs_.ChooseColor(c); }))
    return false;
  preferences_.WriteInt(PrefKey::BkColor, static_cast<int32_t>(GetBackgroundColor()));
  return true;
}

FigureFontChoice FigurePreferences::CurrentFont() const {
  return {preferences_.ReadText(PrefKey::FigFontName), preferences_.ReadInt(PrefKey::FigFontSize)};
}

bool FigurePreferences::ChooseFigureFont() {
  const std::optional<FigureFontChoice> font = dialogs_.ChooseFont(CurrentFont());
  if (!font) return false;
  const int32_t height = std::clamp(font->height, -kLargestFontSize, kLargestFontSize);
  SetPortFont(font->face.c_str(), height < 0 ? -height : height, 0);
  preferences_.WriteText(PrefKey::FigFontName, font->face);
  preferences_.WriteInt(PrefKey::FigFontSize, height);
  if (engine_.Created()) engine_.RemeasureFigureMargins();
  return true;
}

}  // namespace vke
