// The sets of the undo buffer: adding, resetting and removing sets and their
// variables, reading and writing the values of a version, and moving between
// versions.
#include <cstring>
#include <unordered_map>

#include "app/errors.hpp"
#include "app/undo_layout.hpp"
#include "engine/room_requests.hpp"

namespace vke {

namespace undo {

int32_t Set::FindVar(int32_t variable) const {
  for (uint32_t i = 0; i < VarCount(); i++)
    if (VarId(i) == variable) return static_cast<int32_t>(i);
  return -1;
}

int64_t Set::VersionOf(int32_t back) const {
  const int64_t v = int64_t{Current()} - back;
  return IsReady() && v >= 0 && v < Versions() ? v : -1;
}

void Set::ReleaseVersion(uint32_t v) const {
  for (uint32_t i = 0; i < VarCount(); i++) {
    ReleaseUndoBlock(b_.Base(), Ref(v, i));
    SetRef(v, i, kUndoNoValue);
  }
}

void Set::DropOldest() const {
  ReleaseVersion(0);
  const uint32_t n = VarCount(), last = Versions() - 1;
  std::memmove(b_.WordAt(RefWord(0, 0)), b_.WordAt(RefWord(1, 0)), 4ull * n * last);
  for (uint32_t i = 0; i < n; i++) SetRef(last, i, kUndoNoValue);
  SetVersions(last);
  if (Current() > 0) SetCurrent(Current() - 1);
}

void Set::DropNewest() const {
  const uint32_t last = Versions() - 1;
  ReleaseVersion(last);
  SetVersions(last);
  if (Current() >= last) SetCurrent(last - 1);
}

namespace {

// Moves the set-area words from `from` up to the end of the sets by delta
// words (down for a negative delta).
void ShiftSets(Buffer b, uint32_t from, int64_t delta) {
  const uint32_t used = b.SetAreaUsed();
  if (from >= used || delta == 0) return;
  std::memmove(b.WordAt(static_cast<uint32_t>(from + delta)), b.WordAt(from), 4ull * (used - from));
}

// The set of an id; false when there is none.
bool FindSet(Buffer b, int32_t id, Set* out) {
  const int64_t pos = b.FindSet(id);
  if (pos < 0) return false;
  *out = Set(b, static_cast<uint32_t>(pos));
  return true;
}

// Heap units that giving up the versions below the one under version `kept`
// and those above the current one, and the reference `released` (none when
// negative), would free: their blocks that no other version refers to.
int64_t FreedByGivingUp(Buffer b, Set s, uint32_t kept, int32_t released = -1) {
  std::unordered_map<int32_t, int32_t> dropped;  // block: references given up
  if (released >= 0) dropped[released]++;
  for (uint32_t v = 0; v < s.Versions(); v++) {
    if (v <= s.Current() && v + 1 >= kept) continue;
    for (uint32_t i = 0; i < s.VarCount(); i++)
      if (s.Ref(v, i) >= 0) dropped[s.Ref(v, i)]++;
  }
  int64_t freed = 0;
  for (const auto& [block, count] : dropped) {
    const auto u = static_cast<uint32_t>(block);
    if (b.RefCount(u) <= count) freed += int64_t{b.Units(u)} + 1;
  }
  return freed;
}

// The word of a variable's reference in the version `back` versions back.
ErrCode LocateReference(Buffer b, int32_t id, int32_t back, int32_t variable, uint32_t* word) {
  Set s(b, 0);
  if (!FindSet(b, id, &s)) return kKvNonexistentUndoSet;
  const int64_t v = s.VersionOf(back);
  if (v < 0) return kKvNonexistentUndoSet;
  const int32_t i = s.FindVar(variable);
  if (i < 0) return kKvVarNotFound;
  *word = s.RefWord(static_cast<uint32_t>(v), static_cast<uint32_t>(i));
  return kOk;
}

// The reference, or 0 with the reason it cannot be read.
ErrCode ReadReference(const void* buffer, int32_t id, int32_t back, int32_t variable,
                      int32_t* reference) {
  Buffer b(buffer);
  uint32_t word;
  ErrCode e = LocateReference(b, id, back, variable, &word);
  if (!e) *reference = b.Word(word);
  return e;
}

}  // namespace

}  // namespace undo

using undo::Buffer;
using undo::Set;

namespace {

// While the requests for room are watched (tests): the units the last
// reservation made room for. The stores behind it take that room without
// asking again, since a store into reserved room cannot run short; a store
// beyond it asks.
thread_local uint64_t t_reservedUnits = 0;

// Whether a store of `needed` units is refused as though the buffer had no
// room left.
bool StoreRefused(uint64_t needed) {
  if (!RoomRequestsWatched()) return false;
  if (t_reservedUnits >= needed) {
    t_reservedUnits -= needed;
    return false;
  }
  t_reservedUnits = 0;
  return RoomRefused(RoomKind::kUndo);
}

}  // namespace

ErrCode AddUndoSet(void* buffer, int32_t id) {
  Buffer b(buffer);
  const uint32_t used = b.SetAreaUsed();
  if (used + uint64_t{undo::kSetHeadWords} + kUndoSetReserveWords > b.SetAreaWords() ||
      RoomRefused(RoomKind::kUndo))
    return kKvTooManyVarInUndoBuf;
  const int32_t head[undo::kSetHeadWords] = {static_cast<int32_t>(undo::kSetHeadWords), id, 0, 0,
                                             0};
  for (uint32_t k = 0; k < undo::kSetHeadWords; k++) b.SetWord(used + k, head[k]);
  b.SetHeader(undo::kSetCount, b.SetCount() + 1);
  return kOk;
}

ErrCode AddUndoSetVariable(void* buffer, int32_t id, int32_t variable, bool flag) {
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s)) return kKvNonexistentUndoSet;
  if (s.IsReady()) return kErrIllegal;
  if (s.FindVar(variable) >= 0) return kKvVarDuplicate;
  const uint64_t projected =
      uint64_t{b.Depth()} * s.VarCount() + s.Pos() + s.Length() + kUndoSetReserveWords;
  if (projected > b.SetAreaWords() || b.SetAreaUsed() + 2ull > b.SetAreaWords())
    return kKvTooManyVarInUndoBuf;
  const uint32_t end = s.Pos() + s.Length();
  undo::ShiftSets(b, end, 2);
  b.SetWord(end, variable);
  b.SetWord(end + 1, flag ? kUndoFlagSingleVersion : 0);
  s.SetLength(s.Length() + 2);
  s.SetVarCount(s.VarCount() + 1);
  return kOk;
}

