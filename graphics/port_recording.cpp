// The recording port: slot functions that log their calls, the text model
// and the log's text form.
#include "graphics/port_recording.hpp"

#include <cstdio>

namespace vke {
namespace {

RecordingPort* g_latest = nullptr;

RecordingPort* Recorder(void* target) {
  return static_cast<RecordingPort*>(target);
}

void Rgb(std::vector<double>* v, const uint8_t* rgb) {
  for (int i = 0; i < 3; ++i) v->push_back(rgb != nullptr ? rgb[i] : -1);
}

void Style(std::vector<double>* v, const PlotStyle* style) {
  if (style == nullptr) {
    v->insert(v->end(), {-1, -1, -1, -1});
    return;
  }
  v->insert(v->end(), {static_cast<double>(style->flags), static_cast<double>(style->red),
                       static_cast<double>(style->green), static_cast<double>(style->blue)});
}

void RecClipRect(double l, double r, double t, double b, void* target) {
  if (auto* p = Recorder(target)) p->Record(PortSlot::clipRect, {l, r, t, b}, nullptr, 0);
}

void RecRestoreClip(void* target) {
  if (auto* p = Recorder(target)) p->Record(PortSlot::restoreClip, {}, nullptr, 0);
}

void RecDrawPolyline(const double* x, const double* y, int32_t n, const PlotStyle* style,
                     void* target) {
  auto* p = Recorder(target);
  if (p == nullptr) return;
  std::vector<double> v{static_cast<double>(n)};
  Style(&v, style);
  for (int32_t i = 0; x != nullptr && y != nullptr && i < n; ++i) v.insert(v.end(), {x[i], y[i]});
  p->Record(PortSlot::drawPolyline, std::move(v), nullptr, 0);
}

void RecDrawCircle(double cx, double cy, double rx, double ry, const PlotStyle* style,
                   void* target) {
  auto* p = Recorder(target);
  if (p == nullptr) return;
  std::vector<double> v{cx, cy, rx, ry};
  Style(&v, style);
  p->Record(PortSlot::drawCircle, std::move(v), nullptr, 0);
}

void RecDrawText(double x, double y, const char* utf8, int32_t nbytes, int32_t flags,
                 const uint8_t* rgb, void* target) {
  auto* p = Recorder(target);
  if (p == nullptr) return;
  std::vector<double> v{x, y, static_cast<double>(nbytes), static_cast<double>(flags)};
  Rgb(&v, rgb);
  p->Record(PortSlot::drawText, std::move(v), utf8, nbytes < 0 ? 0 : nbytes);
}

void RecTextExtent(const char* utf8, int32_t nbytes, double* width, double* height, void* target) {
  auto* p = Recorder(target);
  if (p == nullptr) return;
  double w = 0;
  double h = 0;
  p->Measure(utf8, nbytes, &w, &h);
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
  p->Record(PortSlot::textExtent, {static_cast<double>(nbytes), w, h}, utf8,
            nbytes < 0 ? 0 : nbytes);
}

void RecSetFont(const char* name, double size, int32_t bits, const uint8_t* rgb, void* target) {
  auto* p = Recorder(target);
  if (p == nullptr) return;
  std::vector<double> v{size, static_cast<double>(bits)};
  Rgb(&v, rgb);
  p->Record(PortSlot::setFont, std::move(v), name, name != nullptr ? -1 : 0);
}

void RecDrawFocusRect(double l, double t, double r, double b, int32_t flag, void* target) {
  if (auto* p = Recorder(target)) {
    p->Record(PortSlot::drawFocusRect, {l, t, r, b, static_cast<double>(flag)}, nullptr, 0);
  }
}

void RecDrawImageCells(double x, double y, int32_t columns, int32_t rows, int32_t cellWidth,
                       int32_t cellHeight, const uint8_t* plane1, const uint8_t* plane2,
                       const uint8_t* plane3, void* target) {
  auto* p = Recorder(target);
  if (p == nullptr) return;
  const uint8_t* planes[3] = {plane1, plane2, plane3};
  std::vector<double> v{x,
                        y,
                        static_cast<double>(columns),
                        static_cast<double>(rows),
                        static_cast<double>(cellWidth),
                        static_cast<double>(cellHeight)};
  for (const uint8_t* plane : planes) v.push_back(plane != nullptr ? 1 : 0);
  const int64_t cells = columns > 0 && rows > 0 ? int64_t{columns} * rows : 0;
  for (const uint8_t* plane : planes) {
    for (int64_t k = 0; plane != nullptr && k < cells; ++k) v.push_back(plane[k]);
  }
  p->Record(PortSlot::drawImageCells, std::move(v), nullptr, 0);
}

void RecPixelScale(double* sx, double* sy) {
  if (sx != nullptr) *sx = 1.0;
  if (sy != nullptr) *sy = 1.0;
  if (RecordingPort* p = RecordingPort::Latest()) {
    p->Record(PortSlot::pixelScale, {1.0, 1.0}, nullptr, 0);
  }
}

void RecFillBackground(double l, double t, double r, double b, int32_t whiteFlag, void* target) {
  if (auto* p = Recorder(target)) {
    p->Record(PortSlot::fillBackground, {l, t, r, b, static_cast<double>(whiteFlag)}, nullptr, 0);
  }
}

// Every recording port starts with all slots filled and the screen's
// starting metrics; a test empties slots with RemoveSlot.
constexpr GraphicsPort kRecordingTable{
    .clipRect = &RecClipRect,
    .restoreClip = &RecRestoreClip,
    .drawPolyline = &RecDrawPolyline,
    .drawCircle = &RecDrawCircle,
    .empty4 = nullptr,  // reserved: keeps the text slots at their numbers
    .drawText = &RecDrawText,
    .textExtent = &RecTextExtent,
    .setFont = &RecSetFont,
    .drawFocusRect = &RecDrawFocusRect,
    .empty9 = nullptr,  // reserved: keeps the image and fill slots at their numbers
    .drawImageCells = &RecDrawImageCells,
    .pixelScale = &RecPixelScale,
    .fillBackground = &RecFillBackground,
    .metrics = kScreenStartMetrics,
};

}  // namespace

RecordingPort::RecordingPort() : port_(kRecordingTable), previous_(g_latest) {
  g_latest = this;
}

RecordingPort::~RecordingPort() {
  if (g_latest == this) g_latest = previous_;
}

RecordingPort* RecordingPort::Latest() {
  return g_latest;
}

void RecordingPort::RemoveSlot(PortSlot slot) {
  switch (slot) {
#define VKE_PORT_SLOT(index, member, type, name) \
  case PortSlot::member:                         \
    port_.member = nullptr;                      \
    break;
#include "graphics/port_slots.def"
#undef VKE_PORT_SLOT
  }
}

void RecordingPort::SetCharCell(double cellWidth, double cellHeight) {
  cellWidth_ = cellWidth;
  cellHeight_ = cellHeight;
}

void RecordingPort::Record(PortSlot slot, std::vector<double> values, const char* text,
                           int32_t nbytes) {
  PortCall call{slot, std::move(values), text != nullptr, {}};
  if (text != nullptr) call.text = nbytes < 0 ? std::string(text) : std::string(text, nbytes);
  calls_.push_back(std::move(call));
}

void RecordingPort::Measure(const char* utf8, int32_t nbytes, double* width, double* height) const {
  // Characters are counted as UTF-8 lead bytes.
  int32_t chars = 0;
  for (int32_t i = 0; utf8 != nullptr && i < nbytes; ++i) {
    if ((static_cast<uint8_t>(utf8[i]) & 0xC0) != 0x80) ++chars;
  }
  *width = cellWidth_ * chars;
  *height = cellHeight_;
}

std::string RecordingPort::Log() const {
  std::string out;
  char number[32];
  for (const PortCall& call : calls_) {
    out += PortSlotName(call.slot);
    for (double v : call.values) {
      std::snprintf(number, sizeof number, " %.15g", v);
      out += number;
    }
    if (call.hasText) out += " \"" + call.text + "\"";
    out += '\n';
  }
  return out;
}

}  // namespace vke
