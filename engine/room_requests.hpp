// The test mode of the requests for room. Every place that tests whether
// there is room for what it is about to store, and would otherwise ask its
// host to grow memory, asks here as well: the stacks (the main thread's and
// a worker's own), the block heap, the code area, the area formatted text
// is built in, and, above the engine, the undo buffer, the figure store,
// the name buffer, the element list and the KV data buffer.
//
// In a normal run nothing watches, and a request costs one test of a flag
// that is never set. Watched (tests only, set while no engine runs), the
// requests are counted, and the one of a chosen number is answered "no
// room", as though the room had run out just there: the host then grows
// and runs the work again, which must give what a run without the refusal
// gives. The driver of tests/injection runs programs so, once for
// each request they make.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/base.hpp"

namespace vke {

// The kinds of room, one row each: name, and the text the driver reports.
#define VKE_ROOM_KINDS(X)                                                 \
  X(kStacks, "stacks")              /* the main thread's two stacks */    \
  X(kThreadStacks, "thread stacks") /* a worker thread's own stacks */    \
  X(kHeap, "heap")                  /* blocks of the block heap */        \
  X(kCode, "code area")             /* compiled code and names */         \
  X(kText, "text area")             /* text being formatted */            \
  X(kUndo, "undo buffer")           /* the KV variables' versions */      \
  X(kFigures, "figure store")       /* drawing commands of the figures */ \
  X(kNames, "name buffer")          /* slots of the name buffer */        \
  X(kElements, "element list")      /* the compiled KV-file elements */   \
  X(kKvData, "data buffer")         /* instances and handler data */

enum class RoomKind : uint8_t {
#define VKE_ROOM_KIND_ENUM(name, text) name,
  VKE_ROOM_KINDS(VKE_ROOM_KIND_ENUM)
#undef VKE_ROOM_KIND_ENUM
};
inline constexpr int kRoomKindCount = 0
#define VKE_ROOM_KIND_COUNT(name, text) +1
    VKE_ROOM_KINDS(VKE_ROOM_KIND_COUNT)
#undef VKE_ROOM_KIND_COUNT
    ;
const char* RoomKindName(RoomKind kind);

inline std::atomic<bool> gRoomRequestsWatched{false};

// Added to the room the hottest requests need (a push, a heap block where
// the walk starts, a call's frame): 0, or while the requests are watched
// more than any room, so that each of them takes the path of a failed test,
// where the room is tested again and the request counted. The paths that
// run on every push so pay one addition and no branch.
inline constexpr uint64_t kWatchedRoomToll = uint64_t{1} << 40;
inline std::atomic<uint64_t> gRoomRequestToll{0};

VKE_HOT_INLINE uint64_t RoomRequestToll() {
  return gRoomRequestToll.load(std::memory_order_relaxed);
}

// Counts the request and answers whether it is the one to refuse.
[[gnu::cold, gnu::noinline]] bool TakeRoomRequest(RoomKind kind);

// Whether the request for room of this kind is to be answered "no room"
// although the room is there. Ask it where the room was found, so that a
// refusal stands where a real shortage would.
VKE_HOT_INLINE bool RoomRefused(RoomKind kind) {
  if (gRoomRequestsWatched.load(std::memory_order_relaxed)) [[unlikely]]
    return TakeRoomRequest(kind);
  return false;
}

inline bool RoomRequestsWatched() {
  return gRoomRequestsWatched.load(std::memory_order_relaxed);
}

// Within its scope nothing is counted: for the room of work that goes on
// without it (an error's message keeps its plain text), which is no
// request the host could be asked to grow for.
class RoomRequestsPaused {
 public:
  RoomRequestsPaused() : watched_(RoomRequestsWatched()) {
    if (!watched_) return;
    gRoomRequestsWatched.store(false, std::memory_order_relaxed);
    gRoomRequestToll.store(0, std::memory_order_relaxed);
  }
  ~RoomRequestsPaused() {
    if (!watched_) return;
    gRoomRequestsWatched.store(true, std::memory_order_relaxed);
    gRoomRequestToll.store(kWatchedRoomToll, std::memory_order_relaxed);
  }
  RoomRequestsPaused(const RoomRequestsPaused&) = delete;
  RoomRequestsPaused& operator=(const RoomRequestsPaused&) = delete;

 private:
  bool watched_;
};

// A native that has checked the room of all it pushes (its plan) could not
// run short of the stacks after the check: while the requests are watched,
// the check is the request, and the native's pushes behind it until it
// returns are not counted (nor refused). Outside tests, nothing is held.
inline std::atomic<bool> gStackRoomPlanned{false};

inline void HoldPlannedStackRoom() {
  if (RoomRequestsWatched()) gStackRoomPlanned.store(true, std::memory_order_relaxed);
}

// Around each run of a native: its plan is its own, and the caller's plan
// holds again once it returns.
class PlannedStackRoomScope {
 public:
  PlannedStackRoomScope() : outer_(gStackRoomPlanned.load(std::memory_order_relaxed)) {
    if (outer_) gStackRoomPlanned.store(false, std::memory_order_relaxed);
  }
  ~PlannedStackRoomScope() { gStackRoomPlanned.store(outer_, std::memory_order_relaxed); }
  PlannedStackRoomScope(const PlannedStackRoomScope&) = delete;
  PlannedStackRoomScope& operator=(const PlannedStackRoomScope&) = delete;

 private:
  bool outer_;
};

// The loop's note of a failure for lack of room that takes the error path
// instead of a run again after growth: the first one after the refusal,
// with the opcode of the instruction that failed and the name of the
// builtin or native it called (empty for the loop's own instructions), so
// that the test can name the place where the growth stopped.
void NoteFailureNotRunAgain(int32_t opcode, const char* name);

// ---- The test's side ----

// Called for every request counted, with its number (from 1).
using RoomRequestObserver = void (*)(RoomKind kind, uint64_t number, uintptr_t argument);

// Starts counting from 0; the request numbered `refused` (0: none) is
// answered "no room", every other one as the room allows.
void WatchRoomRequests(uint64_t refused, RoomRequestObserver observer = nullptr,
                       uintptr_t argument = 0);
void StopWatchingRoomRequests();
// Requests counted since the watch began, of all kinds or of one.
uint64_t RoomRequestCount();
uint64_t RoomRequestCount(RoomKind kind);
// Whether the request to refuse has come, and its kind.
bool RoomRequestRefused(RoomKind* kind = nullptr);
// The failure noted by NoteFailureNotRunAgain since the refusal; false when
// there was none. *name stays valid until the next watch.
bool FailureNotRunAgain(int32_t* opcode, const char** name);

}  // namespace vke
