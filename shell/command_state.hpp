// What a command's update rule gives its menu item.
#pragma once

#include <cstdint>
#include <string>

namespace vke {

struct CommandState {
  bool enabled;
  bool checked;
};

// The check mark of an item: none for an item that carries none, and
// indeterminate when the selected subplots differ.
enum class CheckMark : uint8_t { kNone, kOff, kOn, kMixed };

struct CommandUpdate {
  bool enabled = false;
  CheckMark check = CheckMark::kNone;
  std::string text;  // the item's new text before its accelerator; empty: kept
};

}  // namespace vke
