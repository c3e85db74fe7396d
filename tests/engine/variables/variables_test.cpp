// Variables, references and indexed assignment as the loop runs them:
// loading and storing, global and persistent links, clear, nested
// assignments through references with the variable's block resized, items
// and fields created for assignment targets, reads, deletion, and the
// subsref and subsasgn builtins.
#include "engine/variables/variables.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "builtins/builtin.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/loop/loop.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables_internal.hpp"
#include "tests/host/assembler.hpp"
#include "tests/host/builtin_stand_in.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::Assembler;
using test::BuiltinStandIn;
using test::EntryCount;
using test::FunctionSpec;
using test::InstallFunction;
using test::RunBaseCode;
using test::SetBaseVariables;
using test::TestHost;
using test::TopScalar;
using test::TopString;

// plus for real scalars; an empty operand counts as 0.
ErrCode AddScalars(EngineContext* ctx, int32_t, int32_t, int32_t) {
  double ab[2] = {0, 0};
  for (int32_t d = 0; d < 2; d++) {
    const NumericView v = ViewNumeric(ctx, d);
    if (v.cls != ValueClass::kDouble) return kErrWrongTypeOverload;
    if (v.shape.count > 0 && GetScalarArg(ctx, d, &ab[d])) return kErrWrongTypeOverload;
  }
  Drop(ctx, 2);
  return PushRealScalar(ctx, ab[0] + ab[1]);
}

int32_t Name(EngineContext* ctx, const char* text) {
  int32_t id = 0;
  EXPECT_EQ(InternName(ctx, text, static_cast<int32_t>(std::strlen(text)), 32, &id), kOk);
  return id;
}

void PushRow(EngineContext* ctx, std::vector<double> values) {
  double* re;
  ASSERT_EQ(PushNewMatrix(ctx, 1, static_cast<int32_t>(values.size()), &re, nullptr), kOk);
  for (size_t i = 0; i < values.size(); i++) re[i] = values[i];
}

// The elements of the numeric value at the depth, as doubles.
std::vector<double> Elements(EngineContext* ctx, int32_t depth = 0) {
  const NumericView v = ViewNumeric(ctx, depth);
  std::vector<double> out;
  for (int32_t i = 0; i < v.shape.count; i++)
    out.push_back(v.cls == ValueClass::kDouble ? Load<double>(v.elements + 8 * i)
                                               : ReadIntegerElement(v.elements, v.code, i));
  return out;
}

// Loads the variable, then each step: a field name, or a list element index.
struct Step {
  const char* field = nullptr;
  int32_t element = 0;
};
void LoadPath(EngineContext* ctx, int32_t variable, std::vector<Step> path) {
  ASSERT_EQ(LoadVariable(ctx, variable), kOk);
  for (const Step& s : path) {
    if (s.field)
      ASSERT_EQ(GetStructField(ctx, 0, s.field, -1), kOk) << s.field;
    else
      ASSERT_EQ(GetListElement(ctx, 0, s.element), kOk) << s.element;
    DropStackEntries(ctx, 1, 1);
  }
}

std::string LastError(EngineContext* ctx) {
  const char* text;
  int32_t length;
  if (!ReadErrorBlock(ctx, ctx->lastError, nullptr, &text, &length)) return "";
  return std::string(text, length);
}

class Variables : public ::testing::Test {
 protected:
  void SetUp() override { SetBaseVariables(ctx(), {"x", "y", "z"}); }
  EngineContext* ctx() { return host_.ctx(); }
  ErrCode Run(const Assembler& a) { return RunBaseCode(ctx(), a); }

  TestHost host_;
};

