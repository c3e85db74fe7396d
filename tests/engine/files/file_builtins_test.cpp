// The file builtins on real files: line reads, binary reading and writing
// with every precision, positions, closing and redirection.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "builtins/builtin.hpp"
#include "engine/errors/raise.hpp"
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
using test::PopNumbers;
using test::PopText;
using test::PushRow;
using test::TestFileTable;
using test::TestHost;

using Numbers = std::vector<double>;

// Pushes the scalars and then the text (when given), and calls the builtin.
ErrCode Call(EngineContext* ctx, BuiltinFn fn, std::initializer_list<double> scalars,
             const char* text = nullptr, int32_t nargout = 1, int32_t option = 0) {
  for (double s : scalars) PushRealScalar(ctx, s);
  if (text) PushCString(ctx, -1, text);
  return fn(ctx, static_cast<int32_t>(scalars.size()) + (text != nullptr), nargout, option);
}

std::string ReadLine(EngineContext* ctx, std::initializer_list<double> args, bool dropLineEnd) {
  EXPECT_EQ(Call(ctx, &ReadLineBuiltin, args, nullptr, 1, dropLineEnd), kOk);
  return PopText(ctx);
}

TEST(ReadLine, LinesOfAFile) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  TestFileTable files(ctx);
  files.WriteFile("lines.txt", "first\nsecond\nlast");
  const int32_t fd = files.Open("lines.txt", "r");
  EXPECT_EQ(ReadLine(ctx, {double(fd)}, true), "first");
  EXPECT_EQ(ReadLine(ctx, {double(fd)}, false), "second\n");
  EXPECT_EQ(ReadLine(ctx, {double(fd), 2}, true), "la");
  EXPECT_EQ(ReadLine(ctx, {double(fd)}, true), "st");
  EXPECT_EQ(ReadLine(ctx, {double(fd)}, true), "");

  // A blank line is the empty 0 x 0 text: its line end goes too.
  files.WriteFile("blank.txt", "a\n\nb\n");
  const int32_t blank = files.Open("blank.txt", "r");
  EXPECT_EQ(ReadLine(ctx, {double(blank)}, true), "a");
  ASSERT_EQ(Call(ctx, &ReadLineBuiltin, {double(blank)}, nullptr, 1, 1), kOk);
  const NumericView empty = ViewNumeric(ctx, 0);
  EXPECT_EQ(empty.cls, ValueClass::kChar);
  EXPECT_EQ(empty.shape.dims[0], 0);
  EXPECT_EQ(empty.shape.dims[1], 0);
  EXPECT_EQ(PopText(ctx), "");
  EXPECT_EQ(ReadLine(ctx, {double(blank)}, false), "b\n");
  EXPECT_EQ(ReadLine(ctx, {double(blank)}, true), "");

  ctx->decodeChar = &DecodeUtf8Char;
  files.WriteFile("utf8.txt", "\xC3\xA9t\xC3\xA9\n");
  ASSERT_EQ(Call(ctx, &ReadLineBuiltin, {double(files.Open("utf8.txt", "r"))}, nullptr, 1, 1), kOk);
  EXPECT_EQ(PopNumbers(ctx), (Numbers{0xE9, 't', 0xE9}));
  EXPECT_EQ(Call(ctx, &ReadLineBuiltin, {4321}), kErrBadFileID);
  EXPECT_EQ(EntryCount(ctx), 1);
}

TEST(ReadLine, ResumesWhenDataArrivesLater) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  TestFileTable files(ctx);
  const int32_t fd = files.OpenPipe();
  files.FeedPipe(fd, "ab");
  ASSERT_EQ(Call(ctx, &ReadLineBuiltin, {double(fd)}, nullptr, 1, 1), kStatusRetry);
  int32_t progress = 0;
  ASSERT_TRUE(GetMarkerAt(ctx, 0, &progress));
  EXPECT_EQ(progress, 2);
  ASSERT_EQ(ReadLineBuiltin(ctx, 1, 1, 1), kStatusRetry);  // still nothing new
  files.FeedPipe(fd, "c\ntail");
  ASSERT_EQ(ReadLineBuiltin(ctx, 1, 1, 1), kOk);
  EXPECT_EQ(PopText(ctx), "abc");
  EXPECT_EQ(EntryCount(ctx), 0);
  // The end of the input ends a line that was waiting for more.
  ASSERT_EQ(Call(ctx, &ReadLineBuiltin, {double(fd)}), kStatusRetry);
  files.ClosePipeInput(fd);
  ASSERT_EQ(ReadLineBuiltin(ctx, 1, 1, 0), kOk);
  EXPECT_EQ(PopText(ctx), "tail");
  EXPECT_EQ(EntryCount(ctx), 0);
}

