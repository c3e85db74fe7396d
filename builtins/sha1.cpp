// The SHA-1 digest: eighty rounds over 64-byte blocks, words big-endian.
#include <bit>

#include "builtins/digests.hpp"
#include "engine/base.hpp"

namespace vke {

namespace {

constexpr uint32_t kRound1 = 0x5a827999, kRound2 = 0x6ed9eba1, kRound3 = 0x8f1bbcdc,
                   kRound4 = 0xca62c1d6;

inline uint32_t Choose(uint32_t b, uint32_t c, uint32_t d) {
  return d ^ (b & (c ^ d));
}
inline uint32_t Parity(uint32_t b, uint32_t c, uint32_t d) {
  return b ^ c ^ d;
}
inline uint32_t Majority(uint32_t b, uint32_t c, uint32_t d) {
  return (b & c) | (d & (b | c));
}

// Word t of the schedule in a ring of sixteen: the first sixteen are the
// block's words, later ones are made from four earlier ones.
#define VKE_SHA1_WORD(t)              \
  ((t) < 16 ? w[(t)&15]               \
            : (w[(t)&15] = std::rotl( \
                   w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1)))

// One round; the roles of the five variables turn instead of the values.
#define VKE_SHA1_ROUND(f, k, a, b, c, d, e, t)                \
  e += std::rotl(a, 5) + f(b, c, d) + (k) + VKE_SHA1_WORD(t); \
  b = std::rotl(b, 30);

#define VKE_SHA1_FIVE(f, k, t)                 \
  VKE_SHA1_ROUND(f, k, a, b, c, d, e, (t))     \
  VKE_SHA1_ROUND(f, k, e, a, b, c, d, (t) + 1) \
  VKE_SHA1_ROUND(f, k, d, e, a, b, c, (t) + 2) \
  VKE_SHA1_ROUND(f, k, c, d, e, a, b, (t) + 3) \
  VKE_SHA1_ROUND(f, k, b, c, d, e, a, (t) + 4)

void Transform(uint32_t* h, const uint8_t* block) {
  uint32_t w[16];
  for (int i = 0; i < 16; i++) w[i] = __builtin_bswap32(Load<uint32_t>(block + 4 * i));
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
  VKE_SHA1_FIVE(Choose, kRound1, 0)
  VKE_SHA1_FIVE(Choose, kRound1, 5)
  VKE_SHA1_FIVE(Choose, kRound1, 10)
  VKE_SHA1_FIVE(Choose, kRound1, 15)
  VKE_SHA1_FIVE(Parity, kRound2, 20)
  VKE_SHA1_FIVE(Parity, kRound2, 25)
  VKE_SHA1_FIVE(Parity, kRound2, 30)
  VKE_SHA1_FIVE(Parity, kRound2, 35)
  VKE_SHA1_FIVE(Majority, kRound3, 40)
  VKE_SHA1_FIVE(Majority, kRound3, 45)
  VKE_SHA1_FIVE(Majority, kRound3, 50)
  VKE_SHA1_FIVE(Majority, kRound3, 55)
  VKE_SHA1_FIVE(Parity, kRound4, 60)
  VKE_SHA1_FIVE(Parity, kRound4, 65)
  VKE_SHA1_FIVE(Parity, kRound4, 70)
  VKE_SHA1_FIVE(Parity, kRound4, 75)
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
}

#undef VKE_SHA1_FIVE
#undef VKE_SHA1_ROUND
#undef VKE_SHA1_WORD

}  // namespace

const DigestKind kSHA1Digest = {
    &Transform, {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0}, 5, true};

}  // namespace vke
