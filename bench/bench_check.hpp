// How a benchmark ends when a step of its set-up fails.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace vke::bench {

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
  }
}

}  // namespace vke::bench
