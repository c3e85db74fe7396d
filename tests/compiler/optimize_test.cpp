// Jump threading and constant folding on hand-assembled code.
#include "compiler/optimize.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "builtins/builtin.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "tests/host/builtin_stand_in.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::BuiltinStandIn;
using test::EntryCount;
using test::TestHost;
using Code = std::vector<int16_t>;

int16_t Off(int32_t from, int32_t to) {
  return static_cast<int16_t>(to - from - 2);
}

// ---- Jump threading ----

TEST(OptimizeJumps, CodeWithoutJumpsTakesOnePass) {
  Code code = {kOpPushOne, kOpPushSmallInt, 4, kOpPlus, kOpPop, kOpHalt};
  Code before = code;
  EXPECT_EQ(OptimizeJumps(code.data(), 6, true), 1);
  EXPECT_EQ(code, before);
}

TEST(OptimizeJumps, ThreadsThroughJumpsNopsSkipsAndLineMarkers) {
  Code code = {
      kOpJumpFalse, Off(0, 4),       // 0 -> 4
      kOpPushOne,   kOpPop,          // 2
      kOpJump,      Off(4, 7),       // 4 -> 7
      kOpNop,                        // 6
      kOpSkip,      0,               // 7
      kOpLine,      1,           2,  // 9, followed by a jump
      kOpJump,      Off(12, 16),     // 12 -> 16
      kOpNop,       kOpNop,          // 14
      kOpHalt,                       // 16
  };
  OptimizeJumps(code.data(), static_cast<int32_t>(code.size()), false);
  EXPECT_EQ(JumpTarget(0, code[1]), 16);
  EXPECT_EQ(JumpTarget(4, code[5]), 16);
  EXPECT_EQ(JumpTarget(12, code[13]), 16);
}

TEST(OptimizeJumps, LeavesWhatItMustNotThread) {
  // clang-format off
  Code code = {
      kOpJump,     kSelfJumpOffset,  // 0: jumps to itself
      kOpJump,     Off(2, 0),        // 2 -> the self jump
      kOpOrJump,   Off(4, 8),        // 4: never threaded
      kOpAndJump,  Off(6, 8),        // 6
      kOpNop,                        // 8
      kOpJumpTrue, Off(9, 11),       // 9 -> a line marker before a plain instruction
      kOpLine,     1,         2,     // 11
      kOpPushOne,                    // 14
      kOpJumpFalse, Off(15, 17),     // 15 -> return: only jump becomes return
      kOpReturn,                     // 17
      kOpJumpTrue, Off(18, 20),      // 18 -> a line marker before the padding of a double
      kOpLine,     1,         3,     // 20
      kOpNop,                        // 23
      kOpPushDouble, 0, 0, 0, 0,     // 24: fails under line 3 when it finds no room
      kOpJump,     Off(29, 400),     // 29: lands outside the code
  };
  // clang-format on
  Code before = code;
  OptimizeJumps(code.data(), static_cast<int32_t>(code.size()), true);
  EXPECT_EQ(code, before);
}

TEST(OptimizeJumps, JumpToReturnBecomesReturn) {
  Code code = {kOpJump, Off(0, 3), kOpPop, kOpReturn};
  OptimizeJumps(code.data(), 4, false);
  EXPECT_EQ(code, (Code{kOpReturn, kOpNop, kOpPop, kOpReturn}));
}

TEST(OptimizeJumps, CyclesEndInSelfJumps) {
  Code code = {kOpJump, Off(0, 3), kOpNop, kOpJump, Off(3, 0)};
  int32_t passes = OptimizeJumps(code.data(), 5, false);
  EXPECT_LT(passes, 10);
  EXPECT_TRUE(code[1] == kSelfJumpOffset || code[4] == kSelfJumpOffset);
}

// for v = a:b, end  with an empty body, as the statement compiler lays it out.
Code EmptyRangeLoop() {
  return {
      kOpForRangeNext, Off(0, 10),     // 0: done -> 10
      kOpStoreVar,     5,              // 2
      kOpLine,         1,          7,  // 4
      kOpNop,                          // 7
      kOpJump,         Off(8, 0),      // 8: back to the loop head
      kOpPop,                          // 10: drops the iterator
      kOpHalt,                         // 11
  };
}

