// Working memory of a compilation: room withheld from the free ends of the
// data stack and the descriptor stack while a compilation runs (the stacks'
// capacities are lowered, so that pushes made meanwhile cannot reach it) and
// given back when the holder goes out of scope.
#pragma once

#include "compiler/compile_internal.hpp"

namespace vke {

class WithheldSpace {
 public:
  explicit WithheldSpace(EngineContext* ctx)
      : ctx_(ctx), dataCap_(ctx->dataCap), descCap_(ctx->descCap) {}
  ~WithheldSpace() { Release(); }
  WithheldSpace(const WithheldSpace&) = delete;
  WithheldSpace& operator=(const WithheldSpace&) = delete;

  // The data stack's capacity once everything is given back.
  uint32_t ReleasedDataCap() const { return dataCap_; }
  // Gives everything back now.
  void Release() {
    ctx_->dataCap = dataCap_;
    ctx_->descCap = descCap_;
  }
  // bytes at the end of the free data stack (8-byte aligned); null when
  // they do not fit beside the room kept for pushes.
  uint8_t* Data(uint32_t bytes);
  // The char array at the depth as bytes (the low byte of each character)
  // in room withheld at the end of the free data stack, the array left as
  // it is; null when they do not fit.
  const char* TextCopy(int32_t depth, int32_t* length);
  // Most of the free data stack as the passes' scratch; kErrCompOutOfMemory when too small.
  ErrCode TakeScratch(Scratch* scratch);
  // The source of function-table entry `index` (FindFunctionSource) in the
  // free part of the descriptor stack, or of the data stack when it does not
  // fit there.
  ErrCode LoadSource(int32_t index, const char** text, int32_t* length, int32_t* line);

 private:
  EngineContext* ctx_;
  uint32_t dataCap_;
  uint32_t descCap_;
};

}  // namespace vke
