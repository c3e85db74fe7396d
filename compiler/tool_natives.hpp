// The natives of the language's tools for looking at itself: the debugger,
// the introspection natives and help and lookfor. The introspection natives
// stand in the engine's own library (compiler/natives.def); the debugger's
// and help's records (compiler/debug_records.def, compiler/help_records.def)
// belong to the host's run-time table.
#pragma once

#include "engine/context.hpp"

namespace vke {

#define VKE_TOOL_NATIVE(name) \
  ErrCode name(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);

// The debugger (debugger_natives.cpp, source_listing.cpp).
VKE_TOOL_NATIVE(DbstackNative)
VKE_TOOL_NATIVE(DbhaltNative)
VKE_TOOL_NATIVE(DbstopNative)
VKE_TOOL_NATIVE(DbclearNative)
VKE_TOOL_NATIVE(DbstatusNative)
VKE_TOOL_NATIVE(DbcontNative)
VKE_TOOL_NATIVE(DbstepNative)
VKE_TOOL_NATIVE(DbquitNative)
VKE_TOOL_NATIVE(DbtypeNative)
VKE_TOOL_NATIVE(EchoNative)

// Introspection (engine_info.cpp, name_queries.cpp).
VKE_TOOL_NATIVE(ShowEngineInfo)  // option 'i' info, 'm' inmem
VKE_TOOL_NATIVE(WhichNative)
VKE_TOOL_NATIVE(IsglobalNative)
VKE_TOOL_NATIVE(IskeywordNative)

// Help (help_natives.cpp, lookfor.cpp).
VKE_TOOL_NATIVE(HelpNative)
VKE_TOOL_NATIVE(LookforNative)
// Writes the link line of every function whose short description holds the
// text (compared without regard to case) to descriptor 4; only a user
// break ends it early, quietly.
ErrCode LookforScanAll(EngineContext* ctx, const char* text, int32_t length);

#undef VKE_TOOL_NATIVE

// The option characters of info's and inmem's records.
inline constexpr uintptr_t kInfoOption = 'i';
inline constexpr uintptr_t kInmemOption = 'm';

}  // namespace vke
