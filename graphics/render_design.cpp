// The renderer's drawing of the control-design commands: the error-locus
// region, the whole grids (only while the subplot's grid kind is basic or
// full, full adding the damping and frequency curves) and the single grid
// curves.
#include <iterator>

#include "graphics/design_grids.hpp"
#include "graphics/error_locus.hpp"
#include "graphics/render_call.hpp"

namespace vke {

namespace {

// Damping ratios and natural frequencies of the whole z and s grids.
constexpr int32_t kGridDampingSteps = 10;
constexpr int32_t kGridFrequencySteps = 10;

constexpr uint32_t kGridBasic = 0x2000;
constexpr uint32_t kGridFull = 0x4000;

}  // namespace

void DrawErrorLocusCommand(RenderCall& call, const RenderCommand& c) {
  DrawErrorLocus(c.Doubles(0), c.header.length, *call.subplot, call.port, call.scratch,
                 call.capacity, call.target);
}

void DrawDesignGridCommand(RenderCall& call, const RenderCommand& c) {
  const SubplotRecord& s = *call.subplot;
  if (!(s.optionWord & (kGridBasic | kGridFull))) return;
  const bool full = (s.optionWord & kGridFull) != 0;
  switch (c.header.code) {
    case kCmdZGrid:
      DrawZGrid(s, kGridDampingSteps, kGridFrequencySteps, &c.style, full, call.port, call.target);
      break;
    case kCmdSGrid:
      DrawSGrid(s, kGridDampingSteps, kGridFrequencySteps, &c.style, full, call.port, call.target);
      break;
    case kCmdHallChart:
      DrawHGrid(s, &c.style, full, call.port, call.target);
      break;
    case kCmdNicholsChart:
      DrawNGrid(s, &c.style, full, call.port, call.target);
      break;
    default:
      break;
  }
}

void DrawGridCurveCommand(RenderCall& call, const RenderCommand& c) {
  using GridCurve =
      void (*)(const SubplotRecord&, double, const PlotStyle*, const GraphicsPort&, void*);
  // By code from the z-plane frequency curve on.
  constexpr GridCurve kGridCurves[] = {
      &DrawZGridFrequencyCurve,   // natural frequency times the sampling period
      &DrawZGridDampingCurve,     // damping ratio
      &DrawSGridFrequencyCircle,  // natural frequency
      &DrawSGridDampingRays,      // damping ratio
  };
  const int32_t at = c.header.code - kCmdZGridFrequency;
  if (!c.Holds(1) || at < 0 || at >= static_cast<int32_t>(std::size(kGridCurves))) return;
  kGridCurves[at](*call.subplot, c.Get(0), &c.style, call.port, call.target);
}

}  // namespace vke