TEST_F(Variables, LoadStoreAndTheirFailures) {
  Assembler a;
  a.Op(kOpLoadVar, {1}).Op(kOpHalt);
  EXPECT_EQ(Run(a), kErrUndefVar);
  EXPECT_EQ(LastError(ctx()), "Undefined variable 'x'");
  // A no-value marker is not stored; a comma list cannot be.
  Assembler b;
  b.Op(kOpPushNoValue).Op(kOpStoreVar, {1}).Op(kOpLoadVar, {1}).Op(kOpHalt);
  EXPECT_EQ(Run(b), kErrUndefVar);
  PushRow(ctx(), {1, 2});
  ASSERT_EQ(PushListFromEntries(ctx(), 1, false, "f", 1), kOk);
  PushRealScalar(ctx(), 3);
  ASSERT_EQ(PushListFromEntries(ctx(), 1, false, "f", 1), kOk);
  ASSERT_EQ(PushListFromEntries(ctx(), 2, false, nullptr, 0), kOk);
  ASSERT_EQ(StructListToArray(ctx()), kOk);
  ASSERT_EQ(StoreVariable(ctx(), 2), kOk);
  Assembler c;
  c.Op(kOpLoadVar, {2}).Op(kOpLoadField, {Name(ctx(), "f")}).Op(kOpStoreVar, {1}).Op(kOpHalt);
  EXPECT_EQ(Run(c), kErrFreeListAssignment);
  // Stores reuse a block of the same size and take a new one otherwise.
  Assembler d;
  d.Op(kOpPushOne).Op(kOpStoreVar, {1}).Op(kOpPushSmallInt, {5}).Op(kOpStoreVar, {1});
  d.Str("long text").Op(kOpStoreVar, {3}).Op(kOpLoadVar, {1}).Op(kOpLoadVar, {3}).Op(kOpHalt);
  ASSERT_EQ(Run(d), kOk);
  EXPECT_EQ(TopString(ctx()), "long text");
  EXPECT_EQ(TopScalar(ctx(), 1), 5);
  // incvar and decvar work on doubles only.
  Assembler e;
  e.Op(kOpIncVar, {1}).Op(kOpIncVar, {1}).Op(kOpDecVar, {1}).Op(kOpLoadVar, {1});
  e.Op(kOpIncVar, {3}).Op(kOpHalt);
  EXPECT_EQ(Run(e), kErrWrongVarType);
  EXPECT_EQ(TopScalar(ctx()), 6);
  EXPECT_EQ(LastError(ctx()), "Wrong type for variable 'z'");
}

TEST_F(Variables, AFirstStoreWithoutRoomLeavesTheVariableUnset) {
  int32_t filler;
  ASSERT_EQ(AllocEngineBlock(ctx(), ctx()->heapSize - 3, &filler), kOk);
  PushRow(ctx(), {1, 2, 3});
  const uint32_t desc = ctx()->descTop, data = ctx()->dataTop;
  EXPECT_EQ(StoreVariable(ctx(), 1), kErrVarOverflow);
  EXPECT_EQ(ctx()->descTop, desc);
  EXPECT_EQ(ctx()->dataTop, data);
  FreeEngineBlock(ctx(), filler);
  EXPECT_EQ(LoadVariable(ctx(), 1), kErrUndefVar);
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  EXPECT_EQ(ctx()->descTop, desc - 3);
  ASSERT_EQ(LoadVariable(ctx(), 1), kOk);
  EXPECT_EQ(Elements(ctx()), (std::vector<double>{1, 2, 3}));
  // A real scalar, whose first store takes a block of its own way, alike.
  std::vector<int32_t> fillers;
  for (uint32_t units = ctx()->heapSize; units > 0; units /= 2)
    while (AllocEngineBlock(ctx(), units, &filler) == kOk) fillers.push_back(filler);
  PushRealScalar(ctx(), 7);
  EXPECT_EQ(StoreVariable(ctx(), 2), kErrVarOverflow);
  EXPECT_EQ(TopScalar(ctx()), 7);
  for (int32_t block : fillers) FreeEngineBlock(ctx(), block);
  EXPECT_EQ(LoadVariable(ctx(), 2), kErrUndefVar);
  ASSERT_EQ(StoreVariable(ctx(), 2), kOk);
  ASSERT_EQ(LoadVariable(ctx(), 2), kOk);
  EXPECT_EQ(TopScalar(ctx()), 7);
}

TEST_F(Variables, AStoreJudgesTheValueBeforeTheVariable) {
  // Into a variable the scope lacks: a no-value marker is dropped all the
  // same, a value is refused and stays.
  const uint32_t empty = ctx()->descTop;
  PushNoValue(ctx());
  EXPECT_EQ(StoreVariable(ctx(), 99), kOk);
  EXPECT_EQ(ctx()->descTop, empty);
  PushRealScalar(ctx(), 4);
  EXPECT_EQ(StoreVariable(ctx(), 99), kErrIllegal);
  EXPECT_EQ(TopScalar(ctx()), 4);
  // An unset variable takes a scalar's block; later scalars go into it.
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  uint32_t position;
  ASSERT_EQ(FindVariableSlot(ctx(), 1, &position), kOk);
  const int32_t block = SlotValueBlock(ctx(), position);
  ASSERT_GT(block, 0);
  EXPECT_EQ(BlockUnits(ctx(), block), 3u);
  PushRealScalar(ctx(), 7);
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  EXPECT_EQ(SlotValueBlock(ctx(), position), block);
  ASSERT_EQ(LoadVariable(ctx(), 1), kOk);
  EXPECT_EQ(TopScalar(ctx()), 7);
  Drop(ctx());
  // A row replaces the scalar's block, and a scalar the row's in turn.
  PushRow(ctx(), {1, 2});
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  const int32_t row = SlotValueBlock(ctx(), position);
  EXPECT_EQ(BlockUnits(ctx(), row), 4u);
  EXPECT_FALSE(Load<uint32_t>(ctx()->HeapBytes() + 8 * (block - 1)) & kBlockInUse);
  PushRealScalar(ctx(), 9);
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  EXPECT_EQ(BlockUnits(ctx(), SlotValueBlock(ctx(), position)), 3u);
  EXPECT_FALSE(Load<uint32_t>(ctx()->HeapBytes() + 8 * (row - 1)) & kBlockInUse);
  ASSERT_EQ(LoadVariable(ctx(), 1), kOk);
  EXPECT_EQ(TopScalar(ctx()), 9);
  EXPECT_EQ(ctx()->descTop, empty + 3);
}

