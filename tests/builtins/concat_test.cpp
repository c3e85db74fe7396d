// Concatenation of arrays, lists, cell arrays and structures, the field
// conforming of structures, and structure lists made into arrays.
#include <gtest/gtest.h>

#include <cmath>

#include "builtins/array_builtins.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using namespace test;

// A structure of fields with scalar values, in the given order.
void PushStruct(EngineContext* ctx, const std::vector<std::pair<const char*, double>>& fields) {
  bool first = true;
  for (const auto& [name, value] : fields) {
    PushRow(ctx, "double", {value});
    ASSERT_EQ(PushListFromEntries(ctx, 1, !first, name, -1), kOk);
    first = false;
  }
}

// Field k's name and value of element e (from 1) of the structure array on
// top; NaN for a field holding [].
std::pair<std::string, double> FieldOf(EngineContext* ctx, int32_t element, int32_t k) {
  EXPECT_EQ(GetListElement(ctx, 0, element), kOk);
  const char* name;
  int32_t length;
  EXPECT_EQ(GetStructFieldName(ctx, 0, k, &name, &length), kOk);
  std::string field(name, length);
  EXPECT_EQ(GetStructField(ctx, 0, field.c_str(), -1), kOk);
  const double value = DescAt(ctx, 0)->size ? TopScalar(ctx) : NAN;
  Drop(ctx, 2);
  return {field, value};
}

TEST(Concatenate, NumericAlongEachDimension) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {1, 2});
  PushRow(ctx, "double", {3});
  ASSERT_EQ(CallOp(ctx, kOpHorzcat, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 2, 3}));
  PushRow(ctx, "double", {4, 5, 6});
  ASSERT_EQ(CallOp(ctx, kOpVertcat, 2), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 3}));
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 2, 3, 4, 5, 6}));
  PushArray(ctx, "double", {2, 1}, {7, 8});
  ASSERT_EQ(CallOp(ctx, kOpHorzcat, 2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 2, 3, 7, 4, 5, 6, 8}));
  Drop(ctx);
  // cat(3, a, b) of two 2 x 2 arrays.
  PushRow(ctx, "double", {3});
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  PushArray(ctx, "double", {2, 2}, {5, 6, 7, 8});
  ASSERT_EQ(CallOp(ctx, kOpCat, 3), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 2, 2}));
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 2, 3, 4, 5, 6, 7, 8}));
  // Along dimension 2 of 3-D arrays: chunks of each page interleave.
  PushRow(ctx, "double", {2});
  PushArray(ctx, "double", {1, 1, 2}, {1, 2});
  PushArray(ctx, "double", {1, 2, 2}, {3, 4, 5, 6});
  ASSERT_EQ(CallOp(ctx, kOpCat, 3), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{1, 3, 2}));
  EXPECT_EQ(ValuesAt(ctx), (Values{1, 3, 4, 2, 5, 6}));
  Drop(ctx, 2);
  // No operand, one operand, and [] operands, which take no part.
  ASSERT_EQ(CallOp(ctx, kOpVertcat, 0), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{0, 0}));
  PushText(ctx, "ab");
  ASSERT_EQ(CallOp(ctx, kOpHorzcat, 1), kOk);
  EXPECT_EQ(ReadArray(ctx).cls, "char");
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  ASSERT_EQ(CallOp(ctx, kOpVertcat, 3), kOk);
  EXPECT_EQ(DimsAt(ctx), (Dims{3, 2}));
  EXPECT_EQ(ValuesAt(ctx), (Values{'a', 'b', 1, 2, 3, 4}));
  Drop(ctx);
  const int32_t base = EntryCount(ctx);
  PushRow(ctx, "double", {1, 2});
  PushArray(ctx, "double", {2, 1}, {1, 2});
  EXPECT_EQ(CallOp(ctx, kOpHorzcat, 2), kErrIncompSize);
  Drop(ctx, 2);
  for (double dim : {17.0, 0.0}) {
    PushRow(ctx, "double", {dim});
    PushRow(ctx, "double", {1});
    PushRow(ctx, "double", {2});
    EXPECT_EQ(CallOp(ctx, kOpCat, 3), kErrBadDim);
    Drop(ctx, 3);
  }
  EXPECT_EQ(EntryCount(ctx), base);
}