ErrCode ResetUndoSet(void* buffer, int32_t id) {
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s)) return kKvNonexistentUndoSet;
  if (s.IsReady()) {
    for (uint32_t v = 0; v < b.Depth(); v++) s.ReleaseVersion(v);
  } else {
    const uint32_t n = s.VarCount();
    const uint64_t ready = Set::ReadyLength(b.Depth(), n);
    const uint64_t grow = ready - s.Length();
    if (b.SetAreaUsed() + grow > b.SetAreaWords() || RoomRefused(RoomKind::kUndo))
      return kKvTooManyVarInUndoBuf;
    undo::ShiftSets(b, s.Pos() + s.Length(), static_cast<int64_t>(grow));
    std::memset(b.WordAt(s.Pos() + s.Length()), 0, 4 * grow);
    s.SetLength(static_cast<uint32_t>(ready));
    for (uint32_t v = 0; v < b.Depth(); v++)
      for (uint32_t i = 0; i < n; i++) s.SetRef(v, i, kUndoNoValue);
  }
  s.SetVersions(1);
  s.SetCurrent(0);
  return kOk;
}

ErrCode RemoveUndoSet(void* buffer, int32_t id) {
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s)) return kKvNonexistentUndoSet;
  if (s.IsReady())
    for (uint32_t v = 0; v < b.Depth(); v++) s.ReleaseVersion(v);
  const uint32_t length = s.Length();
  undo::ShiftSets(b, s.Pos() + length, -int64_t{length});
  b.SetHeader(undo::kSetCount, b.SetCount() - 1);
  return kOk;
}

ErrCode GetUndoSetVariableId(void* buffer, int32_t id, int32_t n, bool unflaggedOnly,
                             int32_t* variable) {
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s)) return kKvNonexistentUndoSet;
  for (uint32_t i = 0; i < s.VarCount(); i++) {
    if (unflaggedOnly && (s.VarFlags(i) & kUndoFlagSingleVersion)) continue;
    if (n-- == 0) {
      *variable = s.VarId(i);
      return kOk;
    }
  }
  return kKvVarNotFound;
}

