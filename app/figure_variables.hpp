// The figure kept in the instance's standard variables: the layout in _pl,
// the 3-D views in _3d and the plot properties in _ppl, in the current
// version of the instance's undo set.
#pragma once

#include <functional>

#include "app/block.hpp"
#include "graphics/figure_state.hpp"

namespace vke {

// Stores _pl and _3d from the figure. kKvNonexistentInstance, or the undo buffer's code.
ErrCode SaveFigureState(KVContextBlock* block, int32_t id);

// Takes _pl and _3d back into the figure and hands each entry of _ppl to its
// subplot's plot properties; the first failure is returned. Values of
// another form than these variables have are ignored. kKvNonexistentInstance.
ErrCode RestoreFigureState(KVContextBlock* block, int32_t id);

// The two above in the block of the slot, grown and run again while they
// find no room. Each is whole when run again: a save replaces the current
// version's values, a restore starts again from the figure as it found it.
ErrCode SaveFigureStateWithGrowth(KVContextBlock** slot, int32_t id);
ErrCode RestoreFigureStateWithGrowth(KVContextBlock** slot, int32_t id);

// Runs change(block, figure) on the instance's figure in the block of the
// slot, grown and run again while it finds no room, each run from the
// figure the first one found (what a run cut short changed is made again,
// the plot properties it cleared cleared again). kKvNonexistentInstance.
ErrCode ChangeFigureWithGrowth(KVContextBlock** slot, int32_t id,
                               const std::function<ErrCode(KVContextBlock*, FigureState*)>& change);

// Copies the value of a variable `back` versions back into `out` when it is
// a real double matrix of at most `capacity` elements with `columns`
// columns (any number for 0), giving its rows and element count; both are 0
// for a value of another form. kKvNonexistentUndoSet, kKvVarNotFound or the engine's code.
ErrCode ReadMatrixVariable(KVContextBlock* block, int32_t id, int32_t back, int32_t variable,
                           int32_t columns, double* out, int32_t capacity, int32_t* rows,
                           int32_t* count);

// Pushes the 3-D subplots' views as _3d holds them ([] for none).
ErrCode PushFigureViews(EngineContext* ctx, const FigureState& figure);

}  // namespace vke
