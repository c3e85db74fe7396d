// The count of the requests for room while a test watches them, and the
// note of where a refusal's failure took the error path.
#include "engine/room_requests.hpp"

#include <cstddef>

namespace vke {

namespace {

struct RoomWatch {
  uint64_t count = 0;
  uint64_t perKind[kRoomKindCount] = {};
  uint64_t refused = 0;
  bool came = false;
  RoomKind refusedKind = RoomKind::kStacks;
  bool failureNoted = false;
  int32_t failedOpcode = -1;
  char failedName[33] = {};
  RoomRequestObserver observer = nullptr;
  uintptr_t argument = 0;
};
RoomWatch watch;

constexpr const char* kRoomKindNames[] = {
#define VKE_ROOM_KIND_NAME(name, text) text,
    VKE_ROOM_KINDS(VKE_ROOM_KIND_NAME)
#undef VKE_ROOM_KIND_NAME
};

}  // namespace

const char* RoomKindName(RoomKind kind) {
  return kRoomKindNames[static_cast<int>(kind)];
}

bool TakeRoomRequest(RoomKind kind) {
  if ((kind == RoomKind::kStacks || kind == RoomKind::kThreadStacks) &&
      gStackRoomPlanned.load(std::memory_order_relaxed))
    return false;
  const uint64_t number = ++watch.count;
  watch.perKind[static_cast<int>(kind)]++;
  if (watch.observer) watch.observer(kind, number, watch.argument);
  if (number != watch.refused) return false;
  watch.came = true;
  watch.refusedKind = kind;
  return true;
}

void WatchRoomRequests(uint64_t refused, RoomRequestObserver observer, uintptr_t argument) {
  watch = RoomWatch{};
  watch.refused = refused;
  watch.observer = observer;
  watch.argument = argument;
  gRoomRequestsWatched.store(true, std::memory_order_relaxed);
  gRoomRequestToll.store(kWatchedRoomToll, std::memory_order_relaxed);
}

void StopWatchingRoomRequests() {
  gRoomRequestsWatched.store(false, std::memory_order_relaxed);
  gRoomRequestToll.store(0, std::memory_order_relaxed);
}

uint64_t RoomRequestCount() {
  return watch.count;
}

uint64_t RoomRequestCount(RoomKind kind) {
  return watch.perKind[static_cast<int>(kind)];
}

bool RoomRequestRefused(RoomKind* kind) {
  if (kind) *kind = watch.refusedKind;
  return watch.came;
}

void NoteFailureNotRunAgain(int32_t opcode, const char* name) {
  if (!RoomRequestsWatched() || !watch.came || watch.failureNoted) return;
  watch.failureNoted = true;
  watch.failedOpcode = opcode;
  size_t n = 0;
  for (; name && n + 1 < sizeof watch.failedName && name[n]; n++) watch.failedName[n] = name[n];
  watch.failedName[n] = 0;
}

bool FailureNotRunAgain(int32_t* opcode, const char** name) {
  *opcode = watch.failedOpcode;
  *name = watch.failedName;
  return watch.failureNoted;
}

}  // namespace vke
