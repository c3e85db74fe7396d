// Helpers of the builtin tests beside the shared ones: double columns and
// char rows pushed, and elements compared within a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/errors.hpp"
#include "engine/values.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/string_lists.hpp"

namespace vke::test {

using Elems = std::vector<double>;
using Dims = std::vector<int32_t>;

// An n x 1 double column (0 x 0 when re is empty).
inline void PushColumn(EngineContext* ctx, const Elems& re, const Elems& im = {}) {
  const auto n = static_cast<int32_t>(re.size());
  PushArray(ctx, "double", {n, n ? 1 : 0}, re, im);
}

inline void PushString(EngineContext* ctx, const std::string& s) {
  ASSERT_EQ(PushCString(ctx, static_cast<int32_t>(s.size()), s.data()), kOk);
}

inline void ExpectNear(const Elems& actual, const Elems& expected, double tol = 1e-12) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); i++) EXPECT_NEAR(actual[i], expected[i], tol) << i;
}

}  // namespace vke::test
