// What a command's update rule gives its menu item.
#pragma once

namespace vke {

struct CommandState {
  bool enabled;
  bool checked;
};

}  // namespace vke
