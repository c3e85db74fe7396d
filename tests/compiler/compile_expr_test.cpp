// The expression compiler at the bytecode level: literals, precedence,
// names and calls with their count checks, index chains and targets.
#include <gtest/gtest.h>

#include "engine/errors/errors.hpp"
#include "engine/registry/registry.hpp"
#include "tests/host/code_text.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::CompileForTest;
using test::CompileOptions;
using test::TestHost;

// The code of "y = <expr>" in a text that knows x, c and s.
std::string Rhs(TestHost& host, const std::string& expr, int32_t level = 0) {
  CompileOptions o;
  o.vars = {"ans", "x", "c", "s", "y"};
  o.level = level;
  auto r = CompileForTest(host.ctx(), "y = " + expr + ";", o);
  if (r.error) return "error " + std::to_string(r.error) + ": " + r.message;
  const std::string tail = " storevar 4 halt";
  EXPECT_TRUE(r.code.size() >= tail.size() && r.code.ends_with(tail)) << r.code;
  return r.code.substr(0, r.code.size() - tail.size());
}

ErrCode ErrorOf(TestHost& host, const std::string& text) {
  CompileOptions o;
  o.vars = {"ans", "x", "c"};
  return CompileForTest(host.ctx(), text, o).error;
}

TEST(CompileExpression, NumberAndStringLiterals) {
  TestHost host;
  EXPECT_EQ(Rhs(host, "010"), "pushsmallint 8");
  EXPECT_EQ(Rhs(host, "0x1Fint8"), "pushint8 31");
  EXPECT_EQ(Rhs(host, "0b101"), "pushsmallint 5");
  EXPECT_EQ(Rhs(host, "300uint16"), "pushuint16 300");
  EXPECT_EQ(Rhs(host, "70000int32"), "pushint32 70000");
  EXPECT_EQ(Rhs(host, "5uint64"), "pushuint64short 5");
  EXPECT_EQ(Rhs(host, "2.5single"), "pushsingle 2.5");
  EXPECT_EQ(Rhs(host, "0 + 1 + 2.5 + 1e3"),
            "pushzero pushone plus pushdouble 2.5 plus pushsmallint 1000 plus");
  EXPECT_EQ(Rhs(host, "2i + 1j + 3.5j"), "pushsmallimag 2 imagunit plus pushimag 3.5 plus");
  EXPECT_EQ(Rhs(host, "2.*x"), "pushsmallint 2 loadvar 1 times");
  EXPECT_EQ(Rhs(host, "'a\\tb'"), "pushstr8 'a\tb'");
  EXPECT_EQ(Rhs(host, "'it''s'"), "pushstr8 'it's'");
  EXPECT_EQ(Rhs(host, "'\\x41\\101\\u0042'"), "pushstr8 'AAB'");
  EXPECT_EQ(Rhs(host, "'\\u263a'"), "pushstr '\\u9786'");
  EXPECT_EQ(Rhs(host, "5int12"), "error 173: Unsupported integer size");
  EXPECT_EQ(ErrorOf(host, "y = 'C:\\dir'"), kErrUnknownEscape);
  EXPECT_EQ(ErrorOf(host, "y = 'abc"), kErrUnterminatedString);
  EXPECT_EQ(ErrorOf(host, "y = 12intx"), kErrUnrecognizedToken);
  // Digits end where their base ends: a binary 2 and an octal 8 or 9 are no
  // part of the number or the escape.
  EXPECT_EQ(ErrorOf(host, "y = 0b12"), kErrUnrecognizedToken);
  EXPECT_EQ(ErrorOf(host, "y = 0b"), kErrUnrecognizedToken);
  EXPECT_EQ(Rhs(host, "'\\18'"),
            "pushstr8 '\x01"
            "8'");
  EXPECT_EQ(Rhs(host, "'\\101\\1018'"), "pushstr8 'AA8'");
  EXPECT_EQ(ErrorOf(host, "y = '\\9'"), kErrUnknownEscape);
}

