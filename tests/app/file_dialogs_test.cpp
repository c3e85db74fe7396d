// getfile and putfile through a scripted provider: the filter made from
// type names, the title and proposed name handed over, the chosen path, a
// cancel (an empty text, not an error), no provider, and bad arguments.
#include "app/natives/file_dialogs.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "engine/registry/registry.hpp"
#include "tests/app/block_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

class ScriptedFiles : public FileDialogProvider {
 public:
  bool Choose(const FileDialogRequest& r, std::string* path) override {
    shown.push_back(std::string(r.save ? "save" : "open") + "|" + std::string(r.title) + "|" +
                    std::string(r.filter) + "|" + std::string(r.name));
    if (answers.empty()) return false;
    *path = answers.front();
    answers.pop_front();
    return true;
  }
  std::deque<std::string> answers;
  std::vector<std::string> shown;
};

const NativeFunctionRecord kDialogTable[] = {
    MakeRecord("@KVdlg"),
    MakeRecord("getfile", &GetFileNative, 0, 2, 1, 1),
    MakeRecord("putfile", &PutFileNative, 0, 2, 1, 1),
    MakeRecord(""),
};

class FileDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(h.init(), kOk);
    ASSERT_EQ(RegisterLibrary(h.ctx(), kDialogTable, true), kOk);
    SetFileDialogProvider(&files);
  }
  void TearDown() override { SetFileDialogProvider(nullptr); }
  std::string Eval(const std::string& text) { return test::EvaluateToText(h.ctx(), text); }

  test::BlockHost h;
  ScriptedFiles files;
};

TEST(FileTypeFilter, FirstExtensionOfEachKnownType) {
  EXPECT_EQ(FileTypeFilter("text/html"), "html|*.html|All files|*.*||");
  EXPECT_EQ(FileTypeFilter("text/plain\nimage/gif"), "txt/gif|*.txt;*.gif|All files|*.*||");
  EXPECT_EQ(FileTypeFilter(std::string("application/pdf") + '\0' + "no/such\timage/jpeg"),
            "pdf/jpeg|*.pdf;*.jpeg|All files|*.*||");
  EXPECT_EQ(FileTypeFilter("no/such"), "");
  EXPECT_EQ(FileTypeFilter("text/htm"), "");  // whole names only
  EXPECT_EQ(FileTypeFilter(""), "");
  // The description stops growing past 100 characters.
  std::string many;
  for (int i = 0; i < 40; i++) many += "application/postscript\n";
  const std::string filter = FileTypeFilter(many);
  EXPECT_EQ(filter.find('|'), 101u);  // 34 times "ps"
}

TEST_F(FileDialogs, OpenAndSaveHandTheirTextsToTheProvider) {
  files.answers = {"/tmp/a b.html", "/home/u/report.txt"};
  EXPECT_EQ(Eval("getfile('Open', 'text/html')"), "'/tmp/a b.html'");
  EXPECT_EQ(Eval("putfile('Save as', 'report.txt')"), "'/home/u/report.txt'");
  EXPECT_EQ(files.shown, (std::vector<std::string>{"open|Open|html|*.html|All files|*.*|||",
                                                   "save|Save as||report.txt"}));
}

TEST_F(FileDialogs, CancelOrNoProviderGivesAnEmptyText) {
  EXPECT_EQ(Eval("getfile"), "''");
  EXPECT_EQ(Eval("putfile('Save')"), "''");
  SetFileDialogProvider(nullptr);
  EXPECT_EQ(Eval("getfile('Open', 'text/plain')"), "''");
  EXPECT_EQ(files.shown.size(), 2u);
}

TEST_F(FileDialogs, NonTextArgumentsAreRefused) {
  EXPECT_EQ(Eval("getfile(1)"), "error 43");
  EXPECT_EQ(Eval("putfile('Save', {})"), "error 43");
  EXPECT_TRUE(files.shown.empty());
}

}  // namespace
}  // namespace vke
