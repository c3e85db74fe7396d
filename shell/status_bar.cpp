// The busy pane's width.
#include "shell/status_bar.hpp"

#include <algorithm>

namespace vke {

int32_t BusyPaneWidth(const std::function<int32_t(std::string_view)>& textWidth, int32_t margins) {
  return std::max(kBusyPaneLeast, textWidth(kBusyText) + std::max(margins, 0));
}

}  // namespace vke
