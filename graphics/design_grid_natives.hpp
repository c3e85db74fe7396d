// The natives that add the response-plot grids (zgrid, sgrid, hgrid,
// ngrid) and the error-locus region (erlocus) to the current subplot: they
// write commands the renderer draws itself, with no curve routine, and
// remove their arguments.
#pragma once

#include <cstdint>

#include "graphics/plot_frame.hpp"

namespace vke {

enum class DesignGrid : int32_t { kZGrid, kSGrid, kHGrid, kNGrid, kCount };

// A grid native's commands and the rectangle its grid adds to the
// automatic limits.
struct DesignGridRow {
  DesignGrid grid;
  int32_t wholeCode;   // the grid without arrays
  int32_t firstCode;   // one curve per element of the first array (0: none)
  int32_t secondCode;  // of the second array
  double xMin, xMax, yMin, yMax;
};

const DesignGridRow& DesignGridRowOf(DesignGrid grid);

// (first array, second array [, style]) or ([style]); the style parsed over
// the default record (null: light grey lines).
ErrCode AddGridObject(EngineContext* ctx, int32_t nargin, PlotTarget& target,
                      const DesignGridRow& row, const PlotStyle* defaultStyle);

// erlocus(P, M) or erlocus(P, M, gains, colours): the polynomial P of degree
// n with the n x n uncertainty M of its coefficients, and k gain marks with
// their colours (k rows of red, green and blue in 0..1).
ErrCode AddErlocusObject(EngineContext* ctx, int32_t nargin, PlotTarget& target);

}  // namespace vke
