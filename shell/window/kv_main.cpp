// The runtime's entry: the application object.
#include "shell/window/kv_windows.hpp"

wxIMPLEMENT_APP(vke::KVApp);
