// What the tests that call other programs share: whether they run under CI,
// whether the programs are on the PATH, running a shell command, and a
// temporary folder for the files they exchange.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace vke::test {

// Under CI (CI=true) every test must run, so a missing display or tool is
// a failure there; elsewhere the test is skipped. Either way the message
// names the Debian package that brings what is missing.
bool UnderCi();

#define VKE_MISSING(what, package)                                                  \
  {                                                                                 \
    if (::vke::test::UnderCi())                                                     \
      GTEST_FAIL() << what << " is needed: install the Debian package " << package; \
    GTEST_SKIP() << what << " is needed: install the Debian package " << package;   \
  }

// Whether every command named (separated by spaces) is on the PATH.
bool HasCommands(const std::string& commands);

// Skips the test, or fails it under CI, when a command it calls is missing.
#define VKE_REQUIRE_COMMANDS(commands, package) \
  if (!::vke::test::HasCommands(commands)) VKE_MISSING(commands, package)

// Runs a shell command; its exit status.
int Shell(const std::string& command);
// A shell command's standard output.
std::string ShellOutput(const std::string& command);
// A path quoted for the shell (it holds no single quote).
std::string Quoted(const std::string& path);

// A folder for one test's files, removed with it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace vke::test
