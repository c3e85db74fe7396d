// Programs run in an area that starts small and grows by half whenever an
// instruction stops for room, as the runner's area does, up to a ceiling
// where the failure takes its course: fprintf writes each byte once, sort
// with positions gives what it gives in a large area, and an append loop
// fills the heap up to the ceiling and keeps its elements when it fails there.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>

#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/file_table.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

constexpr uint32_t kKiB = 1u << 10, kMiB = 1u << 20;

// A test host whose engine (with a file table) has moved into an area of
// `start` bytes that grows up to `ceiling`.
class GrowingArea {
 public:
  GrowingArea(uint32_t start, uint32_t ceiling)
      : host_({.areaBytes = start}), files_(host_.ctx()), ceiling_(ceiling) {
    area_ = std::make_unique<test::MovableArea>(host_.ctx(), start);
  }

  TestHost& host() { return host_; }
  test::TestFileTable& files() { return files_; }
  int32_t growths() const { return growths_; }
  bool atCeiling() const { return atCeiling_; }

  // Compiles and runs the text as the runner does: a compilation or an
  // instruction out of room grows the area and runs again; at the ceiling
  // retry goes off, so that it fails as it would have.
  ErrCode Run(const std::string& text) {
    SetMemoryRetry(area_->ctx(), true);
    ErrCode e;
    while (IsEngineMemoryCode(
        e = CompileCommandLine(area_->ctx(), text.data(), static_cast<int32_t>(text.size())))) {
      if (!Grow(e)) return e;
    }
    if (e == kOk) e = kStatusSuspended;
    while (e == kStatusSuspended) {
      e = ExecuteBytecode(area_->ctx(), 1);
      if (!MemoryRetryPending(area_->ctx())) continue;
      SetMemoryRetry(area_->ctx(), true);
      if (!Grow(e)) {
        atCeiling_ = true;
        SetMemoryRetry(area_->ctx(), false);
      }
      e = kStatusSuspended;
    }
    SetMemoryRetry(area_->ctx(), false);
    return e;
  }

 private:
  bool Grow(ErrCode code) {
    const uint32_t bytes = area_->bytes();
    if (bytes >= ceiling_) return false;
    const uint64_t next = std::min<uint64_t>(bytes + bytes / 2, ceiling_) & ~uint64_t{7};
    area_->Grow(static_cast<uint32_t>(next), code);
    growths_++;
    return true;
  }

  TestHost host_;
  test::TestFileTable files_;
  std::unique_ptr<test::MovableArea> area_;
  uint32_t ceiling_;
  int32_t growths_ = 0;
  bool atCeiling_ = false;
};

// The text fprintf writes in a piece before a field that lacks room goes out
// once, to the console and to a file, and the counts are those of the text;
// at the ceiling the field fails, and what went before it stays written once.
TEST(GrowthPrograms, FprintfWritesEachByteOnce) {
  const std::string expected = std::string(40000, 'a') + "\n" + std::string(299999, ' ') + "x\n";
  for (const uint32_t ceiling : {64 * kMiB, 1 * kMiB}) {
    SCOPED_TRACE(ceiling);
    GrowingArea g(256 * kKiB, ceiling);
    const int32_t fid = g.files().Open("out.txt", "w");
    const std::string fields = "'%s\\n%300000s\\n', repmat('a', 1, 40000), 'x'";
    const ErrCode e = g.Run("n = fprintf(" + fields + "); m = fprintf(" + std::to_string(fid) +
                            ", " + fields + "); fprintf(2, '%d %d', n, m);");
    const std::string console = g.host().Output(1), file = g.files().ReadFile("out.txt");
    EXPECT_GT(g.growths(), 0);
    if (ceiling > kMiB) {
      EXPECT_EQ(e, kOk);
      EXPECT_TRUE(console == expected) << console.size() << " bytes";
      EXPECT_TRUE(file == expected) << file.size() << " bytes";
      const std::string count = std::to_string(expected.size());
      EXPECT_EQ(g.host().Output(2), count + " " + count);
    } else {
      EXPECT_TRUE(g.atCeiling());
      EXPECT_TRUE(IsEngineMemoryCode(e)) << e;
      // The a's, once, and nothing of the field that found no room.
      EXPECT_TRUE(console.size() >= 40000 && console.size() <= 40001 &&
                  expected.compare(0, console.size(), console) == 0)
          << console.size() << " bytes";
    }
  }
}

// sort with positions in every mode and dimension takes the room of its
// scratch from the growth, and gives what it gives in a large area.
TEST(GrowthPrograms, SortWithPositionsGivesWhatALargeAreaGives) {
  const std::string program =
      "x = mod((1:200000) * 7919, 1000003) / 3; X = reshape(x, 400, 500);"
      "[y, i] = sort(x, 'descend'); [u, j] = sort(x); [v, k] = sort(X, 2, 'descend');"
      "[w, l] = sort(X'); s = sort(x, 'descend'); t = 1:numel(x);"
      "fprintf('%.17g ', sum(y .* t), sum(i .* t), sum(u .* t), sum(j .* t), sum(v(:)' .* t),"
      "sum(k(:)' .* t), sum(w(:)' .* t), sum(l(:)' .* t), sum(s .* t), y(1), u(1), i(end));";
  TestHost large({.areaBytes = 64 * kMiB});
  const std::string reference = test::RunForOutput(large, program);
  GrowingArea g(512 * kKiB, 64 * kMiB);
  EXPECT_EQ(g.Run(program), kOk) << g.host().Output(2);
  EXPECT_GT(g.growths(), 0);
  EXPECT_EQ(g.host().Output(1), reference);
  EXPECT_EQ(g.host().Output(2), "");
}

// x(end + 1) = k grows the heap while the area can grow; at the ceiling the
// store fails for room as every shortage there does, caught by try with x
// as it was before the failed store.
TEST(GrowthPrograms, AnAppendLoopGrowsTheHeapUpToTheCeiling) {
  GrowingArea roomy(256 * kKiB, 16 * kMiB);
  EXPECT_EQ(roomy.Run("x = []; for k = 1:200000, x(end + 1) = k; end;"
                      "fprintf('%d %d %.17g', numel(x), x(end), sum(x));"),
            kOk);
  EXPECT_EQ(roomy.host().Output(1), "200000 200000 20000100000");
  EXPECT_FALSE(roomy.atCeiling());

  GrowingArea tight(256 * kKiB, 2 * kMiB);
  EXPECT_EQ(tight.Run("x = []; try, for k = 1:1e6, x(end + 1) = k; end, catch,"
                      "fprintf('%d %d %d|%s', k, x(end), x(ceil(k / 2)), lasterr); end"),
            kOk);
  EXPECT_TRUE(tight.atCeiling());
  std::smatch m;
  const std::string out = tight.host().Output(1);
  ASSERT_TRUE(std::regex_match(out, m, std::regex("(\\d+) (\\d+) (\\d+)\\|(.*)"))) << out;
  const int64_t k = std::stoll(m[1]);
  // Most of the ceiling holds elements: no store gave up while the area
  // could still grow.
  EXPECT_GT(8 * k, int64_t{kMiB});
  EXPECT_EQ(std::stoll(m[2]), k - 1);
  EXPECT_EQ(std::stoll(m[3]), (k + 1) / 2);
  EXPECT_TRUE(m[4] == "Data stack overflow" || m[4] == "Variable overflow") << m[4];
}

}  // namespace
}  // namespace vke
