// The benchmarks' peer: a script run once in GNU Octave, with its BLAS held
// to one thread, printing one line "index time" per timed case.
#pragma once

#include <cstdio>
#include <map>
#include <string>

namespace vke::bench {

// The lines "index time" a command prints, by index; empty when it cannot
// be run.
inline std::map<int, double> ReadPeerTimes(const std::string& command) {
  std::map<int, double> out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  int index;
  double time;
  while (std::fscanf(pipe, "%d %lf", &index, &time) == 2) out[index] = time;
  pclose(pipe);
  return out;
}

// The peer's times by case index, in the unit the script prints; empty when
// the peer cannot be run.
inline std::map<int, double> RunPeerTimes(const std::string& script) {
  return ReadPeerTimes("OPENBLAS_NUM_THREADS=1 octave --no-gui -q --eval \"" + script +
                       "\" 2>/dev/null");
}

// The peer's statements that time a call: the best of reps runs, printed
// as the line "index seconds".
inline std::string PeerTiming(int index, int reps, const std::string& call) {
  return "t = inf; for k = 1:" + std::to_string(reps) + ", tic; " + call +
         "; t = min(t, toc); end; printf('%d %.9g\\n', " + std::to_string(index) + ", t);";
}

// Ends a row whose label is printed: the engine's seconds, then the peer's
// and the ratio when the peer timed the row.
inline void PrintTimes(double seconds, const std::map<int, double>& peer, int index) {
  auto it = peer.find(index);
  if (it == peer.end()) {
    std::printf(" %12.6f\n", seconds);
    return;
  }
  std::printf(" %12.6f %12.6f %8.2f\n", seconds, it->second, seconds / it->second);
}

}  // namespace vke::bench
