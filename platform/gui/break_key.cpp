// SIGINT and the X keyboard poll, both noting the break for the engine.
#include "platform/gui/break_key.hpp"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <csignal>

#include "app/host_clock.hpp"

namespace vke {

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);

void OnInterrupt(int) {
  NoteBreakKeyPressed();
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
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool PollBreakKey(uintptr_t argument) {
  PollKeyboard();
  return IsBreakKeyDown(argument);
}

}  // namespace vke
