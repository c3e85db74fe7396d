// Lists, cell arrays and structures: struct and structarray, field access
// and changes, struct2cell and cell2struct, orderfields, num2cell and
// num2list, list2num, replist and the list tests.
#include <gtest/gtest.h>

#include <string>

#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/values.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

class Structs : public ::testing::Test {
 protected:
  // Calls name on the top nargin entries; its outputs as text, first first.
  std::string Finish(const std::string& name, int32_t nargin, int32_t nargout = 1) {
    return CallForText(ctx, name, nargin, nargout);
  }
  // s = struct('a', 1, 'b', 'x')
  void PushAB() {
    PushRealScalar(ctx, 1);
    PushText(ctx, "x");
    MakeStruct(ctx, {"a", "b"});
  }
  // structarray('a', {1, 2, 3}, 'b', {'p', 'q', 'r'})
  void PushStructArray() {
    PushText(ctx, "a");
    PushRealScalar(ctx, 1);
    PushRealScalar(ctx, 2);
    PushRealScalar(ctx, 3);
    MakeList(ctx, 3);
    PushText(ctx, "b");
    PushText(ctx, "p");
    PushText(ctx, "q");
    PushText(ctx, "r");
    MakeList(ctx, 3);
    ASSERT_EQ(CallNamed(ctx, "structarray", 4), kOk);
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
};

TEST_F(Structs, StructFromPairsAndFromAValue) {
  PushText(ctx, "a");
  PushRealScalar(ctx, 1);
  PushText(ctx, "b");
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 2);
  MakeList(ctx, 2);
  EXPECT_EQ(Finish("struct", 4), "struct('a',1, ...\n'b',{1, ...\n2})");
  EXPECT_EQ(Finish("struct", 0), "struct()");
  PushText(ctx, "a");
  PushRealScalar(ctx, 1);
  PushText(ctx, "b");
  EXPECT_EQ(Finish("struct", 3), "error 125");
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("struct", 2), "error 44");
  PushText(ctx, "");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("struct", 2), "error 204");
  PushText(ctx, std::string(33, 'n'));
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("struct", 2), "error 205");
  // An object becomes a plain structure; lists and cell arrays are refused.
  PushAB();
  int32_t point;
  InternName(ctx, "point", 5, 32, &point);
  DescAt(ctx, 0)->word = -point;
  EXPECT_EQ(Finish("struct", 1), "struct('a',1, ...\n'b','x')");
  MakeList(ctx, 0);
  EXPECT_EQ(Finish("struct", 1), "error 44");
  const int32_t dims[2] = {1, 2};
  PushNewCellArray(ctx, 2, dims);
  EXPECT_EQ(Finish("struct", 1), "error 44");
}

TEST_F(Structs, StructarrayTakesTheIthElements) {
  PushStructArray();
  EXPECT_EQ(
      DumpTop(ctx),
      "cell2struct(reshape({1, ...\n'p', ...\n2, ...\n'q', ...\n3, ...\n'r'},[2,1,3]),{'a','b'})");
  EXPECT_EQ(Finish("isstruct", 1), "true");
  PushText(ctx, "a");
  PushRealScalar(ctx, 1);
  MakeList(ctx, 1);
  PushText(ctx, "b");
  MakeList(ctx, 0);
  EXPECT_EQ(Finish("structarray", 4), "error 21");
  PushText(ctx, "a");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("structarray", 2), "error 44");
  PushText(ctx, "a");
  EXPECT_EQ(Finish("structarray", 1), "error 125");
}

TEST_F(Structs, FieldTestsReadsAndChanges) {
  PushAB();
  PushText(ctx, "b");
  EXPECT_EQ(Finish("isfield", 2), "true");
  PushAB();
  PushText(ctx, "B");
  EXPECT_EQ(Finish("isfield", 2), "false");
  PushRealScalar(ctx, 1);
  PushText(ctx, "a");
  EXPECT_EQ(Finish("isfield", 2), "false");
  PushStructArray();
  PushText(ctx, "b");
  EXPECT_EQ(Finish("isfield", 2), "true");

  PushAB();
  PushText(ctx, "b");
  EXPECT_EQ(Finish("getfield", 2), "'x'");
  PushAB();
  PushText(ctx, "c");
  EXPECT_EQ(Finish("getfield", 2), "error 39");
  PushStructArray();
  PushText(ctx, "a");
  EXPECT_EQ(Finish("getfield", 2), "error 44");

  // setfield replaces in place of the field, or appends.
  PushAB();
  PushText(ctx, "a");
  PushRow(ctx, "double", {1, 2, 3});
  EXPECT_EQ(Finish("setfield", 3), "struct('a',[1:3], ...\n'b','x')");
  PushAB();
  PushText(ctx, "c");
  MakeList(ctx, 0);
  EXPECT_EQ(Finish("setfield", 3), "struct('a',1, ...\n'b','x', ...\n'c',{})");
  PushRealScalar(ctx, 1);
  PushText(ctx, "c");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("setfield", 3), "error 44");

  PushAB();
  EXPECT_EQ(Finish("fieldnames", 1), "{'a', ...\n'b'}");
  PushStructArray();
  EXPECT_EQ(Finish("fieldnames", 1), "{'a', ...\n'b'}");
}

