// Lists of the hook records of one name, made again after every change of
// the registry.
#include "engine/registry/hook_records.hpp"

#include <atomic>

#include "engine/fast_forms.hpp"
#include "engine/registry/registry.hpp"

namespace vke {

namespace {

// Starts at 1, so that a list never made (epoch 0) is never current.
std::atomic<uint64_t> gRegistryEpoch{1};

}  // namespace

void NoteRegistryChanged() {
  gRegistryEpoch.fetch_add(1, std::memory_order_relaxed);
}

bool HookRecords::Current(EngineContext* ctx) {
  if (!FastFormsOn()) return false;
  const uint64_t epoch = gRegistryEpoch.load(std::memory_order_relaxed);
  if (ctx_ == ctx && epoch_ == epoch && registryOff_ == ctx->registryOff &&
      registryCount_ == ctx->registryCount)
    return count_ >= 0;
  ctx_ = ctx;
  epoch_ = epoch;
  registryOff_ = ctx->registryOff;
  registryCount_ = ctx->registryCount;
  count_ = 0;
  for (const NativeFunctionRecord* rec = nullptr;
       (rec = FindLibraryRecord(ctx, name_, rec, 0, nullptr));) {
    if (count_ == kMaxRecords) {
      count_ = -1;
      return false;
    }
    records_[count_++] = rec;
  }
  return true;
}

const NativeFunctionRecord* HookRecords::Next(EngineContext* ctx,
                                              const NativeFunctionRecord* after) {
  if (!Current(ctx)) return FindLibraryRecord(ctx, name_, after, 0, nullptr);
  int32_t i = 0;
  if (after) {
    while (i < count_ && records_[i] != after) i++;
    i++;
  }
  return i < count_ ? records_[i] : nullptr;
}

}  // namespace vke
