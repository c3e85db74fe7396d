// The extensions an image names: the folder beside the executable they are
// loaded from, and the runtime's callback that loads each one and makes
// sure it got registered. Compiled code calls natives by their index over
// all registered tables, so a missing extension table would bind every call
// to the wrong record: the load fails instead.
#include "app/image.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

namespace {

// The word handed to the extensions' installation entry.
constexpr int32_t kExtensionHostWord = 97;

// Loads the extension libraries of a folder whose file names match the
// filter and registers their tables in front of the others. The extension
// loader is not part of this build yet: nothing gets loaded.
ErrCode LoadEngineExtensions(KVContextBlock*, int32_t /*hostWord*/, const char* /*folder*/,
                             bool /*single*/, const char* /*filter*/, int32_t /*filterLength*/) {
  return kErrNotSupported;
}

}  // namespace

std::string ExtensionFolderOf(std::string_view executable) {
  const size_t cut = executable.find_last_of("/\\");
  std::string folder(cut == std::string_view::npos ? std::string_view()
                                                   : executable.substr(0, cut + 1));
  return folder + "KVRuntimeExt";
}

ErrCode AddRuntimeExtensionFolder(KVContextBlock* block, const char* name, int32_t length,
                                  uintptr_t executable) {
  const char* path = reinterpret_cast<const char*>(executable);
  const std::string folder = ExtensionFolderOf(path ? path : "");
  const uint32_t tables = block->Engine()->registryCount;
  LoadEngineExtensions(block, kExtensionHostWord, folder.c_str(), false, name, length);
  return block->Engine()->registryCount > tables ? kOk : kErrInit;
}

}  // namespace vke
