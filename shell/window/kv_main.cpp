// The runtime's entry: the application object, and the mark by which
// kvpack knows this program as the runtime.
#include "app/runtime_mark.hpp"
#include "shell/window/kv_windows.hpp"

VKE_DEFINE_RUNTIME_MARK();

wxIMPLEMENT_APP(vke::KVApp);
