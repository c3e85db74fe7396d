// The element kinds of the compiled KV file and what is known of each kind:
// its payload layout, the keyword kvpack writes it with and the plot handler
// it is. Everything here is generated from the rows of app/element_kinds.def.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vke {

// Element kinds of the compiled element list.
enum ElementKind : uint32_t {
#define VKE_ELEMENT_KIND(code, name, layout, keyword, group, slot, action, meaning) \
  kElem##name = code,
#include "app/element_kinds.def"
#undef VKE_ELEMENT_KIND
};

// The payload layouts of the element kinds, in words after the kind and
// length; texts are {n; n bytes; NUL; padding}.
enum class PayloadLayout : uint8_t {
  kNone,              // no payload
  kInstanceStart,     // instance id; code word; NUL-terminated file name
  kText,              // text
  kWord,              // one word
  kDescriptor,        // descriptor
  kTargetDescriptor,  // target id; descriptor
  kTextDescriptor,    // text; descriptor
  kPaste,             // linked instance id; link id; text; descriptor
  kPostEvent,         // n; n variable ids; descriptor
  kEmbeddedFile,      // name length n; name, NUL and padding; data length m; m bytes
  kEmbeddedLibrary,   // byte count b; text length t; first line; a word; b bytes; t bytes
  kOther,             // not known here: walked over by its length
};

// Which plot handlers a kind is; kvpack takes every group but kNone only
// after a figure element.
enum class HandlerGroup : uint8_t {
  kNone,        // not a handler of a plot
  kButton,      // mouse button or wheel: the handlers that make a plot take clicks
  kHover,       // the pointer moving over the plot or leaving it
  kFileDrag,    // a drag entering or leaving the plot
  kDraw,        // draws the plot
  kFigureRect,  // the figure rectangle changed; run for the instance, not per plot
};

// One row of the table.
struct ElementKindInfo {
  uint32_t code;
  PayloadLayout layout;
  const char* keyword;  // "": kvpack writes no such element
  HandlerGroup group;
  bool namedAction;  // _action gives the keyword while the handler runs
};

inline constexpr ElementKindInfo kElementKinds[] = {
#define VKE_ELEMENT_KIND(code, name, layout, keyword, group, slot, action, meaning) \
  {code, PayloadLayout::layout, keyword, HandlerGroup::group, action},
#include "app/element_kinds.def"
#undef VKE_ELEMENT_KIND
};

// The row of a kind, or null for a code that is no element kind.
constexpr const ElementKindInfo* FindElementKind(uint32_t kind) {
  for (const ElementKindInfo& info : kElementKinds)
    if (info.code == kind) return &info;
  return nullptr;
}

// The handler group of a kind; kNone for codes that are no element kind. (Not
// through FindElementKind: GCC 12 cannot test that pointer in a constant
// expression.)
constexpr HandlerGroup ElementHandlerGroup(uint32_t kind) {
  for (const ElementKindInfo& info : kElementKinds)
    if (info.code == kind) return info.group;
  return HandlerGroup::kNone;
}

// The payload layout of a kind; kOther for codes that are no element kind.
constexpr PayloadLayout ElementPayloadLayout(uint32_t kind) {
  for (const ElementKindInfo& info : kElementKinds)
    if (info.code == kind) return info.layout;
  return PayloadLayout::kOther;
}

namespace element_kinds_detail {
constexpr bool CodesAscending() {
  for (size_t i = 1; i < std::size(kElementKinds); i++)
    if (kElementKinds[i].code <= kElementKinds[i - 1].code) return false;
  return kElementKinds[0].code > 0;
}
constexpr bool KeywordsUnique() {
  for (size_t i = 0; i < std::size(kElementKinds); i++)
    for (size_t j = i + 1; j < std::size(kElementKinds); j++)
      if (*kElementKinds[i].keyword &&
          std::string_view(kElementKinds[i].keyword) == kElementKinds[j].keyword)
        return false;
  return true;
}
constexpr bool NamedActionsAreHandlers() {
  for (const ElementKindInfo& info : kElementKinds)
    if (info.namedAction && (info.group == HandlerGroup::kNone || !*info.keyword)) return false;
  return true;
}
}  // namespace element_kinds_detail

// Codes are unique and ascending (0 is kvpack's "no element"), so are
// keywords, and only handlers with a keyword name the running action.
static_assert(element_kinds_detail::CodesAscending());
static_assert(element_kinds_detail::KeywordsUnique());
static_assert(element_kinds_detail::NamedActionsAreHandlers());

}  // namespace vke
