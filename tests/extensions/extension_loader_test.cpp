// The extension loader on the fixture libraries: the current interface's
// table in front of the engine's natives, the old-style records with their
// header and closing record, the file-name filter, the refusals that leave
// the registry as it was, and the limits of paths and slots. The slot tests
// come last: the loader's registry lasts as long as the process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "engine/errors/errors.hpp"
#include "engine/registry/registry.hpp"
#include "tests/extensions/extension_test_support.hpp"

namespace vke {
namespace {

using test::FixtureLibrary;
using test::LoadedPaths;
using test::ScratchFolder;

class ExtensionLoader : public ::testing::Test {
 protected:
  ErrCode LoadOne(const std::string& path, LoadedPaths* loaded = nullptr) {
    return LoadExtensions(ctx, kExtensionHostData, path.c_str(), true, nullptr, 0,
                          loaded ? &LoadedPaths::Add : nullptr,
                          reinterpret_cast<uintptr_t>(loaded));
  }
  std::string Show(const std::string& expression) {
    host.ClearOutput();
    const ErrCode e = test::RunCommandLine(ctx, "disp(" + expression + ")\n");
    const std::string out = host.Output(1);
    return e ? "error " + std::to_string(e)
             : out.substr(std::min(out.find_first_not_of(' '), out.size()));
  }
  const NativeFunctionRecord* FrontTable() { return GetNativeRecordByIndex(ctx, 0); }