TEST(Concatenate, AppendsOfOneClassKeepTheirElementsAndWhatLiesBelow) {
  // Operands of one class that append (rows side by side, rows under rows)
  // become the result where they lie; the entries below stay untouched.
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {99});
  const int32_t base = EntryCount(ctx);
  const struct {
    const char* cls;
    int32_t op;
    std::vector<int32_t> dims;
  } cases[] = {
      {"int8", kOpHorzcat, {1, 5}},   {"uint16", kOpHorzcat, {1, 5}},
      {"single", kOpHorzcat, {1, 5}}, {"logical", kOpHorzcat, {1, 5}},
      {"char", kOpHorzcat, {1, 5}},   {"int32", kOpVertcat, {0, 0}},
  };
  for (const auto& c : cases) {
    const bool rows = c.op == kOpVertcat;
    PushArray(ctx, c.cls, {1, rows ? 3 : 2}, {1, 0, 1});
    PushArray(ctx, c.cls, {1, 3}, {1, 1, 0});
    PushArray(ctx, c.cls, {1, rows ? 3 : 0},
              rows ? std::vector<double>{0, 1, 1} : std::vector<double>{});
    ASSERT_EQ(CallOp(ctx, c.op, 3), kOk) << c.cls;
    const ArrayValue v = ReadArray(ctx);
    EXPECT_EQ(v.cls, c.cls);
    EXPECT_EQ(v.dims, rows ? (std::vector<int32_t>{3, 3}) : c.dims) << c.cls;
    EXPECT_EQ(v.re, rows ? (Values{1, 0, 1, 1, 1, 0, 0, 1, 1}) : (Values{1, 0, 1, 1, 0})) << c.cls;
    Drop(ctx);
    EXPECT_EQ(EntryCount(ctx), base);
    EXPECT_EQ(TopScalar(ctx), 99);
  }
  // Text grows piece by piece, as in a loop that appends to a string.
  PushText(ctx, "");
  for (const char* piece : {"ab", "c", "", "def"}) {
    PushText(ctx, piece);
    ASSERT_EQ(CallOp(ctx, kOpHorzcat, 2), kOk);
  }
  EXPECT_EQ(TopString(ctx), "abcdef");
  EXPECT_EQ(TopScalar(ctx, 1), 99);
}

TEST(Concatenate, OneClassForAllOperands) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushArray(ctx, "int8", {1, 1}, {1});
  PushArray(ctx, "int8", {1, 2}, {2, 3});
  ASSERT_EQ(CallOp(ctx, kOpHorzcat, 2), kOk);
  ArrayValue a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "int8");
  EXPECT_EQ(a.re, (Values{1, 2, 3}));
  PushText(ctx, "cd");
  PushText(ctx, "ab");
  ASSERT_EQ(CallOp(ctx, kOpVertcat, 2), kOk);
  EXPECT_EQ(test::ReadArray(ctx).cls, "char");
  EXPECT_EQ(DimsAt(ctx), (Dims{2, 2}));
  PushArray(ctx, "logical", {1, 1}, {1});
  PushArray(ctx, "logical", {1, 1}, {0});
  ASSERT_EQ(CallOp(ctx, kOpHorzcat, 2), kOk);
  EXPECT_EQ(ReadArray(ctx).cls, "logical");
  // Mixed classes: the common class, double when any operand is double.
  PushArray(ctx, "int8", {1, 1}, {1});
  PushRow(ctx, "double", {2.5});
  ASSERT_EQ(CallOp(ctx, kOpHorzcat, 2), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.cls, "double");
  EXPECT_EQ(a.re, (Values{1, 2.5}));
  PushArray(ctx, "single", {1, 1}, {1});
  PushArray(ctx, "int16", {1, 1}, {2});
  ASSERT_EQ(CallOp(ctx, kOpHorzcat, 2), kOk);
  EXPECT_EQ(ReadArray(ctx).cls, "single");
  // A complex operand makes the result complex.
  PushRow(ctx, "double", {1});
  PushArray(ctx, "double", {1, 1}, {2}, {3});
  ASSERT_EQ(CallOp(ctx, kOpHorzcat, 2), kOk);
  a = ReadArray(ctx);
  EXPECT_EQ(a.re, (Values{1, 2}));
  EXPECT_EQ(a.im, (Values{0, 3}));
}

TEST(Concatenate, ListsAndCellArrays) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRow(ctx, "double", {1});
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, nullptr, 0), kOk);
  PushRow(ctx, "double", {2});
  PushText(ctx, "x");
  ASSERT_EQ(PushListFromEntries(ctx, 2, false, nullptr, 0), kOk);
  ASSERT_EQ(CallOp(ctx, kOpHorzcat, 2), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindCell);
  EXPECT_EQ(parts.shape.dims[0], 1);
  EXPECT_EQ(parts.shape.dims[1], 3);
  ASSERT_EQ(GetListElement(ctx, 0, 3), kOk);
  EXPECT_EQ(test::TopString(ctx), "x");
  Drop(ctx);
  // Two rows of three: a 2 x 3 cell array.
  ASSERT_EQ(DuplicateStackEntries(ctx, 0, 1), kOk);
  ASSERT_EQ(CallOp(ctx, kOpVertcat, 2), kOk);
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.shape.dims[0], 2);
  EXPECT_EQ(parts.elements, 6);
  ASSERT_EQ(GetListElement(ctx, 0, 4), kOk);
  EXPECT_EQ(TopScalar(ctx), 1);
  Drop(ctx);
  PushRow(ctx, "double", {1});
  EXPECT_EQ(CallOp(ctx, kOpHorzcat, 2), kErrWrongTypeOverload);
}

