// One run of a program in a child process of its own, in an empty working
// folder, with the requests for room watched: what it wrote to standard
// output and standard error, the files it left in the folder, how it ended,
// and what became of the requests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/room_requests.hpp"

namespace vke::test {

// A request of the counting run that the driver may refuse in a later one.
struct RequestSite {
  uint64_t number;      // the request's number in the run
  RoomKind kind;        // the room it asked for
  uint64_t site;        // the code that asked (its callers' addresses, hashed)
  uint32_t occurrence;  // the how-manieth request of that site (from 1)
};

struct RunOutcome {
  int status = 0;  // exit status, or 128 + the signal that ended it
  bool timedOut = false;
  bool endless = false;  // it made more requests than its spec allows
  std::string out, err;
  std::string files;  // "name bytes hash" lines of the files left, sorted
  uint64_t requests = 0;
  uint64_t perKind[kRoomKindCount] = {};
  bool refused = false;
  RoomKind refusedKind = RoomKind::kStacks;
  // The failure for lack of room that the loop did not run again after the
  // refusal (NoteFailureNotRunAgain): its opcode (-1: none) and the name of
  // the builtin or native it called.
  int32_t failedOpcode = -1;
  std::string failedName;
  // The function that asked for the room refused (the first one the
  // program names above the requests' own code); empty when unknown.
  std::string refusedCaller;
  std::vector<RequestSite> sites;  // the counting run's first requests of each site
  double seconds = 0;
};

struct RunSpec {
  std::function<int()> body;  // runs in the child; its result is the exit status
  uint64_t refuse = 0;        // the request to refuse, 0 none
  uint32_t sitesKept = 0;     // with refuse 0: the first requests of each site to list
  double timeoutSeconds = 0;  // by hand only: a run longer is killed (0: no limit)
  bool traceRefused = false;  // the refused request's callers go to standard error
  // With a request refused: a run that makes more requests than this is
  // taken for one that never ends and stopped (0: no limit). A count, not a
  // time, so that a loaded machine only makes the run slower.
  uint64_t requestCap = 0;
};

// Runs spec.body in a child whose working folder is `folder` (made empty
// first). Where the system lets a process have a mount namespace of its
// own, what the child writes under /tmp goes into the folder's "tmp" (an
// overlay that still reads what /tmp holds), so that a program that writes
// to a fixed path there writes into its own folder (its files compared
// with the others) and runs side by side do not meet.
RunOutcome RunForked(const RunSpec& spec, const std::string& folder);

// Whether the children of this process get their own /tmp: tried once, in
// a child, on `folder` (a folder as RunForked takes it).
bool RunsHaveTheirOwnTmp(const std::string& folder);

// Runs the specs in children, as many at a time as there are folders (each
// child has one of them while it runs); the outcomes in the specs' order.
std::vector<RunOutcome> RunForkedTogether(const std::vector<RunSpec>& specs,
                                          const std::vector<std::string>& folders);

// Removes a folder with its contents.
void RemoveFolder(const std::string& path);

}  // namespace vke::test
