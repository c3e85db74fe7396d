// The help files of help/ carried in the programs: served by file name, the
// same bytes as the files, and asked for after every other place a help
// file can be (beside the script, -L folders, the path), in the runner as
// in the runtime.
#include "app/carried_help.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "app/natives/app_natives.hpp"
#include "app/runtime_context.hpp"
#include "compiler/help_files.hpp"
#include "engine/registry/registry.hpp"
#include "tests/help/example_hosts.hpp"

namespace vke::test {
namespace {

constexpr uint32_t kBlockBytes = 64u << 20;

TEST(CarriedHelp, TextsAreServedWholeByTheirFileNames) {
  const CarriedText texts[] = {{"VKE.hlp", "abc\n", 4}, {"other.hlp", "x\n", 2}};
  char buffer[8] = {};
  int32_t length = -1;
  ASSERT_EQ(ReadCarriedText(texts, "VKE.hlp", buffer, sizeof buffer, &length), kOk);
  EXPECT_EQ(std::string(buffer, length), "abc\n");
  // No other name, nor a part of one, and no text cut to the room.
  EXPECT_EQ(ReadCarriedText(texts, "VKE", buffer, sizeof buffer, &length), kErrFileNotFound);
  EXPECT_EQ(ReadCarriedText(texts, "vke.hlp", buffer, sizeof buffer, &length), kErrFileNotFound);
  EXPECT_EQ(ReadCarriedText(texts, "VKE.hlp", buffer, 3, &length), kErrDataOverflow);
}

// The last "+readlib" record in the registry's order, which is asked last.
const NativeFunctionRecord* LastLibraryReader(EngineContext* ctx) {
  const NativeFunctionRecord *r = nullptr, *last = nullptr;
  while ((r = FindLibraryRecord(ctx, "+readlib", r, 0, nullptr))) last = r;
  return last;
}

struct Block {
  Block() : memory(std::aligned_alloc(16, kBlockBytes)) {
    EXPECT_EQ(CreateRuntimeContext(&block, memory, kBlockBytes), kOk);
  }
  ~Block() { std::free(memory); }
  void* memory;
  KVContextBlock* block = nullptr;
};

TEST(CarriedHelp, AreTheLastPlaceAHelpFileIsLookedFor) {
  RunnerEngine runner;
  ASSERT_NE(runner.ctx(), nullptr);
  const NativeFunctionRecord* last = LastLibraryReader(runner.ctx());
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->function, reinterpret_cast<const void*>(&ReadCarriedHelp));
  Block runtime;
  ASSERT_NE(runtime.block, nullptr);
  last = LastLibraryReader(runtime.block->Engine());
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->function, reinterpret_cast<const void*>(&ReadAppLibrary));
}

std::map<std::string, std::string> HelpFilesOnDisk() {
  std::map<std::string, std::string> files;
  const std::filesystem::path folder = VKE_SOURCE_DIR "/help";
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
    if (item.path().extension() != ".hlp") continue;
    std::ifstream in(item.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    files[item.path().filename().string()] = text.str();
  }
  return files;
}

// The text help and lookfor load for a library, with no file of that name
// anywhere on disk.
std::string LoadedHelp(EngineContext* ctx, const std::string& library) {
  std::vector<char> buffer(8u << 20);
  int32_t length = 0;
  const ErrCode e =
      LoadLibraryText(ctx, library.data(), static_cast<int32_t>(library.size()), -1, true,
                      buffer.data(), static_cast<int32_t>(buffer.size()), &length);
  return e ? "error " + std::to_string(e) : std::string(buffer.data(), length);
}

TEST(CarriedHelp, AreTheFilesOfTheHelpFolderAsWritten) {
  const std::map<std::string, std::string> disk = HelpFilesOnDisk();
  std::map<std::string, std::string> carried;
  for (const CarriedText& t : CarriedHelpFiles()) carried[t.name] = std::string(t.bytes, t.length);
  EXPECT_EQ(carried.size(), disk.size());
  ScratchFolder folder;
  RunnerEngine runner;
  Block runtime;
  ASSERT_NE(runtime.block, nullptr);
  for (const auto& [name, text] : disk) {
    EXPECT_EQ(carried[name], text) << name;
    // Loaded texts end with a line end.
    const std::string loaded = text.ends_with('\n') ? text : text + "\n";
    const std::string library = name.substr(0, name.size() - 4);
    EXPECT_EQ(LoadedHelp(runner.ctx(), library), loaded) << name << " in the runner";
    EXPECT_EQ(LoadedHelp(runtime.block->Engine(), library), loaded) << name << " in the runtime";
  }
}

}  // namespace
}  // namespace vke::test
