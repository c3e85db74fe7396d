// The engine interface: one table of the engine's operations in a fixed slot
// order, reached from the context by code that holds nothing but the context.
#pragma once

#include "engine/engine.hpp"
#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/options.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"

namespace vke {

struct EngineInterface {
#define VKE_SLOT(index, name) decltype(&::vke::name) name;
#include "engine/interface_slots.def"
#undef VKE_SLOT
};

inline constexpr int kEngineInterfaceSlots = 115;
static_assert(sizeof(EngineInterface) == kEngineInterfaceSlots * sizeof(void*));

// The one table every context points at.
const EngineInterface* GetEngineInterface();

}  // namespace vke
