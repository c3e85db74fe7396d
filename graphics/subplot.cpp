// Initial values of a subplot record and the option states derived from it.
#include "graphics/subplot.hpp"

#include <algorithm>
#include <cstring>

namespace vke {

namespace {

void Set3(double* v, double x, double y, double z) {
  v[0] = x;
  v[1] = y;
  v[2] = z;
}

// The camera as a new 3-D subplot has it: orthographic, looking from
// (-3, -2, 1) at the origin with z up, everything automatic. The derived
// view terms stay zero until the projection is computed.
void SetCameraDefaults(SubplotRecord* r) {
  r->viewFlags = 15;
  Set3(r->cameraPosition, -3, -2, 1);
  Set3(r->cameraTarget, 0, 0, 0);
  Set3(r->cameraUp, 0, 0, 1);
  r->orthographic = 1;
  r->zoom = 1.0;
  r->aspectAuto = 1;
  Set3(r->dataAspect, 1, 1, 1);
  Set3(r->inverseAspect, 1, 1, 1);
  Set3(r->rightAxis, 0, 0, 0);
  Set3(r->trueUp, 0, 0, 0);
  Set3(r->backAxis, 0, 0, 0);
  r->rightTerm = r->upTerm = r->depthTerm = 0;
}

bool HasTitle(const SubplotRecord& r) {
  return r.title[0] != 0;
}

}  // namespace

void SubplotRecordReset(SubplotRecord* r, bool resetOptions) {
  r->transformValid = 0;
  std::fill_n(r->scaleState, 3, kScaleNone);
  r->drawn = 0;
  for (int axis = 0; axis < 3; ++axis) {
    r->limits[axis] = 1e30;
    r->limits[axis + 3] = -1e30;
    r->defaultLimits[2 * axis] = 1e30;
    r->defaultLimits[2 * axis + 1] = -1e30;
  }
  r->zoomRangeSet[0] = r->zoomRangeSet[1] = 0;
  r->xOffset = 0;
  r->xFactor = 1.0;
  r->yOffset = 0;
  r->yFactor = 1.0;
  r->scaleKind = 0;
  r->is3d = 0;
  SetCameraDefaults(r);
  r->plotFlag = 0;
  r->applicableScaleKinds = 0;
  Set3(r->scaleFactors, 1, 1, 1);
  Set3(r->tickParams, 10, 4, 2);
  if (resetOptions) {
    r->applicableOptions = 0;
    r->optionWord = kDefaultOptions;
    r->gridSet = 0;
  }
  std::memset(r->title, 0, sizeof r->title);
  std::memset(r->labels, 0, sizeof r->labels);
  std::memset(r->labelTails, 0, sizeof r->labelTails);
  r->scaleKindSet = 0;
}

void SubplotRecordInit(SubplotRecord* r) {
  SubplotRecordReset(r, true);
  SetRect(r->viewport, 0, 1000, 0, 1000);
  SetRect(r->position, 0, 1000, 0, 1000);
  SetRect(r->margins, 0, 0, 0, 0);
  r->layoutPending = 1;
  r->marginUnit[0] = 12.0;
  r->marginUnit[1] = 20.0;
}

void SubplotRecordClear(SubplotRecord* r) {
  r->plotId = kPlotNone;
  std::fill_n(r->handlers, kSubplotHandlerCount, kNoHandler);
  SubplotRecordInit(r);
}

uint32_t GetEffectiveOptions(const SubplotRecord& r) {
  uint32_t options = r.optionWord;
  if (!HasTitle(r)) options &= ~kOptLabel;
  if (!r.transformValid) options &= ~kOptFrame;
  return options;
}

uint32_t GetApplicableOptions(const SubplotRecord& r) {
  uint32_t options =
      (r.applicableOptions & (kOptGridKindMask | kOptLegend | kOptLegendCorner)) | kOptMargin;
  if (HasTitle(r) && (r.optionWord & kOptMargin)) options |= kOptLabel;
  if (r.transformValid) {
    options |= kOptFrame | kOptXGrid | kOptYGrid;
    if (r.is3d) options |= kOptZGrid;
  }
  return options;
}

}  // namespace vke