TEST_F(Structs, ObjectFieldsOnlyInsideMethods) {
  PushAB();
  int32_t point;
  InternName(ctx, "point", 5, 32, &point);
  DescAt(ctx, 0)->word = -point;
  PushText(ctx, "a");
  EXPECT_EQ(CallNamed(ctx, "getfield", 2), kErrInvalidFieldAccess);
  Drop(ctx);
  FrameWords(ctx, ctx->curFrame)[kFwMethodCall] = 1;  // a class's method runs
  ASSERT_EQ(DuplicateStackEntries(ctx, 0, 1), kOk);
  PushText(ctx, "a");
  EXPECT_EQ(Finish("getfield", 2), "1");
  PushText(ctx, "a");
  PushRealScalar(ctx, 5);
  EXPECT_EQ(Finish("setfield", 3), "class(struct('a',5, ...\n'b','x'), 'point')");
}

TEST_F(Structs, RmfieldFromStructuresAndArrays) {
  PushAB();
  PushText(ctx, "a");
  EXPECT_EQ(Finish("rmfield", 2), "struct('b','x')");
  PushAB();
  PushText(ctx, "b");
  PushText(ctx, "zz");
  MakeList(ctx, 2);
  EXPECT_EQ(Finish("rmfield", 2), "struct('a',1)");
  PushStructArray();
  PushText(ctx, "a");
  EXPECT_EQ(Finish("rmfield", 2), "cell2struct(reshape({'p', ...\n'q', ...\n'r'},[1,1,3]),{'b'})");
  MakeList(ctx, 0);
  PushText(ctx, "a");
  EXPECT_EQ(Finish("rmfield", 2), "error 44");
  PushAB();
  PushRealScalar(ctx, 1);
  MakeList(ctx, 1);
  EXPECT_EQ(Finish("rmfield", 2), "error 44");
}

TEST_F(Structs, Struct2cellAndCell2structInvertEachOther) {
  PushAB();
  EXPECT_EQ(Finish("struct2cell", 1), "reshape({1, ...\n'x'},[2,1])");
  // cell2struct(struct2cell(s), fieldnames(s)) gives s back.
  PushStructArray();
  ASSERT_EQ(DuplicateStackEntries(ctx, 0, 1), kOk);
  ASSERT_EQ(CallNamed(ctx, "struct2cell", 1), kOk);
  ASSERT_EQ(DuplicateStackEntries(ctx, 1, 1), kOk);
  ASSERT_EQ(CallNamed(ctx, "fieldnames", 1), kOk);
  ASSERT_EQ(CallNamed(ctx, "cell2struct", 2), kOk);
  EXPECT_EQ(Finish("same", 2), "true");
  // Along the second dimension; a list is a row.
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 2);
  MakeList(ctx, 2);
  PushText(ctx, "a");
  PushText(ctx, "b");
  MakeList(ctx, 2);
  PushRealScalar(ctx, 2);
  EXPECT_EQ(Finish("cell2struct", 3), "cell2struct(reshape({1, ...\n2},[2,1]),{'a','b'})");
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 2);
  MakeList(ctx, 2);
  PushText(ctx, "a");
  MakeList(ctx, 1);
  EXPECT_EQ(Finish("cell2struct", 2), "cell2struct(reshape({1, ...\n2},[1,2]),{'a'})");
  PushRealScalar(ctx, 1);
  MakeList(ctx, 1);
  PushText(ctx, "a");
  PushText(ctx, "b");
  MakeList(ctx, 2);
  EXPECT_EQ(Finish("cell2struct", 2), "error 20");
  MakeList(ctx, 0);
  MakeList(ctx, 0);
  PushRealScalar(ctx, 0);
  EXPECT_EQ(Finish("cell2struct", 3), "error 34");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("struct2cell", 1), "error 44");
}

