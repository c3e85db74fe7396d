// dialog and dialogset through a scripted AskInput: yes/no prompts, values
// edited as source text, texts that give other values shown again, cancels
// (402, or false and empty values), the options structure, and no host.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/undo_values.hpp"
#include "engine/values/values.hpp"
#include "tests/app/family_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using test::ElementListBuilder;
using test::FamilyHost;

// The host's prompt: each call takes the next answer (none left: cancel)
// and notes what it showed as "title|prompt|text".
struct ScriptedPrompt {
  struct Answer {
    bool accept;
    std::string text;  // the edited text; unused for yes/no prompts
  };
  std::deque<Answer> answers;
  std::vector<std::string> shown;
  std::vector<int32_t> flags;
  uint32_t idleSeen = 99;
  InstanceRecord* record = nullptr;

  static bool Ask(const char* title, int32_t titleLength, const char* prompt, int32_t promptLength,
                  char* edit, int32_t capacity, int32_t* length, int32_t flag, uintptr_t self) {
    auto* p = reinterpret_cast<ScriptedPrompt*>(self);
    std::string text = edit ? std::string(edit, static_cast<size_t>(*length)) : "-";
    p->shown.push_back(std::string(title, titleLength) + "|" + std::string(prompt, promptLength) +
                       "|" + text);
    p->flags.push_back(flag);
    if (p->record) p->idleSeen = p->record->idleState;
    if (p->answers.empty()) return false;
    const Answer a = p->answers.front();
    p->answers.pop_front();
    if (a.accept && edit) {
      EXPECT_LE(static_cast<int32_t>(a.text.size()), capacity);
      a.text.copy(edit, a.text.size());
      *length = static_cast<int32_t>(a.text.size());
    }
    return a.accept;
  }
};

class DialogNatives : public ::testing::Test {
 protected:
  DialogNatives() : h({"a", "b", "c"}, 4u << 20) {}
  void SetUp() override {
    ASSERT_EQ(h.Compile("function a = ask()\n a = dialog('Continue?');\n"
                        "function (a, b) = two()\n [a, b] = dialog('Values', 1, [2 3]);\n"
                        "function (a, b, c) = three()\n [a, b, c] = dialog('Values', 1, 2);\n"
                        "function a = styled()\n"
                        "  a = dialog(dialogset('Title', 'T', 'Prompt', 'P', 'NPrec', 3), 2.5);\n"
                        "function a = text()\n a = dialog('Name', 'abc');\n"
                        "function (a, b, c) = digits()\n"
                        "  [a, b, c] = dialog(dialogset('NPrec', 4), pi, [1/3 -2; 1e-5 123456], "
                        "single(pi));\n"
                        "function (a, b) = ranges()\n"
                        "  [a, b] = dialog(dialogset('NPrec', 4), [1:4 10], (0:3) + 1/3);\n"
                        "function (a, b) = plain()\n"
                        "  [a, b] = dialog('p', pi, [-1/3+2i (1:4)+0.5 1e300 4:7]);\n"
                        "function a = bad()\n a = dialog({}, 1);\n"
                        "function (a, b) = fewer()\n [a, b] = dialog('p', 1, 2, 3);\n"
                        "function (a, b, c) = more()\n [a, b, c] = dialog('p', 1);\n"),
              kOk);
    SetAskInputCallback(h.block(), &ScriptedPrompt::Ask, reinterpret_cast<uintptr_t>(&prompt));
  }
  ErrCode Run(const std::string& fn, std::vector<int32_t> outputs) {
    ElementListBuilder l;
    l.Instance(0, "app.kv", h.library()).Handler(kElemInit, {h.Fn(fn), outputs});
    EXPECT_EQ(h.Load(l), kOk);
    return h.Run(test::RequestFor(l));
  }
  std::string Value(int32_t variable) {
    EXPECT_EQ(PushUndoValue(h.block(), 0, 0, variable), kOk);
    std::string text = test::DumpTop(h.ctx());
    Drop(h.ctx());
    return text;
  }
  int32_t a() const { return h.Var("a"); }
  int32_t b() const { return h.Var("b"); }
  int32_t c() const { return h.Var("c"); }

  FamilyHost h;
  ScriptedPrompt prompt;
};

TEST_F(DialogNatives, OptionsStructureShowsItsVisibleFields) {
  EXPECT_EQ(test::EvaluateToText(h.ctx(), "dialogset"),
            "struct('NPrec',15, ...\n'Prompt','', ...\n'Title','')");
  EXPECT_EQ(test::EvaluateToText(h.ctx(), "getfield(dialogset('Format', 'x'), 'Format')"), "'x'");
  EXPECT_EQ(test::EvaluateToText(h.ctx(), "dialogset('Colour', 1)"), "error 108");
}

TEST_F(DialogNatives, YesOrNo) {
  prompt.answers = {{true, ""}, {false, ""}};
  ASSERT_EQ(Run("ask", {a()}), kOk);
  EXPECT_EQ(Value(a()), "true");
  ASSERT_EQ(Run("ask", {a()}), kOk);
  EXPECT_EQ(Value(a()), "false");
  EXPECT_EQ(prompt.shown, (std::vector<std::string>{"|Continue?|-", "|Continue?|-"}));
  EXPECT_EQ(prompt.flags, (std::vector<int32_t>{1, 1}));
  // Without a host to ask, the answer is no.
  SetAskInputCallback(h.block(), nullptr, 0);
  ASSERT_EQ(h.SetScalar(a(), 5), kOk);
  ASSERT_EQ(Run("ask", {a()}), kOk);
  EXPECT_EQ(Value(a()), "false");
}

