// File descriptors: hook order, line ends, redirection, line reads and the
// capture buffer.
#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "engine/fast_forms.hpp"
#include "engine/interface.hpp"
#include "engine/registry/hook_records.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

// A library whose hooks serve descriptors from 1024 and record what they see.
struct FdLibrary {
  std::map<int32_t, std::string> written;
  std::deque<std::string> reads;  // one chunk per read call; "" = zero bytes
  int32_t lineEnd;
  NativeFunctionRecord table[5];

  explicit FdLibrary(int32_t lineEndByte, bool wholeLines = false) : lineEnd(lineEndByte) {
    auto self = reinterpret_cast<uintptr_t>(this);
    table[0] = MakeRecord("@fdlib");
    table[1] = MakeRecord("+write", &Write, lineEndByte, 0, 0, 0, self);
    table[2] = MakeRecord("+read", &Read, wholeLines ? 1 : 0, 0, 0, 0, self);
    table[3] = MakeRecord("+iocontrol", &Control, 0, 0, 0, 0, self);
    table[4] = MakeRecord("");
  }
  static ErrCode Write(EngineContext*, int32_t fd, const char* b, int32_t n, uintptr_t u) {
    if (fd < 1024) return kErrBadFileID;
    reinterpret_cast<FdLibrary*>(u)->written[fd].append(b, n);
    return kOk;
  }
  static ErrCode Read(EngineContext*, int32_t fd, char* buf, int32_t size, int32_t* count,
                      uintptr_t u) {
    if (fd < 1024) return kErrBadFileID;
    auto* self = reinterpret_cast<FdLibrary*>(u);
    if (self->reads.empty()) return kErrEof;
    std::string chunk = self->reads.front();
    self->reads.pop_front();
    *count = std::min<int32_t>(size, static_cast<int32_t>(chunk.size()));
    std::memcpy(buf, chunk.data(), *count);
    return kOk;
  }
  // A stream without a position, as a port is: seeks are refused.
  static ErrCode Control(EngineContext*, int32_t fd, int32_t code, intptr_t* word, uintptr_t) {
    if (fd < 1024) return kErrBadFileID;
    if (code >= kIoSeekBegin && code <= kIoSeekEnd) return kErrIoErr;
    *word = *word * 10 + code;
    return 0;
  }
};

TEST(FileDescriptors, EachHookGetsItsOwnLineEnd) {
  TestHost host;  // its "+write" hook uses LF for 1, 2 and 3
  EngineContext* ctx = host.ctx();
  FdLibrary crlf(2), cr(0);
  RegisterLibrary(ctx, crlf.table, true);
  ASSERT_EQ(WriteToFd(ctx, 1024, "a", -1), kOk);
  ASSERT_EQ(WriteNewlineToFd(ctx, 1024), kOk);
  EXPECT_EQ(crlf.written[1024], "a\r\n");
  ASSERT_EQ(WriteNewlineToFd(ctx, 1), kOk);
  EXPECT_EQ(host.Output(1), "\n");
  TestHost host2;
  RegisterLibrary(host2.ctx(), cr.table, true);
  ASSERT_EQ(WriteNewlineToFd(host2.ctx(), 1030), kOk);
  EXPECT_EQ(cr.written[1030], "\r");
  EXPECT_EQ(WriteToFd(ctx, 700, "x", 1), kErrBadFileID);
}

