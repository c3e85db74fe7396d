// The font and colour dialogs of the figure preferences: the font dialog
// takes and gives the figure font's face and em height in pixels at the
// screen's resolution; the colour dialog works on 0x00BBGGRR colours.
#include <wx/colordlg.h>
#include <wx/fontdlg.h>

#include "shell/window/kv_dialogs.hpp"
#include "shell/window/kv_windows.hpp"

namespace vke {

namespace {

constexpr double kFallbackDotsPerInch = 96;

double ScreenDotsPerInch() {
  const int dpi = wxGetDisplayPPI().y;
  return dpi > 0 ? dpi : kFallbackDotsPerInch;
}

}  // namespace

std::optional<FigureFontChoice> WxPreferenceDialogs::ChooseFont(const FigureFontChoice& current) {
  const double dpi = ScreenDotsPerInch();
  wxFontData data;
  data.SetInitialFont(wxFont(
      wxFontInfo(PointsOfFontHeight(current.height, dpi)).FaceName(WindowText(current.face))));
  data.EnableEffects(false);
  wxFontDialog dialog(parent_(), data);
  if (dialog.ShowModal() != wxID_OK) return std::nullopt;
  const wxFont font = dialog.GetFontData().GetChosenFont();
  if (!font.IsOk()) return std::nullopt;
  return FigureFontChoice{font.GetFaceName().utf8_string(),
                          FontHeightOfPoints(font.GetFractionalPointSize(), dpi)};
}

bool WxPreferenceDialogs::ChooseColor(uint32_t* colorref) {
  wxColourData data;
  data.SetChooseFull(true);
  data.SetColour(wxColour(static_cast<unsigned long>(*colorref)));
  wxColourDialog dialog(parent_(), &data);
  if (dialog.ShowModal() != wxID_OK) return false;
  const wxColour chosen = dialog.GetColourData().GetColour();
  if (!chosen.IsOk()) return false;
  *colorref = chosen.GetRGB();
  return true;
}

}  // namespace vke
