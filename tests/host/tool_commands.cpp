// Shell commands, the tools on the PATH and temporary folders of the tests.
#include "tests/host/tool_commands.hpp"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace vke::test {

bool UnderCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

bool HasCommands(const std::string& commands) {
  std::string test = "true";
  std::string word;
  for (size_t k = 0; k <= commands.size(); k++) {
    if (k < commands.size() && commands[k] != ' ') {
      word += commands[k];
    } else if (!word.empty()) {
      test += " && command -v " + word + " >/dev/null 2>&1";
      word.clear();
    }
  }
  return std::system(test.c_str()) == 0;
}

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
    pclose(pipe);
  }
  return out;
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vke-test-XXXXXX").string();
  path_ = mkdtemp(pattern.data());
}

TempFolder::~TempFolder() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

}  // namespace vke::test
