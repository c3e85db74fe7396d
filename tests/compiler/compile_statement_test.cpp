// Statements at the bytecode level: display and "ans", control structures
// with their jumps, try blocks and the handlers they restore, the function
// header, and the structure errors.
#include <gtest/gtest.h>

#include "engine/errors/errors.hpp"
#include "tests/host/code_text.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::CompileForTest;
using test::CompileOptions;
using test::TestHost;

std::string Code(TestHost& host, const std::string& text, int32_t level = 0, bool ans = true) {
  CompileOptions o;
  o.vars = {"ans", "x", "y"};
  if (!ans) o.vars = {"x", "y"};
  o.keepAns = ans;
  o.level = level;
  auto r = CompileForTest(host.ctx(), text, o);
  return r.error ? "error " + std::to_string(r.error) : r.code;
}

ErrCode ErrorOf(TestHost& host, const std::string& text, bool isText = true) {
  CompileOptions o;
  o.vars = {"x"};
  o.isText = isText;
  return CompileForTest(host.ctx(), text, o).error;
}

TEST(CompileStatements, DisplayAnsAndDroppedExpressions) {
  TestHost host;
  EXPECT_EQ(Code(host, "x"), "displayvar 1 halt");
  EXPECT_EQ(Code(host, "x = 3"), "pushsmallint 3 storevar 1 showvar 1 halt");
  EXPECT_EQ(Code(host, "x + 1"), "loadvar 1 pushone plus storeansshow 0 halt");
  EXPECT_EQ(Code(host, "x + 1;"), "loadvar 1 pushone plus storevar 0 halt");
  EXPECT_EQ(Code(host, "x + 1", 0, false), "loadvar 0 pushone plus disp halt");
  EXPECT_EQ(Code(host, "x(5);", 0, false),
            "loadindexed 0 pushsmallint 5 parenafterindex 1 0 0 halt");
  // Only what can neither act nor fail is dropped: an index may be out of
  // range, a name may be unset.
  EXPECT_EQ(Code(host, "x(5);", 4, false),
            "loadindexed 0 pushsmallint 5 parenafterindex 1 0 0 halt");
  EXPECT_EQ(Code(host, "x;", 0, false), "loadvar 0 pop halt");
  EXPECT_EQ(Code(host, "x;", 4, false), "loadvar 0 pop halt");
  EXPECT_EQ(Code(host, "pi; 'text';", 4, false), "halt");
  EXPECT_EQ(Code(host, "format long"), "pushstr8 'long' format 1 halt");
  EXPECT_EQ(Code(host, "disp hello"), "pushstr8 'hello' disp halt");
  EXPECT_EQ(Code(host, "x -1"), "loadvar 1 pushone minus storeansshow 0 halt");
  EXPECT_EQ(Code(host, "x=1, y=2; x"),
            "pushone storevar 1 showvar 1 pushsmallint 2 storevar 2 displayvar 1 halt");
}

TEST(CompileStatements, ConditionalsAndLoops) {
  TestHost host;
  EXPECT_EQ(Code(host, "if x, y = 1; elseif x > 2, y = 2; else, y = 3; end"),
            "loadvar 1 jumpfalse 5 pushone storevar 2 jump 17 loadvar 1 pushsmallint 2 gt "
            "jumpfalse 6 pushsmallint 2 storevar 2 jump 4 pushsmallint 3 storevar 2 halt");
  EXPECT_EQ(Code(host, "if 0, x = 1; end", 0), "pushzero jumpfalse 3 pushone storevar 1 halt");
  EXPECT_EQ(Code(host, "if 0, x = 1; end", 1), "jump 3 pushone storevar 1 halt");
  EXPECT_EQ(
      Code(host, "while x < 3, x = x + 1; end"),
      "loadvar 1 pushsmallint 3 lt jumpfalse 8 loadvar 1 pushone plus storevar 1 jump -15 halt");
  EXPECT_EQ(Code(host, "repeat x = x + 1; until x > 3"),
            "loadvar 1 pushone plus storevar 1 loadvar 1 pushsmallint 3 gt jumpfalse -13 halt");
  EXPECT_EQ(Code(host, "for k = 1:3, x = x + k; end"),
            "pushone pushsmallint 3 forrangeinit 2 forrangenext 11 storevar 3 loadvar 1 loadvar 3 "
            "plus storevar 1 jump -13 pop halt");
  EXPECT_EQ(Code(host, "for k = x, end"), "loadvar 1 fornext 4 storevar 3 jump -6 pop halt");
  EXPECT_EQ(Code(host, "switch x, case 1, y = 1; case {2, 3}, y = 2; otherwise, y = 0; end"),
            "loadvar 1 pushone casejump 5 pushone storevar 2 jump 17 pushsmallint 2 "
            "pushsmallint 3 bracelist 2 casejump 6 pushsmallint 2 storevar 2 jump 3 pushzero "
            "storevar 2 pop halt");
}

