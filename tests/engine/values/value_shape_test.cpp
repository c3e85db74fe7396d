// The shape check of stored values: every value the engine makes passes,
// and a descriptor or header that promises data the value does not hold is
// found wherever it lies, in items of items too.
#include "engine/values/value_shape.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "engine/frames/entry_items.hpp"
#include "engine/values/values.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using test::TestHost;

bool TopIsSound(EngineContext* ctx) {
  return ValueShapeIsSound(*DescAt(ctx, 0), DataAt(ctx, 0));
}

// The item at `index` of the top value's items (a structured value's data).
uint8_t* TopItem(EngineContext* ctx, int32_t index) {
  uint8_t* item = DataAt(ctx, 0);
  for (int32_t i = 0; i < index; i++) item += ItemBytes(item);
  return item;
}

TEST(ValueShape, ValuesTheEngineMakesAreSound) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (const char* text : {"[]",
                           "7",
                           "[1 2; 3 4]",
                           "[1 2] - 4i",
                           "'text'",
                           "''",
                           "int8([1 -2 3])",
                           "uint64(5)",
                           "single([1.5 2])",
                           "true(2, 3)",
                           "zeros(2, 0, 3)",
                           "int16(ones(2, 2, 2))",
                           "{}",
                           "cell(2, 3)",
                           "{1, 'ab'; {2, {[3 4]}}, []}",
                           "struct('a', {1, 2}, 'b', 'x')",
                           "struct('a', {})",
                           "struct()",
                           "@sin",
                           "@(t) t + 1"}) {
    ASSERT_EQ(test::EvaluateText(ctx, text), kOk) << text;
    EXPECT_TRUE(TopIsSound(ctx)) << text;
    Drop(ctx);
  }
}

// Arrays whose headers claim elements, dimensions or a type their data
// cannot hold, and plain matrices of negative columns.
TEST(ValueShape, ArraysThatPromiseMoreThanTheirDataAreRefused) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(test::EvaluateText(ctx, "'text'"), kOk);
  uint8_t* header = DataAt(ctx, 0);
  const auto damage = [&](size_t offset, uint32_t value) {
    const uint32_t was = Load<uint32_t>(header + offset);
    Store<uint32_t>(header + offset, value);
    EXPECT_FALSE(TopIsSound(ctx)) << offset << " " << value;
    Store<uint32_t>(header + offset, was);
    EXPECT_TRUE(TopIsSound(ctx));
  };
  damage(12, 5);           // 1 x 5 characters in the room of four
  damage(8, 0x80000001u);  // a dimension beyond int32
  damage(4, 40);           // more dimensions than a header has
  damage(4, 3);            // a third dimension whose header words are characters
  damage(0, 3);            // no type code
  DescAt(ctx, 0)->size = 0;
  EXPECT_FALSE(TopIsSound(ctx));
  Drop(ctx);

  ASSERT_EQ(test::EvaluateText(ctx, "[1 2; 3 4]"), kOk);
  DescAt(ctx, 0)->word = -2;
  EXPECT_FALSE(TopIsSound(ctx));
  Drop(ctx);
}

// A complex element takes two numbers: dimensions that the data would hold
// only as real numbers are refused, single and double alike.
TEST(ValueShape, ComplexArraysNeedRoomForBothParts) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (const auto& [text, code, dim, fits] :
       {std::tuple{"single([1 2 3 4] + 1i)", kCodeSingleComplex, 1, 8},
        std::tuple{"complex(ones(1, 2, 2), 1)", kCodeDoubleComplex, 2, 4}}) {
    SCOPED_TRACE(text);
    ASSERT_EQ(test::EvaluateText(ctx, text), kOk);
    uint8_t* header = DataAt(ctx, 0);
    ASSERT_EQ(HeaderCode(header), uint32_t(code));
    ASSERT_TRUE(TopIsSound(ctx));
    const uint32_t was = HeaderDim(header, dim);
    Store<uint32_t>(header + 8 + 4 * dim, uint32_t(fits));  // twice the elements
    EXPECT_FALSE(TopIsSound(ctx));
    Store<uint32_t>(header + 8 + 4 * dim, was);
    EXPECT_TRUE(TopIsSound(ctx));
    Drop(ctx);
  }
}

// Structured values: an item that runs past its value's end, a value that
// ends inside an item's header, a damaged item inside an item, and a
// dimension item that is not of int32 words.
TEST(ValueShape, ItemsMustFillTheirValueAndBeSoundThemselves) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(test::RunCommandLine(ctx,
                                 "c = cell(1, 3); c{1} = 1; c{2} = 'ab';\n"
                                 "d = cell(1, 1); d{1} = 'cd'; c{3} = d;\n"),
            kOk);
  ASSERT_EQ(test::EvaluateText(ctx, "c"), kOk);
  ASSERT_TRUE(TopIsSound(ctx));
  // Items: the dimensions, 1, 'ab', the cell holding 'cd'.
  uint8_t* last = TopItem(ctx, 3);
  uint8_t* ab = TopItem(ctx, 2);
  Store<uint32_t>(ab + 4, Load<uint32_t>(ab + 4) + 1);
  EXPECT_FALSE(TopIsSound(ctx));
  Store<uint32_t>(ab + 4, Load<uint32_t>(ab + 4) - 1);

  DescAt(ctx, 0)->size -= 1;  // the value ends inside the last item
  EXPECT_FALSE(TopIsSound(ctx));
  DescAt(ctx, 0)->size += 1;

  // 'cd' inside the inner cell: its header claims three characters more.
  uint8_t* inner = last + kItemHeaderBytes;
  inner += ItemBytes(inner);  // past the inner cell's dimensions
  uint8_t* cdHeader = inner + kItemHeaderBytes;
  Store<uint32_t>(cdHeader + 12, 5);
  EXPECT_FALSE(TopIsSound(ctx));
  Store<uint32_t>(cdHeader + 12, 2);
  ASSERT_TRUE(TopIsSound(ctx));

  uint8_t* dims = TopItem(ctx, 0) + kItemHeaderBytes;
  Store<uint32_t>(dims, kCodeInt8);
  EXPECT_FALSE(TopIsSound(ctx));
  Store<uint32_t>(dims, kCodeInt32);
  EXPECT_TRUE(TopIsSound(ctx));
  Drop(ctx);
}

}  // namespace
}  // namespace vke