  test::TestHost host;
  EngineContext* ctx = host.ctx();
};

TEST_F(ExtensionLoader, ACurrentLibraryShadowsTheEngineNatives) {
  EXPECT_EQ(Show("polyval([1 2], 3)"), "5\n");
  LoadedPaths loaded;
  const uint32_t tables = ctx->registryCount;
  ASSERT_EQ(LoadOne(FixtureLibrary("current"), &loaded), kOk);
  EXPECT_EQ(ctx->registryCount, tables + 1);
  EXPECT_STREQ(FrontTable()[0].name, "@current");
  EXPECT_EQ(loaded.paths, std::vector<std::string>{FixtureLibrary("current")});
  EXPECT_EQ(Show("polyval([1 2], 3)"), "polyval of the extension\n");
  EXPECT_EQ(Show("exthost()"), "97\n");
}

// A native that leaves its inputs under its result, or more outputs than
// were asked for, leaves the caller's stack as the call found it: the
// outputs asked for are kept, the rest goes, and a loop around the calls
// runs on.
TEST_F(ExtensionLoader, WhatANativeLeavesBeyondItsOutputsGoes) {
  ASSERT_EQ(LoadOne(FixtureLibrary("current")), kOk);
  host.ClearOutput();
  ASSERT_EQ(test::RunCommandLine(ctx,
                                 "s = 0; for k = 1:3, s = s + extleave(k, 2); end, disp(s)\n"
                                 "s = 0; for k = 1:3, s = s + extthree(); end, disp(s)\n"
                                 "[a, b] = extthree(); disp([a b])\n"
                                 "for k = 1:2, extleave(k); extthree(); end, disp(k)\n"),
            kOk);
  EXPECT_EQ(host.Output(1), "        60\n         3\n         1         2\n         2\n");
}

TEST_F(ExtensionLoader, OldStyleRecordsGetAHeaderAndAClosingRecord) {
  const int before = CountLoadedExtensions().oldStyleRecords;
  ASSERT_EQ(LoadOne(FixtureLibrary("oldstyle")), kOk);
  EXPECT_EQ(CountLoadedExtensions().oldStyleRecords, before + 5);
  const NativeFunctionRecord* table = FrontTable();
  const char* names[] = {"@oldstyle", "oldsum", "oldcheck", "oldtyped", ""};
  const int32_t kinds[] = {0, -1, -1, 1, 0};
  for (int i = 0; i < 5; i++) {
    EXPECT_STREQ(table[i].name, names[i]);
    EXPECT_EQ(table[i].kind, kinds[i]) << i;
  }
  EXPECT_EQ(table[2].minIn, 1);
  EXPECT_EQ(table[2].maxOut, 3);
  EXPECT_EQ(Show("oldsum(1, [2 3], [])"), "6\n");
}

TEST_F(ExtensionLoader, TheFilterTakesTheNameUpToADot) {
  ScratchFolder folder;
  for (const char* name : {"MYEXT.so", "myext.v2.so", "myext2.so", "my.so", "myext"})
    folder.CopyFixture("nulltable", name);
  LoadedPaths loaded;
  const uint32_t tables = ctx->registryCount;
  ASSERT_EQ(LoadExtensions(ctx, 0, folder.path().c_str(), false, "myext", 5, &LoadedPaths::Add,
                           reinterpret_cast<uintptr_t>(&loaded)),
            kOk);
  EXPECT_EQ(loaded.paths, (std::vector<std::string>{folder.path() + "/MYEXT.so",
                                                    folder.path() + "/myext.v2.so"}));
  // A library that leaves its table null uses a slot and registers nothing.
  EXPECT_EQ(ctx->registryCount, tables);
}

TEST_F(ExtensionLoader, RefusalsUnloadAndChangeNothing) {
  ScratchFolder folder;
  std::FILE* text = std::fopen((folder.path() + "/text.so").c_str(), "w");
  std::fputs("not a library\n", text);
  std::fclose(text);
  char before[4096];
  ASSERT_TRUE(getcwd(before, sizeof before));
  const uint32_t tables = ctx->registryCount, dataBase = ctx->dataBase;
  const ExtensionCounts counts = CountLoadedExtensions();
  for (const std::string& path :
       {FixtureLibrary("bare"), FixtureLibrary("foreign"), folder.path() + "/text.so",
        folder.path() + "/absent.so", "/" + std::string(599, 'a')})
    EXPECT_EQ(LoadOne(path), kErrInit) << path.substr(0, 80);
  // A scan goes past the refusals.
  folder.CopyFixture("bare", "bare.so");
  EXPECT_EQ(LoadExtensions(ctx, 0, folder.path().c_str(), false, nullptr, 0, nullptr, 0), kOk);
  EXPECT_EQ(ctx->registryCount, tables);
  EXPECT_EQ(ctx->dataBase, dataBase);
  EXPECT_EQ(CountLoadedExtensions().currentLibraries, counts.currentLibraries);
  EXPECT_EQ(CountLoadedExtensions().oldStyleLibraries, counts.oldStyleLibraries);
  char after[4096];
  ASSERT_TRUE(getcwd(after, sizeof after));
  EXPECT_STREQ(after, before);
  // A missing folder loads nothing.
  EXPECT_EQ(LoadExtensions(ctx, 0, "/nonexistent/folder", false, nullptr, 0, nullptr, 0), kOk);
}

// Copies of one old-style library: only as many as slots are left load,
// the next is refused and closed again.
TEST_F(ExtensionLoader, OldStyleSlotsRunOut) {
  ScratchFolder folder;
  const int free = kExtensionSlots - CountLoadedExtensions().oldStyleLibraries;
  for (int i = 0; i <= free; i++)
    folder.CopyFixture("oldstyle", "old" + std::to_string(100 + i) + ".so");
  int refused = 0;
  for (int i = 0; i <= free; i++) {
    const std::string path = folder.path() + "/old" + std::to_string(100 + i) + ".so";
    refused += LoadExtension(ctx, 0, path, nullptr, 0, nullptr, 0) == kErrInit;
  }
  EXPECT_EQ(refused, 1);
  EXPECT_EQ(CountLoadedExtensions().oldStyleLibraries, kExtensionSlots);
  EXPECT_LE(CountLoadedExtensions().oldStyleRecords, kOldStyleRecordRoom - 1);
}

// A folder of more current-interface libraries than slots: the scan stops
// when they are used up.
TEST_F(ExtensionLoader, TheScanStopsWhenTheCurrentSlotsAreUsed) {
  ScratchFolder folder;
  const int free = kExtensionSlots - CountLoadedExtensions().currentLibraries;
  for (int i = 0; i < free + 6; i++)
    folder.CopyFixture("nulltable", "n" + std::to_string(100 + i) + ".so");
  LoadedPaths loaded;
  EXPECT_EQ(LoadExtensions(ctx, 0, folder.path().c_str(), false, nullptr, 0, &LoadedPaths::Add,
                           reinterpret_cast<uintptr_t>(&loaded)),
            kOk);
  ASSERT_EQ(loaded.paths.size(), static_cast<size_t>(free));
  EXPECT_EQ(loaded.paths.back(), folder.path() + "/n" + std::to_string(100 + free - 1) + ".so");
  EXPECT_EQ(LoadOne(FixtureLibrary("current")), kErrInit);
}

}  // namespace
}  // namespace vke
