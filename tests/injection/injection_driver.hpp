// The growth-injection driver: runs a program once with its requests for
// room counted, and then once with each request (or a sample of them)
// refused, and compares every such run with the first: its standard output
// and error, the files it wrote and its final state (variables, undo
// history) must be the same, the notes of the host's growth aside.
//
// A run that differs is a fault, unless it reports a shortage of memory
// that the first run did not (more shortages, or one on the line where it
// first parts from the first run): then the refused request stood where
// the host does not grow. With the runner's note of its ceiling, the area
// could grow no more and the run failed as it must ("at the ceiling");
// below the ceiling it is a fault too ("not grown"), but at the places of
// the list given (no_growth_places.hpp), where growth is known not to be
// there yet or not to be possible. Without a list such runs are only
// listed apart; with strict set they are faults wherever they stand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/injection/forked_run.hpp"
#include "tests/injection/injected_programs.hpp"
#include "tests/injection/no_growth_places.hpp"

namespace vke::test {

struct DriverSettings {
  bool whole = false;    // by hand: no budget of the sample's, long programs too
  uint32_t perSite = 0;  // only the first requests of each site (0: every request)
  uint32_t maxRuns = 0;  // of those at most this many, spread evenly (0: all)
  double seconds = 0;    // at most this long per program (0: no limit; by hand)
  bool strict = false;   // a reported shortage is a fault, listed or not
  // The places where a shortage below the ceiling is no fault; null: a
  // shortage is listed apart wherever it stands.
  const NoGrowthPlaces* places = nullptr;
  uint32_t jobs = 1;  // runs at a time
  // By hand: a run longer than this is killed and is a fault (0: no limit).
  // Without it a run after a refusal ends when it has made many times the
  // requests of the run without refusals (a retry that starts over for
  // ever), a count that a loaded machine does not change.
  double timeoutSeconds = 0;
  uint64_t shown = 0;  // refuse only this request and print the run's output
};

// The settings of the environment: VKE_INJECT_ALL=1 (every request, no
// budgets but those given: VKE_INJECT_PER_SITE, VKE_INJECT_MAX_RUNS ...),
// VKE_INJECT_PER_SITE, VKE_INJECT_MAX_RUNS (per program), VKE_INJECT_SECONDS (per program),
// VKE_INJECT_STRICT=1, VKE_INJECT_JOBS (runs at a time), VKE_INJECT_TIMEOUT (seconds a run),
// VKE_INJECT_SHOW=K (refuse request K alone and print what the run wrote),
// on top of the defaults given.
DriverSettings SettingsFromEnvironment(DriverSettings defaults);

struct Finding {
  uint64_t refused;  // the request refused
  RoomKind kind;
  std::string what;   // how the run differed
  std::string place;  // for a shortage: where its growth stopped (PlaceOfShortage)
};

struct ProgramReport {
  std::string name;
  bool deterministic = true;  // two runs without refusals agree
  std::string firstFailure;   // the first run failed to run (a crash ...)
  uint64_t requests = 0;
  uint64_t planned = 0, runs = 0;
  uint64_t perKind[kRoomKindCount] = {};
  // Faults; shortages at the places listed (or anywhere, without a list);
  // and shortages at the ceiling.
  std::vector<Finding> faults, notGrown, atCeiling;
  double seconds = 0;
};

ProgramReport InjectIntoProgram(const Program& program, const DriverSettings& settings,
                                const std::string& folder);

// A report's lines for a person: the counts and each finding.
std::string DescribeReport(const ProgramReport& report);

}  // namespace vke::test
