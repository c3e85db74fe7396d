// The frame's bars (the tool bar and the status bar) as the preferences keep
// them between runs: group "BarSettings" holds "Bars", the number of bar
// records, and for each record k from 0 "Bar<k>ID", the bar's id, and
// "Bar<k>Visible", 1 when the bar is shown and 0 when it is hidden. Written
// when the frame closes, read when it is made; a bar without a record that
// reads whole keeps its default (shown).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "shell/preferences.hpp"

namespace vke {

struct BarState {
  int32_t id;
  bool visible;
};

// The most bar records read back: a damaged count reads no further.
inline constexpr int32_t kMaxBarRecords = 16;

// Replaces the stored records by these.
void SaveBarStates(Preferences& preferences, std::span<const BarState> bars);
// The stored records that read whole (an id and a visibility of 0 or 1),
// in their order.
std::vector<BarState> LoadBarStates(const Preferences& preferences);

}  // namespace vke
