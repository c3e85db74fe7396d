// What docs/authoring.md tells an author about help and the language holds:
// each `help NAME` it shows opens an entry, in the runner and in an
// application, and its commands print what it says they print.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/help/example_hosts.hpp"
#include "tests/help/example_results.hpp"

namespace vke::test {
namespace {

std::string Authoring() {
  std::ifstream in(VKE_SOURCE_DIR "/docs/authoring.md");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(AuthoringClaims, EveryHelpItShowsOpensAnEntry) {
  const std::string doc = Authoring();
  ASSERT_FALSE(doc.empty());
  // `help NAME`, the name possibly on the next line.
  const std::regex shown("`help\\s+([^`\\s]+)`");
  std::set<std::string> names;
  for (std::sregex_iterator m(doc.begin(), doc.end(), shown), end; m != end; ++m) {
    // Forms such as `help NAME` and the check step `help "MODE"` are no
    // commands.
    const std::string name = (*m)[1];
    if (name[0] != '"' && std::regex_search(name, std::regex("[a-z]"))) names.insert(name);
  }
  ASSERT_GT(names.size(), 50u);
  std::string check;
  for (const std::string& name : names)
    check += "if ~help('" + name + "'), disp('" + name + "'); end\n";
  ScratchFolder folder;
  std::string closed;
  EXPECT_EQ(RunInRunner(check, &closed), kOk) << closed;
  EXPECT_EQ(closed, "") << "shown, but no help in the runner";
  EXPECT_EQ(RunInFigure(check, &closed), kOk) << closed;
  EXPECT_EQ(closed, "") << "shown, but no help in an application";
}

// The commands the page shows, with what it says they write.
TEST(AuthoringClaims, CommandsWriteWhatThePageSays) {
  const std::string doc = Authoring();
  struct Claim {
    const char* command;
    const char* output;
  };
  const Claim claims[] = {
      {"fprintf('%s\\n', '')", ""},
      {"fprintf('[%s]\\n', '')", "["},
      {"fprintf('%s', s); fprintf('\\n');", "\n"},
  };
  ScratchFolder folder;
  for (const Claim& c : claims) {
    EXPECT_NE(doc.find(std::string("`") + c.command + "`"), std::string::npos) << c.command;
    std::string output;
    ASSERT_EQ(RunInRunner(std::string("s = '';\n") + c.command + ";\n", &output), kOk) << output;
    EXPECT_EQ(output, c.output) << c.command;
  }
  // lookfor loop lists the loops' statements.
  std::string links;
  ASSERT_EQ(RunInRunner("lookfor loop\n", &links), kOk);
  for (const char* topic : {"for", "while", "repeat"}) {
    EXPECT_NE(doc.find(std::string("`") + topic + "`"), std::string::npos) << topic;
    EXPECT_NE(links.find(std::string("##[[help:") + topic + "|" + topic + "]]## "),
              std::string::npos)
        << topic << " in\n"
        << links;
  }
}

// The example lines the page shows with their stated results hold.
TEST(AuthoringClaims, StatedResultsItShowsHold) {
  const std::string doc = Authoring();
  ScratchFolder folder;
  for (const char* line :
       {"abs([-2 0 3+4i])   % 2 0 5", "[1 2] === [1 2 3]    % false: where == would fail",
        "[m, k] = max([4 9 2])   % m = 9, k = 2"}) {
    EXPECT_NE(doc.find(std::string("`") + line + "`"), std::string::npos) << line;
    const std::vector<ExampleSegment> segments = SegmentExample(std::string(line) + "\n");
    ASSERT_EQ(segments.size(), 1u);
    std::string output, why;
    ASSERT_EQ(RunInRunner(line, &output), kOk) << output;
    EXPECT_TRUE(PrintedAsStated(output, segments[0].stated, &why)) << line << "\n" << why;
  }
}

// The applications the page shows are those the check scripts run, word
// for word.
TEST(AuthoringClaims, ShowsTheApplicationsItsChecksRun) {
  const std::string doc = Authoring();
  auto read = [](const std::string& path, bool dropComments) {
    std::ifstream in(std::string(VKE_SOURCE_DIR "/") + path);
    std::string text;
    for (std::string line; std::getline(in, line);)
      if (!dropComments || !line.starts_with("#")) text += line + "\n";
    return text;
  };
  for (const char* path : {"tests/kvpack/start_layout.kvd", "tests/kvpack/start_layout.vke"}) {
    const std::string text = read(path, true);
    ASSERT_GT(text.size(), 50u) << path;
    EXPECT_NE(doc.find("```\n" + text + "```\n"), std::string::npos) << path << ":\n" << text;
  }
  // The handler of examples/ode that refuses values, and its binding.
  const std::string ode = read("examples/ode/ode.vke", false);
  const size_t from = ode.find("function (len, damping, angle0, _msg)");
  const size_t to = ode.find("\n\n", from);
  ASSERT_NE(from, std::string::npos);
  EXPECT_NE(doc.find(ode.substr(from, to - from + 1)), std::string::npos);
  const std::string binding =
      "  mousedrag (len, damping, angle0, _msg) = setparameter(len, damping, angle0, _id, _x1)\n";
  EXPECT_NE(read("examples/ode/ode.kvd", false).find(binding), std::string::npos);
  EXPECT_NE(doc.find(binding), std::string::npos);
}

}  // namespace
}  // namespace vke::test