// The hooks of each request are looked up once and kept: what is kept
// follows every change of the registry, also one that leaves as many
// libraries as before, and each context has its own; with the fast forms
// off every request walks the registry, to the same hooks.
TEST(FileDescriptors, KeptHooksFollowTheRegistry) {
  for (const bool fast : {true, false}) {
    SCOPED_TRACE(fast ? "kept" : "walked");
    SetFastForms(fast);
    FdLibrary first(1), second(1), third(1);
    std::deque<FdLibrary> many;
    TestHost host, other;
    EngineContext* ctx = host.ctx();
    RegisterLibrary(ctx, first.table, true);
    ASSERT_EQ(WriteToFd(ctx, 1024, "a", 1), kOk);
    UnregisterFrontLibraries(ctx, 1);
    RegisterLibrary(ctx, second.table, true);
    ASSERT_EQ(WriteToFd(ctx, 1024, "b", 1), kOk);
    RegisterLibrary(other.ctx(), third.table, true);
    for (const char* text : {"c", "d"}) {
      ASSERT_EQ(WriteToFd(other.ctx(), 1024, text, 1), kOk);
      ASSERT_EQ(WriteToFd(ctx, 1024, text, 1), kOk);
    }
    EXPECT_EQ(first.written[1024], "a");
    EXPECT_EQ(second.written[1024], "bcd");
    EXPECT_EQ(third.written[1024], "cd");
    // More libraries with a read hook than a kept list holds: the first
    // that takes the descriptor reads.
    for (int i = 0; i <= HookRecords::kMaxRecords; i++)
      RegisterLibrary(ctx, many.emplace_back(1).table, false);
    second.reads = {"xy"};
    char bytes[4] = {};
    int32_t count = 0;
    EXPECT_EQ(ReadFromFd(ctx, 1024, bytes, 4, false, &count), kOk);
    EXPECT_EQ(std::string(bytes, count), "xy");
    UnregisterFrontLibraries(ctx, 1);
    many.front().reads = {"z"};
    EXPECT_EQ(ReadFromFd(ctx, 1024, bytes, 4, false, &count), kOk);
    EXPECT_EQ(std::string(bytes, count), "z");
  }
  SetFastForms(true);
}

TEST(FileDescriptors, WithoutWriteHooksTheConsoleAcceptsText) {
  std::unique_ptr<void, decltype(&std::free)> area(std::aligned_alloc(16, 1 << 16), &std::free);
  EngineContext* ctx;
  ASSERT_EQ(CreateEngine(area.get(), 1 << 16, &ctx), kOk);
  EXPECT_EQ(WriteToFd(ctx, 3, "x", 1), kOk);
  EXPECT_EQ(WriteToFd(ctx, 1024, "x", 1), kErrBadFileID);
  EXPECT_EQ(AllocateFdRange(ctx, 32), 1024);
  EXPECT_EQ(AllocateFdRange(ctx, 32), 1056);
}

TEST(FileDescriptors, RedirectionPlainAndWithCopy) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  FdLibrary lib(1);
  RegisterLibrary(ctx, lib.table, true);
  ASSERT_EQ(SetRedirect(ctx, 1, 2, 0), kOk);
  WriteToFd(ctx, 1, "one", -1);
  EXPECT_EQ(host.Output(1), "");
  EXPECT_EQ(host.Output(2), "one");
  ASSERT_EQ(SetRedirect(ctx, 2, 1024, 1), kOk);
  host.ClearOutput();
  WriteToFd(ctx, 2, "two", -1);
  EXPECT_EQ(host.Output(2), "two");
  EXPECT_EQ(lib.written[1024], "two");
  EXPECT_EQ(SetRedirect(ctx, 3, 1, 0), kErrBadFileID);
}

TEST(FileDescriptors, ByteDrivenLineReads) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  FdLibrary lib(1);
  RegisterLibrary(ctx, lib.table, true);
  // A CR ends the line at once: without a position the byte after it could
  // not be given back.
  lib.reads = {"a", "b", "\r", "c"};
  char buf[16];
  int32_t n;
  ASSERT_EQ(ReadFromFd(ctx, 1024, buf, sizeof buf, true, &n), kOk);
  EXPECT_EQ(std::string(buf, n), "ab\n");
  // The rest of the input ends without a line end: the text read is given.
  ASSERT_EQ(ReadFromFd(ctx, 1024, buf, sizeof buf, true, &n), kOk);
  EXPECT_EQ(std::string(buf, n), "c");
  EXPECT_EQ(ReadFromFd(ctx, 1024, buf, sizeof buf, true, &n), kErrEof);
  lib.reads = {"x", ""};
  EXPECT_EQ(ReadFromFd(ctx, 1024, buf, sizeof buf, true, &n), kStatusRetry);
  // A full buffer ends the read; the next call goes on with the same line.
  lib.reads = {"1", "2", "3", "\n"};
  ASSERT_EQ(ReadFromFd(ctx, 1024, buf, 2, true, &n), kOk);
  EXPECT_EQ(std::string(buf, n), "12");
  ASSERT_EQ(ReadFromFd(ctx, 1024, buf, sizeof buf, true, &n), kOk);
  EXPECT_EQ(std::string(buf, n), "3\n");
  // Without line mode the hook is called once with the whole buffer.
  lib.reads = {"whole\nchunk"};
  ASSERT_EQ(ReadFromFd(ctx, 1024, buf, sizeof buf, false, &n), kOk);
  EXPECT_EQ(std::string(buf, n), "whole\nchunk");
  EXPECT_EQ(ReadFromFd(ctx, 0, buf, sizeof buf, true, &n), kErrEof);
  EXPECT_EQ(ReadFromFd(ctx, 900, buf, sizeof buf, true, &n), kErrBadFileID);
}

