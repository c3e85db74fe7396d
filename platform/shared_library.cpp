// Shared libraries through the dynamic loader; folders through directory
// streams; the executable's path through /proc.
#include "platform/shared_library.hpp"

#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/read_files.hpp"

namespace vke {

void* OpenSharedLibrary(const char* path) {
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library) NoteReadFile(path);
  return library;
}

void* FindSharedSymbol(void* library, const char* name) {
  return dlsym(library, name);
}

void CloseSharedLibrary(void* library) {
  dlclose(library);
}

std::vector<std::string> ListFolderFiles(const std::string& folder, const char* suffix) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return names;
  const size_t n = std::strlen(suffix);
  while (const dirent* entry = readdir(dir)) {
    const size_t length = std::strlen(entry->d_name);
    if (entry->d_type == DT_DIR || length < n) continue;
    if (std::memcmp(entry->d_name + length - n, suffix, n) == 0) names.push_back(entry->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ExecutablePath() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < path.size()) {
      path.resize(static_cast<size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace vke
