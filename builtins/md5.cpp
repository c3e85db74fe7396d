// The MD5 digest: four rounds of sixteen steps over 64-byte blocks, words
// little-endian.
#include <bit>

#include "builtins/digests.hpp"
#include "engine/base.hpp"

namespace vke {

namespace {

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) {
  return z ^ (x & (y ^ z));
}
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) {
  return y ^ (z & (x ^ y));
}
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) {
  return x ^ y ^ z;
}
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) {
  return y ^ (x | ~z);
}

// One step: a = b + ((a + f(b, c, d) + word + constant) <<< shift).
#define VKE_MD5_STEP(f, a, b, c, d, word, constant, shift) \
  a += f(b, c, d) + (word) + (constant);                   \
  a = std::rotl(a, shift) + b;

void Transform(uint32_t* h, const uint8_t* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; i++) x[i] = Load<uint32_t>(block + 4 * i);
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
  VKE_MD5_STEP(F, a, b, c, d, x[0], 0xd76aa478, 7)
  VKE_MD5_STEP(F, d, a, b, c, x[1], 0xe8c7b756, 12)
  VKE_MD5_STEP(F, c, d, a, b, x[2], 0x242070db, 17)
  VKE_MD5_STEP(F, b, c, d, a, x[3], 0xc1bdceee, 22)
  VKE_MD5_STEP(F, a, b, c, d, x[4], 0xf57c0faf, 7)
  VKE_MD5_STEP(F, d, a, b, c, x[5], 0x4787c62a, 12)
  VKE_MD5_STEP(F, c, d, a, b, x[6], 0xa8304613, 17)
  VKE_MD5_STEP(F, b, c, d, a, x[7], 0xfd469501, 22)
  VKE_MD5_STEP(F, a, b, c, d, x[8], 0x698098d8, 7)
  VKE_MD5_STEP(F, d, a, b, c, x[9], 0x8b44f7af, 12)
  VKE_MD5_STEP(F, c, d, a, b, x[10], 0xffff5bb1, 17)
  VKE_MD5_STEP(F, b, c, d, a, x[11], 0x895cd7be, 22)
  VKE_MD5_STEP(F, a, b, c, d, x[12], 0x6b901122, 7)
  VKE_MD5_STEP(F, d, a, b, c, x[13], 0xfd987193, 12)
  VKE_MD5_STEP(F, c, d, a, b, x[14], 0xa679438e, 17)
  VKE_MD5_STEP(F, b, c, d, a, x[15], 0x49b40821, 22)
  VKE_MD5_STEP(G, a, b, c, d, x[1], 0xf61e2562, 5)
  VKE_MD5_STEP(G, d, a, b, c, x[6], 0xc040b340, 9)
  VKE_MD5_STEP(G, c, d, a, b, x[11], 0x265e5a51, 14)
  VKE_MD5_STEP(G, b, c, d, a, x[0], 0xe9b6c7aa, 20)
  VKE_MD5_STEP(G, a, b, c, d, x[5], 0xd62f105d, 5)
  VKE_MD5_STEP(G, d, a, b, c, x[10], 0x02441453, 9)
  VKE_MD5_STEP(G, c, d, a, b, x[15], 0xd8a1e681, 14)
  VKE_MD5_STEP(G, b, c, d, a, x[4], 0xe7d3fbc8, 20)
  VKE_MD5_STEP(G, a, b, c, d, x[9], 0x21e1cde6, 5)
  VKE_MD5_STEP(G, d, a, b, c, x[14], 0xc33707d6, 9)
  VKE_MD5_STEP(G, c, d, a, b, x[3], 0xf4d50d87, 14)
  VKE_MD5_STEP(G, b, c, d, a, x[8], 0x455a14ed, 20)
  VKE_MD5_STEP(G, a, b, c, d, x[13], 0xa9e3e905, 5)
  VKE_MD5_STEP(G, d, a, b, c, x[2], 0xfcefa3f8, 9)
  VKE_MD5_STEP(G, c, d, a, b, x[7], 0x676f02d9, 14)
  VKE_MD5_STEP(G, b, c, d, a, x[12], 0x8d2a4c8a, 20)
  VKE_MD5_STEP(H, a, b, c, d, x[5], 0xfffa3942, 4)
  VKE_MD5_STEP(H, d, a, b, c, x[8], 0x8771f681, 11)
  VKE_MD5_STEP(H, c, d, a, b, x[11], 0x6d9d6122, 16)
  VKE_MD5_STEP(H, b, c, d, a, x[14], 0xfde5380c, 23)
  VKE_MD5_STEP(H, a, b, c, d, x[1], 0xa4beea44, 4)
  VKE_MD5_STEP(H, d, a, b, c, x[4], 0x4bdecfa9, 11)
  VKE_MD5_STEP(H, c, d, a, b, x[7], 0xf6bb4b60, 16)
  VKE_MD5_STEP(H, b, c, d, a, x[10], 0xbebfbc70, 23)
  VKE_MD5_STEP(H, a, b, c, d, x[13], 0x289b7ec6, 4)
  VKE_MD5_STEP(H, d, a, b, c, x[0], 0xeaa127fa, 11)
  VKE_MD5_STEP(H, c, d, a, b, x[3], 0xd4ef3085, 16)
  VKE_MD5_STEP(H, b, c, d, a, x[6], 0x04881d05, 23)
  VKE_MD5_STEP(H, a, b, c, d, x[9], 0xd9d4d039, 4)
  VKE_MD5_STEP(H, d, a, b, c, x[12], 0xe6db99e5, 11)
  VKE_MD5_STEP(H, c, d, a, b, x[15], 0x1fa27cf8, 16)
  VKE_MD5_STEP(H, b, c, d, a, x[2], 0xc4ac5665, 23)
  VKE_MD5_STEP(I, a, b, c, d, x[0], 0xf4292244, 6)
  VKE_MD5_STEP(I, d, a, b, c, x[7], 0x432aff97, 10)
  VKE_MD5_STEP(I, c, d, a, b, x[14], 0xab9423a7, 15)
  VKE_MD5_STEP(I, b, c, d, a, x[5], 0xfc93a039, 21)
  VKE_MD5_STEP(I, a, b, c, d, x[12], 0x655b59c3, 6)
  VKE_MD5_STEP(I, d, a, b, c, x[3], 0x8f0ccc92, 10)
  VKE_MD5_STEP(I, c, d, a, b, x[10], 0xffeff47d, 15)
  VKE_MD5_STEP(I, b, c, d, a, x[1], 0x85845dd1, 21)
  VKE_MD5_STEP(I, a, b, c, d, x[8], 0x6fa87e4f, 6)
  VKE_MD5_STEP(I, d, a, b, c, x[15], 0xfe2ce6e0, 10)
  VKE_MD5_STEP(I, c, d, a, b, x[6], 0xa3014314, 15)
  VKE_MD5_STEP(I, b, c, d, a, x[13], 0x4e0811a1, 21)
  VKE_MD5_STEP(I, a, b, c, d, x[4], 0xf7537e82, 6)
  VKE_MD5_STEP(I, d, a, b, c, x[11], 0xbd3af235, 10)
  VKE_MD5_STEP(I, c, d, a, b, x[2], 0x2ad7d2bb, 15)
  VKE_MD5_STEP(I, b, c, d, a, x[9], 0xeb86d391, 21)
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
}

#undef VKE_MD5_STEP

}  // namespace

const DigestKind kMD5Digest = {
    &Transform, {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, 4, false};

}  // namespace vke
