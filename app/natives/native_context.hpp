// What the application's natives find through their user data, the block's
// NativeCallContext: the block and the instance of the running handler.
#pragma once

#include "app/block.hpp"
#include "app/instance_record.hpp"

namespace vke {

// The block of a native's user data; null without one.
inline KVContextBlock* BlockOfNativeUser(uintptr_t user) {
  return user ? reinterpret_cast<NativeCallContext*>(user)->Block() : nullptr;
}

// The instance of the running handler.
struct CurrentInstance {
  KVContextBlock* block = nullptr;
  int32_t id = 0;
  InstanceRecord* record = nullptr;
};

// kErrBadContext without a block or when the current id names no
// instance.
ErrCode FindCurrentInstance(uintptr_t user, CurrentInstance* out);

}  // namespace vke
