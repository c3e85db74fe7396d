// Name table storage: interning and finding names.
#include "compiler/names.hpp"

#include "engine/errors.hpp"

namespace vke {

int32_t FindName(EngineContext* ctx, const char* text, int32_t length) {
  if (length < 1 || length > 255) return 0;
  uint8_t* end = ctx->CodeEndBytes();
  int32_t pos = ctx->nameStart;  // negative offset of the lowest entry
  while (pos < 0) {
    const uint8_t* entry = end + pos;
    int32_t n = entry[0];
    if (n == length && std::memcmp(entry + 1, text, n) == 0) return pos;
    pos += n + 1;
  }
  return 0;
}

ErrCode InternName(EngineContext* ctx, const char* text, int32_t length, int32_t maxLength,
                   int32_t* id) {
  if (length < 1) return kErrNullName;
  if (length > maxLength || length > 255) return kErrNameTooLong;
  int32_t found = FindName(ctx, text, length);
  if (found) {
    *id = found;
    return kOk;
  }
  int32_t tableSize = -ctx->nameStart;
  if (tableSize + length + 2 > kMaxNameTableBytes) return kErrSymbTableTooLarge;
  int64_t lowest = static_cast<int64_t>(ctx->codeSize) * 2 + ctx->nameStart;  // byte offset
  int64_t fill = static_cast<int64_t>(ctx->codeEnd) * 2;
  if (lowest - fill < length + 1) return kErrCodeOverflow;
  int32_t pos = ctx->nameStart - (length + 1);
  uint8_t* entry = ctx->CodeEndBytes() + pos;
  entry[0] = static_cast<uint8_t>(length);
  std::memcpy(entry + 1, text, length);
  ctx->nameStart = pos;
  *id = pos;
  return kOk;
}

const char* NameText(EngineContext* ctx, int32_t id, int32_t* length) {
  if (id >= 0 || id < ctx->nameStart) {
    if (length) *length = 0;
    return nullptr;
  }
  const uint8_t* entry = ctx->CodeEndBytes() + id;
  if (length) *length = entry[0];
  return reinterpret_cast<const char*>(entry + 1);
}

}  // namespace vke
