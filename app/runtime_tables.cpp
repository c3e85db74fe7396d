// Builds the application's part of the runtime's static native table from
// app/natives.def. The engine's part lives in engine_table.cpp, apart, so
// that a program linking only the engine's part (the runner) pulls in no
// figure code and none of the drawing libraries under it.
#include "app/runtime_tables.hpp"

#include "app/carried_help.hpp"
#include "app/control_native_frame.hpp"
#include "app/errors.hpp"
#include "app/event_values.hpp"
#include "app/layout_natives.hpp"
#include "app/name_buffer.hpp"
#include "app/natives/app_natives.hpp"
#include "app/natives/embedded_files.hpp"
#include "app/plot_native_frame.hpp"
#include "control/system_natives.hpp"
#include "engine/registry/natives_decl.hpp"

namespace vke {

const NativeFunctionRecord* AppStaticTable() {
  static const NativeFunctionRecord table[] = {
#define VKE_APP_RECORD(name, fn, minIn, maxIn, minOut, maxOut, option, kind) \
  MakeRecord(name, fn, minIn, maxIn, minOut, maxOut, option, kind),
#define VKE_APP_HEADLESS_RECORD VKE_APP_RECORD
#define VKE_APP_RESPONSE_RECORD(name, fn, outputsFn, minIn, maxIn, minOut, maxOut, option, kind) \
  VKE_APP_RECORD(name, fn, minIn, maxIn, minOut, maxOut, option, kind)
#define VKE_APP_HEADLESS_HOOK VKE_APP_RESPONSE_RECORD
#include "app/natives.def"
#undef VKE_APP_HEADLESS_HOOK
#undef VKE_APP_RESPONSE_RECORD
#undef VKE_APP_HEADLESS_RECORD
#undef VKE_APP_RECORD
      MakeRecord(""),
  };
  return table;
}

}  // namespace vke
