// The toolkit's indeterminate check items, found by name in the program.
#include "platform/gui/menu_check.hpp"

#include <dlfcn.h>

namespace vke {

namespace {

using SetFn = void (*)(void*, int);
using GetFn = int (*)(void*);

template <typename Fn>
Fn Lookup(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace

void SetCheckItemIndeterminate(void* widget, bool on) {
  static const SetFn set = Lookup<SetFn>("gtk_check_menu_item_set_inconsistent");
  if (set && widget) set(widget, on ? 1 : 0);
}

bool CheckItemIndeterminate(void* widget) {
  static const GetFn get = Lookup<GetFn>("gtk_check_menu_item_get_inconsistent");
  return get && widget && get(widget) != 0;
}

}  // namespace vke
