// Shared libraries of the platform: opening one, looking up its exported
// names and closing it; the library files of a folder; the path of the
// running executable.
#pragma once

#include <string>
#include <vector>

namespace vke {

// Opens a shared library with every symbol bound now and kept local; null
// when it cannot be opened.
void* OpenSharedLibrary(const char* path);
// The address of an exported name; null when there is none.
void* FindSharedSymbol(void* library, const char* name);
void CloseSharedLibrary(void* library);

// The names of the regular entries of a folder that end in `suffix`, sorted
// bytewise; empty when the folder cannot be read.
std::vector<std::string> ListFolderFiles(const std::string& folder, const char* suffix);

// The full path of the running executable, empty when it cannot be read.
std::string ExecutablePath();

}  // namespace vke
