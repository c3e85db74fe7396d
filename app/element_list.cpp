// Checking and walking the compiled element list: the payload layouts of the
// element kinds, the lookups of instances and elements that respect the
// language sections, and the removal of an instance's elements.
#include "app/element_list.hpp"

#include <cstring>

#include "app/instances.hpp"

namespace vke {

namespace {

constexpr uint32_t kMaxNameChars = 32;

uint32_t Word(const void* words, uint64_t pos) {
  return Load<uint32_t>(static_cast<const uint8_t*>(words) + 4 * pos);
}

// Walks a payload of `words` words from its first word: each step takes what
// the layout says and fails when it does not fit.
class PayloadReader {
 public:
  PayloadReader(const void* words, uint64_t first, uint64_t count)
      : words_(words), pos_(first), end_(first + count) {}

  bool Words(uint64_t n) {
    if (n > end_ - pos_) return false;
    pos_ += n;
    return true;
  }
  bool Take(uint32_t* value) {
    if (pos_ >= end_) return false;
    *value = Word(words_, pos_++);
    return true;
  }
  // {n; n bytes; NUL; padding}.
  bool Text() {
    uint32_t n;
    if (!Take(&n) || uint64_t{n} / 4 + 1 > end_ - pos_) return false;
    const bool terminated = static_cast<const uint8_t*>(words_)[4 * pos_ + n] == 0;
    pos_ += n / 4 + 1;
    return terminated;
  }
  // Bytes of a given count, padded to whole words.
  bool Bytes(uint64_t n) { return Words((n + 3) / 4); }
  bool Descriptor() {
    uint32_t function, inputs, outputs;
    return Take(&function) && Take(&inputs) && Take(&outputs) && Words(uint64_t{inputs} + outputs);
  }
  // The file name of an instance start: a NUL within the rest.
  bool NameToEnd() const {
    const auto* bytes = static_cast<const uint8_t*>(words_);
    return std::memchr(bytes + 4 * pos_, 0, 4 * (end_ - pos_)) != nullptr;
  }

