// The element-kind table: the codes and payload layouts stored files rely
// on, the names _action gives, and which kinds count as plot handlers.
#include "app/element_kinds.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/event_values.hpp"

namespace vke {
namespace {

TEST(ElementKinds, StoredCodesKeepTheirLayouts) {
  struct Expect {
    PayloadLayout layout;
    std::vector<uint32_t> codes;
  };
  const Expect expected[] = {
      {PayloadLayout::kInstanceStart, {1}},
      {PayloadLayout::kText, {2, 3, 5, 11, 20, 22, 24, 45, 47}},
      {PayloadLayout::kWord, {6, 12}},
      {PayloadLayout::kDescriptor, {7, 8, 9, 16, 32, 36, 37, 38, 41}},
      {PayloadLayout::kTargetDescriptor, {26, 27, 28, 29, 30, 31, 33, 34, 35}},
      {PayloadLayout::kTextDescriptor, {15, 17, 19, 40}},
      {PayloadLayout::kPaste, {14}},
      {PayloadLayout::kPostEvent, {39}},
      {PayloadLayout::kEmbeddedFile, {43}},
      {PayloadLayout::kEmbeddedLibrary, {44}},
      {PayloadLayout::kNone, {13, 18, 23, 25}},
  };
  size_t stored = 0;
  for (const Expect& e : expected) {
    for (uint32_t code : e.codes) {
      EXPECT_EQ(ElementPayloadLayout(code), e.layout) << code;
      EXPECT_NE(FindElementKind(code), nullptr) << code;
    }
    stored += e.codes.size();
  }
  // Besides these only the never-stored request for the current language's
  // init handler is a kind; unknown codes are walked over by their length.
  EXPECT_EQ(std::size(kElementKinds), stored + 1);
  EXPECT_EQ(kElemLanguageInit, 48u);
  for (uint32_t code : {0u, 4u, 10u, 21u, 42u, 46u, 48u, 49u, 0xFFFFFFFFu})
    EXPECT_EQ(ElementPayloadLayout(code), PayloadLayout::kOther) << code;
  EXPECT_EQ(FindElementKind(4), nullptr);
}

TEST(ElementKinds, ActionNamesAndHandlerGroups) {
  const std::vector<std::pair<uint32_t, std::string>> named = {
      {26, "mousedown"},
      {27, "mousedrag"},
      {28, ""},
      {29, "mouseup"},
      {30, "mousedoubleclick"},
      {31, "mouseover"},
      {32, "mouseout"},
      {33, "mousescroll"},
      {34, "dragin"},
      {35, "dragout"},
      {36, "draw"},
      {37, ""},
      {38, ""},
      {7, ""},
      {19, ""},
      {0, ""},
      {99, ""},
  };
  for (const auto& [code, name] : named) EXPECT_EQ(HandlerActionName(code), name) << code;

  // The handlers that make a plot take clicks: buttons and the wheel.
  std::vector<uint32_t> buttons;
  for (const ElementKindInfo& k : kElementKinds)
    if (k.group == HandlerGroup::kButton) buttons.push_back(k.code);
  EXPECT_EQ(buttons, (std::vector<uint32_t>{26, 27, 28, 29, 30, 33}));

  // Plot handlers run from 26 to 38 and nothing else is one.
  for (const ElementKindInfo& k : kElementKinds)
    EXPECT_EQ(k.group != HandlerGroup::kNone, k.code >= 26 && k.code <= 38) << k.code;
  EXPECT_EQ(ElementHandlerGroup(1000), HandlerGroup::kNone);
}

}  // namespace
}  // namespace vke
