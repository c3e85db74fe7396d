// The tool's block: creation, growth and the engine's output.
#include "tools/kvpack/tool_host.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/host_clock.hpp"
#include "app/runtime_native_table.hpp"
#include "engine/engine.hpp"
#include "engine/registry/native_record.hpp"
#include "engine/registry/registry.hpp"

namespace vke::kvpack {

namespace {

constexpr uint64_t kMaxBlockBytes = 1u << 30;

void* Allocate(uint64_t size) {
  return std::aligned_alloc(16, (size + 15) & ~uint64_t{15});
}

}  // namespace

ToolHost::ToolHost() = default;

ToolHost::~ToolHost() {
  SetStdOutputSink(nullptr, 0);
  std::free(memory_);
}

ErrCode ToolHost::Create() {
  size_ = kRuntimeMemMin;
  memory_ = Allocate(size_);
  if (!memory_) return kErrInit;
  if (ErrCode e = CreateRuntimeContext(&block_, memory_, size_)) return e;
  const auto self = reinterpret_cast<uintptr_t>(this);
  SetStdOutputSink(&Write, self);
  SetMemoryGrowCallback(block_, &Grow, self);
  // Threads get their slices and wake from their sleeps on the real clock;
  // the block's own timing (idle steps) stays with the check script.
  SetEngineCallbacks(ctx(), &GetTimeValue, reinterpret_cast<uintptr_t>(timeRecords_),
                     kTimeRecordBytes);
  return kOk;
}

std::string ToolHost::Take() {
  std::string text;
  text.swap(collected_);
  return text;
}

bool ToolHost::Grow(KVContextBlock** block, uint32_t* size, uintptr_t user) {
  auto* self = reinterpret_cast<ToolHost*>(user);
  const uint64_t next = uint64_t{self->size_} * 3 / 2;
  if (next > kMaxBlockBytes) return false;
  void* memory = Allocate(next);
  if (!memory) return false;
  std::memcpy(memory, self->memory_, self->size_);
  std::free(self->memory_);
  self->memory_ = memory;
  self->size_ = static_cast<uint32_t>(next);
  *block = static_cast<KVContextBlock*>(memory);
  *size = self->size_;
  return true;
}

void ToolHost::Write(int32_t fd, const char* bytes, int32_t n, uintptr_t user) {
  if (fd != 1 && fd != 2) return;
  auto* self = reinterpret_cast<ToolHost*>(user);
  // A CR goes when an LF follows it, also at the start of the next text.
  std::string text;
  if (self->pendingCr_ && bytes[0] != '\n') text += '\r';
  for (int32_t i = 0; i < n; i++)
    if (bytes[i] != '\r' || (i + 1 < n && bytes[i + 1] != '\n')) text += bytes[i];
  self->pendingCr_ = bytes[n - 1] == '\r';
  self->Emit(text.data(), text.size());
}

void ToolHost::Emit(const char* bytes, size_t n) {
  if (collect_) {
    collected_.append(bytes, n);
  } else {
    std::fwrite(bytes, 1, n, stdout);
  }
}

}  // namespace vke::kvpack