TEST_F(DialogNatives, ValuesAreEditedAsSourceText) {
  prompt.answers = {{true, "7, [8 9]"}};
  ASSERT_EQ(Run("two", {a(), b()}), kOk);
  EXPECT_EQ(prompt.shown.at(0), "|Values|1,[2,3]");
  EXPECT_EQ(Value(a()), "7");
  EXPECT_EQ(Value(b()), "[8,9]");
  // The options structure gives title, prompt and digits.
  prompt.answers = {{true, "2.25"}};
  ASSERT_EQ(Run("styled", {a()}), kOk);
  EXPECT_EQ(prompt.shown.at(1), "T|P|2.5");
  EXPECT_EQ(Value(a()), "2.25");
  prompt.answers = {{true, "'xyz'"}};
  ASSERT_EQ(Run("text", {a()}), kOk);
  EXPECT_EQ(prompt.shown.at(2), "|Name|'abc'");
  EXPECT_EQ(Value(a()), "'xyz'");
}

// The fields show each number with NPrec significant digits (15 by
// default), not the digits that would give it back exactly, and their text
// gives values of the same class and size.
TEST_F(DialogNatives, NumbersHaveNPrecSignificantDigits) {
  prompt.answers = {{true, ""}};
  EXPECT_EQ(Run("digits", {a(), b(), c()}), kStatusNoPrint);  // an empty answer, then cancelled
  ASSERT_EQ(prompt.shown.size(), 2u);
  EXPECT_EQ(prompt.shown.at(0), "||3.142,[0.3333,-2\n1e-5,1.235e5],3.142single");
  // A run stays a range only where its rounded ends give it again.
  prompt.shown.clear();
  const std::string ranges = "[1:4,10],[0.3333,1.333,2.333,3.333]";
  prompt.answers = {{true, ranges}};
  ASSERT_EQ(Run("ranges", {a(), b()}), kOk);
  EXPECT_EQ(prompt.shown.at(0), "||" + ranges);
  EXPECT_EQ(Value(b()), "[0.3333,1.333:3.333]");  // four elements
  prompt.shown.clear();
  prompt.answers = {{true, ""}};
  EXPECT_EQ(Run("plain", {a(), b()}), kStatusNoPrint);
  ASSERT_FALSE(prompt.shown.empty());
  EXPECT_EQ(prompt.shown.at(0),
            "|p|3.14159265358979,[-0.333333333333333+2i,complex(1.5,0),complex(2.5,0),"
            "complex(3.5,0),...\ncomplex(4.5,0),complex(1e300,0),complex(4,0),complex(5,0),"
            "complex(6,0),...\ncomplex(7,0)]");
}

TEST_F(DialogNatives, TextsGivingOtherValuesAreShownAgain) {
  prompt.answers = {{true, "1"}, {true, "1, 2, 3"}, {true, "1 +"}, {true, "4, 5"}};
  ASSERT_EQ(Run("two", {a(), b()}), kOk);
  ASSERT_EQ(prompt.shown.size(), 4u);
  EXPECT_EQ(prompt.shown[1], "|Values|1");
  EXPECT_EQ(prompt.shown[3], "|Values|1 +");
  EXPECT_EQ(Value(a()) + " " + Value(b()), "4 5");
}

TEST_F(DialogNatives, CancelEndsTheHandlerOrAnswersFalse) {
  ASSERT_EQ(h.SetScalar(a(), -1), kOk);
  EXPECT_EQ(Run("two", {a(), b()}), kStatusNoPrint);
  EXPECT_EQ(Value(a()), "-1");
  ASSERT_EQ(Run("three", {a(), b(), c()}), kOk);
  EXPECT_EQ(Value(a()) + " " + Value(b()) + " " + Value(c()), "false [] []");
  prompt.answers = {{true, "3, 4"}};
  ASSERT_EQ(Run("three", {a(), b(), c()}), kOk);
  EXPECT_EQ(Value(a()) + " " + Value(b()) + " " + Value(c()), "true 3 4");
  // Without a host, values cannot be asked for either.
  SetAskInputCallback(h.block(), nullptr, 0);
  EXPECT_EQ(Run("two", {a(), b()}), kStatusNoPrint);
  ASSERT_EQ(Run("three", {a(), b(), c()}), kOk);
  EXPECT_EQ(Value(a()), "false");
}

TEST_F(DialogNatives, CountsAndArgumentsAreChecked) {
  EXPECT_EQ(Run("fewer", {a(), b()}), kErrTooFewArgout);
  EXPECT_EQ(Run("more", {a(), b(), c()}), kErrTooManyArgout);
  ASSERT_EQ(h.SetScalar(a(), -1), kOk);
  EXPECT_EQ(Run("bad", {a()}), kErrWrongTypeOverload);
  EXPECT_EQ(Value(a()), "-1");
  EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(DialogNatives, IdleProcessingRestsWhileTheDialogIsShown) {
  ElementListBuilder l;
  l.Instance(0, "app.kv", h.library()).Handler(kElemInit, {h.Fn("ask"), {a()}});
  ASSERT_EQ(h.Load(l), kOk);
  h.Record()->idleState = kIdleOn;
  prompt.record = h.Record();
  prompt.answers = {{true, ""}};
  ASSERT_EQ(h.Run(test::RequestFor(l)), kOk);
  EXPECT_EQ(prompt.idleSeen, uint32_t{kIdleOff});
  EXPECT_EQ(h.Record()->idleState, uint32_t{kIdleOn});
}

}  // namespace
}  // namespace vke