TEST_F(Variables, GlobalAndPersistentValuesAreShared) {
  BuiltinStandIn plus(ctx(), kOpPlus, &AddScalars);
  // counter(): persistent n; n = n + 1; r = n.
  Assembler counter;
  counter.Op(kOpDeclareGlobal, {1, 1}).Op(kOpLoadVar, {1}).Op(kOpPushOne).Op(kOpPlus);
  counter.Op(kOpStoreVar, {1}).Op(kOpLoadVar, {1}).Op(kOpStoreVar, {0}).Op(kOpReturn);
  InstallFunction(ctx(), FunctionSpec{"counter", 0, 1, {"r", "n"}}, counter);
  for (int i = 1; i <= 3; i++) {
    ASSERT_EQ(RunCompiledFunction(ctx(), "counter", 0, 0, 1, 0, 0), kOk);
    EXPECT_EQ(TopScalar(ctx()), i);
    Drop(ctx());
  }
  // setter(): global shared = 42; the base workspace sees it once declared.
  Assembler setter;
  setter.Op(kOpDeclareGlobal, {0, 0}).Op(kOpPushSmallInt, {42}).Op(kOpStoreVar, {0}).Op(kOpReturn);
  InstallFunction(ctx(), FunctionSpec{"setter", 0, 0, {"x"}}, setter);
  ASSERT_EQ(RunCompiledFunction(ctx(), "setter", 0, 0, 0, 0, 0), kOk);
  Assembler base;
  base.Op(kOpDeclareGlobal, {1, 0}).Op(kOpLoadVar, {1}).Op(kOpHalt);
  ASSERT_EQ(Run(base), kOk);
  EXPECT_EQ(TopScalar(ctx()), 42);
  Drop(ctx());

  // Clearing a persistent variable releases its value block too.
  // once(clear): persistent n; if clear, clear n, else n = 3.
  Assembler once;
  once.Op(kOpDeclareGlobal, {1, 1}).Op(kOpLoadVar, {0}).Jump(kOpJumpFalse, "set");
  once.Op(kOpClearVar, {1}).Op(kOpReturn);
  once.Label("set").Op(kOpPushSmallInt, {3}).Op(kOpStoreVar, {1}).Op(kOpReturn);
  const int32_t f = InstallFunction(ctx(), FunctionSpec{"once", 1, 0, {"clear", "n"}}, once);
  PushRealScalar(ctx(), 0);
  ASSERT_EQ(RunCompiledFunction(ctx(), "once", 0, 1, 0, 0, 0), kOk);
  const uint8_t* entry = nullptr;
  for (uint32_t i = 1; i < ctx()->funcCount; i++) {
    const uint8_t* e = ctx()->CodeBytes() + 16 * i;
    if (Load<int32_t>(e) == 1 && Load<int32_t>(e + 12) == f) entry = e;
  }
  ASSERT_NE(entry, nullptr);
  const int32_t block = Load<int32_t>(entry + 8);
  EXPECT_TRUE(Load<uint32_t>(ctx()->HeapBytes() + 8 * (block - 1)) & kBlockInUse);
  PushRealScalar(ctx(), 1);
  ASSERT_EQ(RunCompiledFunction(ctx(), "once", 0, 1, 0, 0, 0), kOk);
  EXPECT_EQ(Load<int32_t>(entry + 8), -1);
  EXPECT_FALSE(Load<uint32_t>(ctx()->HeapBytes() + 8 * (block - 1)) & kBlockInUse);
}

TEST_F(Variables, AFailedGlobalDeclarationLeavesTheVariable) {
  PushRealScalar(ctx(), 7);
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  // The function table is full and cannot grow while a compilation runs.
  const uint32_t count = ctx()->funcCount;
  ctx()->funcCount = ctx()->funcCap;
  ctx()->compiling = 1;
  Assembler a;
  a.Op(kOpDeclareGlobal, {1, 0}).Op(kOpHalt);
  EXPECT_EQ(Run(a), kErrBadContext);
  ctx()->compiling = 0;
  ctx()->funcCount = count;
  ASSERT_EQ(LoadVariable(ctx(), 1), kOk);
  EXPECT_EQ(TopScalar(ctx()), 7);
}

