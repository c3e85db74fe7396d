// What help entries say of behaviour their examples cannot show: a
// thread's smallest stack, and where lookfor's links go in an application.
#include <gtest/gtest.h>

#include <string>

#include "tests/help/example_hosts.hpp"

namespace vke::test {
namespace {

// A thread that sums 1:100 with the stack size given, run to its end; the
// thread's failure is the run's.
std::string SumInThread(int stackBytes, ErrCode expected) {
  const std::string text = "o = threadset('StackSize', " + std::to_string(stackBytes) +
                           ");\n"
                           "disp(o.StackSize);\n"
                           "id = threadnew(@(n) disp(sum(1:n)), o, 100);\n"
                           "tic; while toc < 0.3, end\n";
  std::string output;
  EXPECT_EQ(RunInRunner(text, &output), expected) << output;
  return output;
}

// The structure keeps what is given; the thread gets at least 1024 bytes,
// which do not hold 1:100, and a few thousand do.
TEST(EntryClaims, AThreadGetsAtLeastItsSmallestStack) {
  for (int bytes : {10, 1024}) {
    const std::string output = SumInThread(bytes, kErrDataOverflow);
    EXPECT_EQ(output.find(std::to_string(bytes) + "\n"), output.find_first_not_of(' ')) << output;
    EXPECT_NE(output.find("Data stack overflow"), std::string::npos) << output;
    EXPECT_EQ(output.find("5050"), std::string::npos) << output;
  }
  const std::string output = SumInThread(8192, kOk);
  EXPECT_NE(output.find("5050"), std::string::npos) << output;
  EXPECT_EQ(output.find("overflow"), std::string::npos) << output;
}

// A packed application has no reader of the links: lookfor shows nothing
// and the handler goes on.
TEST(EntryClaims, LookforInAnApplicationShowsNothing) {
  std::string output;
  ASSERT_EQ(RunInFigure("lookfor sort\ndisp('done')\n", &output), kOk) << output;
  EXPECT_EQ(output, "done\n");
}

}  // namespace
}  // namespace vke::test
