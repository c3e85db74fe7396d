// The test host with the "!lapack" library registered in front, as the
// application registers it, and helpers for checks on evaluated text.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/registry/registry.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "tests/host/eval_fixture.hpp"

namespace vke::test {

// One argument of LapackFixture::CheckTooLittleRoom: a rows x cols matrix
// with a heavy diagonal, complex when asked.
struct TestMatrix {
  int32_t rows;
  int32_t cols;
  bool complex = false;
};

class LapackFixture : public EvalFixture {
 protected:
  void SetUp() override { ASSERT_EQ(RegisterLibrary(ctx, LapackLibraryTable(), true), kOk); }

  // Whether the condition evaluates to true.
  bool Holds(const std::string& condition) { return Eval(condition) == "true"; }

  // The library's record of that name.
  static const NativeFunctionRecord& Record(const std::string& name) {
    const NativeFunctionRecord* r = LapackLibraryTable();
    while (!r->IsEnd() && name != r->name) r++;
    EXPECT_FALSE(r->IsEnd()) << name;
    return *r;
  }

  // Calls the library's native of that name on the top nargin entries.
  ErrCode CallNative(const std::string& name, int32_t nargin, int32_t nargout) {
    const NativeFunctionRecord& r = Record(name);
    return reinterpret_cast<NativeFn>(r.function)(ctx, nargin, nargout, r.option);
  }

  // With a filler below the arguments that leaves 320 bytes free above
  // them, the native answers 3 (dataOverflow) and leaves them exactly as
  // they were; without the filler the same call succeeds.
  void CheckTooLittleRoom(const std::string& name, int32_t nargout,
                          const std::vector<TestMatrix>& args);
};

}  // namespace vke::test
