// The figure printed on one page: through the printer port on a context the
// toolkit lends, laid out anew in the page's drawing rectangle with the
// draw handlers run at that size, in a 10-point font. The view lays its
// figure out again at its next paint.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>

#include "shell/engine_facade.hpp"

namespace vke {

// The page's drawing rectangle, in page units from the context's origin.
struct PrintPage {
  int32_t width;
  int32_t height;
  double unitsPerInch;  // the printer's resolution
};

// The text size of a printed figure, in points.
inline constexpr double kPrintFontPoints = 10;
inline constexpr const char* kPrintFontFace = "Arial";

// Prints the instance's figure on the page. restoreView gives the port the
// view's own target back and has the view lay its figure out anew. 0, the
// draw handlers' failure (the page is drawn still), or kErrBadSize for a
// page no target can take (nothing drawn).
ErrCode PrintFigurePage(EngineFacade& engine, int32_t id, cairo_t* context, const PrintPage& page,
                        const std::function<void()>& restoreView);

}  // namespace vke