TEST(CompileExpression, PrecedenceAndAssociativity) {
  TestHost host;
  EXPECT_EQ(Rhs(host, "-2^2"), "pushsmallint 2 pushsmallint 2 mpower uminus");
  EXPECT_EQ(Rhs(host, "~1 == 2"), "pushone pushsmallint 2 eq not");
  EXPECT_EQ(Rhs(host, "2^3^2"), "pushsmallint 2 pushsmallint 3 mpower pushsmallint 2 mpower");
  EXPECT_EQ(Rhs(host, "1:2+1"), "pushone pushsmallint 2 pushone plus colon 2");
  EXPECT_EQ(Rhs(host, "1:2:x"), "pushone pushsmallint 2 loadvar 1 colon 3");
  EXPECT_EQ(Rhs(host, "2^-1"), "pushsmallint 2 pushone uminus mpower");
  EXPECT_EQ(Rhs(host, "x & x | x"), "loadvar 1 loadvar 1 and loadvar 1 or");
  EXPECT_EQ(Rhs(host, "x' * x.'"), "loadvar 1 ctranspose loadvar 1 transpose mtimes");
  EXPECT_EQ(Rhs(host, "x ~== x === x"), "loadvar 1 loadvar 1 unsame loadvar 1 same");
  // The deciding operand is the value: jumps over the right operand.
  EXPECT_EQ(Rhs(host, "x && 2 || 3"), "loadvar 1 andjump 2 pushsmallint 2 orjump 2 pushsmallint 3");
  EXPECT_EQ(Rhs(host, "x ? 1 : 2"), "loadvar 1 jumpfalse 3 pushone jump 2 pushsmallint 2");
  EXPECT_EQ(Rhs(host, "-1 + sqrt(-1)", 4), "pushsmallint -1 imagunit plus");
  EXPECT_EQ(ErrorOf(host, "y = 1:2:3:4"), kErrIncorrectNargin);
  EXPECT_EQ(ErrorOf(host, "y = x ? 1"), kErrIncorrectNargin);
  EXPECT_EQ(ErrorOf(host, "y = x !"), kErrUnrecognizedToken);
  EXPECT_EQ(ErrorOf(host, "y = x +"), kErrIncompleteExpr);
  EXPECT_EQ(ErrorOf(host, "y = (1 + 2]"), kErrUnexpectedRightBracket);
  EXPECT_EQ(ErrorOf(host, "y = 1 + 2)"), kErrUnexpectedRightPar);
  EXPECT_EQ(ErrorOf(host, "y = [1, 2"), kErrIncompleteExpr);
}

TEST(CompileExpression, BracketRowsSeparateElementsByBlanks) {
  TestHost host;
  EXPECT_EQ(Rhs(host, "[1 2 3]"), "pushone pushsmallint 2 pushsmallint 3 horzcat 3");
  EXPECT_EQ(Rhs(host, "[1 -2]"), "pushone pushsmallint 2 uminus horzcat 2");
  EXPECT_EQ(Rhs(host, "[1 - 2]"), "pushone pushsmallint 2 minus");
  EXPECT_EQ(Rhs(host, "[x' x']"), "loadvar 1 ctranspose loadvar 1 ctranspose horzcat 2");
  EXPECT_EQ(Rhs(host, "[x 'ab']"), "loadvar 1 pushstr8 'ab' horzcat 2");
  EXPECT_EQ(Rhs(host, "[1, 2; 3 4]"),
            "pushone pushsmallint 2 horzcat 2 pushsmallint 3 pushsmallint 4 horzcat 2 vertcat 2");
  EXPECT_EQ(Rhs(host, "[x]"), "loadvar 1");
  EXPECT_EQ(Rhs(host, "[]"), "pushempty");
  EXPECT_EQ(Rhs(host, "{}"), "bracelist 0");
  EXPECT_EQ(Rhs(host, "{1, 'two', [3 4]}"),
            "pushone pushstr8 'two' pushsmallint 3 pushsmallint 4 horzcat 2 bracelist 3");
  EXPECT_EQ(Rhs(host, "[f(1) 2]"), "error 201: Unknown variable or function 'f'");
}

