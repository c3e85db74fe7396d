// The compiled KV file: a list of elements over ElementWords 32-bit words of
// the block's element area, each {kind, length in words including these two,
// payload}. Every instance's elements run from its instance-start element
// (kElemInstanceStart) to the next one. Positions handed out here are word positions in
// the list; the offsets that handler descriptors and records keep are counted
// from the instance-start element. Texts are {u32 n; n bytes; NUL; zero
// padding}: n / 4 + 2 words. The kinds are listed in app/element_kinds.def.
#pragma once

#include <string_view>

#include "app/block.hpp"
#include "app/kv_elements.hpp"

namespace vke {

// A handler call descriptor: {i32 function id (a name-buffer id, negative:
// none); u32 inputs I; u32 outputs O; O output codes; I input codes}.
struct HandlerDescriptor {
  int32_t function;
  uint32_t inputs;
  uint32_t outputs;
  uint32_t codes;  // word position of the first output code
};

// True when the words of an element list are sound to walk: it starts with an
// instance start, every element fits the words in use, and every payload
// whose layout is known fits its element (texts end with a NUL, descriptors
// hold their codes, an instance start holds its id, code word and a
// NUL-terminated file name). kKvUndefElement otherwise.
ErrCode CheckElementList(const void* words, uint32_t wordCount);

// The words of the block's element list as one instance sees them.
ElementListView BlockElements(KVContextBlock* block, uint32_t instanceStart, int32_t language);
// The descriptor that starts at word `at` of the list; false when it does
// not fit the words in use.
bool ReadHandlerDescriptor(const ElementListView& list, uint32_t at, HandlerDescriptor* out);

// Word position of the instance-start element of an id; kKvNonexistentInstance.
ErrCode FindInstanceStart(KVContextBlock* block, int32_t id, uint32_t* position);
// From a position (-1: the instance start) to the next active element of the
// kind within the instance; language sections are found whether active or
// not, and kElemInstanceStart finds the instance start itself, then the next instance's.
// kElemLanguageInit asks for kElemInit inside the current language only. kKvUndefElement at the
// next instance start or the end, kKvNonexistentInstance.
ErrCode FindElement(KVContextBlock* block, int32_t id, int32_t* position, uint32_t kind);
// The code word of the instance-start element, 0 when there is none.
uint32_t GetInstanceHeaderWord(KVContextBlock* block, int32_t id);
// Whether the instance has instance-wide code (a kElemInstanceCode right
// after its instance start), which runs in place of its draw handlers.
bool HasInstanceWideCode(KVContextBlock* block, int32_t id);
// Removes the instance's elements; kKvNonexistentInstance.
ErrCode RemoveInstanceElements(KVContextBlock* block, int32_t id);
// The id of the first instance whose file name is the name, or the name
// followed by "." and more (names compared on at most 32 characters); -1.
int32_t FindInstanceByFileName(KVContextBlock* block, std::string_view name);
// The first active element of the kind before any active menu item (19) or
// figure (24): its text (empty for kinds without one) and its first payload
// word (0 without payload). kKvUndefElement, kKvNonexistentInstance.
ErrCode GetInstanceElement(KVContextBlock* block, int32_t id, uint32_t kind, std::string_view* text,
                           uint32_t* word);

}  // namespace vke
