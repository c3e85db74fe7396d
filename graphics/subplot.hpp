// The state of one subplot: scales, transform, viewport, options, titles,
// camera and the handlers of the plot it shows. The record is 848 bytes with
// no pointers; 25 of them live in each instance record, so its layout is
// fixed and checked below.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vke {

// Scale states of an axis.
enum ScaleState : int32_t {
  kScaleNone = 0,      // no data yet
  kScaleAuto = 1,      // limits follow the data
  kScaleReleased = 2,  // limits given, replaced by the next automatic pass
  kScaleFixed = 3,     // limits kept
};

// Plot ids a subplot can hold besides the offsets of figure elements.
inline constexpr int32_t kPlotNone = -3;     // the subplot shows no plot
inline constexpr int32_t kPlotDefault = -2;  // the default plot
inline constexpr int32_t kNoHandler = -2;    // handler descriptor absent

// Handler descriptors of a subplot, in record order, with the element kind
// that fills each.
enum SubplotHandler : int32_t {
  kHandlerDraw = 0,          // kElemDraw
  kHandlerMouseDown,         // kElemMouseDown
  kHandlerMouseDrag,         // kElemMouseDrag
  kHandlerSecondDrag,        // kElemSecondDrag
  kHandlerMouseUp,           // kElemMouseUp
  kHandlerMouseDoubleClick,  // kElemMouseDoubleClick
  kHandlerMouseOver,         // kElemMouseOver
  kHandlerMouseOut,          // kElemMouseOut
  kHandlerMouseScroll,       // kElemMouseScroll
  kHandlerDragIn,            // kElemDragIn
  kHandlerDragOut,           // kElemDragOut
  kSubplotHandlerCount,
};

// Option word bits.
inline constexpr uint32_t kOptXAxisLine = 0x1;
inline constexpr uint32_t kOptXTicks = 0x2;
inline constexpr uint32_t kOptXGrid = 0x4;
inline constexpr uint32_t kOptXLabels = 0x8;
inline constexpr uint32_t kOptYAxisLine = 0x10;
inline constexpr uint32_t kOptYTicks = 0x20;
inline constexpr uint32_t kOptYGrid = 0x40;
inline constexpr uint32_t kOptYLabels = 0x80;
inline constexpr uint32_t kOptZGrid = 0x400;
inline constexpr uint32_t kOptGridKindMask = 0x7000;
inline constexpr uint32_t kOptFrame = 0x8000;
inline constexpr uint32_t kOptLabel = 0x10000;
inline constexpr uint32_t kOptLegend = 0x20000;
inline constexpr uint32_t kOptLegendCorner = 0xC0000;
inline constexpr uint32_t kOptLegendLeft = 0x40000;    // clear: right
inline constexpr uint32_t kOptLegendBottom = 0x80000;  // clear: top
inline constexpr uint32_t kOptMargin = 0x100000;
// Axis lines, ticks and tick labels on all axes; frame, label, legend, margin.
inline constexpr uint32_t kDefaultOptions = 0x138BBB;

// Indexes of the four-double rectangles.
enum RectSide : int { kLeft = 0, kRight = 1, kTop = 2, kBottom = 3 };

inline void SetRect(double* rect, double left, double right, double top, double bottom) {
  rect[kLeft] = left;
  rect[kRight] = right;
  rect[kTop] = top;
  rect[kBottom] = bottom;
}

