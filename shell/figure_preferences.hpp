// The figure's preferences as commands: interactive highlight and thick
// lines toggled, the background colour and the figure font chosen in their
// dialogs; each change goes to the engine or the graphics port and is
// written to the preferences at once. The commands answer whether the
// window must be repainted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "shell/engine_facade.hpp"
#include "shell/preferences.hpp"
#include "shell/startup_settings.hpp"

namespace vke {

// The figure font as the preferences keep it: a face and a height in
// pixels, negative for the em height (the sign of a positive one only says
// it was measured differently).
struct FigureFontChoice {
  std::string face;
  int32_t height;
};

// The dialogs the commands open; a test gives its own.
class PreferenceDialogs {
 public:
  virtual ~PreferenceDialogs() = default;
  // The font dialog on the current font; the choice, or nothing on Cancel.
  virtual std::optional<FigureFontChoice> ChooseFont(const FigureFontChoice& current) = 0;
  // The colour dialog on the colour in *colorref (0x00BBGGRR); true with
  // the choice there, false on Cancel.
  virtual bool ChooseColor(uint32_t* colorref) = 0;
};

// A font size in points as a figure font height at a resolution, and back.
int32_t FontHeightOfPoints(double points, double dotsPerInch);
double PointsOfFontHeight(int32_t height, double dotsPerInch);

class FigurePreferences {
 public:
  // The options as the start read them.
  FigurePreferences(EngineFacade& engine, Preferences& preferences, PreferenceDialogs& dialogs,
                    const StartupSettings& settings)
      : engine_(engine),
        preferences_(preferences),
        dialogs_(dialogs),
        highlight_(settings.interactiveHilight != 0),
        thickLines_(settings.thickLines != 0) {}

  bool InteractiveHighlight() const { return highlight_; }
  bool ThickLines() const { return thickLines_; }
  void ToggleInteractiveHighlight();
  void ToggleThickLines();
  // True when the user chose a colour, now the port's and "BkColor".
  bool ChooseBackgroundColor();
  // True when the user chose a font, now the port's figure font and
  // "FigFontName" and "FigFontSize".
  bool ChooseFigureFont();
  FigureFontChoice CurrentFont() const;

 private:
  EngineFacade& engine_;
  Preferences& preferences_;
  PreferenceDialogs& dialogs_;
  bool highlight_;
  bool thickLines_;
};

}  // namespace vke
