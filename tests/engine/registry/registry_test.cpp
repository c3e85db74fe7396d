// The library registry: registration order, global indices, native calls and
// the carve-off of the data stack.
#include <gtest/gtest.h>

#include "engine/interface.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

uintptr_t g_lastOption = 0;
int32_t g_lastNativeId = 0;

ErrCode Recorder(EngineContext* ctx, int32_t, int32_t, uintptr_t option) {
  g_lastOption = option;
  g_lastNativeId = ctx->currentNativeId;
  return kOk;
}

ErrCode Other(EngineContext*, int32_t, int32_t, uintptr_t) {
  return kOk;
}

struct Tables {
  NativeFunctionRecord a[4] = {MakeRecord("@liba"), MakeRecord("f", &Recorder, 0, 1, 0, 1, 0, 3),
                               MakeRecord("g", &Other), MakeRecord("")};
  NativeFunctionRecord b[3] = {MakeRecord("!libb"), MakeRecord("f", &Other, 0, 0, 0, 0, 77, -2),
                               MakeRecord("")};
};

TEST(Registry, FrontAndBackDecideOrderAndIndices) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  uint32_t before = ctx->registryCount;
  int32_t total = 0;
  for (uint32_t i = 0; i < before; i++) total += static_cast<int32_t>(ctx->Registry()[i].count);
  Tables t;
  ASSERT_EQ(RegisterLibrary(ctx, t.a, false), kOk);  // last in lookup order
  ASSERT_EQ(RegisterLibrary(ctx, t.b, true), kOk);   // first
  int32_t index = -1;
  const NativeFunctionRecord* r = FindLibraryRecord(ctx, "f", nullptr, 0, &index);
  EXPECT_EQ(r, &t.b[1]);
  EXPECT_EQ(index, 1);
  r = FindLibraryRecord(ctx, "f", r, 0, &index);
  EXPECT_EQ(r, &t.a[1]);
  EXPECT_EQ(index, 2 + total + 1);
  EXPECT_EQ(FindLibraryRecord(ctx, "f", r, 0, &index), nullptr);
  EXPECT_EQ(GetNativeRecordByIndex(ctx, index), &t.a[1]);
  EXPECT_EQ(GetNativeRecordByIndex(ctx, 2 + total + 3), nullptr);  // index = total count
  EXPECT_EQ(GetNativeRecordByIndex(ctx, 2 + total + 2), &t.a[2]);
  EXPECT_STREQ(GetRecordLibraryName(ctx, &t.a[2]), "liba");
  EXPECT_STREQ(GetRecordLibraryName(ctx, &t.b[1]), "libb");
  // A kind filter selects by the record's own id: table index x 128 + |kind| + 6.
  int32_t aIndex = static_cast<int32_t>(ctx->registryCount) - 1;
  EXPECT_EQ(FindLibraryRecord(ctx, "f", nullptr, aIndex * 128 + 3 + 6, nullptr), &t.a[1]);
  EXPECT_EQ(FindLibraryRecord(ctx, "f", nullptr, -(0 * 128 + 2 + 6), nullptr), &t.b[1]);
}

TEST(Registry, RefusesDuplicatesAndKindsOutOfRange) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  Tables t;
  ASSERT_EQ(RegisterLibrary(ctx, t.a, true), kOk);
  uint32_t count = ctx->registryCount;
  EXPECT_EQ(RegisterLibrary(ctx, t.a, false), kErrInit);
  EXPECT_EQ(ctx->registryCount, count);
  NativeFunctionRecord bad[3] = {MakeRecord("@bad"), MakeRecord("x", &Other, 0, 0, 0, 0, 0, 128),
                                 MakeRecord("")};
  EXPECT_EQ(RegisterLibrary(ctx, bad, true), kErrInit);
  bad[1].kind = -128;
  EXPECT_EQ(RegisterLibrary(ctx, bad, true), kErrInit);
  bad[1].kind = 127;
  EXPECT_EQ(RegisterLibrary(ctx, bad, true), kOk);
  NativeFunctionRecord bad2[3] = {MakeRecord("@bad2"), MakeRecord("x", &Other, 0, 0, 0, 0, 0, -127),
                                  MakeRecord("")};
  EXPECT_EQ(RegisterLibrary(ctx, bad2, true), kOk);
  NativeFunctionRecord empty[1] = {MakeRecord("")};
  EXPECT_EQ(RegisterLibrary(ctx, empty, true), kOk);
  EXPECT_EQ(RegisterLibrary(ctx, nullptr, true), kOk);
  EXPECT_EQ(ctx->registryCount, count + 2);
}

TEST(Registry, EnableLibraryOnlySwitchesSwitchableLibraries) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  Tables t;
  RegisterLibrary(ctx, t.a, true);
  RegisterLibrary(ctx, t.b, true);
  EXPECT_EQ(EnableLibrary(ctx, "liba", 1), kErrSecViolation);
  EXPECT_EQ(ctx->Registry()[1].flag, 0);
  EXPECT_EQ(EnableLibrary(ctx, "libb", 1), kErrSrcNotFound);
  EXPECT_EQ(ctx->Registry()[0].flag, 1);
}

