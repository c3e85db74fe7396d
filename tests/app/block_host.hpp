// A host for application tests: a memory block created through
// InitKVContextBlock in aligned memory that it owns, a growth callback that
// moves the block to a larger allocation (1.5 times, up to a maximum, or a
// size the test asks for), and a "+write" hook that captures the text
// written to each descriptor below the libraries' ranges; or, for images
// that the runtime itself must load, a block set up as the runtime's.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/block.hpp"

namespace vke::test {

// The native tables of a host's engine.
enum class HostTables : uint8_t {
  kCapture,  // the runtime's, behind a table of the output capturing hook
  kRuntime,  // the runtime's alone: images saved or loaded are the runtime's
};

inline constexpr uint32_t kHostMaxBytes = 64u << 20;

class BlockHost {
 public:
  explicit BlockHost(uint32_t size = 1u << 20, uint32_t maxSize = kHostMaxBytes,
                     HostTables tables = HostTables::kCapture);
  ~BlockHost();
  BlockHost(const BlockHost&) = delete;
  BlockHost& operator=(const BlockHost&) = delete;

  ErrCode init() const { return init_; }
  KVContextBlock* block() const { return block_; }
  KVContextBlock** slot() { return &block_; }
  EngineContext* ctx() const { return block_->Engine(); }
  uint32_t size() const { return size_; }

  // The next growth goes to exactly this size (0: 1.5 times).
  void SetNextGrowth(uint32_t size) { nextSize_ = size; }
  void SetMaxSize(uint32_t size) { maxSize_ = size; }
  int growths() const { return growths_; }

  std::string Output(int32_t fd) const;
  void ClearOutput() { output_.clear(); }

 private:
  static bool Grow(KVContextBlock** block, uint32_t* size, uintptr_t self);
  static ErrCode WriteHook(EngineContext*, int32_t fd, const char* bytes, int32_t n, uintptr_t);

  void* memory_ = nullptr;
  uint32_t size_;
  uint32_t maxSize_;
  uint32_t nextSize_ = 0;
  int growths_ = 0;
  KVContextBlock* block_ = nullptr;
  ErrCode init_;
  std::vector<NativeFunctionRecord> table_;
  std::map<int32_t, std::string> output_;
};

}  // namespace vke::test
