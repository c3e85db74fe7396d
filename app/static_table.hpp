// The application's part of the static native table: the application's
// libraries, registered behind the engine's own when the block is created.
#pragma once

#include "engine/native_record.hpp"

namespace vke {

// The table, ending with an empty record; built once, never moves.
const NativeFunctionRecord* AppStaticTable();

}  // namespace vke
