// Name table storage: interning and finding names.
#include "engine/code/names.hpp"

#include "engine/errors/errors.hpp"
#include "engine/room_requests.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxStoredNameLength = 255;

// Length of the entry at negative offset pos, 0 when it would run past the
// area's end (a damaged table).
int32_t EntryLength(const uint8_t* end, int32_t pos) {
  int32_t n = end[pos];
  return pos + 1 + n <= 0 ? n : 0;
}

}  // namespace

int32_t FindName(EngineContext* ctx, const char* text, int32_t length) {
  if (length < 1 || length > kMaxStoredNameLength) return 0;
  const uint8_t* end = ctx->CodeEndBytes();
  for (int32_t pos = ctx->nameStart; pos < 0;) {
    int32_t n = EntryLength(end, pos);
    if (n == 0) return 0;
    if (n == length && std::memcmp(end + pos + 1, text, n) == 0) return pos;
    pos += n + 1;
  }
  return 0;
}

ErrCode InternName(EngineContext* ctx, const char* text, int32_t length, int32_t maxLength,
                   int32_t* id) {
  if (length < 1) return kErrNullName;
  if (length > maxLength || length > kMaxStoredNameLength) return kErrNameTooLong;
  if (int32_t found = FindName(ctx, text, length)) {
    *id = found;
    return kOk;
  }
  if (-ctx->nameStart + length + 2 > kMaxNameTableBytes) return kErrSymbTableTooLarge;
  if (FreeCodeBytes(ctx) < length + 1 || RoomRefused(RoomKind::kCode)) return kErrCodeOverflow;
  int32_t pos = ctx->nameStart - (length + 1);
  uint8_t* entry = ctx->CodeEndBytes() + pos;
  entry[0] = static_cast<uint8_t>(length);
  std::memcpy(entry + 1, text, length);
  ctx->nameStart = pos;
  *id = pos;
  return kOk;
}

const char* NameText(EngineContext* ctx, int32_t id, int32_t* length) {
  int32_t n = id < 0 && id >= ctx->nameStart ? EntryLength(ctx->CodeEndBytes(), id) : 0;
  if (length) *length = n;
  return n ? reinterpret_cast<const char*>(ctx->CodeEndBytes() + id + 1) : nullptr;
}

}  // namespace vke