TEST(OptimizeJumps, AggressiveRewritesAnEmptyRangeLoop) {
  Code code = EmptyRangeLoop();
  OptimizeJumps(code.data(), 12, true);
  Code expected = {kOpForRangeLast, kOpStoreVar, 5,      kOpJump, Off(3, 11), kOpNop,
                   kOpNop,          kOpNop,      kOpNop, kOpNop,  kOpNop,     kOpHalt};
  EXPECT_EQ(code, expected);

  // The walk goes on behind the rewrite: a variable index that reads like a
  // jump opcode must not be taken for one.
  Code wide = EmptyRangeLoop();
  wide[3] = kOpJump;
  wide.resize(320, kOpPushOne);
  wide[2 + kOpJump + 2] = kOpNop;  // where that false jump would land
  OptimizeJumps(wide.data(), static_cast<int32_t>(wide.size()), true);
  EXPECT_EQ(wide[3], kOpJump);
  EXPECT_EQ(JumpTarget(3, wide[4]), 11);

  Code gentle = EmptyRangeLoop();
  OptimizeJumps(gentle.data(), 12, false);
  EXPECT_EQ(gentle, EmptyRangeLoop());

  Code body = {kOpForRangeNext, Off(0, 12), kOpStoreVar, 5,      kOpIncVar, 5, kOpLine, 1, 7,
               kOpNop,          kOpJump,    Off(10, 0),  kOpPop, kOpHalt};
  Code before = body;
  OptimizeJumps(body.data(), static_cast<int32_t>(body.size()), true);
  EXPECT_EQ(body, before);
}

// ---- Constant folding ----

// An 8-byte-aligned code buffer.
struct AlignedCode {
  alignas(8) int16_t words[64] = {};
  int32_t end = 0;
  explicit AlignedCode(std::initializer_list<int16_t> code) {
    for (int16_t w : code) words[end++] = w;
  }
  void Double(int16_t op, double x) {  // pads with nops to the aligned operand
    while ((end + 1) % 4 != 0) words[end++] = kOpNop;
    words[end++] = op;
    StoreOperandDouble(words + end, x);
    end += 4;
  }
  void Add(std::initializer_list<int16_t> code) {
    for (int16_t w : code) words[end++] = w;
  }
  Code Words() const { return Code(words, words + end); }
  ErrCode Fold(EngineContext* ctx = nullptr) { return ConstantFoldCode(ctx, words, 0, &end); }
};

bool DoublesAligned(const int16_t* code, int32_t end) {
  for (int32_t p = 0; p < end; p += GetInstructionLength(code + p))
    if (kOpcodeTable[code[p]].kind == kOperDoubles &&
        reinterpret_cast<uintptr_t>(code + p + 1) % 8 != 0)
      return false;
  return true;
}

TEST(ConstantFold, NegationsSquareRootsAndCasts) {
  AlignedCode minusOne{kOpPushOne, kOpUminus};
  ASSERT_EQ(minusOne.Fold(), kOk);
  EXPECT_EQ(minusOne.Words(), (Code{kOpPushSmallInt, -1}));

  AlignedCode sqrtMinusOne{kOpPushOne, kOpUminus, kOpSqrt};
  ASSERT_EQ(sqrtMinusOne.Fold(), kOk);
  EXPECT_EQ(sqrtMinusOne.Words(), (Code{kOpImagUnit}));

  AlignedCode signs{kOpPushSmallInt, 3, kOpUminus, kOpUminus, kOpUplus, kOpUminus};
  ASSERT_EQ(signs.Fold(), kOk);
  EXPECT_EQ(signs.Words(), (Code{kOpPushSmallInt, -3}));

  AlignedCode casts{kOpPushZero, kOpInt16, kOpPushOne, kOpUInt64, kOpPushOne, kOpUInt8};
  ASSERT_EQ(casts.Fold(), kOk);
  EXPECT_EQ(casts.Words(), (Code{kOpPushInt16, 0, kOpPushUInt64Short, 1, kOpPushUInt8, 1}));
}

TEST(ConstantFold, SmallIntegersAndImaginaryConstants) {
  AlignedCode a{kOpPushSmallInt, -7, kOpAbs,   kOpPushSmallInt, -7, kOpSign,
                kOpPushSmallInt, 9,  kOpDouble};
  ASSERT_EQ(a.Fold(), kOk);
  EXPECT_EQ(a.Words(), (Code{kOpPushSmallInt, 7, kOpPushSmallInt, -1, kOpPushSmallInt, 9}));

  AlignedCode imag{kOpPushSmallInt, 3, kOpImagUnit, kOpMtimes,        kOpImagUnit,
                   kOpPushSmallInt, 4, kOpMtimes,   kOpPushSmallImag, 5,
                   kOpUminus};
  ASSERT_EQ(imag.Fold(), kOk);
  EXPECT_EQ(imag.Words(), (Code{kOpPushSmallImag, 3, kOpPushSmallImag, 4, kOpPushSmallImag, -5}));
}

