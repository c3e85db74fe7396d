// The packing tool run as a user runs it: the outputs it refuses (the files
// an application is made from, folders and special files), which stay as
// they were with nothing made beside them, the runtime it takes, and how it
// tells a description's error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/image.hpp"
#include "tests/host/tool_commands.hpp"
#include "tools/disk_file.hpp"

namespace vke::kvpack {
namespace {

using test::Quoted;

constexpr char kDescription[] =
    "source \"app.vke\"\nvar x y\ninit (x, y) = setup()\nembed \"data\" file \"data.txt\"\n";
constexpr char kSource[] = "function (x, y) = setup()\n x = 1;\n y = 2;\n";
constexpr char kData[] = "data";

class PackCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    Write("app.kvd", kDescription);
    Write("app.vke", kSource);
    Write("data.txt", kData);
  }

  std::string File(const std::string& name) const { return folder_.Path() + "/" + name; }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(File(name), std::ios::binary) << text;
  }
  std::string Read(const std::string& name) const {
    std::string text;
    EXPECT_TRUE(ReadDiskFile(File(name), &text)) << name;
    return text;
  }

  // Runs kvpack with the arguments in the folder: its exit status, and what
  // it wrote in *said.
  int Pack(const std::string& arguments, std::string* said) const {
    // What it said is kept outside the folder, whose names the tests count.
    const std::string log = logs_.Path() + "/said";
    const int status = test::Shell("cd " + Quoted(folder_.Path()) + " && " + VKE_KVPACK + " " +
                                   arguments + " >" + Quoted(log) + " 2>&1");
    std::string text;
    EXPECT_TRUE(ReadDiskFile(log, &text));
    if (!text.empty() && text.back() == '\n') text.pop_back();
    *said = text;
    return status;
  }

  // The names in the folder.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path()))
      names.insert(entry.path().filename().string());
    return names;
  }

  // Expects the output refused with the message and the folder left as it
  // was, nothing made in it.
  void ExpectRefused(const std::string& out, const std::string& message) const {
    const std::set<std::string> before = Names();
    std::string said;
    EXPECT_EQ(Pack("--bare -o " + Quoted(out) + " app.kvd", &said), 1) << out;
    EXPECT_EQ(said, message) << out;
    EXPECT_EQ(Names(), before) << out;
  }

  // The kind of file the name is, not following a link.
  mode_t Kind(const std::string& name) const {
    struct stat st;
    return lstat(File(name).c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
  }

 private:
  test::TempFolder folder_;
  test::TempFolder logs_;
};

// The description, a source and an embedded file named as the output, under
// their own names or others that lead to them, are never written over.
TEST_F(PackCommand, NoFileTheApplicationIsMadeFromIsWrittenOver) {
  ASSERT_EQ(::symlink("app.vke", File("alias.vke").c_str()), 0);
  const struct {
    const char* out;
    const char* input;
  } cases[] = {
      {"app.kvd", "app.kvd"},   {"./app.kvd", "app.kvd"}, {"app.vke", "app.vke"},
      {"alias.vke", "app.vke"}, {"data.txt", "data.txt"},
  };
  for (const auto& c : cases)
    ExpectRefused(c.out,
                  std::string(c.out) + ": not written: it is " + c.input + ", which kvpack reads");
  EXPECT_EQ(Read("app.kvd"), kDescription);
  EXPECT_EQ(Read("app.vke"), kSource);
  EXPECT_EQ(Read("data.txt"), kData);
  EXPECT_EQ(Kind("alias.vke"), S_IFLNK);
}

// The libraries the sources load are read as much as the files named, and
// none is written over, whichever way it was found: by "use", by
// "useifexists", or by a library's own "use"; nor under another name.
TEST_F(PackCommand, NoLibraryTheSourcesLoadIsWrittenOver) {
  const std::string inner = "function y = one()\n y = 1;\n";
  const std::string mylib = "use inner\nfunction y = two()\n y = one() + 1;\n";
  const std::string extra = "function y = three()\n y = 3;\n";
  Write("inner.vkl", inner);
  Write("mylib.vkl", mylib);
  Write("extra.vkl", extra);
  ASSERT_EQ(::symlink("mylib.vkl", File("alias.vkl").c_str()), 0);
  Write("uses.vke",
        "use mylib\nuseifexists extra\nfunction (x, y) = setup()\n x = two();\n y = three();\n");
  Write("uses.kvd", "source \"uses.vke\"\nvar x y\ninit (x, y) = setup()\n");
  const struct {
    const char* out;
    const char* input;
  } cases[] = {
      {"mylib.vkl", "mylib.vkl"},
      {"extra.vkl", "extra.vkl"},
      {"inner.vkl", "inner.vkl"},
      {"alias.vkl", "mylib.vkl"},
  };
  for (const auto& c : cases) {
    const std::set<std::string> before = Names();
    std::string said;
    EXPECT_EQ(Pack("--bare -o " + std::string(c.out) + " uses.kvd", &said), 1) << c.out;
    EXPECT_EQ(said,
              std::string(c.out) + ": not written: it is " + c.input + ", which kvpack reads");
    EXPECT_EQ(Names(), before) << c.out;
  }
  EXPECT_EQ(Read("inner.vkl"), inner);
  EXPECT_EQ(Read("mylib.vkl"), mylib);
  EXPECT_EQ(Read("extra.vkl"), extra);
  EXPECT_EQ(Kind("alias.vkl"), S_IFLNK);
  // A file of the folder the packing did not read is written.
  std::string said;
  Write("other.vkl", "old");
  EXPECT_EQ(Pack("--bare -o other.vkl uses.kvd", &said), 0) << said;
  EXPECT_TRUE(FileCarriesImage(File("other.vkl").c_str()));
}

