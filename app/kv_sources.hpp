// The sources embedded in a KV file (elements of kind 44): each one's text,
// the name of the file it came from and, for a library the application
// embeds, the library's name; the bytes in front of the text hold the two
// names one after the other, each NUL-terminated, when the packing tool
// wrote them.
#pragma once

#include <string_view>

#include "app/element_list.hpp"
#include "app/kv_elements.hpp"

namespace vke {

struct EmbeddedSource {
  std::string_view fileName;  // empty when the element names no file
  std::string_view library;   // empty for the KV file's own sources
  std::string_view text;
};

// The parts of an embedded-library element; false for one marked skipped
// (a negative length) or whose parts do not fit it.
bool ReadEmbeddedSource(const ElementListView& list, const ElementRef& element,
                        EmbeddedSource* source);

// The name of the source file of instance id that defines the function
// (a line "function ... name" or "function name ..."); the only named
// source when just one is named; empty when none is known.
std::string_view SourceFileOfFunction(KVContextBlock* block, int32_t id, std::string_view function);

// The name of the file of the embedded library of that name, from the
// first instance that embeds it; empty when none does.
std::string_view SourceFileOfLibrary(KVContextBlock* block, std::string_view library);

}  // namespace vke