struct SubplotRecord {
  uint8_t transformValid;  // the data-to-device transform was computed
  int32_t scaleState[3];   // x, y, z (ScaleState, with hold bit 0x40)
  uint8_t drawn;           // the draw handler ran
  double limits[6];        // x min, y min, z min, x max, y max, z max
  int32_t dragId;          // control being dragged
  int32_t dragIndex;
  double dragValue[2];
  double defaultLimits[6];  // x min, x max, y min, y max, z min, z max
  double viewport[4];       // left, right, top, bottom (device units)
  double position[4];       // cell or free-layout rectangle (device units)
  double margins[4];        // left, right, top, bottom (margin units)
  double zoomRange[4];      // x min span, y min span, x max span, y max span
  uint8_t zoomRangeSet[2];  // x, y
  uint8_t layoutPending;    // 1 until the margins were set
  double marginUnit[2];     // device units per x, y margin unit (y signed)
  double xOffset;           // device x = x factor * data + x offset
  double xFactor;
  double yOffset;
  double yFactor;
  uint32_t scaleKind;  // 1 log x, 2 log y, 8 log x, 16 dB y, 64 equal
  uint8_t is3d;
  // Camera and projection.
  uint32_t viewFlags;  // 1 auto target, 2 auto position, 4 auto up, 8 auto zoom, 16 fit
  double cameraPosition[3];
  double cameraTarget[3];
  double cameraUp[3];
  uint8_t orthographic;
  double zoom;
  int32_t aspectAuto;
  double dataAspect[3];
  double inverseAspect[3];
  double rightAxis[3];
  double rightTerm;
  double trueUp[3];
  double upTerm;
  double backAxis[3];
  double depthTerm;
  // Plot settings.
  uint8_t plotFlag;
  uint32_t applicableScaleKinds;
  double scaleFactors[3];  // x, y, z
  double tickParams[3];    // minimum spacing, major length, minor length
  uint32_t applicableOptions;
  uint32_t optionWord;
  uint8_t gridSet;
  uint8_t title[64];      // NUL-padded, not necessarily NUL-terminated
  uint8_t labels[3][16];  // x, y, z: the first 16 bytes of each axis label
  uint8_t scaleKindSet;
  int32_t plotId;                          // figure element offset, kPlotNone, kPlotDefault
  int32_t handlers[kSubplotHandlerCount];  // descriptor offsets, kNoHandler
  // The rest of each axis label after its first 16 bytes, NUL-padded; zero
  // in records of older images, whose labels end within `labels`.
  uint8_t labelTails[3][12];
};

// The longest axis label in bytes: its field in `labels` and its tail.
inline constexpr int32_t kAxisLabelBytes =
    sizeof SubplotRecord::labels[0] + sizeof SubplotRecord::labelTails[0];

static_assert(sizeof(SubplotRecord) == 848);
static_assert(offsetof(SubplotRecord, scaleState) == 4);
static_assert(offsetof(SubplotRecord, limits) == 24);
static_assert(offsetof(SubplotRecord, dragId) == 72);
static_assert(offsetof(SubplotRecord, defaultLimits) == 96);
static_assert(offsetof(SubplotRecord, viewport) == 144);
static_assert(offsetof(SubplotRecord, position) == 176);
static_assert(offsetof(SubplotRecord, margins) == 208);
static_assert(offsetof(SubplotRecord, zoomRange) == 240);
static_assert(offsetof(SubplotRecord, zoomRangeSet) == 272);
static_assert(offsetof(SubplotRecord, marginUnit) == 280);
static_assert(offsetof(SubplotRecord, xOffset) == 296);
static_assert(offsetof(SubplotRecord, scaleKind) == 328);
static_assert(offsetof(SubplotRecord, viewFlags) == 336);
static_assert(offsetof(SubplotRecord, cameraPosition) == 344);
static_assert(offsetof(SubplotRecord, orthographic) == 416);
static_assert(offsetof(SubplotRecord, zoom) == 424);
static_assert(offsetof(SubplotRecord, dataAspect) == 440);
static_assert(offsetof(SubplotRecord, rightAxis) == 488);
static_assert(offsetof(SubplotRecord, depthTerm) == 576);
static_assert(offsetof(SubplotRecord, plotFlag) == 584);
static_assert(offsetof(SubplotRecord, scaleFactors) == 592);
static_assert(offsetof(SubplotRecord, applicableOptions) == 640);
static_assert(offsetof(SubplotRecord, title) == 649);
static_assert(offsetof(SubplotRecord, labels) == 713);
static_assert(offsetof(SubplotRecord, plotId) == 764);
static_assert(offsetof(SubplotRecord, handlers) == 768);
static_assert(offsetof(SubplotRecord, labelTails) == 812);

// Every field to its initial value except the plot id and the handler
// descriptors, which the caller sets; the zoom range and the control drag
// state are left as they are.
void SubplotRecordInit(SubplotRecord* record);

// As SubplotRecordInit but keeps the viewport, position, margins, margin
// units and the layout-pending flag; the option word, the applicable options
// and the grid-set flag are reset only with resetOptions.
void SubplotRecordReset(SubplotRecord* record, bool resetOptions);

// An empty cell: no plot, no handlers, initial values.
void SubplotRecordClear(SubplotRecord* record);

// The options in effect: the label bit needs a title, the frame bit a valid
// transform.
uint32_t GetEffectiveOptions(const SubplotRecord& record);

// The options the menus may offer for the subplot.
uint32_t GetApplicableOptions(const SubplotRecord& record);

// Stores a new position, derives the viewport inside the margins, rescales
// the fixed axes so they keep showing the same data, and recomputes the
// transform (scale.hpp).
void SetSubplotViewport(SubplotRecord* record, double left, double right, double top,
                        double bottom);

}  // namespace vke