TEST_F(Variables, ClearNamesAllAndCompiledFunctions) {
  Assembler a;
  a.Op(kOpPushOne).Op(kOpStoreVar, {1}).Op(kOpPushOne).Op(kOpStoreVar, {2});
  a.Str("x").Str("nothing").Op(kOpClear, {2}).Op(kOpLoadVar, {2}).Op(kOpLoadVar, {1}).Op(kOpHalt);
  EXPECT_EQ(Run(a), kErrUndefVar);
  EXPECT_EQ(TopScalar(ctx()), 1);
  Drop(ctx());
  Assembler all;
  all.Op(kOpClear, {0}).Op(kOpLoadVar, {2}).Op(kOpHalt);
  EXPECT_EQ(Run(all), kErrUndefVar);

  // "-f" clears the compiled functions in the base workspace only.
  Assembler inside;
  inside.Str("-f").Op(kOpClear, {1}).Op(kOpReturn);
  const int32_t f = InstallFunction(ctx(), FunctionSpec{"clearsf", 0, 0, {"v"}}, inside);
  EXPECT_EQ(RunCompiledFunction(ctx(), "clearsf", 0, 0, 0, 0, 0), kErrBadContext);
  UnwindCallFrames(ctx(), 0);
  Assembler base;
  base.Op(kOpPushOne).Op(kOpStoreVar, {1}).Str("-f").Op(kOpClear, {1}).Op(kOpLoadVar, {1});
  base.Op(kOpHalt);
  ASSERT_EQ(Run(base), kOk);
  EXPECT_EQ(TopScalar(ctx()), 1);
  EXPECT_LE(GetFunctionEntry(ctx(), f)->code, 0);
}

// x = struct('a', {1, [1 2 3 4], 'z'}, 'b', 8)
void StoreNested(EngineContext* ctx) {
  PushRealScalar(ctx, 1);
  PushRow(ctx, {1, 2, 3, 4});
  PushCString(ctx, 1, "z");
  ASSERT_EQ(PushListFromEntries(ctx, 3, false, nullptr, 0), kOk);
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, "a", 1), kOk);
  PushRealScalar(ctx, 8);
  ASSERT_EQ(PushListFromEntries(ctx, 1, true, "b", 1), kOk);
  ASSERT_EQ(StoreVariable(ctx, 1), kOk);
}

// x.a{2}(k) = rhs
Assembler AssignNested(EngineContext* ctx, int32_t k, int32_t rhs) {
  Assembler a;
  a.Op(kOpPushSmallInt, {rhs}).Op(kOpLoadIndexedFirst, {1}).Op(kOpLoadField, {Name(ctx, "a")});
  a.Op(kOpPushSmallInt, {2}).Op(kOpBraceIndexValue, {1, 0});
  a.Op(kOpPushSmallInt, {k}).Op(kOpParenAfterBrace, {1, 0}).Op(kOpHalt);
  return a;
}

TEST_F(Variables, NestedAssignmentsThroughReferencesResizeTheBlock) {
  StoreNested(ctx());
  // In place: the element keeps its size.
  ASSERT_EQ(Run(AssignNested(ctx(), 3, 99)), kOk);
  EXPECT_EQ(EntryCount(ctx()), 0);
  LoadPath(ctx(), 1, {{"a"}, {nullptr, 2}});
  EXPECT_EQ(Elements(ctx()), (std::vector<double>{1, 2, 99, 4}));
  Drop(ctx());
  // Growing: the block is copied, and every enclosing item grows with it.
  ASSERT_EQ(Run(AssignNested(ctx(), 6, 5)), kOk);
  LoadPath(ctx(), 1, {{"a"}, {nullptr, 2}});
  EXPECT_EQ(Elements(ctx()), (std::vector<double>{1, 2, 99, 4, 0, 5}));
  Drop(ctx());
  LoadPath(ctx(), 1, {{"a"}, {nullptr, 3}});
  EXPECT_EQ(TopString(ctx()), "z");
  Drop(ctx());
  LoadPath(ctx(), 1, {{"b"}});
  EXPECT_EQ(TopScalar(ctx()), 8);
  Drop(ctx());
  // Shrinking: x.a{2} = 'q' leaves the rest of the block in place.
  Assembler shrink;
  shrink.Str("q").Op(kOpLoadIndexedFirst, {1}).Op(kOpLoadField, {Name(ctx(), "a")});
  shrink.Op(kOpPushSmallInt, {2}).Op(kOpBraceIndexValue, {1, 0}).Op(kOpApplyBrace).Op(kOpHalt);
  ASSERT_EQ(Run(shrink), kOk);
  LoadPath(ctx(), 1, {{"a"}, {nullptr, 2}});
  EXPECT_EQ(TopString(ctx()), "q");
  Drop(ctx());
  LoadPath(ctx(), 1, {{"b"}});
  EXPECT_EQ(TopScalar(ctx()), 8);
  Drop(ctx());
}

