#include "tests/app/block_host.hpp"

#include <cstdlib>
#include <cstring>

#include "app/runtime_context.hpp"
#include "app/runtime_native_table.hpp"
#include "engine/files/fd.hpp"
#include "engine/registry/registry.hpp"

namespace vke::test {

namespace {
void* AllocateAligned(uint32_t size) {
  return std::aligned_alloc(16, (size_t{size} + 15) & ~size_t{15});
}
}  // namespace

BlockHost::BlockHost(uint32_t size, uint32_t maxSize, HostTables tables)
    : memory_(AllocateAligned(size)), size_(size), maxSize_(maxSize) {
  const auto self = reinterpret_cast<uintptr_t>(this);
  if (tables == HostTables::kRuntime) {
    init_ = CreateRuntimeContext(&block_, memory_, size);
    if (!init_) SetMemoryGrowCallback(block_, &Grow, self);
    return;
  }
  init_ = InitKVContextBlock(&block_, memory_, size, 0, 2);
  if (init_) return;
  // The run-time table in front of the static tables, as the runtime has it.
  init_ = RegisterRuntimeNativeTable(ctx());
  if (init_) return;
  table_ = {MakeRecord("@blockhost"), MakeRecord("+write", &WriteHook, 1, 0, 0, 0, self),
            MakeRecord("")};
  RegisterEngineLibrary(block_, table_.data());
  SetMemoryGrowCallback(block_, &Grow, self);
}

BlockHost::~BlockHost() {
  std::free(memory_);
}

std::string BlockHost::Output(int32_t fd) const {
  auto it = output_.find(fd);
  return it == output_.end() ? std::string() : it->second;
}

bool BlockHost::Grow(KVContextBlock** block, uint32_t* size, uintptr_t user) {
  auto* self = reinterpret_cast<BlockHost*>(user);
  uint64_t next = self->nextSize_ ? self->nextSize_ : uint64_t{self->size_} * 3 / 2;
  self->nextSize_ = 0;
  if (next > self->maxSize_) next = self->maxSize_;
  if (next <= self->size_) return false;
  void* memory = AllocateAligned(static_cast<uint32_t>(next));
  std::memcpy(memory, self->memory_, self->size_);
  std::free(self->memory_);
  self->memory_ = memory;
  self->size_ = static_cast<uint32_t>(next);
  self->growths_++;
  *block = static_cast<KVContextBlock*>(memory);
  *size = self->size_;
  return true;
}

ErrCode BlockHost::WriteHook(EngineContext*, int32_t fd, const char* bytes, int32_t n,
                             uintptr_t user) {
  // Descriptors of the libraries' ranges (files) are theirs.
  if (fd >= kFdFirstRange) return kErrBadFileID;
  reinterpret_cast<BlockHost*>(user)->output_[fd].append(bytes, n);
  return kOk;
}

}  // namespace vke::test
