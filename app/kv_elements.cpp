// Walking the elements of one instance.
#include "app/kv_elements.hpp"

#include "engine/base.hpp"

namespace vke {

namespace {

uint32_t WordAt(const ElementListView& list, uint32_t pos) {
  return Load<uint32_t>(list.words + size_t{pos} * 4);
}

}  // namespace

bool ReadElementAt(const ElementListView& list, uint32_t pos, ElementRef* out) {
  if (pos >= list.wordCount || list.wordCount - pos < 2) return false;
  uint32_t length = WordAt(list, pos + 1);
  if (length < 2 || length > list.wordCount - pos) return false;
  *out = {WordAt(list, pos), pos - list.instanceStart, length};
  return true;
}

uint32_t ElementWord(const ElementListView& list, const ElementRef& element, uint32_t i) {
  return WordAt(list, list.instanceStart + element.offset + 2 + i);
}

bool ElementAtOffset(const ElementListView& list, uint32_t offset, ElementRef* out) {
  ElementRef e;
  uint32_t pos = list.instanceStart;
  if (!ReadElementAt(list, pos, &e) || e.kind != kElemInstanceStart) return false;
  while (e.offset < offset) {
    pos += e.length;
    if (!ReadElementAt(list, pos, &e) || e.kind == kElemInstanceStart) return false;
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

bool UpdateLanguageActivity(const ElementListView& list, const ElementRef& element, bool menuLookup,
                            bool* active) {
  switch (element.kind) {
    case kElemLanguageSection:
      *active = static_cast<int64_t>(element.offset) == list.currentLanguage;
      return true;
    case kElemLanguageBlock:
      *active = element.length > 2 &&
                static_cast<int32_t>(ElementWord(list, element, 0)) == list.currentLanguage;
      return true;
    case kElemLanguageEnd:
      *active = menuLookup;
      return true;
    default:
      return false;
  }
}

bool InstanceElementWalker::Next(ElementRef* out) {
  ElementRef e;
  while (ReadElementAt(list_, pos_, &e) && e.kind != kElemInstanceStart) {
    pos_ += e.length;
    if (!UpdateLanguageActivity(list_, e, false, &active_) && active_) {
      *out = e;
      return true;
    }
  }
  return false;
}

}  // namespace vke