// An extension the packing loaded is read as much as the files named: an
// output that leads to it is refused, and the library stays as it was.
TEST_F(PackCommand, AnExtensionLoadedIsNotWrittenOver) {
  std::filesystem::create_directories(File("KVRuntimeExt"));
  const std::string library = File("KVRuntimeExt/current.so");
  std::filesystem::copy_file(VKE_EXTENSION_FIXTURES "/current.so", library);
  const std::string before = Read("KVRuntimeExt/current.so");
  ASSERT_EQ(::symlink("KVRuntimeExt/current.so", File("to-ext").c_str()), 0);
  std::string said;
  EXPECT_EQ(Pack("--bare --extension current -o to-ext app.kvd", &said), 1);
  EXPECT_EQ(said, "to-ext: not written: it is " + library + ", which kvpack reads");
  EXPECT_EQ(Kind("to-ext"), S_IFLNK);
  EXPECT_EQ(Read("KVRuntimeExt/current.so"), before);
  // The same packing to another file is written.
  EXPECT_EQ(Pack("--bare --extension current -o packed app.kvd", &said), 0) << said;
}

// A check's steps write no file it read to run the application: a png step
// into the description, a source, an embedded file, the script or the
// image, under its name or through a link, stops the script with the file
// named and writes nothing; a handler's fopen for writing or appending
// there gets -1, with the refusal printed.
TEST_F(PackCommand, ACheckWritesNoFileItRead) {
  ASSERT_EQ(::symlink("app.vke", File("alias.vke").c_str()), 0);
  const struct {
    const char* out;
    const char* input;
  } cases[] = {
      {"app.kvd", "app.kvd"},   {"app.vke", "app.vke"},           {"alias.vke", "app.vke"},
      {"data.txt", "data.txt"}, {"steps.script", "steps.script"},
  };
  for (const auto& c : cases) {
    Write("steps.script", "reset\ndraw\npng \"" + std::string(c.out) + "\"\n");
    const std::set<std::string> names = Names();
    std::string said;
    EXPECT_EQ(Pack("check app.kvd steps.script", &said), 1) << c.out;
    EXPECT_EQ(said, "> reset\n> draw\n> png \"" + std::string(c.out) +
                        "\"\nsteps.script: line 3: " + c.out + ": not written: it is " + c.input +
                        ", which kvpack reads");
    EXPECT_EQ(Names(), names) << c.out;
    EXPECT_EQ(Read("steps.script"), "reset\ndraw\npng \"" + std::string(c.out) + "\"\n");
  }
  EXPECT_EQ(Read("app.kvd"), kDescription);
  EXPECT_EQ(Read("app.vke"), kSource);
  EXPECT_EQ(Read("data.txt"), kData);
  EXPECT_EQ(Kind("alias.vke"), S_IFLNK);

  // The packed image, checked: it is read too; a new file is written.
  std::string said;
  ASSERT_EQ(Pack("--bare -o app.img app.kvd", &said), 0) << said;
  const std::string image = Read("app.img");
  Write("steps.script", "png \"app.img\"\n");
  EXPECT_EQ(Pack("check app.img steps.script", &said), 1);
  EXPECT_EQ(said,
            "> png \"app.img\"\nsteps.script: line 1: app.img: not written: it is app.img, which "
            "kvpack reads");
  EXPECT_EQ(Read("app.img"), image);
  Write("steps.script", "reset\ndraw\npng \"drawn.png\"\n");
  EXPECT_EQ(Pack("check app.img steps.script", &said), 0) << said;
  EXPECT_TRUE(std::filesystem::exists(File("drawn.png")));

  // Handlers that write over a source, under its name or a link's, and
  // one that writes a file of its own, then reads and writes it again.
  Write("save.kvd",
        "source \"app.vke\"\nsource \"save.vke\"\nvar x\nmenu \"File\"\n"
        "  item \"Save\" overwrite()\n  item \"Append\" append()\n"
        "  item \"Own\" own()\nendmenu\n");
  const std::string saver =
      "function overwrite()\n save('app.vke', 'w');\nfunction append()\n save('alias.vke', 'a');\n"
      "function save(name, mode)\n fd = fopen(name, mode);\n disp(fd);\n"
      " if fd >= 0\n  fprintf(fd, 'gone');\n  fclose(fd);\n end\n"
      "function own()\n for mode = 'wra'\n  fd = fopen('own.txt', mode);\n"
      "  disp(fd >= 0);\n  fclose(fd);\n end\n";
  Write("save.vke", saver);
  Write("steps.script", "menu \"Save\"\nmenu \"Append\"\nmenu \"Own\"\n");
  EXPECT_EQ(Pack("check save.kvd steps.script", &said), 0) << said;
  EXPECT_EQ(said,
            "> menu \"Save\"\napp.vke: not written: it is app.vke, which kvpack reads\n"
            "        -1\n=> 10201\n"
            "> menu \"Append\"\nalias.vke: not written: it is app.vke, which kvpack reads\n"
            "        -1\n=> 10201\n"
            "> menu \"Own\"\ntrue\ntrue\ntrue\n=> 10201");
  EXPECT_EQ(Read("app.vke"), kSource);
  EXPECT_EQ(Read("save.vke"), saver);
}

