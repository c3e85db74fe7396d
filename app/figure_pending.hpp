// Operations of the application model that the figure code calls and whose
// own code is being built elsewhere. Where their own header already exists
// it is used; otherwise the declarations below stand in for them and
// not_built.cpp answers "Not supported" (a handler request changes
// nothing).
#pragma once

#include "app/block.hpp"

#if __has_include("app/handler_runner.hpp")
#include "app/handler_runner.hpp"
#else
#define VKE_FIGURE_RUNNER_PENDING 1
namespace vke {
// The request of one handler run, as far as the figure code fills it.
struct HandlerRequest {
  int32_t instance = 0;
  int32_t descriptor = 0;  // offset of the descriptor from the instance start
  bool previous = false;
  bool allowGrowth = true;
  bool nested = false;
  int32_t objectId = -1;  // subplot acted on
  uint32_t kind = 0;      // handler kind (element kind)
  bool event = false;     // the block's event values are valid
  uint32_t key = 0;       // character of a key handler
};
// Runs a handler; the block may move.
ErrCode RunHandler(KVContextBlock** slot, const HandlerRequest& request);
// True for 402 when the handler that ran was cancelled quietly.
bool IsHandlerBusyCode(KVContextBlock* block, ErrCode code);
}  // namespace vke
#endif

namespace vke {

// "Reset Data": runs the instance's initialisation.
ErrCode ResetInstanceData(KVContextBlock** slot, int32_t id);
// The instance-wide step of an instance whose code is one element (kind 47).
ErrCode RunInitHandler(KVContextBlock** slot, int32_t id);
// The handlers that run after a change (kind 39).
ErrCode RunKind39Handlers(KVContextBlock** slot, int32_t id);
// A key typed into the text field being edited.
ErrCode HandleTextFieldKey(KVContextBlock** slot, int32_t id, uint32_t key);

}  // namespace vke
