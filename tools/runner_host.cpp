// The runner's host services: option numbers, timer, break, the sliced run.
#include "tools/runner_host.hpp"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/host_clock.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/threads/threads.hpp"

namespace vke::runner {

namespace {

constexpr uint32_t kTimerAreaBytes = 8;  // one clock reading

// Thread 0's timer area, then the profiler's.
alignas(8) uint8_t g_timerAreas[2 * kTimerAreaBytes];

constexpr int64_t kSecond = 1000000000;  // in nanoseconds
constexpr int64_t kNoPress = -2 * kSecond;

// When the last two breaks came, on the monotonic clock.
std::atomic<int64_t> g_lastPress{kNoPress}, g_pressBefore{kNoPress};

// The break key of the headless runner.
void OnInterrupt(int) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  g_pressBefore.store(g_lastPress.load());
  g_lastPress.store(int64_t{now.tv_sec} * kSecond + now.tv_nsec);
  NoteBreakKeyPressed();
}

}  // namespace

bool ParseOptimisationLevel(const char* text, int32_t* level) {
  int32_t n = 0;
  if (!*text) return false;
  for (const char* c = text; *c; c++) {
    if (*c < '0' || *c > '9') return false;
    n = n * 10 + (*c - '0');
    if (n > kMaxOptimisationLevel) return false;
  }
  *level = n;
  return true;
}

void InstallHostServices(EngineContext* ctx) {
  SetEngineCallbacks(ctx, &GetTimeValue, reinterpret_cast<uintptr_t>(g_timerAreas),
                     kTimerAreaBytes);
  SetHostCallbackPair(ctx, &IsBreakKeyDown, 0);
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool TakePromptBreak() {
  IsBreakKeyDown(0);
  return g_lastPress.load() - g_pressBefore.load() < kSecond;
}

int FinishRun(EngineContext* ctx, ErrCode e) {
  if (const int32_t left = CountListedThreads(ctx))
    std::fprintf(stderr, "vke: the text ended with %d thread%s still running\n", left,
                 left == 1 ? "" : "s");
  // quit ends a run as it would close the window: not as an error.
  if (e == kOk || e == kStatusNoPrint || e == kStatusQuit) return 0;
  return e == kStatusHalted ? kExitBreak : 1;
}

}  // namespace vke::runner
