// Text encodings and string helpers: UTF-8 both ways, the utf8encode and
// utf8decode natives, host output text, and the bounded 8-bit helpers.
#include "engine/text/text.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

std::vector<uint16_t> Chars(EngineContext* ctx) {
  NumericView v = ViewNumeric(ctx, 0);
  EXPECT_EQ(v.cls, ValueClass::kChar);
  std::vector<uint16_t> out(v.shape.count);
  for (int32_t i = 0; i < v.shape.count; i++) out[i] = Load<uint16_t>(v.elements + 2 * i);
  return out;
}

std::vector<uint8_t> Bytes(EngineContext* ctx) {
  NumericView v = ViewNumeric(ctx, 0);
  EXPECT_EQ(v.code, kCodeUInt8);
  return std::vector<uint8_t>(v.elements, v.elements + v.shape.count);
}

void PushBytes(EngineContext* ctx, const std::vector<uint8_t>& bytes, bool isUnsigned = true) {
  const int32_t dims[2] = {1, static_cast<int32_t>(bytes.size())};
  void* data;
  ASSERT_EQ(PushNewTypedArray(ctx, 2, dims, 1, isUnsigned, &data), kOk);
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
}

TEST(Utf8, AppendNeedsThreeFreeBytes) {
  uint8_t buf[8];
  int32_t pos = 0;
  EXPECT_TRUE(AppendUtf8Char(buf, &pos, 0xD800, 3));  // surrogates are encoded as they are
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + pos), (std::vector<uint8_t>{0xED, 0xA0, 0x80}));
  pos = 0;
  EXPECT_FALSE(AppendUtf8Char(buf, &pos, 'a', 2));
  EXPECT_EQ(pos, 0);
}

TEST(Utf8Natives, EncodeCharsToBytes) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const uint16_t text[] = {0x41, 0xE9, 0x20AC};
  ASSERT_EQ(PushWideString(ctx, 3, text), kOk);
  ASSERT_EQ(Utf8EncodeNative(ctx, 1, 1, 0), kOk);
  EXPECT_EQ(Bytes(ctx), (std::vector<uint8_t>{0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}));
  EXPECT_EQ(test::EntryCount(ctx), 1);
  Drop(ctx);
  // No characters give the 1 x 0 row of no bytes.
  ASSERT_EQ(PushCString(ctx, 0, ""), kOk);
  ASSERT_EQ(Utf8EncodeNative(ctx, 1, 1, 0), kOk);
  EXPECT_TRUE(Bytes(ctx).empty());
  const NumericView none = ViewNumeric(ctx, 0);
  EXPECT_EQ(none.cls, ValueClass::kInteger);
  EXPECT_EQ(none.code, kCodeUInt8);
  EXPECT_EQ(none.shape.ndims, 2);
  EXPECT_EQ(none.shape.dims[0], 1);
  EXPECT_EQ(none.shape.dims[1], 0);
  Drop(ctx);
  PushRealScalar(ctx, 65);
  EXPECT_EQ(Utf8EncodeNative(ctx, 1, 1, 0), kErrWrongTypeOverload);
  EXPECT_EQ(test::EntryCount(ctx), 1);
}

TEST(Utf8Natives, EncodedOutputLargerThanTheFreeSpace) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  uint32_t freeBytes;
  GetDataStackFree(ctx, &freeBytes, nullptr);
  // Half of the free space in 3-byte characters needs 1.5 times that again.
  int32_t n = static_cast<int32_t>(freeBytes / 4);
  uint16_t* chars;
  ASSERT_EQ(PushNewCharRow(ctx, n, &chars), kOk);
  for (int32_t i = 0; i < n; i++) chars[i] = 0x20AC;
  EXPECT_EQ(Utf8EncodeNative(ctx, 1, 1, 0), kErrDataOverflow);
  EXPECT_EQ(test::EntryCount(ctx), 1);
}

