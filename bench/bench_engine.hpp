// The bare engine a benchmark runs in: one 512 MiB area (an eighth of it is
// the data stack) with the runtime's static tables registered and reset.
#pragma once

#include <cstdlib>
#include <memory>

#include "app/runtime_tables.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"

namespace vke::bench {

class BenchEngine {
 public:
  // ctx() is null when the area or the engine could not be made.
  BenchEngine() : area_(std::aligned_alloc(16, kArea), &std::free) {
    EngineContext* ctx;
    if (area_ && CreateEngine(area_.get(), kArea, &ctx) == kOk &&
        PrepareRuntimeEngine(ctx) == kOk && ResetEngine(ctx) == kOk)
      ctx_ = ctx;
  }
  EngineContext* ctx() const { return ctx_; }

 private:
  static constexpr uint32_t kArea = 512u << 20;
  std::unique_ptr<void, decltype(&std::free)> area_;
  EngineContext* ctx_ = nullptr;
};

}  // namespace vke::bench
