// Base64: the RFC 4648 vectors both ways, line breaks every 60 characters,
// lenient decoding, decoding that stops at the end of its text, and the two
// natives over strings and byte arrays.
#include "builtins/base64.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

std::string Encode(const std::string& bytes) {
  std::vector<char> out(2 * bytes.size() + 8);
  int64_t length = -1;
  EXPECT_EQ(Base64Encode(reinterpret_cast<const uint8_t*>(bytes.data()),
                         static_cast<int64_t>(bytes.size()), out.data(),
                         static_cast<int64_t>(out.size()), &length),
            kOk);
  return std::string(out.data(), static_cast<size_t>(length));
}

// The text is copied into a buffer of its exact size, so that the sanitizer
// sees any read beyond it.
std::string Decode(const std::string& text) {
  auto exact = std::make_unique<char[]>(text.size());
  std::copy(text.begin(), text.end(), exact.get());
  std::vector<uint8_t> out(text.size() + 3);
  int64_t length = -1;
  EXPECT_EQ(Base64Decode(exact.get(), static_cast<int64_t>(text.size()), out.data(),
                         static_cast<int64_t>(out.size()), &length),
            kOk);
  return std::string(out.begin(), out.begin() + length);
}

TEST(Base64, StandardVectorsBothWays) {
  const char* vectors[][2] = {{"", ""},
                              {"f", "Zg=="},
                              {"fo", "Zm8="},
                              {"foo", "Zm9v"},
                              {"foob", "Zm9vYg=="},
                              {"fooba", "Zm9vYmE="},
                              {"foobar", "Zm9vYmFy"}};
  for (const auto& v : vectors) {
    EXPECT_EQ(Encode(v[0]), v[1]);
    EXPECT_EQ(Decode(v[1]), v[0]);
  }
  std::string all;
  for (int c = 0; c < 256; c++) all += static_cast<char>(c);
  EXPECT_EQ(Decode(Encode(all)), all);
}

TEST(Base64, LinesOfSixtyWithoutAFinalLineEnd) {
  const std::string text = Encode(std::string(46, 'x'));
  ASSERT_EQ(text.size(), 65u);
  EXPECT_EQ(text.find('\n'), 60u);
  EXPECT_EQ(Encode(std::string(45, 'x')).size(), 60u);
  EXPECT_EQ(Encode(std::string(90, 'x')).size(), 121u);
  // Exactly the room needed is enough, one byte less is not.
  std::vector<char> out(65);
  int64_t length = 0;
  const std::string bytes(46, 'x');
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  EXPECT_EQ(Base64Encode(p, 46, out.data(), 65, &length), kOk);
  EXPECT_EQ(Base64Encode(p, 46, out.data(), 64, &length), kErrDataOverflow);
}

TEST(Base64, DecodingSkipsSeparatorsAndStopsAtTheEnd) {
  EXPECT_EQ(Decode(" Zm\n9v\r\n\tYm Fy "), "foobar");
  EXPECT_EQ(Decode("Zm9v\n"), "foo");
  EXPECT_EQ(Decode("Zm9v  \n\n"), "foo");
  // Cut-off last groups: 2 and 3 characters give 1 and 2 bytes, 1 none.
  EXPECT_EQ(Decode("Zm9vYg"), "foob");
  EXPECT_EQ(Decode("Zm9vYmE"), "fooba");
  EXPECT_EQ(Decode("Zm9vY"), "foo");
  EXPECT_EQ(Decode("Zm9vYg\n"), "foob");
  // A padded group ends the decoding.
  EXPECT_EQ(Decode("Zg==Zm9v"), "f");
  // Characters of the range outside the alphabet read as 63.
  EXPECT_EQ(Decode("::::"), Decode("////"));
  std::vector<uint8_t> out(2);
  int64_t length = 0;
  EXPECT_EQ(Base64Decode("Zm9v", 4, out.data(), 2, &length), kErrDataOverflow);
}

TEST(Base64, CoreDecodesOneGroupAtATime) {
  const std::string text = "Zm9v\nYmE=";
  int64_t position = 0;
  uint8_t group[3];
  int32_t count = -1;
  Base64DecodeCore(text.data(), 9, &position, group, &count);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(position, 4);
  Base64DecodeCore(text.data(), 9, &position, group, &count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(position, 9);
  Base64DecodeCore(text.data(), 9, &position, group, &count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(position, 9);
}

TEST(Base64, NativesTakeStringsAndByteArrays) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  EXPECT_EQ(EvaluateToText(ctx, "base64encode('foobar')"), "'Zm9vYmFy'");
  EXPECT_EQ(EvaluateToText(ctx, "base64encode(uint8([102 111 111]))"), "'Zm9v'");
  EXPECT_EQ(EvaluateToText(ctx, "base64encode(char(358))"), "'Zg=='");  // the low byte
  EXPECT_EQ(EvaluateToText(ctx, "base64decode(['Zm9v' char(10)])"), "'foo'");
  EXPECT_EQ(EvaluateToText(ctx, "base64decode('')"), "''");
  EXPECT_EQ(EvaluateToText(ctx, "double(base64decode(base64encode(uint8([0 255 128]))))"),
            "[0,255,128]");
  EXPECT_EQ(EvaluateToText(ctx, "size(base64encode(char(ones(1, 46) * 65)))"), "[1,65]");
  EXPECT_EQ(EvaluateToText(ctx, "base64encode({1})"), "error 44");
}

}  // namespace
}  // namespace vke