TEST(Concatenate, StructuresAreConformedToAllTheirFields) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushStruct(ctx, {{"a", 1}, {"b", 2}});
  PushStruct(ctx, {{"b", 3}, {"c", 4}});
  ASSERT_EQ(CallOp(ctx, kOpHorzcat, 2), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindStructArray);
  EXPECT_EQ(parts.elements, 2);
  EXPECT_EQ(parts.fields, 3);
  using Field = std::pair<std::string, double>;
  EXPECT_EQ(FieldOf(ctx, 1, 1), (Field{"a", 1}));
  EXPECT_EQ(FieldOf(ctx, 1, 2), (Field{"b", 2}));
  EXPECT_TRUE(std::isnan(FieldOf(ctx, 1, 3).second));
  EXPECT_TRUE(std::isnan(FieldOf(ctx, 2, 1).second));
  EXPECT_EQ(FieldOf(ctx, 2, 2), (Field{"b", 3}));
  EXPECT_EQ(FieldOf(ctx, 2, 3), (Field{"c", 4}));
  // A structure array and a structure, one above the other.
  PushStruct(ctx, {{"c", 5}});
  ASSERT_EQ(CallOp(ctx, kOpVertcat, 2), kErrIncompSize);
  Drop(ctx);
  PushStruct(ctx, {{"c", 5}});
  PushStruct(ctx, {{"c", 6}});
  ASSERT_EQ(CallOp(ctx, kOpHorzcat, 2), kOk);
  ASSERT_EQ(CallOp(ctx, kOpVertcat, 2), kOk);
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.shape.dims[0], 2);
  EXPECT_EQ(parts.shape.dims[1], 2);
  EXPECT_EQ(FieldOf(ctx, 4, 3), (Field{"c", 6}));
  PushRow(ctx, "double", {1});
  EXPECT_EQ(CallOp(ctx, kOpHorzcat, 2), kErrWrongTypeOverload);
}

TEST(Concatenate, ConformingFieldsAndStructureLists) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  int32_t ids[3];
  for (int k = 0; k < 3; k++) {
    const char name[2] = {char('a' + k), 0};
    ASSERT_EQ(InternName(ctx, name, 1, 32, &ids[k]), kOk);
  }
  PushStruct(ctx, {{"c", 3}, {"a", 1}});
  ASSERT_EQ(ConformStructFields(ctx, ids, 3), kOk);
  const char* name;
  int32_t length;
  for (int k = 0; k < 3; k++) {
    ASSERT_EQ(GetStructFieldName(ctx, 0, k + 1, &name, &length), kOk);
    EXPECT_EQ(std::string(name, length), std::string(1, char('a' + k)));
  }
  ASSERT_EQ(GetStructField(ctx, 0, "c", -1), kOk);
  EXPECT_EQ(TopScalar(ctx), 3);
  Drop(ctx);
  // Already conformed: nothing moves.
  const uint32_t top = ctx->dataTop;
  ASSERT_EQ(ConformStructFields(ctx, ids, 3), kOk);
  EXPECT_EQ(ctx->dataTop, top);
  Drop(ctx);
  PushRow(ctx, "double", {1});
  EXPECT_EQ(ConformStructFields(ctx, ids, 3), kErrWrongTypeOverload);
  Drop(ctx);

  // A list of structures with different fields becomes one array.
  PushStruct(ctx, {{"a", 1}});
  PushStruct(ctx, {{"b", 2}});
  PushStruct(ctx, {{"a", 3}, {"b", 4}});
  ASSERT_EQ(PushListFromEntries(ctx, 3, false, nullptr, 0), kOk);
  ASSERT_EQ(StructListToArray(ctx), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindStructArray);
  EXPECT_EQ(parts.elements, 3);
  EXPECT_EQ(parts.fields, 2);
  EXPECT_EQ(EntryCount(ctx), 1);
  EXPECT_EQ(FieldOf(ctx, 2, 2).second, 2);
  EXPECT_EQ(FieldOf(ctx, 3, 1).second, 3);
  Drop(ctx);
  // A 2 x 1 cell array of structures keeps its shape.
  PushStruct(ctx, {{"a", 1}});
  PushStruct(ctx, {{"a", 2}});
  ASSERT_EQ(PushListFromEntries(ctx, 2, false, nullptr, 0), kOk);
  ASSERT_EQ(CallOp(ctx, kOpTranspose), kOk);
  ASSERT_EQ(StructListToArray(ctx), kOk);
  ASSERT_EQ(GetStructuredValueOfKind(ctx, 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindStructArray);
  EXPECT_EQ(parts.shape.dims[0], 2);
  EXPECT_EQ(parts.shape.dims[1], 1);
  EXPECT_EQ(FieldOf(ctx, 2, 1).second, 2);
  PushRow(ctx, "double", {1});
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, nullptr, 0), kOk);
  EXPECT_EQ(StructListToArray(ctx), kErrWrongType);
}

}  // namespace
}  // namespace vke