TEST(CompileExpression, CallsAreCheckedAgainstTheirCounts) {
  TestHost host;
  EXPECT_EQ(Rhs(host, "pi + inf + inf(2, 3)"),
            "pi inf 0 plus pushsmallint 2 pushsmallint 3 inf 2 plus");
  EXPECT_EQ(Rhs(host, "sin(1, 2)"),
            "error 186: Wrong number of input arguments (2) for function 'sin'");
  EXPECT_EQ(Rhs(host, "disp(1)"),
            "error 187: Wrong number of output arguments (1) for function 'disp'");
  EXPECT_EQ(Rhs(host, "foo(1)"), "error 201: Unknown variable or function 'foo'");
  // Several outputs only from a call that is the whole expression.
  CompileOptions o;
  o.vars = {"x", "a", "b"};
  EXPECT_EQ(CompileForTest(host.ctx(), "[a, b] = size(x);", o).code,
            "loadvar 0 size 1 2 storevar 1 storevar 2 halt");
  EXPECT_EQ(CompileForTest(host.ctx(), "[a, b] = 3;", o).error, kErrIncorrectNargout);
  EXPECT_EQ(CompileForTest(host.ctx(), "[a, b] = size(x) + 1;", o).error, kErrIncorrectNargout);
  // A comma list argument makes the call one by name.
  EXPECT_EQ(Rhs(host, "max(c{:})"), "loadvar 2 braceindexvalue 1 1 pushstr8 'max' callvalue 2 1");
  EXPECT_EQ(Rhs(host, "feval(c{:})"), "loadvar 2 braceindexvalue 1 1 pushempty callvalue 2 1");
  EXPECT_EQ(Rhs(host, "x(c{:})"), "error 172: Misplaced list flattening");
  EXPECT_EQ(Rhs(host, "c{:} + 1"), "error 172: Misplaced list flattening");
  // A range in braces selects a comma list too, read from a copy; the ":"
  // of "?" does not.
  EXPECT_EQ(Rhs(host, "max(c{2:end})"),
            "loadvar 2 pushsmallint 2 endvalue 1 1 1 colon 2 braceindexvalue 1 0 pushstr8 'max' "
            "callvalue 2 1");
  EXPECT_EQ(Rhs(host, "c{2:3} + 1"), "error 172: Misplaced list flattening");
  EXPECT_EQ(Rhs(host, "c{x ? 1 : 2}"),
            "loadindexed 2 loadvar 1 jumpfalse 3 pushone jump 2 pushsmallint 2 braceindexvalue 1 0 "
            "applyparen");
  // A field may be a structure array's comma list: a row of it alone is
  // concatenated.
  EXPECT_EQ(Rhs(host, "[s.a]"), "loadindexed 3 loadfield -2 applyparen horzcat 1");
  EXPECT_EQ(Rhs(host, "[x]"), "loadvar 1");
}

TEST(CompileExpression, IndexChainsReadThroughReferences) {
  TestHost host;
  EXPECT_EQ(Rhs(host, "x(2, end)"),
            "loadindexed 1 pushsmallint 2 endvalue 1 2 2 parenafterindex 2 0 1");
  EXPECT_EQ(Rhs(host, "x(:, 1)"), "loadindexed 1 pushone parenafterindex 2 1 1");
  EXPECT_EQ(Rhs(host, "c{2}"), "loadindexed 2 pushsmallint 2 braceindexvalue 1 0 applyparen");
  EXPECT_EQ(Rhs(host, "s.a(3).b"),
            "loadindexed 3 loadfield -2 pushsmallint 3 indexfield 1 0 -4 applyparen");
  EXPECT_EQ(Rhs(host, "s.(x)"), "loadindexed 3 loadvar 1 loadfieldbyname applyparen");
  EXPECT_EQ(Rhs(host, "s(2).(x)"),
            "loadindexed 3 pushsmallint 2 loadvar 1 indexgroup 1 0 applyparen");
  EXPECT_EQ(Rhs(host, "x(min(end, 3))"),
            "loadindexed 1 endvalue 0 1 1 pushsmallint 3 min 2 1 parenafterindex 1 0 1");
  EXPECT_EQ(Rhs(host, "[1 2; 3 4](1)"),
            "pushone pushsmallint 2 horzcat 2 pushsmallint 3 pushsmallint 4 horzcat 2 vertcat 2 "
            "pushone indexvalue 1 0 1");
  EXPECT_EQ(Rhs(host, "x(matrixrow, matrixcol)"),
            "loadindexed 1 matrixrowvalue 0 1 2 matrixcolvalue 1 2 2 parenafterindex 2 0 1");
  EXPECT_EQ(ErrorOf(host, "y = end"), kErrMisplacedEnd);
  EXPECT_EQ(ErrorOf(host, "y = x(1, matrixrow)"), kErrWrongIndex);
  EXPECT_EQ(ErrorOf(host, "y = beginning"), kErrMisplacedBeginning);
}