TEST(ConstantFold, NegatingTheSmallestIntegerStaysUnfolded) {
  // -(-32768) and abs(-32768) do not fit the 16-bit operand.
  AlignedCode code{kOpPushSmallInt, INT16_MIN,        kOpUminus, kOpPushSmallInt, INT16_MIN,
                   kOpAbs,          kOpPushSmallImag, INT16_MIN, kOpUminus};
  Code before = code.Words();
  ASSERT_EQ(code.Fold(), kOk);
  EXPECT_EQ(code.Words(), before);
}

TEST(ConstantFold, DoubleLiterals) {
  AlignedCode code{};
  code.Double(kOpPushDouble, 2.5);
  code.Add({kOpUminus});
  code.Double(kOpPushDouble, -4);
  code.Add({kOpSign});
  code.Double(kOpPushDouble, 4);
  code.Add({kOpImag});
  code.Double(kOpPushDouble, 6);
  code.Add({kOpReal, kOpPlus});
  code.Double(kOpPushDouble, NAN);
  code.Add({kOpSign});
  code.Double(kOpPushImag, 1.5);
  code.Add({kOpUminus});
  ASSERT_EQ(code.Fold(), kOk);
  ASSERT_TRUE(DoublesAligned(code.words, code.end));
  std::vector<int16_t> ops;
  std::vector<double> values;
  for (int32_t p = 0; p < code.end; p += GetInstructionLength(code.words + p)) {
    if (code.words[p] == kOpNop) continue;
    ops.push_back(code.words[p]);
    if (kOpcodeTable[code.words[p]].kind == kOperDoubles)
      values.push_back(OperandDouble(code.words + p + 1));
  }
  EXPECT_EQ(ops, (Code{kOpPushDouble, kOpPushSmallInt, kOpPushZero, kOpPushDouble, kOpPlus,
                       kOpPushDouble, kOpSign, kOpPushImag}));
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[0], -2.5);
  EXPECT_EQ(values[1], 6);
  EXPECT_TRUE(std::isnan(values[2]));  // sign(NaN) is NaN: left to the builtin
  EXPECT_EQ(values[3], -1.5);
}

TEST(ConstantFold, ShrinkingRealignsDoublesBeforeTheFirstJump) {
  AlignedCode code{kOpPushSmallInt, 2, kOpUplus, kOpUplus, kOpUplus, kOpUplus};
  code.Double(kOpPushDouble, 0.25);
  code.Add({kOpPlus});
  int32_t before = code.end;
  ASSERT_EQ(code.Fold(), kOk);
  EXPECT_LT(code.end, before);
  EXPECT_TRUE(DoublesAligned(code.words, code.end));
  EXPECT_EQ(code.words[code.end - 1], kOpPlus);
  EXPECT_EQ(OperandDouble(code.words + code.end - 5), 0.25);
}

TEST(ConstantFold, AfterTheFirstJumpInstructionsKeepTheirPlaces) {
  // k uplus fold away before the jump; from the jump on, offsets and double
  // alignment must survive the move, which is a multiple of 4 words.
  for (int32_t k : {3, 4, 5}) {
    AlignedCode code{kOpPushSmallInt, 2};
    for (int32_t i = 0; i < k; i++) code.Add({kOpUplus});
    code.Add({kOpPushOne, kOpAndJump, 0});
    int32_t jump = code.end - 2;
    code.Double(kOpPushDouble, 3);
    code.Add({kOpUminus, kOpUplus, kOpUplus});
    code.Double(kOpPushImag, 2);
    code.Add({kOpUminus});
    code.words[jump + 1] = Off(jump, code.end);  // to the end of the expression
    int32_t before = code.end;
    ASSERT_EQ(code.Fold(), kOk);
    int32_t shift = before - code.end;
    EXPECT_EQ(shift, k / 4 * 4) << k;
    ASSERT_EQ(code.words[jump - shift], kOpAndJump);
    EXPECT_EQ(JumpTarget(jump - shift, code.words[jump - shift + 1]), code.end);
    EXPECT_TRUE(DoublesAligned(code.words, code.end));
    // The negated double became one literal padded to the old length; the
    // uplus pair one uplus; the imaginary literal is left after a jump.
    std::vector<int16_t> ops;
    for (int32_t p = jump - shift + 2; p < code.end; p += GetInstructionLength(code.words + p))
      if (code.words[p] != kOpNop) ops.push_back(code.words[p]);
    EXPECT_EQ(ops, (Code{kOpPushDouble, kOpUplus, kOpPushImag, kOpUminus}));
  }
}

