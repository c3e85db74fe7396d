// The name table and function lookup across libraries.
#include "engine/code/names.hpp"

#include <gtest/gtest.h>

#include <string>

#include "engine/code/function_table.hpp"
#include "engine/errors/errors.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

int32_t Intern(EngineContext* ctx, const std::string& s, ErrCode* e = nullptr) {
  int32_t id = 0;
  ErrCode r = InternName(ctx, s.data(), static_cast<int32_t>(s.size()), kMaxIdentifierLength, &id);
  if (e) *e = r;
  return r ? 0 : id;
}

TEST(NameTable, LengthLimitsAndStableIds) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ErrCode e;
  int32_t id = Intern(ctx, std::string(32, 'a'), &e);
  EXPECT_EQ(e, kOk);
  EXPECT_LT(id, 0);
  Intern(ctx, std::string(33, 'a'), &e);
  EXPECT_EQ(e, kErrNameTooLong);
  Intern(ctx, "", &e);
  EXPECT_EQ(e, kErrNullName);

  int32_t size = ctx->nameStart;
  EXPECT_EQ(Intern(ctx, std::string(32, 'a')), id);
  EXPECT_EQ(ctx->nameStart, size);
  int32_t other = Intern(ctx, "ab");
  EXPECT_NE(other, id);
  EXPECT_EQ(FindName(ctx, "ab", 2), other);
  EXPECT_EQ(FindName(ctx, "abc", 3), 0);
  int32_t n;
  const char* text = NameText(ctx, other, &n);
  EXPECT_EQ(std::string(text, n), "ab");
  // An id that is not on an entry names nothing (and reads nothing past the area).
  EXPECT_EQ(NameText(ctx, -1, &n), nullptr);
  EXPECT_EQ(NameText(ctx, 5, &n), nullptr);
}

TEST(NameTable, TableAndCodeAreaLimits) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // 992 names of 32 characters fill 32,736 bytes; the next needs 34 more.
  for (int i = 0; i < 992; i++) {
    std::string name = std::to_string(i);
    ASSERT_NE(Intern(ctx, name + std::string(32 - name.size(), 'x')), 0) << i;
  }
  int32_t size = ctx->nameStart;
  ErrCode e;
  Intern(ctx, std::string(32, 'z'), &e);
  EXPECT_EQ(e, kErrSymbTableTooLarge);
  EXPECT_EQ(ctx->nameStart, size);
  Intern(ctx, std::string(29, 'z'), &e);  // 32,736 + 29 + 2 = 32,767
  EXPECT_EQ(e, kOk);

  TestHost small;
  ctx = small.ctx();
  // Leave exactly 4 free bytes: a 4-character name needs 5.
  ctx->codeEnd = static_cast<uint32_t>((int64_t{ctx->codeSize} * 2 + ctx->nameStart - 4) / 2);
  Intern(ctx, "abcd", &e);
  EXPECT_EQ(e, kErrCodeOverflow);
  Intern(ctx, "abc", &e);
  EXPECT_EQ(e, kOk);
}

class ResolutionTest : public ::testing::Test {
 protected:
  int32_t Library(const char* name) {
    int32_t index = -1;
    EXPECT_EQ(FindLibraryEntry(ctx, name, static_cast<int32_t>(strlen(name)), false, &index), kOk);
    return index;
  }
  int32_t Define(const char* name, int32_t library, bool isPrivate = false,
                 const char* qualifier = nullptr) {
    int32_t index = -1;
    EXPECT_EQ(DefineFunctionEntry(ctx, name, static_cast<int32_t>(strlen(name)), qualifier,
                                  qualifier ? static_cast<int32_t>(strlen(qualifier)) : 0, library,
                                  isPrivate, false, &index),
              kOk);
    return index;
  }
  void Use(int32_t library, const char* used) {
    int16_t id = static_cast<int16_t>(FindName(ctx, used, static_cast<int32_t>(strlen(used))));
    ASSERT_EQ(SetLibraryUseList(ctx, library, &id, 1, "lib/x.vkl", 9), kOk);
  }
  int32_t Find(const char* name, int32_t scope, bool useList = true) {
    return FindFunction(ctx, name, static_cast<int32_t>(strlen(name)), nullptr, 0, scope, useList,
                        nullptr);
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
};

TEST_F(ResolutionTest, ScopeAndUseListOrder) {
  int32_t a = Library("A"), b = Library("B"), c = Library("C");
  int32_t fa = Define("f", a), fb = Define("f", b), global = Define("g", 0);
  Use(c, "A");
  Use(c, "B");
  EXPECT_EQ(Find("f", c), fb);  // the library used last wins
  Use(c, "A");                  // used again: A becomes the most recent
  EXPECT_EQ(Find("f", c), fa);
  EXPECT_EQ(Find("f", a), fa);
  EXPECT_EQ(Find("f", c, false), -1);
  EXPECT_EQ(Find("f(x)", b), fb);  // the leading name part is looked up
  EXPECT_EQ(Find("g", 0), global);
  EXPECT_EQ(Find("g", c), -1);
  int32_t size = ctx->nameStart;
  EXPECT_EQ(Find("never", c), -1);
  EXPECT_EQ(ctx->nameStart, size);
}

TEST_F(ResolutionTest, PrivateFunctionsStayInTheirLibrary) {
  int32_t a = Library("A"), b = Library("B");
  int32_t hidden = Define("p", a, true);
  Use(b, "A");
  EXPECT_EQ(Find("p", b), -1);
  EXPECT_EQ(Find("p", a), hidden);
  ctx->showPrivate = 1;
  EXPECT_EQ(Find("p", b), hidden);
}

TEST_F(ResolutionTest, QualifiedNames) {
  int32_t a = Library("A");
  int32_t plain = Define("h", a);
  int32_t qualified = Define("h", a, false, "shape");
  EXPECT_NE(plain, qualified);
  ErrCode e;
  EXPECT_EQ(FindFunctionQualified(ctx, "shape::h", 8, a, &e), qualified);
  EXPECT_EQ(e, kOk);
  EXPECT_EQ(FindFunctionQualified(ctx, "other::h", 8, a, &e), -1);
  EXPECT_EQ(FindFunctionQualified(ctx, "shape:h", 7, a, &e), -1);
  EXPECT_EQ(e, kErrBadArg);
  int32_t libraryId = 0;
  EXPECT_EQ(FindFunction(ctx, "h", 1, "shape", 5, a, true, &libraryId), qualified);
  EXPECT_EQ(libraryId, FindName(ctx, "shape", 5));
}

}  // namespace
}  // namespace vke