// A packing without a runtime named says that the runtime is missing
// before the usage.
TEST_F(PackCommand, AMissingRuntimeIsNamed) {
  std::string said;
  EXPECT_EQ(Pack("-o out app.kvd", &said), 2);
  EXPECT_TRUE(
      said.starts_with("kvpack: no runtime named: --runtime FILE names the runtime kvrt "
                       "the image goes behind (--bare writes the image alone)\nusage: "))
      << said;
  EXPECT_FALSE(std::filesystem::exists(File("out")));
}

// Only a regular file is replaced: a named pipe or a folder in the output's
// place, or at the end of a link there, stays what it was; a link to a
// regular file stays a link and the file it leads to gets the image.
TEST_F(PackCommand, OnlyARegularFileIsReplaced) {
  ASSERT_EQ(::mkfifo(File("fifo").c_str(), 0600), 0);
  std::filesystem::create_directories(File("folder/inside"));
  ASSERT_EQ(::symlink("fifo", File("to-fifo").c_str()), 0);
  ExpectRefused("fifo", "fifo: cannot be written: not a regular file");
  ExpectRefused("to-fifo", "to-fifo: cannot be written: not a regular file");
  ExpectRefused("folder", "folder: cannot be written: Is a directory");
  EXPECT_EQ(Kind("fifo"), S_IFIFO);
  EXPECT_EQ(Kind("to-fifo"), S_IFLNK);
  EXPECT_TRUE(std::filesystem::exists(File("folder/inside")));

  Write("old", "old");
  ASSERT_EQ(::symlink("old", File("to-old").c_str()), 0);
  std::string said;
  ASSERT_EQ(Pack("--bare -o to-old app.kvd", &said), 0) << said;
  EXPECT_EQ(Kind("to-old"), S_IFLNK);
  EXPECT_TRUE(FileCarriesImage(File("old").c_str()));
}

// A device node in the output's place (one the test may make: the null
// device's numbers) is left as it was, not replaced by a regular file.
TEST_F(PackCommand, ADeviceNodeStaysAsItWas) {
  if (::mknod(File("nulldev").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    GTEST_SKIP() << "no device node can be made here: " << std::strerror(errno);
  ExpectRefused("nulldev", "nulldev: cannot be written: not a regular file");
  struct stat st;
  ASSERT_EQ(lstat(File("nulldev").c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, makedev(1, 3));
}

// A packed application carries the runtime's mark, but it is no runtime:
// an image behind it would carry the old one along.
TEST_F(PackCommand, APackedApplicationIsNoRuntime) {
  // This program carries the runtime's mark.
  const std::string runtime = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string said;
  ASSERT_EQ(Pack("--runtime " + Quoted(runtime) + " -o packed app.kvd", &said), 0) << said;
  const std::set<std::string> before = Names();
  EXPECT_EQ(Pack("--runtime packed -o again app.kvd", &said), 1);
  EXPECT_EQ(said, "packed: a packed application, not the runtime (pack behind the runtime kvrt)");
  EXPECT_EQ(Names(), before);
}

// A misspelt keyword is told with its file and line, the table's message
// and the keyword meant; nothing is written.
TEST_F(PackCommand, AMisspeltKeywordIsToldTheOneMeant) {
  Write("typo.kvd", "source \"app.vke\"\nfigur \"P\"\n");
  const std::set<std::string> before = Names();
  std::string said;
  EXPECT_EQ(Pack("--bare -o out typo.kvd", &said), 1);
  EXPECT_EQ(said,
            "typo.kvd:2: Unknown KV file keyword (10014): figur; the nearest keyword is figure");
  EXPECT_EQ(Names(), before);
}

}  // namespace
}  // namespace vke::kvpack
