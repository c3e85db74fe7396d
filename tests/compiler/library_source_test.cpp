// Loading sources through the source hooks, include expansion, and finding
// the source of a function.
#include "compiler/library_source.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/code/function_table.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/registry/registry.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::TestHost;

// One hook record's sources; every request is logged as "label name@folder".
struct Server {
  std::string label;
  std::map<std::string, std::string> sources;
  std::string onlyFolder;  // serves only this folder when set
  ErrCode answer = kOk;    // answered instead of a source when nonzero
  int32_t overclaim = 0;   // added to the length it reports
  std::vector<std::string>* log = nullptr;
};

ErrCode Serve(EngineContext*, const char* name, const char* folder, uintptr_t option, char* buffer,
              int32_t capacity, int32_t* length) {
  auto* s = reinterpret_cast<Server*>(option);
  s->log->push_back(s->label + " " + name + "@" + (folder ? folder : ""));
  if (s->answer) return s->answer;
  auto it = s->sources.find(name);
  if (it == s->sources.end() || (!s->onlyFolder.empty() && s->onlyFolder != (folder ? folder : "")))
    return kErrFileNotFound;
  if (static_cast<int32_t>(it->second.size()) > capacity) return kErrDataOverflow;
  std::memcpy(buffer, it->second.data(), it->second.size());
  *length = static_cast<int32_t>(it->second.size()) + s->overclaim;
  return kOk;
}

ErrCode Uppercase(EngineContext*, char* text, int32_t, int32_t* length, uintptr_t) {
  for (int32_t i = 0; i < *length; i++) text[i] = static_cast<char>(toupper(text[i]));
  return kOk;
}

class SourceTest : public ::testing::Test {
 protected:
  // Registers a table with one hook record at the front of the registry.
  template <typename F>
  void AddHook(const char* hook, F* function, uintptr_t option) {
    tables_.push_back({MakeRecord(hook, function, 0, 0, 0, 0, option), MakeRecord("")});
    ASSERT_EQ(RegisterLibrary(ctx, tables_.back().data(), true), kOk);
  }
  Server& AddServer(const std::string& label, const char* hook = "+readlib") {
    servers_.push_back(std::make_unique<Server>());
    Server& s = *servers_.back();
    s.label = label;
    s.log = &log;
    AddHook(hook, &Serve, reinterpret_cast<uintptr_t>(&s));
    return s;
  }
  std::string Load(const std::string& name, ErrCode* e, int32_t depth = kSourceIncludeDepth,
                   int32_t capacity = 4096, const char* folders = nullptr, bool library = true,
                   bool convert = false) {
    std::vector<char> buffer(capacity);
    int32_t length = 0;
    *e = LoadLibrarySource(ctx, name.data(), static_cast<int32_t>(name.size()), folders, library,
                           buffer.data(), capacity, &length, depth, convert);
    return *e ? std::string() : std::string(buffer.data(), length);
  }