TEST_F(Variables, AssignmentTargetsCreateVariablesFieldsAndItems) {
  // x.f = 1 with x unset makes a structure with one field.
  Assembler a;
  a.Op(kOpPushOne).Op(kOpLoadIndexedFirst, {1}).Op(kOpLoadField, {Name(ctx(), "f")});
  a.Op(kOpApplyBrace).Op(kOpHalt);
  ASSERT_EQ(Run(a), kOk);
  ASSERT_EQ(LoadVariable(ctx(), 1), kOk);
  EXPECT_TRUE(IsStructValue(ctx(), 0));
  int32_t fields;
  ASSERT_EQ(GetStructFields(ctx(), &fields), kOk);
  EXPECT_EQ(fields, 1);
  Drop(ctx(), 2);
  // y(3) = 7 with y unset is [0 0 7].
  Assembler b;
  b.Op(kOpPushSmallInt, {7}).Op(kOpLoadIndexedFirst, {2}).Op(kOpPushSmallInt, {3});
  b.Op(kOpParenAfterBrace, {1, 0}).Op(kOpHalt);
  ASSERT_EQ(Run(b), kOk);
  ASSERT_EQ(LoadVariable(ctx(), 2), kOk);
  EXPECT_EQ(Elements(ctx()), (std::vector<double>{0, 0, 7}));
  Drop(ctx());
  // z{3} = 1 with z unset is a list of three; x.g{2} = 5 adds a list field.
  Assembler c;
  c.Op(kOpPushOne).Op(kOpLoadIndexedFirst, {3}).Op(kOpPushSmallInt, {3});
  c.Op(kOpBraceIndexValue, {1, 0}).Op(kOpApplyBrace);
  c.Op(kOpPushSmallInt, {5}).Op(kOpLoadIndexedFirst, {1}).Op(kOpLoadField, {Name(ctx(), "g")});
  c.Op(kOpPushSmallInt, {2}).Op(kOpBraceIndexValue, {1, 0}).Op(kOpApplyBrace).Op(kOpHalt);
  ASSERT_EQ(Run(c), kOk);
  ASSERT_EQ(LoadVariable(ctx(), 3), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetListParts(ctx(), 0, &parts), kOk);
  EXPECT_EQ(parts.elements, 3);
  Drop(ctx());
  LoadPath(ctx(), 1, {{"g"}, {nullptr, 2}});
  EXPECT_EQ(TopScalar(ctx()), 5);
  Drop(ctx());
  // y(4).h = 2 on a new variable makes a 1 x 4 structure array.
  Assembler d;
  d.Op(kOpClearVar, {2}).Op(kOpPushSmallInt, {2}).Op(kOpLoadIndexedFirst, {2});
  d.Op(kOpPushSmallInt, {4}).Op(kOpIndexField, {1, 0, Name(ctx(), "h")}).Op(kOpApplyBrace);
  d.Op(kOpLoadVar, {2}).Op(kOpLoadField, {Name(ctx(), "h")}).Op(kOpHalt);
  ASSERT_EQ(Run(d), kOk);
  // The field of all elements is a comma list: [] [] [] 2.
  ASSERT_EQ(GetStructuredValueOfKind(ctx(), 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindCommaList);
  EXPECT_EQ(parts.items, 4);
}

TEST_F(Variables, ReadsThroughReferencesAndValues) {
  StoreNested(ctx());
  PushRow(ctx(), {10, 20, 30, 40});
  ASSERT_EQ(StoreVariable(ctx(), 2), kOk);
  Assembler a;
  // y(end), y(2:3) through the reference, x.a{2}(end) and x.a{1:2} (a
  // comma list of two).
  a.Op(kOpLoadIndexed, {2}).Op(kOpEndValue, {0, 1, 1}).Op(kOpParenAfterIndex, {1, 0, 1});
  a.Op(kOpLoadIndexed, {2}).Op(kOpPushSmallInt, {2}).Op(kOpPushSmallInt, {3});
  a.Op(kOpColon, {2}).Op(kOpParenAfterIndex, {1, 0, 1});
  a.Op(kOpLoadIndexed, {1}).Op(kOpLoadField, {Name(ctx(), "a")}).Op(kOpPushSmallInt, {2});
  a.Op(kOpBraceIndexValue, {1, 0}).Op(kOpApplyParen);
  a.Op(kOpLoadVar, {1}).Op(kOpLoadField, {Name(ctx(), "a")}).Op(kOpPushOne);
  a.Op(kOpPushSmallInt, {2}).Op(kOpColon, {2}).Op(kOpBraceIndexValue, {1, 0}).Op(kOpHalt);
  // colon of two scalars for the test.
  BuiltinStandIn colon(ctx(), kOpColon, [](EngineContext* c, int32_t, int32_t, int32_t) -> ErrCode {
    double lo, hi;
    GetScalarArg(c, 1, &lo);
    GetScalarArg(c, 0, &hi);
    Drop(c, 2);
    double* re;
    ErrCode e = PushNewMatrix(c, 1, static_cast<int32_t>(hi - lo + 1), &re, nullptr);
    for (int32_t i = 0; !e && lo + i <= hi; i++) re[i] = lo + i;
    return e;
  });
  ASSERT_EQ(Run(a), kOk);
  ASSERT_EQ(EntryCount(ctx()), 4);
  StructuredParts parts;
  ASSERT_EQ(GetStructuredValueOfKind(ctx(), 0, '?', &parts), kOk);
  EXPECT_EQ(parts.kind, kKindCommaList);
  EXPECT_EQ(parts.items, 2);
  EXPECT_EQ(Elements(ctx(), 1), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(Elements(ctx(), 2), (std::vector<double>{20, 30}));
  EXPECT_EQ(Elements(ctx(), 3), (std::vector<double>{40}));
}

TEST_F(Variables, FieldNamesFromTextAndIndexKeywords) {
  StoreNested(ctx());
  double *re, *im;
  ASSERT_EQ(PushNewMatrix(ctx(), 2, 2, &re, &im), kOk);
  for (int i = 0; i < 4; i++) re[i] = i + 1, im[i] = -(i + 1);
  ASSERT_EQ(StoreVariable(ctx(), 2), kOk);
  Assembler a;
  // x.('b'), y(1).('b') of a structure array made from x, beginning, and
  // matrixrow / matrixcol of y.
  a.Op(kOpLoadVar, {1}).Str("b").Op(kOpLoadFieldByName);
  a.Op(kOpLoadVar, {1}).Op(kOpPushOne).Str("b").Op(kOpIndexGroup, {1, 0});
  a.Op(kOpLoadVar, {2}).Op(kOpBeginningValue, {0, 1, 1}).Op(kOpIndexValue, {1, 0, 1});
  a.Op(kOpLoadVar, {2}).Op(kOpMatrixRowValue, {0, 1, 1}).Op(kOpMatrixColValue, {1, 1, 2});
  a.Op(kOpHalt);
  ASSERT_EQ(Run(a), kOk);
  ASSERT_EQ(EntryCount(ctx()), 6);
  EXPECT_EQ(Elements(ctx(), 0), (std::vector<double>{1, 2}));
  EXPECT_EQ(Elements(ctx(), 1), (std::vector<double>{1, 1, 2, 2}));
  double first[2];
  Drop(ctx(), 3);
  ASSERT_EQ(PopComplexScalar(ctx(), &first[0], &first[1]), kOk);  // y(1), complex
  EXPECT_EQ(first[0], 1);
  EXPECT_EQ(first[1], -1);
  EXPECT_EQ(TopScalar(ctx(), 0), 8);
  EXPECT_EQ(TopScalar(ctx(), 1), 8);
}

TEST_F(Variables, DeletionOfElementsAndItems) {
  PushRow(ctx(), {1, 2, 3, 4});
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  PushRealScalar(ctx(), 1);
  PushCString(ctx(), 1, "b");
  PushRealScalar(ctx(), 3);
  ASSERT_EQ(PushListFromEntries(ctx(), 3, false, nullptr, 0), kOk);
  ASSERT_EQ(StoreVariable(ctx(), 2), kOk);
  Assembler a;
  a.Op(kOpPushEmpty).Op(kOpLoadIndexedFirst, {1}).Op(kOpPushSmallInt, {2});
  a.Op(kOpParenAfterBrace, {1, 0});
  a.Op(kOpPushEmpty).Op(kOpLoadIndexedFirst, {2}).Op(kOpPushOne).Op(kOpParenAfterBrace, {1, 0});
  a.Op(kOpLoadVar, {1}).Op(kOpLoadVar, {2}).Op(kOpHalt);
  ASSERT_EQ(Run(a), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetListParts(ctx(), 0, &parts), kOk);
  EXPECT_EQ(parts.kind, kKindList);
  EXPECT_EQ(parts.elements, 2);
  ASSERT_EQ(GetListElement(ctx(), 0, 1), kOk);
  EXPECT_EQ(TopString(ctx()), "b");
  EXPECT_EQ(Elements(ctx(), 2), (std::vector<double>{1, 3, 4}));
}

TEST_F(Variables, ListItemsAreReplacedByTheItemsOfTheRightHandSide) {
  PushRealScalar(ctx(), 1);
  PushRealScalar(ctx(), 2);
  ASSERT_EQ(PushListFromEntries(ctx(), 2, false, nullptr, 0), kOk);
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  // x(4) = {'d'} grows the list; x(1) = 5 is refused.
  Assembler a;
  a.Str("d").Op(kOpBraceList, {1}).Op(kOpLoadIndexedFirst, {1}).Op(kOpPushSmallInt, {4});
  a.Op(kOpParenAfterBrace, {1, 0}).Op(kOpLoadVar, {1}).Op(kOpHalt);
  ASSERT_EQ(Run(a), kOk);
  StructuredParts parts;
  ASSERT_EQ(GetListParts(ctx(), 0, &parts), kOk);
  EXPECT_EQ(parts.kind, kKindList);
  EXPECT_EQ(parts.elements, 4);
  ASSERT_EQ(GetListElement(ctx(), 0, 4), kOk);
  EXPECT_EQ(TopString(ctx()), "d");
  Drop(ctx(), 2);
  Assembler b;
  b.Op(kOpPushSmallInt, {5}).Op(kOpLoadIndexedFirst, {1}).Op(kOpPushOne);
  b.Op(kOpParenAfterBrace, {1, 0}).Op(kOpHalt);
  EXPECT_EQ(Run(b), kErrWrongTypeOverload);
}

TEST_F(Variables, ErrorsNameTheVariableFieldAndIndex) {
  StoreNested(ctx());
  PushRow(ctx(), {1, 2});
  ASSERT_EQ(StoreVariable(ctx(), 2), kOk);
  auto fails = [&](const std::function<void(Assembler&)>& code) {
    Assembler a;
    code(a);
    a.Op(kOpHalt);
    ErrCode e = Run(a);
    Drop(ctx(), EntryCount(ctx()));
    return e;
  };
  EXPECT_EQ(fails([&](Assembler& a) {
              a.Op(kOpLoadIndexed, {1}).Op(kOpLoadField, {Name(ctx(), "nope")});
            }),
            kErrUndefField);
  EXPECT_EQ(LastError(ctx()), "Undefined structure field 'nope'");
  EXPECT_EQ(
      fails([&](Assembler& a) { a.Op(kOpLoadIndexed, {2}).Op(kOpLoadField, {Name(ctx(), "f")}); }),
      kErrWrongVarTypeField);
  EXPECT_EQ(LastError(ctx()), "Attempt to access field 'f' of non-struct variable 'y'");
  EXPECT_EQ(fails([&](Assembler& a) {
              a.Op(kOpLoadIndexed, {2}).Op(kOpPushOne).Op(kOpBraceIndexValue, {1, 0});
            }),
            kErrWrongVarTypeElem);
  EXPECT_EQ(fails([&](Assembler& a) {
              a.Op(kOpLoadIndexed, {2}).Op(kOpPushSmallInt, {5}).Op(kOpParenAfterIndex, {1, 0, 1});
            }),
            kErrIndexOutOfRange);
  EXPECT_NE(LastError(ctx()).find("variable 'y'"), std::string::npos);
  EXPECT_EQ(fails([&](Assembler& a) {
              a.Op(kOpLoadIndexed, {1}).Op(kOpLoadField, {Name(ctx(), "a")});
              a.Op(kOpPushSmallInt, {7}).Op(kOpBraceIndexValue, {1, 0});
            }),
            kErrIndexOutOfRange);
  EXPECT_EQ(LastError(ctx()), "Index out of range (7) for variable 'x'");
  // A read through a reference that created the variable leaves it unset.
  EXPECT_EQ(fails([&](Assembler& a) {
              a.Op(kOpLoadIndexedFirst, {3}).Op(kOpLoadField, {Name(ctx(), "f")}).Op(kOpApplyParen);
            }),
            kErrUndefVar);
  EXPECT_EQ(LoadVariable(ctx(), 3), kErrUndefVar);
  // A field created for a read that turned out not to be an assignment.
  EXPECT_EQ(fails([&](Assembler& a) {
              a.Op(kOpLoadIndexedFirst, {1}).Op(kOpLoadField, {Name(ctx(), "new")});
              a.Op(kOpApplyParen);
            }),
            kErrUndefField);
}

TEST_F(Variables, ObjectsReadLikeStructuresOnlyInTheirMethods) {
  PushRealScalar(ctx(), 1);
  ASSERT_EQ(PushListFromEntries(ctx(), 1, false, "f", 1), kOk);
  DescAt(ctx(), 0)->word = -Name(ctx(), "myclass");
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  Assembler a;
  a.Op(kOpLoadVar, {1}).Op(kOpLoadField, {Name(ctx(), "f")}).Op(kOpHalt);
  EXPECT_EQ(Run(a), kErrInvalidFieldAccess);
  EXPECT_NE(host_.Output(2).find("Invalid access to private field of object"), std::string::npos);
  Drop(ctx(), EntryCount(ctx()));
  FrameWords(ctx(), 0)[kFwMethodCall] = 1;
  ASSERT_EQ(Run(a), kOk);
  EXPECT_EQ(TopScalar(ctx()), 1);
}

// s = struct('type', type, 'subs', subs) from the value on top.
void PushSubs(EngineContext* ctx, const char* type) {
  PushCString(ctx, -1, type);
  ASSERT_EQ(PushListFromEntries(ctx, 1, false, "type", 4), kOk);
  ASSERT_EQ(RollStackEntries(ctx, 2, 1), kOk);
  ASSERT_EQ(PushListFromEntries(ctx, 1, true, "subs", 4), kOk);
}

TEST_F(Variables, SubsrefAndSubsasgnOfValues) {
  // subsref([10 20 30], s('()', {':'})) and subsref({1, 'two'}, s('{}', {2})).
  PushRow(ctx(), {10, 20, 30});
  PushCString(ctx(), 1, ":");
  ASSERT_EQ(PushListFromEntries(ctx(), 1, false, nullptr, 0), kOk);
  PushSubs(ctx(), "()");
  ASSERT_EQ(SubsrefBuiltin(ctx(), 2, 1, 0), kOk);
  EXPECT_EQ(Elements(ctx()), (std::vector<double>{10, 20, 30}));
  EXPECT_EQ(ViewNumeric(ctx(), 0).shape.dims[0], 3);
  Drop(ctx());
  PushRealScalar(ctx(), 1);
  PushCString(ctx(), 3, "two");
  ASSERT_EQ(PushListFromEntries(ctx(), 2, false, nullptr, 0), kOk);
  PushRealScalar(ctx(), 2);
  ASSERT_EQ(PushListFromEntries(ctx(), 1, false, nullptr, 0), kOk);
  PushSubs(ctx(), "{}");
  ASSERT_EQ(SubsrefBuiltin(ctx(), 2, 1, 0), kOk);
  EXPECT_EQ(TopString(ctx()), "two");
  Drop(ctx());

  // subsasgn through its generated sequences, run by the loop.
  Assembler a;
  a.Op(kOpLoadVar, {1}).Op(kOpLoadVar, {2}).Op(kOpPushSmallInt, {9}).Op(kOpSubsasgn);
  a.Op(kOpLoadVar, {1}).Op(kOpLoadVar, {3}).Str("new").Op(kOpSubsasgn).Op(kOpHalt);
  PushRow(ctx(), {1, 2, 3});
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  PushRealScalar(ctx(), 2);
  ASSERT_EQ(PushListFromEntries(ctx(), 1, false, nullptr, 0), kOk);
  PushSubs(ctx(), "()");
  ASSERT_EQ(StoreVariable(ctx(), 2), kOk);
  PushCString(ctx(), 1, "f");
  PushSubs(ctx(), ".");
  ASSERT_EQ(StoreVariable(ctx(), 3), kOk);
  // The value is a row: the field assignment is refused with 37.
  EXPECT_EQ(Run(a), kErrWrongVarTypeField) << host_.Output(2);
  UnwindCallFrames(ctx(), 0);
  ASSERT_EQ(EntryCount(ctx()), 1);
  EXPECT_EQ(Elements(ctx()), (std::vector<double>{1, 9, 3}));
  Drop(ctx());
  // The variable itself is unchanged; the generated frames are gone.
  ASSERT_EQ(LoadVariable(ctx(), 1), kOk);
  EXPECT_EQ(Elements(ctx()), (std::vector<double>{1, 2, 3}));
  Drop(ctx());
  PushRealScalar(ctx(), 4);
  ASSERT_EQ(PushListFromEntries(ctx(), 1, false, "f", 1), kOk);
  ASSERT_EQ(StoreVariable(ctx(), 1), kOk);
  Assembler b;
  b.Op(kOpLoadVar, {1}).Op(kOpLoadVar, {3}).Str("new").Op(kOpSubsasgn);
  b.Op(kOpLoadField, {Name(ctx(), "f")}).Op(kOpHalt);
  ASSERT_EQ(Run(b), kOk);
  EXPECT_EQ(TopString(ctx()), "new");
  Drop(ctx());
  // Objects are refused (their class's method serves them).
  PushRealScalar(ctx(), 1);
  ASSERT_EQ(PushListFromEntries(ctx(), 1, false, "f", 1), kOk);
  DescAt(ctx(), 0)->word = -Name(ctx(), "myclass");
  ASSERT_EQ(LoadVariable(ctx(), 3), kOk);
  EXPECT_EQ(SubsrefBuiltin(ctx(), 2, 1, 0), kErrWrongTypeOverload);
}

}  // namespace
}  // namespace vke
