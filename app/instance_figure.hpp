// What the figure operations need of an instance (FigureHost): its element
// list and the plots in it, whether it was initialised, the functions its handlers call and its
// undo versions. Made for one call; it takes the block again on every use.
// Made with the block's slot, it follows the block when running handlers
// moves it; made with the block, it must not run them.
#pragma once

#include "app/block.hpp"
#include "app/plot_handlers.hpp"

namespace vke {

class InstanceFigureHost final : public ElementFigureHost {
 public:
  InstanceFigureHost(KVContextBlock* block, int32_t id) : own_(block), slot_(&own_), id_(id) {}
  InstanceFigureHost(KVContextBlock** slot, int32_t id) : own_(*slot), slot_(slot), id_(id) {}
  InstanceFigureHost(const InstanceFigureHost&) = delete;
  InstanceFigureHost& operator=(const InstanceFigureHost&) = delete;

  bool Initialised() override;
  ElementListView Elements() override;
  // Looks the function of the descriptor up by its name in the name buffer.
  ErrCode ResolveHandler(int32_t descriptor) override;
  ErrCode PushUndoVersion() override;
  ErrCode ClearPlotProperties(int32_t subplot) override;
  ErrCode RunDrawHandlers() override;
  ErrCode SaveFigureState() override;
  ErrCode RunResizeHandlers() override;

 private:
  KVContextBlock* block() const { return *slot_; }

  KVContextBlock* own_;
  KVContextBlock** slot_;
  int32_t id_;
};

}  // namespace vke
