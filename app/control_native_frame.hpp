// The frame of the control-design plot natives: the figure context of the
// running handler, the computation without a figure that the response
// natives and lsim allow when outputs are asked for, and the record in the
// native-call context that the figure changed.
#pragma once

#include <cstdint>

#include "engine/errors/errors.hpp"
#include "graphics/design_grid_natives.hpp"
#include "graphics/response_natives.hpp"
#include "graphics/response_options.hpp"

namespace vke {

struct EngineContext;

// A response native of the table's row.
ErrCode RunResponseNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option,
                          const ResponseNativeRow& row);

template <ResponseNative Native>
ErrCode ResponsePlotNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  return RunResponseNative(ctx, nargin, nargout, option, ResponseNativeRowOf(Native));
}

ErrCode HstepNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
ErrCode LsimNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
ErrCode DlsimNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
ErrCode InitialNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
ErrCode DinitialNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
ErrCode PlotRootsNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
ErrCode ErlocusNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);

// zgrid, sgrid, hgrid and ngrid, with the instance's grid style as default.
ErrCode RunGridNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option,
                      DesignGrid grid);

template <DesignGrid Grid>
ErrCode GridNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option) {
  return RunGridNative(ctx, nargin, nargout, option, Grid);
}

}  // namespace vke
