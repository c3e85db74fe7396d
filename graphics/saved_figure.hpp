// The figure as the instance's standard variables keep it, so that undo,
// redo and the application's own code see it:
//   _pl: a row [rows, columns, then per subplot: plot id, flags word, x0, x1,
//        y0, y1 (the data at the viewport edges of a fixed axis, else 0, 0)
//        and in free layout also left, right, top, bottom];
//   _3d: one row of 17 per 3-D subplot: index, view flags, orthographic,
//        aspect automatic, camera position, target and up vector, zoom,
//        data aspect.
// The per-subplot part without the plot id is also the form in which the
// subplotprops native reads and writes all subplots.
#pragma once

#include <cstdint>

#include "graphics/figure_state.hpp"

namespace vke {

inline constexpr int32_t kLayoutHeader = 2;   // rows, columns
inline constexpr int32_t kGridEntry = 6;      // doubles per subplot in a grid
inline constexpr int32_t kFreeEntry = 10;     // in free layout
inline constexpr int32_t kPropertyEntry = 5;  // flags, x0, x1, y0, y1
inline constexpr int32_t kViewRow = 17;       // doubles of a _3d row

// Bits of the flags word of a subplot.
inline constexpr uint32_t kStateLogX = 0x1;
inline constexpr uint32_t kStateXGrid = 0x20;
inline constexpr uint32_t kStateLogY = 0x40;
inline constexpr uint32_t kStateDbY = 0x80;
inline constexpr uint32_t kStateYGrid = 0x800;
inline constexpr uint32_t kStateEqual = 0x1000;
inline constexpr uint32_t kStateGridKind = 0x6000;  // the option word's grid-kind bits
inline constexpr uint32_t kStateNoFrame = 0x8000;
inline constexpr uint32_t kStateNoLabel = 0x10000;
inline constexpr uint32_t kStateSelected = 0x20000;
inline constexpr uint32_t kStateLegend = 0x40000;
inline constexpr uint32_t kStateNoMargin = 0x80000;
inline constexpr uint32_t kStateLegendCorner = 0x300000;  // the corner bits, two places up

// The flags word of a subplot from its scale kind and options in effect.
uint32_t EncodeSubplotFlags(const SubplotRecord& subplot, bool selected);

// Flags word and limits x0, x1, y0, y1 of a subplot: sets the scale kind
// (log, dB and equal bits) and the options (grids, grid kind, frame, label,
// legend and its corner, margin) as stored, marks both as set, and fixes
// each axis whose limits form a range.
void ApplySubplotEntry(SubplotRecord* subplot, uint32_t flags, const double* limits);

// Doubles of the figure's _pl row.
int32_t LayoutValueLength(const FigureState& figure);
void EncodeLayout(const FigureState& figure, double* out);

// Takes a _pl row back: layout, each subplot's plot (reset only when it
// changed), scale kind, options, released scales with the stored fixed
// limits, selection and, in free layout, position. A row of another length
// than its rows and columns ask for changes nothing. Fails with the code of
// a plot reset.
ErrCode RestoreLayout(FigureState* figure, FigureHost& host, const double* values, int64_t count);

// The 3-D subplots' rows of _3d, row by row.
int32_t ViewRowCount(const FigureState& figure);
void EncodeViews(const FigureState& figure, double* out);

// Takes one _3d row back into the camera of the subplot it names and
// recomputes the projection; false when it names no subplot.
bool ApplyView(FigureState* figure, const double* row);

}  // namespace vke