TEST(ConstantFold, NeverSwallowsAJumpTarget) {
  // -(a || 1): the orjump lands on the uminus, which must stay.
  AlignedCode code{kOpLoadVar, 1, kOpOrJump, Off(2, 5), kOpPushOne, kOpUminus};
  Code before = code.Words();
  ASSERT_EQ(code.Fold(), kOk);
  EXPECT_EQ(code.Words(), before);
}

ErrCode TwiceAndOne(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  double x;
  if (nargin != 1 || GetScalarArg(ctx, 0, &x) != kOk) return kErrBadArg;
  Drop(ctx);
  return PushRealScalar(ctx, 2 * x + 1);
}
ErrCode Refuses(EngineContext* ctx, int32_t, int32_t, int32_t) {
  PushRealScalar(ctx, 1);  // leaves a stray value behind
  return kErrWrongTypeOverload;
}
ErrCode GivesComplex(EngineContext* ctx, int32_t, int32_t, int32_t) {
  Drop(ctx);
  return PushComplexScalar(ctx, 1, 1);
}

// pushdouble 3 followed by the builtin op.
AlignedCode OnThree(int16_t op) {
  AlignedCode code{};
  code.Double(kOpPushDouble, 3);
  code.Add({op});
  return code;
}

TEST(ConstantFold, BuiltinArithmeticComesFromTheBuiltin) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  PushRealScalar(ctx, 42);  // the stack around the fold stays as it is
  {
    BuiltinStandIn exp(ctx, kOpExp, &TwiceAndOne);
    AlignedCode code = OnThree(kOpExp);
    ASSERT_EQ(code.Fold(ctx), kOk);
    ASSERT_EQ(code.words[code.end - 5], kOpPushDouble);
    EXPECT_EQ(OperandDouble(code.words + code.end - 4), 7);
    EXPECT_EQ(code.end % 4, 0);  // 3 nops + 5 words
    // Without an engine the operation stays.
    AlignedCode alone = OnThree(kOpExp);
    ASSERT_EQ(alone.Fold(nullptr), kOk);
    EXPECT_EQ(alone.Words(), OnThree(kOpExp).Words());
  }
  for (BuiltinFn fn : {&Refuses, &GivesComplex}) {
    BuiltinStandIn sin(ctx, kOpSin, fn);
    AlignedCode code = OnThree(kOpSin);
    ASSERT_EQ(code.Fold(ctx), kOk);
    EXPECT_EQ(code.Words(), OnThree(kOpSin).Words());
  }
  EXPECT_EQ(EntryCount(ctx), 1);
  EXPECT_EQ(test::TopScalar(ctx), 42);
}

TEST(ConstantFold, MalformedRangesAreRefusedUntouched) {
  AlignedCode cut{kOpPushOne, kOpUminus, kOpCallFn, 1};  // callfn needs 3 operand words
  Code before = cut.Words();
  EXPECT_EQ(cut.Fold(), kErrBadArg);
  EXPECT_EQ(cut.Words(), before);

  AlignedCode misaligned{kOpPushOne, kOpUminus, kOpPushDouble, 0, 0, 0, 0};
  EXPECT_EQ(misaligned.Fold(), kErrBadArg);

  AlignedCode leaving{kOpPushOne, kOpUminus, kOpJump, 30};
  EXPECT_EQ(leaving.Fold(), kErrBadArg);

  AlignedCode backward{kOpPushOne, kOpUminus, kOpJump, Off(2, 0)};
  EXPECT_EQ(backward.Fold(), kErrBadArg);

  AlignedCode negative{kOpPushOne, -5};
  EXPECT_EQ(negative.Fold(), kErrBadArg);

  int32_t end = 1;
  EXPECT_EQ(ConstantFoldCode(nullptr, cut.words, 2, &end), kErrBadArg);
}

}  // namespace
}  // namespace vke
