// Pins the native registry of a new block, the opcode table and the builtin
// table against tests/data/registry.txt: names, counts, argument limits and
// kinds, table by table in record order. A native's global index is its
// place in this listing, and stored applications and compiled code keep such
// indices, so a change here must be deliberate. VKE_UPDATE_GOLDENS=1 writes
// the listing anew.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "builtins/builtin.hpp"
#include "engine/code/opcodes.hpp"
#include "tests/app/block_host.hpp"

namespace vke {
namespace {

using test::BlockHost;

// One line per record of every registered table after the host's own.
std::string RegistryListing(EngineContext* ctx) {
  std::ostringstream out;
  for (uint32_t t = 1; t < ctx->registryCount; ++t) {
    const LibraryRegistryEntry& entry = ctx->Registry()[t];
    out << "table " << t << ": " << entry.count << " records\n";
    for (uint32_t i = 0; i < entry.count; ++i) {
      const NativeFunctionRecord& r = entry.table[i];
      out << "  " << r.name << ' ' << int(r.minIn) << ' ' << int(r.maxIn) << ' ' << int(r.minOut)
          << ' ' << int(r.maxOut) << ' ' << r.kind << (r.function ? "" : " -") << '\n';
    }
  }
  return out.str();
}

std::string OpcodeListing() {
  static const char* const kNames[] = {
#define VKE_OPCODE(code, name, kind, count, call, flags) #name,
#include "engine/code/opcodes.def"
#undef VKE_OPCODE
  };
  std::ostringstream out;
  out << "opcodes: " << kOpcodeCount << '\n';
  for (int32_t op = 0; op < kOpcodeCount; ++op) {
    const OpcodeDescriptor& d = kOpcodeTable[op];
    out << "  " << d.opcode << ' ' << kNames[op] << ' ' << d.kind << ' ' << d.count << ' '
        << d.callCode << ' ' << d.flags << '\n';
  }
  return out.str();
}

std::string BuiltinListing() {
  std::ostringstream out;
  out << "builtins: " << kBuiltinCount << '\n';
  for (int32_t i = 0; i < kBuiltinCount; ++i) {
    const BuiltinRecord& b = kBuiltinTable[i];
    out << "  " << b.name << ' ' << b.id << ' ' << b.inputCode << ' ' << b.outputCode << '\n';
  }
  return out.str();
}

TEST(RegistryPin, TablesKeepTheirRecordsInOrder) {
  BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  const std::string listing = RegistryListing(h.ctx()) + OpcodeListing() + BuiltinListing();

  const char* dir = std::getenv("VKE_TEST_DATA");
  ASSERT_NE(dir, nullptr);
  const std::string path = std::string(dir) + "/registry.txt";
  if (std::getenv("VKE_UPDATE_GOLDENS") != nullptr) {
    std::ofstream(path) << listing;
    GTEST_SKIP() << "wrote " << path;
  }
  std::ifstream in(path);
  ASSERT_TRUE(in) << path;
  std::stringstream expected;
  expected << in.rdbuf();
  // Compare line by line so that a failure names the first record that moved.
  std::istringstream a(listing), e(expected.str());
  std::string la, le;
  int line = 0;
  while (std::getline(e, le)) {
    ++line;
    ASSERT_TRUE(std::getline(a, la)) << "listing ends before line " << line << ": " << le;
    ASSERT_EQ(la, le) << "line " << line;
  }
  EXPECT_FALSE(std::getline(a, la)) << "extra line " << line + 1 << ": " << la;
}

}  // namespace
}  // namespace vke
