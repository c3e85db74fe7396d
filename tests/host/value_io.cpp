#include "tests/host/value_io.hpp"

#include <gtest/gtest.h>

#include "engine/values/values.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"

namespace vke::test {

std::vector<double> PopNumbers(EngineContext* ctx) {
  const ArrayValue v = ReadArray(ctx);
  EXPECT_NE(v.cls, "other");
  Drop(ctx);
  return v.re;
}

std::string PopText(EngineContext* ctx) {
  std::string s = TopString(ctx);
  Drop(ctx);
  return s;
}

}  // namespace vke::test
