// Statements the growth injection found giving another result once a
// request for room on their way was refused, each run with every request
// refused in turn: the run must give what the run without refusals gives,
// and none may fail for lack of room where the runner grows.
#include <gtest/gtest.h>

#include "tests/host/tool_commands.hpp"
#include "tests/injection/injection_driver.hpp"

namespace vke::test {
namespace {

// Runs the text with every request refused in turn: no run may differ but
// for a shortage reported, and none of a request of the kind given.
void ExpectGrown(const std::string& text, RoomKind kind) {
  TempFolder scratch;
  ASSERT_FALSE(scratch.Path().empty());
  DriverSettings whole;
  whole.whole = true;
  const ProgramReport r =
      InjectIntoProgram(TextProgram(text, text), whole, scratch.Path() + "/run");
  EXPECT_GT(r.runs, 0u) << DescribeReport(r);
  EXPECT_TRUE(r.faults.empty() && r.firstFailure.empty()) << DescribeReport(r);
  for (const Finding& f : r.notGrown) EXPECT_NE(f.kind, kind) << DescribeReport(r);
}

// The name of a variable shown is entered in the name table first: without
// room there it was shown as "???".
TEST(Retries, AVariableIsShownUnderItsNameWhenTheNameTableHadNoRoom) {
  ExpectGrown("M = [1 2]\nlongername = 7\n3 + 4\n", RoomKind::kCode);
}

// A literal pushed without room runs again once the area has grown.
TEST(Retries, ALiteralPushedWithoutRoomIsPushedAgain) {
  ExpectGrown("a = 2.5; b = []; c = 7; d = 'text'; e = 1:3;\n", RoomKind::kStacks);
}

}  // namespace
}  // namespace vke::test
