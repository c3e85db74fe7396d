// The figure's page: its layout on the sheet, and the figure drawn there
// through the printer port.
#include "shell/figure_print.hpp"

#include <algorithm>
#include <cmath>
#include <memory>

#include "graphics/cairo_target.hpp"
#include "graphics/port.hpp"

namespace vke {
namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kPointsPerInch = 72;

// A margin as applied: the page setup's, but never under the least one
// (nor NaN or negative).
double AppliedMargin(double asked) {
  return std::isfinite(asked) ? std::max(asked, PageLayout::kLeastMargin)
                              : PageLayout::kLeastMargin;
}

}  // namespace

PageLayout::PageLayout(const PrintSheet& sheet) {
  const double perInch = sheet.unitsPerInch;
  paperWidth_ = std::max(0, sheet.width);
  paperHeight_ = std::max(0, sheet.height);
  if (!(perInch > 0) || !std::isfinite(perInch) || sheet.width <= 0 || sheet.height <= 0) return;
  const double asked[4] = {sheet.marginLeft, sheet.marginTop, sheet.marginRight,
                           sheet.marginBottom};
  for (int k = 0; k < 4; ++k) margins_[k] = AppliedMargin(asked[k]);
  const double perMillimetre = perInch / kMillimetresPerInch;
  left_ = margins_[0] * perMillimetre;
  top_ = margins_[1] * perMillimetre;
  width_ = std::max(0.0, sheet.width - (margins_[0] + margins_[2]) * perMillimetre);
  height_ = std::max(0.0, sheet.height - (margins_[1] + margins_[3]) * perMillimetre);
  scale_ = perInch / kScreenUnitsPerInch;
  // Whole screen units, rounded down so that the figure stays inside.
  const double w = std::floor(width_ / scale_ + 1e-9);
  const double h = std::floor(height_ / scale_ + 1e-9);
  if (w >= 1 && h >= 1 && w <= kMaxTargetSize && h <= kMaxTargetSize) {
    figureWidth_ = static_cast<int32_t>(w);
    figureHeight_ = static_cast<int32_t>(h);
  }
}

double PageLayout::LinePoints(double penUnits) {
  return std::max(penUnits * kPointsPerInch / kScreenUnitsPerInch, kLeastLinePoints);
}

double PageLayout::LeastLineUnits() {
  return kLeastLinePoints * kScreenUnitsPerInch / kPointsPerInch;
}

double PageLayout::Millimetres(double units) {
  return units * kMillimetresPerInch / kScreenUnitsPerInch;
}

double PageLayout::FontUnits(double points) {
  return points * kScreenUnitsPerInch / kPointsPerInch;
}

void PlacePaperAtDeviceOrigin(cairo_t* context, double width, double height) {
  double left = HUGE_VAL;
  double top = HUGE_VAL;
  for (const double x : {0.0, width}) {
    for (const double y : {0.0, height}) {
      double dx = x;
      double dy = y;
      cairo_user_to_device(context, &dx, &dy);
      left = std::min(left, dx);
      top = std::min(top, dy);
    }
  }
  if (!std::isfinite(left) || !std::isfinite(top)) return;
  double ux = -left;
  double uy = -top;
  cairo_device_to_user_distance(context, &ux, &uy);
  cairo_translate(context, ux, uy);
}

ErrCode PrintFigurePage(EngineFacade& engine, int32_t id, cairo_t* context,
                        const PageLayout& layout, const std::function<void()>& restoreView) {
  if (context == nullptr || cairo_status(context) != CAIRO_STATUS_SUCCESS) {
    if (restoreView) restoreView();
    return kErrBadArg;
  }
  const int32_t width = layout.figureWidth();
  const int32_t height = layout.figureHeight();
  ErrCode e = kErrBadSize;
  cairo_save(context);
  PlacePaperAtDeviceOrigin(context, layout.paperWidth(), layout.paperHeight());
  // Screen units from the drawing rectangle's corner; nothing beyond it.
  cairo_translate(context, layout.left(), layout.top());
  cairo_scale(context, layout.scale(), layout.scale());
  cairo_rectangle(context, 0, 0, width, height);
  cairo_clip(context);
  std::unique_ptr<CairoTarget> target;
  if (width > 0 && height > 0) e = CairoTarget::CreateOnContext(context, width, height, &target);
  if (!e) target->SetLeastLineWidth(PageLayout::LeastLineUnits());
  if (!e && engine.Created()) {
    GraphicsPort& port = PrinterPort();
    engine.SetGraphicsPort(&port, target.get());
    engine.ResetSubplots(id);
    engine.SetFigureRect(id, width, height);
    e = engine.RunDrawHandlers(id);
    port.setFont(kPrintFontFace, PageLayout::FontUnits(kPrintFontPoints), 0, nullptr, target.get());
    engine.ResetSubplots(id);
    const ErrCode drawn = engine.DrawFigure(id);
    if (e == kOk) e = drawn;
    engine.ResetSubplots(id);
  }
  target.reset();
  cairo_restore(context);
  if (restoreView) restoreView();
  return e;
}

}  // namespace vke
