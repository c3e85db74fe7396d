// help and lookfor over sources and help files on the library path.
#include <string>

#include "tests/language/tools_fixture.hpp"

namespace vke {
namespace {

constexpr char kGeometry[] =
    "function a = area(w, ...\n"
    "                  h)\n"
    "% a = area(w, h)\n"
    "% The area of a rectangle, zero when a side is.\n"
    "%\n"
    "%\n"
    "% See also perimeter.\n"
    "  a = w * h;\n"
    "endfunction\n"
    "function p = perimeter(w, h)  % not help\n"
    "/*= <p>markup</p> */\n"
    "  p = 2 * (w + h);\n"
    "endfunction\n";

constexpr char kEngineHelp[] =
    "% The builtins.\n"
    "abs  % y = abs(x)\n"
    "% Absolute value; zero stays zero.\n"
    "\n"
    "||  % a || b\n"
    "% Or, ZERO work on the right when a is true.\n"
    "path  % p = path\n"
    "% The folders searched for libraries.\n";

class Help : public test::ToolsFixture {
 protected:
  Help() {
    files.WriteFile("geometry.vkl", kGeometry);
    files.WriteFile("VKE.hlp", kEngineHelp);
    EXPECT_EQ(Run("use geometry"), kOk);
  }
};

TEST_F(Help, UsageAndUnknownNames) {
  ASSERT_EQ(Run("help"), kOk);
  EXPECT_EQ(Out(),
            "Type \"help fn\" to get help on function fn or \"help 'op'\" to get help on operator "
            "op.\n"
            "Type \"lookfor str\" to get a list of functions whose short description contains "
            "\"str\".\n");
  ASSERT_EQ(Run("help nothing\nhelp sin"), kOk);
  EXPECT_EQ(Out(), "Sorry, no help about nothing\nSorry, no help about sin\n");
  ASSERT_EQ(Run("disp([help('area'), help('nothing'), help()])"), kOk);
  EXPECT_EQ(Out(), " T F T\n");
  EXPECT_EQ(Run("help(3)"), kErrWrongType);
  // A text longer than any name names no function.
  ASSERT_EQ(Run("tf = help(repmat('a', 1, 300)); disp(tf)"), kOk);
  EXPECT_EQ(Out(), "false\n");
  ASSERT_EQ(Run("help(repmat('a', 1, 300))"), kOk);
  EXPECT_EQ(Out(), "Sorry, no help about " + std::string(255, 'a') + "\n");
}

TEST_F(Help, TheCommentBlockAfterADefinition) {
  ASSERT_EQ(Run("help area"), kOk);
  EXPECT_EQ(Out(),
            " a = area(w, h)\n The area of a rectangle, zero when a side is.\n\n See also "
            "perimeter.\n");
  ASSERT_EQ(Run("help geometry::perimeter"), kOk);
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(Links(), " <p>markup</p> ");
}

TEST_F(Help, EntriesOfALibrarysHelpFile) {
  ASSERT_EQ(Run("help abs\nhelp('||')\nhelp VKE::abs"), kOk);
  EXPECT_EQ(Out(),
            " y = abs(x)\n Absolute value; zero stays zero.\n\n"
            " a || b\n Or, ZERO work on the right when a is true.\n"
            " y = abs(x)\n Absolute value; zero stays zero.\n\n");
  ASSERT_EQ(Run("help other::abs"), kOk);
  EXPECT_EQ(Out(), "Sorry, no help about other::abs\n");
  // A native before any library's header is the engine's.
  ASSERT_EQ(Run("help path\nhelp VKE::path"), kOk);
  EXPECT_EQ(Out(),
            " p = path\n The folders searched for libraries.\n"
            " p = path\n The folders searched for libraries.\n");
}

// A help file larger than the room asks for more, as the host then gives
// and runs the line again, rather than answering that there is no help;
// lookfor has written none of the links it found before it.
TEST_F(Help, AHelpFileThatDoesNotFitAsksForRoom) {
  files.WriteFile("VKE.hlp", std::string(kEngineHelp) + "% " + std::string(2u << 20, 'x') + "\n");
  EXPECT_EQ(Run("help abs"), kErrDataOverflow);
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(Run("lookfor zero"), kErrDataOverflow);
  EXPECT_EQ(Links(), "");
  Err();
  files.WriteFile("VKE.hlp", kEngineHelp);
  ASSERT_EQ(Run("lookfor zero"), kOk);
  EXPECT_EQ(Links(),
            "##[[help:geometry::area|geometry::area]]## The area of a rectangle, zero when a side "
            "is.\n"
            "##[[help:VKE::abs|VKE::abs]]## Absolute value; zero stays zero.\n"
            "##[[help:VKE::oror|VKE::||]]## Or, ZERO work on the right when a is true.\n");
}

TEST_F(Help, LookforWritesOneLinkPerMatch) {
  // The same function and description in two help files: one link.
  files.WriteFile("other.hlp",
                  "for  % for v = r\n% Runs the body once per column, or zero times.\n"
                  "geometry::area % a = area(w, h)\n"
                  "% The area of a rectangle, zero when a side is.\n");
  files.WriteFile("geometry.hlp",
                  "area % a = area(w, h)\n% The area of a rectangle, zero when a side is.\n");
  ASSERT_EQ(Run("lookfor ZERO"), kOk);
  EXPECT_EQ(Links(),
            "##[[help:geometry::area|geometry::area]]## The area of a rectangle, zero when a side "
            "is.\n"
            "##[[help:VKE::abs|VKE::abs]]## Absolute value; zero stays zero.\n"
            "##[[help:VKE::oror|VKE::||]]## Or, ZERO work on the right when a is true.\n"
            "##[[help:for|for]]## Runs the body once per column, or zero times.\n");
  ASSERT_EQ(Run("lookfor('no such text')"), kOk);
  EXPECT_EQ(Links(), "");
  EXPECT_EQ(Run("lookfor(3)"), kErrWrongTypeOverload);
}

}  // namespace
}  // namespace vke
