// Formatted text: conversions, cycling over array arguments, sprintf and
// fprintf, and the messages of error and warning.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>

#include "builtins/builtin.hpp"
#include "engine/image/engine_image.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/file_table.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_io.hpp"

namespace vke {
namespace {

using test::EntryCount;
using test::PopText;
using test::PushRow;
using test::TestHost;

// sprintf of the template and the n values already pushed above it.
std::string Sprintf(EngineContext* ctx, const char* tmpl, int32_t n = 0) {
  PushCString(ctx, -1, tmpl);
  RollStackEntries(ctx, n + 1, n);  // the template below its values
  EXPECT_EQ(SprintfBuiltin(ctx, n + 1, 1, 0), kOk) << tmpl;
  return PopText(ctx);
}

TEST(Sprintf, NumberConversions) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  struct Case {
    const char* tmpl;
    double value;
    const char* text;
  };
  const Case cases[] = {
      {"%f", std::numbers::pi, "3.1416"},
      {"%.2f", std::numbers::pi, "3.14"},
      {"%8.3e|", 12345, " 1.235e4|"},
      {"%05.1f", 2.5, "002.5"},
      {"%05d", 42, "   42"},  // zeros pad only the floating conversions
      {"%d", 2.5, "3"},
      {"%i", -2.5, "-2"},  // x + 0.5 rounded down
      {"%+d", 5, "+5"},
      {"%5.3d|", 7, "  007|"},
      {"%d", 3e9, "3000000000"},
      {"%d", 1.5e19, "15000000000000000000"},
      {"%d", 1e30, "1e30"},
      {"%d", INFINITY, "inf"},
      {"%x", -1, "-1"},
      {"%x", 255, "ff"},
      {"%#X", 255, "0xFF"},
      {"%x", 1099511627776.0, "10000000000"},
      {"%#o", 8, "010"},
      {"%o", 7.9, "7"},
  };
  for (const Case& c : cases) {
    PushRealScalar(ctx, c.value);
    EXPECT_EQ(Sprintf(ctx, c.tmpl, 1), c.text) << c.tmpl << " of " << c.value;
  }
  // 64-bit integers are written exactly.
  PushRow(ctx, "int64", {0, -5});
  Store<int64_t>(ViewNumeric(ctx, 0).elements, INT64_MAX);
  EXPECT_EQ(Sprintf(ctx, "%d %x", 1), "9223372036854775807 -5");
  PushRow(ctx, "uint64", {0, 0});
  Store<int64_t>(ViewNumeric(ctx, 0).elements, -1);
  Store<int64_t>(ViewNumeric(ctx, 0).elements + 8, -1);
  EXPECT_EQ(Sprintf(ctx, "%d %x", 1), "18446744073709551615 ffffffffffffffff");
  EXPECT_EQ(EntryCount(ctx), 0);
}

// %g with a precision of its own: that many significant digits, correctly
// rounded, against the table of scripts/significant_digits.py (ties,
// carries into a new digit, the switch to the exponent form, denormals).
TEST(Sprintf, GeneralFormWithAPrecisionGivesSignificantDigits) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const char* dir = std::getenv("VKE_TEST_DATA");
  ASSERT_NE(dir, nullptr);
  std::ifstream in(std::string(dir) + "/significant_digits.txt");
  ASSERT_TRUE(in.good());
  std::string line;
  int lines = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string value, text;
    int digits = 0;
    fields >> value >> digits >> text;
    PushRealScalar(ctx, std::strtod(value.c_str(), nullptr));
    const std::string tmpl = "%." + std::to_string(digits) + "g";
    EXPECT_EQ(Sprintf(ctx, tmpl.c_str(), 1), text) << tmpl << " of " << value;
    lines++;
  }
  EXPECT_GT(lines, 60);
  struct Case {
    const char* tmpl;
    double value;
    const char* text;
  };
  const Case cases[] = {
      {"%g", 0.99999999999971612, "1"},  // no precision: the display rule
      {"%g", 2.675, "2.675"},
      {"%10.3g|", -std::numbers::pi, "     -3.14|"},
      {"%-8.2g|", 1e-10, "1e-10   |"},
      {"%08.3g", -std::numbers::pi, "-0003.14"},
      {"%+.3g", 2.5, "+2.5"},
      {"% .2G", 1.5e-7, " 1.5E-7"},
      {"%#.3g", 1, "1.00"},
      {"%#.3g", 100, "100."},
      {"%.3g", INFINITY, "inf"},
      {"%.3G", -INFINITY, "-Inf"},
      {"%.5g", NAN, "nan"},
      {"%.3d", 1e30, "1e30"},  // other conversions keep their own rule
  };
  for (const Case& c : cases) {
    PushRealScalar(ctx, c.value);
    EXPECT_EQ(Sprintf(ctx, c.tmpl, 1), c.text) << c.tmpl << " of " << c.value;
  }
  // A precision past the digits a double holds ends in zeros.
  PushRealScalar(ctx, 0.1);
  EXPECT_EQ(Sprintf(ctx, "%#.60g", 1).size(), 62u);
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST(Sprintf, CharactersStringsAndWidths) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushCString(ctx, -1, "abc");
  EXPECT_EQ(Sprintf(ctx, "[%5s]", 1), "[  abc]");
  PushCString(ctx, -1, "abc");
  EXPECT_EQ(Sprintf(ctx, "[%-5s]", 1), "[abc  ]");
  PushCString(ctx, -1, "abcd");  // the whole string is used, two are shown
  PushCString(ctx, -1, "xy");
  EXPECT_EQ(Sprintf(ctx, "%.2s|", 2), "ab|xy|");
  PushRow(ctx, "double", {104, 105});
  EXPECT_EQ(Sprintf(ctx, "%c%3c", 1), "h  i");
  PushRow(ctx, "double", {65, 66});
  EXPECT_EQ(Sprintf(ctx, "%s", 1), "AB");
  PushCString(ctx, -1, "ab");
  EXPECT_EQ(Sprintf(ctx, "%d,", 1), "97,98,");
  PushRow(ctx, "double",
          {6, 2, std::numbers::pi});  // "*" takes width and precision from the values
  EXPECT_EQ(Sprintf(ctx, "[%*.*f]", 1), "[  3.14]");
}

