// The block handling MD5 and SHA-1 share.
#include "builtins/digests.hpp"

#include <algorithm>
#include <cstring>

#include "engine/base.hpp"

namespace vke {

namespace {

constexpr uint32_t kLengthAt = 56;  // where the final block holds the length

uint32_t InByteOrder(uint32_t word, bool bigEndian) {
  return bigEndian ? __builtin_bswap32(word) : word;
}

}  // namespace

void DigestInit(DigestState* s, const DigestKind& kind) {
  s->kind = &kind;
  std::memcpy(s->h, kind.initial, sizeof s->h);
  s->length = 0;
  s->fill = 0;
}

void DigestUpdate(DigestState* s, const uint8_t* bytes, int64_t count) {
  if (count <= 0) return;
  const DigestTransformFn transform = s->kind->transform;
  s->length += static_cast<uint64_t>(count);
  if (s->fill > 0) {
    const auto take = static_cast<uint32_t>(std::min<int64_t>(kDigestBlockBytes - s->fill, count));
    std::memcpy(s->block + s->fill, bytes, take);
    s->fill += take;
    bytes += take;
    count -= take;
    if (s->fill < kDigestBlockBytes) return;
    transform(s->h, s->block);
    s->fill = 0;
  }
  for (; count >= kDigestBlockBytes; bytes += kDigestBlockBytes, count -= kDigestBlockBytes)
    transform(s->h, bytes);
  std::memcpy(s->block, bytes, static_cast<size_t>(count));
  s->fill = static_cast<uint32_t>(count);
}

void DigestFinal(DigestState* s) {
  const uint64_t bits = s->length * 8;
  s->block[s->fill++] = 0x80;
  if (s->fill > kLengthAt) {
    std::memset(s->block + s->fill, 0, kDigestBlockBytes - s->fill);
    s->kind->transform(s->h, s->block);
    s->fill = 0;
  }
  std::memset(s->block + s->fill, 0, kLengthAt - s->fill);
  for (int i = 0; i < 8; i++) {
    const int shift = 8 * (s->kind->bigEndian ? 7 - i : i);
    s->block[kLengthAt + i] = static_cast<uint8_t>(bits >> shift);
  }
  s->kind->transform(s->h, s->block);
  s->fill = 0;
}

int32_t DigestToHex(const DigestState* s, char* out) {
  constexpr char kDigits[] = "0123456789abcdef";
  uint8_t digest[4 * kMaxDigestWords];
  const int32_t bytes = 4 * s->kind->words;
  for (int32_t i = 0; i < s->kind->words; i++)
    Store<uint32_t>(digest + 4 * i, InByteOrder(s->h[i], s->kind->bigEndian));
  for (int32_t i = 0; i < bytes; i++) {
    out[2 * i] = kDigits[digest[i] >> 4];
    out[2 * i + 1] = kDigits[digest[i] & 15];
  }
  return 2 * bytes;
}

}  // namespace vke
