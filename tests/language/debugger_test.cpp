// The debugger as a console uses it: the call stack, breakpoints set by
// name, stops, commands typed at a stop, stepping over, into and out of
// calls, continuing, quitting and halting, statement echo and listings.
#include <string>

#include "engine/engine.hpp"
#include "tests/language/tools_fixture.hpp"

namespace vke {
namespace {

constexpr char kSteps[] =
    "function y = inner(x)\n"  // 1
    "% y = inner(x)\n"         // 2
    "  y = x + 1;\n"           // 3
    "  y = y * 2;\n"           // 4
    "endfunction\n"            // 5
    "\n"                       // 6
    "function r = outer(x)\n"  // 7
    "  a = inner(x);\n"        // 8
    "  r = a + 100;\n"         // 9
    "endfunction\n"            // 10
    "function s = probe()\n"   // 11
    "  dbstack\n"              // 12
    "  s = dbstack;\n"         // 13
    "endfunction\n"            // 14
    "function s = caller()\n"  // 15
    "  s = probe();\n"         // 16
    "endfunction\n";           // 17

class Debugger : public test::ToolsFixture {
 protected:
  Debugger() {
    files.WriteFile("steps.vkl", kSteps);
    EXPECT_EQ(Run("use steps"), kOk);
  }
};

TEST_F(Debugger, TheCallStackInnermostFirst) {
  ASSERT_EQ(Run("s = caller();"), kOk);
  EXPECT_EQ(Out(), "steps/probe;12\nsteps/caller;16\n");
  ASSERT_EQ(Run("disp([numel(s), s(1).line, s(2).line]), disp(s(2).name)"), kOk);
  EXPECT_EQ(Out(), "         2        13        16\nsteps/caller\n");
  // At the command line there is no function to list.
  ASSERT_EQ(Run("dbstack('all')"), kOk);
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(Run("dbstack('none')"), kErrUnknownOpt);
}

TEST_F(Debugger, BreakpointsByNameAndTheirStatus) {
  ASSERT_EQ(Run("dbstop inner\ndbstop steps::outer 9\ndbstop('outer', 8)"), kOk);
  // Refused: a line that is no number, a line with -interrupt, a name
  // that names nothing; none of them adds a breakpoint.
  EXPECT_EQ(Run("dbstop('outer', '12a')"), kErrBadArg);
  EXPECT_EQ(Run("dbstop('outer', -5)"), kErrBadArg);
  EXPECT_EQ(Run("dbstop('-interrupt', 3)"), kErrTooManyArgin);
  EXPECT_EQ(Run("dbstop nothere"), kErrUndefFun);
  EXPECT_EQ(Run("dbstatus nothere"), kErrUndefFun);
  Err();
  // A name longer than any is reported as the text it was: its start.
  const std::string start(32, 'a');  // as much as an error names
  for (const char* tool : {"dbstop", "dbtype", "dbstatus"}) {
    ASSERT_EQ(Run(std::string("try, ") + tool + "(repmat('a', 1, 300)); catch, disp(lasterr); end"),
              kOk);
    EXPECT_EQ(Out(), "Undefined function '" + start + "'\n") << tool;
  }
  ASSERT_EQ(Run("dbstatus"), kOk);
  EXPECT_EQ(Out(), "steps/inner;0\nsteps/outer;9\nsteps/outer;8\n");
  ASSERT_EQ(Run("dbstop -interrupt\ndbstatus\ndbstatus outer"), kOk);
  EXPECT_EQ(Out(),
            "Interrupt key enters debugging mode\nsteps/inner;0\nsteps/outer;9\nsteps/outer;8\n"
            "steps/outer;9\nsteps/outer;8\n");
  EXPECT_EQ(GetInterruptDebug(ctx), 1);
  // Clearing: one line, every line of a function, the interrupt, all.
  ASSERT_EQ(Run("dbclear('outer', '9')\ndbclear -interrupt\ndbstatus"), kOk);
  EXPECT_EQ(Out(), "steps/inner;0\nsteps/outer;8\n");
  ASSERT_EQ(Run("dbclear outer\ndbstatus"), kOk);
  EXPECT_EQ(Out(), "steps/inner;0\n");
  ASSERT_EQ(Run("dbclear\ndbstatus"), kOk);
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(GetInterruptDebug(ctx), 0);
}

TEST_F(Debugger, SteppingIntoAndOutOfACall) {
  ASSERT_EQ(Run("dbstop steps::outer 8"), kOk);
  EXPECT_EQ(Run("r = outer(1); disp(r)"), kStatusDebug);
  EXPECT_EQ(Err(), "<outer:8>   a = inner(x);\n");
  EXPECT_TRUE(IsDebugging(ctx));
  // A command at the stop sees the stopped function's variables.
  ASSERT_EQ(Run("x"), kOk);
  EXPECT_EQ(Out(), "x =\n         1\n");
  EXPECT_EQ(Run("dbstep in"), kStatusDebug);
  EXPECT_EQ(Err(), "<inner:0> \n");
  ASSERT_EQ(Run("dbstack"), kOk);
  EXPECT_EQ(Out(), "steps/inner;0\nsteps/outer;8\n");
  // An empty line steps over one statement.
  EXPECT_EQ(Run(""), kStatusDebug);
  EXPECT_EQ(Run("dbstep"), kStatusDebug);
  EXPECT_EQ(Err(), "<inner:3>   y = x + 1;\n<inner:4>   y = y * 2;\n");
  EXPECT_EQ(Run("dbstep out"), kStatusDebug);
  EXPECT_EQ(Err(), "<outer:9>   r = a + 100;\n");
  ASSERT_EQ(Run("a"), kOk);
  EXPECT_EQ(Out(), "a =\n         4\n");
  // Going on runs the rest of the command line that stopped.
  ASSERT_EQ(Run("dbcont"), kOk);
  EXPECT_EQ(Out(), "       104\n");
  EXPECT_FALSE(IsDebugging(ctx));
  EXPECT_EQ(Run("dbstep('sideways')"), kErrUnknownOpt);
}

// Continuing after a step into a call runs to the end: the caller that
// stepped in does not stop again at its next line.
TEST_F(Debugger, ContinuingAfterASteppedIntoCallRunsOn) {
  ASSERT_EQ(Run("dbstop steps::outer 8"), kOk);
  EXPECT_EQ(Run("r = outer(1); disp(r)"), kStatusDebug);
  EXPECT_EQ(Run("dbstep in"), kStatusDebug);
  EXPECT_EQ(Err(), "<outer:8>   a = inner(x);\n<inner:0> \n");
  ASSERT_EQ(Run("dbcont"), kOk);
  EXPECT_EQ(Out(), "       104\n");
  EXPECT_EQ(Err(), "");
  EXPECT_FALSE(IsDebugging(ctx));
}

TEST_F(Debugger, QuittingHaltingAndNothingToContinue) {
  ASSERT_EQ(Run("dbstop inner"), kOk);
  EXPECT_EQ(Run("outer(1); disp('never')"), kStatusDebug);
  ASSERT_EQ(Run("dbquit"), kOk);
  EXPECT_FALSE(IsDebugging(ctx));
  ASSERT_EQ(Run("dbclear\ny = outer(1)"), kOk);
  EXPECT_EQ(Out(), "y =\n       104\n");
  // Without a stop, continuing fails and abandons nothing.
  ASSERT_EQ(Run("try, dbcont; catch, disp(lasterr); end; disp('after')"), kOk);
  EXPECT_EQ(Out(), "Bad context 'dbcont'\nafter\n");
  EXPECT_EQ(Run("dbstep"), kErrBadContext);
  // dbhalt stops where it is called.
  EXPECT_EQ(Run("dbhalt; disp('resumed')"), kStatusDebug);
  EXPECT_EQ(Out(), "");
  ASSERT_EQ(Run("dbcont"), kOk);
  EXPECT_EQ(Out(), "resumed\n");
}

TEST_F(Debugger, EchoForAllCodeOrOneFunction) {
  ASSERT_EQ(Run("echo on"), kOk);
  ASSERT_EQ(Run("outer(1);"), kOk);
  EXPECT_EQ(Out(),
            "outer               8   a = inner(x);\n"
            "inner               3   y = x + 1;\n"
            "inner               4   y = y * 2;\n"
            "outer               9   r = a + 100;\n");
  ASSERT_EQ(Run("echo('off')\nouter(1);"), kOk);
  EXPECT_EQ(Out(), "");
  ASSERT_EQ(Run("echo('inner', 'on', 1)\nouter(1);"), kOk);
  EXPECT_EQ(Out(), "inner               3   y = x + 1;\ninner               4   y = y * 2;\n");
  EXPECT_EQ(ctx->echoLevel, 1);
  // Refused settings leave the echo as it is.
  EXPECT_EQ(Run("echo('zz', 'on')"), kErrUndefFun);
  EXPECT_EQ(Run("echo maybe"), kErrUnknownOpt);
  EXPECT_EQ(Run("echo('inner', 'on', 'x')"), kErrWrongType);
  ASSERT_EQ(Run("outer(1);"), kOk);
  EXPECT_EQ(Out(), "inner               3   y = x + 1;\ninner               4   y = y * 2;\n");
  ASSERT_EQ(Run("echo(false)\nouter(1);"), kOk);
  EXPECT_EQ(Out(), "");
}

TEST_F(Debugger, ListingsMarkTheCurrentLineAndBreakpoints) {
  ASSERT_EQ(Run("dbstop inner\ndbtype inner"), kOk);
  EXPECT_EQ(Out(),
            " #   1 function y = inner(x)\n"
            "     2 % y = inner(x)\n"
            "     3   y = x + 1;\n"
            "     4   y = y * 2;\n"
            "     5 endfunction\n");
  ASSERT_EQ(Run("dbclear\ndbstop steps::inner 4"), kOk);
  EXPECT_EQ(Run("outer(1);"), kStatusDebug);
  ASSERT_EQ(Run("dbtype"), kOk);
  EXPECT_EQ(Out(),
            "     1 function y = inner(x)\n"
            "     2 % y = inner(x)\n"
            "     3   y = x + 1;\n"
            ">#   4   y = y * 2;\n"
            "     5 endfunction\n");
  ASSERT_EQ(Run("dbquit"), kOk);
  EXPECT_EQ(Run("dbtype nothere"), kErrUndefFun);
  // Line numbers beyond four places widen the field.
  files.WriteFile("far.vkl", std::string(10000, '\n') + "function far\n  x = 1;\n");
  ASSERT_EQ(Run("use far\ndbtype far"), kOk);
  EXPECT_EQ(Out(), "  10001 function far\n  10002   x = 1;\n");
}

}  // namespace
}  // namespace vke
