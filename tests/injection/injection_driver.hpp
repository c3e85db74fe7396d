// The growth-injection driver: runs a program once with its requests for
// room counted, and then once with each request (or a sample of them)
// refused, and compares every such run with the first: its standard output
// and error, the files it wrote and its final state (variables, undo
// history) must be the same, the notes of the host's growth aside.
//
// A run that differs is a fault, unless it reports a shortage of memory
// that the first run did not (more shortages, or one on the line where it
// first parts from the first run): the refused request stood where the host
// does not grow, and the program failed as it would when the memory is
// really used up. Such runs are listed apart ("not grown"); with strict
// set they are faults too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/injection/forked_run.hpp"
#include "tests/injection/injected_programs.hpp"

namespace vke::test {

struct DriverSettings {
  bool whole = false;    // every request, else the sample below
  uint32_t perSite = 3;  // the sample: the first requests of each site
  uint32_t maxRuns = 0;  // of those at most this many, spread evenly (0: all)
  double seconds = 0;    // at most this long per program (0: no limit; by hand)
  bool strict = false;   // a reported shortage is a fault
  uint32_t jobs = 1;     // runs at a time
  double timeoutSeconds = 120;
  // A counting run longer than this passes the program over (0: it fails
  // the program only at timeoutSeconds), so that a sample keeps its time.
  double countingSeconds = 0;
  uint64_t shown = 0;  // refuse only this request and print the run's output
};

// The settings of the environment: VKE_INJECT_ALL=1 (every request, no
// budgets but those given),
// VKE_INJECT_PER_SITE, VKE_INJECT_MAX_RUNS (per program), VKE_INJECT_SECONDS (per program),
// VKE_INJECT_STRICT=1, VKE_INJECT_JOBS (runs at a time), VKE_INJECT_COUNTING_SECONDS,
// VKE_INJECT_SHOW=K (refuse request K alone and print what the run wrote),
// on top of the defaults given.
DriverSettings SettingsFromEnvironment(DriverSettings defaults);

struct Finding {
  uint64_t refused;  // the request refused
  RoomKind kind;
  std::string what;  // how the run differed
};

struct ProgramReport {
  std::string name;
  bool deterministic = true;  // two runs without refusals agree
  std::string firstFailure;   // the first run failed to run (a crash ...)
  bool passedOver = false;    // its counting run took longer than the sample allows
  uint64_t requests = 0;
  uint64_t planned = 0, runs = 0;
  uint64_t perKind[kRoomKindCount] = {};
  std::vector<Finding> faults, notGrown;
  double seconds = 0;
};

ProgramReport InjectIntoProgram(const Program& program, const DriverSettings& settings,
                                const std::string& folder);

// A report's lines for a person: the counts and each finding.
std::string DescribeReport(const ProgramReport& report);

}  // namespace vke::test