TEST(Registry, NativeCallsGetTheirOptionWordAndId) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  Tables t;
  t.a[1].option = 0;
  RegisterLibrary(ctx, t.a, true);
  SetHookUserData(ctx, 4242);
  ASSERT_EQ(CallNativeFunction(ctx, &Recorder, 0, 0), kOk);
  EXPECT_EQ(g_lastOption, 4242u);
  EXPECT_EQ(g_lastNativeId, 0 * 128 + 3 + 6);
  SetNativeOptionByFn(t.a, reinterpret_cast<const void*>(&Recorder), 99);
  ASSERT_EQ(CallNativeFunction(ctx, &Recorder, 0, 0), kOk);
  EXPECT_EQ(g_lastOption, 99u);
  // A function no record holds runs with the default user data.
  ctx->currentNativeId = 5;
  NativeFn unknown = [](EngineContext* c, int32_t, int32_t, uintptr_t option) -> ErrCode {
    g_lastOption = option;
    g_lastNativeId = c->currentNativeId;
    return kOk;
  };
  ASSERT_EQ(CallNativeFunction(ctx, unknown, 0, 0), kOk);
  EXPECT_EQ(g_lastOption, 4242u);
  EXPECT_EQ(g_lastNativeId, 5);
}

TEST(Registry, CarveOffsKeepTheDataStackContents) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  for (double x : {1.5, 2.5, 3.5}) PushRealScalar(ctx, x);
  Tables t;
  uint32_t cap = ctx->dataCap;
  ASSERT_EQ(RegisterLibrary(ctx, t.a, true), kOk);
  EXPECT_LT(ctx->dataCap, cap);
  EXPECT_EQ(test::TopScalar(ctx, 2), 1.5);
  EXPECT_EQ(test::TopScalar(ctx, 0), 3.5);
  static const char kName[] = "winInstanceHandle";
  // Reserved names unwind the frames first, then carve room behind the registry.
  ASSERT_EQ(AddReservedName(ctx, kName, 7), kOk);
  EXPECT_EQ(FindReservedName(ctx, kName), 7);
  EXPECT_EQ(AddReservedName(ctx, kName, 8), kErrInit);
  EXPECT_EQ(AddReservedName(ctx, "other", 0), kOk);  // a zero value adds nothing
  EXPECT_EQ(FindReservedName(ctx, "other"), 0);
  ASSERT_EQ(RegisterLibrary(ctx, t.b, true), kOk);  // the list moves behind the grown registry
  EXPECT_EQ(FindReservedName(ctx, kName), 7);
  EXPECT_GE(ctx->reservedNamesOff, ctx->registryOff + 16 * ctx->registryCount);
  EXPECT_LE(ctx->reservedNamesOff + 16, ctx->dataBase);
}

TEST(Registry, ReservedNamesBeforeAnyRegistration) {
  std::unique_ptr<void, decltype(&std::free)> area(std::aligned_alloc(16, 1 << 16), &std::free);
  EngineContext* ctx;
  ASSERT_EQ(CreateEngine(area.get(), 1 << 16, &ctx), kOk);
  uint32_t base = ctx->dataBase;
  ASSERT_EQ(AddReservedName(ctx, "h", 3), kOk);
  EXPECT_EQ(ctx->reservedNamesOff, base);
  EXPECT_EQ(FindReservedName(ctx, "h"), 3);
  NativeFunctionRecord table[2] = {MakeRecord("@x"), MakeRecord("")};
  ASSERT_EQ(RegisterLibrary(ctx, table, true), kOk);
  EXPECT_EQ(FindReservedName(ctx, "h"), 3);
}

TEST(Registry, SmallDataStacksRefuseTheCarveOff) {
  std::unique_ptr<void, decltype(&std::free)> area(std::aligned_alloc(16, 7344), &std::free);
  EngineContext* ctx;
  ASSERT_EQ(CreateEngine(area.get(), 7336, &ctx), kOk);  // a data stack of 96 units
  NativeFunctionRecord table[2] = {MakeRecord("@x"), MakeRecord("")};
  uint32_t cap = ctx->dataCap;
  EXPECT_EQ(RegisterLibrary(ctx, table, true), kErrInit);
  EXPECT_EQ(ctx->registryCount, 0u);
  EXPECT_EQ(ctx->dataCap, cap);
  EXPECT_EQ(AddReservedName(ctx, "h", 3), kErrInit);
}

TEST(Registry, HooksByName) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  static uintptr_t seen = 0;
  SimpleHookFn hook = [](EngineContext*, uintptr_t arg, uintptr_t user) -> ErrCode {
    seen = arg + user;
    return 17;
  };
  NativeFunctionRecord table[4] = {
      MakeRecord("@h"), MakeRecord("+genericFun", hook, 0, 0, 0, 0, 0, 1),
      MakeRecord("+genericFun", hook, 0, 0, 0, 0, 100, 0), MakeRecord("")};
  RegisterLibrary(ctx, table, true);
  EXPECT_EQ(CallHookByName(ctx, "+genericFun", 0, 5), 17);  // the kind-1 record is skipped
  EXPECT_EQ(seen, 105u);
  EXPECT_EQ(CallHookByName(ctx, "+none", 0, 5), kErrUnknownFun);
}

}  // namespace
}  // namespace vke
