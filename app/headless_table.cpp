// The application's natives that need no figure, instance or window: the
// rows of app/natives.def marked for it, apart from the rest of the table so
// that a program registering only these (the runner) links no figure code.
#include "app/errors.hpp"
#include "app/natives/app_natives.hpp"
#include "app/runtime_tables.hpp"
#include "control/system_natives.hpp"
#include "engine/registry/natives_decl.hpp"
#include "graphics/panel_natives.hpp"
#include "graphics/response_options.hpp"

namespace vke {

const NativeFunctionRecord* HeadlessAppTable() {
  static const NativeFunctionRecord table[] = {
#define VKE_APP_RECORD(name, fn, minIn, maxIn, minOut, maxOut, option, kind)
#define VKE_APP_HEADLESS_RECORD(name, fn, minIn, maxIn, minOut, maxOut, option, kind) \
  MakeRecord(name, fn, minIn, maxIn, minOut, maxOut, option, kind),
#include "app/natives.def"
#undef VKE_APP_HEADLESS_RECORD
#undef VKE_APP_RECORD
      MakeRecord(""),
  };
  return table;
}

}  // namespace vke
