// The runner's area: bytes moved inside it (remapped pages arrive as
// memmove would leave them, up and down, apart by less than their length or
// more, with unaligned ends, and the place they leave reads as fresh
// pages), the room its parts give back at the ceiling, and the note of its
// ceiling, written only when a request found the area at it.
#include "tools/runner_area.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/errors/errors.hpp"
#include "tools/runner_engine.hpp"

namespace vke {
namespace {

constexpr size_t kPage = 4096;

class AreaMoves : public ::testing::Test {
 protected:
  void SetUp() override {
    void* p = ::mmap(nullptr, kBytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(p, MAP_FAILED);
    base = static_cast<uint8_t*>(p);
  }
  void TearDown() override { ::munmap(base, kBytes); }

  // Fills [at, at + n) with a pattern of the offset from `at`; Holds tells
  // whether [at, at + n) holds that pattern.
  void Fill(size_t at, size_t n) {
    for (size_t i = 0; i < n; i++) base[at + i] = static_cast<uint8_t>(i * 7 + i / 4096);
  }
  bool Holds(size_t at, size_t n) const {
    for (size_t i = 0; i < n; i++)
      if (base[at + i] != static_cast<uint8_t>(i * 7 + i / 4096)) return false;
    return true;
  }

  static constexpr size_t kBytes = 1024 * kPage;
  uint8_t* base = nullptr;
};

TEST_F(AreaMoves, PagesArriveAsMemmoveLeavesThem) {
  // From 100 bytes into a page, 200 pages and 300 bytes long.
  const size_t from = 10 * kPage + 100, n = 200 * kPage + 300;
  struct Case {
    size_t to;
    bool fresh;  // the moved-from pages read as zero afterwards
  };
  // Up by less than the length, up past it, and apart by a distance that is
  // no whole number of pages (copied); then down by less than the length.
  for (Case c : {Case{from + 64 * kPage, false}, Case{from + 400 * kPage, true},
                 Case{from + 3 * kPage + 8, false}}) {
    SCOPED_TRACE(c.to);
    Fill(from, n);
    MoveAreaBytes(base + c.to, base + from, n);
    EXPECT_TRUE(Holds(c.to, n));
    if (c.fresh) {
      EXPECT_EQ(base[from + kPage], 0);
      EXPECT_EQ(base[from + 150 * kPage], 0);
      base[from + kPage] = 1;  // and writable
    }
  }
  Fill(600 * kPage + 8, n);
  MoveAreaBytes(base + 600 * kPage + 8 - 50 * kPage, base + 600 * kPage + 8, n);
  EXPECT_TRUE(Holds(550 * kPage + 8, n));
}

// What a text run as vke runs it gives: its code, its output and error
// output, and the area's size at its end.
struct RunResult {
  ErrCode code;
  std::string out, err;
  uint32_t size;
};

RunResult RunText(const std::string& text, uint64_t ceiling) {
  RunnerArea area;
  area.SetCeilingGiven(true);
  EngineContext* ctx = nullptr;
  EXPECT_TRUE(area.Reserve(ceiling, static_cast<uint32_t>(ceiling / 4)));
  EXPECT_TRUE(runner::CreateRunnerEngine(&area, runner::EngineSetup{}, &ctx));
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const ErrCode e = RunGrowing(&area, ctx, text.data(), static_cast<int32_t>(text.size()));
  std::fflush(stdout);
  std::fflush(stderr);
  const std::string out = testing::internal::GetCapturedStdout();
  return {e, out, testing::internal::GetCapturedStderr(), area.size()};
}

// At the ceiling the room that one part of the area took on its way there
// goes to the part that runs short next: after a refused request, every
// later one is served as a fresh area of the same ceiling serves it.
TEST(RunnerCeiling, AfterARefusalTheAreaServesWhatAFreshOneServes) {
  constexpr uint64_t kCeiling = 16u << 20;
  // The data stack takes the room, for an array refused.
  const std::string refused = "try, x = zeros(1, 1e7); catch, end\n";
  // The heap takes it, for variables cleared since.
  const std::string heapTook =
      "for k = 1:14, eval(sprintf('v%d = ones(1, 1e5);', k)); end\n"
      "clear v1 v2 v3 v4 v5 v6 v7 v8 v9 v10 v11 v12 v13 v14\n";
  struct Case {
    std::string before, request;
  };
  const Case cases[] = {
      {refused, "y = ones(600); disp(size(y))"},
      {refused, "z = ones(300); w = ones(500); disp(size(w))"},
      {refused, "y = ones(900); disp(size(y))"},
      {refused + heapTook, "disp(sum(ones(1, 1.4e6)))"},
      {refused + heapTook, "y = ones(900); disp(size(y))"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before + c.request);
    const RunResult fresh = RunText(c.request, kCeiling);
    ASSERT_EQ(fresh.code, kOk) << fresh.err;
    const RunResult after = RunText(c.before + c.request, kCeiling);
    EXPECT_EQ(after.code, kOk) << after.err;
    EXPECT_EQ(after.out, fresh.out);
    EXPECT_EQ(after.err, "vke: memory ceiling of 16 MB reached (-m)\n");
  }
}

// A loop body whose jumps reach farther than their offsets is a code
// overflow that no room mends: the area does not grow for it and no note
// names the ceiling, whether the text itself or a text it evaluates holds
// the loop. Past the ceiling the note stands.
TEST(RunnerCeiling, TheNoteComesOnlyAtTheCeiling) {
  constexpr uint64_t kCeiling = 16u << 20;
  std::string body;
  for (int i = 0; i < 6000; i++) body += "i = i + 1; ";
  const std::string loop = "i = 0; while i < 1, " + body + "end";
  const std::string evaluated =
      "eval(['i = 0; while i < 1, ', repmat('i = i + 1; ', 1, 6000), 'end'])";
  for (const std::string& text : {loop, evaluated}) {
    SCOPED_TRACE(text.substr(0, 30));
    const RunResult r = RunText(text, kCeiling);
    EXPECT_EQ(r.code, kErrCodeOverflow);
    EXPECT_EQ(r.err.find("ceiling"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Code overflow"), std::string::npos) << r.err;
    EXPECT_LT(r.size, kCeiling);
  }
  const RunResult r = RunText("x = zeros(1, 1e7);", kCeiling);
  EXPECT_EQ(r.code, kErrDataOverflow);
  EXPECT_EQ(r.err.rfind("vke: memory ceiling of 16 MB reached (-m)\n", 0), 0u) << r.err;
  EXPECT_EQ(r.size, kCeiling);
}

}  // namespace
}  // namespace vke
