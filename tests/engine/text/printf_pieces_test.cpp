// fprintf's text written piece by piece while it is formed: the bytes and
// counts of the whole text, a text larger than the engine's area, a value
// that fails part-way, a descriptor whose write fails once, and a number
// that would end at the edge of the room.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builtins/builtin.hpp"
#include "engine/errors/errors.hpp"
#include "engine/fast_forms.hpp"
#include "engine/files/fd.hpp"
#include "engine/registry/native_record.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"
#include "tests/host/file_table.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_io.hpp"

namespace vke {
namespace {

using test::EntryCount;
using test::PushRow;
using test::TestHost;

std::vector<double> Counting(int n) {
  std::vector<double> values(n);
  for (int i = 0; i < n; i++) values[i] = i + 1;
  return values;
}

// What fprintf writes to descriptor 1 (the hook's line ends CR LF, UTF-8
// encoding) and to a file, with the counts it gives, in a text of many
// pieces.
struct Written {
  std::string console, file;
  double consoleCount = 0, fileCount = 0;
};

Written WriteBoth(bool fast) {
  SetFastForms(fast);
  test::TestHostOptions options;
  options.lineEnd = 2;
  options.areaBytes = 8u << 20;  // room for the whole text as well
  TestHost host(options);
  EngineContext* ctx = host.ctx();
  ctx->encodeChar = &AppendUtf8CharCodec;
  test::TestFileTable files(ctx);
  Written w;

  PushCString(ctx, -1, "%5d %.3f \xE9\n");
  PushRow(ctx, "double", Counting(20000));
  EXPECT_EQ(FprintfBuiltin(ctx, 2, 1, 0), kOk);
  w.consoleCount = test::TopScalar(ctx);
  Drop(ctx);

  PushRealScalar(ctx, files.Open("out.txt", "w"));
  PushCString(ctx, -1, "%s|%c\n");
  std::vector<double> chars;
  for (int i = 0; i < 30000; i++) chars.push_back(i % 7 == 0 ? '\n' : i % 5 == 0 ? 0x3A9 : 'a');
  PushRow(ctx, "char", chars);
  PushRow(ctx, "double", {0x20AC, 'z'});
  EXPECT_EQ(FprintfBuiltin(ctx, 4, 1, 0), kOk);
  w.fileCount = test::TopScalar(ctx);
  Drop(ctx);
  EXPECT_EQ(EntryCount(ctx), 0);
  w.console = host.Output(1);
  w.file = files.ReadFile("out.txt");
  SetFastForms(true);
  return w;
}

TEST(FprintfPieces, GiveTheBytesAndCountsOfTheWholeText) {
  const Written whole = WriteBoth(false);
  const Written pieces = WriteBoth(true);
  EXPECT_EQ(pieces.console, whole.console);
  EXPECT_EQ(pieces.file, whole.file);
  EXPECT_EQ(pieces.consoleCount, whole.consoleCount);
  EXPECT_EQ(pieces.fileCount, whole.fileCount);
  // Many pieces' worth, converted and with the console's line ends.
  EXPECT_EQ(pieces.consoleCount, static_cast<double>(pieces.console.size()));
  EXPECT_GT(pieces.console.size(), 150000u);
  EXPECT_EQ(pieces.console.substr(0, 16), "    1 2.000 \xC3\xA9\r\n");
  EXPECT_EQ(pieces.fileCount, static_cast<double>(pieces.file.size()));
  EXPECT_EQ(pieces.file.substr(0, 4), "\r\naa");
  EXPECT_NE(pieces.file.find("\xCE\xA9"), std::string::npos);
  EXPECT_EQ(pieces.file.substr(pieces.file.size() - 8), "|\xE2\x82\xAC\r\nz|");
}

// The text of three megabytes goes out through an area of one: only the
// whole text needs the room.
TEST(FprintfPieces, ATextLargerThanTheAreaIsWritten) {
  for (const bool fast : {true, false}) {
    SetFastForms(fast);
    TestHost host;
    EngineContext* ctx = host.ctx();
    test::TestFileTable files(ctx);
    PushRealScalar(ctx, files.Open("big.txt", "w"));
    PushCString(ctx, -1, "%1000d\n");
    PushRow(ctx, "double", Counting(3000));
    const ErrCode e = FprintfBuiltin(ctx, 3, 1, 0);
    SetFastForms(true);
    const std::string text = files.ReadFile("big.txt");
    if (!fast) {
      EXPECT_EQ(e, kErrDataOverflow);
      EXPECT_EQ(text, "");
      continue;
    }
    ASSERT_EQ(e, kOk);
    EXPECT_EQ(test::TopScalar(ctx), 3003000);
    ASSERT_EQ(text.size(), 3003000u);
    EXPECT_EQ(text.substr(1000 * 1001 - 5, 1006), "1000\n" + std::string(996, ' ') + "1001\n");
  }
}

// A value that cannot be formatted fails the call before any text is
// written, however much text the values before it make.
TEST(FprintfPieces, AValueThatFailsPartWayLeavesNothingWritten) {
  test::TestHostOptions options;
  options.areaBytes = 8u << 20;
  TestHost host(options);
  EngineContext* ctx = host.ctx();
  test::TestFileTable files(ctx);
  PushRealScalar(ctx, files.Open("out.txt", "w"));
  PushCString(ctx, -1, "%d\n");
  PushRow(ctx, "double", Counting(20000));
  PushRealScalar(ctx, 1);
  PushListFromEntries(ctx, 1, false, "field", -1);
  EXPECT_EQ(FprintfBuiltin(ctx, 4, 1, 0), kErrWrongType);
  EXPECT_EQ(files.ReadFile("out.txt"), "");
  EXPECT_EQ(EntryCount(ctx), 4);
}

// A descriptor whose write fails once, at the call given: what it took
// before, and the calls it got.
struct FailingOnce {
  int32_t fd = 0;
  int32_t failAt = 0;
  int32_t calls = 0;
  std::string taken;

