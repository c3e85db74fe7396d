// The instruction set: the descriptor table's self-check, instruction
// lengths, call counts, opcode names, the code predicates and the operator
// and keyword tables.
#include "engine/code/opcodes.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "builtins/builtin.hpp"
#include "engine/code/operators.hpp"
#include "engine/engine.hpp"
#include "engine/registry/registry.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

std::vector<OpcodeDescriptor> TableCopy() {
  return std::vector<OpcodeDescriptor>(kOpcodeTable, kOpcodeTable + kOpcodeCount);
}

// The engine's check of the rows, then the builtin rows' join with them.
ErrCode Check(const std::vector<OpcodeDescriptor>& t, const BuiltinRecord* b = kBuiltinTable) {
  if (ErrCode e = CheckOpcodeTable(t.data(), static_cast<int32_t>(t.size()))) return e;
  return BuiltinsAgreeWithOpcodes(t.data(), b) ? kOk : kErrInit;
}

TEST(OpcodeTable, EngineTablesPassTheCheckAndEngineCreationUsesIt) {
  EXPECT_EQ(CheckOpcodeTable(), kOk);
  EXPECT_EQ(Check(TableCopy()), kOk);
  TestHost host;  // creation would have failed with 600
  EXPECT_NE(host.ctx(), nullptr);
}

TEST(OpcodeTable, CorruptedRowsFailWithInit) {
  auto t = TableCopy();
  t[17].opcode = 18;  // opcode differs from its index
  EXPECT_EQ(Check(t), kErrInit);

  t = TableCopy();
  t[kOpJump].count = 0;  // operands of a kind but no count
  EXPECT_EQ(Check(t), kErrInit);

  t = TableCopy();
  t[kOpHalt].count = 1;  // no operand kind but a count
  EXPECT_EQ(Check(t), kErrInit);

  t = TableCopy();
  t[kOpPlus].callCode = 0x31;  // plus takes exactly 2 inputs
  EXPECT_EQ(Check(t), kErrInit);

  t = TableCopy();
  t[kOpDisp].callCode = 0x11;  // disp has no output
  EXPECT_EQ(Check(t), kErrInit);

  t = TableCopy();
  t[kOpSize].count = 1;  // size carries an input and an output word
  EXPECT_EQ(Check(t), kErrInit);

  t = TableCopy();
  t[kOpPushDouble].kind = 9;  // no such operand kind
  EXPECT_EQ(Check(t), kErrInit);

  t = TableCopy();
  t.pop_back();  // a row missing
  EXPECT_EQ(Check(t), kErrInit);
}

TEST(OpcodeTable, BuiltinWalkStopsAtTheEmptyNameAndRefusesForeignIds) {
  BuiltinRecord builtins[3] = {{233, 2, 1, "plus"}, {0, 0, 0, ""}, {233, 5, 5, "late"}};
  EXPECT_EQ(Check(TableCopy(), builtins), kOk);
  builtins[0].id = 400;  // beyond the descriptor table
  EXPECT_EQ(Check(TableCopy(), builtins), kErrInit);
  // Builtins with call code -2 are not held to their codes.
  BuiltinRecord clear[2] = {{kOpClear, 3, 3, "clear"}, {0, 0, 0, ""}};
  EXPECT_EQ(Check(TableCopy(), clear), kOk);
}

