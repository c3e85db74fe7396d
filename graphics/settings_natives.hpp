// The natives that change the current subplot's settings instead of
// drawing: scale (limits and scale kind, with the scale-kind table), daspect,
// plotoption, scalefactor, label, title and legend. Each takes its inputs
// from the stack, fails before changing anything, and on success leaves its
// outputs in place of its inputs.
#pragma once

#include <cstdint>
#include <string_view>

#include "graphics/plot_frame.hpp"

namespace vke {

// The implementation behind a setting native: the plot target, and the
// output count (negative for a statement call).
using SettingImplFn = ErrCode (*)(EngineContext* ctx, int32_t nargin, int32_t nargout,
                                  PlotTarget& target);

// A record of the scale-kind table: a kind and the kinds the menus may
// toggle.
struct AxisScaleRecord {
  char name[16];
  uint32_t kind;
  uint32_t applicable;
};

// The record named by the text; null when none is.
const AxisScaleRecord* FindAxisScale(std::string_view name);

// The scale-kind text of a subplot: "lin" or "log" for x, then "lin", "log"
// or "db" for y; returns its length (5 or 6, no NUL).
int32_t ScaleKindText(const SubplotRecord& subplot, char text[6]);

// scale(), scale(limits), scale(kind ..., limits), scale("lock", ...): a
// query gives the visible limits (and the kind text); settings give kind,
// applicable kinds and released, fixed or locked limits.
ErrCode ApplyScaleArguments(EngineContext* ctx, int32_t nargin, int32_t nargout,
                            PlotTarget& target);
// daspect([ax ay az]) or daspect([]); gives the ratios.
ErrCode ApplyDataAspect(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
// plotoption(name) or plotoption("no" name), before the subplot was first
// drawn.
ErrCode ApplyPlotOption(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
// scalefactor(f), ([fx fy]) or ([fx fy fz]); gives the factors.
ErrCode ApplyScaleFactor(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
// label(x), label(x, y), label(x, y, z).
ErrCode ApplyAxisLabels(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
// title(text).
ErrCode ApplySubplotTitle(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);
// legend(text) or legend(text, style): one legend entry per line
// (command 58).
ErrCode ApplyLegendText(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);

}  // namespace vke
