// Application descriptions: what each kind of declaration becomes, and the
// errors, with their codes and lines, of descriptions that are not sound.
#include "tools/kvpack/description.hpp"

#include <gtest/gtest.h>

#include "app/element_list.hpp"
#include "app/errors.hpp"
#include "tools/kvpack/word_choices.hpp"

namespace vke::kvpack {
namespace {

AppDescription Parse(const std::string& text) {
  AppDescription app;
  DescriptionError error;
  EXPECT_TRUE(ParseDescription(text, "app.kv", &app, &error))
      << ErrorText(error) << " line " << error.line;
  return app;
}

std::string Inputs(const DescriptorSpec& d) {
  std::string s;
  for (const Argument& a : d.inputs) s += (a.name.empty() ? std::to_string(a.value) : a.name) + " ";
  return s;
}
std::string Outputs(const DescriptorSpec& d) {
  std::string s;
  for (const std::string& o : d.outputs) s += o + " ";
  return s;
}

TEST(Description, DeclarationsAndTheirArguments) {
  const AppDescription app = Parse(R"(# comment line
instance "demo.kv"
source "demo.vke"   # a comment after a declaration
var x, y
var z
title "Say \"hi\"\\"
help <<END
= Help =
  indented line
  END
uioptions 0x21
init (x, y) = setup()
figure "Point"
  draw show(x, y, -3, 7)
  mousedown target 2 (x, y) = (_x, _y)
  mousedrag x = move
  mouseup finish()
after x y: z = sum2(x, y)
after touch()
menu "Edit"
  item "Reset" (x, y) = setup() enabled "x ~= 0" checked "y > 0"
  separator
endmenu
paste "Value" x = (_xdata)
paste "" y = (_xdata) enabled "1"
embed "data.txt" file "data.txt"
embed "inline.txt" <<X
a
X
)");
  EXPECT_EQ(app.fileName, "demo.kv");
  ASSERT_EQ(app.sources.size(), 1u);
  EXPECT_EQ(app.sources[0].line, 3);
  EXPECT_EQ(app.variables, (std::vector<std::string>{"x", "y", "z"}));
  ASSERT_EQ(app.items.size(), 19u);
  const auto& it = app.items;
  EXPECT_EQ(it[0].text, "Say \"hi\"\\");
  EXPECT_EQ(it[1].text, "= Help =\n  indented line");
  EXPECT_EQ(it[2].word, 0x21);
  EXPECT_EQ(it[3].kind, kElemInit);
  EXPECT_EQ(Outputs(it[3].descriptor), "x y ");
  EXPECT_EQ(it[3].descriptor.function, "setup");
  EXPECT_EQ(Inputs(it[5].descriptor), "x y -3 7 ");
  EXPECT_EQ(it[5].line, 14);
  EXPECT_EQ(it[6].word, 2);
  EXPECT_TRUE(it[6].descriptor.function.empty());
  EXPECT_EQ(Inputs(it[6].descriptor), "_x _y ");
  EXPECT_EQ(it[7].word, -1);  // any target
  EXPECT_EQ(Outputs(it[7].descriptor), "x ");
  EXPECT_EQ(it[7].descriptor.function, "move");
  EXPECT_EQ(Outputs(it[8].descriptor), "");
  EXPECT_EQ(it[9].variables, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(it[9].descriptor.function, "sum2");
  EXPECT_TRUE(it[10].variables.empty());
  EXPECT_EQ(it[12].enabled, "x ~= 0");
  EXPECT_EQ(it[12].checked, "y > 0");
  EXPECT_EQ(it[15].text, "Value");
  EXPECT_TRUE(it[16].text.empty());
  EXPECT_EQ(it[17].file, "data.txt");
  EXPECT_EQ(app.items.back().data, "a");
}

// Every handler keyword of a figure makes the element kind the runtime looks
// for; the second drag handler has a keyword of its own.
TEST(Description, FigureHandlerKeywordsMakeTheirKinds) {
  const struct {
    const char* keyword;
    ElementKind kind;
  } handlers[] = {
      {"mousedown", kElemMouseDown},
      {"mousedrag", kElemMouseDrag},
      {"seconddrag", kElemSecondDrag},
      {"mouseup", kElemMouseUp},
      {"mouseover", kElemMouseOver},
      {"mousescroll", kElemMouseScroll},
      {"dragin", kElemDragIn},
      {"dragout", kElemDragOut},
      {"draw", kElemDraw},
  };
  for (const auto& h : handlers) {
    SCOPED_TRACE(h.keyword);
    const AppDescription app =
        Parse(std::string("var x\nfigure \"P\"\n  ") + h.keyword + " x = f(x)\n");
    ASSERT_FALSE(app.items.empty());
    EXPECT_EQ(app.items.back().kind, h.kind);
    EXPECT_EQ(app.items.back().descriptor.function, "f");
  }
}

// Each limit the parser accepts, and the first value past it.
TEST(Description, EachLimitAndTheValuePastIt) {
  const auto fails = [](const std::string& text) {
    AppDescription app;
    DescriptionError error;
    return ParseDescription(text, "app.kv", &app, &error) ? kOk : error.code;
  };
  EXPECT_EQ(Inputs(Parse("init f(1073741823, -1073741824)\n").items[0].descriptor),
            "1073741823 -1073741824 ");
  EXPECT_EQ(fails("init f(1073741824)\n"), kKvSyntaxError);
  EXPECT_EQ(fails("init f(-1073741825)\n"), kKvSyntaxError);
  const std::string name28(28, 'v');
  EXPECT_EQ(Parse("var " + name28 + "\n").variables[0], name28);
  EXPECT_EQ(fails("var " + name28 + "w\n"), kKvBadVarDecl);
  EXPECT_EQ(Parse("uioptions 0xFFFFFFFF\n").items[0].word, 0xFFFFFFFF);
  EXPECT_EQ(fails("uioptions 0x100000000\n"), kKvSyntaxError);
  // Lines ended by CR LF: the blocks keep no carriage return.
  const AppDescription app =
      Parse("help <<END\r\none\r\n  two\r\nEND\r\nembed \"e\" <<X\r\nbody\r\nX\r\nvar a\r\n");
  ASSERT_EQ(app.items.size(), 2u);
  EXPECT_EQ(app.items[0].text, "one\n  two");
  EXPECT_EQ(app.items[1].data, "body");
  EXPECT_EQ(app.variables, std::vector<std::string>{"a"});
}

TEST(Description, TheKVFileNameDefaultsToTheDescriptions) {
  EXPECT_EQ(Parse("var a\n").fileName, "app.kv");
}

struct BadCase {
  const char* text;
  ErrCode code;
  int32_t line;
};

TEST(Description, ErrorsGiveTheTablesCodeAndTheLine) {
  const BadCase cases[] = {
      {"frobnicate 3\n", kKvUnknownKeyword, 1},
      {"var a\n\ntitle \"open\n", kKvUnterminatedString, 3},
      {"help\n", kKvBlockExpected, 1},
      {"help <<END\ntext\n", kKvUnterminatedBlock, 1},
      {"title 3\n", kKvBlockExpected, 1},
      {"menu \"A\"\nitem 3 f()\n", kKvStringExpected, 2},
      {"title \"a\" $\n", kKvUnexpectedChar, 1},
      {"var a\nvar a\n", kKvVarDuplicate, 2},
      {"var _x\n", kKvUnexpectedStdVar, 1},
      {"var 3\n", kKvBadVarDecl, 1},
      {"var a\ninit (a, b = f()\n", kKvUnexpectedCharInArgs, 2},
      {"init f(a, b\n", kKvUnterminatedInArgs, 1},
      {"init a = \n", kKvBadFunName, 1},
      {"init\n", kKvMissingFunDecl, 1},
      {"init f = \n", kKvBadFunName, 1},
      {"init (a) = (b, c)\n", kKvBadDef, 1},
      {"init f() g\n", kKvUnexpectedCharAfterFunDecl, 1},
      {"after : f()\n", kKvMissingListOfVar, 1},
      {"after a 3: f()\n", kKvUnexpectedCharInListOfVar, 1},
      {"menu \"A\"\nmenu \"B\"\n", kKvNestedMenu, 2},
      {"endmenu\n", kKvMenuendMismatch, 1},
      {"menu \"A\"\nitem \"x\" f()\n", kKvMissingEndmenu, 2},
      {"item \"x\" f()\n", kKvMenuOutsideBeginmenu, 1},
      {"menu \"A\"\ninit f()\nendmenu\n", kKvInvalidDeclHere, 2},
      {"draw f()\n", kKvInvalidDeclHere, 1},
      {"figure \"P\"\ntitle \"late\"\n", kKvInvalidDeclHere, 2},
      {"language \"en\"\nendlanguage\ninit f()\n", kKvInvalidDeclHere, 3},
      {"endlanguage\n", kKvInvalidDeclHere, 1},
      {"code \"a\"\ncode \"b\"\n", kKvInvalidMultipleDecl, 2},
      {"instance \"a.kv\"\ninstance \"b.kv\"\n", kKvInvalidMultipleDecl, 2},
      {"figure \"\"\n", kKvEmptyString, 1},
      {"paste \"\" f()\n", kKvEmptyString, 1},
      {"menu \"A\"\nitem \"x\" f() checked \"\"\nendmenu\n", kKvEmptyString, 2},
      {"copy \"x\" f() checked \"1\"\n", kKvUnexpectedCharAfterFunDecl, 1},
      {"uioptions 1.5\n", kKvSyntaxError, 1},
      {"uioptions 0x1ffffffff\n", kKvSyntaxError, 1},
      // Integer inputs are stored biased by 2^30 in a signed word.
      {"init f(9223372036854775807)\n", kKvSyntaxError, 1},
      {"var a\ninit f(1073741824)\n", kKvSyntaxError, 2},
      {"init f(-1073741825)\n", kKvSyntaxError, 1},
      // Menu flags are single expressions, nothing that could add statements.
      {"menu \"A\"\nitem \"x\" f() enabled \"1); error('inj'); (1\"\n", kKvSyntaxError, 2},
      {"menu \"A\"\nitem \"x\" f() checked \"1\\nerror('inj')\"\n", kKvSyntaxError, 2},
      {"menu \"A\"\nitem \"x\" f() enabled \"1 % (\"\n", kKvSyntaxError, 2},
      {"menu \"A\"\nitem \"x\" f() enabled \"a, b\"\n", kKvSyntaxError, 2},
      {"menu \"A\"\nitem \"x\" f() enabled \"'1); (' ...\"\n", kKvSyntaxError, 2},
  };
  for (const BadCase& c : cases) {
    AppDescription app;
    DescriptionError error;
    EXPECT_FALSE(ParseDescription(c.text, "app.kv", &app, &error)) << c.text;
    EXPECT_EQ(error.code, c.code) << c.text << ErrorText(error);
    EXPECT_EQ(error.line, c.line) << c.text;
  }
}

TEST(Description, EveryPrefixParsesOrFailsWithALine) {
  const std::string text = R"(var x y
title "T"
help <<END
text
END
init (x, y) = setup(x, -2)
figure "P"
  mousedown target 1 (x, y) = (_x, _y)
after x: y = f(x)
menu "M"
  item "I" x = g() enabled "x > 0" checked "y"
endmenu
embed "e" <<E
data
E
)";
  for (size_t n = 0; n <= text.size(); n++) {
    AppDescription app;
    DescriptionError error;
    if (!ParseDescription(text.substr(0, n), "app.kv", &app, &error)) {
      EXPECT_GE(error.code, 10000) << n;
      EXPECT_GT(error.line, 0) << n;
    }
  }
}

// The errors say what may stand where the line went wrong: the keyword
// nearest to a misspelt one, or all of them, and a text where a handler's
// binding or one of its inputs belongs.
TEST(Description, ErrorsSayWhatIsAllowed) {
  const auto detail = [](const std::string& text, ErrCode code) {
    AppDescription app;
    DescriptionError error;
    EXPECT_FALSE(ParseDescription(text, "app.kv", &app, &error)) << text;
    EXPECT_EQ(error.code, code) << text;
    return error.detail;
  };
  EXPECT_EQ(detail("var x\nfigur \"P\"\n", kKvUnknownKeyword),
            "figur; the nearest keyword is figure");
  EXPECT_EQ(detail("titel \"T\"\n", kKvUnknownKeyword), "titel; the nearest keyword is title");
  // A slip in a short keyword is near it too.
  EXPECT_EQ(detail("figure \"P\"\nky \"a\" f()\n", kKvUnknownKeyword),
            "ky; the nearest keyword is key");
  EXPECT_EQ(detail("\"figure\" \"P\"\n", kKvUnknownKeyword),
            "\"figure\"; the nearest keyword is figure");
  const std::string all = detail("frobnicate 3\n", kKvUnknownKeyword);
  EXPECT_TRUE(all.starts_with("frobnicate; the keywords are instance, title, version, help, "))
      << all;
  EXPECT_TRUE(all.ends_with(", embed, library, startup, code, source, var")) << all;
  EXPECT_EQ(detail("(3)\n", kKvUnknownKeyword).substr(0, 24), "(; the keywords are inst");

  // More than a keyword takes: what it takes is told.
  EXPECT_EQ(detail("version \"1\" \"2\"\n", kKvUnexpectedChar),
            "\"2\" after version, which takes one text: a string, or <<TAG and the lines up to "
            "TAG");
  EXPECT_EQ(detail("uioptions 1 2\n", kKvUnexpectedChar),
            "2 after uioptions, which takes one integer");
  EXPECT_EQ(detail("source \"a.vke\" \"b.vke\"\n", kKvUnexpectedChar),
            "\"b.vke\" after source, which takes one string, the file's path");
  EXPECT_EQ(detail("embed \"e\" file \"e.txt\" x\n", kKvUnexpectedChar),
            "x after embed, which takes a name and then file \"PATH\" or one text");
  EXPECT_EQ(detail("menu \"M\"\n  separator 1\nendmenu\n", kKvUnexpectedChar),
            "1 after separator, which takes nothing");
  EXPECT_EQ(detail("instance \"a.kv\" \"b\"\n", kKvUnexpectedChar),
            "\"b\" after instance, which takes one string, the KV file's name");

  const std::string forms = std::string("; ") + kDescriptorForms;
  EXPECT_EQ(detail("var x\nfigure \"P\"\n  draw \"show(x)\"\n", kKvBadFunName),
            "\"show(x)\" is a text where a binding is expected" + forms);
  EXPECT_EQ(detail("menu \"M\"\n  item \"Reset\" \"x = reset()\"\n", kKvBadFunName),
            "\"x = reset()\" is a text where a binding is expected" + forms);
  EXPECT_EQ(detail("var x\ninit x = \"setup\"()\n", kKvBadFunName),
            "\"setup\" is a text where a function name is expected" + forms);
  EXPECT_EQ(detail("var x\ninit x = setup(\"a\")\n", kKvUnexpectedCharInArgs),
            "\"a\" is a text where an input is expected (a variable, a standard variable or an "
            "integer)" +
                forms);
}

// Slips of the keyboard are near; words that share little are not.
TEST(Description, NearestWordsAreSlipsOfTheKeyboard) {
  EXPECT_EQ(EditDistance("titel", "title"), 1u);  // two neighbours swapped
  EXPECT_EQ(EditDistance("draw", "drawmouse"), 5u);
  EXPECT_EQ(EditDistance("", "key"), 3u);
  const std::vector<std::string_view> words = {"draw", "drawmouse", "mousedown", "mouseup", "dra"};
  EXPECT_EQ(NearestWords("drw", words), (std::vector<std::string_view>{"draw", "dra"}));
  EXPECT_EQ(NearestWords("mousedwn", words), std::vector<std::string_view>{"mousedown"});
  EXPECT_TRUE(NearestWords("mouse", words).empty());
  EXPECT_TRUE(NearestWords("x", {"var", "key"}).empty());
  EXPECT_EQ(NearestWords("ky", {"var", "key"}), std::vector<std::string_view>{"key"});
}

TEST(Description, ErrorTextsAreTheTablesMessages) {
  EXPECT_EQ(ErrorText({kKvUnknownKeyword, 3, "frob", ""}), "Unknown KV file keyword (10014): frob");
  EXPECT_EQ(ErrorText({kKvMenuendMismatch, 1, "", ""}),
            "\"endmenu\" not matching \"beginmenu\" (10047)");
  EXPECT_EQ(ErrorText({kErrFileNotFound, 0, "a.vke", ""}), "File not found (300): a.vke");
  EXPECT_EQ(ErrorText({kErrUndefFun, 2, "", "Unknown function 'f'"}), "Unknown function 'f' (121)");
}

}  // namespace
}  // namespace vke::kvpack
