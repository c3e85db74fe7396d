// Statements the growth injection found giving another result once a
// request for room on their way was refused, each run with every request
// refused in turn: the run must give what the run without refusals gives,
// and none may fail for lack of room where the runner grows.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/errors/errors.hpp"
#include "engine/values/value.hpp"
#include "tests/host/pty_pair.hpp"
#include "tests/host/tool_commands.hpp"
#include "tests/injection/forked_run.hpp"
#include "tests/injection/injection_driver.hpp"
#include "tools/runner_area.hpp"
#include "tools/runner_engine.hpp"
#include "tools/runner_host.hpp"

namespace vke::test {
namespace {

// Runs the text with every request refused in turn: no run may differ but
// for a shortage reported.
ProgramReport ExpectSame(const std::string& text) {
  TempFolder scratch;
  DriverSettings whole;
  whole.whole = true;
  const ProgramReport r =
      InjectIntoProgram(TextProgram(text, text), whole, scratch.Path() + "/run");
  EXPECT_GT(r.runs, 0u) << DescribeReport(r);
  EXPECT_TRUE(r.faults.empty() && r.firstFailure.empty()) << DescribeReport(r);
  return r;
}

// An application of the description and source given, packed, and its
// check script run with every request refused in turn, as ExpectSame.
ProgramReport ExpectSameApplication(const std::string& description, const std::string& source,
                                    const std::string& script) {
  TempFolder scratch;
  const std::string app = scratch.Path() + "/app";
  std::ofstream(app + ".kvd") << "source \"app.vke\"\n" << description;
  std::ofstream(app + ".vke") << source;
  std::ofstream(app + ".script") << script;
  std::string message;
  ProgramReport r;
  if (!PackCheckApplication(VKE_KVPACK, app + ".script", app + ".img", &message)) {
    ADD_FAILURE() << message;
    return r;
  }
  DriverSettings whole;
  whole.whole = true;
  r = InjectIntoProgram(CheckProgram("app.script", app + ".img", app + ".script"), whole,
                        scratch.Path() + "/run");
  EXPECT_GT(r.runs, 0u) << DescribeReport(r);
  EXPECT_TRUE(r.faults.empty() && r.firstFailure.empty()) << DescribeReport(r);
  return r;
}

// ExpectSame, and no shortage reported for a request of the kind given.
void ExpectGrown(const std::string& text, RoomKind kind) {
  const ProgramReport r = ExpectSame(text);
  for (const Finding& f : r.notGrown) EXPECT_NE(f.kind, kind) << DescribeReport(r);
}

// ExpectSame, and no shortage reported for any request.
void ExpectAllGrown(const std::string& text) {
  const ProgramReport r = ExpectSame(text);
  EXPECT_TRUE(r.notGrown.empty()) << DescribeReport(r);
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

// A comparison of two scalars asks once for the room of its truth value:
// the value then takes room its operands leave, and no refusal behind the
// test drops the operands and fails (a try then caught a false shortage).
TEST(Retries, AComparisonOfScalarsAsksOnceForItsRoom) {
  ExpectGrown(
      "a = 3;\ntry\n  ok = (a == 1);\ncatch\n  ok = -1;\nend\nok\nb = a < 4\n"
      "if a >= 3, disp('three'), end\n",
      RoomKind::kStacks);
}

// A call's results go where its frame began, the room for them found
// before the frame was left: none of them may go missing there.
TEST(Retries, AFunctionsResultsAllReachTheCaller) {
  ExpectSame(
      "[a, b, c] = three(2);\ndisp([a b c])\nthree(1);\n"
      "function [a, b, c] = three(x)\n  a = x; b = 2 * x; c = [x x x];\nendfunction\n");
}

// A native that writes its text and then leaves no value (a statement's
// dumpvar) writes it once: the entry its input leaves holds the result.
TEST(Retries, AVariableDumpedIsWrittenOnce) {
  ExpectSame(
      "global seen\nseen = [3 1 2];\ndumpvar('seen', seen)\nc = {5, 'six'};\n"
      "dumpvar('c', c)\n");
}

// polyder pushes behind the room its plan checked and stops at a push that
// still fails, instead of writing through the pointer the push left unset.
TEST(Retries, PolynomialDerivativesGiveTheSame) {
  ExpectSame(
      "a = polyder([1 2 3 4])\nb = polyder([1 1], [1 -1])\n[n, d] = polyder([1 2], [1 0 1])\n");
}

// A statement inside a catch that runs again after growth still finds the
// error caught: its identifier, and its message with no second location.
TEST(Retries, TheErrorCaughtOutlivesAStatementRunAgain) {
  ExpectSame(
      "try\n  error('VKE:badSize');\ncatch\n  [message, identifier] = lasterr\nend\n"
      "try\n  error('mylib:fail', 'first');\ncatch\n  e = lasterror;\n"
      "  disp(e.identifier)\n  try\n    rethrow(e);\n  catch\n"
      "    disp(lasterr)\n  end\nend\n");
}

// The search path listed by a statement is written once.
TEST(Retries, TheSearchPathListedWithoutRoomIsWrittenOnce) {
  ExpectSame("path('first;second');\npath\ndisp(1)\n");
}

// A value dumped by a statement is written once, named or not.
TEST(Retries, AValueDumpedWithoutRoomIsWrittenOnce) {
  ExpectSame("dumpvar(magic(3) / 3)\ndumpvar('m', [1 2; 3 4])\ndisp(1)\n");
}

// A loop whose iterator or last value found no room starts once the area
// has grown (loops without rounds: a round's value is another matter).
TEST(Retries, ALoopWithoutRoomForItsIteratorStartsAfterGrowth) {
  ExpectGrown(
      "k = 0;\nfor k = 5:-2:1, end\nfor k = 3:1, end\nfor k = int8(3):int8(1), end\n"
      "for k = single(3):1, end\nk\n",
      RoomKind::kStacks);
}

// The last error read without room is read again once the area has grown.
TEST(Retries, TheLastErrorReadWithoutRoomIsReadAgain) {
  ExpectGrown("try\n  error('VKE:badSize');\ncatch\nend\n[m, id] = lasterr;\ne = lasterror;\n",
              RoomKind::kStacks);
}

// Integers that a class test takes as doubles find no room for them: the
// test runs again once the area has grown, not failing for the class.
TEST(Retries, OperandsWithoutRoomAsDoublesAreConvertedAgain) {
  ExpectSame("x = [isnan(int8(1)), isinf(uint8(255))]\n");
}

// A leaf called as a statement that leaves its output unset gives the
// no-value in the room its call tested.
TEST(Retries, ALeafLeavingNoValueGivesTheSame) {
  ExpectSame(
      "for i = 1:3\n  unset(1);\nend\nx = 3\n"
      "function r = unset(n)\n  if n > 1\n    n = n - 1;\n  end\nendfunction\n");
}

// A division by a divisor that is not square keeps its operands as they
// were until its product stands: run again after growth, it divides the
// same operands the same way round.
TEST(Retries, ADivisionByAPseudoInverseDividesTheSameOperandsAgain) {
  ExpectGrown(
      "a = size(zeros(0, 3) \\ zeros(0, 2))\nb = size(zeros(2, 0) / zeros(3, 0))\n"
      "c = size(ones(3, 2) \\ zeros(3, 0))\nd = [1; 1; 1] \\ [1; 2; 3]\n",
      RoomKind::kStacks);
}

// Builtins and natives keep their arguments, options and texts included,
// until their results stand, and those that use their operands up take
// their room first: each runs again once the area has grown.
TEST(Retries, BuiltinsKeepTheirArgumentsUntilTheirResultsStand) {
  ExpectAllGrown(
      "A = [4 -2 1; 3 6 -4; 2 1 8]; B = magic(4); x = [3 -1 2 5 0 4 -2];\n"
      "a = [intmax('int16'), intmin('int16')], n = nnz(x), f = factor(360)\n"
      "d = det(A), r = rank(B), k = cond(A), m = [norm(A), norm(x, 1), norm(B, 'fro')]\n"
      "[i, j] = find(A > 2), p = find(x, 2, 'last')\n"
      "[q, s] = deconv(x, [1 -3 2]), [y, z] = filter(1, [1 -3 2], x, [0 1], 2)\n"
      "g = cat(3, A, A); disp(size(g)), h = [x, [], x]\n"
      "[X, Y] = meshgrid(1:3, 1:2), [r1, c1] = ind2sub([3 4], [2 7 12])\n"
      "P = A ^ 3, Q = A ^ -2, c = conv(A, [1 2], 2), v = cov(A, 1)\n"
      "w = interp1(1:7, x, [1.5 6.5], 'nearest'), u = int8(5):int8(0):int8(1)\n");
}

// The generalised eigenproblem's results take the room of its operands:
// none of their pushes fails once the operands have been dropped.
TEST(Retries, GeneralisedEigenvaluesTakeTheRoomOfTheirOperands) {
  ExpectAllGrown(
      "x = eig([1 0; 0 1], [2 0; 0 4])\n[V, D] = eig([2 1; 1 2], [1 0; 0 2])\n"
      "z = eig([1 2; 3 4], [1i 0; 0 1])\n[W, E] = eig([0 1; -1 0], eye(2))\n");
}

// A native that calls a function grows between its calls: an entry with a
// call's results that finds no room puts back what it took and is made
// again once the area has grown, without calling the function again for
// the results it has (cellfun, map, apply, fzero, quad, fminbnd, ode45).
TEST(Retries, NativesThatCallFunctionsGrowBetweenTheirCalls) {
  ExpectAllGrown(
      "n = cellfun(@(a) numel(a), {1, 'ab'})\nc = map(@(a) [a a], {1, 2})\n"
      "z = fzero(@(x) x - 1, [0 3])\n"
      "[t, y] = ode45(@(t, u) 0 * u, [0 1], 1, odeset('InitialStep', 0.5, 'MaxStep', 0.5, "
      "'Refine', 1));\nr = [t.'; y.']\n");
  ExpectAllGrown("q = quad(@(t) 2 + 0 * t, 0, 1)\n[x, f] = fminbnd(@(t) (t - 1) .^ 2, [0 2])\n");
  ExpectAllGrown("a = apply(@(x, y) x - y, {10, 3})\nb = apply(@size, {ones(2, 3)}, 2)\n");
}

// A distribution's integer operands without room as doubles fail for the
// room, not for their class.
TEST(Retries, ADistributionOfIntegersWithoutRoomAsDoublesIsEvaluatedAgain) {
  ExpectSame(
      "p = pdf('norm', int8(1)) - pdf('norm', 1)\n"
      "c = cdf('norm', [int8(1) int8(2)], 0, uint8(2))\n");
}

// A native called back with the results of a builtin it called has used
// its inputs: without room to gather them it fails for the room, and is not
// run again on what the call left in their place.
TEST(Retries, ANativeCalledBackWithoutRoomIsNotRunAgain) {
  ExpectSame(
      "f = @(a, b, c) deal(c, b, a);\n[p, q, r] = f(1, 'two', 3)\n"
      "[p, q, r] = f(4, {5}, 'six');\nr\n");
}

// A round whose value found no room runs again once the area has grown,
// with the value it would have had: the iterator advances once the value
// stands, none skipped (integer, real and stepped-down ranges).
TEST(Retries, ARoundWithoutRoomForItsValueRunsAgain) {
  ExpectGrown(
      "s = 0;\nfor k = int8(1):int8(2):int8(5)\n  s = s + double(k) * 10;\nend\n"
      "for k = uint16(3):-1:1, s = s + double(k);, end\n"
      "for k = 1:3\n  s = s + k / 4;\nend\ns\n"
      "for k = 1:3\n  disp(k)\nend\nfor k = 3:-1.5:0, disp(k), end\n"
      "for k = int8(1):int8(2)\n  disp(k)\nend\n",
      RoomKind::kStacks);
}

// A solver that wrote trace lines before its call of the function found
// no room is made again once the area has grown, passing over the lines
// it wrote: each line is written once (first entries and entries after a
// call, of fzero, fminbnd and quad).
TEST(Retries, ATraceLineIsWrittenOnce) {
  ExpectAllGrown(
      "x = fzero(@(x) x^2 - 2, 1, optimset('Display', true));\nfprintf('%.6f\\n', x);\n"
      "x = fzero(@(x) x - 1, [0 3], optimset('Display', true));\n");
  ExpectAllGrown(
      "x = fminbnd(@(x) (x - 2)^2, [0 5], optimset('Display', true))\n"
      "[x, f, e] = fminbnd(@(x) (x - 2)^2, 1, optimset('Display', true, 'MaxFunEvals', 4))\n"
      "q = quad(@(x) x.^3, 0, 2, [], 1)\n");
}

// An object's method takes the subscripts, field names and bounds of an
// index laid out as its inputs: without room for them, or for the method's
// work once they were laid out, the index is not run again on what the
// first attempt left.
TEST(Retries, AnObjectIndexedWithoutRoomGivesTheSame) {
  ExpectSame(
      "q = quaternion(1, 2, 3, 4);\nw = [q, 2 * q];\ndisp(q2str(w(2)))\nx = q.x\n"
      "disp(w(end).y)\nw.z = 9;\nh.w = w;\ndisp(h.w(2).v)\n");
}

// A list indexed through its variable that found no room is indexed again
// through the variable, whose name its error gives.
TEST(Retries, AListIndexedWithoutRoomNamesItsVariable) {
  ExpectSame(
      "c = {1, 2};\ntexts = {'c(2.5)', 'c{1.5}', 'c(3)'};\nfor k = 1:3\n"
      "  try\n    eval(texts{k});\n  catch\n    disp(lasterr)\n  end\nend\nd = c(2)\n");
}

// The redirections listed by a statement are written once, and those given
// as a value are given whole.
TEST(Retries, TheRedirectionsListedWithoutRoomAreWrittenOnce) {
  ExpectSame("redirect\nr = redirect(1)\nredirect(2)\nredirect(2, 1, true);\nr = redirect\n");
}

// An inline function whose value found no room is made again from the
// same arguments: a call that gives no value keeps the form that gives what
// its callee gives.
TEST(Retries, AnInlineFunctionWithoutRoomIsMadeFromItsArguments) {
  ExpectSame("text = inline('disp(x + 1)');\ntext(1)\nsq = inline('x.^2');\nsq(3)\n");
}

// A matrix square root or logarithm gives its result and estimate in the
// room of its argument: nothing there runs it again on what it left.
TEST(Retries, AMatrixFunctionsResultsReplaceItsArgument) {
  ExpectSame("[X, e] = sqrtm([1 1; 0 1])\nY = logm([1 1; 0 1])\n[Z, f] = sqrtm([4 1; 1 3]);\n");
}

// A QR factorisation of no rows pushes its empty Q and its permutation before
// an argument goes: one without room for them runs again as given.
TEST(Retries, AFactorisationOfNoRowsKeepsItsArgumentsUntilItsResultsStand) {
  ExpectAllGrown(
      "[Q, R, E] = qr(zeros(0, 3))\n[Q, R] = qr(zeros(0, 2), 0)\n"
      "[Q, R, E] = qr(zeros(0, 3), 0)\nR = qr(zeros(0, 2), 0)\n");
}

// A file opened in a try is given to its caller even when the room of its
// descriptor is asked for: no slot is held by a file nobody can close.
TEST(Retries, AFileOpenedIsAlwaysGivenToItsCaller) {
  ExpectSame(
      "fds = [];\nfor k = 1:3\n  try\n    fds = [fds, fopen('held.txt', 'w')];\n  catch\n  end\n"
      "end\nheld = numel(fopen('all'))\nfor fd = fds, fclose(fd); end\n");
}

// Structures concatenated are conformed to the same fields on top of the
// stack in turn: a conformed one without room leaves them in their order,
// and the run after growth puts each element where it belongs.
TEST(Retries, StructuresConcatenatedWithoutRoomKeepTheirOrder) {
  ExpectSame(
      "s = [struct('a', 1), struct('a', 2)];\ndisp(s(1).a)\n"
      "t = [struct('a', 1, 'b', 2); struct('b', 3, 'c', 4)];\ndisp(t(2).b)\n"
      "disp(fieldnames(t))\n");
}

// A for loop over list items, matrix columns or structure elements whose
// round's value found no room runs that round again once the area has
// grown, none skipped.
TEST(Retries, ARoundOverItemsOrColumnsWithoutRoomRunsAgain) {
  ExpectGrown(
      "c = {1, 'two', [3 4]};\nfor x = c, disp(x), end\n"
      "for col = [1 2; 3 4], disp(col'), end\n"
      "for s = struct('a', {1, 2}), disp(s.a), end\n"
      "for k = int8([5 6]), disp(k), end\n",
      RoomKind::kStacks);
}

// end in an index without room runs again: the element is appended, and a
// file opened for it is given to its caller.
TEST(Retries, EndInAnIndexWithoutRoomIsTakenAgain) {
  ExpectAllGrown(
      "x = [];\ntry, x(end + 1) = 5; catch, end\nx(end + 1) = 6;\ndisp(x)\nfds = [];\n"
      "for k = 1:2\n  fds(end + 1) = fopen(sprintf('f%d.txt', k), 'w');\nend\n"
      "held = numel(fopen('all'))\nfor fd = fds, fclose(fd); end\n");
}

// An error raised in a function called back by a native, or through an
// anonymous function's apply, reaches the caller with its own identifier and
// message when its text or identifier found no room.
TEST(Retries, AnErrorRaisedInACallbackKeepsItsIdentifier) {
  ExpectSame(
      "try\n  cellfun(@(x) error('my:inner', 'inner %d', x), {1, 2});\ncatch\n"
      "  e = lasterror;\n  disp(e.identifier)\n  disp(e.message)\nend\n");
  ExpectAllGrown(
      "try\n  [t, y] = ode45(@(t, y) error('my:rhs', 'rhs at %g', t), [0 1], 1);\ncatch\n"
      "  disp(lasterr)\nend\n"
      "try\n  [t, y] = ode45(@(t, y) bad(t), [0 1], 1);\ncatch\n  disp(lasterr)\nend\n"
      "function d = bad(t)\n  error('my:bad', 'bad at %g', t);\nendfunction\n");
}

// Calls by name (a function's first, compiled on the way), of functions
// with varargin, of function references and by feval and builtin, whose
// callee found no room for its code, frame or inputs run again once the
// area has grown.
TEST(Retries, ACallByNameWithoutRoomRunsAgain) {
  ExpectAllGrown(
      "w = twice(1);\nv = count(1, 2, 3) + count();\na = feval('twice', 3);\n"
      "h = @twice;\nb = h(4);\nc = feval(h, 5);\nd = builtin('max', [1 7 2]);\n"
      "e = feval(@(x) x + 1, 6);\ng = str2fun('twice');\nf = g(7);\n"
      "disp([a b c d e f v w])\n"
      "function y = twice(x)\n  y = 2 * x;\nendfunction\n"
      "function n = count(varargin)\n  n = nargin;\nendfunction\n");
}

// A builtin called by name as a statement prints once: the room of the
// no-value it leaves is found before it acts (feval, builtin, fevalx).
TEST(Retries, ABuiltinCalledByNameAsAStatementPrintsOnce) {
  ExpectAllGrown(
      "for k = 1:2\n  feval('disp', k)\n  builtin('disp', -k)\n  fevalx('disp', 10 * k)\n"
      "  feval('fprintf', '%d;', k)\nend\nfeval('disp', 'end')\n");
}

// The outputs of a call through apply (an anonymous function asked for a
// value, a function value's outputs as a list) and nargin of a function
// by name, without room, are gathered again once the area has grown.
TEST(Retries, ACallsOutputsGatheredWithoutRoomAreGatheredAgain) {
  ExpectAllGrown(
      "sq = @(x) x .^ 2;\ndisp(sq(3))\nc = apply(@pair, {4});\ndisp(c{2})\n"
      "show = @(x) disp(x);\ntry\n  y = show(7);\ncatch\n  disp(lasterr)\nend\n"
      "disp([nargin('pair') nargout('pair')])\n"
      "function [a, b] = pair(x)\n  a = x;\n  b = -x;\nendfunction\n");
}

// A recursive call whose frame finds no room, far from filling the stack,
// is no runaway recursion: it runs again once the area has grown.
TEST(Retries, ARecursiveCallWithoutRoomForItsFrameRunsAgain) {
  ExpectAllGrown(
      "disp(count(4))\n"
      "function n = count(varargin)\n  if varargin{1} <= 0\n    n = 0;\n  else\n"
      "    n = 1 + count(varargin{1} - 1);\n  end\nendfunction\n");
}

// Comma lists spread into a call's arguments, a row or a cell row are made
// again when the expansion, the callee's frame, its varargin or a builtin's
// text finds no room: the instruction runs again on the operands as they
// came.
TEST(Retries, CommaListsSpreadWithoutRoomAreSpreadAgain) {
  ExpectAllGrown(
      "c = {1, 2, 3};\ne = {};\ndisp(addall(c{:}))\n"
      "disp(addall(c{2:end}, 10))\ndisp(max(c{1:2}))\ndisp(addall(e{:}, 4))\n"
      "s = sprintf('%d,', c{:})\n"
      "disp([c{:}, 4])\nd = {c{2:3}, 4};\ndisp(numel(d))\n"
      "function r = addall(varargin)\n  r = 0;\n  for k = 1:numel(varargin)\n"
      "    r = r + varargin{k};\n  end\nendfunction\n");
}

// A brace index that selects one item and a field read by a computed name
// keep their operands until their value stands: without room they run
// again as they came.
TEST(Retries, AnItemOrAFieldByNameReadWithoutRoomIsReadAgain) {
  ExpectAllGrown(
      "one = {5};\nc = {1, 2};\ndisp([c{:}, one{:}])\nx = one{:}\ndisp(twice(3))\n"
      "s.a = 1;\ns.('c') = 3;\nn = 'a';\ny = s.('c') + s.(n)\nt(2).a = 4;\nt(1).a = 2;\n"
      "z = [t.(n)]\n"
      "function r = twice(varargin)\n  r = 2 * plus(varargin{:}, 0);\nendfunction\n");
}

// A value whose type's methods read and assign its elements and fields,
// and subsasgn called itself, keep their operands until the method has
// taken them or the code it runs has its room: without room they run again
// as they came.
TEST(Retries, ElementsReadAndAssignedByMethodsWithoutRoomRunAgain) {
  ExpectAllGrown(
      "q = quaternion(1, 2, 3, 4);\nw = [q, 2 * q];\nw(3) = quaternion(0, 1, 0, 0);\n"
      "w.z = 9;\nx = q.x\ndisp(q2str(w(2)))\ndisp([w(2).w, w(end).x, w(1:2).y])\n"
      "s.a = [1 2 3];\nt = subsasgn(s, struct('type', '.', 'subs', 'a'), 5)\n"
      "k.type = '()';\nk.subs = {2};\nu = subsasgn([1 2 3], k, 7)\n");
}

// A global declared, a function's results returned and a value shown as
// ans without room run again once the area has grown.
TEST(Retries, AGlobalDeclaredResultsReturnedOrAnsShownWithoutRoomRunAgain) {
  ExpectAllGrown(
      "global g\ng = 1;\n[q, r] = divide(7, 2);\n[g q r] * 2\n"
      "function [q, r] = divide(a, b)\n  global g\n  g = g + 1;\n  q = floor(a / b);\n"
      "  r = rem(a, b);\nendfunction\n");
}

// A text evaluated that found no room to compile or to start runs again
// once the area has grown, its argument as given.
TEST(Retries, AnEvaluatedTextWithoutRoomRunsAgain) {
  ExpectAllGrown(
      "x = 0; z = 0; q = 0;\neval('x = x + 1;');\ny = eval('x * 2');\neval('z = 3')\n"
      "try, eval('1 +'); catch, disp(lasterr), end\ns = 'q = 7;';\neval(s);\n"
      "disp([x y z q])\nsandbox('w = 5;');\n");
}

// Runs the text as the runner does, in an area whose data stack has grown
// first until a formatted text's row may hold as many characters as any
// value may have.
int RunWithLongestRows(const std::string& text) {
  RunnerArea area;
  EngineContext* ctx = nullptr;
  if (!area.Reserve(uint64_t{1} << 30, 64u << 20) ||
      !runner::CreateRunnerEngine(&area, runner::EngineSetup{}, &ctx))
    return 1;
  while (8ull * (ctx->dataCap - ctx->dataTop) < 4ull * kMaxTypedElements + (64u << 20))
    if (!area.Grow(ctx, kErrDataOverflow)) return 1;
  const ErrCode e = RunGrowing(&area, ctx, text.data(), static_cast<int32_t>(text.size()));
  return runner::FinishRun(ctx, e);
}

// Builtins whose shortage came after they had changed their operands (a
// dimension taken off, a structure or listing begun) leave them as given
// and run again once the area has grown.
TEST(Retries, BuiltinsWithoutRoomLeaveTheirOperandsAsGiven) {
  ExpectAllGrown("a = [1 2; 3 4];\nd = dot(a, a, 2);\nv = variables;\ns = info('v');\n");
}

// The settings of a start-up script are handed to their natives after the
// script's run: a native short of room runs again in the grown block, and
// reset answers no shortage.
TEST(Retries, StartupSettingsWithoutRoomAreAppliedOnceGrown) {
  const ProgramReport r = ExpectSameApplication(
      "var a\nstartup <<END\na = 3;\n_plots = ['One', char(9), 'Two'];\nEND\n"
      "figure \"One\"\n  draw one(a)\nfigure \"Two\"\n  draw two(a)\n",
      "function one(a)\n  plot([1 2], [a 1]);\n\nfunction two(a)\n  plot([1 2], [1 a]);\n",
      "reset\ndraw\nprint a\n");
  EXPECT_TRUE(r.notGrown.empty()) << DescribeReport(r);
}

// A styled plot short of room inside try grows the figure store and draws
// again: the catch never sees the shortage.
TEST(Retries, AStyledPlotInsideTryGrowsRatherThanReachingTheCatch) {
  const ProgramReport r =
      ExpectSameApplication("var a\ninit a = start()\nfigure \"S\"\n  draw s()\n",
                            "function a = start\n  a = 1;\n\nfunction s()\n  try\n    sigma(-1, 1, "
                            "1, 0, 'r,z');\n  catch\n    disp(lasterr);\n"
                            "  end\n",
                            "reset\ndraw\nprint a\n");
  EXPECT_TRUE(r.notGrown.empty() && r.faults.empty()) << DescribeReport(r);
}

// A zero moved keeps the polynomial as given until the zero's new place
// has its room: the call runs again once the area has grown.
TEST(Retries, AZeroMovedWithoutRoomForItsPlaceIsMovedAgain) {
  ExpectAllGrown("[p, z] = movezero([1 0 1], 1i, -0.5i)\nq = movezero([1 -3 2], 1, 4)\n");
}

// A warning written before its native has all its room is written once:
// the run again after growth passes over it.
TEST(Retries, AWarningIsWrittenOnceWhenItsNativeRunsAgain) {
  ExpectAllGrown(
      "[m, w] = dbodephase(1, [1 -0.5], 0.1, responseset('Delay', 2));\ndisp(size(m))\n"
      "[y, t] = dstep(1, [1 -0.5], 0.1, responseset('Delay', 1));\ndisp(size(y))\n");
}

// Runs the text as vke does in an area of the ceiling given (with -m or
// not), its output and error output.
RunOutcome RunUnderCeiling(const std::string& text, uint64_t ceiling, bool given,
                           const std::string& folder) {
  RunSpec spec;
  spec.body = [=] {
    RunnerArea area;
    area.SetCeilingGiven(given);
    EngineContext* ctx = nullptr;
    if (!area.Reserve(ceiling, 16u << 20) ||
        !runner::CreateRunnerEngine(&area, runner::EngineSetup{}, &ctx))
      return 1;
    const ErrCode e = RunGrowing(&area, ctx, text.data(), static_cast<int32_t>(text.size()));
    return runner::FinishRun(ctx, e);
  };
  return RunForked(spec, folder);
}

// A request no area can hold fails at once, and one refused at the ceiling
// fails alone: caught, either leaves growth on for the requests after it.
// The note of the ceiling names -m only when the ceiling came from it.
TEST(Retries, GrowthGoesOnAfterARequestAboveTheCeilingWasCaught) {
  TempFolder scratch;
  RunOutcome o = RunUnderCeiling(
      "try, threadnew(@() 1, threadset('StackSize', 1e12)); catch, disp(lasterr), end\n"
      "x = zeros(1, 5e7); disp(numel(x))\n",
      uint64_t{1} << 30, false, scratch.Path() + "/run");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "Object too large 'threadnew'\n  50000000\n") << o.err;
  EXPECT_EQ(o.err, "");
  const std::string twice =
      "for k = 1:2, try, x = zeros(1, 2e7); catch, disp(lasterr), end, end\n"
      "y = sum(ones(1, 1e5)); disp(y)\n";
  for (bool given : {false, true}) {
    o = RunUnderCeiling(twice, 64u << 20, given, scratch.Path() + "/run");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "Data stack overflow 'zeros'\nData stack overflow 'zeros'\n    100000\n")
        << o.err;
    EXPECT_EQ(o.err, given ? "vke: memory ceiling of 64 MB reached (-m)\n"
                           : "vke: memory ceiling of 64 MB reached\n");
  }
}

// ExpectAllGrown, for a text whose run without refusals writes `output`:
// a fault that every run shares, the first one included, is no difference
// between them.
void ExpectAllGrownGiving(const std::string& text, const std::string& output) {
  TempFolder scratch;
  const RunOutcome o = RunUnderCeiling(text, uint64_t{1} << 30, false, scratch.Path() + "/run");
  EXPECT_EQ(o.out, output) << o.err;
  ExpectAllGrown(text);
}

// dot with a dimension inside an expression leaves the stack as it found
// it: its result in place of its three operands, none of them behind.
TEST(Retries, DotWithADimensionInsideAnExpressionLeavesTheStackAsItFoundIt) {
  ExpectAllGrownGiving(
      "a = [1 2; 3 4];\nb = [5 6; 7 8];\nx = [10, dot(a, b, 2)', 20];\ndisp(x)\n"
      "y = {dot(a, b, 1), 'k'};\ndisp(y{1} + 1)\n",
      "        10        17        53        20\n        27        45\n");
}

// A text formatted in a row as long as a value may be that found no room
// reports the shortage, not a text too long: it runs again once the area
// has grown, and no line is lost.
TEST(Retries, AFormattedTextWithoutRoomInTheLongestRowIsWrittenOnce) {
  const std::string text = "fprintf('%d|', 1:3);\nfprintf('\\n');\nt = sprintf('%g;', pi)\n";
  TempFolder scratch;
  DriverSettings whole;
  whole.whole = true;
  const ProgramReport r =
      InjectIntoProgram({"longest rows", [text] { return RunWithLongestRows(text); }}, whole,
                        scratch.Path() + "/run");
  EXPECT_GT(r.perKind[static_cast<int>(RoomKind::kText)], 0u) << DescribeReport(r);
  EXPECT_TRUE(r.faults.empty() && r.firstFailure.empty() && r.notGrown.empty())
      << DescribeReport(r);
}

// A line scanned without room for its text or values goes back to its file:
// the run after growth scans the same line, and the position behind it is
// the one a run without refusals reaches, in binary and text mode alike.
TEST(Retries, ALineScannedWithoutRoomIsScannedAgainFromItsStart) {
  ExpectAllGrown(
      "f = fopen('v.txt', 'w');\nfwrite(f, sprintf('1 2 3\\r\\n4.5 6\\r\\nab\\r\\n7'));\n"
      "fclose(f);\nmodes = {'r', 'rt'};\nfor k = 1:2\n  f = fopen('v.txt', modes{k});\n"
      "  while ~feof(f)\n    [v, n] = fscanf(f, '%f');\n    disp([n, ftell(f), v])\n  end\n"
      "  fclose(f);\nend\nf = fopen('v.txt', 'rt');\ns = fscanf(f, '%s')\nfclose(f);\n");
}

// A semaphore, a lock or a thread made without room for its id is made
// once the area has grown, and once: the ids run on from 1, a lock taken
// answers as the first run found it, and no thread is started twice. The
// workers wait on a semaphore the text holds, so that what they print does
// not hang on how long the text takes.
TEST(Retries, SemaphoresAndThreadsAreMadeOnce) {
  ExpectGrown(
      "s = semaphorenew();\ndisp(s)\nt = semaphorenew()\nfirst = semaphorelock(t)\n"
      "second = semaphorelock(t)\nsemaphoreunlock(t);\nsemaphoredelete(s);\ntic;\n"
      "held = semaphorenew();\nsemaphorelock(held);\n"
      "a = threadnew(@worker, threadset(), 3, held)\n"
      "b = threadnew(@worker, threadset('Priority', 1), 4, held)\n"
      "threadkill(b);\nc = threadnew(@() 5)\nthreadsleep(0);\n"
      "function worker(n, held)\n  semaphorelock(held);\n  disp(n)\nendfunction\n",
      RoomKind::kStacks);
}

// A thread is made once its function, its block, its own stacks and its id
// all have room: a request of any refused makes none, and the run after
// growth makes one (the ids shown run on from 1). The function, from a
// library, is compiled as its thread is made, by reference and by name.
TEST(Retries, AThreadIsMadeOnceWhateverRoomItFoundMissing) {
  TempFolder scratch;
  std::ofstream(scratch.Path() + "/jobs.vkl")
      << "function record(k)\n  global done\n  done(k) = 10 * k;\nendfunction\n";
  const std::string script = scratch.Path() + "/threads.vke";
  std::ofstream(script) << "use jobs\nglobal done\ndone = zeros(1, 3);\n"
                           "a = threadnew(@record, [], 1)\n"
                           "b = threadnew('record', threadset('StackSize', 4096), 2)\n"
                           "c = threadnew(@(k) record(k), threadset('Priority', 2), 3)\n"
                           "tic;\nwhile any(done == 0) && toc < 5\nend\ndisp(done)\n";
  // The wait's requests repeat at their sites: their first ones are enough.
  DriverSettings sample;
  sample.whole = true;
  sample.perSite = 4;
  const ProgramReport r = InjectIntoProgram(ScriptProgram(script), sample, scratch.Path() + "/run");
  for (RoomKind kind : {RoomKind::kThreadStacks, RoomKind::kHeap, RoomKind::kCode})
    EXPECT_GT(r.perKind[static_cast<int>(kind)], 0u) << DescribeReport(r);
  EXPECT_TRUE(r.faults.empty() && r.firstFailure.empty() && r.notGrown.empty())
      << DescribeReport(r);
}

// A draw handler whose setting of the camera, title or labels found no room
// in the figure's store runs on once the store has grown: the turns the
// settings before it made are made once, and the undo history keeps the
// figure as a run without refusals leaves it.
TEST(Retries, ASettingWithoutRoomInTheStoreLeavesTheFigureAsItWas) {
  ExpectSameApplication(
      "var n\ninit n = start()\nmenu \"Edit\"\n  item \"More\" n = more(n)\nendmenu\n"
      "figure \"Camera\"\n  draw showcam(n)\n",
      "function n = start()\n  n = 1;\n\nfunction n = more(n)\n  n = n + 1;\n\n"
      "function showcam(n)\n  [x, y] = meshgrid(1:3, 1:3);\n  surf(x, y, x + y * n);\n"
      "  camorbit(10);\n  camzoom(1.5);\n  title('camera');\n  camroll(5);\n"
      "  camdolly([0.1 0 0]);\n  campan(3, 4);\n  label('x', 'y', 'z');\n"
      "  fprintf('%.4f ', [campos, camtarget, camup, camva]);\n  fprintf('\\n');\n",
      "reset\ndraw\nmenu \"More\"\ndraw\nundo\ndraw\n");
}

// A check script's help and print steps grow the block for the text or the
// value they print: none reports a shortage, and nothing is printed twice.
TEST(Retries, CheckStepsThatPrintGrowAndPrintOnce) {
  const ProgramReport r = ExpectSameApplication(
      "help <<END\n= Sums =\nAdds **two** numbers.\nEND\nvar x s t\ninit (x, s, t) = start()\n",
      "function (x, s, t) = start()\n  x = [1 2; 3 4];\n  s = struct('a', 1, 'b', 'text');\n"
      "  t = {1, 'two'};\n",
      "help \"n\"\nhelp \"h\"\nreset\nprint x\nprint s\nprint t\nhelp \"r\"\n");
  EXPECT_TRUE(r.notGrown.empty()) << DescribeReport(r);
}

// A text read as values that found no room anywhere in its run is read
// again once the area has grown, among the variables as they were; one
// that has written is not run again, and writes once.
TEST(Retries, ATextReadAsValuesWithoutRoomIsReadAgain) {
  ExpectAllGrown(
      "x = 5;\n[a, b] = str2obj('1, [2 3]');\ndisp(a); disp(b);\ndisp(str2obj('x + 1'))\n"
      "c = str2obj('{''k'', 2, [x x]}')\ntry, v = str2obj('1, 2'); catch, disp(lasterr), end\n"
      "try, v = str2obj('1, x(2)'); catch, disp(lasterr), end\n");
  ExpectSame("v = str2obj('fprintf(''once\\n''), 2 * pi');\ndisp(v)\n");
}

// The values a dialog reads from the user's answer that found no room are
// read again from the same answer once the area has grown: the dialog is
// shown once and the next answer waits for the next dialog.
TEST(Retries, ADialogsAnswerWithoutRoomIsReadWithoutAskingAgain) {
  const ProgramReport r = ExpectSameApplication(
      "var x y\ninit (x, y) = start()\nmenu \"Edit\"\n  item \"Values\" (x, y) = edit(x, y)\n"
      "endmenu\n",
      "function (x, y) = start()\n  x = 1;\n  y = [2 3];\n\n"
      "function (x, y) = edit(x, y)\n  [x, y] = dialog('Values', x, y);\n  disp(x + y);\n",
      "reset\nanswer \"5, [6 7] * 2\"\nanswer \"8, 9\"\nmenu \"Values\"\nprint y\nmenu \"Values\"\n"
      "print x\n");
  EXPECT_TRUE(r.notGrown.empty()) << DescribeReport(r);
}

// An error rethrown without room for its identifier's name or for the
// copy of its message is rethrown again once the area has grown: the same
// error is raised, not the shortage.
TEST(Retries, AnErrorRethrownWithoutRoomIsTheSameError) {
  ExpectAllGrown(
      "try, error('first:kind', 'first %d', 1); catch, e = lasterror; end\n"
      "try, rethrow(e); catch, disp(lasterr); end\n"
      "try, rethrow(struct('identifier', 'never:seen')); catch, f = lasterror; disp(f.identifier), "
      "end\ntry, rethrow(struct('message', 'plain', 'identifier', 'other:new')); catch, "
      "disp(lasterr), g = lasterror; disp(g.identifier), end\n"
      "rethrow(struct('message', 'the last', 'identifier', 'last:one'))\n");
}

// The states of menu and paste items come from the flags function: one
// without room for a value, a variable or its frame grows the block and
// gives the states a run without refusals gives, its shortage never shown.
TEST(Retries, MenuStatesWithoutRoomInTheirFlagsAreComputedOnce) {
  const ProgramReport r = ExpectSameApplication(
      "var a b\ninit (a, b) = start()\nmenu \"Edit\"\n"
      "  item \"More\" a = more(a) enabled \"a < 3 && ~isempty(b)\"\n"
      "  item \"Same\" b = (b) checked \"any(b > a)\"\nendmenu\n"
      "copy \"Value\" _xdata = (a)\n"
      "paste \"Value\" a = (_xdata) enabled \"numel(_xdatatype) == 4\"\n"
      "paste \"\" b = (_xdata) enabled \"numel(_xdatatype) ~= 4\"\n",
      "function (a, b) = start()\n  a = 1;\n  b = zeros(1, 3) + 2;\n\n"
      "function a = more(a)\n  a = a + 1;\n",
      "reset\nstate \"More\"\nstate \"Same\"\nmenu \"More\"\nstate \"Same\"\nmenu \"More\"\n"
      "state \"More\"\nstate \"Same\"\ncopy \"Value\"\npaste \"Value\"\nstate \"More\"\n");
  EXPECT_TRUE(r.notGrown.empty()) << DescribeReport(r);
}

// A start-up script whose call found no room for its frame runs once the
// block has grown, and its results reach the undo buffer where a store
// found no room there: the variables hold what a run without refusals
// gives them, and its line is written once.
TEST(Retries, AStartupScriptWithoutRoomRunsOnceAndStoresItsResults) {
  const ProgramReport r = ExpectSameApplication(
      "var a b c\nstartup <<END\nfprintf('started\\n');\na = 21;\nb = twice(a);\nEND\n",
      "function b = twice(a)\n  b = [a, 2 * a];\n", "reset\nreset\n");
  EXPECT_TRUE(r.notGrown.empty()) << DescribeReport(r);
}

// A handler that asked the user is not run again: the title, version and
// help texts it then sets that find no room in the undo buffer are set
// once the buffer has grown, and no shortage is reported.
TEST(Retries, InstanceTextsSetWithoutRoomAfterADialogAreSetOnceTheBufferHasGrown) {
  const ProgramReport r = ExpectSameApplication(
      "var x\ninit x = start()\nmenu \"Edit\"\n  item \"Name\" x = rename(x)\nendmenu\n",
      "function x = start()\n  x = 1;\n\n"
      "function x = rename(x)\n  x = dialog('Value', x);\n"
      "  kvtitle(sprintf('Value %d', x));\n  kvversion(3);\n  kvhelp('Some help');\n"
      "  disp(kvtitle); disp(kvversion); disp(kvhelp);\n",
      "reset\nanswer \"7\"\nmenu \"Name\"\nprint x\nanswer \"8\"\nmenu \"Name\"\nundo\nprint x\n");
  EXPECT_TRUE(r.notGrown.empty()) << DescribeReport(r);
}

// A script of the script tests (its libraries and fixtures beside it) run
// with every request refused in turn, as ExpectSame.
ProgramReport ExpectScriptSame(const std::string& name) {
  TempFolder scratch;
  DriverSettings whole;
  whole.whole = true;
  const ProgramReport r =
      InjectIntoProgram(ScriptProgram(std::string(VKE_SOURCE_DIR) + "/tests/scripts/" + name),
                        whole, scratch.Path() + "/run");
  EXPECT_GT(r.runs, 0u) << DescribeReport(r);
  EXPECT_TRUE(r.faults.empty() && r.firstFailure.empty()) << DescribeReport(r);
  return r;
}

// ExpectScriptSame, and no shortage reported for any request.
void ExpectScriptAllGrown(const std::string& name) {
  const ProgramReport r = ExpectScriptSame(name);
  EXPECT_TRUE(r.notGrown.empty()) << DescribeReport(r);
}

// The debugger's stop line and a function's echoed lines carry their
// source line, read before anything is written: without room for the
// source they were shown without it. dbstack and dbstatus given no input
// take their statement result's room before their lines, which a run
// again after growth wrote a second time.
TEST(Retries, TheDebuggersLinesCarryTheirSourceAndAreWrittenOnce) {
  ExpectScriptAllGrown("debugger_session.vke");
}

// An extension's native drops its inputs before it pushes its outputs:
// without room for them it runs again on its inputs, put back as it was
// called, once the area has grown (a native of the current interface and
// an old-style one).
TEST(Retries, AnExtensionsNativeWithoutRoomRunsAgainOnItsInputs) {
  ExpectScriptAllGrown("extensions.vke");
}

// A native reached through a function value (feval, builtin, a value
// called) that is called back with the results of a builtin it called and
// finds no room for its outputs: its entry is made again after growth, as
// for a native its own instruction calls; it ended in "Data stack overflow".
TEST(Retries, ANativeReachedThroughAValueIsEnteredAgainAfterGrowth) {
  ExpectScriptAllGrown("value_calls.vke");
}

// A text assigned into a text by the general path was converted in place to
// its elements' representation, a uint16 array: run again after growth, the
// assignment took that class and the variable became a uint16 array.
TEST(Retries, ATextAssignedIntoATextStaysATextAfterGrowth) {
  ExpectScriptAllGrown("text_assign.vke");
}

// An object shown as a statement, by its class's display method or, the
// class having none, as the structure it is: a display method without room
// for its call runs again once the area has grown, the object's name shown
// once (it stopped with a shortage after the name).
TEST(Retries, AnObjectShownWithoutRoomIsShownAgainAsTheObject) {
  ExpectScriptAllGrown("object_display.vke");
}

// An extension's native that has written a line and then finds no room
// for its result cannot run again without writing the line twice: its
// inputs are not put back, and the call ends in the shortage.
TEST(Retries, AnExtensionsNativeThatHasWrittenIsNotRunAgain) {
  ExpectScriptSame("extension_writes.vke");
}

// The serial library's natives, with a pseudo-terminal listed as the one
// port: a port's name given in the room of its number (which dropped the
// number first and ended in "Data stack overflow"), the list of names, the
// settings, opens by name and by settings, bytes written through the port,
// a flush and a close run again once the area has grown, and a port opened
// or closed once.
TEST(Retries, SerialNativesWithoutRoomRunAgain) {
  PtyPair pty;
  ListedPorts ports({pty.path()});
  ExpectAllGrown(
      "n = serialdevname(1);\nnames = serialdevname();\ndisp(strcmp(names{1}, n))\n"
      "serialdevname(2)\nm = devicename(1.5)\ns = serialdevset('BPS', 9600, 'Timeout', 0.2)\n"
      "fd = serialdevopen(n, s);\nfprintf(fd, 'x\\n');\nflushdevice(fd)\nclosedevice(fd);\n"
      "g = opendevice(devicename(1), 'b9600,T200');\nflushdevice(g);\nclosedevice(g)\n"
      "try, closedevice(g); catch, disp(lasterr), end\n"
      "try, serialdevopen('none'); catch, disp(lasterr), end\n");
}

}  // namespace
}  // namespace vke::test
