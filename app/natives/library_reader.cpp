// "+readlib" of the application: the sources of an instance's library
// "_KV_<name>" are the texts of its embedded-library elements (kind 44),
// served to the compiler in list order.
#include <cstring>

#include "app/handler_elements.hpp"
#include "app/kv_library.hpp"
#include "app/kv_sources.hpp"
#include "app/natives/app_natives.hpp"
#include "app/natives/native_context.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

ErrCode ReadKVLibrary(EngineContext*, const char* name, const char*, uintptr_t user, char* buffer,
                      int32_t capacity, int32_t* length) {
  constexpr size_t kPrefix = sizeof kKVLibraryPrefix - 1;
  KVContextBlock* block = BlockOfNativeUser(user);
  if (!block || std::strncmp(name, kKVLibraryPrefix, kPrefix) != 0) return kErrFileNotFound;
  const int32_t id = FindInstanceByFileName(block, name + kPrefix);
  if (id < 0) return kErrFileNotFound;
  int32_t count = 0;
  ErrCode answer = kOk;
  for (int32_t at = -1; FindElement(block, id, &at, kElemEmbeddedLibrary) == kOk;) {
    ElementListView list;
    ElementRef element;
    EmbeddedSource source;
    if (!InstanceElementAt(block, id, at, &list, &element) ||
        !ReadEmbeddedSource(list, element, &source))
      continue;
    const std::string_view text = source.text;
    // Texts follow each other on lines of their own.
    const bool separate = count > 0 && buffer[count - 1] != '\n' && buffer[count - 1] != '\r';
    const size_t need = text.size() + (separate ? 1 : 0);
    // A source that does not fit whole is not served cut: the caller gets
    // 3 and tries again with more room.
    if (need > static_cast<size_t>(capacity - count)) {
      answer = kErrDataOverflow;
      break;
    }
    if (separate) buffer[count++] = '\n';
    std::memcpy(buffer + count, text.data(), text.size());
    count += static_cast<int32_t>(text.size());
  }
  *length = answer ? 0 : count;
  return answer;
}

}  // namespace vke
