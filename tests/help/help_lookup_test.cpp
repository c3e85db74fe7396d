// help opens whatever lookfor links to: in the runner, whose tables lack
// the natives of figures, controls and events, and inside a packed
// application, which has them all; and it shows a help file that needs
// more room than the area has once the area has grown.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "compiler/help_files.hpp"
#include "compiler/tool_natives.hpp"
#include "engine/values/values.hpp"
#include "tests/help/example_hosts.hpp"
#include "tests/help/help_catalog.hpp"

namespace vke::test {
namespace {

constexpr char kLinkHead[] = "##[[help:";
constexpr char kLinkEnd[] = "]]## ";
// What the full area leaves free: much less than a help file.
constexpr uint32_t kLeftFree = 4u << 10;

// The word a link's key gives an operator whose name holds "|", else the
// name itself.
std::string KeyWordOf(const std::string& name) {
  for (const LinkKeyWord& k : kLinkKeyWords)
    if (name == k.name) return k.word;
  return name;
}

// The keys of the link lines of lookfor's output: "##[[help:KEY|NAME]]##
// DESCRIPTION", where KEY, which ends at the first "|", is NAME, but with
// a word for an operator whose name holds "|".
std::set<std::string> LinkKeys(const std::string& output, std::vector<std::string>* bad) {
  std::set<std::string> keys;
  size_t at = 0;
  while ((at = output.find(kLinkHead, at)) != std::string::npos) {
    at += sizeof kLinkHead - 1;
    const size_t end = output.find(kLinkEnd, at);
    if (end == std::string::npos) break;
    const std::string link = output.substr(at, end - at);
    const size_t bar = link.find('|');
    const std::string key = link.substr(0, bar), name = link.substr(bar + 1);
    const size_t qualified = name.rfind("::");
    const size_t cut = qualified == std::string::npos ? 0 : qualified + 2;
    if (bar != std::string::npos && key == name.substr(0, cut) + KeyWordOf(name.substr(cut)))
      keys.insert(key);
    else
      bad->push_back(link);
  }
  return keys;
}

// The key of the link lookfor writes for a carried entry.
std::string LinkKeyOf(const CarriedEntry& e) {
  std::string library = e.qualifier.empty() ? e.library : e.qualifier;
  const std::string key = KeyWordOf(e.key);
  return library == "other" ? key : library + "::" + key;
}

// Letters, few, such that each described entry's description holds one.
std::string CoveringLetters(const std::vector<CarriedEntry>& entries) {
  std::vector<std::string> left;
  for (const CarriedEntry& e : entries)
    if (e.described) {
      std::string lower;
      for (char c : e.description) lower += static_cast<char>(std::tolower(c));
      left.push_back(lower);
    }
  std::string letters;
  while (!left.empty()) {
    std::map<char, size_t> counts;
    for (const std::string& d : left)
      for (char c : std::set<char>(d.begin(), d.end()))
        if (std::isalpha(static_cast<unsigned char>(c))) counts[c]++;
    if (counts.empty()) break;
    char best = counts.begin()->first;
    for (const auto& [c, n] : counts)
      if (n > counts[best]) best = c;
    letters += best;
    std::erase_if(left, [&](const std::string& d) { return d.find(best) != std::string::npos; });
  }
  EXPECT_TRUE(left.empty()) << left.size() << " descriptions hold no letter";
  return letters;
}

// VKE text that writes each name, one a line, whose help(name) is false.
// The names go as character codes: they hold quotes and backslashes.
std::string HelpCheck(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    std::string codes;
    for (unsigned char c : name) codes += std::to_string(c) + " ";
    text += "n = char([" + codes + "]); if ~help(n), fprintf('%s\\n', n); end\n";
  }
  return text;
}

TEST(HelpLookup, OpensEveryLinkLookforWritesInTheRunnerAndInAnApplication) {
  ScratchFolder folder;
  const std::vector<CarriedEntry> entries = CarriedEntries();
  std::string search;
  for (char c : CoveringLetters(entries)) search += std::string("lookfor ") + c + "\n";
  std::string links;
  ASSERT_EQ(RunInRunner(search, &links), kOk) << links;
  std::vector<std::string> bad;
  const std::set<std::string> keys = LinkKeys(links, &bad);
  EXPECT_EQ(bad, std::vector<std::string>{}) << "links of no KEY|NAME form";
  // The words reach every entry that has a description.
  std::vector<std::string> unlinked;
  for (const CarriedEntry& e : entries)
    if (e.described && !keys.count(LinkKeyOf(e))) unlinked.push_back(LinkKeyOf(e));
  EXPECT_EQ(unlinked, std::vector<std::string>{}) << "entries lookfor links nowhere";
  ASSERT_GT(keys.size(), 600u);
  std::string closed;
  EXPECT_EQ(RunInRunner(HelpCheck(keys), &closed), kOk) << closed;
  EXPECT_EQ(closed, "") << "links help does not open in the runner";
  EXPECT_EQ(RunInFigure(HelpCheck(keys), &closed), kOk) << closed;
  EXPECT_EQ(closed, "") << "links help does not open in an application";
}

// What help writes, and whether it says "Sorry", for the names lookfor
// links to that are no native here, and for those that are: the whole
// output, one entry from its first line to its last and nothing after it,
// the same for a bare name as for its qualified one.
TEST(HelpLookup, ShowsTopicsOperatorKeysAndNativesNotLoaded) {
  ScratchFolder folder;
  struct Case {
    const char* name;
    const char* first;           // the first line help writes
    const char* last;            // how it ends (an entry with an empty line)
    const char* same = nullptr;  // a name whose help is the same text
  };
  const Case runner[] = {
      {"break", " break\n", " See also: continue, return, for, while.\n\n", "other::break"},
      {"end", " end\n", " See also: if, for, while, switch, try, endfunction.\n\n", "other::end"},
      {"switch", " switch VALUE case C1 ... [case C2 ...] [otherwise ...] end\n",
       " See also: case, otherwise, if, strcmp.\n\n", "other::switch"},
      {"operators", " operators, from the tightest binding to the loosest\n", nullptr,
       "other::operators"},
      {"VKE::oror", " A || B\n", " See also: &&, |, or, ?, any.\n\n", "'||'"},
      {"oror", " A || B\n", " See also: &&, |, or, ?, any.\n\n", "VKE::oror"},
      {"VKE::vbar", " A | B\n", " See also: or, ||, &, xor.\n\n", "'|'"},
      {"vbar", " A | B\n", " See also: or, ||, &, xor.\n\n", "VKE::vbar"},
      {"slider", "slider is in the library Corvanel; it is not loaded here.\n", nullptr,
       "Corvanel::slider"},
      {"Corvanel::_x", "_x is in the library Corvanel; it is not loaded here.\n", nullptr},
      {"sin", " Y = sin(X)\n", nullptr, "VKE::sin"},
      {"Corvanel::sin", "Sorry, no help about Corvanel::sin\n",
       "Sorry, no help about Corvanel::sin\n"},
      {"other::nosuch", "Sorry, no help about other::nosuch\n",
       "Sorry, no help about other::nosuch\n"},
      {"other::break", " break\n", " See also: continue, return, for, while.\n\n"},
      {"nosuch", "Sorry, no help about nosuch\n", "Sorry, no help about nosuch\n"},
  };
  auto help = [](const std::string& name) {
    std::string output;
    EXPECT_EQ(RunInRunner("help " + name + "\n", &output), kOk) << output;
    return output;
  };
  for (const Case& c : runner) {
    const std::string output = help(c.name);
    EXPECT_EQ(output.substr(0, output.find('\n') + 1), c.first) << "help " << c.name;
    if (c.last) {
      EXPECT_TRUE(output.ends_with(c.last)) << "help " << c.name << ":\n" << output;
    }
    if (c.same) {
      EXPECT_EQ(output, help(c.same)) << "help " << c.name << " and " << c.same;
    }
    EXPECT_EQ(output.find("Sorry"), std::string(c.first).find("Sorry")) << output;
    EXPECT_EQ(output.find(std::string("\n") + c.first), std::string::npos)
        << "help " << c.name << ":\n"
        << output;
  }
  // In an application the natives are loaded: no note.
  std::string output;
  ASSERT_EQ(RunInFigure("help slider\nhelp _x\n", &output), kOk) << output;
  EXPECT_EQ(output.find("not loaded"), std::string::npos) << output;
  EXPECT_EQ(output.find(" slider(LABELS, VALUE, RANGE"), 0u) << output;
  // The answer as a value writes nothing.
  ASSERT_EQ(RunInRunner("disp([help('slider'), help('while'), help('nosuch')])\n", &output), kOk);
  EXPECT_EQ(output, " T T F\n");
}

// A help file larger than the room left asks for room before it writes
// anything; once the area has grown, help runs again and shows the entry,
// whole and once.
TEST(HelpLookup, AsksForRoomForAHelpFileAndShowsItOnceTheAreaGrew) {
  ScratchFolder folder;
  for (const char* name : {"sin", "slider", "break"})
    // A little room left, much less than a help file; and none at all.
    for (const uint32_t left : {kLeftFree, 0u}) {
      std::string plain;
      ASSERT_EQ(RunInRunner(std::string("help ") + name + "\n", &plain), kOk) << plain;
      ASSERT_GT(plain.size(), 100u) << plain;
      RunnerEngine runner;
      EngineContext* ctx = runner.ctx();
      ASSERT_EQ(PushCString(ctx, -1, name), kOk);
      const uint32_t cap = ctx->dataCap;
      ctx->dataCap = ctx->dataTop + left / 8;
      ::testing::internal::CaptureStdout();
      const ErrCode e = HelpNative(ctx, 1, 0, 0);
      ctx->dataCap = cap;
      EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << name << ", " << left;
      EXPECT_TRUE(IsEngineMemoryCode(e)) << name << ", " << left << ": " << e;
      // The name stays for the second run, and the area has room now.
      ::testing::internal::CaptureStdout();
      EXPECT_EQ(HelpNative(ctx, 1, 0, 0), kOk) << name;
      EXPECT_EQ(::testing::internal::GetCapturedStdout(), plain) << name << ", " << left;
    }
}

// A name longer than any function's is no name: help tells that it has no
// help about it (its start), or answers false, and raises nothing.
TEST(HelpLookup, ANameTooLongHasNoHelp) {
  ScratchFolder folder;
  std::string output;
  ASSERT_EQ(RunInRunner("help(repmat('a', 1, 300))\ndisp(help(repmat('b', 1, 300)))\n", &output),
            kOk)
      << output;
  EXPECT_EQ(output, "Sorry, no help about " + std::string(255, 'a') + "\nfalse\n");
}

// Every statement topic is listed by lookfor of its own name.
TEST(HelpLookup, LookforListsEveryTopicByItsName) {
  ScratchFolder folder;
  for (const CarriedEntry& e : CarriedEntries()) {
    if (e.library != "other") continue;
    std::string links;
    ASSERT_EQ(RunInRunner("lookfor " + e.key + "\n", &links), kOk) << links;
    EXPECT_NE(links.find("##[[help:" + e.key + "|" + e.key + "]]## "), std::string::npos)
        << "lookfor " << e.key << ":\n"
        << links;
  }
}

}  // namespace
}  // namespace vke::test
