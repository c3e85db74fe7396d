// The engine asked about itself: info and its listings, inmem, which,
// isglobal and iskeyword, as lines and as values.
#include <string>

#include "engine/code/operators.hpp"
#include "tests/language/tools_fixture.hpp"

namespace vke {
namespace {

class Introspection : public test::ToolsFixture {};

TEST_F(Introspection, VersionAndSizesComeFromTheNative) {
  ASSERT_EQ(Run("info"), kOk);
  EXPECT_EQ(Out(), "VKE 5.1\n");
  ASSERT_EQ(Run("v = info;"), kOk);
  EXPECT_EQ(Out(), "");
  ASSERT_EQ(Run("disp(v)\ninfo('s')\ns = info('size'); disp([s.int, s.ptr])"), kOk);
  EXPECT_EQ(Out(), "VKE 5.1\nint: 4 bytes\nptr: 8 bytes\n         4         8\n");
  // Only the first letter counts; an unknown one, none, or inmem's own
  // letter is refused.
  EXPECT_EQ(Run("info('xyz')"), kErrUnknownOpt);
  EXPECT_EQ(Run("info('')"), kErrUnknownOpt);
  EXPECT_EQ(Run("info('I')"), kErrUnknownOpt);
  EXPECT_EQ(Run("info(3)"), kErrWrongTypeOverload);
}

TEST_F(Introspection, VariablesDescribedByKind) {
  ASSERT_EQ(Run("global G\nG = 1;\na = [1 2; 3 4]; z = 1 + 2i; c = 'hi'; t = int8([1 2 3]);\n"
                "l = {1, 2, 3}; s.f = 1; u = zeros(2, 2, 2) + 1i; q = @sin;\n"
                "info('variables')"),
            kOk);
  EXPECT_EQ(Out(),
            "ans (not defined)\nG (global)\na (2x2)\nz (1x1 complex)\nc (char array ndim=2)\n"
            "t (array ndim=2)\nl (list length=3)\ns (struct size=3)\nu (array ndim=3 complex)\n"
            "q (binary data size=1)\n");
  ASSERT_EQ(Run("v = info('v'); disp(numel(v)), disp(v(3).name), disp(v(3).defined), "
                "disp(v(1).defined)"),
            kOk);
  EXPECT_EQ(Out(), "        11\na\ntrue\nfalse\n");
}

TEST_F(Introspection, FunctionsLibrariesAndGlobals) {
  files.WriteFile("shapes.vkl",
                  "function a = area(r)\n  a = r^2;\nendfunction\n"
                  "function p = shapes::perimeter(r)\n  p = 4*r;\nendfunction\n");
  ASSERT_EQ(Run("use shapes\narea(2);\ninfo('f')\ninfo('m')\ninmem\ninfo('l')\ninfo('u')"), kOk);
  EXPECT_EQ(Out(),
            "shapes/area\n"
            "(shapes/shapes::perimeter)\n"
            "shapes/area\n"
            "_cli\nshapes\n"
            "shapes\n");
  ASSERT_EQ(Run("f = info('f'); disp(f(1).library), disp(f(1).loaded)\n"
                "m = inmem; disp(m(1).name)\nl = info('l'); disp(l{2})"),
            kOk);
  EXPECT_EQ(Out(), "shapes\ntrue\narea\nshapes\n");
  ASSERT_EQ(Run("global G1 G2\ninfo('g')\ng = info('g'); disp(class(g))"), kOk);
  EXPECT_EQ(Out(), "G1\nG2\nlist\n");
}

TEST_F(Introspection, PersistentVariablesAndThreads) {
  files.WriteFile("count.vkl",
                  "function c = counter()\n  persistent n\n  if isempty(n)\n    n = 0;\n  end\n"
                  "  n = n + 1;\n  c = n;\nendfunction\n");
  ASSERT_EQ(Run("use count\ncounter();\nglobal G\ninfo('p')\np = info('p'); disp(p{1})"), kOk);
  EXPECT_EQ(Out(), "n\nn\n");
  ASSERT_EQ(Run("id = threadnew(@(t) threadsleep(t), [], 1);\ndisp(id)\ninfo('t')\n"
                "t = info('t'); disp([numel(t), t(1).id == id])\nthreadkill(id);"),
            kOk);
  // The listing writes the id as numbers are written, disp pads it.
  EXPECT_EQ(Out(), "         1\n1\n         1         1\n");
}

TEST_F(Introspection, BuiltinsOperatorsAndThreads) {
  ASSERT_EQ(Run("info('b')"), kOk);
  const std::string builtins = Out();
  EXPECT_EQ(builtins.substr(0, 10), "VKE/abs u\n");
  // The natives follow the builtins, each with its library.
  EXPECT_NE(builtins.find("\nVKE/which u\n"), std::string::npos);
  EXPECT_NE(builtins.find("\ndebug/dbstop u\n"), std::string::npos);
  ASSERT_EQ(Run("o = info('o'); disp(numel(o)), disp(o(1).module)\n"
                "t = info('t'); disp(numel(t))"),
            kOk);
  EXPECT_EQ(Out(), "        31\nVKE\n         0\n");
}

TEST_F(Introspection, WhatANameStandsFor) {
  files.WriteFile("shapes.vkl", "function a = area(r)\n  a = r^2;\nendfunction\n");
  ASSERT_EQ(Run("use shapes\nx = 1;\n"
                "disp(which('abs')), disp(which('info')), disp(which('x'))\n"
                "disp(which('area')), disp(which('shapes::area')), disp(size(which('nothing')))"),
            kOk);
  EXPECT_EQ(
      Out(),
      "(native)/abs\n(native)/info\n(var)/x\nshapes/area\nshapes/area\n         0         0\n");
  ASSERT_EQ(Run("global G\nG = 2; x = 3;\n"
                "disp([isglobal('G'), isglobal('x'), isglobal('nothing')])"),
            kOk);
  EXPECT_EQ(Out(), " T F F\n");
}

TEST_F(Introspection, Keywords) {
  ASSERT_EQ(Run("disp([iskeyword('while'), iskeyword('While'), iskeyword('')])\n"
                "k = iskeyword(); disp(numel(k)), disp(k{1})"),
            kOk);
  EXPECT_EQ(Out(), " T F F\n        29\n" + std::string(kKeywords[0]) + "\n");
}

}  // namespace
}  // namespace vke
