// The digest of the native registry that images carry, so that an image is
// never run under a registry that numbers natives otherwise.
#include <cstring>

#include "app/image.hpp"

namespace vke {

namespace {

constexpr uint32_t kFnvOffset = 2166136261u;
constexpr uint32_t kFnvPrime = 16777619u;

void Mix(uint32_t* hash, const void* bytes, size_t n) {
  const auto* b = static_cast<const uint8_t*>(bytes);
  for (size_t i = 0; i < n; i++) *hash = (*hash ^ b[i]) * kFnvPrime;
}

}  // namespace

uint32_t RegistryFingerprint(KVContextBlock* block) {
  EngineContext* ctx = block->Engine();
  uint32_t hash = kFnvOffset;
  const LibraryRegistryEntry* reg = ctx->Registry();
  for (uint32_t t = block->extensionTables; t < ctx->registryCount; t++) {
    Mix(&hash, &reg[t].count, sizeof reg[t].count);
    for (uint32_t i = 0; i < reg[t].count; i++) {
      const char* name = reg[t].table[i].name;
      Mix(&hash, name, strnlen(name, sizeof reg[t].table[i].name) + 1);
    }
  }
  return hash ? hash : 1;
}

}  // namespace vke