TEST(FileDescriptors, IoControlAndClose) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  FdLibrary lib(1);
  RegisterLibrary(ctx, lib.table, true);
  intptr_t word = 0;
  uint8_t byte = 9;
  EXPECT_EQ(IoControlFd(ctx, 1024, 4, 3, &word, &byte), 0);
  EXPECT_EQ(word, 34);
  EXPECT_EQ(IoControlFd(ctx, 1024, 0, 0, &word, &byte), 0);
  EXPECT_EQ(byte, 0);
  EXPECT_EQ(IoControlFd(ctx, 7, 0, 0, &word, &byte), kErrBadFileID);
  EXPECT_EQ(CloseFd(ctx, 1024), kErrBadFileID);  // no "+fclose" hook
}

// Bytes a reader could not keep go back to their stream: to a library that
// takes them (it sets the word to 0), else by a step back of the position;
// a stream that does neither (a port) reports the loss.
TEST(FileDescriptors, BytesGivenBack) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  FdLibrary port(1);
  RegisterLibrary(ctx, port.table, true);
  EXPECT_EQ(GiveBackToFd(ctx, 1024, "ab", 2), kErrIoErr);
  EXPECT_EQ(GiveBackToFd(ctx, 1024, "", 0), kOk);  // nothing to give
  static std::string kept;
  const auto keep = [](EngineContext*, int32_t fd, int32_t code, intptr_t* word,
                       uintptr_t) -> ErrCode {
    if (fd != 2048) return kErrBadFileID;
    if (code != kIoGiveBack) return kErrIllegal;
    const auto* given = reinterpret_cast<const GivenBackBytes*>(*word);
    kept.assign(given->bytes, given->count);
    *word = 0;
    return kOk;
  };
  const NativeFunctionRecord keeper[] = {MakeRecord("@keeper"), MakeRecord("+iocontrol", +keep),
                                         MakeRecord("")};
  RegisterLibrary(ctx, keeper, true);
  EXPECT_EQ(GiveBackToFd(ctx, 2048, "line", 4), kOk);
  EXPECT_EQ(kept, "line");
  EXPECT_EQ(GiveBackToFd(ctx, 1024, "ab", 2), kErrIoErr);
  UnregisterFrontLibraries(ctx, 1);
}

TEST(FileDescriptors, CaptureBufferKeepsOneByteFree) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  EXPECT_EQ(WriteToFd(ctx, 5, "dropped", -1), kOk);  // no buffer installed
  char buf[8] = {};
  uint32_t len = 0;
  ctx->captureBuf = buf;
  ctx->captureCap = sizeof buf;
  ctx->captureLen = &len;
  EXPECT_EQ(WriteToFd(ctx, 5, "abcd", 4), kOk);
  EXPECT_EQ(WriteToFd(ctx, 5, "efgh", 4), kErrDataOverflow);
  EXPECT_EQ(WriteToFd(ctx, 5, "efg", 3), kOk);
  EXPECT_EQ(WriteNewlineToFd(ctx, 5), kErrDataOverflow);
  EXPECT_STREQ(buf, "abcdefg");
  ctx->captureBuf = nullptr;
}

}  // namespace
}  // namespace vke
