// Builds the application's part of the static native table from the rows of
// app/natives.def.
#include "app/static_table.hpp"

#include "app/errors.hpp"
#include "app/event_values.hpp"
#include "app/layout_natives.hpp"
#include "app/name_buffer.hpp"
#include "app/plot_native_frame.hpp"
#include "control/system_natives.hpp"

namespace vke {

const NativeFunctionRecord* AppStaticTable() {
  static const NativeFunctionRecord table[] = {
#define VKE_APP_RECORD(name, fn, minIn, maxIn, minOut, maxOut, option, kind) \
  MakeRecord(name, fn, minIn, maxIn, minOut, maxOut, option, kind),
#include "app/natives.def"
#undef VKE_APP_RECORD
      MakeRecord(""),
  };
  return table;
}

}  // namespace vke
