// Every "Example:" of the carried help files runs without error, each in a
// fresh temporary current folder: those of the application library inside
// the draw handler of a one-figure application, the others in the runner's
// engine. "Example (not run):" blocks are left out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/help/example_hosts.hpp"
#include "tests/help/example_results.hpp"
#include "tests/help/help_catalog.hpp"

namespace vke::test {
namespace {

// The library whose examples draw.
constexpr char kFigureLibrary[] = "Corvanel";

ErrCode RunExample(const HelpExample& example, const std::string& code, std::string* output) {
  return example.library == kFigureLibrary ? RunInFigure(code, output) : RunInRunner(code, output);
}

TEST(HelpExamples, EveryExampleRunsWithoutError) {
  std::vector<std::string> failures;
  for (const HelpExample& example : CarriedExamples()) {
    ScratchFolder folder;
    std::string output;
    const ErrCode e = RunExample(example, example.code, &output);
    if (e != kOk)
      failures.push_back(example.place + ": code " + std::to_string(e) + "\n" + example.code +
                         "--- wrote:\n" + output);
  }
  std::string report;
  for (const std::string& f : failures) report += f + "\n";
  EXPECT_TRUE(failures.empty()) << failures.size() << " examples fail:\n" << report;
}

// What each example prints is what its comments state, statement by
// statement (docs/authoring.md, "Help files and the results of their
// examples").
TEST(HelpExamples, EveryStatedResultIsWhatTheExamplePrints) {
  std::vector<std::string> failures;
  int examples = 0, checked = 0;
  for (const HelpExample& example : CarriedExamples()) {
    const std::vector<ExampleSegment> segments = SegmentExample(example.code);
    ScratchFolder folder;
    std::string output;
    const ErrCode e = RunExample(example, MarkedExample(segments), &output);
    examples++;
    const std::vector<std::string> printed = PrintedBySegment(output, segments.size());
    if (e != kOk || printed.size() != segments.size()) {
      failures.push_back(example.place + ": does not run to its end\n" + output);
      continue;
    }
    for (size_t k = 0; k < segments.size(); k++) {
      const std::string& p = printed[k];
      // A comment on statements that print nothing is a remark.
      if (!segments[k].states || p.find_first_not_of(" \n") == std::string::npos) continue;
      checked++;
      std::string why;
      if (!PrintedAsStated(p, segments[k].stated, &why))
        failures.push_back(example.place + ", at \"" + segments[k].lines[0] + "\"\n" + why);
    }
  }
  std::string report;
  for (const std::string& f : failures) report += f + "\n";
  EXPECT_TRUE(failures.empty()) << failures.size() << " of " << checked
                                << " stated results differ:\n"
                                << report;
  std::printf("%d examples, %d stated results checked\n", examples, checked);
}

// The comparison: numbers at the decimals written, words as they are,
// names and array classes left out, a remark after ": ".
TEST(HelpExamples, StatedResultsAreComparedWordByWord) {
  struct Case {
    const char* printed;
    const char* stated;
    bool same;
  };
  const Case cases[] = {
      {"ans =\n         2         0         5\n", "2 0 5", true},
      {"ans =\n         2         0         5\n", "2 0 5 7", false},
      {"ans =\n         2         0         5\n", "2 5 0", false},
      {"ans =\n    1.5708    3.1416\n", "1.5708 3.1416", true},
      {"ans =\n    1.5708    3.1416\n", "1.57 3.14", true},
      {"ans =\n    1.5708    3.1416\n", "1.58 3.14", false},
      {"ans =\n    21.3865\n", "21.4", true},
      {"X =\n      4e-2\n", "0.04", true},
      {"ans =\n   0 + 1.3170i\n", "0 + 1.317i", true},
      {"ans =\n    21.3965\n", "21", true},
      {"ans =\n    21.3965\n", "22", false},
      {"m =\n         9\nk =\n         2\n", "m = 9, k = 2", true},
      {"m =\n         9\nk =\n         2\n", "m = 2, k = 9", false},
      {"x =\n1x2 int8 array\n  -56    0\n", "-56 0", true},
      {"x =\n  -56int8\n", "-56", true},
      {"x =\n  -56int8\n", "56", false},
      {"t =\na: 1\nspeed: 12\n", "a = 1, speed = 12", true},
      {"t =\na: 1\nspeed: 12\n", "a = 12, speed = 1", false},
      {"ans =\n   0 + 1.3170i\n", "0 + 1.317i", true},
      {"ans =\n   0 + 1.3170i\n", "0 - 1.317i", false},
      {"ans =\n   0 + 1.3170i\n", "0 + 1.317", false},
      {"ans =\n F T F\n", "F T F", true},
      {"ans =\n F T F\n", "F T T", false},
      {"ans =\ntrue\n", "true", true},
      {"ans =\ntrue\n", "T", false},
      {"ans =\n         4         7\n         7        13\n", "[4 7; 7 13]", true},
      {"names =\n {'b','a'}\n", "{'b', 'a'}", true},
      {"ans =\nhello world 2\n", "hello world", false},
      {"ans =\n       NaN    Inf\n", "NaN Inf", true},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(PrintedAsStated(c.printed, c.stated, &why), c.same) << c.printed << c.stated;
  }
  // What a comment states, and which statements it is stated for.
  const std::vector<ExampleSegment> segments = SegmentExample(
      "x = 3;   % a remark on nothing printed\n"
      "y = x'   % 3: a remark after the result\n"
      "s = 'a % b'   % a % b\n"
      "w = 'a // b'   // a // b\n"
      "for k = 1:2   % a remark on a block\n"
      "  fprintf('%d ', k);   % 1\n"
      "end   % 2\n"
      "z = [1, ...\n"
      "     2]   % 1 2\n"
      "/* a comment over\n"
      "   two lines */\n");
  ASSERT_EQ(segments.size(), 7u);
  EXPECT_EQ(segments[0].stated, "a remark on nothing printed");
  EXPECT_EQ(segments[1].stated, "3");
  EXPECT_EQ(segments[2].stated, "a % b");
  EXPECT_EQ(segments[3].stated, "a // b");
  EXPECT_EQ(segments[4].lines.size(), 3u);
  EXPECT_EQ(segments[4].stated, "1 2");
  EXPECT_EQ(segments[5].lines.size(), 2u);
  EXPECT_EQ(segments[5].stated, "1 2");
  EXPECT_EQ(segments[6].lines.size(), 2u);
  // The markers keep the lines' numbers, which errors name, but after a
  // function's end.
  const std::string marked = MarkedExample(segments);
  EXPECT_EQ(std::count(marked.begin(), marked.end(), '\n'), 11);
  const std::string withFunction =
      MarkedExample(SegmentExample("function f\n  x = 1;\nendfunction\nf\n"));
  EXPECT_EQ(std::count(withFunction.begin(), withFunction.end(), '\n'), 5);
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
