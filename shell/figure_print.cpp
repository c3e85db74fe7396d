// The figure's page through the printer port.
#include "shell/figure_print.hpp"

#include <memory>

#include "graphics/cairo_target.hpp"
#include "graphics/port.hpp"

namespace vke {

ErrCode PrintFigurePage(EngineFacade& engine, int32_t id, cairo_t* context, const PrintPage& page,
                        const std::function<void()>& restoreView) {
  std::unique_ptr<CairoTarget> target;
  ErrCode e = CairoTarget::CreateOnContext(context, page.width, page.height, &target);
  if (!e && engine.Created()) {
    GraphicsPort& port = PrinterPort();
    engine.SetGraphicsPort(&port, target.get());
    engine.ResetSubplots(id);
    engine.SetFigureRect(id, page.width, page.height);
    e = engine.RunDrawHandlers(id);
    port.setFont(kPrintFontFace, kPrintFontPoints * page.unitsPerInch / 72.0, 0, nullptr,
                 target.get());
    engine.ResetSubplots(id);
    engine.DrawFigure(id);
    engine.ResetSubplots(id);
  }
  target.reset();
  if (restoreView) restoreView();
  return e;
}

}  // namespace vke
