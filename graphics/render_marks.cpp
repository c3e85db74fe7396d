// Replay of the commands that are not lines: circles and ellipses, text,
// the legend box, the measured tab stops of the control panel and the
// command fonts.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/legend.hpp"
#include "graphics/render_call.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// Circles (one radius) or ellipses (two) with centres and radii in data
// units; nothing on logarithmic axes.
void DrawRound(const RenderCall& call, const RenderCommand& c, int32_t radii) {
  const SubplotRecord& s = *call.subplot;
  if (call.port.drawCircle == nullptr || IsLogX(s) || IsLogY(s) || !c.Holds(1)) return;
  const int32_t n = PayloadCount(c.Get(0));
  if (n <= 0 || !c.Holds(1 + (2 + int64_t{radii}) * n) || 4 * int64_t{n} > call.capacity) return;
  double* X = call.scratch;
  double* Y = X + n;
  double* RX = Y + n;
  double* RY = RX + n;
  const double* rx = c.Doubles(1 + 2 * n);
  const double* ry = radii == 2 ? c.Doubles(1 + 3 * n) : rx;
  DataToDevice(s, c.Doubles(1), c.Doubles(1 + n), nullptr, n, X, Y, nullptr);
  DataDeltaToDevice(s, rx, ry, nullptr, n, RX, RY, nullptr);
  for (int32_t i = 0; i < n; ++i) {
    call.port.drawCircle(X[i], Y[i], std::fabs(RX[i]), std::fabs(RY[i]), &c.style, call.target);
  }
}

// Width of one tab-stop label: a label that starts with byte 8 leaves room
// for a slider's arrows instead of that byte.
double LabelWidth(const RenderCall& call, const char* text, int32_t length) {
  double extra = 0;
  if (length > 0 && text[0] == '\b') {
    ++text;
    --length;
    extra = 3 * call.arrowUnit;
  }
  double width = 10.0 * length;
  if (call.port.textExtent != nullptr)
    call.port.textExtent(text, length, &width, nullptr, call.target);
  return width + extra;
}

}  // namespace

void DrawCircles(RenderCall& call, const RenderCommand& c) {
  DrawRound(call, c, 1);
}

void DrawEllipses(RenderCall& call, const RenderCommand& c) {
  DrawRound(call, c, 2);
}

void DrawTextCommand(RenderCall& call, const RenderCommand& c) {
  if (call.port.drawText == nullptr || !c.Holds(5) || call.capacity < 3) return;
  const int32_t length = PayloadCount(c.Get(4));
  if (length < 0 || !c.Holds(5 + PackedDoubles(length))) return;
  double X = 0;
  double Y = 0;
  DataToDevice(*call.subplot, c.Doubles(0), c.Doubles(1), nullptr, 1, &X, &Y, nullptr);
  call.port.drawText(X, Y, c.Text(5), length, TruncToInt32(c.Get(3)), nullptr, call.target);
}

void DrawLegendCommand(RenderCall& call, const RenderCommand& c) {
  if (!(call.subplot->optionWord & kOptLegend) || !c.Holds(3)) return;
  const int32_t n = PayloadCount(c.Get(1));
  const int32_t k = PayloadCount(c.Get(2));
  if (n < 0 || k < 0 || !c.Holds(3 + 2 * int64_t{n} + PackedDoubles(k))) return;
  const LegendEntries legend{n, c.Doubles(3), c.Text(3 + 2 * n), k};
  DrawLegend(*call.subplot, legend, call.decorated, call.styles.label, call.styles.box, call.port,
             call.target);
}

void MeasureTabStops(RenderCall& call, const RenderCommand& c) {
  if (!c.Holds(1)) return;
  const int32_t k = PayloadCount(c.Get(0));
  if (k < 0 || !c.Holds(2 + int64_t{k})) return;
  const int32_t length = PayloadCount(c.Get(1 + k));
  if (length < 0 || !c.Holds(2 + int64_t{k} + PackedDoubles(length))) return;
  const char* text = c.Text(2 + k);
  call.tabStops = c.Doubles(1);
  call.tabCount = k;
  double sum = 0;
  int32_t slot = 0;
  int32_t start = 0;
  while (slot < k && start <= length) {
    const void* tab = std::memchr(text + start, '\t', static_cast<size_t>(length - start));
    const int32_t stop =
        tab != nullptr ? static_cast<int32_t>(static_cast<const char*>(tab) - text) : length;
    sum += LabelWidth(call, text + start, stop - start);
    SetPayloadDouble(c.data, 1 + slot++, sum);
    start = stop + 1;
  }
}

void SelectCommandFont(RenderCall& call, const RenderCommand& c) {
  if (call.port.setFont == nullptr || !c.Holds(2)) return;
  char name[64] = {};
  const size_t room = static_cast<size_t>(c.header.length - 2) * 8;
  const void* nul = std::memchr(c.Text(2), 0, room);
  const size_t n =
      nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - c.Text(2)) : room;
  std::memcpy(name, c.Text(2), std::min(n, sizeof name - 1));
  const uint8_t rgb[3] = {static_cast<uint8_t>(c.header.colour >> 16),
                          static_cast<uint8_t>(c.header.colour >> 8),
                          static_cast<uint8_t>(c.header.colour)};
  call.port.setFont(name, c.Get(0), TruncToInt32(c.Get(1)), rgb, call.target);
}

void SelectDefaultFont(RenderCall& call, const RenderCommand&) {
  if (call.port.setFont != nullptr) call.port.setFont(nullptr, 0, 0, nullptr, call.target);
}

}  // namespace vke
