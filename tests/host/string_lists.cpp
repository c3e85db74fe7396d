#include "tests/host/string_lists.hpp"

#include <gtest/gtest.h>

#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke::test {

void PushStringList(EngineContext* ctx, const std::vector<std::string>& items) {
  for (const std::string& s : items)
    ASSERT_EQ(PushCString(ctx, static_cast<int32_t>(s.size()), s.data()), kOk);
  ASSERT_EQ(PushListFromEntries(ctx, static_cast<int32_t>(items.size()), false, nullptr, 0), kOk);
}

std::vector<std::string> ReadStringList(EngineContext* ctx, int32_t depth) {
  std::vector<std::string> out;
  StructuredParts parts;
  EXPECT_EQ(GetListParts(ctx, depth, &parts), kOk);
  const uint8_t* item = parts.first;
  for (int32_t i = 0; i < parts.elements; i++, item += ItemBytes(item)) {
    NumericView v = ViewNumericData(Load<ValueDescriptor>(item), const_cast<uint8_t*>(item) + 16);
    EXPECT_EQ(v.cls, ValueClass::kChar);
    std::string s;
    for (int32_t k = 0; k < v.shape.count; k++)
      s.push_back(static_cast<char>(Load<uint16_t>(v.elements + 2 * k)));
    out.push_back(s);
  }
  return out;
}

}  // namespace vke::test
