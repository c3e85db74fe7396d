// Function-table entries, library blocks, and keeping compiled code and the
// code pointers into it consistent when code moves.
#include "engine/code/function_table.hpp"

#include <gtest/gtest.h>

#include <string>

#include "engine/code/function_ref.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/value.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

class FunctionTableTest : public ::testing::Test {
 protected:
  int32_t Define(const std::string& name, int32_t library = 0, bool isPrivate = false) {
    int32_t index = -1;
    EXPECT_EQ(DefineFunctionEntry(ctx, name.data(), static_cast<int32_t>(name.size()), nullptr, 0,
                                  library, isPrivate, false, &index),
              kOk);
    return index;
  }
  int32_t Library(const std::string& name, bool create = false) {
    int32_t index = -1;
    EXPECT_EQ(FindLibraryEntry(ctx, name.data(), static_cast<int32_t>(name.size()), create, &index),
              kOk);
    return index;
  }
  // Gives an entry a block of `words` words filled with its index.
  int32_t Compile(int32_t index, int32_t words) {
    int32_t position = 0;
    EXPECT_EQ(ReserveCodeBlock(ctx, words, &position), kOk);
    for (int32_t i = 0; i < words; i++) Word(position + i) = static_cast<uint16_t>(index);
    FunctionEntries(ctx)[index].code = position;
    return position;
  }
  uint16_t& Word(int32_t position) {
    return reinterpret_cast<uint16_t*>(ctx->CodeBytes())[position];
  }
  int32_t Code(int32_t index) { return FunctionEntries(ctx)[index].code; }
  // A call frame above the current one returning to (kind, offset).
  uint32_t* PushFrame(uint32_t kind, uint32_t offset) {
    int32_t f = static_cast<int32_t>(ctx->descTop);
    uint32_t* w = FrameWords(ctx, f);
    std::fill(w, w + kFrameHeaderWords, 0u);
    w[kFwReturnKind] = kind;
    w[kFwReturnOffset] = offset;
    w[kFwBackLink] = static_cast<uint32_t>(f - ctx->curFrame);
    w[kFwFunction] = 5;
    ctx->descTop += kFrameHeaderWords;
    ctx->curFrame = f;
    return w;
  }
  void Use(int32_t library, const std::string& used, const char* path = "lib/a.vkl") {
    int16_t id =
        static_cast<int16_t>(FindName(ctx, used.data(), static_cast<int32_t>(used.size())));
    ASSERT_EQ(SetLibraryUseList(ctx, library, &id, 1, path, static_cast<int32_t>(strlen(path))),
              kOk);
  }
  std::vector<uint16_t> UseList(int32_t library) {
    int32_t n;
    const uint16_t* list = GetLibraryUseList(ctx, library, &n);
    return std::vector<uint16_t>(list, list + n);
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
};

TEST_F(FunctionTableTest, EntriesAreFoundAgainAndKeyedBySourceLibrary) {
  int32_t lib = Library("geom", true);
  EXPECT_EQ(Code(lib), kCodeNotCompiled);
  EXPECT_EQ(Library("geom"), lib);
  EXPECT_EQ(FindLibraryEntryById(ctx, FindName(ctx, "geom", 4)), lib);
  EXPECT_EQ(Code(Library("plain")), kCodeKnown);
  int32_t index;
  EXPECT_EQ(FindLibraryEntry(ctx, "a-b", 3, false, &index), kErrBadLibName);

  int32_t f = Define("area", lib, true);
  EXPECT_EQ(Code(f), kCodeNotCompiled);
  EXPECT_TRUE(FunctionEntries(ctx)[f].info & kEntryPrivate);
  EXPECT_EQ(Define("area", lib, false), f);  // redefinition clears the private bit
  EXPECT_FALSE(FunctionEntries(ctx)[f].info & kEntryPrivate);
  EXPECT_NE(Define("area", 0), f);
  EXPECT_EQ(DefineFunctionEntry(ctx, "x", 1, nullptr, 0, f, false, false, &index), kErrBadArg);
  EXPECT_EQ(DefineFunctionEntry(ctx, std::string(33, 'n').data(), 33, nullptr, 0, 0, false, false,
                                &index),
            kErrNameTooLong);

  const char* name;
  int32_t length;
  ASSERT_EQ(GetFunctionName(ctx, f, &name, &length), kOk);
  EXPECT_EQ(std::string(name, length), "geom");
  EXPECT_EQ(GetFunctionName(ctx, Define("solo"), &name, &length), kErrSrcNotFound);
}

TEST_F(FunctionTableTest, GrowthMovesCodeAndRelocatesLivePointers) {
  int32_t first = Define("f0");
  int32_t p1 = Compile(first, 12);
  int32_t second = Define("f1");
  int32_t p2 = Compile(second, 8);
  // Code pointers into both blocks: the context's, a frame's return, the base
  // frame's catch and debugger pointers and a header position.
  ctx->cpKind = kCodeArea;
  ctx->cpOffset = 2 * (p2 + 3);
  uint32_t* base = FrameWords(ctx, 0);
  base[kFwCatchKind] = kCodeArea;
  base[kFwCatchOffset] = 2 * (p1 + 1);
  base[kFwDebugKind] = kCodeDataStack;
  base[kFwDebugOffset] = 2 * (p1 + 1);
  uint32_t* frame = PushFrame(kCodeArea, 2 * (p1 + 5));
  frame[kFwHeader] = static_cast<uint32_t>(p2);
  int32_t frameAt = ctx->curFrame;

  for (int i = 2; ctx->funcCount < ctx->funcCap; i++) Define("f" + std::to_string(i));
  uint32_t cap = ctx->funcCap;
  int64_t freeWords = FreeCodeBytes(ctx) / 2;
  int32_t added = Define("last");
  EXPECT_EQ(added, static_cast<int32_t>(cap));
  uint32_t k = ctx->funcCap - cap;
  EXPECT_EQ(k, static_cast<uint32_t>((freeWords - 1) / 256));
  int32_t shift = static_cast<int32_t>(8 * k);
  EXPECT_EQ(Code(first), p1 + shift);
  EXPECT_EQ(Code(second), p2 + shift);
  EXPECT_EQ(Word(p1 + shift + 11), first);
  EXPECT_EQ(Word(p2 + shift), second);
  EXPECT_EQ(ctx->cpOffset, 2u * (p2 + shift + 3));
  EXPECT_EQ(base[kFwCatchOffset], 2u * (p1 + shift + 1));
  EXPECT_EQ(base[kFwDebugOffset], 2u * (p1 + 1));  // not a code-area pointer
  frame = FrameWords(ctx, frameAt);
  EXPECT_EQ(frame[kFwReturnOffset], 2u * (p1 + shift + 5));
  EXPECT_EQ(frame[kFwHeader], static_cast<uint32_t>(p2 + shift));
  EXPECT_EQ(CurrentFrameFunction(ctx), 5);
}

TEST_F(FunctionTableTest, GrowthLimitsAndRefusals) {
  // 16 free words give two entries.
  ctx->codeEnd = static_cast<uint32_t>((int64_t{ctx->codeSize} * 2 + ctx->nameStart) / 2 - 16);
  uint32_t cap = ctx->funcCap;
  EXPECT_EQ(GrowFunctionTable(ctx), kOk);
  EXPECT_EQ(ctx->funcCap, cap + 2);
  EXPECT_EQ(GrowFunctionTable(ctx), kErrCodeOverflow);

  TestHost other;
  ctx = other.ctx();
  ctx->compiling = 1;  // a compilation is writing at the fill position
  EXPECT_EQ(GrowFunctionTable(ctx), kErrBadContext);
  ctx->compiling = 0;
  ctx->firstThread = 3;  // another thread's pointers cannot be reached
  EXPECT_EQ(GrowFunctionTable(ctx), kErrBadContext);
  while (ctx->funcCount < ctx->funcCap) Define("g" + std::to_string(ctx->funcCount));
  int32_t index;
  EXPECT_EQ(DefineFunctionEntry(ctx, "h", 1, nullptr, 0, 0, false, false, &index),
            kErrTooManyUserFun);
}

TEST_F(FunctionTableTest, RemovingABlockMovesLaterCodeUnlessCodeRunsInIt) {
  int32_t a = Define("a"), b = Define("b"), c = Define("c");
  Compile(a, 8);
  int32_t pb = Compile(b, 12);
  int32_t pc = Compile(c, 8);
  uint32_t end = ctx->codeEnd;
  ctx->cpKind = kCodeArea;
  ctx->cpOffset = 2 * (pc + 2);
  RemoveFunctionsOfEntry(ctx, b);
  EXPECT_EQ(Code(b), kCodeKnown);
  EXPECT_EQ(Code(c), pb);
  EXPECT_EQ(Word(pb + 7), c);
  EXPECT_EQ(ctx->codeEnd, end - 12);
  EXPECT_EQ(ctx->cpOffset, 2u * (pb + 2));

  // Code runs in c's block: it stays where it is.
  RemoveFunctionsOfEntry(ctx, c);
  EXPECT_EQ(Code(c), kCodeKnown);
  EXPECT_EQ(ctx->codeEnd, end - 12);
  EXPECT_EQ(Word(pb), c);
}

TEST_F(FunctionTableTest, PopResetAndScopeKeepOtherCode) {
  int32_t lib = Library("L");
  int32_t g = Define("g");
  int32_t pg = Compile(g, 8);
  uint32_t count = ctx->funcCount;
  PopFunctionScope(ctx);
  EXPECT_EQ(ctx->funcCount, count - 1);
  EXPECT_EQ(ctx->codeEnd, static_cast<uint32_t>(pg));

  // A library block written behind the function keeps its space.
  g = Define("g");
  Compile(g, 8);
  Use(lib, "L");
  uint32_t end = ctx->codeEnd;
  PopFunctionScope(ctx);
  EXPECT_EQ(ctx->codeEnd, end);
  EXPECT_EQ(UseList(lib), std::vector<uint16_t>{static_cast<uint16_t>(FindName(ctx, "L", 1))});
  PopFunctionScope(ctx);  // the last entry is now the library: nothing happens
  EXPECT_EQ(ctx->funcCount, 2u);

  ResetFunctionTable(ctx);
  EXPECT_EQ(ctx->funcCount, 1u);
  EXPECT_EQ(ctx->codeEnd, ctx->funcCap * 8);
  EXPECT_EQ(CurrentFrameFunction(ctx), 0);  // the base frame runs no function
}

TEST_F(FunctionTableTest, UseListsKeepOrderAndGrow) {
  int32_t a = Library("A");
  for (int i = 0; i < 20; i++) Library("L" + std::to_string(i));
  Use(a, "L0", "libs\\sub/a.vkl");
  int32_t folderLength;
  const char* folder = GetLibraryFolder(ctx, a, &folderLength);
  EXPECT_EQ(std::string(folder, folderLength), "libs\\sub/");
  Use(a, "L1");
  Use(a, "L0");  // moved to the most recent place
  auto id = [&](int i) {
    return static_cast<uint16_t>(FindName(ctx, ("L" + std::to_string(i)).data(), i < 10 ? 2 : 3));
  };
  EXPECT_EQ(UseList(a), (std::vector<uint16_t>{id(1), id(0)}));
  EXPECT_TRUE(IsLibraryInUseList(ctx, static_cast<int16_t>(id(1)), a));
  EXPECT_FALSE(IsLibraryInUseList(ctx, static_cast<int16_t>(id(2)), a));

  // Growing in place while the block is the last code, else by a copy.
  int32_t position = Code(a);
  for (int i = 2; i < 17; i++) Use(a, "L" + std::to_string(i));
  EXPECT_EQ(Code(a), position);
  Compile(Define("f"), 4);
  for (int i = 17; i < 20; i++) Use(a, "L" + std::to_string(i));
  for (int i = 2; i < 20; i++) Use(a, "L" + std::to_string(i));  // all listed: order only
  EXPECT_GT(Code(a), position);
  std::vector<uint16_t> expected{id(1), id(0)};
  for (int i = 2; i < 20; i++) expected.push_back(id(i));
  EXPECT_EQ(UseList(a), expected);
  folder = GetLibraryFolder(ctx, a, &folderLength);
  EXPECT_EQ(std::string(folder, folderLength), "libs\\sub/");
  EXPECT_EQ(SetLibraryUseList(ctx, Define("notlib"), nullptr, 0, "x", 1), kErrBadArg);
}

TEST(FunctionReference, HoldsNameAndScopeWord) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  uint8_t* data;
  ASSERT_EQ(PushFunctionReference(ctx, "sin", 3, 7, &data), kOk);
  ValueDescriptor d = *DescAt(ctx, 0);
  EXPECT_EQ(d.flags, kFlagTyped);
  EXPECT_EQ(d.word, kKindFuncRef);
  EXPECT_EQ(Load<uint16_t>(data + 2), 7);
  EXPECT_EQ(data[7], 0);
  const char* bytes;
  int32_t length;
  GetStringData(data, &bytes, &length);
  EXPECT_EQ(std::string(bytes, length), "sin");
  uint32_t top = ctx->descTop;
  EXPECT_EQ(PushFunctionReference(ctx, "x", 70000, 0, &data), kErrBadArg);
  EXPECT_EQ(ctx->descTop, top);
}

}  // namespace
}  // namespace vke
