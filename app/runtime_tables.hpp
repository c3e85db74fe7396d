// The runtime's static native tables, put together from the natives.def rows
// of every folder: the engine's part (engine, compiler, builtins, numerics)
// and the application's part; and the preparation every host gives a new
// engine. Shared by the runner, the packing tool and the runtime.
#pragma once

#include "engine/builtin_hooks.hpp"
#include "engine/registry/native_record.hpp"

namespace vke {

// The engine's part, ending with an empty record; built once, never moves.
const NativeFunctionRecord* EngineStaticTable();
// The application's part, registered behind the engine's own when the block
// is created; ending with an empty record.
const NativeFunctionRecord* AppStaticTable();
// The rows of the application's part whose natives need no figure, instance
// or window, with their library headers, the response natives for their
// outputs and the hooks in their headless forms, in the same order; what
// the runner registers of the application's part (app/headless_table.cpp).
// It pulls in the response curves but none of the drawing code and
// libraries.
const NativeFunctionRecord* HeadlessAppTable();

// The builtins' dispatch rows with the compiler's rows laid over them;
// built once, never moves.
const BuiltinHooks* RuntimeBuiltinHooks();

// A new engine's libraries, builtins and compiler: the engine's part of the
// static table in front of the registry, the builtins' dispatch rows, and
// the compiler's entry points.
ErrCode PrepareRuntimeEngine(EngineContext* ctx);

}  // namespace vke
