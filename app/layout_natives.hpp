// The natives that set the figure's layout from the KV code, each with its
// own frame over the native-call context: subplots, subplotprops,
// subplotpos, subplotsize, subplotspring and subplotparam, which those who
// set something end by storing the figure state; and subplot, clf and
// redraw, which only an instance-wide step may call.
#pragma once

#include "engine/registry/native_record.hpp"

namespace vke {

// subplots() gives the layout as text: the plot names of each row separated
// by tabs, rows by line feeds; subplots(text) sets it.
ErrCode SubplotsNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// subplotprops(props, views): one row of flags word and limits per subplot,
// one _3d row per 3-D subplot; gives both.
ErrCode SubplotPropsNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// subplotpos(positions): left, right, top, bottom of each subplot in units
// of the port from the figure's top left corner; the layout becomes free.
ErrCode SubplotPosNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// subplotsize([w h]) in units, or subplotsize(w, h) in device units: the
// figure's size, which a free layout follows with its springs.
ErrCode SubplotSizeNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// subplotspring(springs): six stiffnesses per subplot; the layout becomes
// free.
ErrCode SubplotSpringNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// subplotparam(list) stores each subplot's plot properties; subplotparam()
// gives them.
ErrCode SubplotParamNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// subplot(rows, columns, index), subplot(221) or subplot("221"): the
// layout and the subplot drawn next.
ErrCode SubplotNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// clf(): one empty subplot.
ErrCode ClfNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// redraw(): asks for the figure to be drawn again.
ErrCode RedrawNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);

}  // namespace vke
