// Encoding the figure into the rows of _pl and _3d and taking them back.
#include "graphics/saved_figure.hpp"

#include <cmath>

#include "graphics/camera.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// One bit of the flags word and the bit it stands for: a scale-kind bit, or
// an option bit stored as it is or inverted.
struct FlagRule {
  uint32_t flag;
  uint32_t bit;
  bool option;
  bool inverted;
};

constexpr FlagRule kFlagRules[] = {
    {kStateLogX, kScaleLogX, false, false},     // log x
    {kStateLogY, kScaleLogY, false, false},     // log y
    {kStateDbY, kScaleDbY, false, false},       // dB y
    {kStateEqual, kScaleEqual, false, false},   // equal scales
    {kStateXGrid, kOptXGrid, true, false},      // x grid
    {kStateYGrid, kOptYGrid, true, false},      // y grid
    {0x2000, 0x2000, true, false},              // basic grid kind
    {0x4000, 0x4000, true, false},              // full grid kind
    {kStateNoFrame, kOptFrame, true, true},     // frame
    {kStateNoLabel, kOptLabel, true, true},     // label
    {kStateLegend, kOptLegend, true, false},    // legend
    {kStateNoMargin, kOptMargin, true, true},   // margin
    {0x100000, kOptLegendLeft, true, false},    // legend corner: left
    {0x200000, kOptLegendBottom, true, false},  // legend corner: bottom
};

constexpr uint32_t kStoredScaleKinds = kScaleLogX | kScaleLogY | kScaleDbY | kScaleEqual;
constexpr uint32_t kStoredOptions = 0x1FF044;
// The grid kind of a subplot stored without one: no grid.
constexpr uint32_t kNoGridKind = 0x1000;

bool ValidIndex(const FigureState& fig, double k) {
  return k >= 0 && k < ActiveSubplotCount(fig);
}

}  // namespace

uint32_t EncodeSubplotFlags(const SubplotRecord& s, bool selected) {
  const uint32_t options = GetEffectiveOptions(s);
  uint32_t flags = selected ? kStateSelected : 0;
  for (const FlagRule& rule : kFlagRules) {
    const bool set = ((rule.option ? options : s.scaleKind) & rule.bit) != 0;
    if (set != rule.inverted) flags |= rule.flag;
  }
  return flags;
}

void ApplySubplotEntry(SubplotRecord* s, uint32_t flags, const double* limits) {
  uint32_t kind = 0;
  uint32_t options = 0;
  for (const FlagRule& rule : kFlagRules) {
    if (((flags & rule.flag) != 0) == rule.inverted) continue;
    (rule.option ? options : kind) |= rule.bit;
  }
  if (!(options & kOptGridKindMask)) options |= kNoGridKind;
  SetScaleKindBits(s, kind, kStoredScaleKinds);
  SetOptionBits(s, options, kStoredOptions);
  s->gridSet = 1;
  s->scaleKindSet = 1;
  SetFixedLimits(s, limits[0], limits[1], limits[2], limits[3]);
}

int32_t LayoutValueLength(const FigureState& fig) {
  return kLayoutHeader + ActiveSubplotCount(fig) * (fig.freeLayout ? kFreeEntry : kGridEntry);
}

void EncodeLayout(const FigureState& fig, double* out) {
  out[0] = fig.rows;
  out[1] = fig.columns;
  double* at = out + kLayoutHeader;
  for (int32_t k = 0; k < ActiveSubplotCount(fig); ++k) {
    const SubplotRecord& s = fig.subplots[k];
    at[0] = s.plotId;
    at[1] = EncodeSubplotFlags(s, (fig.selection >> k) & 1u);
    GetFixedViewportLimits(s, &at[2], &at[3], &at[4], &at[5]);
    at += kGridEntry;
    if (!fig.freeLayout) continue;
    for (int side = 0; side < 4; ++side) *at++ = s.position[side];
  }
}

ErrCode RestoreLayout(FigureState* fig, FigureHost& host, const double* values, int64_t count) {
  if (count < kLayoutHeader) return kOk;
  const int32_t rows = TruncToInt32(values[0]);
  const int32_t columns = TruncToInt32(values[1]);
  if (rows < 1 || columns < 1 || int64_t{rows} * columns > kMaxSubplots) return kOk;
  const int64_t cells = int64_t{rows} * columns;
  const bool free = count == kLayoutHeader + cells * kFreeEntry;
  if (!free && count != kLayoutHeader + cells * kGridEntry) return kOk;
  if (ErrCode e = SetSubplotLayout(fig, rows, columns)) return e;
  if (free) {
    fig->rows = ActiveSubplotCount(*fig);
    fig->columns = 1;
    fig->freeLayout = 1;
  }
  const int32_t entry = free ? kFreeEntry : kGridEntry;
  uint32_t selection = 0;
  for (int32_t k = 0; k < ActiveSubplotCount(*fig); ++k) {
    const double* e = values + kLayoutHeader + int64_t{k} * entry;
    if (ErrCode rc = ResetSubplots(fig, host, k / fig->columns, k % fig->columns,
                                   TruncToInt32(e[0]), false)) {
      return rc;
    }
    SubplotRecord* s = &fig->subplots[k];
    const auto flags = static_cast<uint32_t>(TruncToInt64(e[1]));
    ReleaseScales(s);
    ApplySubplotEntry(s, flags, e + 2);
    if (flags & kStateSelected) selection |= 1u << k;
    if (free) SetSubplotViewport(s, e[6], e[7], e[8], e[9]);
  }
  fig->selection = selection;
  return kOk;
}

int32_t ViewRowCount(const FigureState& fig) {
  int32_t n = 0;
  for (int32_t k = 0; k < ActiveSubplotCount(fig); ++k) n += fig.subplots[k].is3d != 0;
  return n;
}

void EncodeViews(const FigureState& fig, double* out) {
  for (int32_t k = 0; k < ActiveSubplotCount(fig); ++k) {
    const SubplotRecord& s = fig.subplots[k];
    if (!s.is3d) continue;
    const double row[kViewRow] = {double(k),
                                  double(s.viewFlags),
                                  double(s.orthographic),
                                  double(s.aspectAuto),
                                  s.cameraPosition[0],
                                  s.cameraPosition[1],
                                  s.cameraPosition[2],
                                  s.cameraTarget[0],
                                  s.cameraTarget[1],
                                  s.cameraTarget[2],
                                  s.cameraUp[0],
                                  s.cameraUp[1],
                                  s.cameraUp[2],
                                  s.zoom,
                                  s.dataAspect[0],
                                  s.dataAspect[1],
                                  s.dataAspect[2]};
    for (double v : row) *out++ = v;
  }
}

bool ApplyView(FigureState* fig, const double* row) {
  if (!ValidIndex(*fig, row[0])) return false;
  SubplotRecord* s = &fig->subplots[TruncToInt32(row[0])];
  s->viewFlags = static_cast<uint32_t>(TruncToInt64(row[1]));
  s->orthographic = row[2] != 0;
  s->aspectAuto = TruncToInt32(row[3]);
  for (int i = 0; i < 3; ++i) {
    s->cameraPosition[i] = row[4 + i];
    s->cameraTarget[i] = row[7 + i];
    s->cameraUp[i] = row[10 + i];
    s->dataAspect[i] = row[14 + i];
  }
  s->zoom = row[13];
  ComputeProjection(s);
  return true;
}

}  // namespace vke
