// Walking the elements of one instance.
#include "graphics/kv_elements.hpp"

#include "engine/base.hpp"

namespace vke {

namespace {

uint32_t WordAt(const ElementListView& list, uint32_t pos) {
  return Load<uint32_t>(list.words + size_t{pos} * 4);
}

// The element at word position pos, or false when its header or length runs
// past the words in use.
bool ReadElement(const ElementListView& list, uint32_t pos, ElementRef* out) {
  if (pos >= list.wordCount || list.wordCount - pos < 2) return false;
  uint32_t length = WordAt(list, pos + 1);
  if (length < 2 || length > list.wordCount - pos) return false;
  *out = {WordAt(list, pos), pos - list.instanceStart, length};
  return true;
}

}  // namespace

uint32_t ElementWord(const ElementListView& list, const ElementRef& element, uint32_t i) {
  return WordAt(list, list.instanceStart + element.offset + 2 + i);
}

bool ElementAtOffset(const ElementListView& list, uint32_t offset, ElementRef* out) {
  ElementRef e;
  uint32_t pos = list.instanceStart;
  if (!ReadElement(list, pos, &e) || e.kind != kElemInstanceStart) return false;
  while (e.offset < offset) {
    pos += e.length;
    if (!ReadElement(list, pos, &e) || e.kind == kElemInstanceStart) return false;
  }
  if (e.offset != offset) return false;
  *out = e;
  return true;
}

bool ElementText(const ElementListView& list, const ElementRef& element, uint32_t first,
                 std::string_view* out) {
  uint32_t payload = element.length - 2;
  if (first >= payload) return false;
  uint32_t n = ElementWord(list, element, first);
  if (n / 4 + 1 > payload - first - 1) return false;
  const std::byte* at = list.words + (size_t{list.instanceStart} + element.offset + 3 + first) * 4;
  *out = std::string_view(reinterpret_cast<const char*>(at), n);
  return true;
}

InstanceElementWalker::InstanceElementWalker(const ElementListView& list, const ElementRef& from)
    : list_(list), pos_(list.instanceStart + from.offset + from.length) {}

bool InstanceElementWalker::Next(ElementRef* out) {
  ElementRef e;
  while (ReadElement(list_, pos_, &e) && e.kind != kElemInstanceStart) {
    pos_ += e.length;
    switch (e.kind) {
      case kElemLanguageSection:
        active_ = static_cast<int64_t>(e.offset) == list_.currentLanguage;
        break;
      case kElemLanguageBlock:
        active_ =
            e.length > 2 && static_cast<int32_t>(ElementWord(list_, e, 0)) == list_.currentLanguage;
        break;
      case kElemLanguageEnd:
        active_ = false;
        break;
      default:
        if (active_) {
          *out = e;
          return true;
        }
    }
  }
  return false;
}

}  // namespace vke
