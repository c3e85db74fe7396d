// The runtime's shared context set-up and the application image's reader
// and writer, which are being built elsewhere. While their headers are
// missing, CreateRuntimeContext below stands in (the runtime's steps on top
// of the block's creation) and images cannot be written or read; once the
// headers are there, they are used and the stand-ins drop out.
#pragma once

#include "app/block.hpp"

#if __has_include("app/runtime_context.hpp")
#include "app/runtime_context.hpp"
#else
#define VKE_KVPACK_RUNTIME_PENDING 1
namespace vke {
inline constexpr uint32_t kRuntimeMemMin = 0x7E8000;
ErrCode CreateRuntimeContext(KVContextBlock** slot, void* memory, uint32_t size);
}  // namespace vke
#endif

#if __has_include("app/image.hpp")
#include "app/image.hpp"
#define VKE_KVPACK_IMAGES 1
#endif
