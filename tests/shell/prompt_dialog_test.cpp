// The engine's prompt through the windows: the default answer read no
// further than the buffer, the answer cut at the buffer on a character
// boundary with "é" kept both ways, Cancel leaving the buffer alone, the
// message boxes, and the application's context answering the engine's
// callback through the windows once they are set.
#include "shell/prompt_dialog.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/host_context.hpp"

namespace vke {
namespace {

// Answers with a text set beforehand, or cancels; records what it was shown.
class FakePromptWindows : public PromptWindows {
 public:
  bool AskText(const std::string& title, const std::string& prompt, std::string* answer) override {
    shownTitle = title;
    shownPrompt = prompt;
    shownAnswer = *answer;
    asked++;
    if (!accept) return false;
    *answer = reply;
    return true;
  }
  bool ShowMessage(const std::string& title, const std::string& text, bool okCancel) override {
    shownTitle = title;
    shownPrompt = text;
    withCancel = okCancel;
    messages++;
    return accept;
  }

  bool accept = true;
  std::string reply;
  std::string shownTitle, shownPrompt, shownAnswer;
  bool withCancel = false;
  int asked = 0;
  int messages = 0;
};

TEST(PromptDialog, TheAnswerIsCutAtTheBufferOnACharacterBoundary) {
  FakePromptWindows windows;
  windows.reply = "abcdé";  // 'é' takes bytes 4 and 5
  char buffer[8] = "xyz";
  int32_t length = 3;
  ASSERT_TRUE(RunPromptDialog(windows, "Title", 5, "Name?", 5, buffer, 5, &length, 0));
  EXPECT_EQ(windows.shownTitle, "Title");
  EXPECT_EQ(windows.shownPrompt, "Name?");
  EXPECT_EQ(windows.shownAnswer, "xyz");
  EXPECT_EQ(length, 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");

  // With room for it, "é" comes back whole, as UTF-8.
  ASSERT_TRUE(RunPromptDialog(windows, "T", 1, "P", 1, buffer, 6, &length, 0));
  EXPECT_EQ(length, 6);
  EXPECT_EQ(std::string(buffer, 6), "abcdé");
  // ... and goes out as it came.
  windows.reply = "ok";
  ASSERT_TRUE(RunPromptDialog(windows, "Tête", 5, "Prénom ?", 9, buffer, 8, &length, 0));
  EXPECT_EQ(windows.shownAnswer, "abcdé");
  EXPECT_EQ(windows.shownTitle, "Tête");
  EXPECT_EQ(windows.shownPrompt, "Prénom ?");
}

TEST(PromptDialog, TheDefaultAnswerIsReadNoFurtherThanTheBuffer) {
  FakePromptWindows windows;
  windows.accept = false;
  char buffer[4] = {'a', 'b', 'c', 'd'};
  int32_t length = 1000;  // longer than the buffer
  EXPECT_FALSE(RunPromptDialog(windows, "T", 1, "P", 1, buffer, 4, &length, 0));
  EXPECT_EQ(windows.shownAnswer, "abcd");
  // Cancel leaves the buffer and its length as they were.
  EXPECT_EQ(length, 1000);
  EXPECT_EQ(std::string(buffer, 4), "abcd");

  length = -5;
  EXPECT_FALSE(RunPromptDialog(windows, nullptr, 3, "P", -1, buffer, 4, &length, 0));
  EXPECT_EQ(windows.shownAnswer, "");
  EXPECT_EQ(windows.shownTitle, "");
  EXPECT_EQ(windows.shownPrompt, "");

  // A buffer without room takes an empty answer.
  windows.accept = true;
  windows.reply = "long";
  length = 0;
  EXPECT_TRUE(RunPromptDialog(windows, "T", 1, "P", 1, buffer, 0, &length, 0));
  EXPECT_EQ(length, 0);
  EXPECT_EQ(buffer[0], 'a');
}

TEST(PromptDialog, MessagesWithoutABuffer) {
  FakePromptWindows windows;
  EXPECT_TRUE(RunPromptDialog(windows, "Caption", 7, "Go on?", 6, nullptr, 0, nullptr, 1));
  EXPECT_TRUE(windows.withCancel);
  EXPECT_EQ(windows.shownTitle, "Caption");
  windows.accept = false;
  EXPECT_FALSE(RunPromptDialog(windows, "Caption", 7, "Go on?", 6, nullptr, 0, nullptr, 1));
  // With OK only, the answer is always false.
  windows.accept = true;
  EXPECT_FALSE(RunPromptDialog(windows, "Caption", 0, "Done.", 5, nullptr, 0, nullptr, 0));
  EXPECT_FALSE(windows.withCancel);
  EXPECT_EQ(windows.shownTitle, "");
  EXPECT_EQ(windows.messages, 3);
  EXPECT_EQ(windows.asked, 0);
}

TEST(PromptDialog, Utf8Prefixes) {
  EXPECT_EQ(Utf8PrefixLength("abc", 5), 3u);
  EXPECT_EQ(Utf8PrefixLength("ab€", 4), 2u);  // the euro sign takes three bytes
  EXPECT_EQ(Utf8PrefixLength("ab€", 5), 5u);
  EXPECT_EQ(Utf8PrefixLength("€x", 2), 0u);
  EXPECT_EQ(Utf8PrefixLength("\xF0\x9F\x98\x80!", 4), 4u);
  EXPECT_EQ(Utf8PrefixLength("\xF0\x9F\x98\x80!", 3), 0u);
}

TEST(PromptDialog, TheApplicationContextAsksThroughTheWindows) {
  KVAppContext context(8290304, 8290304);
  ASSERT_TRUE(context.Created());
  KVContextBlock* block = context.Block();
  char buffer[16] = "1,2";
  int32_t length = 3;
  // Without windows the engine is told nobody answered.
  EXPECT_FALSE(block->askInput("T", 1, "P", 1, buffer, 16, &length, 0, block->askInputArg));
  FakePromptWindows windows;
  windows.reply = "3,4";
  context.SetPromptWindows(&windows);
  ASSERT_TRUE(block->askInput("Values", 6, "a, b", 4, buffer, 16, &length, 0, block->askInputArg));
  EXPECT_EQ(windows.shownAnswer, "1,2");
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), "3,4");
}

}  // namespace
}  // namespace vke
