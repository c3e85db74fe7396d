// Fills the engine interface table and checks its slot order.
#include "engine/interface.hpp"

namespace vke {

namespace {

constexpr EngineInterface kInterface = {
#define VKE_SLOT(index, name) &name,
#include "engine/interface_slots.def"
#undef VKE_SLOT
};

// Each slot sits at its index.
#define VKE_SLOT(index, name) \
  static_assert(offsetof(EngineInterface, name) == (index) * sizeof(void*), #name);
#include "engine/interface_slots.def"
#undef VKE_SLOT

}  // namespace

const EngineInterface* GetEngineInterface() {
  return &kInterface;
}

}  // namespace vke
