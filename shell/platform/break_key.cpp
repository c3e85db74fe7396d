// SIGINT and the X keyboard poll, both noting the break for the engine; the
// pipe through which SIGINT wakes the window; the grab of the break keys
// while handlers run.
#include "shell/platform/break_key.hpp"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>

namespace vke {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

constexpr int64_t kSecondInterruptNs = 1000000000;

int g_pipe[2] = {-1, -1};
// Where breaks are noted (InstallBreakSignal).
BreakNoteFn g_note = nullptr;
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
  if (g_note) g_note();
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

// The connection of the poll: one of its own, as the toolkit's may not be
// an X one, and it must not read the toolkit's events.
Display* PollDisplay() {
  static Display* display = XOpenDisplay(nullptr);
  return display;
}

// The keys that break with Control: Pause, and Break where it has a key of
// its own (0: none).
struct BreakKeys {
  KeyCode pause;
  KeyCode brk;
};
BreakKeys BreakKeyCodes(Display* display) {
  const KeyCode pause = XKeysymToKeycode(display, XK_Pause);
  const KeyCode brk = XKeysymToKeycode(display, XK_Break);
  return {pause, brk != pause ? brk : KeyCode{0}};
}

// While a handler runs the window reads no events, and a tap between two
// polls leaves no trace in the keys' state: the break keys are grabbed, so
// that each press comes to the poll's connection and waits there.
bool g_grabbed = false;

// Another program holding the keys refuses the grab: the keys' state is
// then read alone.
int IgnoreGrabRefusal(Display*, XErrorEvent*) {
  return 0;
}

void GrabBreakKeys(Display* display) {
  const BreakKeys keys = BreakKeyCodes(display);
  XSync(display, False);
  const XErrorHandler previous = XSetErrorHandler(&IgnoreGrabRefusal);
  for (const KeyCode code : {keys.pause, keys.brk}) {
    if (code != 0) {
      XGrabKey(display, code, AnyModifier, DefaultRootWindow(display), False, GrabModeAsync,
               GrabModeAsync);
    }
  }
  XSync(display, False);
  XSetErrorHandler(previous);
  g_grabbed = true;
}

// Whether a break key was pressed with Control since the last read.
bool ReadBreakPresses(Display* display) {
  const BreakKeys keys = BreakKeyCodes(display);
  bool pressed = false;
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != KeyPress || (event.xkey.state & ControlMask) == 0) continue;
    const auto code = static_cast<KeyCode>(event.xkey.keycode);
    if (code != 0 && (code == keys.pause || code == keys.brk)) pressed = true;
  }
  return pressed;
}

}  // namespace

void PollBreakKeyboard() {
  static auto next = std::chrono::steady_clock::time_point{};
  const auto now = std::chrono::steady_clock::now();
  if (now < next) return;
  next = now + kPollInterval;
  Display* display = PollDisplay();
  if (!display) return;
  if (!g_grabbed) GrabBreakKeys(display);
  const bool pressed = ReadBreakPresses(display);
  char keys[32];
  XQueryKeymap(display, keys);
  const bool control = KeyDown(display, keys, XK_Control_L) || KeyDown(display, keys, XK_Control_R);
  const bool held = KeyDown(display, keys, XK_Pause) || KeyDown(display, keys, XK_Break);
  if ((pressed || (control && held)) && g_note) g_note();
}

void EndBreakKeyboardPoll() {
  if (!g_grabbed) return;
  g_grabbed = false;
  Display* display = PollDisplay();
  const BreakKeys keys = BreakKeyCodes(display);
  for (const KeyCode code : {keys.pause, keys.brk})
    if (code != 0) XUngrabKey(display, code, AnyModifier, DefaultRootWindow(display));
  // Presses left over belong to no handler.
  ReadBreakPresses(display);
}

void InstallBreakSignal(BreakNoteFn note) {
  g_note = note;
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

}  // namespace vke
