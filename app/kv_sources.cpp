// Reading the embedded sources of a KV file and finding the file of a
// function.
#include "app/kv_sources.hpp"

#include <cstring>

#include "app/handler_elements.hpp"
#include "app/instances.hpp"
#include "engine/text/name_chars.hpp"

namespace vke {

namespace {

// Payload words of an embedded library in front of its bytes: the byte
// count, the text length, the first line and one more word.
constexpr uint32_t kLibraryHeaderWords = 4;

// True when a line of the text starts a function definition that names the
// function as a whole word.
bool DefinesFunction(std::string_view text, std::string_view function) {
  constexpr std::string_view kKeyword = "function";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line.substr(first, kKeyword.size()) != kKeyword)
      continue;
    line = line.substr(first + kKeyword.size());
    for (size_t at = line.find(function); at != std::string_view::npos;
         at = line.find(function, at + 1)) {
      const size_t after = at + function.size();
      if ((at == 0 || !IsNameChar(line[at - 1])) &&
          (after == line.size() || !IsNameChar(line[after])))
        return true;
    }
  }
  return false;
}

}  // namespace

bool ReadEmbeddedSource(const ElementListView& list, const ElementRef& e, EmbeddedSource* source) {
  if (e.length < 2 + kLibraryHeaderWords) return false;
  const uint32_t before = ElementWord(list, e, 0);
  const auto length = static_cast<int32_t>(ElementWord(list, e, 1));
  const uint64_t payload = 4ull * (e.length - 2);
  if (length < 0 || 4ull * kLibraryHeaderWords + before + uint64_t(length) > payload) return false;
  const auto* bytes = reinterpret_cast<const char*>(list.words) +
                      4ull * (list.instanceStart + e.offset + 2 + kLibraryHeaderWords);
  source->fileName = std::string_view(bytes, strnlen(bytes, before));
  const size_t next = source->fileName.size() + 1;
  source->library = next < before
                        ? std::string_view(bytes + next, strnlen(bytes + next, before - next))
                        : std::string_view{};
  source->text = std::string_view(bytes + before, static_cast<size_t>(length));
  return true;
}

std::string_view SourceFileOfFunction(KVContextBlock* block, int32_t id,
                                      std::string_view function) {
  std::string_view only;
  int32_t named = 0;
  for (int32_t at = -1; FindElement(block, id, &at, kElemEmbeddedLibrary) == kOk;) {
    ElementListView list;
    ElementRef element;
    EmbeddedSource source;
    if (!InstanceElementAt(block, id, at, &list, &element) ||
        !ReadEmbeddedSource(list, element, &source) || source.fileName.empty())
      continue;
    if (!function.empty() && DefinesFunction(source.text, function)) return source.fileName;
    only = source.fileName;
    ++named;
  }
  return named == 1 ? only : std::string_view{};
}

std::string_view SourceFileOfLibrary(KVContextBlock* block, std::string_view library) {
  for (int32_t i = 0; const InstanceRecord* r = InstanceRecordAt(block, i); i++) {
    const auto id = static_cast<int32_t>(r->id);
    for (int32_t at = -1; FindElement(block, id, &at, kElemEmbeddedLibrary) == kOk;) {
      ElementListView list;
      ElementRef element;
      EmbeddedSource source;
      if (InstanceElementAt(block, id, at, &list, &element) &&
          ReadEmbeddedSource(list, element, &source) && source.library == library)
        return source.fileName;
    }
  }
  return {};
}

}  // namespace vke