TEST(InstructionLength, FollowsTheOperandLayouts) {
  const int16_t str8[] = {kOpPushStr8, 3, 'a' | 'b' << 8, 'c'};
  EXPECT_EQ(GetInstructionLength(str8), 4);
  const int16_t str16[] = {kOpPushStr, 3, 'a', 'b', 'c'};
  EXPECT_EQ(GetInstructionLength(str16), 5);
  const int16_t empty8[] = {kOpPrint8, 0};
  EXPECT_EQ(GetInstructionLength(empty8), 2);
  const int16_t even8[] = {kOpPushStr8, 4, 0, 0};
  EXPECT_EQ(GetInstructionLength(even8), 4);
  // A length word of 0xFFFF is read as 65535, never as a negative length.
  const int16_t huge[] = {kOpPushStr, -1};
  EXPECT_EQ(GetInstructionLength(huge), 2 + 65535);

  const int16_t natives[][3] = {{333, 0, 0}, {333, 9, -1}, {32767, -5, 7}};
  for (const auto& n : natives) EXPECT_EQ(GetInstructionLength(n), 3);

  const int16_t dbl[] = {kOpPushDouble, 0, 0, 0, 0};
  EXPECT_EQ(GetInstructionLength(dbl), 5);
  const int16_t i32[] = {kOpPushInt32, 0, 0};
  EXPECT_EQ(GetInstructionLength(i32), 3);
  const int16_t i64[] = {kOpPushUInt64, 0, 0, 0, 0};
  EXPECT_EQ(GetInstructionLength(i64), 5);
  const int16_t callfn[] = {kOpCallFn, 1, 2, 3};
  EXPECT_EQ(GetInstructionLength(callfn), 4);
  const int16_t size[] = {kOpSize, 1, 2};  // input and output words
  EXPECT_EQ(GetInstructionLength(size), 3);
  const int16_t unique[] = {kOpUnique, 3};  // output word only
  EXPECT_EQ(GetInstructionLength(unique), 2);
  const int16_t negative[] = {-7};
  EXPECT_EQ(GetInstructionLength(negative), 1);
}

TEST(InstructionLength, WithinARangeNeedsTheWholeInstruction) {
  const int16_t code[] = {kOpPushOne, kOpPushStr, 3, 'a', 'b', 'c'};
  EXPECT_EQ(InstructionLengthWithin(code, 0, 6), 1);
  EXPECT_EQ(InstructionLengthWithin(code, 1, 6), 5);
  EXPECT_EQ(InstructionLengthWithin(code, 1, 5), 0);  // text cut
  EXPECT_EQ(InstructionLengthWithin(code, 1, 2), 0);  // length word outside
  EXPECT_EQ(InstructionLengthWithin(code, 6, 6), 0);
}

TEST(OperandReaders, AssembleConstantsFromUnsignedWords) {
  // Low words with the sign bit set must not borrow from the high words.
  const int16_t w32[] = {static_cast<int16_t>(0x8001), 0x0002};
  EXPECT_EQ(OperandU32(w32), 0x00028001u);
  const int16_t w64[] = {-1, -1, 0, 0x4000};
  EXPECT_EQ(OperandU64(w64), 0x40000000FFFFFFFFull);
  alignas(8) int16_t d[4];
  StoreOperandDouble(d, -2.5);
  EXPECT_EQ(OperandDouble(d), -2.5);
  EXPECT_EQ(JumpTarget(10, -2), 10);
  EXPECT_EQ(JumpTarget(10, 5), 17);
}

TEST(OpcodeInfo, DecodesFixedAndOperandCounts) {
  int32_t in = -9, out = -9;
  const int16_t plus[] = {kOpPlus};
  ASSERT_EQ(GetOpcodeInfo(plus, &in, &out), kOk);
  EXPECT_EQ(in, 2);
  EXPECT_EQ(out, 1);
  const int16_t size[] = {kOpSize, 2, 3};
  ASSERT_EQ(GetOpcodeInfo(size, &in, &out), kOk);
  EXPECT_EQ(in, 2);
  EXPECT_EQ(out, 3);
  const int16_t sscanf[] = {kOpSscanf, 2};  // fixed inputs, outputs in W0
  ASSERT_EQ(GetOpcodeInfo(sscanf, &in, &out), kOk);
  EXPECT_EQ(in, 2);
  EXPECT_EQ(out, 2);
  const int16_t fprintf[] = {kOpFprintf, 4, -1};  // a statement call
  ASSERT_EQ(GetOpcodeInfo(fprintf, &in, &out), kOk);
  EXPECT_EQ(in, 4);
  EXPECT_EQ(out, -1);
  const int16_t bracelist[] = {kOpBraceList, 5};
  ASSERT_EQ(GetOpcodeInfo(bracelist, &in, &out), kOk);
  EXPECT_EQ(in, 5);
  EXPECT_EQ(out, 1);
  const int16_t native[] = {400, 3, 2};
  ASSERT_EQ(GetOpcodeInfo(native, &in, nullptr), kOk);
  EXPECT_EQ(in, 3);
  ASSERT_EQ(GetOpcodeInfo(native, nullptr, &out), kOk);
  EXPECT_EQ(out, 2);
}

