// Libraries found along the search path that VKE text sets with "path":
// "use" on a later command line, entries with placeholders, libraries that
// use libraries, and the path texts themselves.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/files/search_path.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/file_table.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunCommandLine;

class LibraryPath : public ::testing::Test {
 protected:
  void TearDown() override { ResetSearchPathForTest(); }

  ErrCode Run(const std::string& text) { return RunCommandLine(host.ctx(), text + "\n"); }
  std::string Out() {
    std::string out = host.Output(1) + host.Output(2);
    host.ClearOutput();
    return out;
  }
  // A library file name.vkl in the folder `sub` of the temporary folder
  // (created when missing) whose function name(x) gives x * factor.
  void WriteLibrary(const std::string& sub, const std::string& name, int factor) {
    std::filesystem::create_directories(files.Path(sub));
    files.WriteFile(sub + "/" + name + ".vkl", "function y = " + name + "(x)\n  y = x * " +
                                                   std::to_string(factor) + ";\nendfunction\n");
  }

  test::TestHost host;
  test::TestFileTable files{host.ctx()};
};

TEST_F(LibraryPath, UseFindsLibrariesAlongThePathSetBefore) {
  WriteLibrary("plain", "tenfold", 10);
  // Not found while the path does not lead to it: the line does not run.
  EXPECT_EQ(Run("disp('never');\nuse tenfold"), kErrLibNotFound);
  EXPECT_EQ(Out(), "Library not found 'tenfold'\n");

  ASSERT_EQ(Run("path('" + files.Path("nowhere") + "', '" + files.Path("plain") + "');"), kOk);
  ASSERT_EQ(Run("use tenfold\ny = tenfold(4)"), kOk);
  EXPECT_EQ(Out(), "y =\n        40\n");

  // Entries with placeholders: the bare name as a folder, the name and its
  // extension spelt out, a percent sign in a folder name.
  WriteLibrary("nested/inner", "inner", 2);
  WriteLibrary("spelt", "spelt", 3);
  WriteLibrary("100%", "percent", 5);
  ASSERT_EQ(Run("path('" + files.Path("nested/%b/%f") + "', '" + files.Path("spelt/%b%s") +
                "');\n"
                "path(path, '" +
                files.Path("100%%/%f") + "');"),
            kOk);
  ASSERT_EQ(Run("use inner, spelt\nuse percent\nr = [inner(1), spelt(1), percent(1)]"), kOk);
  EXPECT_EQ(Out(), "r =\n         2         3         5\n");
}

TEST_F(LibraryPath, ALibraryUsesAnotherFoundAlongThePath) {
  WriteLibrary("a", "base", 7);
  std::filesystem::create_directories(files.Path("b"));
  files.WriteFile("b/user.vkl",
                  "use base\nfunction y = user(x)\n  y = base(x) + 1;\nendfunction\n");
  ASSERT_EQ(Run("path('" + files.Path("b") + "', '" + files.Path("a") + "');"), kOk);
  ASSERT_EQ(Run("use user\ny = user(2)"), kOk);
  EXPECT_EQ(Out(), "y =\n        15\n");
}

TEST_F(LibraryPath, PathTexts) {
  ASSERT_EQ(Run("p = path\n"
                "q = path('a', 'b')\n"
                "path('x;;y')\n"
                "path\n"
                "r = path(repmat('a', 1, 1500), 'b');\n"
                "[numel(r), r(end) == ';']\n"
                "s = path('c', repmat('d', 1, 1500));\n"
                "[numel(s), s(1:3) == 'c;d', s(end) == ';']"),
            kOk);
  EXPECT_EQ(Out(),
            "p =\n;\n"
            "q =\na;b;\n"
            "x\n\ny\n"
            "ans =\n      1023         1\n"
            "ans =\n      1023         1         1         1         1\n");
}

}  // namespace
}  // namespace vke