TEST(Utf8Natives, DecodeBytesToChars) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushBytes(ctx, {0xC3, 0xA9, 0x41});
  ASSERT_EQ(Utf8DecodeNative(ctx, 1, 1, 0), kOk);
  EXPECT_EQ(Chars(ctx), (std::vector<uint16_t>{0xE9, 'A'}));
  Drop(ctx);
  // Bytes that start no 1- to 3-byte character are skipped: a lone
  // continuation, a 4-byte sequence, a lead byte cut off by the end.
  for (const auto& bytes :
       {std::vector<uint8_t>{0x80}, std::vector<uint8_t>{0xF0, 0x9F, 0x98, 0x80},
        std::vector<uint8_t>{0xE2, 0x82}, std::vector<uint8_t>{}}) {
    PushBytes(ctx, bytes);
    ASSERT_EQ(Utf8DecodeNative(ctx, 1, 1, 0), kOk);
    EXPECT_TRUE(Chars(ctx).empty());
    Drop(ctx);
  }
  // Signed bytes are accepted; overlong forms are not refused.
  PushBytes(ctx, {0xE2, 0x82, 0xAC, 0xE2, 0x41, 0xC0, 0x80}, false);
  ASSERT_EQ(Utf8DecodeNative(ctx, 1, 1, 0), kOk);
  EXPECT_EQ(Chars(ctx), (std::vector<uint16_t>{0x20AC, 'A', 0}));
  Drop(ctx);
  const int32_t dims[2] = {1, 1};
  uint8_t* truth;
  ASSERT_EQ(PushLogicalArray(ctx, 2, dims, &truth), kOk);
  truth[0] = 1;
  ASSERT_EQ(Utf8DecodeNative(ctx, 1, 1, 0), kOk);
  EXPECT_EQ(Chars(ctx), (std::vector<uint16_t>{1}));
  Drop(ctx);
  PushCString(ctx, -1, "ab");
  EXPECT_EQ(Utf8DecodeNative(ctx, 1, 1, 0), kErrWrongTypeOverload);
  Drop(ctx);
  void* wide;
  ASSERT_EQ(PushNewTypedArray(ctx, 2, dims, 2, true, &wide), kOk);
  EXPECT_EQ(Utf8DecodeNative(ctx, 1, 1, 0), kErrWrongTypeOverload);
}

std::u16string U(const char* s) {
  std::u16string out;
  for (; *s; s++) out += static_cast<char16_t>(static_cast<uint8_t>(*s));
  return out;
}

struct Encoded {
  bool fitted;
  std::string text;
  bool operator==(const Encoded&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const Encoded& e) {
    return os << (e.fitted ? "fitted " : "cut ") << testing::PrintToString(e.text);
  }
};

// Converts text into a buffer of the given size (followed by guard bytes);
// in place, the 16-bit text lies in the output buffer itself.
Encoded Encode(EngineContext* ctx, int32_t mode, const std::u16string& text, int32_t size,
               bool inPlace = false) {
  std::vector<uint8_t> buf(size + 8, '#');
  const void* source = text.data();
  if (inPlace) source = std::memcpy(buf.data(), text.data(), 2 * text.size());
  int32_t n = -1;
  bool ok = EncodeOutputText(ctx, mode, static_cast<const uint16_t*>(source),
                             static_cast<int32_t>(text.size()), buf.data(), size, &n);
  EXPECT_EQ(buf[n], 0);
  for (int32_t i = size; i < size + 8; i++) EXPECT_EQ(buf[i], '#');
  return {ok, std::string(reinterpret_cast<char*>(buf.data()), n)};
}

Encoded EncodeInPlace(EngineContext* ctx, int32_t mode, const std::u16string& text, int32_t size) {
  return Encode(ctx, mode, text, size, true);
}