TEST(CompileStatements, BreakAndContinueLeaveSwitchesAndTries) {
  TestHost host;
  // break jumps to the pop of the iterator; a switch value is dropped first.
  EXPECT_EQ(Code(host, "for k = 1:3, if k == 2, break; end, end"),
            "pushone pushsmallint 3 forrangeinit 2 forrangenext 13 storevar 3 loadvar 3 "
            "pushsmallint 2 eq jumpfalse 2 jump 2 jump -15 pop halt");
  EXPECT_EQ(Code(host, "for k = 1:3, switch k, case 1, continue; end, end"),
            "pushone pushsmallint 3 forrangeinit 2 forrangenext 13 storevar 3 loadvar 3 pushone "
            "casejump 3 pop jump -12 pop jump -15 pop halt");
  // Leaving a try part restores the handler in force at the loop.
  EXPECT_EQ(Code(host, "for k = 1:3, try, break; catch, end, end"),
            "pushone pushsmallint 3 forrangeinit 2 forrangenext 20 storevar 3 settry 10 2 "
            "settry 0 0 jump 10 settry 0 0 jump 3 settry 0 0 jump -22 pop halt");
  EXPECT_EQ(ErrorOf(host, "break"), kErrUnexpectedBreak);
  EXPECT_EQ(ErrorOf(host, "if x, continue, end"), kErrUnexpectedBreak);
}

TEST(CompileStatements, TryKeepsLoopValuesAndRestoresTheEnclosingHandler) {
  TestHost host;
  // The entering settry keeps the text's code entry; the catch part starts
  // by restoring the enclosing handler (none here).
  EXPECT_EQ(
      Code(host, "try, error('a'); catch, y = 1; end"),
      "settry 10 1 pushstr8 'a' error 1 settry 0 0 jump 6 settry 0 0 pushone storevar 2 halt");
  EXPECT_EQ(Code(host, "try x = 1; end"),
            "settry 8 1 pushone storevar 1 settry 0 0 jump 3 settry 0 0 halt");
  // Inside a loop inside a try: the inner try keeps the iterator, and both
  // of its restoring settry instructions point at the outer catch part.
  EXPECT_EQ(Code(host, "try, for k = 1:3, try, x = 1; catch, x = 2; end, end, catch, end"),
            "settry 35 1 pushone pushsmallint 3 forrangeinit 2 forrangenext 22 storevar 3 "
            "settry 8 2 pushone storevar 1 settry 17 1 jump 7 settry 12 1 pushsmallint 2 "
            "storevar 1 jump -24 pop settry 0 0 jump 3 settry 0 0 halt");
  EXPECT_EQ(ErrorOf(host, "catch"), kErrUnexpectedCatch);
  EXPECT_EQ(ErrorOf(host, "try, catch, catch, end"), kErrUnexpectedCatch);
}

// Keywords without an expression refuse one on their line; a statement
// there (an assignment, or one led by a keyword) begins their body, and
// anything behind a comma or semicolon is a statement of its own.
TEST(CompileStatements, KeywordsWithoutAnExpressionRefuseOne) {
  TestHost host;
  for (const char* text :
       {"try\n x = 1;\ncatch err\nend", "try\ncatch 3\nend", "try 3\nend", "if x\nelse 3\nend",
        "switch x\notherwise 3\nend", "repeat x\nuntil x > 3", "try f(x); catch, end"})
    EXPECT_EQ(ErrorOf(host, text), kErrUnexpectedExpr) << text;
  EXPECT_EQ(Code(host, "try, 3, end"), Code(host, "try\n 3\nend"));
  EXPECT_EQ(Code(host, "if x, y = 1; else if x > 1, y = 2; end, end"),
            Code(host, "if x, y = 1; else, if x > 1, y = 2; end, end"));
  EXPECT_EQ(Code(host, "try [y, x(2)] = deal(1, 2); catch % none\nend"),
            Code(host, "try, [y, x(2)] = deal(1, 2); catch, end"));
}

TEST(CompileStatements, EvalWithACatchTextRunsItWhenTheFirstFails) {
  TestHost host;
  EXPECT_EQ(Code(host, "x = eval('1 +', '2');"),
            "settry 13 1 pushstr8 '1 +' eval 1 storevar 1 settry 0 0 jump 10 settry 0 0 "
            "pushstr8 '2' eval 1 storevar 1 halt");
  EXPECT_EQ(Code(host, "eval('a, b', 'c')"),
            "settry 13 1 pushstr8 'a, b' eval -1 storeansshow 0 settry 0 0 jump 10 settry 0 0 "
            "pushstr8 'c' eval -1 storeansshow 0 halt");
}

TEST(CompileStatements, EmptyRangeLoopAtTheAggressiveLevels) {
  TestHost host;
  EXPECT_EQ(Code(host, "for k = 1:10, end", 2),
            "pushone pushsmallint 10 forrangeinit 2 forrangenext 4 storevar 3 jump -6 pop halt");
  EXPECT_EQ(Code(host, "for k = 1:10, end", 3),
            "pushone pushsmallint 10 forrangeinit 2 forrangelast storevar 3 jump 2 halt");
}

