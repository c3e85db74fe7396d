// The places where a refused request for room may still end in a shortage
// that the host does not grow for (tests/injection/no_growth_places.txt),
// each with why and the programs of the sample that meet it, and the name
// the driver gives the place where a run's growth stopped.
//
// A place is the room refused and where the failure took the error path:
// "stacks | call sort" (the builtin or native whose call failed),
// "stacks | instruction ForNext" (one of the loop's own instructions), or,
// for a failure that passed no instruction's error path (a compilation, a
// store of the host's), "undo buffer | caller SaveStartupSettings" (the
// function that asked for the room refused), or where no caller is known
// "code area | message Not enough memory for compilation" (the shortage the
// run reports). Names only, no positions in code, so that a place reads
// the same on every machine.
// "ROOM | any" stands for every place of a room that never grows (a worker
// thread's own stacks).
#pragma once

#include <set>
#include <string>
#include <vector>

#include "tests/injection/forked_run.hpp"

namespace vke::test {

struct NoGrowthPlace {
  std::string place;  // "ROOM | WHERE"
  // The sample's programs that meet it: "NAME", or "NAME (debug)" or
  // "NAME (release)" for one that only that build's sample meets (which
  // requests the sample refuses follows the callers' addresses).
  std::vector<std::string> programs;
  std::string why;
};

class NoGrowthPlaces {
 public:
  // Reads the list, one place a line: ROOM | WHERE | PROGRAMS | WHY, the
  // programs apart by commas, the why going on in indented lines below;
  // "#" starts a comment. False, with the line in *message, for a line that
  // is not so, a place without why or one listed twice.
  bool Read(const std::string& path, std::string* message);
  const NoGrowthPlace* Find(const std::string& place) const;
  // The place listed as it is, or its room listed as "ROOM | any".
  const NoGrowthPlace* Covering(const std::string& place) const;
  const std::vector<NoGrowthPlace>& places() const { return places_; }

 private:
  std::vector<NoGrowthPlace> places_;
};

// The place where the growth of a run stopped: the room it was refused and
// the failure the loop noted, else the first shortage `reported` holds.
std::string PlaceOfShortage(const RunOutcome& run, const std::string& reported);

// Whether a program of the list counts for this build's sample (debug or
// release), and its name.
bool ProgramOfThisBuild(const std::string& entry, std::string* name);

// The places listed whose programs, of those of this build in `judged`,
// meet them no longer: none of those that were judged met them (`met`
// holds "PROGRAM\tPLACE" for each place a program met). One line each.
std::vector<std::string> PlacesNoLongerMet(const NoGrowthPlaces& list,
                                           const std::set<std::string>& judged,
                                           const std::set<std::string>& met);

}  // namespace vke::test
