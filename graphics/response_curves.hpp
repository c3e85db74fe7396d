// What the response curve routines share: the free part of the command area
// behind the commands written, the scale state of an axis, and the pushing of their results as
// columns.
#pragma once

#include <cstdint>

#include "graphics/figure_codes.hpp"
#include "graphics/lti_system.hpp"

namespace vke {

// The doubles behind the used count of the target, and how many of them
// there are.
struct CurveArea {
  double* at;
  uint64_t doubles;
};
CurveArea FreeCurveArea(const PlotTarget& target);

// The axis (0 x, 1 y) is released or fixed: its limits come from the
// viewport rather than from the data.
bool AxisFollowsViewport(const SubplotRecord* subplot, int32_t axis);

// Pushes a rows x columns matrix whose column j is the run of rows values
// at first + j * stride. A run in the free data stack must lie above the
// room the matrix takes there (the temporary command area of a call without
// a figure is the upper half); else kErrPlotOverflow.
ErrCode PushColumns(EngineContext* ctx, int32_t rows, int32_t columns, const double* first,
                    int64_t stride);

// phi brought within pi of the reference by turns of 2 pi, at most 20 each
// way; a NaN on either side leaves it as it is.
double UnwrapPhase(double phi, double reference);

// Adds a polyline command {n, x[n], y[n]} (and w[n] with `keep`) already
// laid out behind the used count: fills its header with the style, id and
// series given.
void CommitCurveCommand(PlotTarget& target, int32_t code, const PlotStyle& style, int32_t id,
                        int32_t series, int32_t length);

}  // namespace vke
