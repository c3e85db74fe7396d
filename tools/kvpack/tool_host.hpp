// The block kvpack packs into and checks in: created as the runtime creates
// its own, in memory the tool owns and grows when an operation needs more
// room, with the engine's descriptors 1 and 2 written to standard output
// (or collected) through the sink of the run-time table's standard
// descriptors, with its CR LF line ends as LF.
#pragma once

#include <string>

#include "app/runtime_context.hpp"

namespace vke::kvpack {

class ToolHost {
 public:
  ToolHost();
  ~ToolHost();
  ToolHost(const ToolHost&) = delete;
  ToolHost& operator=(const ToolHost&) = delete;

  // Creates the block (kRuntimeMemMin bytes); the code of its creation.
  ErrCode Create();
  KVContextBlock* block() const { return block_; }
  KVContextBlock** slot() { return &block_; }
  EngineContext* ctx() const { return block_->Engine(); }

  // With collect, the engine's text is kept (Take gives it and empties it)
  // instead of being written to standard output.
  void Collect(bool collect) { collect_ = collect; }
  std::string Take();

 private:
  static bool Grow(KVContextBlock** block, uint32_t* size, uintptr_t self);
  static void Write(int32_t fd, const char* bytes, int32_t n, uintptr_t self);
  void Emit(const char* bytes, size_t n);

  void* memory_ = nullptr;
  uint32_t size_ = 0;
  KVContextBlock* block_ = nullptr;
  bool pendingCr_ = false;  // the last text ended with a CR
  // The engine's timer areas: thread 0's, the profiler's.
  static constexpr uint32_t kTimeRecordBytes = 8;
  alignas(8) uint8_t timeRecords_[2 * kTimeRecordBytes] = {};
  bool collect_ = false;
  std::string collected_;
};

}  // namespace vke::kvpack
