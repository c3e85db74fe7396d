// The host context: the block's allocation and creation, its growth and the
// engine's callbacks.
#include "shell/host_context.hpp"

#include <algorithm>
#include <cstdlib>

#include "app/runtime_context.hpp"
#include "shell/prompt_dialog.hpp"
#include "shell/status_bar.hpp"

namespace vke {

namespace {

// malloc's blocks are 16-byte aligned on this platform.
class HeapMemory final : public BlockMemory {
 public:
  void* Allocate(size_t size) override { return std::malloc(size); }
  void* Reallocate(void* block, size_t size) override { return std::realloc(block, size); }
  void Free(void* block) override { std::free(block); }
};

}  // namespace

BlockMemory& HeapBlockMemory() {
  static HeapMemory memory;
  return memory;
}

KVContext::KVContext(uint32_t initialSize, uint32_t maxSize, BlockMemory& memory)
    : memory_(memory), maxSize_(maxSize) {
  // Halving stops before the request falls under the smallest block, which
  // could not hold the layout anyway (and an allocator that fails every
  // request would otherwise be asked for ever).
  uint32_t size = initialSize;
  for (;;) {
    block_ = memory_.Allocate(size);
    if (block_ || size / 2 < kKVMinBytes) break;
    size /= 2;
  }
  if (!block_) {
    creationError_ = kKvNotEnoughMemForKV;
    return;
  }
  size_ = size;
  creationError_ = CreateRuntimeContext(&layout_, block_, size_);
  if (creationError_) {
    memory_.Free(block_);
    block_ = nullptr;
    layout_ = nullptr;
    size_ = 0;
    return;
  }
  const auto self = reinterpret_cast<uintptr_t>(this);
  SetMemoryGrowCallback(layout_, &GrowEngineMemory, self);
  SetAskInputCallback(layout_, &CallAskInput, self);
  SetShowBusyCallback(layout_, &CallShowBusy, self);
}

KVContext::~KVContext() {
  if (block_) memory_.Free(block_);
}

bool KVContext::AskInput(const char*, int32_t, const char*, int32_t, char*, int32_t, int32_t*,
                         int32_t) {
  return false;
}

void KVContext::ShowBusy(int32_t, double) {}

bool KVContext::GrowEngineMemory(KVContextBlock** block, uint32_t* size, uintptr_t context) {
  auto* self = reinterpret_cast<KVContext*>(context);
  if (self->size_ >= self->maxSize_) return false;
  const uint64_t next = std::min<uint64_t>(uint64_t{self->size_} * 3 / 2, self->maxSize_);
  void* grown = self->memory_.Reallocate(self->block_, next);
  if (!grown) return false;
  self->block_ = grown;
  self->size_ = static_cast<uint32_t>(next);
  self->layout_ = static_cast<KVContextBlock*>(grown);
  *block = self->layout_;
  *size = self->size_;
  return true;
}

bool KVContext::CallAskInput(const char* title, int32_t titleLength, const char* prompt,
                             int32_t promptLength, char* answer, int32_t capacity, int32_t* length,
                             int32_t okCancel, uintptr_t context) {
  return reinterpret_cast<KVContext*>(context)->AskInput(title, titleLength, prompt, promptLength,
                                                         answer, capacity, length, okCancel);
}

void KVContext::CallShowBusy(int32_t on, double seconds, uintptr_t context) {
  reinterpret_cast<KVContext*>(context)->ShowBusy(on, seconds);
}

void KVAppContext::ShowBusy(int32_t on, double) {
  if (statusBar_) statusBar_->SetPaneText(kBusyPane, on ? kBusyText : std::string_view());
}

bool KVAppContext::AskInput(const char* title, int32_t titleLength, const char* prompt,
                            int32_t promptLength, char* answer, int32_t capacity, int32_t* length,
                            int32_t okCancel) {
  if (!prompt_) {
    return KVContext::AskInput(title, titleLength, prompt, promptLength, answer, capacity, length,
                               okCancel);
  }
  return RunPromptDialog(*prompt_, title, titleLength, prompt, promptLength, answer, capacity,
                         length, okCancel);
}

}  // namespace vke
