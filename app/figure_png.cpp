// Rendering an instance's figure into a PNG file.
#include "app/figure_png.hpp"

#include <memory>

#include "app/draw_cycle.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "graphics/cairo_target.hpp"
#include "graphics/port.hpp"

namespace vke {

ErrCode DrawFigureImage(KVContextBlock** slot, int32_t id, CairoTarget* image,
                        bool runDrawHandlers) {
  InstanceRecord* r = FindInstance(*slot, id);
  if (r == nullptr) return kKvNonexistentInstance;
  InitScreenPortMetrics();
  SetGraphicsPortFunctions(*slot, &ScreenPort());
  SetGraphicsPortTarget(*slot, image);
  InstanceFigureHost host(slot, id);
  ErrCode rc = SetFigureRect(&r->figure, host, 0, image->width(), 0, image->height());
  if (InstanceRecord* after = FindInstance(*slot, id)) ResetInstanceSubplots(&after->figure);
  if (runDrawHandlers) {
    const ErrCode drawn = RunDrawHandlers(slot, id);
    if (rc == kOk) rc = drawn;
  }
  const ErrCode drawn = DrawInstanceSubplots(*slot, id);
  return rc == kOk ? drawn : rc;
}

ErrCode RenderFigurePng(KVContextBlock** slot, int32_t id, int32_t width, int32_t height,
                        const char* path, bool runDrawHandlers) {
  if (FindInstance(*slot, id) == nullptr) return kKvNonexistentInstance;
  std::unique_ptr<CairoTarget> image;
  if (ErrCode e = CairoTarget::CreateImage(width, height, &image)) return e;
  const GraphicsPort* port = (*slot)->portFunctions;
  void* target = (*slot)->portTarget;
  const ErrCode rc = DrawFigureImage(slot, id, image.get(), runDrawHandlers);
  SetGraphicsPortFunctions(*slot, port);
  SetGraphicsPortTarget(*slot, target);
  if (ErrCode e = image->WritePng(path)) return e;
  return rc;
}

}  // namespace vke