TEST(Sprintf, TemplatesCycleOverTheValues) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {1, 2});
  PushRow(ctx, "double", {});
  PushRow(ctx, "int8", {3});
  EXPECT_EQ(Sprintf(ctx, "<%d>", 3), "<1><2><3>");
  // Text before a conversion without a value is kept, the rest is not.
  PushRow(ctx, "double", {1, 2, 3});
  EXPECT_EQ(Sprintf(ctx, "%d and %d.", 1), "1 and 2.3 and ");
  PushRow(ctx, "double", {1, 2});  // no conversion: written once
  EXPECT_EQ(Sprintf(ctx, "plain %q, 100%% sure, %5%", 1), "plain %q, 100% sure, %");
  EXPECT_EQ(EntryCount(ctx), 0);

  EXPECT_EQ(SprintfBuiltin(ctx, 0, 1, 0), kErrTooFewArgin);
  PushRealScalar(ctx, 42);
  EXPECT_EQ(SprintfBuiltin(ctx, 1, 1, 0), kErrBadArg);
  PushCString(ctx, -1, "%d %d");
  PushRealScalar(ctx, 1);
  PushListFromEntries(ctx, 1, false, "field", -1);
  EXPECT_EQ(SprintfBuiltin(ctx, 2, 1, 0), kErrWrongType);
  PushCString(ctx, -1, "%99999999d");  // more text than the data stack holds
  PushRealScalar(ctx, 1);
  EXPECT_EQ(SprintfBuiltin(ctx, 2, 1, 0), kErrDataOverflow);
  EXPECT_EQ(EntryCount(ctx), 5);
}

// A number that does not fit the room left fails for room (so that the host
// may grow the area and run it again); one that fits is written whole,
// never cut at the edge of the room.
TEST(Sprintf, ANumberAtTheEdgeOfTheRoomIsWholeOrRefused) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // The text of %.pe of 1: "1.", p zeros, "e0|", or the code.
  auto write = [&](int32_t p, std::string* text) -> ErrCode {
    const std::string tmpl = "%." + std::to_string(p) + "e|";
    PushCString(ctx, -1, tmpl.c_str());
    PushRealScalar(ctx, 1);
    const ErrCode e = SprintfBuiltin(ctx, 2, 1, 0);
    if (e) {
      Drop(ctx, 2);
      return e;
    }
    *text = PopText(ctx);
    return kOk;
  };
  // The largest precision that is written, between one that is and one
  // that cannot be.
  int32_t fits = 10, refused = static_cast<int32_t>(8ull * (ctx->dataCap - ctx->dataTop));
  std::string text;
  ASSERT_EQ(write(fits, &text), kOk);
  while (refused - fits > 1) {
    const int32_t p = fits + (refused - fits) / 2;
    (write(p, &text) == kOk ? fits : refused) = p;
  }
  for (int32_t p = fits - 8; p <= fits + 8; p++) {
    const ErrCode e = write(p, &text);
    if (e) {
      EXPECT_EQ(e, kErrDataOverflow) << p;
      continue;
    }
    EXPECT_EQ(text.size(), static_cast<size_t>(p) + 5) << p;
    EXPECT_EQ(text.substr(text.size() - 4), "0e0|") << p;
  }
  EXPECT_EQ(EntryCount(ctx), 0);
}

// The working row reserves half of the free data stack but writes only its
// text: the free space beyond it keeps what it held.
TEST(Sprintf, TheWorkingRowWritesOnlyItsText) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  uint8_t* free = ctx->DataBytes() + 8ull * ctx->dataTop;
  const uint64_t freeBytes = 8ull * (ctx->dataCap - ctx->dataTop);
  std::memset(free, 0xAB, freeBytes);
  PushRealScalar(ctx, 42);
  EXPECT_EQ(Sprintf(ctx, "%d|%s", 1), "42|");
  const auto changed = std::count_if(free, free + freeBytes, [](uint8_t b) { return b != 0xAB; });
  EXPECT_LT(changed, 256);
}

