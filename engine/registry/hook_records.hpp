// The hook records of one name ("+read", "+iocontrol", ...) in registry
// order, found by a walk of the registry once for each state of it rather
// than on every request: a line read or a short write would otherwise pass
// every registered record by name. Each site keeps its own list, one for
// each thread. A list is trusted only while the registry is as it was when
// it was made (every change of the registry moves its epoch on) and only
// while the fast forms are on: off, each request walks the registry.
#pragma once

#include <cstdint>

#include "engine/context.hpp"

namespace vke {

// Moves the registry's epoch on: the lists made before are not trusted
// again. Called by every change of a context's registry.
void NoteRegistryChanged();

class HookRecords {
 public:
  // A name with more records than this is walked for on every request.
  static constexpr int32_t kMaxRecords = 8;

  explicit constexpr HookRecords(const char* name) : name_(name) {}

  // The record named so that follows after (null: the first), as
  // FindLibraryRecord(ctx, name, after, 0, nullptr) finds it.
  const NativeFunctionRecord* Next(EngineContext* ctx, const NativeFunctionRecord* after);

 private:
  // Whether the list holds the records of ctx's registry as it is now,
  // making it again when the registry has changed.
  bool Current(EngineContext* ctx);

  const char* name_;
  const EngineContext* ctx_ = nullptr;
  uint64_t epoch_ = 0;
  uint32_t registryOff_ = 0, registryCount_ = 0;
  int32_t count_ = -1;  // -1: too many to keep
  const NativeFunctionRecord* records_[kMaxRecords] = {};
};

}  // namespace vke
