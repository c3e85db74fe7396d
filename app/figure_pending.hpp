// Operations of the application model that the figure code calls, with the
// handler runner: Reset Data and the instance-wide code, the post-event
// handlers, and those whose own code is being built elsewhere, for which
// not_built.cpp answers "Not supported" until then.
#pragma once

#include "app/block.hpp"
#include "app/handler_runner.hpp"
#include "app/post_event.hpp"
#include "app/reset_data.hpp"

namespace vke {

// A key typed into the text field being edited.
ErrCode HandleTextFieldKey(KVContextBlock** slot, int32_t id, uint32_t key);

}  // namespace vke
