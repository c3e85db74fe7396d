// The indeterminate ("inconsistent") state of the toolkit's check menu
// items, which the window toolkit's own menu items do not offer. The
// toolkit's functions are looked up in the running program; without them
// the state is neither set nor seen.
#pragma once

namespace vke {

// widget: the toolkit's check menu item.
void SetCheckItemIndeterminate(void* widget, bool on);
bool CheckItemIndeterminate(void* widget);

}  // namespace vke