  static ErrCode Write(EngineContext*, int32_t fd, const char* bytes, int32_t n, uintptr_t self) {
    auto* sink = reinterpret_cast<FailingOnce*>(self);
    if (fd != sink->fd) return kErrBadFileID;
    if (++sink->calls == sink->failAt) return kErrIoErr;
    sink->taken.append(bytes, static_cast<size_t>(n));
    return kOk;
  }
};

// The failed piece ends the text: fprintf gives the failure, and the pieces
// after it, which the descriptor would take, are not written.
TEST(FprintfPieces, AWriteThatFailsOnceEndsTheText) {
  test::TestHostOptions options;
  options.areaBytes = 8u << 20;
  TestHost host(options);
  EngineContext* ctx = host.ctx();
  FailingOnce sink;
  sink.fd = AllocateFdRange(ctx, 1);
  const NativeFunctionRecord table[] = {
      MakeRecord("@failingonce"),
      MakeRecord("+write", &FailingOnce::Write, 0, 0, 0, 0, reinterpret_cast<uintptr_t>(&sink)),
      MakeRecord(""),
  };
  ASSERT_EQ(RegisterLibrary(ctx, table, true), kOk);
  auto write = [&] {
    PushRealScalar(ctx, sink.fd);
    PushCString(ctx, -1, "%7d\n");
    PushRow(ctx, "double", Counting(20000));
    return FprintfBuiltin(ctx, 3, 1, 0);
  };
  ASSERT_EQ(write(), kOk);
  const std::string whole = sink.taken;
  Drop(ctx);
  ASSERT_GT(sink.calls, 3);  // pieces enough to fail in the middle
  for (const int32_t failAt : {1, 2, 3}) {
    SCOPED_TRACE(failAt);
    sink.failAt = failAt;
    sink.calls = 0;
    sink.taken.clear();
    EXPECT_EQ(write(), kErrIoErr);
    EXPECT_EQ(sink.calls, failAt);
    EXPECT_EQ(whole.compare(0, sink.taken.size(), sink.taken), 0);
    Drop(ctx, EntryCount(ctx));
  }
}

// With the text before it ending anywhere near the end of the room, a
// number is written whole or the call fails for room (the area then grows
// and the call runs again): a number cut short at the edge is never taken,
// by sprintf or by fprintf, whose pieces before it are whole.
TEST(FprintfPieces, ANumberAtTheEdgeOfTheRoomIsWholeOrAsksForRoom) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  constexpr uint32_t kSpareUnits = 16;  // 32 characters of text
  for (const char* format : {"%e", "%g", "%.9e", "%12.3g", "%E", "%d"}) {
    for (const double value : {123456.789, -1.5e-300, 7.0, 2.5e18}) {
      PushCString(ctx, -1, format);
      PushRealScalar(ctx, value);
      ASSERT_EQ(SprintfBuiltin(ctx, 2, 1, 0), kOk);
      const std::string number = test::TopString(ctx);
      Drop(ctx);
      int32_t whole = 0, refused = 0;
      for (int32_t before = 0; before <= 2 * int32_t{kSpareUnits}; before++) {
        SCOPED_TRACE(std::string(format) + " after " + std::to_string(before));
        const std::string text = std::string(before, 'x') + number;
        for (const bool toFile : {false, true}) {
          host.ClearOutput();
          PushCString(ctx, -1, (std::string(before, 'x') + format).c_str());
          PushRealScalar(ctx, value);
          const uint32_t capacity = ctx->dataCap;
          ctx->dataCap = ctx->dataTop + kSpareUnits;
          const ErrCode e = toFile ? FprintfBuiltin(ctx, 2, 0, 0) : SprintfBuiltin(ctx, 2, 1, 0);
          ctx->dataCap = capacity;
          const std::string written = host.Output(1);
          if (e == kOk) {
            EXPECT_EQ(toFile ? written : test::TopString(ctx), text);
            whole++;
          } else {
            EXPECT_EQ(e, kErrDataOverflow);
            EXPECT_EQ(text.compare(0, written.size(), written), 0) << written;
            EXPECT_LE(written.size(), static_cast<size_t>(before));
            refused++;
          }
          Drop(ctx, EntryCount(ctx));
        }
      }
      EXPECT_GT(whole, 0);
      EXPECT_GT(refused, 0);
    }
  }
}

}  // namespace
}  // namespace vke
