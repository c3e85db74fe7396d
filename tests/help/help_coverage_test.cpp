// Every name a program or an application can call has help in the help
// files the programs carry, and every entry of those files names what a
// table of its library holds (but those of other.hlp, topics that are no
// function). The names still without help stand in pending_help.txt.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "app/carried_help.hpp"
#include "app/runtime_context.hpp"
#include "compiler/help_files.hpp"
#include "engine/errors/raise.hpp"
#include "tests/help/help_catalog.hpp"
#include "tests/host/value_text.hpp"

namespace vke::test {
namespace {

// Set to a file name, the test writes the names then without help there.
constexpr char kWritePending[] = "VKE_PENDING_HELP";
// Room for the largest help file whole.
constexpr uint32_t kBlockBytes = 64u << 20;

// The runtime's block: the run-time table and both parts of the static
// table, every table a program or an application can reach (the runner
// registers a part of them).
class HelpFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    memory_ = std::aligned_alloc(16, kBlockBytes);
    ASSERT_EQ(CreateRuntimeContext(&block_, memory_, kBlockBytes), kOk);
  }
  void TearDown() override { std::free(memory_); }
  EngineContext* ctx() { return block_->Engine(); }

  // What help(name) answers: "true", "false" or the failure.
  std::string Help(const std::string& name) {
    // A quote is doubled and a backslash escaped: both are written twice.
    std::string quoted;
    for (char c : name) {
      if (c == '\'' || c == '\\') quoted += c;
      quoted += c;
    }
    return EvaluateToText(ctx(), "help('" + quoted + "')");
  }

  void* memory_ = nullptr;
  KVContextBlock* block_ = nullptr;
};

std::string Report(const std::set<std::string>& failures) {
  std::string text = std::to_string(failures.size()) + " failures:\n";
  for (const std::string& f : failures) text += "  " + f + "\n";
  return text;
}

TEST_F(HelpFiles, EveryNameHasHelp) {
  const std::set<std::string> names = CallableNames(ctx());
  std::set<std::string> without, failures;
  for (const std::string& name : names) {
    const std::string answer = Help(name);
    if (answer == "false") {
      without.insert(name);
    } else if (answer != "true") {
      failures.insert(name + ": help answers " + answer);
    }
    // help NAME answers as help LIB::NAME for the first library of NAME.
    const std::string bare = name.substr(name.find("::") + 2);
    const char* first =
        LibraryOfNative(ctx(), bare.data(), static_cast<int32_t>(bare.size()), nullptr, 0);
    if (first && std::string(first) + "::" + bare == name && Help(bare) != answer)
      failures.insert(bare + ": help answers " + Help(bare) + ", but " + answer + " for " + name);
  }
  std::set<std::string> pending = ReadPendingList();
  if (const char* path = std::getenv(kWritePending)) {
    ASSERT_TRUE(WritePendingList(path, without)) << "cannot write " << path;
    pending = without;
  }
  for (const std::string& name : without)
    if (!pending.count(name)) failures.insert(name + ": no help");
  for (const std::string& name : pending) {
    if (!names.count(name))
      failures.insert(name + ": listed as pending, but no table holds it");
    else if (!without.count(name))
      failures.insert(name + ": has help now; take it off the pending list");
  }
  EXPECT_TRUE(failures.empty()) << "Names without help are listed in " << PendingListPath() << " ("
                                << kWritePending << "=FILE writes the list anew). "
                                << Report(failures);
}

TEST_F(HelpFiles, EveryEntryNamesWhatItsLibraryHolds) {
  const std::set<std::string> names = CallableNames(ctx());
  std::set<std::string> failures, seen;
  for (const CarriedEntry& e : CarriedEntries()) {
    const std::string place = e.file + ":" + std::to_string(e.line) + " " + e.key;
    if (!seen.insert(e.file + " " + e.qualifier + "::" + e.key).second)
      failures.insert(place + ": a second entry of that key, which help never shows");
    if (!e.described) failures.insert(place + ": no short description on the line after the key");
    if (e.file == "other.hlp") continue;
    if (!e.qualifier.empty() && e.qualifier != e.library)
      failures.insert(place + ": qualified with " + e.qualifier + ", whose help is not here");
    else if (!names.count(e.library + "::" + e.key))
      failures.insert(place + ": no table of " + e.library + " holds " + e.key);
  }
  EXPECT_TRUE(failures.empty()) << Report(failures);
}

// An error an entry quotes, as "Message" (code) or "Message (code)", has
// that message in the tables the code is raised from.
TEST_F(HelpFiles, EveryErrorAnEntryQuotesHasItsMessage) {
  const std::regex quoted(
      "\"([A-Z][^\"(]{2,80}?)\"\\s*\\((\\d+)\\)|\"([A-Z][^\"(]{2,80}) \\((\\d+)\\)\"");
  std::set<std::string> failures;
  int checked = 0;
  for (const CarriedText& file : CarriedHelpFiles()) {
    // The text with its comment markers gone and its lines joined.
    std::string text(file.bytes, file.length);
    text = std::regex_replace(text, std::regex("\n% ?"), " ");
    text = std::regex_replace(text, std::regex("  +"), " ");
    for (std::sregex_iterator m(text.begin(), text.end(), quoted), end; m != end; ++m) {
      const std::string message = (*m)[1].matched ? (*m)[1] : (*m)[3];
      const int code = std::stoi((*m)[2].matched ? (*m)[2] : (*m)[4]);
      const ErrorTableRecord* r = FindErrorMessage(ctx(), code, false);
      checked++;
      if (!r)
        failures.insert(std::string(file.name) + ": \"" + message + "\" (" + std::to_string(code) +
                        "): no table has the code");
      else if (message != r->message)
        failures.insert(std::string(file.name) + ": \"" + message + "\" (" + std::to_string(code) +
                        "): the table says \"" + r->message + "\"");
    }
  }
  EXPECT_GT(checked, 500);
  EXPECT_TRUE(failures.empty()) << Report(failures);
}

}  // namespace
}  // namespace vke::test
