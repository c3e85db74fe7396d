// Rendering an instance's figure into a PNG file.
#include "app/figure_png.hpp"

#include <memory>

#include "app/draw_cycle.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "graphics/cairo_target.hpp"
#include "graphics/port.hpp"

namespace vke {

ErrCode RenderFigurePng(KVContextBlock** slot, int32_t id, int32_t width, int32_t height,
                        const char* path, bool runDrawHandlers) {
  InstanceRecord* r = FindInstance(*slot, id);
  if (r == nullptr) return kKvNonexistentInstance;
  std::unique_ptr<CairoTarget> image;
  if (ErrCode e = CairoTarget::CreateImage(width, height, &image)) return e;
  const GraphicsPort* port = (*slot)->portFunctions;
  void* target = (*slot)->portTarget;
  InitScreenPortMetrics();
  SetGraphicsPortFunctions(*slot, &ScreenPort());
  SetGraphicsPortTarget(*slot, image.get());
  InstanceFigureHost host(slot, id);
  ErrCode rc = SetFigureRect(&r->figure, host, 0, width, 0, height);
  if (InstanceRecord* after = FindInstance(*slot, id)) ResetInstanceSubplots(&after->figure);
  if (runDrawHandlers) {
    const ErrCode drawn = RunDrawHandlers(slot, id);
    if (rc == kOk) rc = drawn;
  }
  DrawInstanceSubplots(*slot, id);
  SetGraphicsPortFunctions(*slot, port);
  SetGraphicsPortTarget(*slot, target);
  if (ErrCode e = image->WritePng(path)) return e;
  return rc;
}

}  // namespace vke
