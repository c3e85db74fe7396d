// SIGINT and the X keyboard poll, both noting the break for the engine; the
// pipe through which SIGINT wakes the window.
#include "platform/gui/break_key.hpp"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>

#include "app/host_clock.hpp"

namespace vke {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

constexpr int64_t kSecondInterruptNs = 1000000000;

int g_pipe[2] = {-1, -1};
// The monotonic time of the last SIGINT in nanoseconds, 0 before the first.
volatile sig_atomic_t g_lastSeconds = 0;
volatile sig_atomic_t g_lastNanoseconds = 0;

// Only async-signal-safe calls here.
void OnInterrupt(int) {
  const int saved = errno;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const int64_t last = int64_t{g_lastSeconds} * 1000000000 + g_lastNanoseconds;
  const int64_t at = int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
  if (last != 0 && at - last < kSecondInterruptNs) {
    // The second within a second: the default action, once this returns.
    signal(SIGINT, SIG_DFL);
    raise(SIGINT);
    return;
  }
  g_lastSeconds = static_cast<sig_atomic_t>(now.tv_sec);
  g_lastNanoseconds = static_cast<sig_atomic_t>(now.tv_nsec);
  NoteBreakKeyPressed();
  if (g_pipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
  }
  errno = saved;
}

bool KeyDown(Display* display, const char keys[32], KeySym symbol) {
  const KeyCode code = XKeysymToKeycode(display, symbol);
  return code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0;
}

void PollKeyboard() {
  static auto next = std::chrono::steady_clock::time_point{};
  const auto now = std::chrono::steady_clock::now();
  if (now < next) return;
  next = now + kPollInterval;
  // A connection of its own: the toolkit's may not be an X one.
  static Display* display = XOpenDisplay(nullptr);
  if (!display) return;
  char keys[32];
  XQueryKeymap(display, keys);
  const bool control = KeyDown(display, keys, XK_Control_L) || KeyDown(display, keys, XK_Control_R);
  if (control && (KeyDown(display, keys, XK_Pause) || KeyDown(display, keys, XK_Break)))
    NoteBreakKeyPressed();
}

}  // namespace

void InstallBreakSignal() {
  if (g_pipe[0] < 0 && pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0) g_pipe[0] = g_pipe[1] = -1;
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

int InterruptPipe() {
  return g_pipe[0];
}

void DrainInterruptPipe() {
  char bytes[64];
  while (g_pipe[0] >= 0 && read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
}

bool PollBreakKey(uintptr_t argument) {
  PollKeyboard();
  return IsBreakKeyDown(argument);
}

}  // namespace vke
