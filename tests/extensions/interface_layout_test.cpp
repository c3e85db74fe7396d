// The public extension header against the engine's own definitions: the
// native record, the engine interface's slots in their order, the old-style
// record and the callback table.
#include <gtest/gtest.h>

#include <cstddef>

#include "engine/interface.hpp"
#include "include/vke_extension.h"

namespace vke {
namespace {

#define VKE_SLOT(index, name)                                                 \
  static_assert(offsetof(VkeEngineInterface, name) == index * sizeof(void*)); \
  static_assert(offsetof(EngineInterface, name) == index * sizeof(void*));
#include "engine/interface_slots.def"
#undef VKE_SLOT
static_assert(sizeof(VkeEngineInterface) == sizeof(EngineInterface));
static_assert(VKE_ENGINE_INTERFACE_SLOTS == kEngineInterfaceSlots);

static_assert(sizeof(VkeNativeRecord) == sizeof(NativeFunctionRecord));
static_assert(offsetof(VkeNativeRecord, option) == offsetof(NativeFunctionRecord, option));
static_assert(offsetof(VkeNativeRecord, kind) == offsetof(NativeFunctionRecord, kind));
static_assert(offsetof(VkeNativeRecord, name) == offsetof(NativeFunctionRecord, name));
static_assert(offsetof(VkeNativeRecord, minIn) == offsetof(NativeFunctionRecord, minIn));
static_assert(offsetof(VkeNativeRecord, maxOut) == offsetof(NativeFunctionRecord, maxOut));

static_assert(sizeof(VkeOldStyleRecord) == 56);
static_assert(offsetof(VkeOldStyleRecord, function) == 32);
static_assert(offsetof(VkeOldStyleRecord, maxOut) == 52);

// Two version words, 32 callback slots, then the call state.
static_assert(offsetof(VkeExtCallbacks, GetArgSize) == 8);
static_assert(offsetof(VkeExtCallbacks, PrepareFunctionCall) == 8 + 31 * sizeof(void*));
static_assert(offsetof(VkeExtCallbacks, context) == 8 + VKE_EXT_CALLBACK_SLOTS * sizeof(void*));
static_assert(offsetof(VkeExtCallbacks, errorCode) == 284);
static_assert(offsetof(VkeExtCallbacks, scratch) == 296);
static_assert(sizeof(VkeExtValueRef) == 24);

// The context's first word is the interface the header's macro reads.
TEST(ExtensionInterface, TheContextLeadsToTheEngineInterface) {
  static_assert(offsetof(EngineContext, api) == 0);
  const EngineInterface* first = GetEngineInterface();
  const VkeEngineInterface* api = VKE_ENGINE(reinterpret_cast<VkeContext*>(&first));
  EXPECT_EQ(reinterpret_cast<const void*>(api->PushRealScalar),
            reinterpret_cast<const void*>(GetEngineInterface()->PushRealScalar));
  EXPECT_EQ(reinterpret_cast<const void*>(api->PrepareFunctionCall),
            reinterpret_cast<const void*>(&PrepareFunctionCall));
}

}  // namespace
}  // namespace vke
