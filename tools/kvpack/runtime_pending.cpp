// The stand-in of runtime_pending.hpp.
#include "tools/kvpack/runtime_pending.hpp"

namespace vke {

#ifdef VKE_KVPACK_RUNTIME_PENDING
ErrCode CreateRuntimeContext(KVContextBlock** slot, void* memory, uint32_t size) {
  if (ErrCode e = InitKVContextBlock(slot, memory, size, 0, 2)) return e;
  SetEngineTextEncoding(*slot, 'u');
  const ErrCode e = AddEngineReservedName(*slot, "winInstanceHandle", 0);
  if (e) *slot = nullptr;
  return e;
}
#endif

}  // namespace vke
