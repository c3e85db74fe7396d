// The bare engine a benchmark runs in: one area of 512 MiB unless asked
// otherwise (an eighth of it is the data stack), allocated or mapped, with
// the runtime's static tables registered and reset; and command lines run
// in it.
#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/runtime_tables.hpp"
#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/heap_pages.hpp"
#include "engine/values/values.hpp"
#include "platform/memory_pages.hpp"

namespace vke::bench {

// How the area is made: from the allocator, or mapped as the runner maps
// its own, large values then moving by pages (engine/heap_pages.hpp).
enum class BenchArea { kAllocated, kMapped };

class BenchEngine {
 public:
  // ctx() is null when the area or the engine could not be made.
  explicit BenchEngine(uint32_t bytes = kArea, BenchArea kind = BenchArea::kAllocated)
      : bytes_(bytes), mapped_(kind == BenchArea::kMapped) {
    area_ = mapped_ ? ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0)
                    : std::aligned_alloc(16, bytes);
    if (area_ == MAP_FAILED) area_ = nullptr;
    EngineContext* ctx;
    if (area_ && CreateEngine(area_, bytes, &ctx) == kOk && PrepareRuntimeEngine(ctx) == kOk &&
        ResetEngine(ctx) == kOk)
      ctx_ = ctx;
    if (ctx_ && mapped_) SetPageSwap(ctx_, &SwapMemoryPages);
  }
  ~BenchEngine() {
    if (!area_) return;
    if (mapped_)
      ::munmap(area_, bytes_);
    else
      std::free(area_);
  }
  BenchEngine(const BenchEngine&) = delete;
  BenchEngine& operator=(const BenchEngine&) = delete;
  EngineContext* ctx() const { return ctx_; }

 private:
  static constexpr uint32_t kArea = 512u << 20;
  uint32_t bytes_;
  bool mapped_;
  void* area_ = nullptr;
  EngineContext* ctx_ = nullptr;
};

// Runs a text as a command line, to its end; the engine's result code.
inline ErrCode RunCommandText(EngineContext* ctx, const std::string& text) {
  ErrCode e = CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size()));
  while (e == kOk || e == kStatusSuspended) {
    e = ExecuteBytecode(ctx, 1);
    if (e != kStatusSuspended) break;
  }
  return e;
}

// Runs a text in a function's scope, as a script runs, to its end; the
// engine's result code.
inline ErrCode RunScriptText(EngineContext* ctx, const std::string& text) {
  int32_t results = 0;
  ErrCode e = RunTextInFunctionScope(ctx, text.data(), static_cast<int32_t>(text.size()), &results);
  if (!e) do
      e = ExecuteBytecode(ctx, 0);
    while (e == kStatusSuspended);
  return e;
}

using NativeFn = ErrCode (*)(EngineContext*, int32_t, int32_t, uintptr_t);

// The best time in seconds of reps calls of a native, each on copies of the
// top `count` entries (its arguments) and its results dropped after it; the
// program ends when a call fails.
inline double BestNativeTime(EngineContext* ctx, NativeFn native, int32_t count, int32_t outputs,
                             uintptr_t option, int reps) {
  double best = 1e30;
  for (int r = 0; r < reps; r++) {
    const uint32_t level = ctx->descTop;
    if (DuplicateStackEntries(ctx, 0, count) != kOk) std::exit(3);
    const auto start = std::chrono::steady_clock::now();
    const ErrCode e = native(ctx, count, outputs, option);
    const auto end = std::chrono::steady_clock::now();
    if (e != kOk) std::exit(4);
    best = std::min(best, std::chrono::duration<double>(end - start).count());
    Drop(ctx, static_cast<int32_t>((ctx->descTop - level) / 3));
  }
  return best;
}

}  // namespace vke::bench