TEST(CompileStatements, StructureErrors) {
  TestHost host;
  CompileOptions o;
  auto message = [&](const std::string& text) {
    return CompileForTest(host.ctx(), text, o).message;
  };
  EXPECT_EQ(message("x = 1;\nif x\n  x = 2;\n"), "Unbounded language construct 'if' (2)");
  EXPECT_EQ(message("x = 1;\n\nend"), "Unexpected end (3)");
  EXPECT_EQ(ErrorOf(host, "else"), kErrUnexpectedElse);
  EXPECT_EQ(ErrorOf(host, "if x, else, elseif x, end"), kErrUnexpectedElse);
  EXPECT_EQ(ErrorOf(host, "case 1"), kErrUnexpectedCase);
  EXPECT_EQ(ErrorOf(host, "until x"), kErrUnexpectedUntil);
  EXPECT_EQ(ErrorOf(host, "repeat, until"), kErrMissingExpr);
  EXPECT_EQ(ErrorOf(host, "while"), kErrMissingExpr);
  EXPECT_EQ(ErrorOf(host, "x ="), kErrMissingExpr);
  EXPECT_EQ(ErrorOf(host, "break 3"), kErrUnexpectedExpr);
  EXPECT_EQ(ErrorOf(host, "for 3"), kErrBadForAssignment);
  EXPECT_EQ(ErrorOf(host, "for x(1) = 1:2, end"), kErrBadForVar);
  EXPECT_EQ(ErrorOf(host, "3 = x"), kErrBadAsgnVar);
  EXPECT_EQ(ErrorOf(host, "persistent p"), kErrUnexpectedPersistent);
  EXPECT_EQ(ErrorOf(host, "include lib"), kErrIncludeNotPermitted);
  EXPECT_EQ(ErrorOf(host, "goto x"), kErrUnexpectedStatement);
  EXPECT_EQ(ErrorOf(host, "y = q + 1"), kErrUnknownFun);
  EXPECT_EQ(ErrorOf(host, "endfunction"), kErrUnexpectedEndFunction);
}

TEST(CompileStatements, FunctionHeaders) {
  TestHost host;
  CompileOptions o;
  o.isText = false;
  auto r = CompileForTest(host.ctx(),
                          "function [s, p] = lib::f(x, y = 2, varargin)\n"
                          "s = x + y;\np = numel(varargin);\nendfunction\n"
                          "function g\n",
                          o);
  ASSERT_EQ(r.error, 0) << r.message;
  EXPECT_EQ(r.varNames, (std::vector<std::string>{"s", "p", "x", "y", "varargin"}));
  EXPECT_EQ(r.words[0], 1);  // varargin
  EXPECT_EQ(r.words[2], 3);  // inputs
  EXPECT_EQ(r.words[3], 2);  // outputs
  EXPECT_EQ(r.code,
            "nargin 0 pushsmallint 2 lt jumpfalse 4 pushsmallint 2 storevar 3 loadvar 2 "
            "loadvar 3 plus storevar 0 loadvar 4 numel storevar 1 return");
  // A name in both lists: the output starts as the input's value.
  EXPECT_EQ(CompileForTest(host.ctx(), "function x = f(x)\nx = x + 1;", o).code,
            "nargin 0 pushsmallint 1 ge jumpfalse 4 loadvar 1 storevar 0 loadvar 0 pushone plus "
            "storevar 0 return");
  // Unknown names inside a function are functions found later.
  EXPECT_EQ(CompileForTest(host.ctx(), "function f\nlater(1);", o).error, 0);
  // A constant returns its value as its one output.
  auto d = CompileForTest(host.ctx(), "define limit = 10", o);
  EXPECT_EQ(d.code, "pushsmallint 10 storevar 0 return");
  EXPECT_EQ(d.words[0], 4);
  EXPECT_EQ(d.words[3], 1);
  EXPECT_EQ(ErrorOf(host, "function f(a, a)", false), kErrReusedVarName);
  EXPECT_EQ(ErrorOf(host, "function f(varargin, b)", false), kErrMisplacedVarargin);
  EXPECT_EQ(ErrorOf(host, "function [varargout, b] = f()", false), kErrMisplacedVarargout);
  EXPECT_EQ(ErrorOf(host, "function f(1)", false), kErrBadVarName);
  EXPECT_EQ(ErrorOf(host, "x = 1", false), kErrExpectedFunHeader);
  EXPECT_EQ(ErrorOf(host, "function f\ndefine c = 1", false), kErrUnexpectedConstDef);
}

TEST(CompileStatements, LineMarkersWithTheFeatureByte) {
  TestHost host;
  CompileOptions o;
  o.vars = {"x"};
  o.feature = 1;
  EXPECT_EQ(CompileForTest(host.ctx(), "x = 1;\nwhile x\n  x = 0;\nend", o).code,
            "line -1 0 line -1 1 pushone storevar 0 line -1 2 loadvar 0 jumpfalse 11 line -1 3 "
            "pushzero storevar 0 line -1 4 jump -18 halt");
  EXPECT_EQ(CompileForTest(host.ctx(), "_pragma line 40\nx = 1;", o).code,
            "line -1 0 line -1 40 pushone storevar 0 halt");
}

}  // namespace
}  // namespace vke