 private:
  const void* words_;
  uint64_t pos_;
  uint64_t end_;
};

// Whether the payload of an element fits the layout of its kind; kinds whose
// layout is not known here are taken as they are.
bool PayloadFits(const void* words, uint32_t kind, uint64_t first, uint64_t count) {
  PayloadReader r(words, first, count);
  uint32_t n, m;
  switch (ElementPayloadLayout(kind)) {
    case PayloadLayout::kInstanceStart:
      return r.Words(2) && r.NameToEnd();
    case PayloadLayout::kText:
      return r.Text();
    case PayloadLayout::kWord:
      return r.Words(1);
    case PayloadLayout::kDescriptor:
      return r.Descriptor();
    case PayloadLayout::kTargetDescriptor:
      return r.Words(1) && r.Descriptor();
    case PayloadLayout::kPaste:
      return r.Words(2) && r.Text() && r.Descriptor();
    case PayloadLayout::kTextDescriptor:
      return r.Text() && r.Descriptor();
    case PayloadLayout::kPostEvent:
      return r.Take(&n) && r.Words(n) && r.Descriptor();
    case PayloadLayout::kEmbeddedFile:
      return r.Take(&n) && r.Bytes(uint64_t{n} + 1) && r.Take(&m) && r.Bytes(m);
    case PayloadLayout::kEmbeddedLibrary: {
      // Six header words with kind and length: a byte count, a text length
      // (negative: none), a line number and one more word.
      uint32_t bytes, textLength;
      if (!r.Take(&bytes) || !r.Take(&textLength) || !r.Words(2)) return false;
      const int32_t text = static_cast<int32_t>(textLength);
      return r.Bytes(uint64_t{bytes} + (text > 0 ? text : 0));
    }
    case PayloadLayout::kNone:
    case PayloadLayout::kOther:
      return true;
  }
  return true;
}

// The view of the whole list, for walks over every instance.
ElementListView WholeList(KVContextBlock* block) {
  return BlockElements(block, 0, kNoLanguage);
}

// The view of an instance: its start and current language.
ElementListView InstanceList(KVContextBlock* block, int32_t id, uint32_t start) {
  const InstanceRecord* record = FindInstance(block, id);
  return BlockElements(block, start, record ? record->currentLanguage : kNoLanguage);
}

// The file name of an instance-start element.
std::string_view StartFileName(const ElementListView& list, const ElementRef& start) {
  const auto* name = reinterpret_cast<const char*>(list.words) +
                     4 * (size_t{list.instanceStart} + start.offset + 4);
  const size_t room = 4 * size_t{start.length - 4};
  return std::string_view(name, strnlen(name, room));
}

bool FileNameMatches(std::string_view file, std::string_view name) {
  if (name.size() > kMaxNameChars) name = name.substr(0, kMaxNameChars);
  if (file.substr(0, name.size()) != name) return false;
  return file.size() == name.size() || file[name.size()] == '.' || name.size() == kMaxNameChars;
}

// Calls f(position, element) for every instance start of the list until f
// returns true.
template <typename F>
bool ForEachInstanceStart(const ElementListView& list, F f) {
  ElementRef e;
  for (uint32_t pos = 0; ReadElementAt(list, pos, &e); pos += e.length)
    if (e.kind == kElemInstanceStart && e.length >= 4 && f(pos, e)) return true;
  return false;
}

}  // namespace

ErrCode CheckElementList(const void* words, uint32_t wordCount) {
  for (uint64_t pos = 0; pos < wordCount;) {
    if (wordCount - pos < 2) return kKvUndefElement;
    const uint32_t kind = Word(words, pos);
    const uint32_t length = Word(words, pos + 1);
    if (length < 2 || length > wordCount - pos) return kKvUndefElement;
    if (pos == 0 && kind != kElemInstanceStart) return kKvUndefElement;
    if (!PayloadFits(words, kind, pos + 2, length - 2)) return kKvUndefElement;
    pos += length;
  }
  return kOk;
}

ElementListView BlockElements(KVContextBlock* block, uint32_t instanceStart, int32_t language) {
  const uint32_t capacity = block->elementBytes / 4;
  return {reinterpret_cast<const std::byte*>(block->ElementArea()),
          block->elementWords < capacity ? block->elementWords : capacity, instanceStart, language};
}

bool ReadHandlerDescriptor(const ElementListView& list, uint32_t at, HandlerDescriptor* out) {
  if (at > list.wordCount || list.wordCount - at < 3) return false;
  out->function = static_cast<int32_t>(Word(list.words, at));
  out->inputs = Word(list.words, at + 1);
  out->outputs = Word(list.words, at + 2);
  out->codes = at + 3;
  return uint64_t{out->inputs} + out->outputs <= list.wordCount - out->codes;
}

ErrCode FindInstanceStart(KVContextBlock* block, int32_t id, uint32_t* position) {
  const ElementListView list = WholeList(block);
  const bool found = ForEachInstanceStart(list, [&](uint32_t pos, const ElementRef& e) {
    if (static_cast<int32_t>(ElementWord(list, e, 0)) != id) return false;
    *position = pos;
    return true;
  });
  if (!found) return kKvNonexistentInstance;
  return kOk;
}

ErrCode FindElement(KVContextBlock* block, int32_t id, int32_t* position, uint32_t kind) {
  uint32_t start;
  if (ErrCode e = FindInstanceStart(block, id, &start)) return e;
  const ElementListView list = InstanceList(block, id, start);
  const uint32_t wanted = kind == kElemLanguageInit ? kElemInit : kind;
  bool active = true;
  uint32_t pos;
  ElementRef e;
  if (*position < 0) {
    if (kind == kElemInstanceStart) {
      *position = static_cast<int32_t>(start);
      return kOk;
    }
    ReadElementAt(list, start, &e);
    pos = start + e.length;
    active = kind != kElemLanguageInit;
  } else {
    if (!ReadElementAt(list, static_cast<uint32_t>(*position), &e)) return kKvUndefElement;
    pos = static_cast<uint32_t>(*position) + e.length;
  }
  for (; ReadElementAt(list, pos, &e); pos += e.length) {
    if (e.kind == kElemInstanceStart && wanted != kElemInstanceStart) break;
    // Language sections and instance starts are found whether active or not.
    if (e.kind == wanted &&
        (active || wanted == kElemLanguageSection || wanted == kElemInstanceStart)) {
      *position = static_cast<int32_t>(pos);
      return kOk;
    }
    UpdateLanguageActivity(list, e, false, &active);
  }
  return kKvUndefElement;
}

uint32_t GetInstanceHeaderWord(KVContextBlock* block, int32_t id) {
  uint32_t start;
  if (FindInstanceStart(block, id, &start)) return 0;
  const ElementListView list = InstanceList(block, id, start);
  ElementRef e;
  return ReadElementAt(list, start, &e) ? ElementWord(list, e, 1) : 0;
}

bool HasInstanceWideCode(KVContextBlock* block, int32_t id) {
  uint32_t start;
  if (FindInstanceStart(block, id, &start)) return false;
  const ElementListView list = InstanceList(block, id, start);
  ElementRef e;
  return ReadElementAt(list, start, &e) && ReadElementAt(list, start + e.length, &e) &&
         e.kind == kElemInstanceCode;
}

ErrCode RemoveInstanceElements(KVContextBlock* block, int32_t id) {
  uint32_t start;
  if (ErrCode e = FindInstanceStart(block, id, &start)) return e;
  const ElementListView list = WholeList(block);
  ElementRef e;
  uint32_t end = start;
  do {
    ReadElementAt(list, end, &e);
    end += e.length;
  } while (ReadElementAt(list, end, &e) && e.kind != kElemInstanceStart);
  uint8_t* area = block->ElementArea();
  std::memmove(area + 4ull * start, area + 4ull * end, 4ull * (list.wordCount - end));
  block->elementWords = list.wordCount - (end - start);
  return kOk;
}

int32_t FindInstanceByFileName(KVContextBlock* block, std::string_view name) {
  const ElementListView list = WholeList(block);
  int32_t id = -1;
  ForEachInstanceStart(list, [&](uint32_t, const ElementRef& e) {
    if (!FileNameMatches(StartFileName(list, e), name)) return false;
    id = static_cast<int32_t>(ElementWord(list, e, 0));
    return true;
  });
  return id;
}

ErrCode GetInstanceElement(KVContextBlock* block, int32_t id, uint32_t kind, std::string_view* text,
                           uint32_t* word) {
  uint32_t start;
  if (ErrCode e = FindInstanceStart(block, id, &start)) return e;
  const ElementListView list = InstanceList(block, id, start);
  ElementRef e;
  ReadElementAt(list, start, &e);
  InstanceElementWalker walker(list, e);
  while (walker.Next(&e)) {
    if (e.kind == kElemMenuItem || e.kind == kElemFigure) break;
    if (e.kind != kind) continue;
    if (text && !ElementText(list, e, 0, text)) *text = std::string_view();
    if (word) *word = e.length > 2 ? ElementWord(list, e, 0) : 0;
    return kOk;
  }
  return kKvUndefElement;
}

}  // namespace vke
