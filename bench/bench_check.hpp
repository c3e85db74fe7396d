// How a benchmark ends when a step of its set-up fails, and how it times a
// step.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace vke::bench {

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
  }
}

// Milliseconds per call of step, over at least two seconds and ten calls.
template <typename Step>
double MillisecondsPer(Step step) {
  int32_t runs = 0;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::duration<double> spent{};
  while (spent.count() < 2.0 || runs < 10) {
    step();
    ++runs;
    spent = std::chrono::steady_clock::now() - start;
  }
  return 1000 * spent.count() / runs;
}

}  // namespace vke::bench
