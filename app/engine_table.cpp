// Builds the engine's part of the runtime's static native table from the
// natives.def rows of the engine, builtins, numerics and compiler, library by
// library in a fixed order, and prepares new engines with it and with the
// builtins' dispatch rows. Kept apart from the application's part: it
// references no figure code.
#include <array>
#include <vector>

#include "app/runtime_tables.hpp"
#include "builtins/array_builtins.hpp"
#include "builtins/builtin.hpp"
#include "compiler/compile_calls.hpp"
#include "compiler/tool_natives.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/text/text.hpp"

namespace vke {

namespace {

struct NativeRow {
  const char* library;
  NativeFunctionRecord record;
};

// The libraries of the engine's part, in table order.
constexpr const char* kLibraries[] = {"@VKE", "!VKE", "!quaternion"};

std::vector<NativeFunctionRecord> BuildEngineTable() {
  // VKE_NATIVE(library, name, function, minIn, maxIn, minOut, maxOut, option, kind)
  const NativeRow rows[] = {
#define VKE_NATIVE(lib, name, fn, minIn, maxIn, minOut, maxOut, option, kind) \
  {lib, MakeRecord(name, fn, minIn, maxIn, minOut, maxOut, option, kind)},
// The folders in table order.
// clang-format off
#include "engine/natives.def"
#include "builtins/natives.def"
#include "numerics/natives.def"
#include "compiler/natives.def"
// clang-format on
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
  static const std::vector<NativeFunctionRecord> table = BuildEngineTable();
  return table.data();
}

const BuiltinHooks* RuntimeBuiltinHooks() {
  static const std::array<BuiltinDispatch, kOpcodeCount> rows = [] {
    std::array<BuiltinDispatch, kOpcodeCount> t = kBuiltinDispatch;
    for (const CompilerBuiltinRow& row : CompilerBuiltinRows())
      if (!t[row.opcode].fn) t[row.opcode].fn = row.fn;
    return t;
  }();
  static const BuiltinHooks hooks{rows.data(), ConcatenateStructures};
  return &hooks;
}

ErrCode PrepareRuntimeEngine(EngineContext* ctx) {
  SetBuiltinHooks(ctx, RuntimeBuiltinHooks());
  SetCompileHooks(ctx, CompilerHooks());
  return RegisterLibrary(ctx, EngineStaticTable(), true);
}

}  // namespace vke
