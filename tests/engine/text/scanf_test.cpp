// Formatted reading: sscanf over strings and fscanf over lines of real files.
#include <gtest/gtest.h>

#include "builtins/builtin.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/file_table.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_io.hpp"

namespace vke {
namespace {

using test::EntryCount;
using test::PopNumbers;
using test::TestHost;
using test::TopScalar;

struct Scanned {
  std::vector<double> values;
  bool isChar = false;
  double count = -1;
  double position = -1;
};

// Takes the outputs of a scan from the stack: the values on top, then the
// count and the position as far as they were asked for.
Scanned PopScanned(EngineContext* ctx, int32_t nargout) {
  Scanned s;
  s.isChar = ViewNumeric(ctx, 0).cls == ValueClass::kChar;
  s.values = PopNumbers(ctx);
  if (nargout >= 2) s.count = PopNumbers(ctx).at(0);
  if (nargout >= 3) s.position = PopNumbers(ctx).at(0);
  return s;
}

Scanned Sscanf(EngineContext* ctx, const char* text, const char* tmpl) {
  PushCString(ctx, -1, text);
  PushCString(ctx, -1, tmpl);
  EXPECT_EQ(SscanfBuiltin(ctx, 2, 3, 0), kOk) << text << " with " << tmpl;
  return PopScanned(ctx, 3);
}

TEST(Sscanf, ConversionsAndTheirValues) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  struct Case {
    const char* text;
    const char* tmpl;
    std::vector<double> values;
    double count, position;
  };
  const Case cases[] = {
      {"3 4 5", "%d", {3, 4, 5}, 3, 5},
      {"12 ab", "%d %s", {12, 97, 98}, 2, 5},
      {"1 2", "%*d %d", {2}, 2, 3},
      {"0x1F", "%i", {31}, 1, 4},
      {"017", "%i", {15}, 1, 3},
      {"0b101", "%i", {5}, 1, 5},
      {"-12 +7", "%i", {-12, 7}, 2, 6},
      {"ff 17", "%x %o", {255, 15}, 2, 5},
      {"-1.5e3 .25 7", "%f", {-1500, 0.25, 7}, 3, 12},
      {"2e", "%g%c", {2, 'e'}, 2, 2},
      {"12345", "%3d", {123, 45}, 2, 5},
      {"50% off", "%d%%", {50}, 1, 4},  // the failing second pass skipped a blank
      {"a=5 b=6", "a=%d", {5}, 1, 3},   // the second pass fails at the blank
      {"\t 8", " %d", {8}, 1, 3},
      {"x", "%d", {}, 0, 0},
      {"abc", "", {}, 0, 0},
      {"abc", "%q", {}, 0, 0},  // unknown conversions read nothing
      {"abc", "x%qy", {}, 0, 0},
      {"abc", " ", {}, 0, 0},  // a pass that consumes nothing ends the scan
      {"  x", "\t", {}, 0, 2},
  };
  for (const Case& c : cases) {
    const Scanned s = Sscanf(ctx, c.text, c.tmpl);
    EXPECT_EQ(s.values, c.values) << c.text << " with " << c.tmpl;
    EXPECT_FALSE(s.isChar) << c.text << " with " << c.tmpl;
    EXPECT_EQ(s.count, c.count) << c.text << " with " << c.tmpl;
    EXPECT_EQ(s.position, c.position) << c.text << " with " << c.tmpl;
  }
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST(Sscanf, CharactersMakeACharRow) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  Scanned s = Sscanf(ctx, "abc", "%s");
  EXPECT_TRUE(s.isChar);
  EXPECT_EQ(s.values, (std::vector<double>{'a', 'b', 'c'}));
  s = Sscanf(ctx, "a b", "%c");
  EXPECT_TRUE(s.isChar);
  EXPECT_EQ(s.values, (std::vector<double>{'a', ' ', 'b'}));
  s = Sscanf(ctx, "hello world", "%2s%*s");
  EXPECT_EQ(s.values, (std::vector<double>{'h', 'e', 'w', 'o'}));
  EXPECT_EQ(s.count, 4);

  // One output gives the values alone; both arguments must be text.
  PushCString(ctx, -1, "7");
  PushCString(ctx, -1, "%d");
  ASSERT_EQ(SscanfBuiltin(ctx, 2, 1, 0), kOk);
  EXPECT_EQ(PopNumbers(ctx), std::vector<double>{7});
  PushCString(ctx, -1, "1");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(SscanfBuiltin(ctx, 2, 1, 0), kErrBadArg);
  PushCString(ctx, -1, "%d");
  EXPECT_EQ(SscanfBuiltin(ctx, 2, 1, 0), kErrBadArg);
  EXPECT_EQ(EntryCount(ctx), 3);
}

TEST(Fscanf, OneLineAtATime) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  test::TestFileTable files(ctx);
  files.WriteFile("data.txt", "1 2 3\nword\n");
  const int32_t fd = files.Open("data.txt", "r");
  PushRealScalar(ctx, fd);
  PushCString(ctx, -1, "%d");
  ASSERT_EQ(FscanfBuiltin(ctx, 2, 2, 0), kOk);
  const Scanned first = PopScanned(ctx, 2);
  EXPECT_EQ(first.values, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(first.count, 3);
  PushRealScalar(ctx, fd);
  PushCString(ctx, -1, "%s");
  ASSERT_EQ(FscanfBuiltin(ctx, 2, 1, 0), kOk);
  EXPECT_EQ(test::PopText(ctx), "word");  // without the line end
  EXPECT_EQ(EntryCount(ctx), 0);

  // A line that is still arriving is read on when the call comes again.
  const int32_t pipe = files.OpenPipe();
  files.FeedPipe(pipe, "4 ");
  PushRealScalar(ctx, pipe);
  PushCString(ctx, -1, "%d");
  ASSERT_EQ(FscanfBuiltin(ctx, 2, 1, 0), kStatusRetry);
  files.FeedPipe(pipe, "5\n");
  ASSERT_EQ(FscanfBuiltin(ctx, 2, 1, 0), kOk);
  EXPECT_EQ(PopNumbers(ctx), (std::vector<double>{4, 5}));
  EXPECT_EQ(EntryCount(ctx), 0);

  PushRealScalar(ctx, fd);
  PushRealScalar(ctx, 3);
  EXPECT_EQ(FscanfBuiltin(ctx, 2, 1, 0), kErrBadArg);
  EXPECT_EQ(EntryCount(ctx), 2);
}

}  // namespace
}  // namespace vke
