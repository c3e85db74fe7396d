// A test host that pushes the arguments of a native one by one, calls it
// with the count pushed, checks the stack it leaves and pops its outputs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/errors/errors.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"

namespace vke::test {

using NativeFn = ErrCode (*)(EngineContext*, int32_t, int32_t, uintptr_t);

class NativeCallFixture : public ::testing::Test {
 protected:
  void M(int32_t rows, int32_t cols, const std::vector<double>& values) {
    PushArray(ctx, "double", {rows, cols}, values);
    args++;
  }
  void Row(const std::vector<double>& values) { M(1, int32_t(values.size()), values); }
  void S(double v) { M(1, 1, {v}); }
  void Text(const std::string& t) {
    PushText(ctx, t);
    args++;
  }
  // Calls with the arguments pushed so far; on success the outputs are
  // popped into out (output 1 first). A failure must leave the arguments
  // and nothing else.
  ErrCode Call(NativeFn fn, int32_t nargout, uintptr_t option = 0) {
    const int32_t n = args;
    args = 0;
    out.clear();
    const int32_t before = EntryCount(ctx) - n;
    ErrCode e = fn(ctx, n, nargout, option);
    if (e) {
      EXPECT_EQ(EntryCount(ctx), before + n);
      while (EntryCount(ctx) > before) Drop(ctx);
      return e;
    }
    EXPECT_EQ(EntryCount(ctx), before + std::max(nargout, 1));
    while (EntryCount(ctx) > before) {
      out.push_back(ReadArray(ctx));
      Drop(ctx);
    }
    return e;
  }
  void ExpectValues(size_t k, const std::vector<double>& want, double tol) {
    ASSERT_LT(k, out.size());
    ASSERT_EQ(out[k].re.size(), want.size()) << "output " << k + 1;
    for (size_t i = 0; i < want.size(); i++)
      EXPECT_NEAR(out[k].re[i], want[i], tol) << "output " << k + 1 << " element " << i;
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t args = 0;
  std::vector<ArrayValue> out;
};

}  // namespace vke::test
