// The MD5 (RFC 1321) and SHA-1 (FIPS 180-1) digests, computed incrementally
// over 64-byte blocks: update with any number of bytes, final, then the
// digest as lowercase hex. The two standards differ only in their block
// transform, initial words and byte order, which their kinds carry. The
// state is a plain value: no allocation.
#pragma once

#include <cstdint>

namespace vke {

inline constexpr int kMaxDigestWords = 5;
inline constexpr int kMaxDigestHexLength = 8 * kMaxDigestWords;
inline constexpr uint32_t kDigestBlockBytes = 64;

using DigestTransformFn = void (*)(uint32_t* h, const uint8_t* block);

// What sets one standard apart.
struct DigestKind {
  DigestTransformFn transform;
  uint32_t initial[kMaxDigestWords];  // the chaining words at the start
  int32_t words;                      // 4 for MD5, 5 for SHA-1
  bool bigEndian;                     // byte order of words and length
};
extern const DigestKind kMD5Digest;
extern const DigestKind kSHA1Digest;

struct DigestState {
  const DigestKind* kind;
  uint32_t h[kMaxDigestWords];
  uint64_t length;  // bytes so far
  uint8_t block[kDigestBlockBytes];
  uint32_t fill;  // bytes buffered in block
};

void DigestInit(DigestState* s, const DigestKind& kind);
// Completes and transforms the buffered block first, then transforms whole
// blocks straight from the input, and buffers the rest.
void DigestUpdate(DigestState* s, const uint8_t* bytes, int64_t count);
// The padding (0x80, zeros, the 64-bit message length in bits) and the last
// transforms.
void DigestFinal(DigestState* s);
// Writes the digest in hex, high nibble first, into out (room for
// kMaxDigestHexLength); the count of digits.
int32_t DigestToHex(const DigestState* s, char* out);

}  // namespace vke
