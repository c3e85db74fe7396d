// The implementations of the plot natives that add point-based objects to
// the current subplot: curves (plot, plot3, area, polar, fplot), infinite
// lines, circles, active regions, bars and arrows. Each reads its arguments
// from the stack, checks the room for everything it writes before writing,
// appends complete drawing commands to the capture buffer, widens the
// subplot's automatic limits with the points drawn and removes its
// arguments.
#pragma once

#include "graphics/plot_frame.hpp"

namespace vke {

// Values of the table's extra argument.
inline constexpr uint32_t kPlot2d = 0;
inline constexpr uint32_t kPlot3d = 1;
inline constexpr uint32_t kBarsVertical = 0;
inline constexpr uint32_t kBarsHorizontal = 1;

// plot(y), plot(x, y), each with an optional style and id; plot3(x, y, z
// ...) with flag kPlot3d. Each row is one series (command 1 or 13).
ErrCode AddPlotObjects(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// area(y), area(x, y), area(x, y, base), style, id: filled, stacked
// columns (command 1 with the fill bit).
ErrCode AddAreaObject(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// polar(theta, rho), style, id: command 1 in an equal-scaled polar subplot.
ErrCode AddPolarObject(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// line(coef, rhs), style, id (command 4); line3 with flag kPlot3d, two
// planes per line (command 14).
ErrCode AddLineObject(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// circle(x, y, r), style, id (command 5).
ErrCode AddCircleObject(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// activeregion(x, y, id) or activeregion(xmin, xmax, ymin, ymax, id)
// (command 12, not drawn).
ErrCode AddActiveRegion(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// bar and barh (flag kBarsHorizontal): y, x and y, x y and w, then a kind,
// a style and an id (command 7).
ErrCode AddBarObject(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// quiver(u, v), quiver(x, y, u, v), each with a scale and a style: two
// command-1 polylines per arrow.
ErrCode AddQuiverObject(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// fplot(fun, range, style, id, p1, ...): samples the function through the
// call-back protocol of natives (re-entered with a negative nargin) and
// writes one command 1.
ErrCode AddFunctionPlot(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);

// ---- fplot's step control ----

// Sampling state kept between the function's evaluations.
struct SamplerState {
  double maxPoints;  // points that fit in the room left
  double count;      // points accepted
  double xMax;
  double x;  // the x being evaluated
  double minStep;
  double maxStep;
  double step;
};

enum class SampleStep {
  kEvaluate,  // evaluate the function at state.x next
  kDone,      // the point at xMax was taken
  kFull,      // more points are needed than fit
};

// A new sampling of [xMin, xMax] with room for maxPoints points.
SamplerState StartSampling(double xMin, double xMax, double maxPoints);

// Takes the value y computed at state->x. Accepted points go to xs and ys
// (at index count); the step shrinks while the curve departs from the line
// through the last two points by half a device unit or more (in the
// subplot's y scale) and grows again below 0.2.
SampleStep TakeSample(SamplerState* state, double y, double* xs, double* ys,
                      const SubplotRecord& subplot);

}  // namespace vke
