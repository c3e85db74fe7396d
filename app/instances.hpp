// The instances of the KV application: their records at the top of the KV
// data buffer, their undo sets and figure objects; creating, finding,
// removing and laying out instances.
#pragma once

#include "app/block.hpp"
#include "app/instance_record.hpp"

namespace vke {

// The record of an instance, or null (callers answer kKvNonexistentInstance).
InstanceRecord* FindInstance(KVContextBlock* block, int32_t id);
// Record i (from 0, the topmost), or null outside the instance count.
InstanceRecord* InstanceRecordAt(KVContextBlock* block, int32_t index);

// A further instance with the next id (given back through id), or, with no
// id out, instance 0 made anew in the topmost record. Its undo set holds the
// standard KV variables in one empty version. kKvExhaustedRsrc when the figure store
// cannot give room for another record, kKvTooManyVarInUndoBuf when the undo set area is full.
ErrCode CreateInstance(KVContextBlock* block, int32_t* id);
// Removes the instance's undo set and figure objects and, for an id other
// than 0, its record; the figure store takes back the room. kKvNonexistentInstance.
ErrCode RemoveInstance(KVContextBlock* block, int32_t id);
// A 1 x 1 grid, no free layout, no edited text field and subplot 0 showing
// no plot; with default scales the figure extent 0..1 on both axes. kKvNonexistentInstance.
ErrCode ResetInstanceLayout(KVContextBlock* block, int32_t id, bool defaultScales);

// The entry-option byte: set, and read (0 for an unknown instance).
void SetInstanceFlagByte6(KVContextBlock* block, int32_t id, uint8_t value);
uint8_t GetInstanceFlagByte6(KVContextBlock* block, int32_t id);

}  // namespace vke
