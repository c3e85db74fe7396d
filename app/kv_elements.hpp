// Reading the compiled element list of one instance: elements are 32-bit
// words {kind, length in words including these two, payload}; positions of
// elements and descriptors are counted in words from the instance's start
// element (kElemInstanceStart). A walk skips the elements of language sections other
// than the instance's current one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/element_kinds.hpp"

namespace vke {

// The element list as one instance sees it. Made again after anything that
// can move the memory block.
struct ElementListView {
  const std::byte* words;   // first word of the list
  uint32_t wordCount;       // words in use
  uint32_t instanceStart;   // word position of the instance's start element
  int32_t currentLanguage;  // offset of the current language section, -2 none
};

// One element: kind, offset from the instance start and length in words.
struct ElementRef {
  uint32_t kind;
  uint32_t offset;
  uint32_t length;
};

// The element at word position pos of the list, or false when its header or
// length runs past the words in use.
bool ReadElementAt(const ElementListView& list, uint32_t pos, ElementRef* out);

// Payload word i of an element (i < length - 2).
uint32_t ElementWord(const ElementListView& list, const ElementRef& element, uint32_t i);

// The element that starts exactly at `offset` inside the instance (any
// language). False for an offset that is not an element of the instance.
bool ElementAtOffset(const ElementListView& list, uint32_t offset, ElementRef* out);

// The text {u32 n; n bytes} that starts at payload word `first`; false when
// it does not fit in the element.
bool ElementText(const ElementListView& list, const ElementRef& element, uint32_t first,
                 std::string_view* out);

// How a language element changes whether the elements after it are active:
// a section (11) makes them active when it is the current one, a block (12)
// when its payload names the current one, the end of a block (13) makes them
// inactive, or active again for the menu lookup. False, with nothing
// changed, for every other kind.
bool UpdateLanguageActivity(const ElementListView& list, const ElementRef& element, bool menuLookup,
                            bool* active);

// Walks the active elements after the element at `offset` (0: the instance
// start) up to the next instance start or the end of the list; stops at an
// element whose length cannot be right.
class InstanceElementWalker {
 public:
  InstanceElementWalker(const ElementListView& list, const ElementRef& from);
  bool Next(ElementRef* out);

 private:
  ElementListView list_;
  uint32_t pos_;
  bool active_ = true;
};

}  // namespace vke
