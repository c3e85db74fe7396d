// The halt check: only harmless instructions may stand between the code
// position and the halt.
#include <gtest/gtest.h>

#include "engine/code/opcodes.hpp"
#include "engine/frames/calls.hpp"
#include "engine/registry/registry.hpp"
#include "tests/host/assembler.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::Assembler;

ErrCode Nothing(EngineContext*, int32_t, int32_t, uintptr_t) {
  return kOk;
}

class HaltCheck : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(RegisterLibrary(ctx(), records_, true), kOk); }
  EngineContext* ctx() { return host_.ctx(); }
  int32_t Index(const char* name) {
    int32_t index = -1;
    EXPECT_NE(FindLibraryRecord(ctx(), name, nullptr, 0, &index), nullptr);
    return index;
  }
  bool AtHalt(const Assembler& code) {
    test::LoadBaseCode(ctx(), code);
    ctx()->halted = 0;
    const bool at = IsAtHaltInstruction(ctx());
    EXPECT_EQ(ctx()->halted, at ? 1 : 0);
    return at;
  }

  test::TestHost host_;
  NativeFunctionRecord records_[7] = {
      MakeRecord("@acting"),
      MakeRecord("acts", &Nothing),
      MakeRecord("typedacts", &Nothing, 0, 0, 0, 0, 0, -3),
      MakeRecord("!switchable"),
      MakeRecord("typedsafe", &Nothing, 0, 0, 0, 0, 0, -3),
      MakeRecord("plainsafe", &Nothing),
      MakeRecord(""),
  };
};

TEST_F(HaltCheck, HarmlessInstructionsBeforeTheHalt) {
  EXPECT_TRUE(AtHalt(Assembler().Op(kOpHalt)));
  EXPECT_TRUE(AtHalt(Assembler().Op(kOpPushOne).Op(kOpPushSmallInt, {7}).Op(kOpHalt)));
  EXPECT_TRUE(AtHalt(Assembler().Double(kOpPushDouble, 2.5).Op(kOpHalt)));
  // A typed native of a switchable library is harmless.
  EXPECT_TRUE(AtHalt(Assembler().Native(Index("typedsafe"), 0, 0).Op(kOpHalt)));
}

TEST_F(HaltCheck, AnythingElseBeforeTheHaltMeansWorkLeft) {
  EXPECT_FALSE(AtHalt(Assembler().Op(kOpPushOne).Op(kOpStoreVar, {1}).Op(kOpHalt)));
  EXPECT_FALSE(AtHalt(Assembler().Native(Index("acts"), 0, 0).Op(kOpHalt)));
  // A typed native outside a switchable library, and an untyped one inside.
  EXPECT_FALSE(AtHalt(Assembler().Native(Index("typedacts"), 0, 0).Op(kOpHalt)));
  EXPECT_FALSE(AtHalt(Assembler().Native(Index("plainsafe"), 0, 0).Op(kOpHalt)));
  // A native index past every table.
  EXPECT_FALSE(AtHalt(Assembler().Op(kFirstNativeOpcode + 30000, {0, 0}).Op(kOpHalt)));
}

TEST_F(HaltCheck, NoCodeOrNoHaltBeforeTheAreaEnds) {
  ctx()->cpKind = kCodeNone;
  EXPECT_FALSE(IsAtHaltInstruction(ctx()));
  // Padding up to the end of the code area, never a halt.
  EXPECT_FALSE(AtHalt(Assembler().Op(kOpPushOne)));
}

}  // namespace
}  // namespace vke
