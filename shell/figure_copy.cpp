// The figure drawn once into the copy's documents.
#include "shell/figure_copy.hpp"

#include <cmath>
#include <memory>

#include "app/errors.hpp"
#include "graphics/cairo_target.hpp"

namespace vke {

PortMetrics CopyMetrics(double zeroHeight) {
  const double half = std::isfinite(zeroHeight) ? std::trunc(std::trunc(zeroHeight) / 2) : 0;
  return {5.0, 0.5, 1.5, 1.3, 1.0, 1.0, half, half};
}

ErrCode CopyFigureImages(EngineFacade& engine, int32_t id, int32_t viewWidth, int32_t viewHeight,
                         const std::function<void()>& restoreView, FigureImages* out) {
  *out = FigureImages{};
  double rect[4] = {kCopyRectWithoutEngine[0], kCopyRectWithoutEngine[1], kCopyRectWithoutEngine[2],
                    kCopyRectWithoutEngine[3]};
  if (engine.Created() && !engine.GetCopyRect(id, rect)) return kKvNonexistentInstance;
  const double w = std::trunc(rect[1] - rect[0]);
  const double h = std::trunc(rect[3] - rect[2]);
  out->width = std::isfinite(w) && std::fabs(w) < kMaxTargetSize ? static_cast<int32_t>(w) : 0;
  out->height = std::isfinite(h) && std::fabs(h) < kMaxTargetSize ? static_cast<int32_t>(h) : 0;

  // Nothing is drawn when no document can take the rectangle.
  std::unique_ptr<CairoTarget> copy;
  ErrCode e = CairoTarget::CreateCopyDocuments(out->width, out->height, kCopyDotsPerInch, &copy);
  const bool created = engine.Created();
  if (!e && created) {
    GraphicsPort& port = ScreenPort();
    const PortMetrics before = port.metrics;
    double zeroHeight = 0;
    port.textExtent("0", 1, nullptr, &zeroHeight, copy.get());
    port.metrics = CopyMetrics(zeroHeight);
    engine.SetGraphicsPort(&port, copy.get());
    engine.SetFigureRect(id, static_cast<int32_t>(kCopyFigureShare * viewWidth),
                         static_cast<int32_t>(kCopyFigureShare * viewHeight));
    engine.RunDrawHandlers(id);
    e = engine.CopyFigure(id, 0, out->width, 0, out->height);
    port.metrics = before;
  }
  // Without an engine the copy is an empty square.
  if (!e) e = copy->Finish();
  if (!e) e = copy->PngText(&out->png);
  if (!e) {
    out->svg = copy->SvgText();
    out->pdf = copy->PdfText();
  }
  if (restoreView) restoreView();
  if (created) {
    engine.SetFigureRect(id, viewWidth, viewHeight);
    engine.RunDrawHandlers(id);
  }
  if (e) {
    const int32_t width = out->width;
    const int32_t height = out->height;
    *out = FigureImages{};
    out->width = width;
    out->height = height;
  }
  return e;
}

}  // namespace vke
