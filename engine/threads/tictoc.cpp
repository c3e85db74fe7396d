// The process clock and the tic/toc timer of the program (one for every
// engine of the process), with their natives.
#include <chrono>

#include "engine/registry/natives_decl.hpp"
#include "engine/threads/threads.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

using Clock = std::chrono::steady_clock;

const Clock::time_point g_programStart = Clock::now();
double g_ticTime = 0;  // seconds on the process clock; 0 before any tic

}  // namespace

double ProcessClockSeconds() {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - g_programStart);
  return static_cast<double>(ms.count()) * 0.001;
}

void ResetTicTimerForTesting() {
  g_ticTime = 0;
}

ErrCode TicNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  // The statement's result first: a call run again after growth starts the
  // timer once.
  if (ErrCode e = StatementResult(ctx, nargout)) return e;
  g_ticTime = ProcessClockSeconds();
  return kOk;
}

ErrCode TocNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  return PushRealScalar(ctx, ProcessClockSeconds() - g_ticTime);
}

}  // namespace vke
