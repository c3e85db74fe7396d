// Builds the engine's part of the runtime's static native table from the
// natives.def rows of the engine, builtins, numerics and compiler, library by
// library in a fixed order, and prepares new engines with it and with the
// builtins' dispatch rows. Kept apart from the application's part: it
// references no figure code.
#include <array>
#include <iterator>
#include <string_view>
#include <vector>

#include "app/runtime_tables.hpp"
#include "builtins/array_builtins.hpp"
#include "builtins/builtin.hpp"
#include "compiler/compile_calls.hpp"
#include "compiler/tool_natives.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"

namespace vke {

namespace {

// The libraries of the engine's part, in table order.
constexpr std::string_view kLibraries[] = {"@VKE", "!VKE", "!quaternion"};
constexpr int kLibraryCount = static_cast<int>(std::size(kLibraries));

// The place of a row's library in kLibraries; kLibraryCount for a library
// of neither part, whose rows are left out.
constexpr int LibraryIndex(std::string_view library) {
  int i = 0;
  while (i < kLibraryCount && kLibraries[i] != library) i++;
  return i;
}

// The library of each row, in the order of the rows.
constexpr int kRowLibrary[] = {
#define VKE_NATIVE(lib, name, fn, minIn, maxIn, minOut, maxOut, option, kind) LibraryIndex(lib),
// clang-format off
#include "engine/natives.def"
#include "builtins/natives.def"
#include "numerics/natives.def"
#include "compiler/natives.def"
// clang-format on
#undef VKE_NATIVE
};

// Each library's header record, then its rows in the order of the folders
// and of their rows, library by library; an empty record ends the table.
// One pass over the rows, each written straight into its place.
std::vector<NativeFunctionRecord> BuildEngineTable() {
  std::array<size_t, kLibraryCount + 1> rows{};
  for (int library : kRowLibrary) rows[library]++;
  std::array<size_t, kLibraryCount + 1> next{};
  size_t size = 0;
  for (int i = 0; i < kLibraryCount; i++) {
    if (rows[i] == 0) continue;
    next[i] = size + 1;
    size += rows[i] + 1;
  }
  std::vector<NativeFunctionRecord> table(size + 1);
  for (int i = 0; i < kLibraryCount; i++)
    if (rows[i] > 0) table[next[i] - 1] = MakeRecord(kLibraries[i].data());
  table[size] = MakeRecord("");
  // VKE_NATIVE(library, name, function, minIn, maxIn, minOut, maxOut, option, kind)
#define VKE_NATIVE(lib, name, fn, minIn, maxIn, minOut, maxOut, option, kind)       \
  if constexpr (constexpr int library = LibraryIndex(lib); library < kLibraryCount) \
    table[next[library]++] = MakeRecord(name, fn, minIn, maxIn, minOut, maxOut, option, kind);
// clang-format off
#include "engine/natives.def"
#include "builtins/natives.def"
#include "numerics/natives.def"
#include "compiler/natives.def"
// clang-format on
#undef VKE_NATIVE
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
