// The figure copied for the clipboard: the copy rectangle of the instance
// (the one selected subplot, else the figure) as an SVG document of that
// size, with the same drawing as a PDF page and a PNG image. The figure is
// laid out at 0.95 of the view and drawn once, with the port's metrics of a
// copy, into the three documents at once; afterwards the metrics, the
// view's target and the figure at the view's size are back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "graphics/port.hpp"
#include "shell/engine_facade.hpp"

namespace vke {

struct FigureImages {
  int32_t width = 0;  // of the copy rectangle, in pixels
  int32_t height = 0;
  std::string svg;  // image/svg+xml
  std::string pdf;  // application/pdf
  std::string png;  // image/png
};

// The copy rectangle without an engine.
inline constexpr double kCopyRectWithoutEngine[4] = {0, 100, 0, 100};
// The share of the view the figure is laid out in for a copy.
inline constexpr double kCopyFigureShare = 0.95;
// The resolution the PDF page is given, as the screen's.
inline constexpr double kCopyDotsPerInch = 96;

// The screen port's metrics while a copy draws: its own but for the third
// (0.2 less top margin) and the legend units, half the height of "0".
PortMetrics CopyMetrics(double zeroHeight);

// Copies the instance's figure of a view of that size. restoreView gives
// the port the view's own target back before the figure is laid out at the
// view's size again. 0, or why no copy could be made (a copy rectangle no
// document can take, the drawing's failure): the view's figure is restored
// on every path.
ErrCode CopyFigureImages(EngineFacade& engine, int32_t id, int32_t viewWidth, int32_t viewHeight,
                         const std::function<void()>& restoreView, FigureImages* out);

}  // namespace vke