TEST_F(Structs, OrderfieldsSortsOrPermutes) {
  auto bAab = [&] {
    PushRealScalar(ctx, 1);
    PushRealScalar(ctx, 2);
    PushRealScalar(ctx, 3);
    MakeStruct(ctx, {"b", "a", "ab"});
  };
  bAab();
  EXPECT_EQ(Finish("orderfields", 1, 2), "struct('a',2, ...\n'ab',3, ...\n'b',1) | [2\n3\n1]");
  bAab();
  PushRow(ctx, "double", {3, 1, 2});
  EXPECT_EQ(Finish("orderfields", 2), "struct('ab',3, ...\n'b',1, ...\n'a',2)");
  bAab();
  PushRealScalar(ctx, 0);
  PushRealScalar(ctx, 0);
  PushRealScalar(ctx, 0);
  MakeStruct(ctx, {"ab", "a", "b"});
  EXPECT_EQ(Finish("orderfields", 2, 2), "struct('ab',3, ...\n'a',2, ...\n'b',1) | [3\n2\n1]");
  bAab();
  PushRow(ctx, "double", {1, 2});
  EXPECT_EQ(Finish("orderfields", 2), "error 21");
  bAab();
  PushRow(ctx, "double", {1, 2, 2.5});
  EXPECT_EQ(Finish("orderfields", 2), "error 102");
  bAab();
  PushRow(ctx, "double", {1, 2, 2});
  EXPECT_EQ(Finish("orderfields", 2), "error 107");
  bAab();
  PushRow(ctx, "double", {1, 2, 4});
  EXPECT_EQ(Finish("orderfields", 2), "error 107");
  bAab();
  PushText(ctx, "abc");
  EXPECT_EQ(Finish("orderfields", 2), "error 43");
  // Every element of a structure array.
  PushStructArray();
  PushRow(ctx, "double", {2, 1});
  EXPECT_EQ(
      Finish("orderfields", 2),
      "cell2struct(reshape({'p', ...\n1, ...\n'q', ...\n2, ...\n'r', ...\n3},[2,1,3]),{'b','a'})");
}

TEST_F(Structs, Num2cellAndNum2listCutArrays) {
  PushArray(ctx, "double", {2, 2}, {1, 2, 3, 4});
  EXPECT_EQ(Finish("num2cell", 1), "reshape({1, ...\n2, ...\n3, ...\n4},[2,2])");
  PushArray(ctx, "double", {2, 3}, {1, 2, 3, 4, 5, 6});
  PushRealScalar(ctx, 2);
  EXPECT_EQ(Finish("num2cell", 2), "reshape({[1:3], ...\n[4:6]},[2,1])");
  PushArray(ctx, "double", {2, 3}, {1, 2, 3, 4, 5, 6});
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("num2list", 2), "{[1\n4], ...\n[2\n5], ...\n[3\n6]}");
  PushIntegers(ctx, kCodeInt8, {1, 2}, {-1, 7});
  EXPECT_EQ(Finish("num2list", 1), "{-1int8, ...\n7int8}");
  PushComplexScalar(ctx, 1, 2);
  EXPECT_EQ(Finish("num2cell", 1), "struct2cell(struct('a',1+2i))");
  PushEmptyMatrix(ctx);
  EXPECT_EQ(Finish("num2cell", 1), "{}");
  PushRow(ctx, "double", {1, 2});
  PushRealScalar(ctx, 0);
  EXPECT_EQ(Finish("num2cell", 2), "error 34");
  MakeList(ctx, 0);
  EXPECT_EQ(Finish("num2list", 1), "error 44");
}

TEST_F(Structs, ListTestsAndReplist) {
  MakeList(ctx, 0);
  EXPECT_EQ(Finish("iscell", 1), "true");
  const int32_t dims[2] = {1, 1};
  PushNewCellArray(ctx, 2, dims);
  EXPECT_EQ(Finish("islist", 1), "false");
  PushRealScalar(ctx, 1);
  PushText(ctx, "b");
  MakeList(ctx, 2);
  PushRealScalar(ctx, 3);
  EXPECT_EQ(Finish("replist", 2), "{1, ...\n'b', ...\n1, ...\n'b', ...\n1, ...\n'b'}");
  PushRealScalar(ctx, 1);
  MakeList(ctx, 1);
  PushRealScalar(ctx, 0);
  EXPECT_EQ(Finish("replist", 2), "{}");
  MakeList(ctx, 0);
  PushRealScalar(ctx, 1.5);
  EXPECT_EQ(Finish("replist", 2), "error 102");
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 2);
  EXPECT_EQ(Finish("replist", 2), "error 44");
}

TEST_F(Structs, List2numJoinsItemsSideBySide) {
  PushRealScalar(ctx, 1);
  PushRow(ctx, "double", {2, 3});
  MakeList(ctx, 2);
  EXPECT_EQ(Finish("list2num", 1), "[1:3]");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("list2num", 1), "error 44");
}

}  // namespace
}  // namespace vke