  // The text of the pending error, empty when none.
  std::string Pending() {
    ErrCode code;
    const char* text;
    int32_t n;
    return ReadErrorBlock(ctx, ctx->pendingError, &code, &text, &n) ? std::string(text, n) : "";
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
  std::vector<std::string> log;
  std::deque<std::vector<NativeFunctionRecord>> tables_;
  std::vector<std::unique_ptr<Server>> servers_;
};

TEST_F(SourceTest, HooksAreAskedInRegistryOrderAndFolderByFolder) {
  Server& older = AddServer("older");
  older.sources["alpha"] = "a = 1;\n";
  older.onlyFolder = "two/";
  AddServer("newer");  // registered in front: asked first
  ErrCode e;
  EXPECT_EQ(Load("alpha", &e, 4, 4096, "one/\0two/\0"), "a = 1;\n");
  EXPECT_EQ(log, (std::vector<std::string>{"newer alpha@one/", "newer alpha@two/",
                                           "older alpha@one/", "older alpha@two/"}));
  log.clear();
  Load("alpha", &e);
  EXPECT_EQ(e, kErrLibNotFound);  // no folder given: the hook looks where it likes
  EXPECT_EQ(Pending(), "Library not found 'alpha'");
  EXPECT_EQ(log, (std::vector<std::string>{"newer alpha@", "older alpha@"}));
  Load("alpha", &e, 4, 4096, nullptr, false);
  EXPECT_EQ(e, kErrSrcNotFound);  // "+readfn" is a different hook

  AddServer("broken").answer = kErrIoErr;  // an answer other than 300 ends the search
  log.clear();
  Load("alpha", &e, 4, 4096, "two/\0");
  EXPECT_EQ(e, kErrIoErr);
  EXPECT_EQ(log.size(), 1u);
}

TEST_F(SourceTest, RecordNamesAreReadWithinTheirRecord) {
  // A name that fills all 32 bytes has no terminator; the count bytes follow.
  NativeFunctionRecord full = MakeRecord("", nullptr, 1, 2, 3, 4);
  std::memset(full.name, 'h', sizeof full.name);
  tables_.push_back({full, MakeRecord("")});
  ASSERT_EQ(RegisterLibrary(ctx, tables_.back().data(), true), kOk);
  EXPECT_EQ(FindLibraryRecord(ctx, std::string(32, 'h').c_str(), nullptr, 0, nullptr),
            tables_.back().data());
  EXPECT_EQ(FindLibraryRecord(ctx, std::string(31, 'h').c_str(), nullptr, 0, nullptr), nullptr);
}

TEST_F(SourceTest, TextIsEndedPrefilteredAndConverted) {
  Server& s = AddServer("s");
  s.sources["plain"] = "x = 1";
  s.sources["bom"] = "\xEF\xBB\xBFy = 2\r\n";
  ErrCode e;
  EXPECT_EQ(Load("plain", &e), "x = 1\n");
  EXPECT_EQ(Load("plain", &e, 4, 5), "");
  EXPECT_EQ(e, kErrDataOverflow);  // no room for the line end
  SetTextEncoding(ctx, 'u');
  EXPECT_EQ(Load("bom", &e), "y = 2\r\n");
  AddHook("+convertcharset", &Uppercase, 0);
  EXPECT_EQ(Load("plain", &e, 4, 4096, nullptr, true, true), "X = 1\n");
  EXPECT_EQ(Load("plain", &e), "x = 1\n");

  s.overclaim = 5000;  // a hook reporting more than the buffer holds
  Load("plain", &e);
  EXPECT_EQ(e, kErrDataOverflow);
}

TEST_F(SourceTest, IncludesAreExpanded) {
  Server& s = AddServer("s");
  s.sources["main"] = "a = 1;\ninclude helper\nb = 2;\n";
  s.sources["helper"] = "h = 3; % helper\nincludeifexists inner;  % the inner part\n";
  s.sources["inner"] = "i = 4;\n";
  s.sources["maybe"] = "includeifexists nothere\nx = 1;\n";
  s.sources["quiet"] = "% include nothere\ns = 'x; include nothere';\n";
  s.sources["broken"] = "includeifexists missingInside\n";
  s.sources["missingInside"] = "include nothere\n";
  s.sources["noname"] = "include\n";
  s.sources["extra"] = "include helper x\n";
  ErrCode e;
  EXPECT_EQ(Load("main", &e), "a = 1;\nh = 3; % helper\ni = 4;\n  % the inner part\n\nb = 2;\n");
  EXPECT_EQ(Load("maybe", &e), "\nx = 1;\n");
  EXPECT_EQ(Pending(), "");
  EXPECT_EQ(Load("quiet", &e), s.sources["quiet"]);
  Load("broken", &e);
  EXPECT_EQ(e, kErrLibNotFound);  // only the named source may be missing
  Load("noname", &e);
  EXPECT_EQ(e, kErrIncludeSyntax);
  Load("extra", &e);
  EXPECT_EQ(e, kErrIncludeSyntax);
  EXPECT_EQ(Load("main", &e, -1), s.sources["main"]);
  Load("main", &e, 4, 40);
  EXPECT_EQ(e, kErrDataOverflow);
}

TEST_F(SourceTest, IncludeDepthIsLimited) {
  Server& s = AddServer("s");
  for (int i = 0; i < 6; i++)
    s.sources["s" + std::to_string(i)] = "include s" + std::to_string(i + 1) + "\n";
  s.sources["s6"] = "z = 6;\n";
  s.sources["self"] = "include self\n";
  ErrCode e;
  Load("s0", &e, 5);
  EXPECT_EQ(e, kErrIncludeDepth);
  EXPECT_EQ(Pending(), "Too many nested \"include\" statements in 's5'");
  Load("s1", &e, 5);
  EXPECT_EQ(e, kOk);
  Load("self", &e, 1 << 30, 1 << 20);
  EXPECT_EQ(e, kErrIncludeDepth);
}

TEST_F(SourceTest, FindsTheSourceOfAFunction) {
  Server& libs = AddServer("libs");
  libs.sources["geom"] =
      "% geometry\nfunction a = first(x)\na = x;\nfunction b = shape::second(y)\nb = y;\n"
      "function b = second(y)\nb = 2 * y;\n";
  Server& files = AddServer("files", "+readfn");
  files.sources["solo"] = "function solo\ndisp(1)\n";
  int32_t geom, second, qualified, solo, ghost;
  ASSERT_EQ(FindLibraryEntry(ctx, "geom", 4, false, &geom), kOk);
  ASSERT_EQ(SetLibraryUseList(ctx, geom, nullptr, 0, "src/geom.vkl", 12), kOk);
  ASSERT_EQ(DefineFunctionEntry(ctx, "second", 6, nullptr, 0, geom, false, false, &second), kOk);
  ASSERT_EQ(DefineFunctionEntry(ctx, "second", 6, "shape", 5, geom, false, false, &qualified), kOk);
  ASSERT_EQ(DefineFunctionEntry(ctx, "solo", 4, nullptr, 0, 0, false, false, &solo), kOk);
  ASSERT_EQ(DefineFunctionEntry(ctx, "ghost", 5, nullptr, 0, geom, false, false, &ghost), kOk);

  char buffer[512];
  int32_t length, line;
  ASSERT_EQ(FindFunctionSource(ctx, second, buffer, sizeof buffer, &length, &line), kOk);
  EXPECT_EQ(std::string(buffer, length), "function b = second(y)\nb = 2 * y;\n");
  EXPECT_EQ(line, 6);
  EXPECT_EQ(log.back(), "libs geom@src/");
  ASSERT_EQ(FindFunctionSource(ctx, qualified, buffer, sizeof buffer, &length, &line), kOk);
  EXPECT_EQ(line, 4);
  ASSERT_EQ(FindFunctionSource(ctx, solo, buffer, sizeof buffer, &length, &line), kOk);
  EXPECT_EQ(std::string(buffer, length), files.sources["solo"]);
  EXPECT_EQ(line, 1);
  EXPECT_EQ(FindFunctionSource(ctx, ghost, buffer, sizeof buffer, &length, &line), kErrSrcNotFound);
  EXPECT_EQ(FindFunctionSource(ctx, geom, buffer, sizeof buffer, &length, &line),
            kErrUndefFunOrVar);
  EXPECT_EQ(FindFunctionSource(ctx, 999, buffer, sizeof buffer, &length, &line), kErrUndefFunOrVar);
}

}  // namespace
}  // namespace vke
