// What the figure operations need of an instance (FigureHost): its element
// list, whether it was initialised, the functions its handlers call and its
// undo versions. Made for one call; it takes the block again on every use.
#pragma once

#include "app/block.hpp"
#include "graphics/figure_state.hpp"

namespace vke {

class InstanceFigureHost final : public FigureHost {
 public:
  InstanceFigureHost(KVContextBlock* block, int32_t id) : block_(block), id_(id) {}

  bool Initialised() override;
  ElementListView Elements() override;
  // Looks the function of the descriptor up by its name in the name buffer.
  ErrCode ResolveHandler(int32_t descriptor) override;
  ErrCode PushUndoVersion() override;
  // Served by the handler families, the plot-properties update and the
  // figure menus; "Not supported" until they exist.
  ErrCode ClearPlotProperties(int32_t subplot) override;
  ErrCode RunDrawHandlers() override;
  ErrCode SaveFigureState() override;
  ErrCode RunResizeHandlers() override;

 private:
  KVContextBlock* block_;
  int32_t id_;
};

}  // namespace vke
