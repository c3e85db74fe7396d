// The room the singular-value natives take from the data stack: with one
// word less than their results and scratch need they fail with 3
// (dataOverflow) and leave the stack as it was; with exactly that much they
// succeed.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/numerics/room_support.hpp"

namespace vke {
namespace {

using test::ArrayValue;
using test::PushArray;
using test::ReadArray;
using test::TestHost;

struct RoomCase {
  std::string name;
  int32_t m, n;
  bool complex;
  int64_t need;  // words: results pushed before the scratch, then the scratch
  std::function<ErrCode(EngineContext*)> call;
};

// Pushes a filler and then the m x n argument so that `free` words stay free.
void PushWithFreeWords(EngineContext* ctx, const RoomCase& c, int64_t free) {
  const int64_t argument = int64_t(c.m) * c.n * (c.complex ? 2 : 1);
  ASSERT_NO_FATAL_FAILURE(test::PushFiller(ctx, argument, free));
  std::vector<double> re, im;
  for (int32_t i = 0; i < c.m * c.n; i++) {
    re.push_back(1 + (i * 7) % 5 + 0.25 * i);
    if (c.complex) im.push_back(0.5 * ((i * 3) % 4) - 1);
  }
  PushArray(ctx, "double", {c.m, c.n}, re, im);
  ASSERT_EQ(int64_t{ctx->dataCap} - ctx->dataTop, free);
}

TEST(LinalgRoom, OneWordShortFailsAndLeavesTheStack) {
  const auto halfN = [](int32_t n) { return n / 2; };
  const RoomCase cases[] = {
      // svd with one output: the k values, then 2n + n/2 + 1 (real) or
      // (4m + 6) n + 1 (complex) words.
      {"svd real", 4, 3, false, 3 + 2 * 3 + halfN(3) + 1,
       [](EngineContext* ctx) { return SvdNative(ctx, 1, 1, 0); }},
      {"svd complex", 3, 4, true, 3 + (4 * 3 + 6) * 4 + 1,
       [](EngineContext* ctx) { return SvdNative(ctx, 1, 1, 0); }},
      // rank: the scratch of the values alone.
      {"rank real", 3, 5, false, 2 * 5 + halfN(5) + 1,
       [](EngineContext* ctx) { return RankNative(ctx, 1, 1, 0); }},
      {"rank complex", 5, 3, true, (4 * 5 + 6) * 3 + 1,
       [](EngineContext* ctx) { return RankNative(ctx, 1, 1, 0); }},
      // pinv: X (n x m), then (n + 2) n + n/2 + 1 (real) or
      // 5n + 2 (m + n) k, plus 6 n^2 when m < n (complex).
      {"pinv real", 4, 3, false, 12 + 5 * 3 + halfN(3) + 1,
       [](EngineContext* ctx) { return PinvNative(ctx, 1, 1, 0); }},
      {"pinv complex wide", 2, 3, true, 2 * 6 + 5 * 3 + 2 * 5 * 2 + 6 * 9,
       [](EngineContext* ctx) { return PinvNative(ctx, 1, 1, 0); }},
      {"pinv complex tall", 3, 2, true, 2 * 6 + 5 * 2 + 2 * 5 * 2,
       [](EngineContext* ctx) { return PinvNative(ctx, 1, 1, 0); }},
  };
  for (const RoomCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestHost host;
    EngineContext* ctx = host.ctx();
    PushWithFreeWords(ctx, c, c.need - 1);
    const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
    const ArrayValue before = ReadArray(ctx);
    EXPECT_EQ(c.call(ctx), kErrDataOverflow);
    EXPECT_EQ(ctx->descTop, descTop);
    EXPECT_EQ(ctx->dataTop, dataTop);
    const ArrayValue after = ReadArray(ctx);
    EXPECT_EQ(after.re, before.re);
    EXPECT_EQ(after.im, before.im);

    Drop(ctx, 2);
    PushWithFreeWords(ctx, c, c.need);
    EXPECT_EQ(c.call(ctx), kOk);
  }
}

}  // namespace
}  // namespace vke
