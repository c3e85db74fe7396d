// The grids of the control-design plots: the z-plane grid (unit circle,
// curves of constant damping and natural frequency), the s-plane grid (rays
// of constant damping, circles of constant natural frequency), the Hall
// chart of the Nyquist plane (closed-loop magnitude and phase circles) and
// the Nichols chart (closed-loop magnitude curves in the phase-magnitude
// plane), and the single grid curves drawn for explicit values. Curves go
// through the port's polyline slot, circles through its ellipse slot; each
// routine draws nothing that needs a slot the port lacks.
#pragma once

#include "graphics/port.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// The circle of radius 1 around the origin; nothing on a logarithmic axis.
void DrawUnitCircle(const SubplotRecord& subplot, const PlotStyle* style, const GraphicsPort& port,
                    void* target);

// z = exp(s T) for poles of natural frequency w / T, the damping running
// from 0 to 1, and its mirror image.
void DrawZGridFrequencyCurve(const SubplotRecord& subplot, double w, const PlotStyle* style,
                             const GraphicsPort& port, void* target);
// The spiral of constant damping zeta (0 to 1) from z = 1 to the negative
// real axis, and its mirror image; nothing for other values.
void DrawZGridDampingCurve(const SubplotRecord& subplot, double zeta, const PlotStyle* style,
                           const GraphicsPort& port, void* target);
// The circle of natural frequency w around the origin.
void DrawSGridFrequencyCircle(const SubplotRecord& subplot, double w, const PlotStyle* style,
                              const GraphicsPort& port, void* target);
// The two rays of damping zeta (0 to 1) from the origin to the viewport's
// left edge; nothing for other values.
void DrawSGridDampingRays(const SubplotRecord& subplot, double zeta, const PlotStyle* style,
                          const GraphicsPort& port, void* target);

// The whole grids. nz and nw split the damping ratios and the natural
// frequencies; without `full` only the unit circle (z) or the imaginary
// axis (s) is drawn.
void DrawZGrid(const SubplotRecord& subplot, int32_t nz, int32_t nw, const PlotStyle* style,
               bool full, const GraphicsPort& port, void* target);
void DrawSGrid(const SubplotRecord& subplot, int32_t nz, int32_t nw, const PlotStyle* style,
               bool full, const GraphicsPort& port, void* target);
void DrawHGrid(const SubplotRecord& subplot, const PlotStyle* style, bool full,
               const GraphicsPort& port, void* target);
void DrawNGrid(const SubplotRecord& subplot, const PlotStyle* style, bool full,
               const GraphicsPort& port, void* target);

// The closed-loop magnitude m in the Nichols plane (x the open-loop phase
// in radians, y its magnitude), repeated every 2 pi of phase across the
// viewport, at most five copies of each half.
void DrawNicholsMagnitudeCurve(const SubplotRecord& subplot, double m, const PlotStyle* style,
                               const GraphicsPort& port, void* target);

}  // namespace vke
