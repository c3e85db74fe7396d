// What the pointer finds on an instance's figure: the figure mode, the hit
// test of a subplot's objects into an event record, and the cursor code of
// the tool under the pointer.
#pragma once

#include "app/block.hpp"
#include "graphics/hit_test.hpp"
#include "graphics/mouse_tools.hpp"

namespace vke {

int32_t GetFigureMode(const KVContextBlock* block);
void SetInteractiveHighlight(KVContextBlock* block, uint8_t flag);

// The hit test of subplot k of instance id through the port; a pop-up menu
// opened by a press defers a running idle state. False as the graphics hit
// test answers, and for an unknown instance.
bool HitTestInstanceObjects(KVContextBlock* block, int32_t id, const HitTestRequest& request,
                            EventState* record, const GraphicsPort* port, void* target);

// The cursor code at pixel (x, y) of instance id's figure; kKvNonexistentInstance for an
// unknown instance.
int32_t HitTestForCursor(KVContextBlock* block, int32_t id, double x, double y, bool shift);

}  // namespace vke
