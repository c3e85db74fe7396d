#include "tests/host/value_io.hpp"

#include <gtest/gtest.h>

#include "engine/value_read.hpp"
#include "engine/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke::test {

void PushDoubles(EngineContext* ctx, std::initializer_list<double> values) {
  double* re;
  ASSERT_EQ(PushNewMatrix(ctx, 1, static_cast<int32_t>(values.size()), &re, nullptr), kOk);
  for (double v : values) *re++ = v;
}

void PushIntegers(EngineContext* ctx, int32_t bytes, bool isUnsigned,
                  std::initializer_list<int64_t> values) {
  const int32_t dims[2] = {1, static_cast<int32_t>(values.size())};
  void* data;
  ASSERT_EQ(PushNewTypedArray(ctx, 2, dims, bytes, isUnsigned, &data), kOk);
  auto* p = static_cast<uint8_t*>(data);
  for (int64_t v : values) {
    std::memcpy(p, &v, bytes);
    p += bytes;
  }
}

std::vector<double> PopNumbers(EngineContext* ctx) {
  const NumericView v = ViewNumeric(ctx, 0);
  std::vector<double> out;
  for (int32_t i = 0; i < v.shape.count; i++) {
    if (v.cls == ValueClass::kDouble)
      out.push_back(Load<double>(v.elements + 8 * i));
    else if (v.cls == ValueClass::kSingle)
      out.push_back(Load<float>(v.elements + 4 * i));
    else
      out.push_back(ReadIntegerElement(v.elements, v.code, i));
  }
  EXPECT_NE(v.cls, ValueClass::kOther);
  Drop(ctx);
  return out;
}

std::string PopText(EngineContext* ctx) {
  std::string s = TopString(ctx);
  Drop(ctx);
  return s;
}

}  // namespace vke::test
