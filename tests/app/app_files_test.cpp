// The application's files on disk: the 32 slots and their descriptors, the
// modes, text mode's line breaks both ways, the position requests, and bad
// arguments that leave open files as they were.
#include "app/natives/app_files.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/app/block_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

class AppFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(h.init(), kOk);
    char pattern[] = "/tmp/vke_app_files_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    ClearAppFileTable();
  }
  void TearDown() override {
    CloseAllAppFiles();
    std::filesystem::remove_all(folder);
  }
  std::string Eval(const std::string& text) { return test::EvaluateToText(h.ctx(), text); }
  // Statements, which leave no value.
  void Run(const std::string& text) { EXPECT_EQ(Eval(text + " 0"), "0") << text; }
  std::string Path(const std::string& name) { return folder + "/" + name; }
  std::string Bytes(const std::string& name) {
    std::ifstream in(Path(name), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Store(const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }

  test::BlockHost h;
  std::string folder;
};

TEST_F(AppFiles, ThirtyTwoSlotsWhoseDescriptorsAreReused) {
  ASSERT_EQ(Eval("d = zeros(1, 32); for i = 1:32, d(i) = fopen(sprintf('" + folder +
                 "/f%d', i), 'w'); end; all(d > 2) && all(diff(d) == 1)"),
            "true");
  EXPECT_EQ(CountOpenAppFiles(), 32);
  EXPECT_EQ(Eval("fopen('" + Path("one-more") + "', 'w')"), "error 304");
  EXPECT_FALSE(std::filesystem::exists(Path("one-more")));
  EXPECT_EQ(Eval("fclose(d(5)); fopen('" + Path("again") + "', 'w') == d(5)"), "true");
  CloseAllAppFiles();
  EXPECT_EQ(CountOpenAppFiles(), 0);
  EXPECT_EQ(Eval("fclose(-1); 0"), "0");
}

TEST_F(AppFiles, ModesAndArguments) {
  // Missing files give -1; "a" does not create.
  EXPECT_EQ(Eval("fopen('" + Path("missing") + "')"), "-1");
  EXPECT_EQ(Eval("fopen('" + Path("missing") + "', 'a')"), "-1");
  EXPECT_FALSE(std::filesystem::exists(Path("missing")));
  EXPECT_EQ(Eval("fopen('" + Path("x") + "', 'q')"), "error 108");
  EXPECT_EQ(Eval("fopen(3)"), "error 43");
  EXPECT_EQ(Eval("fopen('" + Path("x") + "', 5)"), "error 43");
  EXPECT_EQ(CountOpenAppFiles(), 0);
  // "a" writes after what the file holds and reads it too.
  Store("log", "abc");
  Run("fd = fopen('" + Path("log") + "', 'a'); fwrite(fd, 'de');");
  EXPECT_EQ(Eval("fseek(fd, 1, 'b'); s = char(fread(fd)'); fclose(fd); s"), "'bcde'");
  EXPECT_EQ(Bytes("log"), "abcde");
  // "w" truncates; an empty file is at its end at once.
  EXPECT_EQ(Eval("fd = fopen('" + Path("log") + "', 'w'); e = feof(fd); fclose(fd); e"), "true");
  EXPECT_EQ(Bytes("log"), "");
}

TEST_F(AppFiles, TextModeKeepsCrLfOnDiskAndLfInTheProgram) {
  Run("fd = fopen('" + Path("t") + "', 'wt');");
  Run("fwrite(fd, ['a' 10 'b']); fwrite(fd, ['x' 13 10]); fwrite(fd, [13 'y' 10 13 'z']);");
  Run("fclose(fd);");
  EXPECT_EQ(Bytes("t"), "a\r\nbx\r\n\r\ny\r\nz");
  Store("r", "a\r\nb\rc\n\r\nd");
  Run("fd = fopen('" + Path("r") + "', 'rt');");
  EXPECT_EQ(Eval("[fgetl(fd), '|', fgetl(fd), '|', fgetl(fd), '|', fgetl(fd), '|', fgetl(fd)]"),
            "'a|b|c||d'");
  EXPECT_EQ(Eval("fclose(fd); fd = fopen('" + Path("r") + "', 'rt'); double(fread(fd)')"),
            "[97,10,98,10,99,10,10,100]");
  // Without "t" the bytes are as stored.
  EXPECT_EQ(
      Eval("fclose(fd); fd = fopen('" + Path("r") + "'); n = numel(fread(fd)); fclose(fd); n"),
      "10");
}

TEST_F(AppFiles, PositionRequests) {
  Store("p", "0123456789");
  Run("fd = fopen('" + Path("p") + "');");
  EXPECT_EQ(Eval("fseek(fd, -3, 'e'); ftell(fd)"), "7");
  EXPECT_EQ(Eval("fseek(fd, 2, 'b'); char(fread(fd, 2)')"), "'23'");
  EXPECT_EQ(Eval("fseek(fd, 1, 'c'); char(fread(fd, 1)')"), "'5'");
  EXPECT_EQ(Eval("feof(fd)"), "false");
  EXPECT_EQ(Eval("fread(fd); feof(fd)"), "true");
  Run("fclose(fd);");
}

}  // namespace
}  // namespace vke