// fwrite of the data on top to fd; fread from the start of fd with the size
// leaves the values on top and gives the count.
void Fwrite(EngineContext* ctx, int32_t fd, const std::string& precision) {
  PushRealScalar(ctx, fd);
  RollStackEntries(ctx, 2, 1);
  PushCString(ctx, -1, precision.c_str());
  ASSERT_EQ(WriteBinaryBuiltin(ctx, 3, 1, 'f'), kOk) << precision;
  EXPECT_EQ(Drop(ctx), kOk);
}

double Fread(EngineContext* ctx, int32_t fd, const std::vector<double>& size,
             const std::string& precision) {
  EXPECT_EQ(Call(ctx, &FseekBuiltin, {double(fd), 0}, nullptr, 0), kOk);
  PushRealScalar(ctx, fd);
  PushRow(ctx, "double", size);
  PushCString(ctx, -1, precision.c_str());
  EXPECT_EQ(ReadBinaryBuiltin(ctx, 3, 2, 0), kOk) << precision;
  const double count = test::TopScalar(ctx, 1);
  DropStackEntries(ctx, 1, 1);
  return count;
}

TEST(BinaryFiles, EveryPrecisionRoundTrips) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  TestFileTable files(ctx);
  const std::string names[] = {"int8",   "int16",  "int32", "int64", "uint8",  "uint16",
                               "uint32", "uint64", "char",  "uchar", "single", "double"};
  const int sizes[] = {1, 2, 4, 8, 1, 2, 4, 8, 1, 1, 4, 8};
  using enum ValueClass;
  const ValueClass kept[] = {kInteger, kInteger, kInteger, kInteger, kInteger, kInteger,
                             kInteger, kInteger, kChar,    kChar,    kSingle,  kDouble};
  for (int i = 0; i < 12; i++) {
    for (const std::string order : {"", ";l", ";b"}) {
      for (const std::string star : {"", "*"}) {
        const std::string precision = star + names[i] + order;
        const int32_t fd = files.Open("round.bin", "w+");
        PushRow(ctx, "double", {1, 2, 100});
        Fwrite(ctx, fd, precision);
        EXPECT_EQ(files.ReadFile("round.bin").size(), 3u * sizes[i]) << precision;
        EXPECT_EQ(Fread(ctx, fd, {INFINITY}, precision), 3) << precision;
        const NumericView v = ViewNumeric(ctx, 0);
        EXPECT_EQ(v.shape.dims[0], 3);
        EXPECT_EQ(v.cls, star.empty() ? kDouble : kept[i]) << precision;
        EXPECT_EQ(PopNumbers(ctx), (Numbers{1, 2, 100})) << precision;
        ASSERT_EQ(Call(ctx, &FcloseBuiltin, {double(fd)}, nullptr, 0), kOk);
      }
    }
  }
  // Byte order, and negative values of signed precisions.
  struct Layout {
    const char* precision;
    double value;
    std::string bytes;
  };
  const Layout layouts[] = {
      {"int16;b", 258, std::string("\x01\x02", 2)},
      {"int16", 258, std::string("\x02\x01", 2)},
      {"uint32;b", 1, std::string("\0\0\0\x01", 4)},
      {"double;b", 1, std::string("\x3f\xf0\0\0\0\0\0\0", 8)},
      {"char;b", -2, std::string("\xfe", 1)},
      {"*uchar", 254, std::string("\xfe", 1)},
  };
  for (const Layout& l : layouts) {
    const int32_t fd = files.Open("layout.bin", "w+");
    PushRealScalar(ctx, l.value);
    Fwrite(ctx, fd, l.precision);
    EXPECT_EQ(files.ReadFile("layout.bin"), l.bytes) << l.precision;
    Fread(ctx, fd, {INFINITY}, l.precision);
    EXPECT_EQ(PopNumbers(ctx), Numbers{l.value}) << l.precision;
  }
  EXPECT_EQ(EntryCount(ctx), 0);
}