TEST(OpcodeInfo, NonCallsAreRefusedAndLeaveTheOutputs) {
  int32_t in = 77, out = 77;
  for (int16_t op : std::initializer_list<int16_t>{kOpJump, kOpPushDouble, kOpError, kOpClear,
                                                   kOpLasterror, -3}) {
    const int16_t code[] = {op, 1, 1, 0, 0};
    EXPECT_EQ(GetOpcodeInfo(code, &in, &out), kErrBadArg) << op;
  }
  EXPECT_EQ(in, 77);
  EXPECT_EQ(out, 77);
}

// A registered table whose second record has a name of 32 characters.
struct LongNameTable {
  NativeFunctionRecord records[3];
  LongNameTable() {
    records[0] = MakeRecord("@longlib");
    records[1] = MakeRecord("x");
    std::memcpy(records[1].name, "abcdefghijklmnopqrstuvwxyz012345", 32);
    records[2] = MakeRecord("");
  }
};

int32_t RecordsRegistered(EngineContext* ctx) {
  int32_t n = 0;
  for (uint32_t i = 0; i < ctx->registryCount; i++) n += ctx->Registry()[i].count;
  return n;
}

TEST(OpcodeName, BuiltinsOperatorsAndNatives) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  char name[32];
  auto nameOf = [&](int32_t op, bool asOperator) {
    EXPECT_EQ(GetOpcodeName(ctx, op, asOperator, name), kOk);
    return std::string(name);
  };
  EXPECT_EQ(nameOf(kOpPlus, false), "plus");
  EXPECT_EQ(nameOf(kOpPlus, true), "+");
  EXPECT_EQ(nameOf(kOpMinus, true), "-");
  EXPECT_EQ(nameOf(kOpUminus, true), "-");
  EXPECT_EQ(nameOf(kOpLe, true), "<=");
  EXPECT_EQ(nameOf(kOpUnsame, true), "~==");
  EXPECT_EQ(nameOf(kOpLdivide, true), ".\\");
  EXPECT_EQ(nameOf(kOpCtranspose, true), "'");
  EXPECT_EQ(nameOf(kOpSqrt, true), "sqrt");  // no operator: the name
  EXPECT_EQ(nameOf(kOpInf, false), "inf");   // the first of the aliases
  EXPECT_EQ(nameOf(kOpImagUnit, false), "i");
  EXPECT_EQ(nameOf(kOpJump, false), "");  // internal instruction
  EXPECT_EQ(nameOf(-4, false), "");

  EXPECT_EQ(nameOf(kFirstNativeOpcode, false), GetNativeRecordByIndex(ctx, 0)->name);
  LongNameTable table;
  int32_t index = RecordsRegistered(ctx);
  ASSERT_EQ(RegisterLibrary(ctx, table.records, false), kOk);
  EXPECT_EQ(nameOf(kFirstNativeOpcode + index + 2, false), "");  // beyond the registry
  EXPECT_EQ(GetOpcodeName(ctx, kFirstNativeOpcode + index + 1, false, name), 32);
  EXPECT_EQ(std::string(name, 32), "abcdefghijklmnopqrstuvwxyz012345");
}

TEST(CodePredicates, MultiOutputCalls) {
  EXPECT_TRUE(IsMultiOutputCall(kFirstNativeOpcode));
  EXPECT_TRUE(IsMultiOutputCall(kOpCallFn));
  EXPECT_TRUE(IsMultiOutputCall(kOpSize));  // outputs in a word
  EXPECT_TRUE(IsMultiOutputCall(kOpUnique));
  EXPECT_FALSE(IsMultiOutputCall(kOpPlus));
  EXPECT_FALSE(IsMultiOutputCall(kOpCallValue));  // not a call by its call code
  EXPECT_FALSE(IsMultiOutputCall(kOpLasterr));
  EXPECT_FALSE(IsMultiOutputCall(-1));
}

