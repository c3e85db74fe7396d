// Make elements: handlers that compute KV variables from others, evaluated
// lazily like the formulas of a spreadsheet. When a handler stores new
// values, every variable derived from them loses its value; when a later
// handler needs a variable without a value, the make elements that can give
// it one run first, nested, as often as needed.
//
// A variable still to be computed is marked stale in the undo buffer for the
// length of one of these operations; between handler runs no variable is
// stale. Input constants and codes that are not variables of the instance's
// undo set are never dependencies.
#pragma once

#include "app/block.hpp"

namespace vke {

// Runs, before the handler whose descriptor lies at that offset, the make
// elements that give its inputs values (reading one version back with
// `previous`). The failure of a make handler ends the pass and is returned;
// kKvNonexistentInstance.
ErrCode RunPendingMakeHandlers(KVContextBlock** slot, int32_t id, int32_t descriptor, bool previous,
                               bool allowGrowth);

// Marks stale the inputs of the descriptor (every variable of the instance
// with descriptor -1) that have no value, and then every variable input of a
// make element with a stale output that has none. True when anything is
// stale.
bool PrepareMakePass(KVContextBlock* block, int32_t id, int32_t descriptor, bool previous);

// After the outputs of the descriptor (single: the one variable given)
// changed in the current version: the variables derived from them lose
// their values, except the changed ones themselves. kKvNonexistentInstance.
ErrCode InvalidateMakeOutputs(KVContextBlock* block, int32_t id, int32_t descriptorOrVariable,
                              bool single);

}  // namespace vke