// A data stack of gigabytes reserves no more than a row holds, so that the
// text still fits after the area has grown.
TEST(Sprintf, AReservationIsAtMostOneRow) {
  constexpr uint64_t kBytes = 2ull << 30;  // reserved, backed only where touched
  void* big = ::mmap(nullptr, kBytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(big, MAP_FAILED);
  {
    TestHost host;
    std::memcpy(big, host.ctx(), 1u << 20);
    auto* ctx = static_cast<EngineContext*>(big);
    MakeContextAbsolute(ctx, static_cast<uint32_t>(kBytes - (1u << 16)), kErrDataOverflow);
    ASSERT_GT(8ull * (ctx->dataCap - ctx->dataTop) / 4, uint64_t{kMaxTypedElements});
    PushRealScalar(ctx, 42);
    EXPECT_EQ(Sprintf(ctx, "%d", 1), "42");
    EXPECT_EQ(EntryCount(ctx), 0);
  }
  ::munmap(big, kBytes);
}

TEST(Fprintf, LineEndsOfTheOutputAndByteCounts) {
  test::TestHostOptions options;
  options.lineEnd = 2;
  TestHost host(options);
  EngineContext* ctx = host.ctx();
  PushCString(ctx, -1, "a\n%s|%c");
  PushCString(ctx, -1, "b\nc");
  PushRealScalar(ctx, '\n');
  ASSERT_EQ(FprintfBuiltin(ctx, 3, 1, 0), kOk);
  EXPECT_EQ(host.Output(1), "a\r\nb\r\nc|\r\n");
  EXPECT_EQ(test::TopScalar(ctx), 10);
  Drop(ctx);
  PushCString(ctx, -1, "b\nc");
  PushRealScalar(ctx, '\n');
  EXPECT_EQ(Sprintf(ctx, "a\n%s|%c", 2), "a\nb\nc|\n");  // sprintf never translates

  PushRealScalar(ctx, 2);
  PushCString(ctx, -1, "e%d");
  PushRealScalar(ctx, 7);
  ASSERT_EQ(FprintfBuiltin(ctx, 3, -1, 0), kOk);  // a statement leaves no value
  EXPECT_EQ(host.Output(2), "e7");
  EXPECT_TRUE(DescAt(ctx, 0)->flags & kFlagNoValue);
  Drop(ctx);
  EXPECT_EQ(EntryCount(ctx), 0);

  // The text is converted with the context's encoder before it is counted.
  ctx->encodeChar = &AppendUtf8CharCodec;
  host.ClearOutput();
  PushCString(ctx, -1, "%c");
  PushRealScalar(ctx, 0xE9);
  ASSERT_EQ(FprintfBuiltin(ctx, 2, 1, 0), kOk);
  EXPECT_EQ(test::TopScalar(ctx), 2);
  EXPECT_EQ(host.Output(1), "\xC3\xA9");
}

TEST(Fprintf, DescriptorsAndTheirErrors) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  test::TestFileTable files(ctx);
  PushRealScalar(ctx, files.Open("out.txt", "w"));
  PushCString(ctx, -1, "%d-%d\n");
  PushRow(ctx, "double", {1, 2, 3, 4});
  ASSERT_EQ(FprintfBuiltin(ctx, 3, 0, 0), kOk);
  EXPECT_EQ(files.ReadFile("out.txt"), "1-2\n3-4\n");
  EXPECT_EQ(EntryCount(ctx), 0);

  PushRealScalar(ctx, files.Open("out.txt", "r"));
  PushCString(ctx, -1, "text");
  EXPECT_EQ(FprintfBuiltin(ctx, 2, 0, 0), kErrIoErr);  // a failed write
  PushRow(ctx, "double", {1, 2});
  PushCString(ctx, -1, "text");
  EXPECT_EQ(FprintfBuiltin(ctx, 2, 0, 0), kErrNonScalarArg);
  PushRealScalar(ctx, 1);
  EXPECT_EQ(FprintfBuiltin(ctx, 1, 0, 0), kErrTooFewArgin);
  EXPECT_EQ(EntryCount(ctx), 5);
}

TEST(ErrorBuiltin, MessagesFormattedWithValues) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushCString(ctx, -1, "my:id");
  PushCString(ctx, -1, "x is %d (%s)");
  PushRealScalar(ctx, 5);
  PushCString(ctx, -1, "big");
  const ErrCode code = ErrorOrWarningBuiltin(ctx, 4, 0, 0);
  EXPECT_LT(code, 0);
  const char* text;
  ASSERT_TRUE(ReadErrorBlock(ctx, ctx->pendingError, nullptr, &text, nullptr));
  EXPECT_STREQ(text, "x is 5 (big)");
  PushCString(ctx, -1, "%d%% done");
  PushRealScalar(ctx, 50);
  EXPECT_EQ(ErrorOrWarningBuiltin(ctx, 2, 0, 1), kOk);
  EXPECT_EQ(host.Output(2), "50% done\n");
  EXPECT_EQ(EntryCount(ctx), 0);
}

}  // namespace
}  // namespace vke
