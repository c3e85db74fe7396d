// MD5 and SHA-1: the standards' vectors, updates in pieces of every size,
// and the natives over strings, byte arrays and files read through a
// descriptor in blocks, with the break between blocks.
#include "builtins/digests.hpp"

#include <gtest/gtest.h>

#include <string>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "tests/host/file_table.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

// The digest of bytes added in pieces of the given size.
std::string Hex(const DigestKind& kind, const std::string& bytes, size_t piece = SIZE_MAX) {
  DigestState s;
  DigestInit(&s, kind);
  for (size_t at = 0; at < bytes.size(); at += piece)
    DigestUpdate(&s, reinterpret_cast<const uint8_t*>(bytes.data()) + at,
                 static_cast<int64_t>(std::min(piece, bytes.size() - at)));
  DigestFinal(&s);
  char hex[kMaxDigestHexLength];
  return std::string(hex, static_cast<size_t>(DigestToHex(&s, hex)));
}

TEST(Digests, StandardVectors) {
  EXPECT_EQ(Hex(kMD5Digest, ""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Hex(kMD5Digest, "abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Hex(kMD5Digest,
                "12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
  EXPECT_EQ(Hex(kSHA1Digest, ""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Hex(kSHA1Digest, "abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Hex(kSHA1Digest, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  const std::string million(1000000, 'a');
  EXPECT_EQ(Hex(kSHA1Digest, million), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(Hex(kMD5Digest, million), "7707d6ae4e027c70eea2a935c2296f21");
}

// Lengths on each side of the padding boundary: the length field fits in
// the last block (55), just misses it (56), or the data ends on or one byte
// before a block's end.
TEST(Digests, LengthsAtThePaddingBoundary) {
  const struct {
    size_t length;
    const char* md5;
    const char* sha1;
  } cases[] = {
      {55, "ef1772b6dff9a122358552954ad0df65", "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
      {56, "3b0c8ac703f828b04c6c197006d17218", "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
      {63, "b06521f39153d618550606be297466d5", "03f09f5b158a7a8cdad920bddc29b81c18a551f5"},
      {64, "014842d480b571495a4a0363793f7367", "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
      {119, "8a7bd0732ed6a28ce75f6dabc90e1613", "ee971065aaa017e0632a8ca6c77bb3bf8b1dfc56"},
  };
  for (const auto& c : cases) {
    const std::string bytes(c.length, 'a');
    EXPECT_EQ(Hex(kMD5Digest, bytes), c.md5) << c.length;
    EXPECT_EQ(Hex(kSHA1Digest, bytes), c.sha1) << c.length;
  }
}

TEST(Digests, PiecesOfAnySizeGiveTheSameDigest) {
  // Lengths around the block and padding boundaries.
  for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 200u}) {
    std::string bytes;
    for (size_t i = 0; i < length; i++) bytes += static_cast<char>(i * 7);
    for (const DigestKind* kind : {&kMD5Digest, &kSHA1Digest}) {
      const std::string whole = Hex(*kind, bytes);
      for (size_t piece : {1u, 3u, 63u, 64u, 65u}) EXPECT_EQ(Hex(*kind, bytes, piece), whole);
    }
  }
}

class DigestNatives : public ::testing::Test {
 protected:
  // The native on a descriptor: its text, or "error N" (the descriptor then
  // stays on the stack and is dropped).
  std::string OfDescriptor(int32_t fd, uintptr_t option) {
    PushRealScalar(ctx, fd);
    ErrCode e = DigestNative(ctx, 1, 1, option);
    if (e) {
      EXPECT_EQ(EntryCount(ctx), 1);
      Drop(ctx);
      return "error " + std::to_string(e);
    }
    std::string text = TopString(ctx);
    Drop(ctx);
    return text;
  }

  TestHost host{{.areaBytes = 1u << 20}};
  EngineContext* ctx = host.ctx();
};

TEST_F(DigestNatives, StringsAndByteArrays) {
  EXPECT_EQ(EvaluateToText(ctx, "md5('abc')"), "'900150983cd24fb0d6963f7d28e17f72'");
  EXPECT_EQ(EvaluateToText(ctx, "sha1('')"), "'da39a3ee5e6b4b0d3255bfef95601890afd80709'");
  EXPECT_EQ(EvaluateToText(ctx, "strcmp(md5(uint8([97 98 99])), md5('abc'))"), "true");
  EXPECT_EQ(EvaluateToText(ctx, "strcmp(sha1(char([353 354 355])), sha1('abc'))"), "true");
  EXPECT_EQ(EvaluateToText(ctx, "md5({1})"), "error 44");
}

TEST_F(DigestNatives, FilesLongerThanTheFreeStackAreReadInBlocks) {
  TestFileTable files(ctx);
  std::string contents;
  for (int i = 0; i < 3 << 20; i++) contents += static_cast<char>(i * 31 + (i >> 9));
  files.WriteFile("big", contents);
  int32_t fd = files.Open("big", "r");
  EXPECT_EQ(OfDescriptor(fd, 'm'), Hex(kMD5Digest, contents));
  EXPECT_EQ(OfDescriptor(fd, 's'), Hex(kSHA1Digest, ""));  // nothing remains
  fd = files.Open("big", "r");
  EXPECT_EQ(OfDescriptor(fd, 's'), Hex(kSHA1Digest, contents));
  // A break between blocks ends with 501 and no result.
  fd = files.Open("big", "r");
  host.ScriptBreaks({false, true});
  EXPECT_EQ(OfDescriptor(fd, 'm'), "error 501");
  EXPECT_EQ(OfDescriptor(fd + 1000, 'm'), "error 301");
}

}  // namespace
}  // namespace vke
