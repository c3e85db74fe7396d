// Class names, objects and methods: class of every kind of value, objects
// made from structures with parents, isobject, isa and methods.
#include <gtest/gtest.h>

#include <string>

#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

class Objects : public ::testing::Test {
 protected:
  std::string ClassOf() {
    EXPECT_EQ(CallNamed(ctx, "class", 1), kOk);
    std::string name = TopString(ctx);
    Drop(ctx);
    return name;
  }
  // class(struct('x', x), name)
  ErrCode MakeObject(double x, const char* name) {
    PushRealScalar(ctx, x);
    MakeStruct(ctx, {"x"});
    PushText(ctx, name);
    return CallNamed(ctx, "class", 2);
  }
  bool Isa(const char* name) {
    PushText(ctx, name);
    EXPECT_EQ(CallNamed(ctx, "isa", 2), kOk);
    const bool result = ViewNumeric(ctx, 0).elements[0] != 0;
    Drop(ctx);
    return result;
  }
  int32_t Intern(const char* name) {
    int32_t id = 0;
    EXPECT_EQ(InternName(ctx, name, static_cast<int32_t>(std::strlen(name)), 32, &id), kOk);
    return id;
  }
  void AddFunction(const char* name, int32_t libraryId, uint32_t info) {
    ASSERT_LT(ctx->funcCount, ctx->funcCap);
    FunctionTableEntry* e = FunctionEntries(ctx) + ctx->funcCount++;
    *e = FunctionTableEntry{Intern(name), info, kCodeNotCompiled, libraryId};
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
};

TEST_F(Objects, EveryValueHasAClassName) {
  PushIntegers(ctx, kCodeInt8, {1, 1}, {1});
  EXPECT_EQ(ClassOf(), "int8");
  PushIntegers(ctx, kCodeUInt64, {1, 1}, {1});
  EXPECT_EQ(ClassOf(), "uint64");
  PushRow(ctx, "logical", {1});
  EXPECT_EQ(ClassOf(), "logical");
  PushText(ctx, "a");
  EXPECT_EQ(ClassOf(), "char");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(ClassOf(), "double");
  const int32_t dims[3] = {2, 2, 2};
  PushNewArray(ctx, 3, dims, nullptr, nullptr);
  EXPECT_EQ(ClassOf(), "double");
  PushNewSingleArray(ctx, 2, dims, nullptr, nullptr);
  EXPECT_EQ(ClassOf(), "single");
  MakeList(ctx, 0);  // braces make lists
  EXPECT_EQ(ClassOf(), "list");
  PushNewCellArray(ctx, 2, dims);
  EXPECT_EQ(ClassOf(), "cell");
  MakeStruct(ctx, {});
  EXPECT_EQ(ClassOf(), "struct");
  MakeStruct(ctx, {});
  MakeList(ctx, 1);
  ASSERT_EQ(StructListToArray(ctx), kOk);
  EXPECT_EQ(ClassOf(), "structarray");
  void* data;
  PushTypedEntry(ctx, kKindFuncRef, 8, &data);
  EXPECT_EQ(ClassOf(), "funref");
  PushTypedEntry(ctx, kKindInline, 8, &data);
  EXPECT_EQ(ClassOf(), "inline");
  PushTypedEntry(ctx, 140, 8, &data);
  EXPECT_EQ(ClassOf(), "binary");
  PushMarker(ctx, 3);
  EXPECT_EQ(ClassOf(), "???");
}

TEST_F(Objects, ClassMakesObjectsWithParents) {
  ASSERT_EQ(MakeObject(1, "shape"), kOk);
  EXPECT_EQ(DumpTop(ctx), "class(struct('x',1), 'shape')");
  ASSERT_EQ(DuplicateStackEntries(ctx, 0, 1), kOk);
  EXPECT_EQ(ClassOf(), "shape");
  ASSERT_EQ(DuplicateStackEntries(ctx, 0, 1), kOk);
  ASSERT_EQ(CallNamed(ctx, "isobject", 1), kOk);
  EXPECT_EQ(DumpTop(ctx), "true");
  Drop(ctx);
  // A child of shape; the parent becomes its first field.
  PushRealScalar(ctx, 2);
  MakeStruct(ctx, {"r"});
  PushText(ctx, "circle");
  ASSERT_EQ(RollStackEntries(ctx, 3, 1), kOk);  // s, name, parent
  ASSERT_EQ(CallNamed(ctx, "class", 3), kOk);
  EXPECT_EQ(DumpTop(ctx),
            "class(struct('shape',class(struct('x',1), 'shape'), ...\n'r',2), 'circle')");
  ASSERT_EQ(DuplicateStackEntries(ctx, 0, 1), kOk);
  EXPECT_TRUE(Isa("shape"));
  ASSERT_EQ(DuplicateStackEntries(ctx, 0, 1), kOk);
  EXPECT_TRUE(Isa("circle"));
  ASSERT_EQ(DuplicateStackEntries(ctx, 0, 1), kOk);
  EXPECT_FALSE(Isa("struct"));
  ASSERT_EQ(DuplicateStackEntries(ctx, 0, 1), kOk);
  EXPECT_FALSE(Isa("neverSeenBefore"));
  // A parent whose class names a field of s, and a parent that is no object.
  PushRealScalar(ctx, 0);
  MakeStruct(ctx, {"circle"});
  PushText(ctx, "ring");
  ASSERT_EQ(RollStackEntries(ctx, 3, 1), kOk);
  EXPECT_EQ(CallNamed(ctx, "class", 3), kErrUndefField);
  EXPECT_EQ(EntryCount(ctx), 3);
  Drop(ctx, 3);
  MakeStruct(ctx, {});
  PushText(ctx, "ring");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(CallNamed(ctx, "class", 3), kErrNonObjectArg);
  Drop(ctx, 3);
  MakeList(ctx, 0);
  PushText(ctx, "ring");
  EXPECT_EQ(CallNamed(ctx, "class", 2), kErrWrongTypeOverload);
  EXPECT_EQ(EntryCount(ctx), 2);
}

TEST_F(Objects, IsaOfOtherValuesComparesTheClassName) {
  PushRealScalar(ctx, 1);
  EXPECT_TRUE(Isa("double"));
  PushRealScalar(ctx, 1);
  EXPECT_FALSE(Isa("single"));
  MakeList(ctx, 0);
  EXPECT_TRUE(Isa("list"));
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 1);
  EXPECT_EQ(CallNamed(ctx, "isa", 2), kErrWrongTypeOverload);
}

