// The engine's part of the static native table: every row of the folders'
// natives.def files under its library's header, the libraries in table
// order, each library's rows in the order of the folders and their rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/runtime_tables.hpp"
#include "engine/registry/native_record.hpp"

namespace vke {
namespace {

struct Row {
  std::string library, name;
  int minIn, maxIn, minOut, maxOut;
};

const std::vector<Row>& DefinedRows() {
  static const std::vector<Row> rows = {
#define VKE_NATIVE(lib, name, fn, minIn, maxIn, minOut, maxOut, option, kind) \
  {lib, name, minIn, maxIn, minOut, maxOut},
// The folders in table order.
// clang-format off
#include "engine/natives.def"
#include "builtins/natives.def"
#include "numerics/natives.def"
#include "compiler/natives.def"
// clang-format on
#undef VKE_NATIVE
  };
  return rows;
}

TEST(EngineTable, EveryRowUnderItsLibraryInOrder) {
  const NativeFunctionRecord* r = EngineStaticTable();
  size_t checked = 0;
  for (const char* library : {"@VKE", "!VKE", "!quaternion"}) {
    ASSERT_STREQ(r->name, library);
    ASSERT_TRUE(r->IsHeader());
    r++;
    std::vector<const Row*> expected;
    for (const Row& row : DefinedRows())
      if (row.library == library) expected.push_back(&row);
    ASSERT_FALSE(expected.empty()) << library;
    for (const Row* row : expected) {
      EXPECT_EQ(r->name, row->name) << library;
      EXPECT_NE(r->function, nullptr) << row->name;
      EXPECT_EQ(r->minIn, row->minIn) << row->name;
      EXPECT_EQ(r->maxIn, row->maxIn) << row->name;
      EXPECT_EQ(r->minOut, row->minOut) << row->name;
      EXPECT_EQ(r->maxOut, row->maxOut) << row->name;
      r++;
      checked++;
    }
  }
  EXPECT_TRUE(r->IsEnd());
  EXPECT_EQ(checked, DefinedRows().size());
}

}  // namespace
}  // namespace vke
