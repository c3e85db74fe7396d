// Every "Example:" of the carried help files runs without error, each in a
// fresh temporary current folder: those of the application library inside
// the draw handler of a one-figure application, the others in the runner's
// engine. "Example (not run):" blocks are left out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/help/example_hosts.hpp"
#include "tests/help/help_catalog.hpp"

namespace vke::test {
namespace {

// The library whose examples draw.
constexpr char kFigureLibrary[] = "Corvanel";

TEST(HelpExamples, EveryExampleRunsWithoutError) {
  std::vector<std::string> failures;
  for (const HelpExample& example : CarriedExamples()) {
    ScratchFolder folder;
    std::string output;
    const ErrCode e = example.library == kFigureLibrary ? RunInFigure(example.code, &output)
                                                        : RunInRunner(example.code, &output);
    if (e != kOk)
      failures.push_back(example.place + ": code " + std::to_string(e) + "\n" + example.code +
                         "--- wrote:\n" + output);
  }
  std::string report;
  for (const std::string& f : failures) report += f + "\n";
  EXPECT_TRUE(failures.empty()) << failures.size() << " examples fail:\n" << report;
}

// The hosts themselves: an error is seen in each, and a figure's natives
// run in the application.
TEST(HelpExamples, TheHostsTellAFailureFromASuccess) {
  ScratchFolder folder;
  std::string output;
  EXPECT_EQ(RunInRunner("x = sum([1 2 3]);\n", &output), kOk) << output;
  EXPECT_NE(RunInRunner("x = nosuchfunction(1);\n", &output), kOk);
  EXPECT_NE(output.find("nosuchfunction"), std::string::npos) << output;
  EXPECT_EQ(RunInFigure("scale([0 1 0 1]);\nplot(0.5, 0.5, 'o');\n", &output), kOk) << output;
  EXPECT_NE(RunInFigure("error('drawn wrong');\n", &output), kOk);
  EXPECT_NE(output.find("drawn wrong"), std::string::npos) << output;
}

}  // namespace
}  // namespace vke::test
