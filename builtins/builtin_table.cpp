// The builtin table as constant data, the lookups by name and by id, and the
// enumeration of builtins, natives and operators.
#include "builtins/builtin.hpp"
#include "engine/code/operators.hpp"
#include "engine/registry/registry.hpp"
#include "engine/text/name_chars.hpp"

namespace vke {

using namespace builtin_rows;

constexpr BuiltinRecord kBuiltinTable[kBuiltinCount + 1] = {
#define VKE_BUILTIN(name, id, in, out, function, opt) {id, in, out, name},
#include "builtins/builtin_table.def"
#undef VKE_BUILTIN
    {0, 0, 0, ""},
};

// The builtin table joined with the opcode table when both are compiled.
static_assert(BuiltinsAgreeWithOpcodes(kOpcodeTable, kBuiltinTable));

const BuiltinRecord* FindBuiltinRecord(const char* name, int32_t length) {
  if (!name || length <= 0 || length >= static_cast<int32_t>(sizeof kBuiltinTable[0].name))
    return nullptr;
  // The first byte rules most names out before the comparison.
  for (const BuiltinRecord* r = kBuiltinTable; r->name[0]; r++)
    if (r->name[0] == name[0] && std::memcmp(r->name, name, length) == 0 && r->name[length] == 0)
      return r;
  return nullptr;
}

const BuiltinRecord* FindBuiltinById(int32_t id) {
  for (const BuiltinRecord* r = kBuiltinTable; r->name[0]; r++)
    if (static_cast<int32_t>(r->id) == id) return r;
  return nullptr;
}

const char* EnumBuiltins(EngineContext* ctx, int32_t i, bool operators, const char** library,
                         bool* switchable) {
  if (i < 0) return nullptr;
  if (operators) return i < kOperatorCount ? kOperatorTable[i].chars : nullptr;
  if (library) *library = "VKE";
  if (switchable) *switchable = false;
  if (i < kBuiltinCount) return kBuiltinTable[i].name;
  if (!ctx) return nullptr;
  int32_t wanted = i - kBuiltinCount;
  const LibraryRegistryEntry* reg = ctx->Registry();
  for (uint32_t e = 0; e < ctx->registryCount; e++) {
    for (uint32_t k = 0; k < reg[e].count; k++) {
      const NativeFunctionRecord& r = reg[e].table[k];
      if (r.IsHeader()) {
        if (library) *library = r.name + 1;
        if (switchable) *switchable = r.name[0] == '!';
      } else if (IsNameStart(r.name[0]) && wanted-- == 0) {
        return r.name;
      }
    }
  }
  return nullptr;
}

}  // namespace vke
