// The benchmarks' peer: a script run once in GNU Octave, with its BLAS held
// to one thread, printing one line "index time" per timed case.
#pragma once

#include <cstdio>
#include <map>
#include <string>

namespace vke::bench {

// The peer's times by case index, in the unit the script prints; empty when
// the peer cannot be run.
inline std::map<int, double> RunPeerTimes(const std::string& script) {
  const std::string command =
      "OPENBLAS_NUM_THREADS=1 octave --no-gui -q --eval \"" + script + "\" 2>/dev/null";
  std::map<int, double> out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  int index;
  double time;
  while (std::fscanf(pipe, "%d %lf", &index, &time) == 2) out[index] = time;
  pclose(pipe);
  return out;
}

}  // namespace vke::bench
