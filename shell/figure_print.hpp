// The figure printed on one page: through the printer port on a context the
// toolkit lends (a printer's page or the preview's bitmap), laid out anew
// with the draw handlers run at the page's size, in a 10-point font. The
// view lays its figure out again at its next paint.
//
// The page is laid out in the screen's units, 96 to the inch, and drawn
// scaled to the device: a line, a marker, a tick or a margin measures on
// paper what it measures on a 96-per-inch screen, whatever the printer's
// resolution, and the preview, drawn the same way at its own scale, shows
// the same picture as the printout.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>

#include "shell/engine_facade.hpp"

namespace vke {

// The sheet a page is printed on, as the toolkit describes it.
struct PrintSheet {
  // The paper in device units, as oriented for printing (wider than high
  // in landscape).
  int32_t width;
  int32_t height;
  double unitsPerInch;  // the device's resolution
  // The page setup's margins in millimetres (0 when it set none).
  double marginLeft = 0;
  double marginTop = 0;
  double marginRight = 0;
  double marginBottom = 0;
};

// Where and at what scale the figure lies on a sheet: inside the margins,
// each at least kLeastPrintMargin, in both orientations; laid out in
// screen units of 1/96 inch.
class PageLayout {
 public:
  // The units a figure is laid out in on the screen, per inch.
  static constexpr double kScreenUnitsPerInch = 96;
  // The least margin on every side, in millimetres: a page setup that asks
  // for none (the toolkit's default) still leaves the printer's edge free.
  static constexpr double kLeastMargin = 10;
  // The thinnest line printed, in points.
  static constexpr double kLeastLinePoints = 0.5;

  explicit PageLayout(const PrintSheet& sheet);

  // The paper in device units, as oriented.
  double paperWidth() const { return paperWidth_; }
  double paperHeight() const { return paperHeight_; }
  // The drawing rectangle, in device units from the paper's top-left
  // corner: the paper less the margins.
  double left() const { return left_; }
  double top() const { return top_; }
  double width() const { return width_; }
  double height() const { return height_; }
  // The margins each side, in millimetres, as applied.
  double marginLeft() const { return margins_[0]; }
  double marginTop() const { return margins_[1]; }
  double marginRight() const { return margins_[2]; }
  double marginBottom() const { return margins_[3]; }

  // Device units per screen unit.
  double scale() const { return scale_; }
  // The figure's rectangle in screen units: the drawing rectangle's, whole
  // units that fit inside it. 0 by 0 when the margins leave no room.
  int32_t figureWidth() const { return figureWidth_; }
  int32_t figureHeight() const { return figureHeight_; }

  // The width on paper, in points, of a pen that many screen units wide:
  // as on a 96-per-inch screen, and never under kLeastLinePoints.
  static double LinePoints(double penUnits);
  // The least line width in screen units.
  static double LeastLineUnits();
  // A length in screen units on paper, in millimetres.
  static double Millimetres(double units);
  // The figure font's size in screen units (em height) for a size in points.
  static double FontUnits(double points);

 private:
  double paperWidth_ = 0;
  double paperHeight_ = 0;
  double left_ = 0;
  double top_ = 0;
  double width_ = 0;
  double height_ = 0;
  double margins_[4] = {};
  double scale_ = 1;
  int32_t figureWidth_ = 0;
  int32_t figureHeight_ = 0;
};

// The text size of a printed figure, in points.
inline constexpr double kPrintFontPoints = 10;
inline constexpr const char* kPrintFontFace = "Arial";

// Moves the context's origin so that the paper, width by height in its
// units, starts at the device's origin, whatever the context's rotation:
// the toolkit's landscape page comes with its origin off the paper's corner
// by the difference of two of the printer's margins.
void PlacePaperAtDeviceOrigin(cairo_t* context, double width, double height);

// Prints the instance's figure on the page. The context draws in device
// units of the sheet (a preview scales it to its bitmap beforehand); the
// paper is placed at the device's origin first. It is given back as it
// came.
// restoreView gives the port the view's own target back and has the view
// lay its figure out anew. 0, the draw handlers' failure (the page is drawn
// still), kErrBadArg without a usable context, or kErrBadSize for a page
// whose margins leave no room (nothing drawn).
ErrCode PrintFigurePage(EngineFacade& engine, int32_t id, cairo_t* context,
                        const PageLayout& layout, const std::function<void()>& restoreView);

}  // namespace vke