ErrCode GetUndoValue(void* buffer, int32_t id, int32_t back, int32_t variable, uint32_t* units,
                     void** data) {
  *units = 0;
  *data = nullptr;
  int32_t r;
  ErrCode e = undo::ReadReference(buffer, id, back, variable, &r);
  if (e || r < 0) return e;
  Buffer b(buffer);
  *units = b.Units(static_cast<uint32_t>(r));
  *data = b.Unit(static_cast<uint32_t>(r)) + 8;
  return kOk;
}

ErrCode SetUndoValue(void* buffer, int32_t id, int32_t back, int32_t variable, uint32_t units,
                     void** data) {
  if (data) *data = nullptr;
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s) || !s.IsReady()) return kKvNonexistentUndoSet;
  const uint32_t written = back < 0 ? s.Current() : static_cast<uint32_t>(back);
  if (written > s.Current()) return kKvNonexistentUndoSet;
  const int32_t found = s.FindVar(variable);
  if (found < 0) return kKvVarNotFound;
  const auto i = static_cast<uint32_t>(found);
  const bool single = (s.VarFlags(i) & kUndoFlagSingleVersion) != 0;
  if (units > 0) {
    const int64_t needed = int64_t{units} + 1;
    // Refused, as when no version could be given up.
    if (StoreRefused(static_cast<uint64_t>(needed))) return kKvVarTooLargeForUndo;
    // Nothing changes when even the old value and every version this store
    // may give up would not make room: the caller grows the buffer and
    // stores again, finding the old value and the versions as they were.
    if (undo::FreeRoom(b) < needed &&
        undo::FreeRoom(b) + undo::FreedByGivingUp(b, s, s.Current() - written + (single ? 1 : 0),
                                                  s.Ref(s.Current() - written, i)) <
            needed)
      return kKvVarTooLargeForUndo;
  }
  // The written version is Current - written; dropping old versions moves it.
  ReleaseUndoBlock(buffer, s.Ref(s.Current() - written, i));
  s.SetRef(s.Current() - written, i, kUndoNoValue);
  if (units == 0) {
    s.SetRef(s.Current() - written, i, kUndoNoData);
    return kOk;
  }
  if (single)
    while (s.Current() > written) s.DropOldest();
  int32_t r;
  ErrCode e = AllocUndoBlock(buffer, units, &r);
  while (e && s.Current() > written + 1) {
    s.DropOldest();
    e = AllocUndoBlock(buffer, units, &r);
  }
  while (e && s.Versions() > s.Current() + 1) {
    s.DropNewest();
    e = AllocUndoBlock(buffer, units, &r);
  }
  if (e) return e;
  s.SetRef(s.Current() - written, i, r);
  if (data) *data = b.Unit(static_cast<uint32_t>(r)) + 8;
  return kOk;
}

ErrCode ReserveUndoRoom(void* buffer, int32_t id, int32_t back, uint64_t units) {
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s) || !s.IsReady()) return kKvNonexistentUndoSet;
  const uint32_t written = back < 0 ? s.Current() : static_cast<uint32_t>(back);
  if (written > s.Current()) return kKvNonexistentUndoSet;
  // The reservation is the request for the room of the stores behind it.
  t_reservedUnits = 0;
  if (units > 0 && RoomRefused(RoomKind::kUndo)) return kKvVarTooLargeForUndo;
  const auto fits = [&] { return undo::FreeRoom(b) >= static_cast<int64_t>(units); };
  // The versions SetUndoValue would give up, in its order; none when even
  // all of them would not make room enough, so that the caller's growth
  // keeps them.
  if (!fits() && undo::FreeRoom(b) + undo::FreedByGivingUp(b, s, s.Current() - written) <
                     static_cast<int64_t>(units))
    return kKvVarTooLargeForUndo;
  while (!fits() && s.Current() > written + 1) s.DropOldest();
  while (!fits() && s.Versions() > s.Current() + 1) s.DropNewest();
  if (!fits()) return kKvVarTooLargeForUndo;
  // In one free run, blocks taken one after another all find their place.
  if (undo::LargestFreeRun(b) < static_cast<int64_t>(units)) CompactUndoHeap(buffer);
  t_reservedUnits = units;
  return kOk;
}