TEST(EncodeOutputText, LineEndsAndNarrowingWithoutEncoder) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  EXPECT_EQ(Encode(ctx, kLineEndCRLF, U("a\nb"), 16), (Encoded{true, "a\r\nb"}));
  EXPECT_EQ(Encode(ctx, kLineEndLF, U("a\nb"), 16), (Encoded{true, "a\nb"}));
  EXPECT_EQ(Encode(ctx, kLineEndCR, U("a\nb"), 16), (Encoded{true, "a\rb"}));
  EXPECT_EQ(Encode(ctx, kLineEndCR, u"\u20AC", 16), (Encoded{true, "\xAC"}));
  EXPECT_EQ(Encode(ctx, kLineEndLF, U("abcdef"), 4), (Encoded{false, "abc"}));
  EXPECT_EQ(Encode(ctx, kLineEndLF, U("abc"), 4), (Encoded{true, "abc"}));
  EXPECT_EQ(Encode(ctx, kLineEndCRLF, U("ab\n"), 4), (Encoded{false, "ab"}));
  EXPECT_EQ(EncodeInPlace(ctx, kLineEndCRLF, U("x\ny\n"), 8), (Encoded{true, "x\r\ny\r\n"}));
}

TEST(EncodeOutputText, ThroughTheEncoder) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  SetTextEncoding(ctx, 'u');
  EXPECT_EQ(Encode(ctx, kLineEndCRLF, u"\u00E9\n\u20AC", 32),
            (Encoded{true, "\xC3\xA9\r\n\xE2\x82\xAC"}));
  // Conversion stops once fewer than 5 bytes remain.
  EXPECT_EQ(Encode(ctx, kLineEndLF, U("abcdefgh"), 8), (Encoded{false, "abcd"}));
  EXPECT_EQ(EncodeInPlace(ctx, kLineEndCRLF, u"a\u20AC\nb", 40),
            (Encoded{true, "a\xE2\x82\xAC\r\nb"}));
  // In place the text is first cut to size / 2 - 5 characters.
  EXPECT_EQ(EncodeInPlace(ctx, kLineEndLF, U("0123456789ab"), 24), (Encoded{false, "0123456"}));
  // Expanding characters stop 4 bytes before the next unread character.
  std::string sevenEuros;
  for (int i = 0; i < 7; i++) sevenEuros += "\xE2\x82\xAC";
  EXPECT_EQ(EncodeInPlace(ctx, kLineEndLF, std::u16string(10, u'\u20AC'), 30),
            (Encoded{false, sevenEuros}));
  EXPECT_TRUE(EncodeInPlace(ctx, kLineEndLF, std::u16string(7, u'\u20AC'), 24).fitted);
}

TEST(StringHelpers, FoldingSearchAndBoundedCopies) {
  EXPECT_TRUE(StringsEqual("ABC", -1, "abc", 3, true));
  EXPECT_FALSE(StringsEqual("[", -1, "{", -1, true));  // only A-Z fold
  EXPECT_FALSE(StringsEqual("ab", 2, "abc", 3, false));
  EXPECT_TRUE(StringsEqual("abX", 2, "ab", -1, false));
  EXPECT_EQ(FindSubstring("hello", -1, "", -1), 0);
  EXPECT_EQ(FindSubstring("hello", 4, "llo", -1), -1);
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  CopyCStringBounded(buf, 4, "abcdef", -1);
  EXPECT_EQ(std::string(buf, 5), "abcd#");  // full: no NUL
  // One byte more than the copy may touch: the optimiser's overflow check
  // does not follow the copy's bound (the NUL goes only below it) once the
  // copy is inlined, and would take the full copy to write past the array.
  char overlap[8] = "012345";
  CopyCStringBounded(overlap + 1, 6, overlap, -1);
  EXPECT_EQ(std::string(overlap, 7), std::string("0012345"));
  int32_t pos = 0;
  EXPECT_STREQ(AppendCString(buf, &pos, "abcdefghij", 8), "hij");  // one byte kept free
  pos = 5;
  EXPECT_EQ(AppendBytes(buf, &pos, "XYZ", 3, 8), 2);
  pos = 6;
  EXPECT_EQ(AppendRepeatedByte(buf, &pos, '-', 5, 8), 2);
  EXPECT_EQ(std::string(buf, 8), "abcdeX--");
}

}  // namespace
}  // namespace vke