TEST(CodePredicates, ConstantConditions) {
  const int16_t one[] = {kOpPushOne}, zero[] = {kOpPushZero};
  EXPECT_TRUE(IsConstantCondition(one, 1, true));
  EXPECT_FALSE(IsConstantCondition(one, 1, false));
  EXPECT_TRUE(IsConstantCondition(zero, 1, false));
  const int16_t t0[] = {kOpTrue, 0}, f0[] = {kOpFalse, 0}, t1[] = {kOpTrue, 1};
  EXPECT_TRUE(IsConstantCondition(t0, 2, true));
  EXPECT_TRUE(IsConstantCondition(f0, 2, false));
  EXPECT_FALSE(IsConstantCondition(f0, 2, true));
  EXPECT_FALSE(IsConstantCondition(t1, 2, true));  // true(n) is an array
  const int16_t longer[] = {kOpPushOne, kOpNop};
  EXPECT_FALSE(IsConstantCondition(longer, 2, true));
}

TEST(CodePredicates, SideEffects) {
  EXPECT_TRUE(IsSideEffectFree(nullptr, 0));
  const int16_t constants[] = {kOpPushSmallInt, 4, kOpPi, kOpInf, 0, kOpPushStr, 1, 'a', kOpPop};
  EXPECT_TRUE(IsSideEffectFree(constants, 9));
  // Loading, indexing and arithmetic act on nothing but can fail (an unset
  // name, a bad index, sizes that do not agree); so can Inf(n).
  const int16_t sum[] = {kOpLoadVar, 1, kOpPushSmallInt, 4, kOpPlus};
  EXPECT_FALSE(IsSideEffectFree(sum, 5));
  const int16_t sized[] = {kOpPushSmallInt, -1, kOpInf, 1};
  EXPECT_FALSE(IsSideEffectFree(sized, 4));
  const int16_t print[] = {kOpPushOne, kOpDisp};
  EXPECT_FALSE(IsSideEffectFree(print, 2));
  const int16_t random[] = {kOpRand, 0};
  EXPECT_FALSE(IsSideEffectFree(random, 2));
  const int16_t native[] = {kOpPushOne, 340, 1, 0};
  EXPECT_FALSE(IsSideEffectFree(native, 4));
  // assert fails and methods prints without giving a value: dropping such a
  // statement would lose that.
  const int16_t check[] = {kOpPushZero, kOpAssert, 1};
  EXPECT_FALSE(IsSideEffectFree(check, 3));
  const int16_t listing[] = {kOpPushStr8, 1, 'c', kOpMethods, 0};
  EXPECT_FALSE(IsSideEffectFree(listing, 5));
  const int16_t cut[] = {kOpPushStr, 5, 'a'};  // the text runs past the range
  EXPECT_FALSE(IsSideEffectFree(cut, 3));
}

TEST(Operators, EveryRowIsReachableAndNamesABuiltin) {
  for (int32_t i = 0; i < kOperatorCount; i++) {
    const OperatorRecord& r = kOperatorTable[i];
    // The lexer takes the first fitting row: no earlier row of the same kind
    // may be a prefix of this one.
    for (int32_t j = 0; j < i; j++) {
      const OperatorRecord& e = kOperatorTable[j];
      bool sameState = (e.kind == kOperatorPrefix) == (r.kind == kOperatorPrefix);
      EXPECT_FALSE(sameState && std::strncmp(e.chars, r.chars, std::strlen(e.chars)) == 0)
          << r.chars << " is shadowed by " << e.chars;
    }
    if (r.kind == kOperatorJumps) {
      EXPECT_STREQ(r.name, "***");
    } else {
      EXPECT_NE(FindBuiltinRecord(r.name, static_cast<int32_t>(std::strlen(r.name))), nullptr)
          << r.name;
    }
  }
  EXPECT_EQ(kOperatorTable[kOperatorCount].kind, kOperatorEnd);
}

TEST(Keywords, WalkInListOrder) {
  std::vector<std::string> seen;
  for (const char* k = GetKeyword(nullptr); k; k = GetKeyword(k)) seen.push_back(k);
  ASSERT_EQ(seen.size(), 29u);
  EXPECT_EQ(seen.front(), "break");
  EXPECT_EQ(seen[15], "includeifexists");
  EXPECT_EQ(seen.back(), "_pragma");
  EXPECT_EQ(GetKeyword("_pragma"), nullptr);
  EXPECT_EQ(GetKeyword("Break"), nullptr);  // not a keyword
  EXPECT_STREQ(kKeywords[kKeywordCount], "");
}

}  // namespace
}  // namespace vke
