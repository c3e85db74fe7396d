// The extensions an image names: the folder beside the executable they are
// loaded from, and the runtime's callback that loads each one and makes
// sure it got registered. Compiled code calls natives by their index over
// all registered tables, so a missing extension table would bind every call
// to the wrong record: the load fails instead.
#include <unistd.h>

#include <cstdlib>

#include "app/image.hpp"
#include "compiler/extensions/extension_loader.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

std::string ExtensionFolderOf(std::string_view executable) {
  const size_t cut = executable.find_last_of("/\\");
  std::string folder(cut == std::string_view::npos ? std::string_view()
                                                   : executable.substr(0, cut + 1));
  return folder + "KVRuntimeExt";
}

ErrCode AddRuntimeExtensionFolder(KVContextBlock* block, const char* name, int32_t length,
                                  uintptr_t executable) {
  const char* path = reinterpret_cast<const char*>(executable);
  std::string folder = ExtensionFolderOf(path ? path : "");
  // A relative image path names a file from the current folder.
  if (folder[0] != '/') {
    char* current = getcwd(nullptr, 0);
    folder = std::string(current ? current : ".") + "/" + folder;
    std::free(current);
  }
  const uint32_t tables = block->Engine()->registryCount;
  LoadExtensions(block->Engine(), kExtensionHostData, folder.c_str(), false, name, length, nullptr,
                 0);
  return block->Engine()->registryCount > tables ? kOk : kErrInit;
}

}  // namespace vke