TEST(BinaryFiles, SizesCountsAndFailures) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  TestFileTable files(ctx);
  files.WriteFile("five.bin", "\x01\x02\x03\x04\x05");
  const int32_t fd = files.Open("five.bin", "r");
  EXPECT_EQ(Fread(ctx, fd, {2, INFINITY}, "uint8"), 5);
  EXPECT_EQ(ViewNumeric(ctx, 0).shape.dims[1], 3);
  EXPECT_EQ(PopNumbers(ctx), (Numbers{1, 2, 3, 4, 5, 0}));  // two rows in storage order
  // The file's length is asked before the read (its position, its end, and
  // back), so that the room for all of it is found first.
  EXPECT_EQ(files.requests(), (std::vector<int32_t>{1, 7, 4, 3, 4, 1}));
  EXPECT_EQ(Fread(ctx, fd, {2}, "uint8"), 2);
  EXPECT_EQ(PopNumbers(ctx), (Numbers{1, 2}));
  EXPECT_EQ(Fread(ctx, fd, {}, "uint8"), 0);
  EXPECT_EQ(PopNumbers(ctx), Numbers{});
  ASSERT_EQ(Call(ctx, &ReadBinaryBuiltin, {double(fd)}), kOk);  // no size, no precision
  EXPECT_EQ(PopNumbers(ctx), (Numbers{1, 2, 3, 4, 5}));
  EXPECT_EQ(Call(ctx, &ReadBinaryBuiltin, {double(fd)}), kErrEof);
  PushRow(ctx, "double", {1, 2, 3});
  EXPECT_EQ(ReadBinaryBuiltin(ctx, 2, 1, 0), kErrBadSize);
  PushCString(ctx, -1, "int8;x");
  EXPECT_EQ(ReadBinaryBuiltin(ctx, 3, 1, 0), kErrUnknownOpt);
  EXPECT_EQ(ReadBinaryBuiltin(ctx, 3, 3, 0), kErrTooManyArgout);
  Drop(ctx, 3);

  // An unlimited read that fills the free data stack.
  files.WriteFile("big.bin", std::string(1 << 21, 'x'));
  EXPECT_EQ(Call(ctx, &ReadBinaryBuiltin, {double(files.Open("big.bin", "r"))}), kErrDataOverflow);
  // A failed write reports the descriptor layer's error.
  EXPECT_EQ(
      Call(ctx, &WriteBinaryBuiltin, {double(files.Open("five.bin", "r")), 1}, nullptr, 1, 'f'),
      kErrIoErr);
  EXPECT_EQ(files.ReadFile("five.bin").size(), 5u);
  EXPECT_EQ(EntryCount(ctx), 3);
}

TEST(BinaryStrings, SreadSwriteAndBwrite) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushCString(ctx, -1, "AB");
  PushRealScalar(ctx, 1);
  PushCString(ctx, -1, "uint16");
  ASSERT_EQ(ReadBinaryBuiltin(ctx, 3, 1, 1), kOk);
  EXPECT_EQ(PopNumbers(ctx), Numbers{0x4241});
  PushRow(ctx, "int16", {1});
  EXPECT_EQ(ReadBinaryBuiltin(ctx, 1, 1, 1), kErrWrongType);
  Drop(ctx);

  PushRealScalar(ctx, 258);
  PushCString(ctx, -1, "uint16;b");
  ASSERT_EQ(WriteBinaryBuiltin(ctx, 2, 1, 'b'), kOk);
  EXPECT_EQ(ViewNumeric(ctx, 0).code, kCodeUInt8);
  EXPECT_EQ(PopNumbers(ctx), (Numbers{1, 2}));
  ASSERT_EQ(Call(ctx, &WriteBinaryBuiltin, {258}, "int16", 1, 's'), kOk);
  EXPECT_EQ(ViewNumeric(ctx, 0).cls, ValueClass::kChar);
  EXPECT_EQ(PopNumbers(ctx), (Numbers{2, 1}));
  EXPECT_EQ(Call(ctx, &WriteBinaryBuiltin, {1}, nullptr, 1, 'z'), kErrIllegal);
  EXPECT_EQ(EntryCount(ctx), 1);
}

