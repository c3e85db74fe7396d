// The desktop registration: what the first start writes, that later starts
// write nothing, that registrations of others are left alone, and command
// 10103's rule and action after the executable moved.
#include "shell/file_types.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "tests/shell/temp_home.hpp"
#include "tools/disk_file.hpp"

namespace vke {
namespace {

int cacheUpdates = 0;
void CountCacheUpdate(const std::string&) {
  ++cacheUpdates;
}

class FileTypes : public ::testing::Test {
 protected:
  void SetUp() override {
    cacheUpdates = 0;
    exe = MakeExecutable("opt/app");
  }
  std::string MakeExecutable(const std::string& folder) {
    const std::string path = home.Root() + "/" + folder + "/demo";
    test::WriteFile(path, "program");
    return path;
  }
  FileTypeRegistration For(const std::string& executable) {
    return FileTypeRegistration(DesktopPlaces::FromEnvironment(executable), executable,
                                &CountCacheUpdate);
  }
  // The registration's files by their inode: replacing a file changes it.
  std::map<std::string, ino_t> Inodes(const FileTypeRegistration& r) {
    std::map<std::string, ino_t> inodes;
    std::vector<std::string> paths = {r.DesktopEntryPath(), r.AppPathLink()};
    for (const DocumentType& type : kDocumentTypes) {
      paths.push_back(r.PackagePath(type));
      paths.push_back(r.IconPath(type));
    }
    for (const std::string& path : paths) {
      struct stat s;
      inodes[path] = lstat(path.c_str(), &s) == 0 ? s.st_ino : 0;
    }
    return inodes;
  }
  std::string Text(const std::string& path) {
    std::string text;
    EXPECT_TRUE(ReadDiskFile(path, &text)) << path;
    return text;
  }

  test::TempHome home;
  std::string exe;
};

TEST_F(FileTypes, FirstStartWritesEverythingAndLaterStartsNothing) {
  FileTypeRegistration first = For(exe);
  EXPECT_TRUE(first.RegisterCommandState().enabled);
  first.RegisterAtStart();
  EXPECT_EQ(cacheUpdates, 1);

  const std::string kvPackage = Text(first.PackagePath(kDocumentTypes[0]));
  EXPECT_NE(kvPackage.find("<mime-type type=\"application/x-corvanel\">"), std::string::npos);
  EXPECT_NE(kvPackage.find("<glob pattern=\"*.kv\"/>"), std::string::npos);
  EXPECT_EQ(kvPackage.find("*.kvd"), std::string::npos);
  EXPECT_NE(Text(first.PackagePath(kDocumentTypes[1])).find("<glob pattern=\"*.kvd\"/>"),
            std::string::npos);
  const std::string entry = Text(first.DesktopEntryPath());
  EXPECT_NE(entry.find("\nExec=\"" + exe + "\" %f\n"), std::string::npos);
  EXPECT_NE(entry.find("\nMimeType=application/x-corvanel;application/x-corvanel-kvd;\n"),
            std::string::npos);
  EXPECT_NE(entry.find("[Desktop Action Print]\nName=Print\nExec=\"" + exe + "\" -p %f\n"),
            std::string::npos);
  EXPECT_EQ(Text(first.IconPath(kDocumentTypes[0])).substr(1, 3), "PNG");
  EXPECT_EQ(std::filesystem::read_symlink(first.AppPathLink()), exe);
  const CommandState registered = first.RegisterCommandState();
  EXPECT_FALSE(registered.enabled);
  EXPECT_TRUE(registered.checked);

  const auto before = Inodes(first);
  FileTypeRegistration second = For(exe);
  second.RegisterAtStart();
  EXPECT_EQ(Inodes(second), before);
  EXPECT_EQ(cacheUpdates, 1);
}

TEST_F(FileTypes, MovedExecutableIsRegisteredAgainOnlyByTheCommand) {
  For(exe).RegisterAtStart();
  const std::string moved = MakeExecutable("elsewhere");
  FileTypeRegistration now = For(moved);
  const auto before = Inodes(now);
  now.RegisterAtStart();
  EXPECT_EQ(Inodes(now), before);
  CommandState state = now.RegisterCommandState();
  EXPECT_TRUE(state.enabled);
  EXPECT_FALSE(state.checked);

  now.RegisterAgain();
  EXPECT_NE(Text(now.DesktopEntryPath()).find("Exec=\"" + moved + "\" %f"), std::string::npos);
  EXPECT_EQ(std::filesystem::read_symlink(now.AppPathLink()), moved);
  state = now.RegisterCommandState();
  EXPECT_FALSE(state.enabled);
  EXPECT_TRUE(state.checked);
  EXPECT_EQ(cacheUpdates, 2);
}

TEST_F(FileTypes, RegistrationsOfOthersAreLeftAlone) {
  // Another program opens ".kv" files, and another "demo" is installed.
  const std::string mimeapps = home.Root() + "/config/mimeapps.list";
  const std::string associations =
      "[Default Applications]\napplication/x-corvanel=other.desktop;\n";
  test::WriteFile(mimeapps, associations);
  FileTypeRegistration r = For(exe);
  test::WriteFile(r.AppPathLink(), "another demo");

  r.RegisterAtStart();
  EXPECT_FALSE(std::filesystem::exists(r.PackagePath(kDocumentTypes[0])));
  EXPECT_FALSE(std::filesystem::exists(r.IconPath(kDocumentTypes[0])));
  EXPECT_TRUE(std::filesystem::exists(r.PackagePath(kDocumentTypes[1])));
  EXPECT_TRUE(std::filesystem::exists(r.IconPath(kDocumentTypes[1])));
  EXPECT_EQ(Text(mimeapps), associations);
  EXPECT_EQ(Text(r.AppPathLink()), "another demo");

  // The command writes the types, but replaces no program with a link.
  r.RegisterAgain();
  EXPECT_TRUE(r.VerifyFileTypeRegistration(kDocumentTypes[0], false));
  EXPECT_EQ(Text(r.AppPathLink()), "another demo");
  EXPECT_TRUE(r.RegisterCommandState().enabled);
}

TEST_F(FileTypes, ExecutableReachedThroughALinkIsVerifiedByItsRealPath) {
  For(exe).RegisterAtStart();
  std::filesystem::create_directory_symlink(home.Root() + "/opt/app", home.Root() + "/via");
  FileTypeRegistration linked = For(home.Root() + "/via/demo");
  EXPECT_FALSE(linked.VerifyFileTypeRegistration(kDocumentTypes[0], false));
  EXPECT_TRUE(linked.VerifyFileTypeRegistration(kDocumentTypes[0], true));
  EXPECT_FALSE(linked.VerifyAppPath(false));
  EXPECT_TRUE(linked.VerifyAppPath(true));
  EXPECT_TRUE(linked.RegisterCommandState().checked);
}

TEST(DesktopEntry, ExecutablePathIsQuotedAndEscaped) {
  std::string text;
  ASSERT_TRUE(DesktopEntryText("/opt/my \"kv\"/a$b`c\\d%e", &text));
  EXPECT_NE(text.find("\nExec=\"/opt/my \\\\\"kv\\\\\"/a\\\\$b\\\\`c\\\\\\\\d%%e\" %f\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\nTryExec=/opt/my \"kv\"/a$b`c\\\\d%e\n"), std::string::npos);
  EXPECT_FALSE(DesktopEntryText("/opt/two\nlines", &text));
}

}  // namespace
}  // namespace vke
