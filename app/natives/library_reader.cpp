// "+readlib" of the application: the sources of an instance's library
// "_KV_<name>" are the texts of its embedded-library elements (kind 44)
// without a library name, served to the compiler in list order; a library
// an instance embeds under its own name is served from the elements of
// that name. Behind them, the help files the program carries.
#include <cstring>

#include "app/carried_help.hpp"
#include "app/element_list.hpp"
#include "app/handler_elements.hpp"
#include "app/kv_library.hpp"
#include "app/kv_sources.hpp"
#include "app/natives/app_natives.hpp"
#include "app/natives/native_context.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

namespace {

// Serves the texts of the instance's embedded-library elements of that
// library name, one after the other; *found counts them.
ErrCode ServeTexts(KVContextBlock* block, int32_t id, std::string_view name, char* buffer,
                   int32_t capacity, int32_t* count, int32_t* found) {
  for (int32_t at = -1; FindElement(block, id, &at, kElemEmbeddedLibrary) == kOk;) {
    ElementListView list;
    ElementRef element;
    EmbeddedSource source;
    if (!InstanceElementAt(block, id, at, &list, &element) ||
        !ReadEmbeddedSource(list, element, &source) || source.library != name)
      continue;
    const std::string_view text = source.text;
    ++*found;
    // Texts follow each other on lines of their own.
    const bool separate = *count > 0 && buffer[*count - 1] != '\n' && buffer[*count - 1] != '\r';
    const size_t need = text.size() + (separate ? 1 : 0);
    // A source that does not fit whole is not served cut: the caller gets
    // 3 and tries again with more room.
    if (need > static_cast<size_t>(capacity - *count)) return kErrDataOverflow;
    if (separate) buffer[(*count)++] = '\n';
    std::memcpy(buffer + *count, text.data(), text.size());
    *count += static_cast<int32_t>(text.size());
  }
  return kOk;
}

}  // namespace

ErrCode ReadKVLibrary(EngineContext*, const char* name, const char*, uintptr_t user, char* buffer,
                      int32_t capacity, int32_t* length) {
  constexpr size_t kPrefix = sizeof kKVLibraryPrefix - 1;
  *length = 0;
  KVContextBlock* block = BlockOfNativeUser(user);
  if (!block) return kErrFileNotFound;
  int32_t count = 0, found = 0;
  ErrCode answer = kOk;
  if (std::strncmp(name, kKVLibraryPrefix, kPrefix) == 0) {
    // A KV file's own library: its sources.
    const int32_t id = FindInstanceByFileName(block, name + kPrefix);
    if (id < 0) return kErrFileNotFound;
    answer = ServeTexts(block, id, "", buffer, capacity, &count, &found);
  } else {
    // A library an instance embeds: the first instance of the list that
    // holds it.
    const ElementListView list = BlockElements(block, 0, kNoLanguage);
    ElementRef e;
    for (uint32_t pos = 0; !found && !answer && ReadElementAt(list, pos, &e); pos += e.length)
      if (e.kind == kElemInstanceStart && e.length > 2)
        answer = ServeTexts(block, static_cast<int32_t>(ElementWord(list, e, 0)), name, buffer,
                            capacity, &count, &found);
    if (!answer && !found) return kErrFileNotFound;
  }
  *length = answer ? 0 : count;
  return answer;
}

ErrCode ReadAppLibrary(EngineContext* ctx, const char* name, const char* folder, uintptr_t user,
                       char* buffer, int32_t capacity, int32_t* length) {
  const ErrCode e = ReadKVLibrary(ctx, name, folder, user, buffer, capacity, length);
  if (e != kErrFileNotFound) return e;
  return ReadCarriedHelp(ctx, name, folder, user, buffer, capacity, length);
}

}  // namespace vke
