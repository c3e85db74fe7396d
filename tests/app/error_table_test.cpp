// The application's error table and the error-box text of a code.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/errors.hpp"
#include "tests/app/block_host.hpp"

namespace vke {
namespace {

TEST(AppErrorTable, EveryCodeHasOneRecordWithItsTexts) {
  std::set<ErrCode> codes;
  int n = 0;
  for (const ErrorTableRecord* r = kAppErrorTable; r->message; r++, n++) {
    EXPECT_TRUE(r->id && r->id[0]) << r->code;
    EXPECT_TRUE(r->message[0]) << r->code;
    EXPECT_TRUE(codes.insert(r->code).second) << r->code;
  }
  EXPECT_EQ(n, kAppErrorCount);
  for (ErrCode c = 10000; c <= 10059; c++) EXPECT_TRUE(codes.count(c)) << c;
  // Stored order: 10005 stands after 10007 and is still found.
  EXPECT_EQ(kAppErrorTable[5].code, 10006);
  EXPECT_EQ(kAppErrorTable[7].code, 10005);
  EXPECT_STREQ(FindAppErrorRecord(kKvTooSmallUndoBuf)->message, "Too small Undo buffer");
  EXPECT_STREQ(FindAppErrorRecord(kKvBadUse)->message, "Bad \"use\" statement");
  EXPECT_STREQ(FindAppErrorRecord(kKvSrcNotAvailable)->id, "KVSrcNotAvailable");
  EXPECT_EQ(FindAppErrorRecord(10060), nullptr);
}

TEST(AppErrorTable, MemoryCodes) {
  for (ErrCode c : {1, 2, 3, 4, 5, 6, 180, 198, 10000, 10001, 10003, 10006, 10008, 10009})
    EXPECT_TRUE(IsMemoryCode(c)) << c;
  for (ErrCode c : {0, 7, 8, 402, 500, 10002, 10004, 10005, 10007, 10010, 10044})
    EXPECT_FALSE(IsMemoryCode(c)) << c;
}

std::string Text(EngineContext* ctx, ErrCode code, int32_t size = 256) {
  std::string buffer(size, '\xff');
  const int32_t n = GetErrorMessageText(ctx, code, buffer.data(), size);
  EXPECT_EQ(buffer[n], 0);
  return buffer.substr(0, n);
}

TEST(AppErrorTable, ErrorBoxText) {
  EXPECT_EQ(Text(nullptr, 600), "Initialization error");
  EXPECT_EQ(Text(nullptr, 3), "VKE error 3");
  EXPECT_EQ(Text(nullptr, 10058), "Cannot undo");
  EXPECT_EQ(Text(nullptr, 10060), "Error 10060");

  test::BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  EXPECT_EQ(Text(h.ctx(), 3), "Data stack overflow");
  // The line suffix belongs to the application's codes only.
  h.ctx()->errLocPos = 12;
  EXPECT_EQ(Text(h.ctx(), 10059), "Cannot redo (line 12)");
  EXPECT_EQ(Text(h.ctx(), 10100), "Error 10100 (line 12)");
  EXPECT_EQ(Text(h.ctx(), 600), "Initialization error");
  EXPECT_EQ(Text(h.ctx(), 3).find("line 12"), std::string::npos);
  // 10001 takes the application's own message even though the engine
  // publishes another one first.
  EXPECT_EQ(Text(h.ctx(), 10001), "Plot memory overflow (line 12)");
  // Cut to the buffer.
  EXPECT_EQ(Text(h.ctx(), 10044, 12), "Nonexistent");
}

}  // namespace
}  // namespace vke
