// The engine's static native table: every native function and hook of the
// engine's own libraries, grouped under their library headers. The rows live
// in the natives.def file of each subsystem folder.
#pragma once

#include "engine/native_record.hpp"

namespace vke {

// The table, ending with an empty record; built once, never moves.
const NativeFunctionRecord* EngineStaticTable();

}  // namespace vke
