// Builds the engine's static native table from the rows of every
// subsystem's natives.def, library by library in a fixed order.
#include "engine/static_table.hpp"

#include <vector>

#include "engine/natives_decl.hpp"
#include "engine/text.hpp"

namespace vke {

namespace {

struct NativeRow {
  const char* library;
  NativeFunctionRecord record;
};

// The libraries of the static table, in table order.
constexpr const char* kLibraries[] = {"@VKE", "!VKE", "!quaternion"};

std::vector<NativeFunctionRecord> BuildTable() {
  // VKE_NATIVE(library, name, function, minIn, maxIn, minOut, maxOut, option, kind)
  const NativeRow rows[] = {
#define VKE_NATIVE(lib, name, fn, minIn, maxIn, minOut, maxOut, option, kind) \
  {lib, MakeRecord(name, fn, minIn, maxIn, minOut, maxOut, option, kind)},
#include "engine/natives.def"
#include "compiler/natives.def"
#include "builtins/natives.def"
#include "numerics/natives.def"
#undef VKE_NATIVE
      {nullptr, {}},
  };
  std::vector<NativeFunctionRecord> table;
  for (const char* lib : kLibraries) {
    bool any = false;
    for (const NativeRow& row : rows) {
      if (!row.library || !StringsEqual(row.library, -1, lib, -1, false)) continue;
      if (!any) table.push_back(MakeRecord(lib));
      any = true;
      table.push_back(row.record);
    }
  }
  table.push_back(MakeRecord(""));
  return table;
}

}  // namespace

const NativeFunctionRecord* EngineStaticTable() {
  static const std::vector<NativeFunctionRecord> table = BuildTable();
  return table.data();
}

}  // namespace vke
