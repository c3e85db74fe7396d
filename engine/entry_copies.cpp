// Entries copied aside and put back.
#include "engine/entry_copies.hpp"

#include <cstring>

#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode EntryCopies::Take(int32_t depth, int32_t count) {
  uint64_t bytes = 0;
  for (int32_t d = depth; d < depth + count; d++) bytes += 8ull * GetEntryWordCount(ctx_, d);
  if (ErrCode e = scratch_.Reserve(bytes, &at_)) return e;
  uint64_t offset = at_;
  for (int32_t d = depth + count - 1; d >= depth; d--) {
    CopyEntryToBytes(ctx_, d, ctx_->Bytes() + offset);
    offset += 8ull * GetEntryWordCount(ctx_, d);
  }
  count_ = count;
  return kOk;
}

bool EntryCopies::PushBack() {
  // The copies take the room of what they stood for: no request.
  const RoomRequestsPaused restoring;
  uint64_t offset = at_;
  for (int32_t k = 0; k < count_; k++) {
    const uint8_t* copy = ctx_->Bytes() + offset;
    if (PushEntryFromBytes(ctx_, copy)) return false;
    offset += 8ull * GetEntryWordCount(ctx_, 0);
  }
  return true;
}

bool EntryCopies::WriteBack(int32_t depth) {
  uint64_t offset = at_;
  for (int32_t d = depth + count_ - 1; d >= depth; d--) {
    const uint8_t* copy = ctx_->Bytes() + offset;
    const auto units = static_cast<uint32_t>(Load<double>(copy + 8));
    offset += 24 + 8ull * units;
    const ValueDescriptor* now = DescAt(ctx_, d);
    if (Load<double>(copy) == now->flags && units == now->size &&
        Load<double>(copy + 16) == now->word) {
      std::memcpy(DataAt(ctx_, d), copy + 24, 8ull * units);
      continue;
    }
    // An entry that has changed its size goes, and its copy, pushed on top,
    // rolls down into its place under the entries above it.
    const RoomRequestsPaused restoring;
    if (DropStackEntries(ctx_, d, 1) || PushEntryFromBytes(ctx_, copy) ||
        RollStackEntries(ctx_, d + 1, d))
      return false;
  }
  return true;
}

}  // namespace vke