ErrCode ClearUndoValue(void* buffer, int32_t id, int32_t back, int32_t variable, bool stale) {
  Buffer b(buffer);
  uint32_t word;
  ErrCode e = undo::LocateReference(b, id, back, variable, &word);
  if (e) return e;
  ReleaseUndoBlock(buffer, b.Word(word));
  b.SetWord(word, stale ? kUndoStale : kUndoNoValue);
  return kOk;
}

bool HasUndoValue(const void* buffer, int32_t id, int32_t back, int32_t variable) {
  int32_t r;
  return !undo::ReadReference(buffer, id, back, variable, &r) && r >= kUndoNoData;
}

bool IsUndoValueStale(const void* buffer, int32_t id, int32_t back, int32_t variable) {
  int32_t r;
  return !undo::ReadReference(buffer, id, back, variable, &r) && r < kUndoNoValue;
}

ErrCode ClearStaleUndoValues(void* buffer, int32_t id, int32_t back) {
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s)) return kKvNonexistentUndoSet;
  const int64_t v = s.VersionOf(back);
  if (v < 0) return kKvNonexistentUndoSet;
  for (uint32_t i = 0; i < s.VarCount(); i++)
    if (s.Ref(static_cast<uint32_t>(v), i) < kUndoNoValue)
      s.SetRef(static_cast<uint32_t>(v), i, kUndoNoValue);
  return kOk;
}

ErrCode PushUndoVersion(void* buffer, int32_t id) {
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s) || !s.IsReady() || b.Depth() < 2) return kKvNonexistentUndoSet;
  while (s.Versions() > s.Current() + 1) s.DropNewest();
  if (s.Versions() == b.Depth()) s.DropOldest();
  const uint32_t last = s.Versions() - 1;
  for (uint32_t i = 0; i < s.VarCount(); i++) {
    const int32_t r = s.Ref(last, i);
    s.SetRef(last + 1, i, r);
    if (r >= 0) {
      const auto u = static_cast<uint32_t>(r);
      b.SetBlock(u, b.RefCount(u) + 1, b.Units(u));
    }
  }
  s.SetVersions(last + 2);
  s.SetCurrent(last + 1);
  return kOk;
}

ErrCode DropNewestUndoVersion(void* buffer, int32_t id) {
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s) || b.Depth() == 0 || s.Versions() < 2) return kKvNonexistentUndoSet;
  s.DropNewest();
  return kOk;
}

ErrCode FoldNewestUndoVersion(void* buffer, int32_t id) {
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s) || !s.IsReady() || s.Versions() < 2) return kKvNonexistentUndoSet;
  const uint32_t last = s.Versions() - 1;
  s.ReleaseVersion(last - 1);
  for (uint32_t i = 0; i < s.VarCount(); i++) {
    s.SetRef(last - 1, i, s.Ref(last, i));
    s.SetRef(last, i, kUndoNoValue);
  }
  s.SetVersions(last);
  if (s.Current() >= last) s.SetCurrent(last - 1);
  return kOk;
}

ErrCode UndoSetStepBack(void* buffer, int32_t id) {
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s) || !s.IsReady()) return kKvNonexistentUndoSet;
  if (s.Current() == 0) return kKvCannotUndo;
  s.SetCurrent(s.Current() - 1);
  return kOk;
}

ErrCode UndoSetStepForward(void* buffer, int32_t id) {
  Buffer b(buffer);
  Set s(b, 0);
  if (!undo::FindSet(b, id, &s) || !s.IsReady()) return kKvNonexistentUndoSet;
  if (s.Current() + 1 >= s.Versions()) return kKvCannotRedo;
  s.SetCurrent(s.Current() + 1);
  return kOk;
}

int32_t UndoSetCurrentVersion(const void* buffer, int32_t id) {
  Buffer b(buffer);
  Set s(b, 0);
  return undo::FindSet(b, id, &s) && s.IsReady() ? static_cast<int32_t>(s.Current()) : -1;
}

bool UndoSetCanStepBack(const void* buffer, int32_t id) {
  Buffer b(buffer);
  Set s(b, 0);
  return undo::FindSet(b, id, &s) && s.IsReady() && s.Current() > 0;
}

bool UndoSetCanStepForward(const void* buffer, int32_t id) {
  Buffer b(buffer);
  Set s(b, 0);
  return undo::FindSet(b, id, &s) && s.IsReady() && s.Current() + 1 < s.Versions();
}

}  // namespace vke
