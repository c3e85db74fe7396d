// Reading the compiled element list of one instance: elements are 32-bit
// words {kind, length in words including these two, payload}; positions of
// elements and descriptors are counted in words from the instance's start
// element (kind 1). A walk skips the elements of language sections other
// than the instance's current one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vke {

// Element kinds of the compiled element list.
enum ElementKind : uint32_t {
  kElemInstanceStart = 1,      // instance id; code word; file name up to the element's end
  kElemTitle = 2,              // text
  kElemVersion = 3,            // text
  kElemHelp = 5,               // text (markup)
  kElemUiOptions = 6,          // word copied into the instance's layout word
  kElemInit = 7,               // descriptor of the init handler
  kElemTerminate = 8,          // descriptor of the terminate handler
  kElemStartOutputs = 9,       // descriptor of the start-up outputs
  kElemLanguageSection = 11,   // language section; active when it is the current one
  kElemLanguageBlock = 12,     // language block; active when its payload is the current one
  kElemLanguageEnd = 13,       // end of a language block
  kElemPaste = 14,             // linked instance id; link id; text; descriptor
  kElemCopy = 15,              // text; descriptor
  kElemMake = 16,              // descriptor of a make element
  kElemFunction = 17,          // name text; descriptor of a function callable by name
  kElemMenuLookupEnd = 18,     // ends the menu lookup
  kElemMenuItem = 19,          // text; descriptor
  kElemMenuStructure = 20,     // text reported by the menu lookup
  kElemMenuStart = 22,         // text (menu title)
  kElemMenuEnd = 23,           // end of a menu
  kElemFigure = 24,            // a plot: its name, then its handler elements up to the next 24
  kElemMenuSeparator = 25,     // separator for the menu lookup
  kElemMouseDown = 26,         // target id; descriptor
  kElemMouseDrag = 27,         // target id; descriptor
  kElemSecondDrag = 28,        // target id; descriptor (second drag kind)
  kElemMouseUp = 29,           // target id; descriptor
  kElemMouseDoubleClick = 30,  // target id; descriptor
  kElemMouseOver = 31,         // target id; descriptor
  kElemMouseOut = 32,          // descriptor
  kElemMouseScroll = 33,       // target id; descriptor
  kElemDragIn = 34,            // target id; descriptor
  kElemDragOut = 35,           // target id; descriptor
  kElemDraw = 36,              // descriptor
  kElemDrawAndMouse = 37,      // descriptor of the draw and all mouse handlers 26-32
  kElemResize = 38,            // descriptor of a figure-rectangle handler
  kElemPostEvent = 39,         // n; n variable ids; descriptor
  kElemKey = 40,               // text (keys, empty: any); descriptor
  kElemIdle = 41,              // descriptor of the idle handler
  kElemEmbeddedFile = 43,      // name length; name; data length; data
  kElemEmbeddedLibrary = 44,   // six header words, bytes, library text
  kElemStartupScript = 45,     // text (source)
  kElemInstanceCode = 47,      // source text; only right after the instance start
  kElemLanguageInit = 48,      // never stored: asks for kind 7 inside the current language
};

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
