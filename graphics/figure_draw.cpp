// Drawing a whole figure: the groups of the instance's object through the
// renderer with the instance's styles, the background and the selection
// marks.
#include "graphics/figure_draw.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/drawing_command.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/renderer.hpp"

namespace vke {
namespace {

// Marks drawn as lines, on ports that cannot invert: black dots.
constexpr PlotStyle kMarkStyle{kKindDot, 0, 0, 0, 0};
// Side of the corner handles of a free-layout subplot.
constexpr double kHandleSize = 6;

// The commands of the instance and the scratch memory behind or beside
// them.
struct GroupSource {
  std::byte* commands;
  uint32_t length;
  double* scratch;
  uint32_t capacity;
};

uint32_t Doubles(size_t bytes) {
  return static_cast<uint32_t>(std::min<size_t>(bytes / 8, UINT32_MAX));
}

bool FindGroupSource(const FigureCanvas& canvas, GroupSource* out) {
  const ObjectList list = canvas.list;
  const ObjectWriterState& writer = *canvas.writer;
  ObjectSpan span;
  if (ObjectListFind(list, canvas.id, &span)) {
    // Taking the scratch memory may compact the store: find the object
    // again afterwards.
    const ScratchArea area = ObjectListFreeArea(list, writer);
    if (!ObjectListFind(list, canvas.id, &span)) return false;
    *out = {list.At(span.position), span.length, reinterpret_cast<double*>(list.At(area.position)),
            Doubles(area.bytes)};
    return true;
  }
  if (writer.id != canvas.id || writer.currentObject < 0) return false;
  const uint32_t free = writer.capacity > writer.used ? writer.capacity - writer.used : 0;
  *out = {list.At(writer.start), writer.used,
          reinterpret_cast<double*>(list.At(writer.start + writer.used)), free};
  return true;
}

// The subplot whose group starts at `offset`, or -1.
int32_t GroupSubplot(const FigureCanvas& canvas, const GroupSource& source, uint32_t offset) {
  CommandHeader h;
  if (!ReadCommandAt(source.commands, source.length, offset, &h) || h.code != kCmdObjectBegin ||
      h.length < 1) {
    return -1;
  }
  const int32_t k = TruncToInt32(PayloadDouble(source.commands, offset + kCommandHeaderDoubles));
  return k >= 0 && k < ActiveSubplotCount(*canvas.figure) ? k : -1;
}

// A rectangle outline: inverted through the focus slot when the port has
// one, else drawn as a closed line.
void DrawMarkRect(const GraphicsPort& port, void* target, double left, double top, double right,
                  double bottom, bool on) {
  if (port.drawFocusRect != nullptr) {
    port.drawFocusRect(left, top, right, bottom, on ? 1 : 0, target);
    return;
  }
  if (port.drawPolyline == nullptr) return;
  const double xs[5] = {left, right, right, left, left};
  const double ys[5] = {top, top, bottom, bottom, top};
  port.drawPolyline(xs, ys, 5, &kMarkStyle, target);
}

bool Dragged(const FigureCanvas& canvas, int32_t k) {
  return canvas.drag != nullptr && canvas.drag->pending && ((canvas.drag->mask >> k) & 1u);
}

}  // namespace

bool DrawSubplotGroup(const FigureCanvas& canvas, uint32_t* offset, bool layoutOnly,
                      ErrCode* error) {
  GroupSource source;
  if (!FindGroupSource(canvas, &source)) return false;
  const int32_t k = GroupSubplot(canvas, source, *offset);
  if (k < 0) return false;
  FigureState& fig = *canvas.figure;
  SubplotRecord& subplot = fig.subplots[k];
  const bool highlighted = (canvas.highlighted >> k) & 1u;
  const PlotStyle* s = fig.styles;
  const RenderStyles styles{&s[kFigureStyleData], &s[kFigureStyleBox], &s[kFigureStyleAxes],
                            &s[kFigureStyleGrid],
                            &s[highlighted ? kFigureStyleLabelHighlight : kFigureStyleLabel]};
  const TextFieldEdit edit{fig.editField, fig.editCommand, fig.caretStart, fig.caretEnd};
  const GraphicsPort& port = *canvas.port;
  RenderObjectList(source.commands, source.length, source.scratch, source.capacity, &subplot,
                   offset, styles, edit, layoutOnly, port, canvas.target, error);
  if (!layoutOnly && port.drawFocusRect == nullptr) {
    if ((fig.selection >> k) & 1u) DrawSubplotSelection(canvas, k, true);
    if (Dragged(canvas, k)) {
      const double* p = subplot.position;
      DrawMarkRect(port, canvas.target, p[kLeft] + canvas.drag->dx, p[kTop] + canvas.drag->dy,
                   p[kRight] + canvas.drag->dx, p[kBottom] + canvas.drag->dy, true);
    }
  }
  return *offset < source.length;
}

ErrCode DrawFigure(const FigureCanvas& canvas) {
  const FigureState& fig = *canvas.figure;
  double extent[4];
  GetLayoutExtent(fig, extent);
  const double* r = fig.rect;
  FillPortRect(std::min(extent[0], 0.0), extent[1] + (r[kRight] - r[kLeft]),
               std::min(extent[2], 0.0), extent[3] + (r[kBottom] - r[kTop]), *canvas.port,
               canvas.target);
  const int32_t n = ActiveSubplotCount(fig);
  uint32_t offset = 0;
  ErrCode error = kOk;
  for (int32_t drawn = 0; drawn < n && DrawSubplotGroup(canvas, &offset, false, &error); ++drawn) {
  }
  for (int32_t k = 0; k < n; ++k) {
    if ((fig.selection >> k) & 1u) DrawSubplotSelection(canvas, k, true);
  }
  return error;
}

void FillPortRect(double left, double right, double top, double bottom, const GraphicsPort& port,
                  void* target) {
  if (port.fillBackground == nullptr) return;
  const bool clip = port.clipRect != nullptr && port.restoreClip != nullptr;
  if (clip) port.clipRect(left, right, top, bottom, target);
  port.fillBackground(left, top, right, bottom, 0, target);
  if (clip) port.restoreClip(target);
}

void DrawSubplotSelection(const FigureCanvas& canvas, int32_t k, bool on) {
  if (k < 0 || k >= kMaxSubplots) return;
  const double* p = canvas.figure->subplots[k].position;
  double dx = 0;
  double dy = 0;
  if (canvas.drag != nullptr && canvas.drag->shifted) {
    dx = canvas.drag->dx;
    dy = canvas.drag->dy;
  }
  const double left = p[kLeft] + dx, right = p[kRight] + dx;
  const double top = p[kTop] + dy, bottom = p[kBottom] + dy;
  const GraphicsPort& port = *canvas.port;
  DrawMarkRect(port, canvas.target, left, top, right, bottom, on);
  if (!canvas.figure->freeLayout) return;
  const double h = kHandleSize / 2;
  for (double x : {left, right}) {
    for (double y : {top, bottom})
      DrawMarkRect(port, canvas.target, x - h, y - h, x + h, y + h, on);
  }
}

ErrCode SetSubplotSelection(const FigureCanvas& canvas, uint32_t selection, bool redraw) {
  FigureState& fig = *canvas.figure;
  if (redraw) {
    const uint32_t changed = fig.selection ^ selection;
    for (int32_t k = 0; k < ActiveSubplotCount(fig); ++k) {
      if ((changed >> k) & 1u) DrawSubplotSelection(canvas, k, (selection >> k) & 1u);
    }
  }
  fig.selection = selection;
  return canvas.port->drawFocusRect != nullptr ? kOk : kStatusRepaint;
}

void GetCopyRect(const FigureState& fig, double rect[4]) {
  const int32_t k = SingleSelectedSubplot(fig);
  if (k >= 0) {
    std::memcpy(rect, fig.subplots[k].position, 4 * sizeof(double));
  } else if (fig.freeLayout) {
    GetLayoutExtent(fig, rect);
  } else {
    std::memcpy(rect, fig.rect, 4 * sizeof(double));
  }
}

}  // namespace vke