TEST(FileDescriptors, PositionsFlushAndClose) {
  // No table but the host's and the test's serves control requests.
  TestHost host(test::TestHostOptions{.runtimeTable = false});
  EngineContext* ctx = host.ctx();
  TestFileTable files(ctx);
  files.WriteFile("digits.txt", "0123456789");
  const auto fd = static_cast<double>(files.Open("digits.txt", "r"));
  const auto result = [&](BuiltinFn fn, std::initializer_list<double> args,
                          const char* origin = nullptr) {
    EXPECT_EQ(Call(ctx, fn, args, origin), kOk);
    return PopNumbers(ctx).at(0);
  };
  EXPECT_EQ(result(&FseekBuiltin, {fd, -2}, "eof"), 0);
  EXPECT_EQ(result(&FtellBuiltin, {fd}), 8);
  ASSERT_EQ(Call(ctx, &FseekBuiltin, {fd, 1}, "c", 0), kOk);
  EXPECT_EQ(result(&FtellBuiltin, {fd}), 9);
  EXPECT_EQ(result(&FeofBuiltin, {fd}), 0);
  EXPECT_EQ(ReadLine(ctx, {fd}, true), "9");
  EXPECT_EQ(ReadLine(ctx, {fd}, true), "");
  EXPECT_EQ(result(&FeofBuiltin, {fd}), 1);
  ASSERT_EQ(Call(ctx, &FflushBuiltin, {fd}, nullptr, 0), kOk);
  ASSERT_EQ(Call(ctx, &ClcBuiltin, {fd}, nullptr, 0), kOk);
  EXPECT_EQ(files.requests(), (std::vector<int32_t>{3, 4, 2, 4, 0, 0, 5, 6}));

  // A read/write error is -1 when a result is asked for, else the error.
  const auto pipe = static_cast<double>(files.OpenPipe());
  EXPECT_EQ(result(&FseekBuiltin, {pipe, 1}), -1);
  EXPECT_EQ(result(&FtellBuiltin, {pipe}), -1);
  EXPECT_EQ(Call(ctx, &FseekBuiltin, {pipe, 1}, nullptr, 0), kErrIoErr);
  EXPECT_EQ(Call(ctx, &FseekBuiltin, {pipe, 1}, "x", 0), kErrUnknownOpt);
  EXPECT_EQ(Call(ctx, &ClcBuiltin, {}, nullptr, 0), kErrBadFileID);  // no control hook for 1
  Drop(ctx, 5);

  ASSERT_EQ(Call(ctx, &FcloseBuiltin, {fd}, nullptr, 0), kOk);
  EXPECT_FALSE(files.IsOpen(static_cast<int32_t>(fd)));
  EXPECT_EQ(Call(ctx, &FcloseBuiltin, {fd}, nullptr, 0), kErrBadFileID);
  EXPECT_EQ(Call(ctx, &FcloseBuiltin, {}, "most", 0), kErrUnknownOpt);
  EXPECT_EQ(Call(ctx, &FcloseBuiltin, {}, "all", 0), kOk);
  EXPECT_FALSE(files.IsOpen(static_cast<int32_t>(pipe)));
  PushListFromEntries(ctx, 1, false, "field", -1);
  EXPECT_EQ(FcloseBuiltin(ctx, 1, 0, 0), kErrWrongTypeOverload);
  EXPECT_EQ(EntryCount(ctx), 2);
}

TEST(Redirect, SettingListingAndLoops) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(RedirectBuiltin(ctx, 0, 0, 0), kOk);
  EXPECT_EQ(host.Output(1), "stdout (fd=1) -> fd=1\nstderr (fd=2) -> fd=2\n");
  host.ClearOutput();
  ASSERT_EQ(Call(ctx, &RedirectBuiltin, {1, 2, 1}, nullptr, -1), kOk);
  EXPECT_TRUE(DescAt(ctx, 0)->flags & kFlagNoValue);  // a statement gives no value
  Drop(ctx);
  EXPECT_EQ(host.Output(1), "stdout (fd=1) -> fd=2 copy\n");
  EXPECT_EQ(host.Output(2), "stdout (fd=1) -> fd=2 copy\n");

  const ErrCode loop = Call(ctx, &RedirectBuiltin, {2, 1}, nullptr, 0);
  ASSERT_LT(loop, 0);
  ASSERT_EQ(GetErrorIdentifier(ctx, loop), kOk);
  EXPECT_EQ(PopText(ctx), "VKE:redirectLoop");
  const char* message;
  ASSERT_TRUE(ReadErrorBlock(ctx, ctx->pendingError, nullptr, &message, nullptr));
  EXPECT_STREQ(message, "stdout <-> stderr redirection loop");
  Drop(ctx, 2);

  ASSERT_EQ(Call(ctx, &RedirectBuiltin, {1}), kOk);
  EXPECT_EQ(PopNumbers(ctx), (Numbers{2, 1}));
  ASSERT_EQ(RedirectBuiltin(ctx, 0, 1, 0), kOk);
  EXPECT_EQ(PopNumbers(ctx), (Numbers{2, 1, 2, 0}));
  EXPECT_EQ(Call(ctx, &RedirectBuiltin, {3}), kErrBadFileID);
  EXPECT_EQ(EntryCount(ctx), 1);
}

}  // namespace
}  // namespace vke
