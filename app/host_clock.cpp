// The clock and break-test callbacks of the host.
#include "app/host_clock.hpp"

#include <atomic>
#include <ctime>

namespace vke {

namespace {

std::atomic<bool> g_breakPressed{false};

// Nanoseconds of a clock, or -1 when it cannot be read.
int64_t ReadClock(clockid_t clock) {
  timespec ts;
  if (clock_gettime(clock, &ts) != 0) return -1;
  return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

}  // namespace

double GetTimeValue(void* area, int32_t which, int32_t restart) {
  const int64_t now = ReadClock(which == 0 ? CLOCK_MONOTONIC : CLOCK_PROCESS_CPUTIME_ID);
  if (now < 0) return 0;
  const int64_t stored = Load<int64_t>(area);
  if (restart) Store<int64_t>(area, now);
  return static_cast<double>(now - stored) * 1e-9;
}

bool IsBreakKeyDown(uintptr_t) {
  // Asked at the end of every slice of a sliced run: a plain read first, so
  // that the exchange (a locked instruction, which waits for every store
  // before it) is made only for a press that is there to take.
  return g_breakPressed.load(std::memory_order_relaxed) && g_breakPressed.exchange(false);
}

void NoteBreakKeyPressed() {
  g_breakPressed.store(true);
}

}  // namespace vke