TEST_F(Objects, MethodsListsTheClassLibrary) {
  const int32_t point = Intern("point");
  AddFunction("norm", point, 0);
  AddFunction("other", Intern("vector"), 0);
  AddFunction("hidden", point, kEntryPrivate);
  PushText(ctx, "point");
  ASSERT_EQ(CallNamed(ctx, "methods", 1, 1), kOk);
  EXPECT_EQ(DumpTop(ctx), "{'norm'}");
  Drop(ctx);
  ctx->showPrivate = 1;
  PushText(ctx, "point");
  ASSERT_EQ(CallNamed(ctx, "methods", 1, 0), kOk);
  EXPECT_EQ(host.Output(kFdOut), "norm\nhidden\n");
  host.ClearOutput();
  PushText(ctx, "nothing");
  ASSERT_EQ(CallNamed(ctx, "methods", 1, 0), kOk);
  EXPECT_EQ(host.Output(kFdOut), "No method for class nothing\n");
  PushText(ctx, "nothing");
  ASSERT_EQ(CallNamed(ctx, "methods", 1, 1), kOk);
  EXPECT_EQ(DumpTop(ctx), "{}");
  Drop(ctx);
  EXPECT_EQ(EntryCount(ctx), 0);
}

}  // namespace
}  // namespace vke
