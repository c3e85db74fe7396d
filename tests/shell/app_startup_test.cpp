// The program's start against a mocked engine: the steps in their order,
// the engine steps skipped without a context, the end, the help page, what a
// failed load says and the run-time natives.
#include "shell/app_startup.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/errors.hpp"
#include "tests/shell/memory_preferences.hpp"
#include "tests/shell/mock_engine_facade.hpp"
#include "tests/shell/temp_home.hpp"

namespace vke {
namespace {

using ::testing::_;
using ::testing::InSequence;
using ::testing::Return;
using ::testing::StrictMock;

bool NoBreak(uintptr_t) {
  return false;
}

// The windows' side, logging into the same list as the engine's calls.
class Host : public AppStartupHost {
 public:
  Host(EngineFacade& engine, std::vector<std::string>& log) : engine_(engine), log_(log) {}
  void RegisterFileTypes() override { log_.push_back("file types"); }
  AbortFn BreakTest() const override { return &NoBreak; }
  EngineFacade& CreateContext(const StartupSettings& s) override {
    log_.push_back("context " + std::to_string(s.memMin));
    return engine_;
  }
  void RegisterRuntimeTable(EngineFacade&) override { log_.push_back("runtime table"); }
  bool CreateDocument() override {
    log_.push_back("document");
    return documentMade;
  }
  void AcceptDroppedFiles() override { log_.push_back("drops"); }
  void LoadEmbeddedApplication() override { log_.push_back("load"); }
  bool documentMade = true;

 private:
  EngineFacade& engine_;
  std::vector<std::string>& log_;
};

struct Startup : ::testing::Test {
  StrictMock<test::MockEngineFacade> engine;
  std::vector<std::string> log;
  Host host{engine, log};
  test::MemoryPreferences prefs;
  AppState state;

  void Log(const char* step) { log.push_back(step); }
};

TEST_F(Startup, StepsRunInOrderWithThePreferences) {
  prefs.Set(PrefKey::MemMin, "0");
  prefs.Set(PrefKey::CodeOptimization, "-3");
  prefs.Set(PrefKey::DiscardAssert, "257");
  prefs.Set(PrefKey::InteractiveHilight, "0");
  prefs.Set(PrefKey::FormatType, "Short");
  prefs.Set(PrefKey::FormatImagSymbol, "k");
  {
    InSequence order;
    EXPECT_CALL(engine, Created()).WillOnce(Return(true));
    EXPECT_CALL(engine, SetBreakTest(&NoBreak, 0u)).WillOnce([&] { Log("break test"); });
    EXPECT_CALL(engine, SetCodeOptions(4, 1)).WillOnce([&] { Log("code options"); });
    EXPECT_CALL(engine, InstallHostClock()).WillOnce([&] { Log("clock"); });
    EXPECT_CALL(engine, SetInteractiveHighlight(0)).WillOnce([&] { Log("highlight"); });
    EXPECT_CALL(engine, SetNumberFormat(_)).WillOnce([&](const NumberFormat& f) {
      EXPECT_EQ(f.type, 'S');
      EXPECT_EQ(f.imagUnit, 'j');
      EXPECT_EQ(f.digits, 4);
      Log("number format");
    });
    EXPECT_CALL(engine, ClearOpenFiles()).WillOnce([&] { Log("open files"); });
    EXPECT_CALL(engine, SetPathSeparator('/')).WillOnce([&] { Log("separator"); });
  }
  ASSERT_TRUE(InitInstance(prefs, host, "/nowhere/kvrt", &state));
  EXPECT_EQ(log,
            (std::vector<std::string>{"file types", "context 8290304", "break test", "code options",
                                      "clock", "highlight", "number format", "runtime table",
                                      "open files", "separator", "document", "drops", "load"}));
  EXPECT_FALSE(state.starting);
  EXPECT_FALSE(state.helpFile);

  EXPECT_CALL(engine, CloseOpenFiles());
  ExitInstance(state);
}

TEST_F(Startup, WithoutAContextTheWindowStillAppearsAndLoads) {
  EXPECT_CALL(engine, Created()).WillOnce(Return(false));
  EXPECT_CALL(engine, ClearOpenFiles());
  EXPECT_CALL(engine, SetPathSeparator('/'));
  ASSERT_TRUE(InitInstance(prefs, host, "/nowhere/kvrt", &state));
  EXPECT_EQ(log, (std::vector<std::string>{"file types", "context 8290304", "document", "drops",
                                           "load"}));
}

TEST_F(Startup, AFailedDocumentEndsTheStartAndExitClosesNothing) {
  host.documentMade = false;
  EXPECT_CALL(engine, Created()).WillOnce(Return(false));
  EXPECT_CALL(engine, ClearOpenFiles());
  EXPECT_CALL(engine, SetPathSeparator('/'));
  EXPECT_FALSE(InitInstance(prefs, host, "/nowhere/kvrt", &state));
  EXPECT_EQ(log.back(), "document");
  EXPECT_TRUE(state.starting);
  ExitInstance(state);  // the strict mock refuses CloseOpenFiles
}

TEST(HelpFile, FoundBesideTheExecutableAndOpenedByItsAddress) {
  test::TempHome home;
  const std::string exe = home.Root() + "/my app/kvrt";
  EXPECT_FALSE(FindHelpFile(exe, kHelpFilePath));
  test::WriteFile(home.Root() + "/my app/Doc/index.htm", "<html></html>");
  const std::optional<std::string> help = FindHelpFile(exe, kHelpFilePath);
  ASSERT_TRUE(help);
  EXPECT_EQ(*help, home.Root() + "/my app/Doc/index.htm");
  EXPECT_EQ(FileUri("/a b/%c/d\xC3\xA9#.htm"), "file:///a%20b/%25c/d%C3%A9%23.htm");
}

TEST(LoadError, AProgramWithoutAnApplicationSaysHowOneIsPacked) {
  test::TempHome home;
  const std::string exe = home.Root() + "/kvrt";
  test::WriteFile(exe,
                  "\x7F"
                  "ELF and no image");
  ::testing::NiceMock<test::MockEngineFacade> engine;
  ON_CALL(engine, Created()).WillByDefault(Return(true));
  ON_CALL(engine, ErrorText(kErrEof)).WillByDefault(Return("End of file"));
  const std::string text = LoadErrorText(engine, kErrEof, exe);
  EXPECT_NE(text.find("carries no application"), std::string::npos) << text;
  EXPECT_NE(text.find("kvpack --runtime " + exe), std::string::npos) << text;
  // An image that does not load, or no engine to load it, says why.
  const std::string start(4, '\0');
  test::WriteFile(exe, std::string("\4", 1) + start.substr(1) + "Name" + '\0' + "records" + start);
  EXPECT_EQ(LoadErrorText(engine, kErrEof, exe), "End of file");
  ON_CALL(engine, Created()).WillByDefault(Return(false));
  ON_CALL(engine, ErrorText(kKvNotEnoughMemForKV)).WillByDefault(Return("Too small KV buffer"));
  EXPECT_EQ(LoadErrorText(engine, kKvNotEnoughMemForKV, home.Root() + "/missing"),
            "Too small KV buffer");
}

}  // namespace
}  // namespace vke
