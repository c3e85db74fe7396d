// The port tables against the slot list: every slot with an operation is
// filled in each table, every reserved slot is empty, and the slot numbers
// run without gaps or repeats.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <type_traits>

#include "graphics/port.hpp"
#include "graphics/port_recording.hpp"

namespace vke {
namespace {

// Reserved slots are the ones typed PortEmptyFn.
void ExpectFilledAsListed(const GraphicsPort& port, const char* table) {
#define VKE_PORT_SLOT(index, member, type, name)                       \
  if constexpr (std::is_same_v<type, PortEmptyFn>) {                   \
    EXPECT_EQ(port.member, nullptr) << table << ": reserved " << name; \
  } else {                                                             \
    EXPECT_NE(port.member, nullptr) << table << ": " << name;          \
  }
#include "graphics/port_slots.def"
#undef VKE_PORT_SLOT
}

TEST(PortTables, EveryOperationFilledEveryReservedSlotEmpty) {
  ExpectFilledAsListed(ScreenPort(), "screen");
  ExpectFilledAsListed(PrinterPort(), "printer");
  RecordingPort rec;
  ExpectFilledAsListed(rec.port(), "recording");
  // A second recorder starts from the full table, whatever the first emptied.
  rec.RemoveSlot(PortSlot::drawText);
  RecordingPort again;
  ExpectFilledAsListed(again.port(), "recording again");
}

TEST(PortTables, SlotNumbersRunWithoutGapsOrRepeats) {
  std::set<std::string> names;
  for (int32_t i = 0; i < kPortSlotCount; ++i) {
    const std::string name = PortSlotName(static_cast<PortSlot>(i));
    EXPECT_NE(name, "?") << "slot " << i;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(kPortSlotCount));
  EXPECT_STREQ(PortSlotName(static_cast<PortSlot>(kPortSlotCount)), "?");
}

}  // namespace
}  // namespace vke