TEST(CompileExpression, AssignmentTargets) {
  TestHost host;
  CompileOptions o;
  o.vars = {"ans", "x", "c", "s"};
  auto code = [&](const std::string& text) {
    auto r = CompileForTest(host.ctx(), text, o);
    return r.error ? "error " + std::to_string(r.error) : r.code;
  };
  EXPECT_EQ(code("x(3) = 7;"),
            "pushsmallint 7 loadindexedfirst 1 pushsmallint 3 parenafterbrace 1 0 halt");
  EXPECT_EQ(code("c{2} = 5;"),
            "pushsmallint 5 loadindexedfirst 2 pushsmallint 2 braceindexvalue 1 0 applybrace halt");
  EXPECT_EQ(code("s.a.b = 1"),
            "pushone loadindexedfirst 3 loadfield -2 loadfield -4 applybrace showvar 3 halt");
  EXPECT_EQ(
      code("x(end+1) = 5;"),
      "pushsmallint 5 loadindexedfirst 1 endvalue 0 1 1 pushone plus parenafterbrace 1 0 halt");
  EXPECT_EQ(code("x(:, 2) = [];"),
            "pushempty loadindexedfirst 1 pushsmallint 2 parenafterbrace 2 1 halt");
  EXPECT_EQ(code("[x, s.f] = size(c);"),
            "loadvar 2 size 1 2 storevar 1 loadindexedfirst 3 loadfield -6 applybrace halt");
  EXPECT_EQ(code("x(1)(2) = 3;"), "error 212");
  EXPECT_EQ(code("3 = x;"), "error 212");
  EXPECT_EQ(code("x(c{:}) = 1;"), "error 172");
}

TEST(CompileExpression, FunctionReferencesAndAnonymousFunctions) {
  TestHost host;
  EXPECT_EQ(Rhs(host, "@sin"), "pushstr8 'sin' makefunref 0");
  EXPECT_EQ(Rhs(host, "@(t) t + x(1)"),
            "pushstr8 't + x(1)' pushstr8 't' pushstr8 'x' loadvar 1 bracelist 2 inline 3");
  EXPECT_EQ(Rhs(host, "@(a, b) a * b"), "pushstr8 'a * b' pushstr8 'a' pushstr8 'b' inline 3");
  EXPECT_EQ(Rhs(host, "@() size(x)"),
            "pushstr8 'size(x)' pushstr8 'x' loadvar 1 bracelist 2 true 0 inline 3");
  // A parameter of an enclosing body is captured by the inner one only.
  EXPECT_EQ(Rhs(host, "@(a) @(b) a + b + x"),
            "pushstr8 '@(b) a + b + x' pushstr8 'a' pushstr8 'x' loadvar 1 bracelist 2 inline 3");
  EXPECT_EQ(Rhs(host, "{@(a) a, 2}"),
            "pushstr8 'a' pushstr8 'a' inline 2 pushsmallint 2 bracelist 2");
  // A call that is all of the body may give no value; inside it must.
  EXPECT_EQ(Rhs(host, "@(v) disp(v)"), "pushstr8 'disp(v)' pushstr8 'v' inline 2");
  EXPECT_EQ(Rhs(host, "{@(v) disp(v), 2}"),
            "pushstr8 'disp(v)' pushstr8 'v' inline 2 pushsmallint 2 bracelist 2");
  EXPECT_EQ(Rhs(host, "@(v) 1 + disp(v)"),
            "error 187: Wrong number of output arguments (1) for function 'disp'");
  EXPECT_EQ(Rhs(host, "@(v) -disp(v)"),
            "error 187: Wrong number of output arguments (1) for function 'disp'");
  EXPECT_EQ(Rhs(host, "@3"), "error 206: Bad function reference '3'");
  EXPECT_EQ(ErrorOf(host, "y = @(1) 2"), kErrBadAnonFun);
}

// A "+genericFun" hook serves names no table knows: the call goes to the
// hook's record with the name as the first argument.
ErrCode ServeGeneric(EngineContext*, const char* name, int32_t, int32_t, int32_t, int32_t,
                     uintptr_t) {
  return std::strcmp(name, "anyname") == 0 ? kOk : kErrUndefFun;
}
const NativeFunctionRecord kGenericTable[] = {
    MakeRecord("@generic"),
    MakeRecord("+genericFun", &ServeGeneric),
    MakeRecord(""),
};

TEST(CompileExpression, NamesServedByAGenericFunctionHook) {
  TestHost host;
  ASSERT_EQ(RegisterLibrary(host.ctx(), kGenericTable, true), kOk);
  int32_t index;
  ASSERT_TRUE(FindLibraryRecord(host.ctx(), "+genericFun", nullptr, 0, &index));
  EXPECT_EQ(Rhs(host, "anyname(1, 2)"),
            "pushstr8 'anyname' pushone pushsmallint 2 native" + std::to_string(index) + " 3 1");
  EXPECT_EQ(Rhs(host, "othername(1)"), "error 201: Unknown variable or function 'othername'");
}

}  // namespace
}  // namespace vke
