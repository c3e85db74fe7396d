// The renderer's fixed order, the pre-pass over a group, the table that
// dispatches each command code, and the replay loop.
#include "graphics/renderer.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "graphics/axes2d.hpp"
#include "graphics/box3d.hpp"
#include "graphics/control_panel.hpp"
#include "graphics/depth_sort.hpp"
#include "graphics/grid2d.hpp"
#include "graphics/render_call.hpp"
#include "graphics/scale.hpp"
#include "graphics/text_fit.hpp"

namespace vke {
namespace {

// Built-in default style records.
constexpr PlotStyle kBuiltinData{0, 0, 0, 0, 0};
constexpr PlotStyle kBuiltinBox{0x27, 0, 0, 0, 0};
constexpr PlotStyle kBuiltinAxes{0x100, 0, 0, 0, 0};
constexpr PlotStyle kBuiltinGrid{0x100, 0, 0, 0, 0};
constexpr PlotStyle kBuiltinLabel{0, 0, 0, 0, 0};

// How the replay treats a command code.
enum CommandRule : uint8_t {
  kFlatOnly = 1,    // skipped in a 3-D subplot
  kDepthPool = 2,   // a 3-D subplot hands it to the depth pool (AddToDepthPool)
  kLayoutToo = 4,   // also run when laying out only
  kPanelRow = 8,    // skipped in a vertical control panel
  kGridStyle = 16,  // the default-style bit takes the grid default
  kSmooth = 32,     // data shapes: drawn anti-aliased (kStyleSmooth)
};

// The rules of a whole control-design grid, and of data in either kind of
// subplot and in flat ones only.
constexpr uint8_t kDesignGrid = kFlatOnly | kGridStyle;
constexpr uint8_t kData = kDepthPool | kSmooth;
constexpr uint8_t kFlatData = kFlatOnly | kSmooth;

using CommandDrawer = void (*)(RenderCall&, const RenderCommand&);

struct CommandEntry {
  int32_t code;
  CommandDrawer draw;  // null: skipped
  uint8_t rules;
};

// Every code the replay knows; codes missing here (3, 12, 18-45, and the
// colormap 11, light 17 and orientation 67 that the pre-pass reads) draw
// nothing.
constexpr CommandEntry kCommandTable[] = {
    {kCmdPolyline, &DrawPolylineCommand, kData},              // 2-D polyline or markers
    {kCmdFrequencyPolyline, &DrawPolylineCommand, kData},     // polyline with frequencies
    {kCmdInfiniteLine, &DrawInfiniteLine, kSmooth},           // a x + b y = c
    {kCmdCircles, &DrawCircles, kFlatData},                   // circles
    {kCmdEllipses, &DrawEllipses, kFlatData},                 // ellipses
    {kCmdBars, &DrawBars, kFlatData},                         // bars
    {kCmdCurveList, &DrawCurveList, kFlatData},               // root-locus curves
    {kCmdImageCells, &DrawImageCommand, kFlatOnly},           // image
    {kCmdPseudoColour, &DrawPcolorCommand, kFlatOnly},        // pcolor cells
    {kCmdPolyline3, &DrawPolylineCommand, kData},             // 3-D polyline
    {kCmdInfiniteLine3, &DrawInfiniteLine3, kData},           // intersection of two planes
    {kCmdPolygons3, nullptr, kData},                          // polygons, 3-D subplots only
    {kCmdMaterial, &RememberMaterial, 0},                     // material of the 3-D primitives
    {kCmdErrorLocus, &DrawErrorLocusCommand, kFlatData},      // error-locus region
    {kCmdZGrid, &DrawDesignGridCommand, kDesignGrid},         // z-plane grid
    {kCmdSGrid, &DrawDesignGridCommand, kDesignGrid},         // s-plane grid
    {kCmdHallChart, &DrawDesignGridCommand, kDesignGrid},     // Hall chart of the Nyquist plane
    {kCmdNicholsChart, &DrawDesignGridCommand, kDesignGrid},  // Nichols chart
    {kCmdZGridFrequency, &DrawGridCurveCommand, kFlatOnly},   // z-plane natural frequency
    {kCmdZGridDamping, &DrawGridCurveCommand, kFlatOnly},     // z-plane damping ratio
    {kCmdSGridFrequency, &DrawGridCurveCommand, kFlatOnly},   // s-plane natural frequency
    {kCmdSGridDamping, &DrawGridCurveCommand, kFlatOnly},     // s-plane damping ratio
    {55, &DrawPanelTextRow, kPanelRow | kLayoutToo},          // control-panel text row
    {56, &DrawTextCommand, kDepthPool},                       // text at a 2-D point
    {57, &DrawTextCommand, kDepthPool},                       // text at a 3-D point
    {kCmdLegendEntry, &DrawLegendCommand, 0},                 // legend box
    {59, &DrawPanelSliderRow, kLayoutToo},                    // slider row
    {60, &DrawPanelSliderRow, kLayoutToo},                    // logarithmic slider row
    {kCmdPushButton, &DrawPanelButtonRow, kPanelRow | kLayoutToo},    // push buttons
    {kCmdCheckBox, &DrawPanelButtonRow, kPanelRow | kLayoutToo},      // check boxes
    {kCmdRadioButton, &DrawPanelButtonRow, kPanelRow | kLayoutToo},   // radio buttons
    {kCmdPopupMenu, &DrawPanelPopupRow, kPanelRow | kLayoutToo},      // pop-up menu
    {kCmdTextField, &DrawPanelTextFieldRow, kPanelRow | kLayoutToo},  // text field
    {kCmdTabStops, &MeasureTabStops, kLayoutToo},      // column positions of the panel
    {68, &SelectCommandFont, kFlatOnly | kLayoutToo},  // command font
    {69, &SelectDefaultFont, kFlatOnly | kLayoutToo},  // figure font again
};

constexpr int32_t kCodeCount = kCmdObjectBegin + 1;

constexpr std::array<const CommandEntry*, kCodeCount> IndexCommands() {
  std::array<const CommandEntry*, kCodeCount> index{};
  for (const CommandEntry& e : kCommandTable) index[e.code] = &e;
  return index;
}

constexpr std::array<const CommandEntry*, kCodeCount> kCommandIndex = IndexCommands();

const CommandEntry* EntryFor(int32_t code) {
  return code >= 0 && code < kCodeCount ? kCommandIndex[code] : nullptr;
}

}  // namespace

PlotStyle CommandStyle(const RenderCall& call, const CommandHeader& h) {
  const CommandEntry* entry = EntryFor(h.code);
  PlotStyle own{h.style, static_cast<uint8_t>(h.colour >> 16), static_cast<uint8_t>(h.colour >> 8),
                static_cast<uint8_t>(h.colour), 0};
  const uint32_t smooth = entry != nullptr && (entry->rules & kSmooth) ? kStyleSmooth : 0;
  if (!(own.flags & kStyleDefaultRecord)) {
    own.flags = (own.flags & ~kStyleSmooth) | smooth;
    return own;
  }
  PlotStyle taken =
      entry != nullptr && (entry->rules & kGridStyle) ? *call.styles.grid : *call.styles.data;
  if ((own.flags & kStyleKindMask) >= kKindNone) {
    taken.flags = (taken.flags & ~kStyleKindMask) | (own.flags & kStyleKindMask);
  }
  taken.flags = (taken.flags & ~kStyleSmooth) | smooth;
  return taken;
}

namespace {

// Walks the commands of the group that starts at `from` (its command 70),
// calling visit(command header, position) for each and stopping before the
// next command 70. Returns the position where the walk stopped: at that
// command 70, at the end, or at the end when a command runs past it.
template <typename Visit>
uint32_t WalkGroup(const std::byte* list, uint32_t end, uint32_t from, Visit visit) {
  uint32_t at = from;
  CommandHeader h;
  while (at < end) {
    if (!ReadCommandAt(list, end, at, &h)) return end;
    if (h.code == kCmdObjectBegin && at != from) return at;
    visit(h, at);
    at += kCommandHeaderDoubles + static_cast<uint32_t>(h.length);
  }
  return end;
}

// Tab bytes in the longest line of a text.
int32_t TabColumns(const char* text, int32_t length) {
  int32_t most = 0;
  int32_t tabs = 0;
  for (int32_t i = 0; i < length; ++i) {
    if (text[i] == '\n') {
      tabs = 0;
    } else if (text[i] == '\t') {
      most = std::max(most, ++tabs);
    }
  }
  return most;
}

// Colormap, light and the control panel's rows and columns.
void PrePass(RenderCall& call, uint32_t from) {
  WalkGroup(call.list, call.end, from, [&](const CommandHeader& h, uint32_t at) {
    const RenderCommand c{h, at, call.list + size_t{at + kCommandHeaderDoubles} * 8, {}};
    const char* text = nullptr;
    int32_t length = 0;
    switch (h.code) {
      case kCmdColourMap:
        if (!call.layoutOnly && c.Holds(1)) {
          const int32_t count = PayloadCount(c.Get(0));
          if (count >= 0 && c.Holds(1 + 3 * int64_t{count})) {
            call.colormapCount = count;
            call.colormap = c.data + 8;
          }
        }
        break;
      case kCmdLight:
        call.lightAt = at;
        break;
      case 55:
        if (!call.vertical && PanelText(c, 0, &text, &length)) {
          call.panelRows += CountTextLines(text, length);
          call.panelColumns = std::max(call.panelColumns, TabColumns(text, length) + 1);
        }
        break;
      case 59:
      case 60:
      case kCmdTextField: {
        const uint32_t columnAt = h.code == kCmdTextField ? 4 : 2;
        if (!c.Holds(columnAt + 1) || (h.code == kCmdTextField && call.vertical)) break;
        const double column = c.Get(columnAt);
        if (column < 1) ++call.panelRows;
        call.panelColumns =
            std::max({call.panelColumns, 2, PayloadCount(std::min(column, 1e6)) + 2});
        break;
      }
      case kCmdPushButton:
      case kCmdCheckBox:
      case kCmdRadioButton:
        if (!call.vertical && PanelText(c, 4, &text, &length)) {
          ++call.panelRows;
          call.panelColumns = std::max(call.panelColumns, 1 + TabColumns(text, length));
        }
        break;
      case kCmdPopupMenu:
        if (!call.vertical) {
          ++call.panelRows;
          call.panelColumns = std::max(call.panelColumns, 2);
        }
        break;
      case kCmdVerticalGroup:
        if (c.Holds(1)) call.vertical = c.Get(0) != 0;
        break;
      default:
        break;
    }
  });
}

// Replays the group; returns the position where it stopped.
uint32_t Replay(RenderCall& call, uint32_t from) {
  return WalkGroup(call.list, call.end, from, [&](const CommandHeader& h, uint32_t at) {
    const CommandEntry* entry = EntryFor(h.code);
    if (entry == nullptr) return;
    if (call.layoutOnly && !(entry->rules & kLayoutToo)) return;
    if (call.is3d && (entry->rules & kFlatOnly)) return;
    if (call.vertical && (entry->rules & kPanelRow)) return;
    const CommandDrawer draw =
        call.is3d && (entry->rules & kDepthPool) ? &AddToDepthPool : entry->draw;
    if (draw == nullptr) return;
    const RenderCommand c{h, at, call.list + size_t{at + kCommandHeaderDoubles} * 8,
                          CommandStyle(call, h)};
    draw(call, c);
  });
}

// The depth pool of a 3-D subplot over the upper half of the scratch; the
// commands keep the lower half.
void OpenDepthPool(RenderCall& call) {
  const uint32_t kept = call.capacity / 2;
  call.pool = DepthSortInit(call.scratch + kept, size_t{call.capacity - kept} * sizeof(double),
                            call.subplot->viewport[kTop] < call.subplot->viewport[kBottom]);
  call.capacity = kept;
}

// Row height and arrow unit from the height of "M".
void MeasureRows(RenderCall& call) {
  const SubplotRecord& s = *call.subplot;
  if (call.port.textExtent != nullptr) {
    double h = 0;
    call.port.textExtent("M", 1, nullptr, &h, call.target);
    call.rowHeight = std::trunc(1.2 * h);
    call.arrowUnit = 0.4 * h;
  } else {
    call.arrowUnit = 5.0;
    call.rowHeight = std::fabs(s.viewport[kTop] - s.position[kTop]);
  }
}

int32_t TitleLength(const SubplotRecord& s) {
  const void* nul = std::memchr(s.title, 0, sizeof s.title);
  return nul != nullptr ? static_cast<int32_t>(static_cast<const uint8_t*>(nul) - s.title)
                        : static_cast<int32_t>(sizeof s.title);
}

// Clips to a rectangle and restores the clip, when the port can.
void ClipTo(const RenderCall& call, const double* r) {
  if (call.port.clipRect != nullptr && call.port.restoreClip != nullptr) {
    call.port.clipRect(r[kLeft], r[kRight], r[kTop], r[kBottom], call.target);
  }
}

void RestoreClip(const RenderCall& call) {
  if (call.port.clipRect != nullptr && call.port.restoreClip != nullptr) {
    call.port.restoreClip(call.target);
  }
}

// What lies under the data: background, grid, polar frame or 3-D box.
void DrawUnderlay(const RenderCall& call) {
  const SubplotRecord& s = *call.subplot;
  const GraphicsPort& port = call.port;
  const double* v = s.viewport;
  ClipTo(call, v);
  if (port.fillBackground != nullptr) {
    const int32_t white = call.decorated && !call.is3d ? 1 : 2;
    port.fillBackground(v[kLeft], v[kTop], v[kRight], v[kBottom], white, call.target);
  }
  if (!call.decorated) return;
  if (!call.is3d) {
    DrawGrid2D(s, call.styles.axes, port, call.target);
    DrawPolarFrame(s, call.styles.axes, port, call.target);
    return;
  }
  Draw3DBox(s, call.styles.label, call.styles.axes, call.styles.box, port, call.target);
  if (!s.orthographic) Draw3DOutlineAndLabels(s, call.styles.label, port, call.target);
}

// The title from the viewport's left, shortened to end inside the position
// (its side's clearance kept).
void DrawTitle(const RenderCall& call, const char* title, int32_t length) {
  const SubplotRecord& s = *call.subplot;
  const double x = s.viewport[kLeft];
  const std::string text = TextFittingRoom(
      title, length, s.position[kRight] - kLabelEdgeClearance - x, call.port, call.target);
  if (text.empty()) return;
  call.port.drawText(x, (s.position[kTop] + s.viewport[kTop]) / 2, text.data(),
                     static_cast<int32_t>(text.size()), kTextRight, nullptr, call.target);
}

// What lies on top, clipped to the subplot's position: frame, ticks,
// labels and title.
void DrawOverlay(const RenderCall& call) {
  const SubplotRecord& s = *call.subplot;
  const GraphicsPort& port = call.port;
  const double* p = s.position;
  ClipTo(call, p);
  if (call.decorated && !call.is3d) {
    DrawAxesTicksAndLabels(s, call.styles.label, port, call.target);
  }
  const int32_t titleLength = TitleLength(s);
  if ((s.optionWord & kOptLabel) && (s.optionWord & kOptMargin) && titleLength > 0 &&
      port.drawText != nullptr) {
    DrawTitle(call, reinterpret_cast<const char*>(s.title), titleLength);
  }
  DrawPanelScrollMarks(call);
  RestoreClip(call);
}

}  // namespace

namespace {

void MeasureMarginUnits(SubplotRecord* s, const GraphicsPort* port, void* target) {
  double width = 10.0;
  double height = 12.0;
  if (port != nullptr && port->textExtent != nullptr) {
    port->textExtent("0", 1, &width, &height, target);
  }
  SetMarginUnits(s, width, height);
}

}  // namespace

void RemeasureSubplotMargins(SubplotRecord* s, const GraphicsPort& port, void* target) {
  if (s->layoutPending) return;  // laid out at its next drawing
  if (port.setFont != nullptr) port.setFont(nullptr, 0, 0, nullptr, target);
  MeasureMarginUnits(s, &port, target);
  SetSubplotViewport(s, s->position[kLeft], s->position[kRight], s->position[kTop],
                     s->position[kBottom]);
}

void PrepareSubplotLayout(SubplotRecord* s, const GraphicsPort* port, void* target) {
  MeasureMarginUnits(s, port, target);
  // Without a port the margins are those of the screen before a view exists.
  const PortMetrics& m = port != nullptr ? port->metrics : kScreenStartMetrics;
  SetMargins(s, m[kMetricMarginLeft], m[kMetricMarginRight], m[kMetricMarginTop],
             m[kMetricMarginBottom]);
}

bool RenderObjectList(std::byte* list, uint32_t end, double* scratch, uint32_t capacity,
                      SubplotRecord* subplot, uint32_t* position, const RenderStyles& styles,
                      const TextFieldEdit& edit, bool layoutOnly, const GraphicsPort& port,
                      void* target, ErrCode* error) {
  const RenderStyles resolved{
      styles.data != nullptr ? styles.data : &kBuiltinData,
      styles.box != nullptr ? styles.box : &kBuiltinBox,
      styles.axes != nullptr ? styles.axes : &kBuiltinAxes,
      styles.grid != nullptr ? styles.grid : &kBuiltinGrid,
      styles.label != nullptr ? styles.label : &kBuiltinLabel,
  };
  if (subplot->layoutPending) PrepareSubplotLayout(subplot, &port, target);
  const bool decorated = subplot->transformValid && (subplot->optionWord & kOptFrame);
  if (!layoutOnly && decorated && !subplot->is3d) FitViewportToLabels(subplot, port, target);
  RenderCall call{list,  end,        scratch,   capacity,           subplot, resolved,
                  &edit, layoutOnly, decorated, subplot->is3d != 0, port,    target};
  PrePass(call, *position);
  MeasureRows(call);
  if (call.panelRows > 0 && !call.vertical && !subplot->transformValid)
    KeepPanelRowRoom(subplot, call.rowHeight);
  if (!layoutOnly) DrawUnderlay(call);
  const double* v = subplot->viewport;
  call.clampLimit = 100 * (std::fabs(v[kRight] - v[kLeft]) + std::fabs(v[kBottom] - v[kTop]));
  if (call.is3d) OpenDepthPool(call);
  const uint32_t stop = Replay(call, *position);
  if (call.is3d) Render3DFlush(call);
  if (!layoutOnly) DrawDeferredPopupMenu(call);
  if (!layoutOnly) {
    if (call.decorated && call.is3d && subplot->orthographic) {
      Draw3DOutlineAndLabels(*subplot, call.styles.label, port, target);
    }
    RestoreClip(call);
  }
  *position = stop;
  if (!layoutOnly) DrawOverlay(call);
  if (error != nullptr && call.error != kOk) *error = call.error;
  return stop < end;
}

}  // namespace vke
